// Translation of the Windows port names the driver builds ("\\.\COMn") into POSIX device paths.
#pragma once

#include <string>

// "\\.\COMn" with n >= 1 gives <exeDir>/dosdevices/comn when that entry exists (a symbolic link
// to a device, as under Wine), else /dev/ttyS<n-1>. Any other name is returned as it stands.
std::string ResolveDeviceName(const std::string& name, const std::string& exeDir);

// The serial server's name ("tcp://..." or "rfc2217://...") that a port name stands for: the name
// itself, or the text of the "comn" link it resolves to (as "vantor-cli ports assign" writes it);
// empty when the name is a device.
std::string GatewayTarget(const std::string& name, const std::string& exeDir);

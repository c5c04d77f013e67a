#include "DeviceNames.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdint>

#include "ComNames.h"
#include "GatewayName.h"

namespace {

// n of a "\\.\COMn" name, or 0 when the name is not of that form.
std::uint64_t PortNumber(const std::string& name)
{
    return static_cast<std::uint64_t>(ComNumber(name, {.prefix = kComPrefix}).value_or(0));
}

}  // namespace

std::string ResolveDeviceName(const std::string& name, const std::string& exeDir)
{
    const std::uint64_t n = PortNumber(name);
    if (n == 0)
        return name;
    if (!exeDir.empty()) {
        std::string entry = exeDir + "/dosdevices/com" + std::to_string(n);
        struct stat info {};
        if (::lstat(entry.c_str(), &info) == 0)
            return entry;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::string GatewayTarget(const std::string& name, const std::string& exeDir)
{
    if (IsGatewayName(name))
        return name;
    if (PortNumber(name) == 0)
        return {};
    const std::string entry = ResolveDeviceName(name, exeDir);
    std::array<char, PATH_MAX> target{};
    const ssize_t len = ::readlink(entry.c_str(), target.data(), target.size() - 1);
    if (len <= 0)
        return {};
    std::string text(target.data(), static_cast<std::size_t>(len));
    return IsGatewayName(text) ? text : std::string();
}

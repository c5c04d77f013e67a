// The pseudo-terminal that carries the simulated line.
#pragma once

#include <string>

#include "SimVantor.h"

namespace vantor::sim {

struct Pty {
    int master = -1;   // non-blocking; the simulator reads requests and writes answers here
    int slave = -1;    // kept open so that the master never sees a hang-up between the clients
    std::string path;  // slave device path for the clients
};

// Creates the pseudo-terminal, with the slave side in raw mode (no translation, no echo).
// Throws std::system_error on failure.
Pty OpenPty();
void ClosePty(Pty& pty);

// Line speed in baud that the clients set on the device, 0 if none or unknown.
int LineSpeed(const Pty& pty);
// Speed and line mode that the clients set on the device.
LineSettings LineSettingsOf(const Pty& pty);

}  // namespace vantor::sim

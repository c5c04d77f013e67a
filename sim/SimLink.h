// The symbolic link that names the simulator's device where a master looks for its port.
#pragma once

#include <string>

namespace vantor::sim {

class DeviceLink {
public:
    // Makes `link` a symbolic link to `target`, creating missing parent folders and replacing an
    // older symbolic link; a file or folder of that name is left alone and throws.
    DeviceLink(std::string link, std::string target);
    // Removes the link if it still points to the target.
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

private:
    std::string link_, target_;
};

}  // namespace vantor::sim

#include "SimLink.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace vantor::sim {

namespace fs = std::filesystem;

DeviceLink::DeviceLink(std::string link, std::string target) : link_(std::move(link)), target_(std::move(target))
{
    const fs::path path(link_);
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::error_code ec;
    const auto status = fs::symlink_status(path, ec);
    if (fs::exists(status)) {
        if (!fs::is_symlink(status))
            throw std::runtime_error(link_ + " exists and is not a symbolic link");
        fs::remove(path);
    }
    fs::create_symlink(target_, path);
}

DeviceLink::~DeviceLink()
{
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(link_, ec)) && fs::read_symlink(link_, ec) == target_)
        fs::remove(link_, ec);
}

}  // namespace vantor::sim

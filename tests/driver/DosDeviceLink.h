// A dosdevices/com<n> entry beside the running test executable, pointing at a device; removed
// again on destruction. Each test uses a port number of its own.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>

#include "ExecutableDir.h"

class TDosDeviceLink {
public:
    TDosDeviceLink(int n, const std::string& target)
    {
        const std::string dir = ExecutableDir() + "/dosdevices";
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
            throw std::runtime_error("cannot create " + dir);
        path_ = dir + "/com" + std::to_string(n);
        ::unlink(path_.c_str());
        if (::symlink(target.c_str(), path_.c_str()) != 0)
            throw std::runtime_error("cannot create " + path_);
    }
    ~TDosDeviceLink() { ::unlink(path_.c_str()); }
    TDosDeviceLink(const TDosDeviceLink&) = delete;
    TDosDeviceLink& operator=(const TDosDeviceLink&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

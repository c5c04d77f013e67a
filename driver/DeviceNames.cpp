#include "DeviceNames.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdint>

#include "GatewayName.h"

namespace {

// n of a "\\.\COMn" name, or 0 when the name is not of that form.
std::uint64_t ComNumber(const std::string& name)
{
    if (name.size() <= kComPrefix.size() || name.compare(0, kComPrefix.size(), kComPrefix) != 0)
        return 0;
    std::uint64_t n = 0;
    for (std::size_t i = kComPrefix.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
        if (n > INT_MAX)
            return 0;
    }
    return n;
}

}  // namespace

std::string ResolveDeviceName(const std::string& name, const std::string& exeDir)
{
    const std::uint64_t n = ComNumber(name);
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
    if (ComNumber(name) == 0)
        return {};
    const std::string entry = ResolveDeviceName(name, exeDir);
    std::array<char, PATH_MAX> target{};
    const ssize_t len = ::readlink(entry.c_str(), target.data(), target.size() - 1);
    if (len <= 0)
        return {};
    std::string text(target.data(), static_cast<std::size_t>(len));
    return IsGatewayName(text) ? text : std::string();
}

std::string ExecutableDir()
{
    std::array<char, PATH_MAX> path{};
    const ssize_t len = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (len <= 0)
        return {};
    std::string exe(path.data(), static_cast<std::size_t>(len));
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

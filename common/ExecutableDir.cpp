#include "ExecutableDir.h"

#include <unistd.h>

#include <array>
#include <climits>

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

// Where the running program lies (POSIX systems).
#pragma once

#include <string>

// The folder of the running executable, without a trailing slash; empty when unknown.
std::string ExecutableDir();

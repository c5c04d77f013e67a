// Compiled, never run: the program's own declarations of the exports it binds and the library's
// public header in one translation unit. A C function declared twice with different types
// (arguments, result or calling convention) does not compile, so any disagreement between the
// two fails the build.
#include "DefKorvane.h"
#include "korvane.h"

// The module that holds this user interface's resources: the plug-in DLL when it is
// linked into one, else the program itself.
#pragma once

#include <windows.h>

namespace cmp {

HINSTANCE ModuleInstance();

}  // namespace cmp

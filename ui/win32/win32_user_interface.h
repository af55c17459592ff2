// The user interface of the Windows plug-in: the system's own message box, common save
// dialog and a dialog from this module's resources.
#pragma once

#include <memory>

#include "ui/user_interface.h"

namespace cmp {

std::unique_ptr<UserInterface> CreateWin32UserInterface();

}  // namespace cmp

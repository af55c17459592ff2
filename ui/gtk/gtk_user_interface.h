// The GTK 3 user interface for Linux desktops.
#pragma once

#include <memory>

#include "ui/user_interface.h"

namespace cmp {

// The GTK user interface, or null when GTK cannot start in this process (no display,
// or the display refuses the connection). Starts GTK on the first call; later calls
// reuse that outcome. Every operation of the returned object must be called on the
// thread that made this call.
std::unique_ptr<UserInterface> CreateGtkUserInterface();

}  // namespace cmp

#pragma once

#include <cstdint>
#include <string>

#include <gtk/gtk.h>

namespace cmp {

// Shows a modal message dialog with `text`, the window title `caption`, one OK button
// and the icon that the Win32 message box `type` names (0x10 error, 0x20 question,
// 0x30 warning, 0x40 information; other values: no icon), until the user dismisses it.
// `parent` may be null (no owner window). GTK must be running.
void ShowGtkMessageBox(GtkWindow* parent, const std::string& text, const std::string& caption,
                       std::uint32_t type);

}  // namespace cmp

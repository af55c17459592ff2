// Process-wide GTK start-up and the main-loop care that every dialog of this layer
// shares. All of it runs on the thread that drives the export.
#pragma once

#include <string>

#include <gtk/gtk.h>

namespace cmp {

// Starts GTK once per process and answers whether it runs: false when no display can be
// opened. A host that has started GTK itself is used as it is. GTK is told to leave the
// process locale alone, which belongs to the host.
bool StartGtk();

// Handles every event that is pending, then waits for the display server to process
// what was sent and handles what that brought. A dialog destroyed before this call is
// gone from the screen after it.
void SettlePendingEvents();

// `text` as GTK may show it: valid UTF-8 unchanged, other bytes (names from a host in
// another encoding) replaced by U+FFFD.
std::string DisplayText(const std::string& text);

// Owns one toplevel widget: destroys it and settles the events on every way out of a
// scope, so that no dialog stays on screen or half-destroyed.
class ToplevelGuard {
  public:
    explicit ToplevelGuard(GtkWidget* widget) : widget_(widget) {}
    ToplevelGuard(const ToplevelGuard&) = delete;
    ToplevelGuard& operator=(const ToplevelGuard&) = delete;
    ~ToplevelGuard();

    GtkWidget* widget() const { return widget_; }

  private:
    GtkWidget* widget_;
};

}  // namespace cmp

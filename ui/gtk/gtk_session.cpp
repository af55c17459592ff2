#include "ui/gtk/gtk_dialogs.h"

#include <mutex>

namespace cmp {

bool StartGtk() {
    static bool running = false;
    static std::once_flag once;
    std::call_once(once, [] {
        if (gdk_display_get_default() != nullptr) {
            running = true;  // the host runs GTK already
            return;
        }
        // GTK would otherwise switch the whole process to the user's locale, which
        // changes how the host formats and parses numbers.
        gtk_disable_setlocale();
        running = gtk_init_check(nullptr, nullptr) != FALSE;
    });
    return running;
}

namespace {

void HandlePendingEvents() {
    // Bounded: in a host whose own windows animate, events never run out.
    constexpr int MostEvents = 10000;
    for (int handled = 0; handled < MostEvents && gtk_events_pending(); ++handled) {
        gtk_main_iteration_do(FALSE);
    }
}

}  // namespace

void SettlePendingEvents() {
    HandlePendingEvents();
    if (GdkDisplay* display = gdk_display_get_default()) {
        gdk_display_sync(display);
    }
    HandlePendingEvents();
}

std::string DisplayText(const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        return text;
    }
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string result(valid);
    g_free(valid);
    return result;
}

ToplevelGuard::~ToplevelGuard() {
    if (widget_ != nullptr) {
        gtk_widget_destroy(widget_);
    }
    SettlePendingEvents();
}

}  // namespace cmp

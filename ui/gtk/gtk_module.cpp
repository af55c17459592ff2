// The GTK interface as a library of its own, which the plug-in loads only when it opens
// desktop dialogs: GTK and the libraries under it take longer to load than an export from
// the console or from Blender takes to run.
#include "ui/user_interface.h"

#include "ui/gtk/gtk_user_interface.h"

extern "C" __attribute__((visibility("default"))) cmp::UserInterface*
cmpexport_gtk_create_user_interface() {
    try {
        return cmp::CreateGtkUserInterface().release();
    } catch (...) {
        return nullptr;
    }
}

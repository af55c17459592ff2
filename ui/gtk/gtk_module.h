// The one entry of the GTK library (libcmpexport_gtk.so), which the plug-in finds beside
// itself and loads with dlopen when it is to show desktop dialogs
// (ui/create_user_interface.cpp).
#pragma once

#include "ui/user_interface.h"

// The library's file name, and the name of its entry.
#define CMPEXPORT_GTK_MODULE_FILE "libcmpexport_gtk.so"
#define CMPEXPORT_GTK_MODULE_ENTRY "cmpexport_gtk_create_user_interface"

// A new GTK interface, owned by the caller (who deletes it through UserInterface); null
// when GTK cannot start (no display, say). The library is never unloaded: GTK cannot be.
extern "C" cmp::UserInterface* cmpexport_gtk_create_user_interface();

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "ui/user_interface.h"

#if defined(CMPEXPORT_HAVE_GTK)
#include <dlfcn.h>

#endif
#if defined(CMPEXPORT_HAVE_WIN32)
#include "ui/win32/win32_user_interface.h"
#endif

namespace cmp {

namespace {

// The console, which also tells what the choice had to say: the plug-in speaks to the
// user only through its interface.
std::unique_ptr<UserInterface> CreateConsoleUserInterface(const std::vector<std::string>& notes) {
    return std::make_unique<ConsoleUserInterface>(std::cin, std::cout, std::cerr,
                                                  ConsoleSettingsFromEnvironment(), notes);
}

bool HasDisplay() {
    auto isSet = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

#if defined(CMPEXPORT_HAVE_GTK)

// The GTK interface from its library beside the one this code is in (the plug-in), loaded
// now rather than with the plug-in; null when it cannot start, `notes` then saying why
// where it was not simply the lack of a display.
std::unique_ptr<UserInterface> LoadGtkUserInterface(std::vector<std::string>& notes) {
    std::string path = CMPEXPORT_GTK_MODULE_FILE;
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&LoadGtkUserInterface), &self) != 0 &&
        self.dli_fname != nullptr) {
        const std::string file = self.dli_fname;
        const std::size_t slash = file.rfind('/');
        if (slash != std::string::npos) {
            path = file.substr(0, slash + 1) + path;
        }
    }
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        notes.push_back("the desktop dialogs could not be loaded (" +
                        std::string(why != nullptr ? why : path) + "); using the console");
        return nullptr;
    }
    using Entry = UserInterface* (*)();
    auto* create = reinterpret_cast<Entry>(dlsym(library, CMPEXPORT_GTK_MODULE_ENTRY));
    if (create == nullptr) {
        notes.push_back("the desktop dialogs could not be loaded (" + path + " has no " +
                        CMPEXPORT_GTK_MODULE_ENTRY + "); using the console");
        return nullptr;
    }
    return std::unique_ptr<UserInterface>(create());
}

#endif

}  // namespace

std::unique_ptr<UserInterface> CreateUserInterface() {
#if defined(CMPEXPORT_HAVE_WIN32)
    if (std::unique_ptr<UserInterface> win32 = CreateWin32UserInterface()) {
        return win32;
    }
#endif
    const char* chosen = std::getenv("CMPEXPORT_UI");
    std::string mode = chosen != nullptr && *chosen != '\0' ? chosen : "auto";
    std::vector<std::string> notes;
    if (mode != "console" && mode != "gtk" && mode != "auto") {
        notes.push_back("CMPEXPORT_UI=" + mode + " is not console, gtk or auto; using auto");
        mode = "auto";
    }
    if (mode == "console") {
        return CreateConsoleUserInterface(notes);
    }
#if defined(CMPEXPORT_HAVE_GTK)
    if (mode == "gtk" || HasDisplay()) {
        if (std::unique_ptr<UserInterface> gtk = LoadGtkUserInterface(notes)) {
            return gtk;
        }
        if (mode == "gtk" && notes.empty()) {
            notes.push_back("GTK could not start; using the console");
        }
    }
#else
    if (mode == "gtk") {
        notes.push_back("this build has no GTK dialogs; using the console");
    }
    (void)HasDisplay;
#endif
    return CreateConsoleUserInterface(notes);
}

}  // namespace cmp

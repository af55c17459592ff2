#include "ui/win32/win32_user_interface.h"

namespace {

HINSTANCE loadedModule = nullptr;

}  // namespace

// Only remembers which module the loader mapped: the dialog template lives in this
// module's resources, not in the host's. Nothing else may run under the loader lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        loadedModule = module;
    }
    return TRUE;
}

namespace cmp {

HINSTANCE ModuleInstance() {
    // Linked into a program, DllMain never runs and the resources are the program's.
    return loadedModule != nullptr ? loadedModule : GetModuleHandleA(nullptr);
}

}  // namespace cmp

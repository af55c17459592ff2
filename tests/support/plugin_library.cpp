#include "tests/support/plugin_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace cmp {

namespace {

#ifdef _WIN32
void* LoadNative(const std::string& path, std::string& error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = "error " + std::to_string(GetLastError());
    }
    return reinterpret_cast<void*>(module);
}

void* FindNative(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void UnloadNative(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}
#else
void* LoadNative(const std::string& path, std::string& error) {
    // The library stays mapped after dlclose: the toolkits it links keep memory in their
    // globals for the life of the process, which would count as leaked once unmapped.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot load " + path;
    }
    return handle;
}

void* FindNative(void* handle, const char* name) {
    return dlsym(handle, name);
}

void UnloadNative(void* handle) {
    dlclose(handle);
}
#endif

}  // namespace

PlugInLibrary::PlugInLibrary(const std::string& path) {
    handle_ = LoadNative(path, error_);
}

PlugInLibrary::~PlugInLibrary() {
    if (handle_ != nullptr) {
        UnloadNative(handle_);
    }
}

HostPlugIn* PlugInLibrary::Create() const {
    if (handle_ == nullptr) {
        return nullptr;
    }
    auto* create = reinterpret_cast<CreatePlugInFunction*>(FindNative(handle_, "CreatePlugIn"));
    return create != nullptr ? create() : nullptr;
}

}  // namespace cmp

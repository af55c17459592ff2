// Loads a plug-in library as a host does and creates its objects, on every platform:
// LoadLibraryA and GetProcAddress on Windows, dlopen and dlsym elsewhere.
#pragma once

#include <string>

#include "host/HostPlugIn.h"

namespace cmp {

class PlugInLibrary {
  public:
    // Loads the library at `path`; Loaded() tells whether that worked, Error() why not.
    explicit PlugInLibrary(const std::string& path);
    ~PlugInLibrary();
    PlugInLibrary(const PlugInLibrary&) = delete;
    PlugInLibrary& operator=(const PlugInLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    // Why loading failed ("error 126" on Windows, dlerror()'s text elsewhere); empty when
    // it worked.
    const std::string& Error() const { return error_; }
    // A new object from the library's CreatePlugIn; null when the library is not loaded
    // or has no CreatePlugIn. The caller destroys it through slot 0.
    HostPlugIn* Create() const;
    // The handle the system gave (an HMODULE on Windows, dlopen's elsewhere), for tests
    // that look into the loaded image itself.
    void* NativeHandle() const { return handle_; }

  private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace cmp

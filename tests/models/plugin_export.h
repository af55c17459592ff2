// Exporting the test models through the built plug-in library on Linux, as a host does:
// dlopen, CreatePlugIn, the slots. The console interface answers the dialogs through
// its environment variables.
#pragma once

#include <cstdint>
#include <string>

#include "host/HostPlugIn.h"
#include "tests/models/test_models.h"
#include "tests/support/plugin_library.h"

namespace cmp {

class PlugInExporter {
  public:
    // Loads the plug-in library at `libraryPath`; Error() tells why when it cannot.
    explicit PlugInExporter(const std::string& libraryPath);
    ~PlugInExporter();
    PlugInExporter(const PlugInExporter&) = delete;
    PlugInExporter& operator=(const PlugInExporter&) = delete;

    bool Loaded() const { return plugIn_ != nullptr; }
    const std::string& Error() const { return error_; }

    // Builds `model`, exports it to `outputPath` (replacing a file there) and returns
    // what RunExport returned. The run destroys the model.
    std::int32_t Export(const TestModel& model, const std::string& outputPath);

  private:
    PlugInLibrary library_;
    ::HostPlugIn* plugIn_ = nullptr;
    std::string error_;
};

}  // namespace cmp

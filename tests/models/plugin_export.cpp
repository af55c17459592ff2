#include "tests/models/plugin_export.h"

#include <stdlib.h>

#include "host/HostPlugIn.h"

namespace cmp {

PlugInExporter::PlugInExporter(const std::string& libraryPath) : library_(libraryPath) {
    if (!library_.Loaded()) {
        error_ = library_.Error();
        return;
    }
    plugIn_ = library_.Create();
    if (plugIn_ == nullptr) {
        error_ = libraryPath + " has no CreatePlugIn, or it gave no object";
    }
}

PlugInExporter::~PlugInExporter() {
    if (plugIn_ != nullptr) {
        plugIn_->slots->destroy(plugIn_, 1);
    }
}

std::int32_t PlugInExporter::Export(const TestModel& model, const std::string& outputPath) {
    // Unattended console: the save dialog's answer and yes to the overwrite prompt.
    setenv("CMPEXPORT_UI", "console", 1);
    setenv("CMPEXPORT_SAVE_AS", outputPath.c_str(), 1);
    setenv("CMPEXPORT_OVERWRITE", "yes", 1);
    return plugIn_->slots->runExport(plugIn_, CreateTestModel(model.build));
}

}  // namespace cmp

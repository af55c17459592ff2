#include "tests/models/plugin_export.h"

#include <dlfcn.h>
#include <stdlib.h>

#include "host/HostPlugIn.h"

namespace cmp {

PlugInExporter::PlugInExporter(const std::string& libraryPath) {
    // The library stays mapped after dlclose: the toolkits it links keep memory in their
    // globals for the life of the process, which would count as leaked once unmapped.
    library_ = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (library_ == nullptr) {
        error_ = dlerror();
        return;
    }
    auto* create = reinterpret_cast<CreatePlugInFunction*>(dlsym(library_, "CreatePlugIn"));
    if (create == nullptr) {
        error_ = libraryPath + " has no CreatePlugIn";
        return;
    }
    plugIn_ = create();
    if (plugIn_ == nullptr) {
        error_ = "CreatePlugIn gave no object";
    }
}

PlugInExporter::~PlugInExporter() {
    if (plugIn_ != nullptr) {
        plugIn_->slots->destroy(plugIn_, 1);
    }
    if (library_ != nullptr) {
        dlclose(library_);
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

// Models built through the stand-in model library's builder, shared by every program
// that must export them alike: the Linux comparison writer and the Windows test host.
// Only exact arithmetic goes into their coordinates (no math library), so both
// platforms hand the plug-in the very same floats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "standin/ztModelBuilder.h"

namespace cmp {

struct TestModel {
    const char* name;  // also the stem of the exported file: "<name>.cmp"
    void (*build)(ztModel model);
};

// Models whose exported files must be byte-identical on every platform.
std::span<const TestModel> ComparisonModels();

// A model without meshes: the plug-in warns and writes nothing.
void BuildEmptyModel(ztModel model);
// One mesh of 70,000 vertices: more than a mesh data stream can count, so the plug-in
// must refuse it before writing anything.
void BuildOverLimitModel(ztModel model);

// A new model filled by `build`; the caller (or the plug-in's run) destroys it.
ztModel CreateTestModel(void (*build)(ztModel model));

}  // namespace cmp

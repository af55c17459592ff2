// Process-wide counters the builder API reports to tests of the plug-in.
#include <atomic>

#include "standin/model_store.h"
#include "standin/ztModelBuilder.h"

namespace {

std::atomic<std::int32_t> destroyedModels{0};
std::atomic<std::int32_t> nullHandleCalls{0};

}  // namespace

namespace standin {

void NoteNullHandle() {
    ++nullHandleCalls;
}
void NoteDestroyed() {
    ++destroyedModels;
}

}  // namespace standin

extern "C" {

int32_t ztBuild_DestroyCount(void) {
    return destroyedModels.load();
}
int32_t ztBuild_NullHandleCalls(void) {
    return nullHandleCalls.load();
}

}  // extern "C"

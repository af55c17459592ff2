// Process-wide counters the builder API reports to tests of the plug-in, and the models
// that are live.
#include <atomic>
#include <new>
#include <unordered_set>

#include "standin/model_store.h"
#include "standin/ztModelBuilder.h"

namespace {

std::atomic<std::int32_t> destroyedModels{0};
std::atomic<std::int32_t> nullHandleCalls{0};

// Made on first use and never destroyed: a model may be made while other files' statics
// are made, and freed while the process exits.
std::unordered_set<ztModel>& LiveModels() {
    static auto* models = new std::unordered_set<ztModel>;
    return *models;
}

// Holds the set for one look or change. A flag of its own rather than std::mutex, which
// the C++ library of the Windows cross build lacks; nobody holds it for long.
std::atomic_flag liveModelsBusy = ATOMIC_FLAG_INIT;
class LiveModelsLock {
  public:
    LiveModelsLock() {
        while (liveModelsBusy.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~LiveModelsLock() { liveModelsBusy.clear(std::memory_order_release); }
    LiveModelsLock(const LiveModelsLock&) = delete;
    LiveModelsLock& operator=(const LiveModelsLock&) = delete;
};

}  // namespace

namespace standin {

void NoteNullHandle() {
    ++nullHandleCalls;
}
bool NoteCreated(ztModel model) {
    const LiveModelsLock lock;
    try {
        LiveModels().insert(model);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
void NoteDestroyed(ztModel model) {
    {
        const LiveModelsLock lock;
        LiveModels().erase(model);
    }
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
int32_t ztBuild_IsLiveModel(ztModel model) {
    const LiveModelsLock lock;
    return LiveModels().count(model) != 0 ? 1 : 0;
}

}  // extern "C"

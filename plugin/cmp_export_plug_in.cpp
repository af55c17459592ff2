#include "plugin/cmp_export_plug_in.h"

#include <cstring>
#include <new>

#include "plugin/export_run.h"
#include "ui/user_interface.h"

// Marks a thiscall slot function as meant where the interface header knows how to.
#ifndef HOST_THISCALL_DECL
#define HOST_THISCALL_DECL
#endif

namespace cmp {

namespace {

// Valid because the host's view is the first member of a standard-layout object.
CmpExportPlugIn* Self(HostPlugIn* self) {
    return reinterpret_cast<CmpExportPlugIn*>(self);
}

HOST_THISCALL_DECL void* HOST_THISCALL DestroySlot(HostPlugIn* self, std::uint32_t flags) noexcept {
    CmpExportPlugIn* plugIn = Self(self);
    plugIn->~CmpExportPlugIn();
    if ((flags & 1u) != 0) {
        ::operator delete(plugIn);
    }
    return plugIn;
}

HOST_THISCALL_DECL std::int32_t HOST_THISCALL QueryKindSlot(HostPlugIn*) noexcept {
    return PlugInKind;
}

HOST_THISCALL_DECL const char* HOST_THISCALL QueryTitleSlot(HostPlugIn* self) noexcept {
    return Self(self)->title;
}

HOST_THISCALL_DECL std::int32_t HOST_THISCALL RunExportSlot(HostPlugIn*, ztModel model) noexcept {
    // A null model is refused before any user interface starts.
    if (model == nullptr) {
        return -1;
    }
    try {
        std::unique_ptr<UserInterface> ui = CreateUserInterface();
        return RunExport(model, *ui);
    } catch (...) {
        // Nothing may unwind into the host, whose compiler knows nothing of ours.
        return -1;
    }
}

// Laid out by hand: exactly the four entries a host indexes, in its order.
constexpr HostPlugInSlots Slots = {DestroySlot, QueryKindSlot, QueryTitleSlot, RunExportSlot};

}  // namespace

CmpExportPlugIn::CmpExportPlugIn() : host{&Slots}, title{} {
    std::strncpy(title, PlugInTitle, sizeof title - 1);
}

const HostPlugInSlots& CmpExportPlugInSlots() {
    return Slots;
}

HostPlugIn* NewCmpExportPlugIn() noexcept {
    void* memory = ::operator new(sizeof(CmpExportPlugIn), std::nothrow);
    if (memory == nullptr) {
        return nullptr;
    }
    return &(new (memory) CmpExportPlugIn())->host;
}

}  // namespace cmp

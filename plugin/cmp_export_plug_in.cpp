#include "plugin/plugin.h"

#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "ui/user_interface.h"

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

// The error box for a run that stopped on an exception; nothing when no interface could
// be made, or showing it fails too.
void TellUnexpectedFailure(UserInterface* ui, const char* what) noexcept {
    if (ui == nullptr) {
        return;
    }
    try {
        ui->ShowMessage(std::string("The export stopped: ") + what, TreeErrorCaption,
                        MessageBoxError);
    } catch (...) {
    }
}

HOST_THISCALL_DECL std::int32_t HOST_THISCALL RunExportSlot(HostPlugIn*, ztModel model) noexcept {
    // A null model is refused before any user interface starts.
    if (model == nullptr) {
        return -1;
    }
    // The one place on the export's road where an exception is caught: nothing may
    // unwind into the host, whose compiler knows nothing of ours. What the run could not
    // finish (memory ran out) is told in an error box, as any other failure is.
    std::unique_ptr<UserInterface> ui;
    try {
        ui = CreateUserInterface();
        return RunExport(model, *ui, SourceFilesFromEnvironment());
    } catch (const std::exception& failure) {
        TellUnexpectedFailure(ui.get(), failure.what());
    } catch (...) {
        TellUnexpectedFailure(ui.get(), "an unknown failure");
    }
    return -1;
}

// Laid out by hand: exactly the four entries a host indexes, in its order. They never
// throw: each catches whatever the run throws and answers as a failure would (-1, null).
constexpr HostPlugInSlots Slots = {DestroySlot, QueryKindSlot, QueryTitleSlot, RunExportSlot};

}  // namespace

CmpExportPlugIn::CmpExportPlugIn() : host{&Slots}, title{} {
    std::strncpy(title, PlugInTitle, sizeof title - 1);
}

HostPlugIn* NewCmpExportPlugIn() noexcept {
    void* memory = ::operator new(sizeof(CmpExportPlugIn), std::nothrow);
    if (memory == nullptr) {
        return nullptr;
    }
    return &(new (memory) CmpExportPlugIn())->host;
}

}  // namespace cmp

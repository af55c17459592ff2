// The plug-in object a host holds: the host's view of it is a HostPlugIn, whose first
// word points to the four-entry slot table.
#pragma once

#include <cstddef>
#include <type_traits>

#include "host/HostPlugIn.h"

namespace cmp {

inline constexpr const char* PlugInTitle = "Quorvane CMP...";
inline constexpr int PlugInKind = 2;

// Standard layout with the host's view first, so that a HostPlugIn pointer and the
// object's address are one and the same.
struct CmpExportPlugIn {
    HostPlugIn host;
    // The menu title, fixed at construction; QueryTitle hands out its address.
    char title[64];

    CmpExportPlugIn();
};

static_assert(std::is_standard_layout_v<CmpExportPlugIn>);
static_assert(offsetof(CmpExportPlugIn, host) == 0, "hosts read the table from the first word");

// The table every CmpExportPlugIn points to. Its entries never throw: each catches
// whatever the run throws and answers as a failure would (-1, null).
const HostPlugInSlots& CmpExportPlugInSlots();

// A new object on the heap, or null when memory runs out. Slot 0 with bit 0 set frees it.
HostPlugIn* NewCmpExportPlugIn() noexcept;

}  // namespace cmp

// A call into a plug-in slot made in assembly, exactly as a Microsoft compiler makes a
// thiscall: the object in ECX, arguments pushed right to left, the callee pops them.
#pragma once

#include <cstdint>

namespace cmp {

struct ProbeOutcome {
    std::uint32_t result = 0;     // EAX
    std::int32_t stackDelta = 0;  // ESP after the call minus ESP before the arguments
    bool registersKept = false;   // EBX, ESI, EDI and EBP came back unchanged
};

// Calls `slot` with `self` in ECX and `argCount` 32-bit arguments. Just above the
// arguments lies `decoy`: a callee that wrongly took its object from the stack would
// find it there instead of `self`. `misalign` (0, 4, 8 or 12) moves the stack off a
// 16-byte boundary, as a host built by another compiler may call with any 4-byte one.
ProbeOutcome ProbeThiscall(const void* slot, void* self, const std::uint32_t* args,
                           std::uint32_t argCount, std::uint32_t decoy, std::uint32_t misalign);

}  // namespace cmp

#include "tests/windows/host/thiscall_probe.h"

namespace {

struct ProbeRecord {
    std::uint32_t result;
    std::int32_t stackDelta;
    std::uint32_t registersKept;
};

}  // namespace

extern "C" void ProbeThiscallRaw(const void* slot, void* self, const std::uint32_t* args,
                                 std::uint32_t argCount, std::uint32_t decoy,
                                 std::uint32_t misalign, ProbeRecord* record);

// cdecl, so every register it uses is saved here; EBX holds the stack pointer the
// callee must leave behind, ESI and EDI carry marks it must preserve.
asm(R"(
    .text
    .globl _ProbeThiscallRaw
_ProbeThiscallRaw:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl 28(%ebp), %esp
    pushl 24(%ebp)
    movl %esp, %ebx
    movl 16(%ebp), %esi
    movl 20(%ebp), %edi
1:
    testl %edi, %edi
    jz 2f
    decl %edi
    pushl (%esi,%edi,4)
    jmp 1b
2:
    movl $0x5A5A1234, %esi
    movl $0xA5A54321, %edi
    movl 12(%ebp), %ecx
    call *8(%ebp)
    movl 32(%ebp), %edx
    movl %eax, 0(%edx)
    movl %esp, %ecx
    subl %ebx, %ecx
    movl %ecx, 4(%edx)
    xorl %ecx, %ecx
    cmpl $0x5A5A1234, %esi
    jne 3f
    cmpl $0xA5A54321, %edi
    jne 3f
    movl %ebp, %eax
    subl $12, %eax
    subl 28(%ebp), %eax
    subl $4, %eax
    cmpl %eax, %ebx
    jne 3f
    movl $1, %ecx
3:
    movl %ecx, 8(%edx)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace cmp {

ProbeOutcome ProbeThiscall(const void* slot, void* self, const std::uint32_t* args,
                           std::uint32_t argCount, std::uint32_t decoy, std::uint32_t misalign) {
    ProbeRecord record{};
    ProbeThiscallRaw(slot, self, args, argCount, decoy, misalign & 12u, &record);
    ProbeOutcome outcome;
    outcome.result = record.result;
    outcome.stackDelta = record.stackDelta;
    outcome.registersKept = record.registersKept != 0;
    return outcome;
}

}  // namespace cmp

// The instruction probes: one assembly function per probe, the same on every x86 system, and the
// entry point that runs them under the system's guard.
#include "platform/instruction_probe_code.h"

#ifdef OSTREL_HAVE_INSTRUCTION_PROBES

#define OSTREL_PROBE_STRING2(x) #x
#define OSTREL_PROBE_STRING(x) OSTREL_PROBE_STRING2(x)
// The assembler name of a C function (mingw's i686 names start with an underscore).
#define OSTREL_PROBE_SYMBOL(name) OSTREL_PROBE_STRING(__USER_LABEL_PREFIX__) #name

extern "C" {
int ostrelProbeMmx();
int ostrelProbe3DNow();
int ostrelProbeSse();
int ostrelProbeSse2();
int ostrelProbeUndefined();
void ostrelProbesBegin();
void ostrelProbeFaulted();
}

// Each probe returns 1 when its instructions ran. ostrelProbeFaulted is where a faulting probe
// resumes: the stack is as at the probe's entry, so it returns 0 straight to the caller.
asm(".text\n"
    ".globl " OSTREL_PROBE_SYMBOL(ostrelProbesBegin) "\n"
    ".globl " OSTREL_PROBE_SYMBOL(ostrelProbeMmx) "\n"
    ".globl " OSTREL_PROBE_SYMBOL(ostrelProbe3DNow) "\n"
    ".globl " OSTREL_PROBE_SYMBOL(ostrelProbeSse) "\n"
    ".globl " OSTREL_PROBE_SYMBOL(ostrelProbeSse2) "\n"
    ".globl " OSTREL_PROBE_SYMBOL(ostrelProbeUndefined) "\n"
    ".globl " OSTREL_PROBE_SYMBOL(ostrelProbeFaulted) "\n"
    OSTREL_PROBE_SYMBOL(ostrelProbesBegin) ":\n"
    OSTREL_PROBE_SYMBOL(ostrelProbeMmx) ":\n"
    "    pxor %mm0, %mm0\n"
    "    emms\n"
    "    movl $1, %eax\n"
    "    ret\n"
    OSTREL_PROBE_SYMBOL(ostrelProbe3DNow) ":\n"
    "    pxor %mm0, %mm0\n"
    "    pfrcp %mm0, %mm1\n"
    "    femms\n"
    "    movl $1, %eax\n"
    "    ret\n"
    OSTREL_PROBE_SYMBOL(ostrelProbeSse) ":\n"
    "    xorps %xmm0, %xmm0\n"
    "    movl $1, %eax\n"
    "    ret\n"
    OSTREL_PROBE_SYMBOL(ostrelProbeSse2) ":\n"
    "    xorpd %xmm0, %xmm0\n"
    "    movl $1, %eax\n"
    "    ret\n"
    OSTREL_PROBE_SYMBOL(ostrelProbeUndefined) ":\n"
    "    ud2\n"
    "    movl $1, %eax\n"
    "    ret\n"
    OSTREL_PROBE_SYMBOL(ostrelProbeFaulted) ":\n"
    "    xorl %eax, %eax\n"
    "    ret\n");

namespace ostrel::platform {
namespace probe_detail {

bool isInsideProbes(std::uintptr_t address) {
    return address >= reinterpret_cast<std::uintptr_t>(&ostrelProbesBegin) &&
           address < reinterpret_cast<std::uintptr_t>(&ostrelProbeFaulted);
}

std::uintptr_t probeLanding() {
    return reinterpret_cast<std::uintptr_t>(&ostrelProbeFaulted);
}

int runProbe(InstructionProbe probe) {
    switch (probe) {
        case InstructionProbe::Mmx:
            return ostrelProbeMmx();
        case InstructionProbe::ThreeDNow:
            return ostrelProbe3DNow();
        case InstructionProbe::Sse:
            return ostrelProbeSse();
        case InstructionProbe::Sse2:
            return ostrelProbeSse2();
        case InstructionProbe::Undefined:
            return ostrelProbeUndefined();
    }
    return 0;
}

}  // namespace probe_detail

bool executesWithoutFault(InstructionProbe probe) {
    return probe_detail::guardedRun(probe);
}

}  // namespace ostrel::platform

#else

namespace ostrel::platform {

bool executesWithoutFault(InstructionProbe /*probe*/) {
    return false;
}

}  // namespace ostrel::platform

#endif

// The instruction probes' guard on Windows: a vectored exception handler that moves a faulting
// probe to its landing and lets every other exception go on to the next handler.
#include "platform/instruction_probe_code.h"

#ifdef OSTREL_HAVE_INSTRUCTION_PROBES

#include <windows.h>

#include <type_traits>

namespace ostrel::platform::probe_detail {
namespace {

LONG CALLBACK onProbeFault(EXCEPTION_POINTERS *fault) {
    const DWORD code = fault->ExceptionRecord->ExceptionCode;
    if (code != EXCEPTION_ILLEGAL_INSTRUCTION && code != EXCEPTION_PRIV_INSTRUCTION) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
#ifdef __x86_64__
    DWORD64 &ip = fault->ContextRecord->Rip;
#else
    DWORD &ip = fault->ContextRecord->Eip;
#endif
    if (!isInsideProbes(static_cast<std::uintptr_t>(ip))) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    ip = static_cast<std::remove_reference_t<decltype(ip)>>(probeLanding());
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

// The handler is installed per call: each registration is independent, so calls on several
// threads need no coordination.
bool guardedRun(InstructionProbe probe) {
    void *handler = AddVectoredExceptionHandler(1, onProbeFault);
    if (handler == nullptr) {
        return false;  // without a guard a fault would end the process: count it as unusable
    }
    const int ran = runProbe(probe);
    RemoveVectoredExceptionHandler(handler);
    return ran != 0;
}

}  // namespace ostrel::platform::probe_detail

#endif

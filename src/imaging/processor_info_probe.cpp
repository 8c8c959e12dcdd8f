// Running one extension's instruction to see whether the processor and the system let it
// execute. The probes are tiny assembly functions that touch the stack only through their call
// and return; when one faults, the fault handler moves the instruction pointer to a landing that
// returns 0 to the caller, so no unwinding or jump buffer is needed. Only faults inside the probes
// are handled; any other fault goes on to whoever handled it before.
#include "imaging/processor_info.h"

#include <cstdint>
#include <type_traits>

#if defined(__i386__) || defined(__x86_64__)
#define OSTREL_HAVE_PROBES 1
#endif

#ifdef OSTREL_HAVE_PROBES
#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <ucontext.h>

#include <mutex>
#endif

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
#endif

namespace ostrel::imaging {

#ifdef OSTREL_HAVE_PROBES
namespace {

// True when a fault at this address came from one of the probes.
bool isInsideProbes(std::uintptr_t address) {
    return address >= reinterpret_cast<std::uintptr_t>(&ostrelProbesBegin) &&
           address < reinterpret_cast<std::uintptr_t>(&ostrelProbeFaulted);
}

std::uintptr_t landing() {
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

#ifdef _WIN32

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
    ip = static_cast<std::remove_reference_t<decltype(ip)>>(landing());
    return EXCEPTION_CONTINUE_EXECUTION;
}

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

#else  // POSIX

// The signal action is process-wide: one probe run at a time installs it and puts the previous
// one back afterwards.
std::mutex probeMutex;
struct sigaction previousAction;

greg_t &instructionPointer(void *context) {
    auto *uc = static_cast<ucontext_t *>(context);
#ifdef __x86_64__
    return uc->uc_mcontext.gregs[REG_RIP];
#else
    return uc->uc_mcontext.gregs[REG_EIP];
#endif
}

void onProbeFault(int signal, siginfo_t *info, void *context) {
    greg_t &ip = instructionPointer(context);
    if (isInsideProbes(static_cast<std::uintptr_t>(ip))) {
        ip = static_cast<greg_t>(landing());
        return;
    }
    // Not ours: hand it to the previous action, or let the default action end the process when
    // the instruction faults again.
    if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
        previousAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN &&
        previousAction.sa_handler != nullptr) {
        previousAction.sa_handler(signal);
        return;
    }
    ::signal(signal, SIG_DFL);
}

bool guardedRun(InstructionProbe probe) {
    std::lock_guard<std::mutex> lock(probeMutex);
    struct sigaction action = {};
    action.sa_sigaction = onProbeFault;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGILL, &action, &previousAction) != 0) {
        return false;
    }
    const int ran = runProbe(probe);
    sigaction(SIGILL, &previousAction, nullptr);
    return ran != 0;
}

#endif

}  // namespace

bool executesWithoutFault(InstructionProbe probe) {
    return guardedRun(probe);
}

#else

bool executesWithoutFault(InstructionProbe /*probe*/) {
    return false;
}

#endif

}  // namespace ostrel::imaging

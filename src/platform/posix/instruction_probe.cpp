// The instruction probes' guard on POSIX systems: a SIGILL action that moves a faulting probe to
// its landing and hands every other fault to the action it replaced.
#include "platform/instruction_probe_code.h"

#ifdef OSTREL_HAVE_INSTRUCTION_PROBES

#include <signal.h>
#include <ucontext.h>

#include <mutex>

namespace ostrel::platform::probe_detail {
namespace {

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
        ip = static_cast<greg_t>(probeLanding());
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

}  // namespace

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

}  // namespace ostrel::platform::probe_detail

#endif

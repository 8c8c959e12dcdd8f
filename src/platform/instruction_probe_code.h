// Internal to the instruction probes: the probe code itself and the address range a fault handler
// recognises it by. The probes are tiny assembly functions that touch the stack only through their
// call and return; when one faults, the system's fault handler moves the instruction pointer to a
// landing that returns 0 to the caller, so no unwinding or jump buffer is needed.
#pragma once

#include <cstdint>

#include "platform/instruction_probe.h"

#if defined(__i386__) || defined(__x86_64__)
#define OSTREL_HAVE_INSTRUCTION_PROBES 1
#endif

namespace ostrel::platform::probe_detail {

#ifdef OSTREL_HAVE_INSTRUCTION_PROBES

// Runs the probe's instruction unguarded: 1 when it ran, 0 when it faulted and the fault handler
// sent it to the landing.
int runProbe(InstructionProbe probe);

// True when a fault at this address came from one of the probes.
bool isInsideProbes(std::uintptr_t address);

// Where a faulting probe resumes: the stack is as at the probe's entry, so it returns 0.
std::uintptr_t probeLanding();

// Runs the probe with the system's fault handler installed (one per system).
bool guardedRun(InstructionProbe probe);

#endif

}  // namespace ostrel::platform::probe_detail

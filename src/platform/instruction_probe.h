// Running one instruction-set extension's instruction to see whether the processor and the
// system let it execute: a processor can declare an extension that the system has not enabled,
// and the only sure test is to run one of its instructions under a guard.
#pragma once

namespace ostrel::platform {

// Instructions that show whether an extension can run here.
enum class InstructionProbe {
    Mmx,        // clear an MMX register and end the MMX state
    ThreeDNow,  // a 3DNow! reciprocal approximation and end the MMX state
    Sse,        // SSE exclusive-or of an XMM register with itself
    Sse2,       // SSE2 double-precision exclusive-or of an XMM register with itself
    Undefined,  // an instruction that every processor refuses: shows that faults are caught
};

// Runs the probe's instruction under an illegal-instruction guard: true when it ran, false when
// it faulted (or on builds that are not x86). Only faults inside the probe are handled; any other
// fault goes on to whoever handled it before. Any thread.
bool executesWithoutFault(InstructionProbe probe);

}  // namespace ostrel::platform

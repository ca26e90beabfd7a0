// SPDX-License-Identifier: MIT
// The processor brand test behind fnVoIsCPU.
#pragma once

namespace quoril {

// Reads the processor brand string through CPUID, writes it and then the verdict ("OK" or
// "FALSE") to the debugger output channel, and answers 1 when `text` occurs in the brand as a
// case-sensitive byte substring, else 0. Answers 0 with no output at all when `text` is null or
// the CPUID instruction is unavailable.
int IsCpuBrandContaining(const char* text);

}  // namespace quoril

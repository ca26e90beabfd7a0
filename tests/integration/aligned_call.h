// Calls an export with the stack pointer at a chosen misalignment (aligned_call_i686.S) and
// reports whether the export kept the stack and the callee-saved registers as it found them.
#pragma once

#include <cstdint>

struct AlignedCallCheck {
  int32_t espError;
  uint32_t registerChanged;
};
extern "C" int quoril_aligned_call(void* function, uint32_t arg0, uint32_t arg1,
                                   uint32_t misalignment, AlignedCallCheck* check);

// SPDX-License-Identifier: MIT
// Calls an export with up to three arguments through a pointer, the way a host built by another
// compiler may, and reports whether the export kept what its calling convention promises.
//  - 32-bit (aligned_call_i686.S): 32-bit hosts keep the stack only 4-byte aligned, so the call
//    is made at each 4-byte misalignment; the export must leave esp balanced (the caller removes
//    the arguments) and keep ebx, esi, edi and ebp.
//  - x86-64 (checked_call_x86_64.S): the convention itself keeps the stack aligned, so there is
//    one way to call; the export must keep rbx, rbp, rdi, rsi, r12-r15 and xmm6-xmm15, each of
//    which holds a value of its own during the call.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>

struct CallCheck {
  int32_t stackError;         // 0 when the stack pointer came back where it was
  uint32_t changedRegisters;  // 0 when every callee-saved register kept its value
};

#if defined(__i386__)
extern "C" int quoril_aligned_call(void* function, uint32_t arg0, uint32_t arg1, uint32_t arg2,
                                   uint32_t misalignment, CallCheck* check);

// The ways a call is made: the stack pointer's misalignment at the call instruction.
inline constexpr uint32_t kCallVariants[] = {0, 4, 8, 12};

inline int CheckedCall(void* function, uintptr_t arg0, uintptr_t arg1, uintptr_t arg2,
                       uint32_t variant, CallCheck* check) {
  return quoril_aligned_call(function, arg0, arg1, arg2, variant, check);
}

inline std::string ChangedRegisterNames(uint32_t changed) {
  return changed == 0 ? "" : "ebx, esi, edi or ebp";
}
#else
extern "C" int quoril_checked_call(void* function, uint64_t arg0, uint64_t arg1, uint64_t arg2,
                                   CallCheck* check);

// One way to call: the convention fixes the alignment.
inline constexpr uint32_t kCallVariants[] = {0};

inline int CheckedCall(void* function, uintptr_t arg0, uintptr_t arg1, uintptr_t arg2, uint32_t,
                       CallCheck* check) {
  return quoril_checked_call(function, arg0, arg1, arg2, check);
}

// changedRegisters has one bit per register, in this order.
inline std::string ChangedRegisterNames(uint32_t changed) {
  static const char* const kNames[] = {"rbx",   "rbp",   "rdi",   "rsi",   "r12",   "r13",
                                       "r14",   "r15",   "xmm6",  "xmm7",  "xmm8",  "xmm9",
                                       "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15"};
  std::string names;
  for (uint32_t bit = 0; bit < std::size(kNames); ++bit) {
    if ((changed & (1u << bit)) != 0) names += std::string(names.empty() ? "" : " ") + kNames[bit];
  }
  return names;
}
#endif

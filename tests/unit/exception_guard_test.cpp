// SPDX-License-Identifier: MIT
// The hand-built structured-exception frame, with real exceptions raised inside it.
#include "platform/win32/exception_guard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace quoril::platform {
namespace {

void* ExceptionChainHead() { return reinterpret_cast<NT_TIB*>(NtCurrentTeb())->ExceptionList; }

void CountCall(void* context) { ++*static_cast<int*>(context); }
void IllegalInstruction(void*) { __asm__ volatile("ud2"); }
void AccessViolation(void*) { *static_cast<volatile int*>(nullptr) = 7; }
void RaisedBySoftware(void*) { RaiseException(0xE0000001, 0, 0, nullptr); }

// The callee-saved registers a fault can leave in any state must come back as they were.
bool PreservesCalleeSavedRegisters(void (*work)(void*)) {
  uint32_t ebxOut, esiOut, ediOut;
  __asm__ volatile(
      "movl $0x1BADB002, %%ebx\n\t"
      "movl $0x2BADB002, %%esi\n\t"
      "movl $0x3BADB002, %%edi\n\t"
      "pushl $0\n\t"
      "pushl %%eax\n\t"
      "call _quoril_seh_run\n\t"
      "addl $8, %%esp\n\t"
      "movl %%ebx, %[ebx]\n\t"
      "movl %%esi, %[esi]\n\t"
      "movl %%edi, %[edi]\n\t"
      : [ebx] "=m"(ebxOut), [esi] "=m"(esiOut), [edi] "=m"(ediOut), "+a"(work)
      :
      : "ecx", "edx", "ebx", "esi", "edi", "memory", "cc");
  return ebxOut == 0x1BADB002 && esiOut == 0x2BADB002 && ediOut == 0x3BADB002;
}

void ClobberRegistersThenFault(void*) {
  __asm__ volatile("movl $1, %%ebx\n\tmovl $2, %%esi\n\tmovl $3, %%edi\n\tud2" ::
                       : "ebx", "esi", "edi");
}

TEST(ExceptionGuardTest, WorkThatReturnsRunsOnceAndSucceeds) {
  int calls = 0;
  EXPECT_TRUE(RunUnderExceptionGuard(&CountCall, &calls));
  EXPECT_EQ(calls, 1);
}

TEST(ExceptionGuardTest, EveryKindOfExceptionIsCaught) {
  EXPECT_FALSE(RunUnderExceptionGuard(&IllegalInstruction, nullptr));
  EXPECT_FALSE(RunUnderExceptionGuard(&AccessViolation, nullptr));
  EXPECT_FALSE(RunUnderExceptionGuard(&RaisedBySoftware, nullptr));
}

TEST(ExceptionGuardTest, LeavesTheThreadAsItFoundIt) {
  void* const head = ExceptionChainHead();
  for (int i = 0; i < 20; ++i) {
    ASSERT_FALSE(RunUnderExceptionGuard(&AccessViolation, nullptr));
    ASSERT_EQ(ExceptionChainHead(), head);
  }
  EXPECT_TRUE(PreservesCalleeSavedRegisters(&ClobberRegistersThenFault));
  EXPECT_TRUE(PreservesCalleeSavedRegisters(&IllegalInstruction));
  // C++ exceptions still unwind normally once the guard has handled a fault.
  EXPECT_THROW(throw std::runtime_error("after"), std::runtime_error);
}

void FaultInsideInnerGuard(void* context) {
  *static_cast<bool*>(context) = RunUnderExceptionGuard(&AccessViolation, nullptr);
}

TEST(ExceptionGuardTest, NestedGuardsHandleTheirOwnFaults) {
  bool inner = true;
  EXPECT_TRUE(RunUnderExceptionGuard(&FaultInsideInnerGuard, &inner));
  EXPECT_FALSE(inner);
}

}  // namespace
}  // namespace quoril::platform

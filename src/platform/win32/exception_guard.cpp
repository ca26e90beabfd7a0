// SPDX-License-Identifier: MIT
#include "platform/win32/exception_guard.h"

#include <windows.h>

#include <cstdint>

namespace {

// The registration record that quoril_seh_run pushes, in stack order.
struct GuardRecord {
  void* next;
  void* handler;
  uint32_t framePointer;
  uint32_t resumeAddress;
};

// Exception flags the system sets while it unwinds frames rather than dispatching to them.
constexpr DWORD kUnwindFlags = 0x2 /* unwinding */ | 0x4 /* exit unwind */;

}  // namespace

extern "C" int quoril_seh_run(void (*work)(void*), void* context);

// Called by the system for any exception raised while the record is linked: resumes at the
// guard's exit with eax = 1 ("faulted"), esp at the record and the guard's frame pointer.
extern "C" EXCEPTION_DISPOSITION __cdecl quoril_seh_handler(EXCEPTION_RECORD* exception,
                                                            void* establisherFrame,
                                                            CONTEXT* context, void*) {
  if ((exception->ExceptionFlags & kUnwindFlags) != 0) return ExceptionContinueSearch;
  const auto* record = static_cast<const GuardRecord*>(establisherFrame);
  context->Esp = static_cast<DWORD>(reinterpret_cast<uintptr_t>(establisherFrame));
  context->Ebp = record->framePointer;
  context->Eip = record->resumeAddress;
  context->Eax = 1;
  return ExceptionContinueExecution;
}

namespace quoril::platform {

bool RunUnderExceptionGuard(void (*work)(void* context), void* context) {
  return quoril_seh_run(work, context) == 0;
}

}  // namespace quoril::platform

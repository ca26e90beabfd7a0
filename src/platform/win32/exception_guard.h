// SPDX-License-Identifier: MIT
// A structured-exception guard for 32-bit Windows.
#pragma once

namespace quoril::platform {

// Runs `work(context)` under a structured-exception frame that handles every exception.
// Answers true when `work` returned normally and false when an exception was raised inside it;
// the rest of `work` is then abandoned without running its destructors or nested handlers'
// unwinding, so `work` must own nothing (executing one instruction is its purpose).
bool RunUnderExceptionGuard(void (*work)(void* context), void* context);

}  // namespace quoril::platform

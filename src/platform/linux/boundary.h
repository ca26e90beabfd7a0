// SPDX-License-Identifier: MIT
// The Linux layer's one error model. Its code uses the standard library, which reports a failed
// allocation (std::bad_alloc, from std::string, std::vector and std::filesystem alike) by
// throwing; the logic above is built without exceptions and cannot unwind. So each way in from
// the logic (a platform call, or a method of an object the layer hands out) whose work may throw
// runs it through AnswerOrFail, and an exception becomes the failed result that Windows gives for
// the same lack of resources. Code below these ways in throws as the standard library does and
// catches nothing.
#pragma once

#include <utility>

namespace quoril::platform {

// `work()`, or `failed` when it throws.
template <typename Result, typename Work>
Result AnswerOrFail(Result failed, Work&& work) noexcept {
  try {
    return std::forward<Work>(work)();
  } catch (...) {
    return failed;
  }
}

}  // namespace quoril::platform

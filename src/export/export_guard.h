// The export boundary: nothing but a result value ever leaves an export.
#pragma once

namespace quoril {

// Runs one export's work and turns any escaping exception (allocation failure included) into
// the failure result 0, so that no exception crosses into a host that could not handle it.
template <typename Work>
int GuardExport(Work&& work) noexcept {
  try {
    return work();
  } catch (...) {
    return 0;
  }
}

}  // namespace quoril

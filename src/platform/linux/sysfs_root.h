// SPDX-License-Identifier: MIT
// Where the native platform layer finds the kernel's sysfs tree.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quoril::platform {

// "/sys", unless the environment variable QUORIL_SYSFS_ROOT names another folder (non-empty):
// then that folder stands for /sys for every question answered from sysfs (display adapters,
// the system board, optical drives). It exists so that tests of whole programs (quoril-info
// over libquoril.so) can give the library a scratch tree with known contents; only the native
// platform layer reads it, and the Windows library has no such variable. Read on every call,
// like every other source: nothing is remembered.
std::string SysfsRoot();

// The names of the entries of `folder` ("." and ".." aside), in the order the system lists them;
// nothing when the folder can't be listed completely. std::filesystem's listing that reports
// errors without throwing ends the process when memory runs short; here a failed allocation
// throws std::bad_alloc, which the layer's boundary turns into a failed call (boundary.h).
std::optional<std::vector<std::string>> FolderEntries(const std::string& folder);

}  // namespace quoril::platform

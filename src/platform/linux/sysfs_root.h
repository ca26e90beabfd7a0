// SPDX-License-Identifier: MIT
// Where the native platform layer finds the kernel's sysfs tree.
#pragma once

#include <string>

namespace quoril::platform {

// "/sys", unless the environment variable QUORIL_SYSFS_ROOT names another folder (non-empty):
// then that folder stands for /sys for every question answered from sysfs (display adapters,
// the system board, optical drives). It exists so that tests of whole programs (quoril-info
// over libquoril.so) can give the library a scratch tree with known contents; only the native
// platform layer reads it, and the Windows library has no such variable. Read on every call,
// like every other source: nothing is remembered.
std::string SysfsRoot();

}  // namespace quoril::platform

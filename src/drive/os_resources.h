// SPDX-License-Identifier: MIT
// Guards for what the drive channel takes from the operating system: each releases its handle
// or library exactly once, on every path out of the owner.
#pragma once

#include "platform/platform.h"
#include "platform/unique_resource.h"

namespace quoril {

using UniqueHandle = UniqueResource<platform::Handle, &platform::CloseHandle>;
using UniqueLibrary = UniqueResource<platform::Module, &platform::FreeLibrary>;

// CreateFileA reports failure as INVALID_HANDLE_VALUE or null; a guard holds only real handles.
inline UniqueHandle AdoptHandle(platform::Handle handle) {
  return UniqueHandle(handle == platform::InvalidHandleValue() ? nullptr : handle);
}

}  // namespace quoril

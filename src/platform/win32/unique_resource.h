// SPDX-License-Identifier: MIT
// Guards for resources that only the Windows layer itself acquires.
#pragma once

#include <windows.h>

#include "platform/unique_resource.h"

namespace quoril::platform {

// A library loaded with LoadLibraryA, freed with FreeLibrary.
using UniqueModule = UniqueResource<HMODULE, &::FreeLibrary>;

}  // namespace quoril::platform

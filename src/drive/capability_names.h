// SPDX-License-Identifier: MIT
// The names of the capability bits, for people reading a drive's capability set.
#pragma once

#include <span>
#include <string_view>

#include "drive/capabilities.h"

namespace quoril {

struct NamedCapability {
  CapabilityBit bit;
  std::string_view name;  // "CAP_BD_ROM", ...
};

// Every capability bit that has a name, lowest bit first.
std::span<const NamedCapability> CapabilityNameTable();

// Calls `visit(name)` for every named bit set in `caps`, lowest bit first.
template <typename Visit>
void ForEachCapabilityName(const DriveCapabilities& caps, Visit&& visit) {
  for (const NamedCapability& named : CapabilityNameTable()) {
    if (HasAnyCapability(caps, named.bit)) visit(named.name);
  }
}

}  // namespace quoril

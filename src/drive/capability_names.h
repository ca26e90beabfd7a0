// The names of the capability bits, for people reading a drive's capability set.
#pragma once

#include <string_view>
#include <vector>

#include "drive/capabilities.h"

namespace quoril {

// The name of every bit set in `caps` ("CAP_BD_ROM", ...), lowest bit first.
std::vector<std::string_view> CapabilityNames(const DriveCapabilities& caps);

}  // namespace quoril

// SPDX-License-Identifier: MIT
// The display adapter subsystem vendor behind fnGetSVID.
#pragma once

#include <cstdint>

namespace quoril {

// Makes `out` (at least QUORIL_VENDOR_BYTES bytes) an empty string, then looks up display adapter
// `index`. Answers 0 when there is no adapter at that index (or `out` is null), else 1; in that
// case `out` holds the four characters before the first "&" that follows the first "SUBSYS" of the
// adapter's device identifier, or stays empty when the field is missing or too short.
int GetSubsystemVendor(int32_t index, char* out);

}  // namespace quoril

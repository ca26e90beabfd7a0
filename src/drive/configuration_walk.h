// SPDX-License-Identifier: MIT
// Condenses a drive's answer to GET CONFIGURATION into its capability set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "drive/capabilities.h"

namespace quoril {

// The probe asks for at most this much and reads nothing beyond it.
inline constexpr size_t kConfigurationBufferSize = 2048;

// Walks the response header and feature descriptors in `response` (what the drive wrote, the
// rest zero) and answers the capabilities they name. Profiles and features count whether or
// not the drive marks them current. Only bytes inside `response` are ever read, whatever
// lengths the drive wrote:
//  - the Data Length counts from byte 4 and is taken as at most 2044; one below 4 leaves the
//    walk bounded by the buffer alone;
//  - a descriptor is read when its four header bytes lie inside the buffer; one that the Data
//    Length reaches into at all is read whole;
//  - a Profile List entry counts when its profile number lies inside both the list (by its
//    additional length) and the buffer; a feature's flag bytes count when inside the buffer.
DriveCapabilities DecodeConfiguration(std::span<const uint8_t, kConfigurationBufferSize> response);

}  // namespace quoril

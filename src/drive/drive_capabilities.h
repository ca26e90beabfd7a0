// SPDX-License-Identifier: MIT
// Asks a drive for its configuration and condenses the answer into its capability set.
#pragma once

#include <cstdint>

#include "drive/capabilities.h"
#include "drive/drive_device.h"

namespace quoril {

// The GET CONFIGURATION command the probe sends: every feature, current or not, from feature 0,
// at most kConfigurationBufferSize bytes back.
inline constexpr uint8_t kGetConfigurationCommand[10] = {0x46, 0x00, 0x00, 0x00, 0x00,
                                                         0x00, 0x00, 0x08, 0x00, 0x00};

// Sends GET CONFIGURATION to `device` and, when the drive answered, replaces `caps` with the
// capabilities its answer names and answers 1. Answers 0, leaving `caps` as it was, for a null
// argument or a command that failed.
int32_t GetDriveCapabilities(CDriveDevice* device, DriveCapabilities* caps);

}  // namespace quoril

// SPDX-License-Identifier: MIT
// Picks the way to a drive from the operating system and hands out open devices.
#pragma once

#include "drive/drive_device.h"

namespace quoril {

// 1 on the 95/98/ME family (platform id 1, major version 4), else 0.
int32_t IsWin9xPlatform();

// An open device for the drive behind `letter`, shared with other users of the drive, or null.
// The caller releases a device with ReleaseDriveDevice; a null result leaves nothing to
// release. A failure to allocate or to open is a null result.
CDriveDevice* CreateDriveDevice(char letter) noexcept;

}  // namespace quoril

// SPDX-License-Identifier: MIT
// Whether the machine has an optical drive that reads Blu-ray media.
#pragma once

#include <cstdint>

namespace quoril {

// 1 when the root of drive `letter` is an optical drive, else 0.
int32_t IsOpticalDrive(char letter);

// 1 when the drive behind `letter` opens, answers GET CONFIGURATION and lists a Blu-ray
// profile, current or not; else 0. The device is released before it answers, whatever happened.
int32_t DriveSupportsBD(char letter);

// 1 at the first letter from A to Z that is an optical drive supporting Blu-ray; later letters
// are not looked at. 0 when there is none.
int32_t HasBlurayDrive();

}  // namespace quoril

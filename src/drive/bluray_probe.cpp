// SPDX-License-Identifier: MIT
#include "drive/bluray_probe.h"

#include "drive/drive_capabilities.h"
#include "drive/drive_factory.h"
#include "platform/platform.h"

namespace quoril {

int32_t IsOpticalDrive(char letter) {
  const char root[] = {letter, ':', '\\', '\0'};
  return platform::GetDriveTypeA(root) == platform::kDriveCdrom ? 1 : 0;
}

int32_t DriveSupportsBD(char letter) {
  const DriveDevicePtr device(CreateDriveDevice(letter));
  if (!device) return 0;
  DriveCapabilities caps;
  return GetDriveCapabilities(device.get(), &caps) == 1 && HasAnyCapability(caps, kBlurayReadMask)
             ? 1
             : 0;
}

int32_t HasBlurayDrive() {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (IsOpticalDrive(letter) == 1 && DriveSupportsBD(letter) == 1) return 1;
  }
  return 0;
}

}  // namespace quoril

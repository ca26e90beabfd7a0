// SPDX-License-Identifier: MIT
#include "drive/drive_capabilities.h"

#include "drive/configuration_walk.h"
#include "platform/platform.h"

namespace quoril {

int32_t GetDriveCapabilities(CDriveDevice* device, DriveCapabilities* caps) {
  if (device == nullptr || caps == nullptr) return 0;
  uint8_t response[kConfigurationBufferSize] = {};
  uint32_t bytesReturned = 0;
  if (SendDriveCommand(device, platform::kScsiIoctlDataIn, kGetConfigurationCommand,
                       sizeof kGetConfigurationCommand, response, sizeof response,
                       &bytesReturned) != 1) {
    return 0;
  }
  *caps = DecodeConfiguration(response);
  return 1;
}

}  // namespace quoril

// SPDX-License-Identifier: MIT
#include "drive/drive_device.h"

#include "platform/platform.h"

namespace quoril {

void* CDriveDevice::operator new(size_t size) noexcept {
  return platform::HeapAlloc(platform::GetProcessHeap(), 0, size);
}

void CDriveDevice::operator delete(void* block) noexcept {
  if (block != nullptr) platform::HeapFree(platform::GetProcessHeap(), 0, block);
}

void ReleaseDriveDevice(CDriveDevice* device) noexcept {
  if (device == nullptr) return;
  device->Close();
  delete device;
}

int32_t SendDriveCommand(CDriveDevice* device, uint8_t direction, const uint8_t* cdb,
                         uint32_t cdbLength, uint8_t* buffer, uint32_t bufferLength,
                         uint32_t* bytesReturned) {
  if (device == nullptr) return 0;
  return device->SendCommand(direction, cdb, cdbLength, buffer, bufferLength, bytesReturned);
}

}  // namespace quoril

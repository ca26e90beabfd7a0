// SPDX-License-Identifier: MIT
// The command channel to one optical drive: one abstract device, reached through SCSI
// pass-through on the NT family and through the ASPI manager on the 95/98/ME family. A device
// lives for one probe: created open by CreateDriveDevice, one command, then ReleaseDriveDevice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quoril {

// The longest command block either request carries.
inline constexpr uint32_t kMaxCdbLength = 16;

class CDriveDevice {
 public:
  CDriveDevice() = default;
  CDriveDevice(const CDriveDevice&) = delete;
  CDriveDevice& operator=(const CDriveDevice&) = delete;
  // Leaves the device closed. Resources a variant still holds are released by their guards,
  // so a device destroyed without Close() leaks nothing either.
  virtual ~CDriveDevice() { isOpen = 0; }

  // A device outlives the factory call that makes it, so it lives on the process heap. The
  // allocation does not throw: when the heap has no room, `new` yields null, which the factory
  // answers as a device it could not make.
  static void* operator new(size_t size) noexcept;
  static void operator delete(void* block) noexcept;

  // Has no effect; kept so that every variant has the same operations in the same order.
  virtual int32_t Reserved(uint32_t value) = 0;
  // Opens the drive behind `letter`; `shared` asks to let others read and write it meanwhile.
  // Answers 0, changing nothing, when the device is already open.
  virtual int32_t Open(char letter, int32_t shared) = 0;
  virtual void Close() { isOpen = 0; }
  // Sends one command block of at most kMaxCdbLength bytes. `direction` is 0 (data to the
  // drive), 1 (data from the drive) or 2 (none). Answers 1 when the drive completed the
  // command without reporting sense data; only then may `buffer` be trusted. `bytesReturned`
  // receives what the channel reports of its own record, not the data's length.
  virtual int32_t SendCommand(uint8_t direction, const uint8_t* cdb, uint32_t cdbLength,
                              uint8_t* buffer, uint32_t bufferLength, uint32_t* bytesReturned) = 0;

  uint8_t hostAdapter = 0;  // ASPI only
  uint8_t target = 0;       // ASPI only
  uint8_t lun = 0;          // ASPI only; always 0
  // Sense data of the last completed command: byte 2 whole, bytes 12 and 13, and bytes 16-17
  // (byte 16 high; pass-through only).
  uint8_t lastSenseKey = 0;
  uint8_t lastAsc = 0;
  uint8_t lastAscq = 0;
  uint16_t lastSenseSpecific = 0;
  char driveLetter = 0;
  int32_t isOpen = 0;
};

// Closes `device` and destroys it; a null device is ignored.
void ReleaseDriveDevice(CDriveDevice* device) noexcept;

// device->SendCommand with the same arguments, or 0 for a null device.
int32_t SendDriveCommand(CDriveDevice* device, uint8_t direction, const uint8_t* cdb,
                         uint32_t cdbLength, uint8_t* buffer, uint32_t bufferLength,
                         uint32_t* bytesReturned);

struct DriveDeviceReleaser {
  void operator()(CDriveDevice* device) const noexcept { ReleaseDriveDevice(device); }
};
// Owns a device from the factory and releases it on every way out of the owner's scope.
using DriveDevicePtr = std::unique_ptr<CDriveDevice, DriveDeviceReleaser>;

}  // namespace quoril

// SPDX-License-Identifier: MIT
#include "drive/pass_through_device.h"

#include <cstring>

namespace quoril {
namespace {

// Read-write where the system lets a volume be opened that way for commands (NT 5 and later),
// read-only before; the other one is the second attempt.
uint32_t FirstAccess() {
  platform::OsVersionInfoA version;
  version.dwOSVersionInfoSize = platform::kOsVersionInfoASize;
  platform::GetVersionExA(&version);
  const bool laterNt =
      version.dwPlatformId == platform::kVerPlatformWin32Nt && version.dwMajorVersion > 4;
  return laterNt ? platform::kGenericRead | platform::kGenericWrite : platform::kGenericRead;
}

UniqueHandle OpenVolume(const char* path, uint32_t access, uint32_t share) {
  return UniqueHandle(
      platform::CreateFileA(path, access, share, nullptr, platform::kOpenExisting, 0, nullptr));
}

}  // namespace

int32_t CPassThroughDevice::Reserved(uint32_t /*value*/) { return 0; }

int32_t CPassThroughDevice::Open(char letter, int32_t shared) {
  if (isOpen == 1) return 0;
  const uint32_t access = FirstAccess();
  char path[platform::kVolumePathSize];
  platform::FormatVolumePath(letter, path);
  const uint32_t share = shared != 0 ? platform::kFileShareRead | platform::kFileShareWrite : 0;

  UniqueHandle volume = OpenVolume(path, access, share);
  if (!volume) volume = OpenVolume(path, access ^ platform::kGenericWrite, share);
  if (!volume) return 0;
  device = std::move(volume);
  driveLetter = letter;
  isOpen = 1;
  return 1;
}

void CPassThroughDevice::Close() {
  if (isOpen != 1) return;
  device.reset();
  CDriveDevice::Close();
}

int32_t CPassThroughDevice::SendCommand(uint8_t direction, const uint8_t* cdb, uint32_t cdbLength,
                                        uint8_t* buffer, uint32_t bufferLength,
                                        uint32_t* bytesReturned) {
  // A longer block would not fit the request; a missing one cannot be copied into it.
  if (isOpen != 1 || cdbLength > kMaxCdbLength || (cdb == nullptr && cdbLength != 0)) return 0;

  PassThroughRequest record;
  std::memset(&record, 0, sizeof record);
  platform::ScsiPassThroughDirect& request = record.request;
  request.Length = sizeof(platform::ScsiPassThroughDirect);
  request.CdbLength = static_cast<uint8_t>(cdbLength);
  request.SenseInfoLength = sizeof record.sense;
  request.DataIn = direction;
  request.DataTransferLength = bufferLength;
  request.TimeOutValue = kPassThroughTimeOutSeconds;
  request.DataBuffer = buffer;
  request.SenseInfoOffset = offsetof(PassThroughRequest, sense);
  if (cdbLength != 0) std::memcpy(request.Cdb, cdb, cdbLength);

  // The system writes the record's size here and faults on a null pointer, so a caller that
  // passes none still gets a place for it.
  uint32_t unusedBytesReturned = 0;
  if (bytesReturned == nullptr) bytesReturned = &unusedBytesReturned;
  if (!platform::DeviceIoControl(device.get(), platform::kIoctlScsiPassThroughDirect, &record,
                                 sizeof record, &record, sizeof record, bytesReturned, nullptr)) {
    return 0;
  }

  lastSenseKey = record.sense[2];
  lastAsc = record.sense[12];
  lastAscq = record.sense[13];
  lastSenseSpecific = static_cast<uint16_t>(record.sense[16] << 8 | record.sense[17]);
  // Success is judged by the sense data alone: none returned, or none that names a condition.
  const bool senseReported = lastSenseKey != 0 || lastAsc != 0 || lastAscq != 0;
  return record.request.SenseInfoLength != 0 && senseReported ? 0 : 1;
}

}  // namespace quoril

// SPDX-License-Identifier: MIT
// The 95/98/ME family's way to a drive: the ASPI manager library, loaded at run time, finds the
// host adapter and target behind the letter and carries each command as an execute request
// whose completion it signals through an event.
#pragma once

#include <cstdint>

#include "drive/drive_device.h"
#include "platform/aspi.h"
#include "platform/unique_resource.h"

namespace quoril {

class CAspiDevice : public CDriveDevice {
 public:
  int32_t Reserved(uint32_t value) override;
  // `shared` plays no part: the manager has no notion of exclusive use.
  int32_t Open(char letter, int32_t shared) override;
  // Frees the library and closes the event, open or not.
  void Close() override;
  int32_t SendCommand(uint8_t direction, const uint8_t* cdb, uint32_t cdbLength, uint8_t* buffer,
                      uint32_t bufferLength, uint32_t* bytesReturned) override;

  UniqueHandle completionEvent;
  UniqueLibrary aspiLibrary;
  aspi::GetSupportInfoFn getSupportInfo = nullptr;
  aspi::SendCommandFn sendAspiCommand = nullptr;

 private:
  // Finds hostAdapter, target and lun of the CD-ROM target whose drive number names
  // driveLetter. Answers 1 when found.
  int32_t FindTarget();
  // Scans the targets of one adapter; answers 1 when one of them carries driveLetter.
  int32_t FindTargetOnAdapter(uint8_t adapter, uint32_t targetLimit);
};

}  // namespace quoril

// SPDX-License-Identifier: MIT
// The NT family's way to a drive: its volume device, opened by path, carries each command as a
// SCSI pass-through request.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drive/drive_device.h"
#include "platform/platform.h"
#include "platform/unique_resource.h"

namespace quoril {

// What travels to the port driver and back: the request, then room for the sense data the
// driver writes. 80 bytes on 32-bit Windows with the sense data at 48.
struct PassThroughRequest {
  platform::ScsiPassThroughDirect request;
  uint32_t filler;
  uint8_t sense[32];
};
#if defined(__i386__)
static_assert(sizeof(PassThroughRequest) == 80);
static_assert(offsetof(PassThroughRequest, sense) == 48);
#elif defined(__x86_64__)
// The buffer pointer widens to 8 bytes and takes its alignment: the request is 56 bytes there,
// and the sense data follows the filler at 60.
static_assert(sizeof(PassThroughRequest) == 96);
static_assert(offsetof(PassThroughRequest, sense) == 60);
#endif

// How long the drive may take over one command, in seconds.
inline constexpr uint32_t kPassThroughTimeOutSeconds = 7200;

class CPassThroughDevice : public CDriveDevice {
 public:
  int32_t Reserved(uint32_t value) override;
  int32_t Open(char letter, int32_t shared) override;
  void Close() override;
  int32_t SendCommand(uint8_t direction, const uint8_t* cdb, uint32_t cdbLength, uint8_t* buffer,
                      uint32_t bufferLength, uint32_t* bytesReturned) override;

  UniqueHandle device;  // the opened volume device; empty when closed
};

}  // namespace quoril

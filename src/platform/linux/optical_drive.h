// SPDX-License-Identifier: MIT
// Optical drives as Linux names them, reached the way the NT family reaches a volume: drive
// letters map to the SCSI CD-ROM device nodes, D: to sr0, E: to sr1 and so on up to Z: (sr22);
// A:, B: and C: never name an optical drive. A pass-through request travels as an SG_IO request
// to the opened node.
#pragma once

#include <scsi/sg.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quoril::platform::optical {

// Where the running kernel puts the device nodes.
inline constexpr std::string_view kDeviceDir = "/dev";

// The device node behind drive `letter` (either case) under `deviceDir`; nothing for a letter
// that never names an optical drive.
std::optional<std::string> DeviceNodeOfLetter(std::string_view deviceDir, char letter);

// The letter of a root path ("D:\", "D:/" or "D:"); nothing for anything else.
std::optional<char> LetterOfRootPath(const char* rootPathName);

// The letter of a volume device path, exactly "\\.\D:"; nothing for anything else.
std::optional<char> LetterOfVolumePath(const char* fileName);

// kDriveCdrom when the letter's node exists and is not a folder, else kDriveNoRootDir.
uint32_t DriveTypeOf(std::string_view deviceDir, const char* rootPathName);

// The open(2) flags for a volume opened with `desiredAccess` and `shareMode`: never blocking on
// a missing disc, and exclusive (the drive must not be in use, mounted included) when the
// caller shares it with no one. Nothing for an access that asks neither to read nor to write.
std::optional<int> OpenFlags(uint32_t desiredAccess, uint32_t shareMode);

// Fills `header` with the SG_IO request that carries `request`, its sense data to be written to
// `sense`. False, touching nothing, for a request the SCSI layer cannot carry: a wrong Length, a
// command block of 0 or more than 16 bytes, an unknown direction.
bool ToSgIo(const ScsiPassThroughDirect& request, uint8_t* sense, sg_io_hdr_t* header);

// Carries the outcome of a completed SG_IO request back into `request` (SCSI status, sense
// length written, data moved) and reports the bytes of the record that hold an answer. False when
// the command never reached the drive or the transport failed; a drive that reported sense data
// is a completed request.
bool FromSgIo(const sg_io_hdr_t& header, ScsiPassThroughDirect* request, uint32_t* bytesReturned);

// DeviceIoControl on an open device node `fd`: only the direct pass-through request, with the
// record in `inBuffer` and its answer written to `outBuffer` (the same record, or a copy).
bool PassThrough(int fd, uint32_t ioControlCode, const void* inBuffer, uint32_t inBufferSize,
                 void* outBuffer, uint32_t outBufferSize, uint32_t* bytesReturned);

}  // namespace quoril::platform::optical

// SPDX-License-Identifier: MIT
#include "platform/linux/optical_drive.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "common/ascii_case.h"

namespace quoril::platform::optical {
namespace {

constexpr char kFirstOpticalLetter = 'D';
// The driver's own status bit saying that sense data came back, which is no failure by itself.
constexpr unsigned kDriverSense = 0x08;

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::optional<std::string> DeviceNodeOfLetter(std::string_view deviceDir, char letter) {
  const char upper = AsciiUpper(letter);
  if (upper < kFirstOpticalLetter || upper > 'Z') return std::nullopt;
  return std::string(deviceDir) + "/sr" + std::to_string(upper - kFirstOpticalLetter);
}

std::optional<char> LetterOfRootPath(const char* rootPathName) {
  if (rootPathName == nullptr || !IsLetter(rootPathName[0]) || rootPathName[1] != ':') {
    return std::nullopt;
  }
  const char* rest = rootPathName + 2;
  if (*rest == '\\' || *rest == '/') ++rest;
  if (*rest != '\0') return std::nullopt;
  return rootPathName[0];
}

std::optional<char> LetterOfVolumePath(const char* fileName) {
  if (fileName == nullptr || std::strncmp(fileName, "\\\\.\\", 4) != 0 || !IsLetter(fileName[4]) ||
      fileName[5] != ':' || fileName[6] != '\0') {
    return std::nullopt;
  }
  return fileName[4];
}

uint32_t DriveTypeOf(std::string_view deviceDir, const char* rootPathName) {
  const std::optional<char> letter = LetterOfRootPath(rootPathName);
  const std::optional<std::string> node =
      letter ? DeviceNodeOfLetter(deviceDir, *letter) : std::nullopt;
  struct stat status;
  if (!node || ::stat(node->c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
    return kDriveNoRootDir;
  }
  return kDriveCdrom;
}

std::optional<int> OpenFlags(uint32_t desiredAccess, uint32_t shareMode) {
  const bool read = (desiredAccess & kGenericRead) != 0;
  const bool write = (desiredAccess & kGenericWrite) != 0;
  if (!read && !write) return std::nullopt;
  int flags = read && write ? O_RDWR : (write ? O_WRONLY : O_RDONLY);
  flags |= O_NONBLOCK | O_CLOEXEC;
  if (shareMode == 0) flags |= O_EXCL;
  return flags;
}

bool ToSgIo(const ScsiPassThroughDirect& request, uint8_t* sense, sg_io_hdr_t* header) {
  if (request.Length != sizeof(ScsiPassThroughDirect) || request.CdbLength == 0 ||
      request.CdbLength > sizeof request.Cdb) {
    return false;
  }
  int direction = SG_DXFER_NONE;
  if (request.DataTransferLength != 0) {
    switch (request.DataIn) {
      case kScsiIoctlDataIn:
        direction = SG_DXFER_FROM_DEV;
        break;
      case kScsiIoctlDataOut:
        direction = SG_DXFER_TO_DEV;
        break;
      default:
        return false;  // data to move, but no way to tell which way
    }
  }
  sg_io_hdr_t built;
  std::memset(&built, 0, sizeof built);
  built.interface_id = 'S';
  built.dxfer_direction = direction;
  built.cmd_len = request.CdbLength;
  built.mx_sb_len = request.SenseInfoLength;
  built.dxfer_len = request.DataTransferLength;
  built.dxferp = request.DataBuffer;
  built.cmdp = const_cast<unsigned char*>(request.Cdb);
  built.sbp = sense;
  // Seconds there, milliseconds here.
  built.timeout = request.TimeOutValue > UINT_MAX / 1000 ? UINT_MAX : request.TimeOutValue * 1000;
  *header = built;
  return true;
}

bool FromSgIo(const sg_io_hdr_t& header, ScsiPassThroughDirect* request, uint32_t* bytesReturned) {
  if (header.host_status != 0 || (header.driver_status & ~kDriverSense) != 0) return false;
  request->ScsiStatus = header.status;
  request->SenseInfoLength = std::min<unsigned>(header.sb_len_wr, request->SenseInfoLength);
  const int resid = std::clamp<int>(header.resid, 0, static_cast<int>(header.dxfer_len));
  request->DataTransferLength = header.dxfer_len - static_cast<uint32_t>(resid);
  if (bytesReturned != nullptr) {
    *bytesReturned = request->SenseInfoLength != 0
                         ? request->SenseInfoOffset + request->SenseInfoLength
                         : static_cast<uint32_t>(sizeof(ScsiPassThroughDirect));
  }
  return true;
}

bool PassThrough(int fd, uint32_t ioControlCode, const void* inBuffer, uint32_t inBufferSize,
                 void* outBuffer, uint32_t outBufferSize, uint32_t* bytesReturned) {
  if (ioControlCode != kIoctlScsiPassThroughDirect || inBuffer == nullptr || outBuffer == nullptr ||
      inBufferSize < sizeof(ScsiPassThroughDirect) ||
      outBufferSize < sizeof(ScsiPassThroughDirect)) {
    return false;
  }
  ScsiPassThroughDirect request;
  std::memcpy(&request, inBuffer, sizeof request);
  // The sense data goes where the record says, and only if that lies inside the answer.
  if (request.SenseInfoLength != 0 &&
      (request.SenseInfoOffset < sizeof request ||
       uint64_t{request.SenseInfoOffset} + request.SenseInfoLength > outBufferSize)) {
    return false;
  }
  uint8_t* const sense = static_cast<uint8_t*>(outBuffer) + request.SenseInfoOffset;
  sg_io_hdr_t header;
  if (!ToSgIo(request, request.SenseInfoLength != 0 ? sense : nullptr, &header)) return false;
  if (::ioctl(fd, SG_IO, &header) != 0) return false;
  if (!FromSgIo(header, &request, bytesReturned)) return false;
  std::memcpy(outBuffer, &request, sizeof request);
  return true;
}

}  // namespace quoril::platform::optical

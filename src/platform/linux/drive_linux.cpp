// SPDX-License-Identifier: MIT
// Drives, events and run-time library loading answered natively on Linux, for libquoril.so.
// Handles are file descriptors, one more than the descriptor so that none is ever null.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <string>

#include "platform/linux/boundary.h"
#include "platform/linux/optical_drive.h"
#include "platform/platform.h"

namespace quoril::platform {
namespace {

Handle HandleOf(int fd) { return reinterpret_cast<Handle>(static_cast<intptr_t>(fd) + 1); }

int DescriptorOf(Handle handle) {
  const intptr_t value = reinterpret_cast<intptr_t>(handle) - 1;
  return value >= 0 && value <= INT_MAX ? static_cast<int>(value) : -1;
}

// Linux is answered for as the NT family at its newest: volumes are asked for read-write first.
constexpr uint32_t kReportedMajorVersion = 10;

}  // namespace

bool GetVersionExA(OsVersionInfoA* info) {
  if (info == nullptr || info->dwOSVersionInfoSize != kOsVersionInfoASize) return false;
  info->dwMajorVersion = kReportedMajorVersion;
  info->dwMinorVersion = 0;
  info->dwBuildNumber = 0;
  info->dwPlatformId = kVerPlatformWin32Nt;
  info->szCSDVersion[0] = '\0';
  return true;
}

uint32_t GetVersion() { return kReportedMajorVersion; }

uint32_t GetDriveTypeA(const char* rootPathName) {
  return AnswerOrFail(kDriveUnknown,
                      [&] { return optical::DriveTypeOf(optical::kDeviceDir, rootPathName); });
}

Handle CreateFileA(const char* fileName, uint32_t desiredAccess, uint32_t shareMode,
                   void* securityAttributes, uint32_t creationDisposition,
                   uint32_t flagsAndAttributes, Handle templateFile) {
  const std::optional<char> letter = optical::LetterOfVolumePath(fileName);
  const std::optional<std::string> node =
      AnswerOrFail(std::optional<std::string>(), [&]() -> std::optional<std::string> {
        if (!letter) return std::nullopt;
        return optical::DeviceNodeOfLetter(optical::kDeviceDir, *letter);
      });
  const std::optional<int> flags = optical::OpenFlags(desiredAccess, shareMode);
  if (!node || !flags || securityAttributes != nullptr || creationDisposition != kOpenExisting ||
      flagsAndAttributes != 0 || templateFile != nullptr) {
    return InvalidHandleValue();
  }
  int fd;
  do {
    fd = ::open(node->c_str(), *flags);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? InvalidHandleValue() : HandleOf(fd);
}

bool DeviceIoControl(Handle device, uint32_t ioControlCode, void* inBuffer, uint32_t inBufferSize,
                     void* outBuffer, uint32_t outBufferSize, uint32_t* bytesReturned,
                     void* overlapped) {
  const int fd = DescriptorOf(device);
  if (fd < 0 || overlapped != nullptr) return false;
  return optical::PassThrough(fd, ioControlCode, inBuffer, inBufferSize, outBuffer, outBufferSize,
                              bytesReturned);
}

bool CloseHandle(Handle object) {
  const int fd = DescriptorOf(object);
  return fd >= 0 && ::close(fd) == 0;
}

// Only unnamed manual-reset events, the one kind the library uses: an eventfd that stays
// readable while signalled.
Handle CreateEventA(void* securityAttributes, bool manualReset, bool initialState,
                    const char* name) {
  if (securityAttributes != nullptr || !manualReset || name != nullptr) return nullptr;
  const int fd = ::eventfd(initialState ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
  return fd < 0 ? nullptr : HandleOf(fd);
}

bool ResetEvent(Handle event) {
  const int fd = DescriptorOf(event);
  if (fd < 0) return false;
  eventfd_t count;
  // Reading empties the counter; an event already reset answers EAGAIN.
  return ::eventfd_read(fd, &count) == 0 || errno == EAGAIN;
}

uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) {
  const int fd = DescriptorOf(object);
  if (fd < 0) return kWaitFailed;
  pollfd watched{fd, POLLIN, 0};
  const int timeout =
      milliseconds == kInfinite ? -1 : static_cast<int>(std::min<uint32_t>(milliseconds, INT_MAX));
  int ready;
  do {
    ready = ::poll(&watched, 1, timeout);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return kWaitFailed;
  return ready == 0 ? kWaitTimeout : kWaitObject0;
}

// There is no ASPI manager, nor any other library this layer would load by a Windows name.
Module LoadLibraryA(const char* /*fileName*/) { return nullptr; }
ProcAddress GetProcAddress(Module /*module*/, const char* /*procName*/) { return nullptr; }
bool FreeLibrary(Module /*module*/) { return false; }

}  // namespace quoril::platform

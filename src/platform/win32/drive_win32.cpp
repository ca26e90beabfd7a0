// SPDX-License-Identifier: MIT
// Drives, events and run-time library loading for Windows: each call forwards to the real API.
#include <windows.h>

// The pass-through declarations need the system's base types first.
#include <ntddscsi.h>

#include <cstddef>
#include <cstring>

#include "platform/platform.h"

namespace quoril::platform {

static_assert(sizeof(OSVERSIONINFOA) == kOsVersionInfoASize);
static_assert(offsetof(OSVERSIONINFOA, dwPlatformId) == offsetof(OsVersionInfoA, dwPlatformId));
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == kIoctlScsiPassThroughDirect);
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == sizeof(ScsiPassThroughDirect));
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) ==
              offsetof(ScsiPassThroughDirect, DataBuffer));
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == offsetof(ScsiPassThroughDirect, Cdb));

bool GetVersionExA(OsVersionInfoA* info) {
  if (info == nullptr || info->dwOSVersionInfoSize != kOsVersionInfoASize) return false;
  OSVERSIONINFOA version;
  std::memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  if (!::GetVersionExA(&version)) return false;
  info->dwMajorVersion = version.dwMajorVersion;
  info->dwMinorVersion = version.dwMinorVersion;
  info->dwBuildNumber = version.dwBuildNumber;
  info->dwPlatformId = version.dwPlatformId;
  std::memcpy(info->szCSDVersion, version.szCSDVersion, sizeof info->szCSDVersion);
  return true;
}

uint32_t GetDriveTypeA(const char* rootPathName) { return ::GetDriveTypeA(rootPathName); }

Handle CreateFileA(const char* fileName, uint32_t desiredAccess, uint32_t shareMode,
                   void* securityAttributes, uint32_t creationDisposition,
                   uint32_t flagsAndAttributes, Handle templateFile) {
  return ::CreateFileA(fileName, desiredAccess, shareMode,
                       static_cast<LPSECURITY_ATTRIBUTES>(securityAttributes), creationDisposition,
                       flagsAndAttributes, templateFile);
}

bool DeviceIoControl(Handle device, uint32_t ioControlCode, void* inBuffer, uint32_t inBufferSize,
                     void* outBuffer, uint32_t outBufferSize, uint32_t* bytesReturned,
                     void* overlapped) {
  DWORD returned = 0;
  const BOOL done =
      ::DeviceIoControl(device, ioControlCode, inBuffer, inBufferSize, outBuffer, outBufferSize,
                        &returned, static_cast<LPOVERLAPPED>(overlapped));
  if (bytesReturned != nullptr) *bytesReturned = returned;
  return done != FALSE;
}

bool CloseHandle(Handle object) { return ::CloseHandle(object) != FALSE; }

#if !defined(_WIN64)
// Only the ASPI channel calls these, and only 32-bit builds have that channel: in a 64-bit build
// they would be linked in with the rest of this file, and import their functions, for nothing.
uint32_t GetVersion() { return ::GetVersion(); }

Handle CreateEventA(void* securityAttributes, bool manualReset, bool initialState,
                    const char* name) {
  return ::CreateEventA(static_cast<LPSECURITY_ATTRIBUTES>(securityAttributes), manualReset,
                        initialState, name);
}

bool ResetEvent(Handle event) { return ::ResetEvent(event) != FALSE; }

uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) {
  return ::WaitForSingleObject(object, milliseconds);
}
#endif

Module LoadLibraryA(const char* fileName) { return ::LoadLibraryA(fileName); }

ProcAddress GetProcAddress(Module module, const char* procName) {
  return reinterpret_cast<ProcAddress>(::GetProcAddress(static_cast<HMODULE>(module), procName));
}

bool FreeLibrary(Module module) { return ::FreeLibrary(static_cast<HMODULE>(module)) != FALSE; }

}  // namespace quoril::platform

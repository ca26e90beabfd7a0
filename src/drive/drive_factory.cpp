// SPDX-License-Identifier: MIT
#include "drive/drive_factory.h"

#include "drive/aspi_device.h"
#include "drive/pass_through_device.h"
#include "platform/platform.h"

namespace quoril {

int32_t IsWin9xPlatform() {
  platform::OsVersionInfoA version;
  version.dwOSVersionInfoSize = platform::kOsVersionInfoASize;
  if (!platform::GetVersionExA(&version)) return 0;
  return version.dwPlatformId == platform::kVerPlatformWin32Windows && version.dwMajorVersion == 4
             ? 1
             : 0;
}

namespace {

CDriveDevice* NewDevice() {
#if defined(_WIN64)
  // 64-bit Windows is always of the NT family, and a 64-bit process could not load the 32-bit
  // ASPI manager anyway: there drives are reached through pass-through alone, and the ASPI
  // device is left out of the DLL.
  return new CPassThroughDevice;
#else
  return IsWin9xPlatform() == 1 ? static_cast<CDriveDevice*>(new CAspiDevice)
                                : new CPassThroughDevice;
#endif
}

}  // namespace

CDriveDevice* CreateDriveDevice(char letter) noexcept {
  DriveDevicePtr device(NewDevice());
  // No room for the device: nothing was opened, so there is nothing to give back.
  if (!device) return nullptr;
  // A device that did not open is closed and destroyed as its owner goes.
  if (device->Open(letter, 1) != 1) return nullptr;
  return device.release();
}

}  // namespace quoril

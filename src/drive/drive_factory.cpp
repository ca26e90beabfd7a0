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

CDriveDevice* CreateDriveDevice(char letter) noexcept {
  try {
    DriveDevicePtr device(IsWin9xPlatform() == 1 ? static_cast<CDriveDevice*>(new CAspiDevice)
                                                 : new CPassThroughDevice);
    if (device->Open(letter, 1) != 1) return nullptr;
    return device.release();
  } catch (...) {
    // Whatever the device had taken was given back as the exception left its owner.
    return nullptr;
  }
}

}  // namespace quoril

// hasBDOdd on the NT path of the real quoril.dll: the test prefix's D: is a CD-ROM drive mapped
// to a folder, so there is a drive to open but no SCSI device to answer GET CONFIGURATION.
#include <windows.h>

#include <gtest/gtest.h>

#include "quoril.h"

namespace {

TEST(DriveNtPath, FolderBackedCdromIsNoBlurayDriveAndNothingIsKept) {
  OSVERSIONINFOA version;
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExA(&version));
  ASSERT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  ASSERT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM))
      << "the test prefix has no CD-ROM drive at D:";

  const HMODULE quoril = LoadLibraryA("quoril.dll");
  ASSERT_NE(quoril, nullptr);
  const auto hasBluray = reinterpret_cast<quoril_hasBDOdd_fn>(
      reinterpret_cast<void (*)()>(GetProcAddress(quoril, "hasBDOdd")));
  ASSERT_NE(hasBluray, nullptr);

  // A first call may leave the system's own one-time state behind; the next ones add nothing.
  EXPECT_EQ(hasBluray(), 0);
  DWORD handlesBefore = 0;
  const bool counted = GetProcessHandleCount(GetCurrentProcess(), &handlesBefore) != FALSE;
  EXPECT_EQ(hasBluray(), 0);
  EXPECT_EQ(hasBluray(), 0);
  if (counted) {
    DWORD handlesAfter = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &handlesAfter));
    EXPECT_EQ(handlesAfter, handlesBefore) << "hasBDOdd left handles open";
  }
  // The NT family has no use for the ASPI manager.
  EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), nullptr);
  FreeLibrary(quoril);
}

}  // namespace

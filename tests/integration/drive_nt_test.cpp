// SPDX-License-Identifier: MIT
// hasBDOdd on the NT path of the real quoril.dll: the test prefix's D: is a CD-ROM drive, mapped
// to a folder (a drive to open, but no device to answer GET CONFIGURATION) or, in the emulated
// PC, to a real drive that lists no Blu-ray profile.
#include <windows.h>

#include <gtest/gtest.h>

#include "process_usage.h"
#include "quoril.h"

namespace {

TEST(DriveNtPath, CdromWithoutBlurayIsNoBlurayDriveAndNothingIsKept) {
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
  const size_t handlesBefore = CountOpenHandles();
  EXPECT_EQ(hasBluray(), 0);
  EXPECT_EQ(hasBluray(), 0);
  EXPECT_EQ(CountOpenHandles(), handlesBefore) << "hasBDOdd left handles open";
  // The NT family has no use for the ASPI manager.
  EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), nullptr);
  FreeLibrary(quoril);
}

}  // namespace

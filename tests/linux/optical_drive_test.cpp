// SPDX-License-Identifier: MIT
#include "platform/linux/optical_drive.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "scratch_folder.h"

namespace quoril::platform::optical {
namespace {

namespace fs = std::filesystem;

TEST(OpticalDriveLetters, DNamesTheFirstNodeAndZTheLast) {
  EXPECT_EQ(DeviceNodeOfLetter("/dev", 'D'), "/dev/sr0");
  EXPECT_EQ(DeviceNodeOfLetter("/dev", 'e'), "/dev/sr1");
  EXPECT_EQ(DeviceNodeOfLetter("/x", 'Z'), "/x/sr22");
  for (const char letter : {'A', 'B', 'C', 'c', '@', '[', '0', '\0'}) {
    EXPECT_FALSE(DeviceNodeOfLetter("/dev", letter)) << int{letter};
  }
}

TEST(OpticalDriveLetters, PathsNameLettersOnlyInTheirExactForms) {
  EXPECT_EQ(LetterOfRootPath("D:\\"), 'D');
  EXPECT_EQ(LetterOfRootPath("e:"), 'e');
  EXPECT_EQ(LetterOfRootPath("F:/"), 'F');
  for (const char* bad : {"D", "D:\\x", "1:\\", ":\\", "", "DD:\\"}) {
    EXPECT_FALSE(LetterOfRootPath(bad)) << bad;
  }
  EXPECT_FALSE(LetterOfRootPath(nullptr));
  EXPECT_EQ(LetterOfVolumePath("\\\\.\\D:"), 'D');
  for (const char* bad : {"\\\\.\\D:\\", "\\\\.\\D", "\\\\?\\D:", "D:", "\\\\.\\1:"}) {
    EXPECT_FALSE(LetterOfVolumePath(bad)) << bad;
  }
  EXPECT_FALSE(LetterOfVolumePath(nullptr));
}

using OpticalDriveFolder = test::ScratchFolder;

TEST_F(OpticalDriveFolder, DriveTypeFollowsTheNodesInTheDeviceFolder) {
  const std::string dev = root_.string();
  Write("sr0", std::string(1, '\0'));
  fs::create_directory(root_ / "sr2");  // a folder is no drive
  EXPECT_EQ(DriveTypeOf(dev, "D:\\"), kDriveCdrom);
  EXPECT_EQ(DriveTypeOf(dev, "d:\\"), kDriveCdrom);
  EXPECT_EQ(DriveTypeOf(dev, "E:\\"), kDriveNoRootDir);
  EXPECT_EQ(DriveTypeOf(dev, "F:\\"), kDriveNoRootDir);
  EXPECT_EQ(DriveTypeOf(dev, "C:\\"), kDriveNoRootDir);
  EXPECT_EQ(DriveTypeOf(dev, "nonsense"), kDriveNoRootDir);
}

TEST(OpticalDriveOpen, AccessAndSharingBecomeOpenFlags) {
  EXPECT_EQ(OpenFlags(kGenericRead | kGenericWrite, 3), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  EXPECT_EQ(OpenFlags(kGenericRead, 3), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_EQ(OpenFlags(kGenericRead, 0), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_EXCL);
  EXPECT_FALSE(OpenFlags(0, 3));
}

ScsiPassThroughDirect Request(uint8_t direction, uint32_t length, void* buffer) {
  ScsiPassThroughDirect request;
  std::memset(&request, 0, sizeof request);
  request.Length = sizeof request;
  request.CdbLength = 10;
  request.SenseInfoLength = 32;
  request.DataIn = direction;
  request.DataTransferLength = length;
  request.TimeOutValue = 7200;
  request.DataBuffer = buffer;
  request.SenseInfoOffset = sizeof request + 4;
  request.Cdb[0] = 0x46;
  return request;
}

TEST(OpticalDrivePassThrough, RequestBecomesAnSgIoRequest) {
  uint8_t data[2048];
  uint8_t sense[32];
  ScsiPassThroughDirect request = Request(kScsiIoctlDataIn, sizeof data, data);
  sg_io_hdr_t header;
  ASSERT_TRUE(ToSgIo(request, sense, &header));
  EXPECT_EQ(header.interface_id, 'S');
  EXPECT_EQ(header.dxfer_direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(header.cmd_len, 10);
  EXPECT_EQ(header.cmdp[0], 0x46);
  EXPECT_EQ(header.mx_sb_len, 32);
  EXPECT_EQ(header.sbp, sense);
  EXPECT_EQ(header.dxfer_len, sizeof data);
  EXPECT_EQ(header.dxferp, data);
  EXPECT_EQ(header.timeout, 7200000u);

  request.DataIn = kScsiIoctlDataOut;
  ASSERT_TRUE(ToSgIo(request, sense, &header));
  EXPECT_EQ(header.dxfer_direction, SG_DXFER_TO_DEV);
  request.DataTransferLength = 0;
  request.DataIn = kScsiIoctlDataUnspecified;
  ASSERT_TRUE(ToSgIo(request, sense, &header));
  EXPECT_EQ(header.dxfer_direction, SG_DXFER_NONE);
  request.TimeOutValue = 0xFFFFFFFF;
  ASSERT_TRUE(ToSgIo(request, sense, &header));
  EXPECT_EQ(header.timeout, 0xFFFFFFFFu);  // saturated, not wrapped
}

TEST(OpticalDrivePassThrough, RequestsTheLayerCannotCarryAreRefused) {
  uint8_t data[16];
  sg_io_hdr_t header;
  ScsiPassThroughDirect request = Request(kScsiIoctlDataUnspecified, sizeof data, data);
  EXPECT_FALSE(ToSgIo(request, nullptr, &header));  // data, but which way?
  request = Request(kScsiIoctlDataIn, sizeof data, data);
  request.CdbLength = 17;
  EXPECT_FALSE(ToSgIo(request, nullptr, &header));
  request.CdbLength = 0;
  EXPECT_FALSE(ToSgIo(request, nullptr, &header));
  request = Request(kScsiIoctlDataIn, sizeof data, data);
  request.Length = 44 + 1;
  EXPECT_FALSE(ToSgIo(request, nullptr, &header));
  // The descriptor is no SCSI device: the request fails rather than pretending.
  EXPECT_FALSE(PassThrough(-1, kIoctlScsiPassThroughDirect, &request, sizeof request, &request,
                           sizeof request, nullptr));
  EXPECT_FALSE(
      PassThrough(0, 0x2D1400, &request, sizeof request, &request, sizeof request, nullptr));
}

TEST(OpticalDrivePassThrough, OutcomeIsCarriedBackIntoTheRecord) {
  uint8_t data[100];
  ScsiPassThroughDirect request = Request(kScsiIoctlDataIn, sizeof data, data);
  sg_io_hdr_t header;
  std::memset(&header, 0, sizeof header);
  header.dxfer_len = sizeof data;
  header.resid = 40;
  header.status = 2;
  header.sb_len_wr = 18;
  header.driver_status = 0x08;  // sense came back: still a completed command
  uint32_t returned = 0;
  ASSERT_TRUE(FromSgIo(header, &request, &returned));
  EXPECT_EQ(request.ScsiStatus, 2);
  EXPECT_EQ(request.SenseInfoLength, 18);
  EXPECT_EQ(request.DataTransferLength, 60u);
  EXPECT_EQ(returned, request.SenseInfoOffset + 18);

  header.sb_len_wr = 0;
  header.resid = 1000;  // more than was asked for: nothing moved, not a wrapped count
  ASSERT_TRUE(FromSgIo(header, &request, &returned));
  EXPECT_EQ(request.DataTransferLength, 0u);
  EXPECT_EQ(returned, sizeof request);

  header.host_status = 0x01;  // never reached the drive
  EXPECT_FALSE(FromSgIo(header, &request, &returned));
  header.host_status = 0;
  header.driver_status = 0x06;
  EXPECT_FALSE(FromSgIo(header, &request, &returned));
}

TEST(OpticalDriveEvents, ManualResetEventStaysSignalledUntilReset) {
  EXPECT_EQ(CreateEventA(nullptr, false, false, nullptr), nullptr);
  const Handle event = CreateEventA(nullptr, true, true, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), kWaitObject0);
  EXPECT_EQ(WaitForSingleObject(event, 0), kWaitObject0);
  EXPECT_TRUE(ResetEvent(event));
  EXPECT_TRUE(ResetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 10), kWaitTimeout);
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), kWaitFailed);
}

TEST(OpticalDriveOpen, NoAspiManagerAndAVersionOfTheNtFamily) {
  EXPECT_EQ(LoadLibraryA("WNASPI32"), nullptr);
  OsVersionInfoA version;
  version.dwOSVersionInfoSize = kOsVersionInfoASize;
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_EQ(version.dwPlatformId, kVerPlatformWin32Nt);
  EXPECT_GT(version.dwMajorVersion, 4u);
  EXPECT_EQ(GetVersion() & 0x80000000u, 0u);
  version.dwOSVersionInfoSize = 156;
  EXPECT_FALSE(GetVersionExA(&version));
  EXPECT_EQ(CreateFileA("\\\\.\\A:", kGenericRead, 3, nullptr, kOpenExisting, 0, nullptr),
            InvalidHandleValue());
}

}  // namespace
}  // namespace quoril::platform::optical

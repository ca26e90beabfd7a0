// SPDX-License-Identifier: MIT
#include "drive/bluray_probe.h"

#include <string>
#include <vector>

#include "config_response.h"
#include "drive/aspi_device.h"
#include "drive/drive_capabilities.h"
#include "drive/drive_factory.h"
#include "drive/pass_through_device.h"
#include "drive_test_support.h"
#include "quoril.h"

namespace quoril {
namespace {

using test::ConfigResponse;

const std::vector<uint8_t> kBluray = ConfigResponse().Profiles({0x0010, 0x0040}).Build();
const std::vector<uint8_t> kDvdOnly =
    ConfigResponse().Profiles({0x0008, 0x0010, 0x001B}).Feature(0x001D).Build();
// Blu-ray features but no Blu-ray profile.
const std::vector<uint8_t> kBlurayFeaturesOnly =
    ConfigResponse().Profiles({0x0010}).Feature(0x0038).Feature(0x010D).Build();

class BlurayProbeTest : public test::DriveTest {
 protected:
  void TearDown() override {
    EXPECT_TRUE(drives().AllReleased());
    EXPECT_TRUE(machine().heapBlocks.empty());
    DriveTest::TearDown();
  }
  // The letters whose volumes were asked to open, in order.
  std::string OpenedLetters() {
    std::string letters;
    for (const auto& call : drives().createFileCalls) {
      if (letters.empty() || letters.back() != call.path[4]) letters += call.path[4];
    }
    return letters;
  }
};

TEST_F(BlurayProbeTest, PlatformFamilyPicksTheChannel) {
  drives().os = fake::FakeOs::kWindows98;
  EXPECT_EQ(IsWin9xPlatform(), 1);
  fake::InstallAspiDrive(0, 3);
  DriveDevicePtr aspi(CreateDriveDevice('D'));
#if defined(_WIN64)
  // 64-bit Windows is always of the NT family: the factory never makes an ASPI device there.
  EXPECT_EQ(aspi, nullptr);
  EXPECT_EQ(drives().loadedLibraries, 0);
#else
  ASSERT_NE(aspi, nullptr);
  // The ASPI channel holds the manager loaded while the device is open.
  EXPECT_EQ(drives().loadedLibraries, 1);
  EXPECT_TRUE(drives().createFileCalls.empty());
  EXPECT_EQ(aspi->isOpen, 1);
#endif
  aspi.reset();

  for (const fake::FakeOs os : {fake::FakeOs::kNt4, fake::FakeOs::kNt5Plus}) {
    drives().os = os;
    EXPECT_EQ(IsWin9xPlatform(), 0);
    fake::AddOpticalDrive('D');
    DriveDevicePtr passThrough(CreateDriveDevice('D'));
    ASSERT_NE(passThrough, nullptr);
    EXPECT_EQ(drives().loadedLibraries, 0);
    EXPECT_EQ(drives().OpenVolumes(), 1);
    EXPECT_EQ(drives().createFileCalls.back().share, 3u);  // shared
  }
  drives().versionQueryFails = true;
  EXPECT_EQ(IsWin9xPlatform(), 0);
}

TEST_F(BlurayProbeTest, FactoryHandsOutNothingItCouldNotOpen) {
  EXPECT_EQ(CreateDriveDevice('Q'), nullptr);
  drives().os = fake::FakeOs::kWindows98;
  EXPECT_EQ(CreateDriveDevice('Q'), nullptr);
  // No room on the heap for the device: nothing is opened.
  drives().os = fake::FakeOs::kNt5Plus;
  fake::AddOpticalDrive('D');
  drives().createFileCalls.clear();
  machine().failingName = "HeapAlloc";
  EXPECT_EQ(CreateDriveDevice('D'), nullptr);
  EXPECT_TRUE(drives().createFileCalls.empty());
  // A device that does not open goes back to the heap.
  machine().failingName = "CreateFileA";
  EXPECT_EQ(CreateDriveDevice('D'), nullptr);
  EXPECT_TRUE(machine().heapBlocks.empty());
  ReleaseDriveDevice(nullptr);
  EXPECT_EQ(SendDriveCommand(nullptr, 1, kGetConfigurationCommand, 10, nullptr, 0, nullptr), 0);
}

TEST_F(BlurayProbeTest, GetDriveCapabilitiesSendsGetConfigurationIntoAZeroedBuffer) {
  // A short answer: the rest of the buffer must read as zero, or stale bytes would count.
  fake::AddOpticalDrive('D', ConfigResponse().Profiles({0x0043}).Build(0));
  DriveDevicePtr device(CreateDriveDevice('D'));
  ASSERT_NE(device, nullptr);
  DriveCapabilities caps{0xFFFFFFFF, 0xFFFFFFFF};
  ASSERT_EQ(GetDriveCapabilities(device.get(), &caps), 1);
  EXPECT_EQ(caps.capsLow, CAP_BD_RE);
  EXPECT_EQ(caps.capsHigh, 0u);

  const std::vector<uint8_t>& record = drives().ioControlCalls.at(0).record;
  EXPECT_EQ(record.at(6), 10);  // CdbLength
  EXPECT_EQ(record.at(8), 1);   // data from the drive
  EXPECT_EQ(Load(record, 12, 4), 2048u);
  const size_t cdbAt = sizeof(void*) == 4 ? 28 : 36;
  const std::vector<uint8_t> cdb(record.begin() + cdbAt, record.begin() + cdbAt + 10);
  EXPECT_EQ(cdb, (std::vector<uint8_t>{0x46, 0, 0, 0, 0, 0, 0, 0x08, 0, 0}));
}

TEST_F(BlurayProbeTest, FailedCommandOrNullArgumentLeavesCapsAlone) {
  fake::AddOpticalDrive('D', kBluray).answer.sense = Sense(0x02, 0x3A, 0x00);
  DriveDevicePtr device(CreateDriveDevice('D'));
  ASSERT_NE(device, nullptr);
  DriveCapabilities caps{1, 2};
  EXPECT_EQ(GetDriveCapabilities(device.get(), &caps), 0);
  EXPECT_EQ(GetDriveCapabilities(nullptr, &caps), 0);
  EXPECT_EQ(GetDriveCapabilities(device.get(), nullptr), 0);
  EXPECT_EQ(caps.capsLow, 1u);
  EXPECT_EQ(caps.capsHigh, 2u);
  EXPECT_EQ(drives().ioControlCalls.size(), 1u);
}

TEST_F(BlurayProbeTest, OnlyABlurayProfileMakesADriveCount) {
  const std::vector<std::pair<std::vector<uint8_t>, int32_t>> answers = {
      {kBluray, 1},
      {ConfigResponse().Profiles({0x0010}).Profiles({0x0040}, false).Build(), 1},
      {ConfigResponse().Profiles({0x0041}).Build(), 1},
      {ConfigResponse().Profiles({0x0042}).Build(), 1},
      {ConfigResponse().Profiles({0x0043}).Build(), 1},
      {kDvdOnly, 0},
      {kBlurayFeaturesOnly, 0},
      {ConfigResponse().Profiles({0x0050, 0x0051, 0x0052, 0x0053}).Build(), 0},
  };
  for (const auto& [answer, expected] : answers) {
    fake::ResetFakeSystem();
    fake::AddOpticalDrive('D', answer);
    EXPECT_EQ(DriveSupportsBD('D'), expected) << testing::PrintToString(answer);
    EXPECT_TRUE(drives().AllReleased());
  }
}

TEST_F(BlurayProbeTest, HasBDOddOpensNothingWithoutAnOpticalDrive) {
  fake::AddOpticalDrive('C', kBluray).type = 3;  // a fixed disk
  EXPECT_EQ(hasBDOdd(), 0);
  EXPECT_TRUE(drives().createFileCalls.empty());
  EXPECT_EQ(drives().driveTypeQueries.size(), 26u);
  EXPECT_EQ(drives().driveTypeQueries.front(), "A:\\");
  EXPECT_EQ(drives().driveTypeQueries.back(), "Z:\\");
}

TEST_F(BlurayProbeTest, HasBDOddStopsAtTheFirstQualifyingDrive) {
  fake::AddOpticalDrive('D', kDvdOnly);
  fake::AddOpticalDrive('E').passThroughFails = true;
  fake::AddOpticalDrive('F').hasVolume = false;
  fake::AddOpticalDrive('G', kBluray);
  fake::AddOpticalDrive('H', kBluray);
  EXPECT_EQ(hasBDOdd(), 1);
  EXPECT_EQ(OpenedLetters(), "DEFG");
  EXPECT_EQ(drives().driveTypeQueries.back(), "G:\\");
  EXPECT_EQ(hasBDOdd(), 1);  // nothing remembered: the same walk again
  EXPECT_EQ(OpenedLetters(), "DEFGDEFG");
}

TEST_F(BlurayProbeTest, HasBDOddReachesDrivesThroughTheAspiManagerOn9x) {
  drives().os = fake::FakeOs::kWindows98;
  for (const char letter : {'D', 'E'}) fake::AddOpticalDrive(letter).hasVolume = false;
  fake::InstallAspiDrive(0, 3, kDvdOnly);
  fake::InstallAspiDrive(1, 4, ConfigResponse().Profiles({0x0040}, false).Build()).pending = true;
#if defined(_WIN64)
  // 64-bit Windows is always of the NT family: a 64-bit build has no ASPI channel and asks the
  // drives through pass-through alone, where these have no volume to open.
  EXPECT_EQ(hasBDOdd(), 0);
  EXPECT_TRUE(drives().waitTimeouts.empty());
  return;
#endif
  EXPECT_EQ(hasBDOdd(), 1);
  EXPECT_TRUE(drives().createFileCalls.empty());
  EXPECT_EQ(drives().waitTimeouts.size(), 1u);
  drives().aspi.adapters[0].targets.erase(1);
  EXPECT_EQ(hasBDOdd(), 0);
}

}  // namespace
}  // namespace quoril

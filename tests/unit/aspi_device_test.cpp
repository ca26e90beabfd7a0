// SPDX-License-Identifier: MIT
#include "drive/aspi_device.h"

#include <utility>
#include <vector>

#include "drive_test_support.h"

namespace quoril {
namespace {

constexpr uint8_t kCdb[10] = {0x46, 0, 0, 0, 0, 0, 0, 0x08, 0, 0};
constexpr uint8_t kDriveD = 3;

// Where the manager reads each field of an execute request: on 32-bit Windows as the manager's
// own definition lays them out, and on a 64-bit build where the two pointers widen.
struct ExecLayout {
  size_t size, pointerSize, bufferAt, senseLenAt, postProcAt, cdbAt, senseAt;
};
constexpr ExecLayout kExec = sizeof(void*) == 4 ? ExecLayout{80, 4, 16, 20, 24, 48, 64}
                                                : ExecLayout{96, 8, 16, 24, 32, 60, 76};

class AspiTest : public test::DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    drives().os = fake::FakeOs::kWindows98;
  }
  void TearDown() override {
    EXPECT_TRUE(drives().AllReleased());
    DriveTest::TearDown();
  }

  fake::FakeAspiAdapter& Adapter(size_t index) {
    auto& adapters = drives().aspi.adapters;
    if (adapters.size() <= index) adapters.resize(index + 1);
    drives().aspi.installed = true;
    return adapters[index];
  }
  // The requests of one command code, in the order they arrived.
  std::vector<std::vector<uint8_t>> Requests(uint8_t command) {
    std::vector<std::vector<uint8_t>> found;
    for (const auto& block : drives().aspi.requests) {
      if (block.at(0) == command) found.push_back(block);
    }
    return found;
  }
  // (adapter, target) of every device-type request.
  std::vector<std::pair<int, int>> ScannedTargets() {
    std::vector<std::pair<int, int>> scanned;
    for (const auto& block : Requests(aspi::kScGetDevType)) scanned.push_back({block[2], block[8]});
    return scanned;
  }
  static std::vector<std::pair<int, int>> Targets(int adapter, int count) {
    std::vector<std::pair<int, int>> targets;
    for (int t = 0; t < count; ++t) targets.push_back({adapter, t});
    return targets;
  }
};

TEST_F(AspiTest, OpenFindsTheTargetCarryingTheLetter) {
  Adapter(0).targets[1].deviceType = 0x00;  // a disk: never asked for its drive number
  Adapter(0).targets[2].driveNumber = 2;    // C:, another CD-ROM
  fake::InstallAspiDrive(4, kDriveD);
  CAspiDevice device;
  ASSERT_EQ(device.Open('D', 0), 1);
  EXPECT_EQ(device.isOpen, 1);
  EXPECT_EQ(device.driveLetter, 'D');
  EXPECT_EQ(device.hostAdapter, 0);
  EXPECT_EQ(device.target, 4);
  EXPECT_EQ(device.lun, 0);
  EXPECT_EQ(ScannedTargets(), Targets(0, 5));
  // Disk information only for the CD-ROM targets that answered.
  std::vector<int> askedDiskInfo;
  for (const auto& block : Requests(aspi::kScGetDiskInfo)) askedDiskInfo.push_back(block[8]);
  EXPECT_EQ(askedDiskInfo, (std::vector<int>{2, 4}));
  // Every block is zero but for its command, adapter and target.
  for (const auto& block : drives().aspi.requests) {
    std::vector<uint8_t> expected(block.size(), 0);
    expected[0] = block[0];
    if (block[0] != aspi::kScHaInquiry) expected[8] = block[8];
    EXPECT_EQ(block, expected);
  }
  EXPECT_EQ(Requests(aspi::kScHaInquiry).at(0).size(), 60u);
  EXPECT_EQ(Requests(aspi::kScGetDevType).at(0).size(), 12u);
  EXPECT_EQ(Requests(aspi::kScGetDiskInfo).at(0).size(), 24u);
  EXPECT_EQ(drives().OpenEvents(), 1);
  EXPECT_EQ(drives().loadedLibraries, 1);
  EXPECT_EQ(drives().loadedNames, std::vector<std::string>{"WNASPI32"});
  device.Close();
}

TEST_F(AspiTest, TargetCountComesFromEachAdapterWithinTheFamilysLimit) {
  // No count: 8 targets. Windows 9x: never more than 16, whatever the adapter says.
  Adapter(0).maxTargets = 0;
  Adapter(1).maxTargets = 40;
  Adapter(2).maxTargets = 3;
  Adapter(0).targets[8].driveNumber = kDriveD;
  Adapter(1).targets[16].driveNumber = kDriveD;
  CAspiDevice device;
  EXPECT_EQ(device.Open('D', 1), 0);
  std::vector<std::pair<int, int>> expected = Targets(0, 8);
  for (const auto& t : Targets(1, 16)) expected.push_back(t);
  for (const auto& t : Targets(2, 3)) expected.push_back(t);
  EXPECT_EQ(ScannedTargets(), expected);
}

TEST_F(AspiTest, OutsideThe9xFamilyTheAdaptersCountRules) {
  drives().os = fake::FakeOs::kNt5Plus;
  Adapter(0).maxTargets = 40;
  Adapter(0).targets[39].driveNumber = kDriveD;
  CAspiDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  EXPECT_EQ(device.target, 39);
  device.Close();
}

TEST_F(AspiTest, AdapterThatDoesNotAnswerIsPassedOver) {
  Adapter(0).inquiryFails = true;
  Adapter(0).targets[0].driveNumber = kDriveD;
  Adapter(1).targets[6].driveNumber = kDriveD;
  Adapter(1).targets[2].diskInfoStatus = aspi::kSsErr;
  Adapter(1).targets[2].driveNumber = kDriveD;
  Adapter(1).targets[3].deviceTypeFails = true;
  CAspiDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  EXPECT_EQ(device.hostAdapter, 1);
  EXPECT_EQ(device.target, 6);
  EXPECT_EQ(ScannedTargets(), Targets(1, 7));
  device.Close();
}

TEST_F(AspiTest, DriveNumberMatchesTheLetterAsGivenWithoutFoldingCase) {
  fake::InstallAspiDrive(0, 0);
  CAspiDevice upper;
  EXPECT_EQ(upper.Open('A', 1), 1);
  upper.Close();
  CAspiDevice lower;
  EXPECT_EQ(lower.Open('a', 1), 0);
  // 'a' is 'A' + 32, yet drive number 32 names no letter at all; nor does one past a byte.
  fake::InstallAspiDrive(0, 32);
  EXPECT_EQ(lower.Open('a', 1), 1);
  lower.Close();
  fake::InstallAspiDrive(0, 255);
  CAspiDevice none;
  EXPECT_EQ(none.Open(static_cast<char>(0x40), 1), 0);
}

TEST_F(AspiTest, EveryFailingStepOfOpenGivesBackWhatItTook) {
  const std::vector<std::pair<const char*, void (*)(fake::FakeDrives&)>> failures = {
      {"no manager", [](fake::FakeDrives& d) { d.aspi.installed = false; }},
      {"no support entry", [](fake::FakeDrives& d) { d.aspi.hasSupportInfoEntry = false; }},
      {"no send entry", [](fake::FakeDrives& d) { d.aspi.hasSendCommandEntry = false; }},
      {"manager not working", [](fake::FakeDrives& d) { d.aspi.status = aspi::kSsErr; }},
      {"no adapters", [](fake::FakeDrives& d) { d.aspi.adapters.clear(); }},
      {"no matching drive",
       [](fake::FakeDrives& d) { d.aspi.adapters[0].targets[0].driveNumber = 4; }},
      {"no event", [](fake::FakeDrives& d) { d.eventCreationFails = true; }},
  };
  for (const auto& [name, breakIt] : failures) {
    fake::ResetFakeSystem();
    drives().os = fake::FakeOs::kWindows98;
    fake::InstallAspiDrive(0, kDriveD);
    breakIt(drives());
    CAspiDevice device;
    EXPECT_EQ(device.Open('D', 1), 0) << name;
    EXPECT_EQ(device.isOpen, 0) << name;
    EXPECT_EQ(device.getSupportInfo, nullptr) << name;
    EXPECT_TRUE(drives().AllReleased()) << name;
  }
  // Without an event the manager is not even loaded.
  EXPECT_TRUE(drives().loadedNames.empty());
}

TEST_F(AspiTest, OpenOnAnOpenDeviceFailsAndKeepsItsTarget) {
  fake::InstallAspiDrive(2, kDriveD);
  CAspiDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  const size_t requests = drives().aspi.requests.size();
  EXPECT_EQ(device.Open('E', 1), 0);
  EXPECT_EQ(device.target, 2);
  EXPECT_EQ(device.driveLetter, 'D');
  EXPECT_EQ(drives().aspi.requests.size(), requests);
  EXPECT_EQ(drives().loadedLibraries, 1);
  device.Close();
}

TEST_F(AspiTest, ExecuteRequestCarriesTheCommandByteForByte) {
  fake::InstallAspiDrive(5, kDriveD, {0xAB, 0xCD});
  CAspiDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  const size_t before = drives().aspi.requests.size();
  uint8_t buffer[300] = {};
  uint32_t returned = 0x1234;
  ASSERT_EQ(device.SendCommand(1, kCdb, sizeof kCdb, buffer, sizeof buffer, &returned), 1);
  EXPECT_EQ(buffer[0], 0xAB);
  EXPECT_EQ(buffer[1], 0xCD);
  EXPECT_EQ(returned, 0x1234u);  // not written on this channel

  ASSERT_EQ(drives().aspi.requests.size(), before + 1);
  const std::vector<uint8_t>& block = drives().aspi.requests.back();
  std::vector<uint8_t> expected(kExec.size, 0);
  expected[0] = 2;     // execute
  expected[3] = 0x48;  // data in, event notification
  expected[8] = 5;     // target
  Store(expected, 12, 4, sizeof buffer);
  Store(expected, kExec.bufferAt, kExec.pointerSize, reinterpret_cast<uintptr_t>(buffer));
  expected[kExec.senseLenAt] = 14;
  expected[kExec.senseLenAt + 1] = sizeof kCdb;
  expected[kExec.senseLenAt + 3] = 2;  // target status before the call
  Store(expected, kExec.postProcAt, kExec.pointerSize,
        reinterpret_cast<uintptr_t>(device.completionEvent.get()));
  std::memcpy(&expected[kExec.cdbAt], kCdb, sizeof kCdb);
  EXPECT_EQ(block, expected);
  // The event was reset before the request went out; a request completed at once is not
  // waited for.
  const auto& calls = drives().calls;
  const auto send = std::find(calls.begin(), calls.end(), "SendASPI32Command 2");
  ASSERT_NE(send, calls.end());
  EXPECT_EQ(*(send - 1), "ResetEvent");
  EXPECT_TRUE(drives().waitTimeouts.empty());
  device.Close();
}

TEST_F(AspiTest, DirectionBitsFollowThePassThroughDirection) {
  fake::InstallAspiDrive(0, kDriveD);
  CAspiDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  uint8_t buffer[4];
  uint32_t returned;
  for (const auto& [direction, flags] :
       {std::pair<uint8_t, uint8_t>{0, 0x50}, {1, 0x48}, {2, 0x40}}) {
    device.SendCommand(direction, kCdb, 6, buffer, sizeof buffer, &returned);
    EXPECT_EQ(drives().aspi.requests.back().at(3), flags) << int{direction};
  }
  device.Close();
}

TEST_F(AspiTest, PendingRequestIsWaitedForUntilSignalled) {
  fake::FakeAspiTarget& target = fake::InstallAspiDrive(0, kDriveD, {0x5A});
  target.pending = true;
  CAspiDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  uint8_t buffer[4] = {};
  uint32_t returned;
  EXPECT_EQ(device.SendCommand(1, kCdb, sizeof kCdb, buffer, sizeof buffer, &returned), 1);
  EXPECT_EQ(buffer[0], 0x5A);
  EXPECT_EQ(drives().waitTimeouts, std::vector<uint32_t>{0xFFFFFFFF});
  EXPECT_EQ(drives().pendingBlock, nullptr);
  device.Close();
}

TEST_F(AspiTest, CompletionStatusAndSenseDecide) {
  fake::FakeAspiTarget& target = fake::InstallAspiDrive(0, kDriveD);
  CAspiDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  device.lastSenseSpecific = 0x4242;
  target.completionStatus = aspi::kSsErr;
  target.answer.sense = Sense(0x05, 0x20, 0x00);
  uint8_t buffer[4];
  uint32_t returned;
  EXPECT_EQ(device.SendCommand(1, kCdb, 6, buffer, 4, &returned), 0);
  EXPECT_EQ(device.lastSenseKey, 0);  // not completed: its sense is not read
  target.completionStatus = aspi::kSsComp;
  for (const auto& sense : {Sense(0x05, 0, 0), Sense(0, 0x20, 0), Sense(0, 0, 0x01)}) {
    target.answer.sense = sense;
    EXPECT_EQ(device.SendCommand(1, kCdb, 6, buffer, 4, &returned), 0);
    EXPECT_EQ(device.lastSenseKey, sense[2]);
    EXPECT_EQ(device.lastAsc, sense[12]);
    EXPECT_EQ(device.lastAscq, sense[13]);
  }
  target.answer.sense = Sense(0, 0, 0);
  EXPECT_EQ(device.SendCommand(1, kCdb, 6, buffer, 4, &returned), 1);
  EXPECT_EQ(device.lastSenseSpecific, 0x4242);
  device.Close();
}

TEST_F(AspiTest, ClosedDeviceOrOverlongBlockSendsNothing) {
  fake::InstallAspiDrive(0, kDriveD);
  CAspiDevice device;
  uint8_t cdb[17] = {};
  uint8_t buffer[4];
  uint32_t returned;
  EXPECT_EQ(device.SendCommand(1, cdb, 6, buffer, 4, &returned), 0);
  ASSERT_EQ(device.Open('D', 1), 1);
  const size_t before = drives().aspi.requests.size();
  EXPECT_EQ(device.SendCommand(1, cdb, 17, buffer, 4, &returned), 0);
  device.Close();
  EXPECT_EQ(device.SendCommand(1, cdb, 6, buffer, 4, &returned), 0);
  EXPECT_EQ(drives().aspi.requests.size(), before);
  // Closing again gives back nothing twice.
  device.Close();
  EXPECT_EQ(device.Reserved(1), 0);
}

}  // namespace
}  // namespace quoril

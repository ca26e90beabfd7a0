// SPDX-License-Identifier: MIT
#include "drive/pass_through_device.h"

#include <vector>

#include "drive_test_support.h"

namespace quoril {
namespace {

using platform::InvalidHandleValue;

constexpr uint8_t kCdb[12] = {0xA8, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

// Where the port driver expects each field: on 32-bit Windows as its table gives them, and on a
// 64-bit build where the wider buffer pointer moves them.
struct RecordLayout {
  size_t size, requestLength, pointerAt, pointerSize, senseOffsetAt, cdbAt, senseAt;
};
constexpr RecordLayout kLayout = sizeof(void*) == 4 ? RecordLayout{80, 44, 20, 4, 24, 28, 48}
                                                    : RecordLayout{96, 56, 24, 8, 32, 36, 60};

class PassThroughTest : public test::DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    fake::AddOpticalDrive('D');
  }
  void TearDown() override {
    EXPECT_TRUE(drives().AllReleased());
    DriveTest::TearDown();
  }

  // Sends kCdb to an opened D: and answers SendCommand's result.
  int32_t Send(CPassThroughDevice& device, uint32_t* bytesReturned = nullptr) {
    uint8_t buffer[64] = {};
    uint32_t returned = 0;
    return device.SendCommand(1, kCdb, sizeof kCdb, buffer, sizeof buffer,
                              bytesReturned != nullptr ? bytesReturned : &returned);
  }
  fake::FakeDrive& d() { return drives().letters['D']; }
};

TEST_F(PassThroughTest, RecordCarriesTheCommandByteForByte) {
  CPassThroughDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  uint8_t buffer[2048];
  uint32_t returned = 0;
  d().bytesReturned = 44;
  ASSERT_EQ(device.SendCommand(1, kCdb, sizeof kCdb, buffer, sizeof buffer, &returned), 1);
  EXPECT_EQ(returned, 44u);  // what the driver reported, handed on unchanged

  ASSERT_EQ(drives().ioControlCalls.size(), 1u);
  const fake::DeviceIoControlCall& call = drives().ioControlCalls[0];
  EXPECT_EQ(call.code, 0x4D014u);
  EXPECT_EQ(call.inSize, kLayout.size);
  EXPECT_EQ(call.outSize, kLayout.size);
  EXPECT_TRUE(call.sameBuffer);
  EXPECT_TRUE(call.bytesReturnedGiven);
  EXPECT_TRUE(call.overlappedIsNull);

  std::vector<uint8_t> expected(kLayout.size, 0);
  Store(expected, 0, 2, kLayout.requestLength);
  expected[6] = sizeof kCdb;  // CdbLength
  expected[7] = 32;           // SenseInfoLength
  expected[8] = 1;            // DataIn
  Store(expected, 12, 4, sizeof buffer);
  Store(expected, 16, 4, 7200);
  Store(expected, kLayout.pointerAt, kLayout.pointerSize, reinterpret_cast<uintptr_t>(buffer));
  Store(expected, kLayout.senseOffsetAt, 4, kLayout.senseAt);
  std::memcpy(&expected[kLayout.cdbAt], kCdb, sizeof kCdb);
  EXPECT_EQ(call.record, expected);
}

TEST_F(PassThroughTest, CommandBlocksUpToSixteenBytesFitAndLongerOnesTouchNothing) {
  CPassThroughDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  uint8_t cdb[17] = {};
  uint8_t buffer[8];
  uint32_t returned = 0x55;
  cdb[15] = 0xEE;
  ASSERT_EQ(device.SendCommand(1, cdb, 16, buffer, sizeof buffer, &returned), 1);
  EXPECT_EQ(drives().ioControlCalls.at(0).record.at(kLayout.cdbAt + 15), 0xEE);

  device.lastSenseKey = 9;
  returned = 0x55;
  EXPECT_EQ(device.SendCommand(1, cdb, 17, buffer, sizeof buffer, &returned), 0);
  EXPECT_EQ(device.SendCommand(1, nullptr, 6, buffer, sizeof buffer, &returned), 0);
  EXPECT_EQ(drives().ioControlCalls.size(), 1u);
  EXPECT_EQ(returned, 0x55u);
  EXPECT_EQ(device.lastSenseKey, 9);
}

TEST_F(PassThroughTest, SuccessIsJudgedBySenseBytesTwelveThirteenAndTwo) {
  struct Case {
    std::vector<uint8_t> sense;
    std::optional<uint8_t> returnedLength;
    uint8_t scsiStatus;
    int32_t result;
  };
  const Case cases[] = {
      {{}, 0, 0, 1},                            // no sense data at all
      {Sense(0x05, 0x24, 0x00), 0, 2, 1},       // bytes present but none returned
      {Sense(0, 0, 0), std::nullopt, 2, 1},     // returned, all three zero; status ignored
      {Sense(0x02, 0, 0), std::nullopt, 0, 0},  // sense key
      {Sense(0x20, 0, 0), std::nullopt, 0, 0},  // a flag bit of byte 2 alone
      {Sense(0, 0x3A, 0), std::nullopt, 0, 0},  // ASC
      {Sense(0, 0, 0x01), std::nullopt, 0, 0},  // ASCQ
  };
  for (const Case& c : cases) {
    fake::ResetFakeSystem();
    fake::AddOpticalDrive('D');
    d().answer.sense = c.sense;
    d().answer.senseInfoLength = c.returnedLength;
    d().answer.scsiStatus = c.scsiStatus;
    CPassThroughDevice device;
    ASSERT_EQ(device.Open('D', 1), 1);
    EXPECT_EQ(Send(device), c.result) << testing::PrintToString(c.sense);
    if (!c.sense.empty()) {
      EXPECT_EQ(device.lastSenseKey, c.sense[2]);
      EXPECT_EQ(device.lastAsc, c.sense[12]);
      EXPECT_EQ(device.lastAscq, c.sense[13]);
    }
  }
}

TEST_F(PassThroughTest, SenseSpecificBytesAreKeptButDoNotFail) {
  std::vector<uint8_t> sense = Sense(0, 0, 0);
  sense[16] = 0x12;
  sense[17] = 0x34;
  d().answer.sense = sense;
  CPassThroughDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  EXPECT_EQ(Send(device), 1);
  EXPECT_EQ(device.lastSenseSpecific, 0x1234);
}

TEST_F(PassThroughTest, FailedRequestKeepsTheEarlierSense) {
  d().answer.sense = Sense(0x06, 0x28, 0x00);
  CPassThroughDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  EXPECT_EQ(Send(device), 0);
  d().passThroughFails = true;
  d().answer.sense = Sense(0, 0, 0);
  EXPECT_EQ(Send(device), 0);
  EXPECT_EQ(device.lastSenseKey, 0x06);
  EXPECT_EQ(device.lastAsc, 0x28);
}

TEST_F(PassThroughTest, OpensTheVolumePathSharedAndRetriesWithTheOtherAccess) {
  struct Case {
    fake::FakeOs os;
    bool refuseReadWrite, refuseReadOnly;
    std::vector<uint32_t> accesses;
    int32_t opened;
  };
  const Case cases[] = {
      {fake::FakeOs::kNt5Plus, false, false, {0xC0000000}, 1},
      {fake::FakeOs::kNt5Plus, true, false, {0xC0000000, 0x80000000}, 1},
      {fake::FakeOs::kNt4, false, false, {0x80000000}, 1},
      {fake::FakeOs::kNt4, false, true, {0x80000000, 0xC0000000}, 1},
      {fake::FakeOs::kWindows98, false, true, {0x80000000, 0xC0000000}, 1},
      {fake::FakeOs::kNt5Plus, true, true, {0xC0000000, 0x80000000}, 0},
  };
  for (const Case& c : cases) {
    for (const bool withNull : {false, true}) {
      fake::ResetFakeSystem();
      drives().os = c.os;
      fake::AddOpticalDrive('D');
      d().refuseReadWrite = c.refuseReadWrite;
      d().refuseReadOnly = c.refuseReadOnly;
      d().refuseWithNull = withNull;
      CPassThroughDevice device;
      EXPECT_EQ(device.Open('D', 1), c.opened);
      EXPECT_EQ(device.isOpen, c.opened);
      std::vector<uint32_t> accesses;
      for (const fake::CreateFileCall& call : drives().createFileCalls) {
        accesses.push_back(call.access);
        EXPECT_EQ(call.path, "\\\\.\\D:");
        EXPECT_EQ(call.share, 3u);
        EXPECT_EQ(call.disposition, 3u);
        EXPECT_EQ(call.flags, 0u);
        EXPECT_TRUE(call.securityIsNull && call.templateIsNull);
      }
      EXPECT_EQ(accesses, c.accesses);
      EXPECT_EQ(drives().OpenVolumes(), c.opened);
      EXPECT_EQ(device.driveLetter, c.opened == 1 ? 'D' : 0);
      device.Close();
      EXPECT_TRUE(drives().AllReleased());
    }
  }
}

TEST_F(PassThroughTest, UnsharedOpenAsksForNoSharing) {
  d().refuseShared = true;
  CPassThroughDevice device;
  ASSERT_EQ(device.Open('D', 0), 1);
  EXPECT_EQ(drives().createFileCalls.back().share, 0u);
}

TEST_F(PassThroughTest, OpenOnAnOpenDeviceFailsAndKeepsItsHandle) {
  fake::AddOpticalDrive('E');
  CPassThroughDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  const platform::Handle handle = device.device.get();
  EXPECT_EQ(device.Open('E', 1), 0);
  EXPECT_EQ(device.device.get(), handle);
  EXPECT_EQ(device.driveLetter, 'D');
  EXPECT_EQ(drives().createFileCalls.size(), 1u);
  EXPECT_EQ(device.isOpen, 1);
}

TEST_F(PassThroughTest, ClosedDeviceSendsNothingAndClosesOnce) {
  CPassThroughDevice device;
  EXPECT_EQ(Send(device), 0);
  ASSERT_EQ(device.Open('D', 1), 1);
  device.Close();
  EXPECT_EQ(device.isOpen, 0);
  EXPECT_FALSE(device.device);
  EXPECT_EQ(Send(device), 0);
  device.Close();
  EXPECT_TRUE(drives().ioControlCalls.empty());
  EXPECT_EQ(device.Reserved(7), 0);
}

TEST_F(PassThroughTest, MissingCountIsGivenAPlaceToLand) {
  CPassThroughDevice device;
  ASSERT_EQ(device.Open('D', 1), 1);
  uint8_t buffer[4];
  EXPECT_EQ(device.SendCommand(1, kCdb, 6, buffer, sizeof buffer, nullptr), 1);
  EXPECT_TRUE(drives().ioControlCalls.at(0).bytesReturnedGiven);
}

}  // namespace
}  // namespace quoril

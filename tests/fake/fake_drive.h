// SPDX-License-Identifier: MIT
// The scripted drives of the fake machine: the system's version, drive types per letter, volume
// devices and the pass-through driver behind them, events, and an ASPI manager that can be
// "installed". Everything taken from it is counted, so tests can prove that every path gives
// back every handle, event and library.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace quoril::fake {

enum class FakeOs {
  kNt4,       // platform 2, version 4.0
  kNt5Plus,   // platform 2, version 5.1
  kWindows98  // platform 1, version 4.10; GetVersion's bit 31 set
};

// What a drive answers to one command, on either channel.
struct FakeCommandAnswer {
  std::vector<uint8_t> data;   // copied into the caller's buffer, at most its length
  std::vector<uint8_t> sense;  // written into the request's sense area, at most its size
  // Pass-through: the SenseInfoLength the driver hands back; unset means as many sense bytes
  // as it wrote.
  std::optional<uint8_t> senseInfoLength;
  uint8_t scsiStatus = 0;
};

// A drive letter and, for drives that have one, the volume device behind it.
struct FakeDrive {
  uint32_t type = platform::kDriveCdrom;
  bool hasVolume = true;  // false: every open fails
  // Which opens the volume refuses.
  bool refuseReadWrite = false;  // any access that includes writing
  bool refuseReadOnly = false;
  bool refuseShared = false;  // a share mode other than 0
  bool refuseExclusive = false;
  bool refuseWithNull = false;  // a refused open answers null, not INVALID_HANDLE_VALUE
  // The pass-through driver: fails the request outright, or answers it.
  bool passThroughFails = false;
  FakeCommandAnswer answer;
  std::optional<uint32_t> bytesReturned;  // unset: the whole output size
};

struct CreateFileCall {
  std::string path;
  uint32_t access;
  uint32_t share;
  bool securityIsNull;
  uint32_t disposition;
  uint32_t flags;
  bool templateIsNull;
  bool opened;
};

struct DeviceIoControlCall {
  platform::Handle device;
  uint32_t code;
  uint32_t inSize;
  uint32_t outSize;
  bool sameBuffer;  // the output is the input record itself
  bool bytesReturnedGiven;
  bool overlappedIsNull;
  std::vector<uint8_t> record;  // the input exactly as received
};

struct FakeAspiTarget {
  uint8_t deviceType = 0x05;      // CD-ROM
  bool deviceTypeFails = false;   // the get-device-type request is not completed
  uint8_t diskInfoStatus = 0x01;  // the disk-info block's SRB_Status
  uint8_t driveNumber = 3;        // 0 = A; 3 = D
  // Execute requests: completed at once, or accepted as pending and completed (and the event
  // signalled) only once the caller waits for the event.
  bool pending = false;
  uint8_t completionStatus = 0x01;  // SRB_Status at completion
  FakeCommandAnswer answer;
};

struct FakeAspiAdapter {
  bool inquiryFails = false;
  uint8_t maxTargets = 8;  // HA_Unique[3]
  std::map<uint8_t, FakeAspiTarget> targets;
};

struct FakeAspiManager {
  bool installed = false;  // LoadLibraryA("WNASPI32") succeeds
  bool hasSupportInfoEntry = true;
  bool hasSendCommandEntry = true;
  uint8_t status = 0x01;  // the status GetASPI32SupportInfo reports
  std::vector<FakeAspiAdapter> adapters;
  // Every request block received, byte for byte as it arrived.
  std::vector<std::vector<uint8_t>> requests;
  int supportInfoCalls = 0;
};

struct FakeDrives {
  FakeOs os = FakeOs::kNt5Plus;
  bool versionQueryFails = false;
  std::map<char, FakeDrive> letters;  // letters not listed have no root directory
  FakeAspiManager aspi;
  bool eventCreationFails = false;

  // Every call made, by name, in order ("CreateFileA", "SendASPI32Command 2", ...).
  std::vector<std::string> calls;
  std::vector<std::string> driveTypeQueries;  // root paths
  std::vector<CreateFileCall> createFileCalls;
  std::vector<DeviceIoControlCall> ioControlCalls;
  std::vector<uint32_t> waitTimeouts;
  std::vector<std::string> loadedNames;

  // Live objects, and releases of objects that were not live (each one a fault).
  struct LiveHandle {
    bool isEvent;
    char letter;
    bool signalled;
  };
  std::map<platform::Handle, LiveHandle> handles;
  int loadedLibraries = 0;
  int badReleases = 0;
  uintptr_t nextHandle = 0x1000;

  // A pending execute request, completed when its event is waited for.
  void* pendingBlock = nullptr;
  platform::Handle pendingEvent = nullptr;
  const FakeAspiTarget* pendingTarget = nullptr;

  int OpenVolumes() const;
  int OpenEvents() const;
  // Nothing is held: no handle, no event, no library, and nothing released twice.
  bool AllReleased() const;
};

// Scripts an optical drive at `letter` whose volume opens and answers GET CONFIGURATION with
// `response` and no sense data.
FakeDrive& AddOpticalDrive(char letter, std::vector<uint8_t> response = {});

// Installs the ASPI manager with one adapter whose target `target` is a CD-ROM carrying drive
// number `driveNumber`, answering with `response`.
FakeAspiTarget& InstallAspiDrive(uint8_t target, uint8_t driveNumber,
                                 std::vector<uint8_t> response = {});

}  // namespace quoril::fake

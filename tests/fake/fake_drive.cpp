// SPDX-License-Identifier: MIT
#include "fake/fake_drive.h"

#include <algorithm>
#include <cstring>

#include "common/ascii_case.h"
#include "fake/fake_platform.h"
#include "platform/aspi.h"

namespace quoril::fake {
namespace {

// Every scripted call starts here and is logged.
FakeDrives& Enter(const std::string& call) {
  FakeMachine& machine = FakeSystem();
  machine.drives.calls.push_back(call);
  return machine.drives;
}

// Releases are logged too; they never fail.
FakeDrives& EnterRelease(const char* call) {
  FakeDrives& drives = FakeSystem().drives;
  drives.calls.emplace_back(call);
  return drives;
}

platform::Handle NewHandle(FakeDrives& drives, FakeDrives::LiveHandle live) {
  const auto handle = reinterpret_cast<platform::Handle>(drives.nextHandle);
  drives.nextHandle += 4;
  drives.handles[handle] = live;
  return handle;
}

bool SameNameNoCase(const char* name, const char* wanted) {
  for (; *name != '\0' && *wanted != '\0'; ++name, ++wanted) {
    if (AsciiUpper(*name) != AsciiUpper(*wanted)) return false;
  }
  return *name == *wanted;
}

// The system's volume path for a letter, the only kind of name the fake opens.
std::optional<char> VolumeLetter(const char* path) {
  if (path == nullptr || std::strlen(path) != 6 || std::strncmp(path, "\\\\.\\", 4) != 0 ||
      path[5] != ':') {
    return std::nullopt;
  }
  return path[4];
}

void WriteAnswer(const FakeCommandAnswer& answer, uint8_t* buffer, uint32_t bufferLength,
                 uint8_t* sense, uint32_t senseSize) {
  if (buffer != nullptr && !answer.data.empty()) {
    std::memcpy(buffer, answer.data.data(), std::min<size_t>(answer.data.size(), bufferLength));
  }
  if (!answer.sense.empty()) {
    std::memcpy(sense, answer.sense.data(), std::min<size_t>(answer.sense.size(), senseSize));
  }
}

// --- The ASPI manager -----------------------------------------------------------------------

template <typename Block>
void Record(FakeDrives& drives, const void* block) {
  const auto* bytes = static_cast<const uint8_t*>(block);
  drives.aspi.requests.emplace_back(bytes, bytes + sizeof(Block));
}

void Complete(aspi::SrbExecScsiCmd& block, const FakeAspiTarget& target) {
  WriteAnswer(target.answer, block.SRB_BufPointer, block.SRB_BufLen, block.SenseArea,
              sizeof block.SenseArea);
  block.SRB_TargStat = target.answer.scsiStatus;
  block.header.SRB_Status = target.completionStatus;
}

const FakeAspiTarget* FindTarget(const FakeDrives& drives, uint8_t adapter, uint8_t target) {
  if (adapter >= drives.aspi.adapters.size()) return nullptr;
  const auto& targets = drives.aspi.adapters[adapter].targets;
  const auto it = targets.find(target);
  return it == targets.end() ? nullptr : &it->second;
}

uint32_t QUORIL_ASPI_CALL FakeGetSupportInfo() {
  FakeDrives& drives = Enter("GetASPI32SupportInfo");
  ++drives.aspi.supportInfoCalls;
  if (Fails("GetASPI32SupportInfo")) return uint32_t{aspi::kSsErr} << 8;
  const auto count = static_cast<uint8_t>(drives.aspi.adapters.size());
  return uint32_t{drives.aspi.status} << 8 | count;
}

uint32_t QUORIL_ASPI_CALL FakeSendCommand(void* block) {
  auto* header = static_cast<aspi::SrbHeader*>(block);
  FakeDrives& drives = Enter("SendASPI32Command " + std::to_string(header->SRB_Cmd));
  if (Fails("SendASPI32Command")) return header->SRB_Status = aspi::kSsErr;
  switch (header->SRB_Cmd) {
    case aspi::kScHaInquiry: {
      Record<aspi::SrbHaInquiry>(drives, block);
      auto* inquiry = static_cast<aspi::SrbHaInquiry*>(block);
      if (header->SRB_HaId >= drives.aspi.adapters.size() ||
          drives.aspi.adapters[header->SRB_HaId].inquiryFails) {
        return header->SRB_Status = aspi::kSsErr;
      }
      inquiry->HA_Count = static_cast<uint8_t>(drives.aspi.adapters.size());
      inquiry->HA_Unique[3] = drives.aspi.adapters[header->SRB_HaId].maxTargets;
      return header->SRB_Status = aspi::kSsComp;
    }
    case aspi::kScGetDevType: {
      Record<aspi::SrbGetDeviceType>(drives, block);
      auto* request = static_cast<aspi::SrbGetDeviceType*>(block);
      const FakeAspiTarget* target = FindTarget(drives, header->SRB_HaId, request->SRB_Target);
      if (target == nullptr || target->deviceTypeFails) return header->SRB_Status = aspi::kSsErr;
      request->SRB_DeviceType = target->deviceType;
      return header->SRB_Status = aspi::kSsComp;
    }
    case aspi::kScGetDiskInfo: {
      Record<aspi::SrbGetDiskInfo>(drives, block);
      auto* request = static_cast<aspi::SrbGetDiskInfo*>(block);
      const FakeAspiTarget* target = FindTarget(drives, header->SRB_HaId, request->SRB_Target);
      if (target == nullptr) return header->SRB_Status = aspi::kSsErr;
      request->SRB_Int13HDriveInfo = target->driveNumber;
      return header->SRB_Status = target->diskInfoStatus;
    }
    case aspi::kScExecScsiCmd: {
      Record<aspi::SrbExecScsiCmd>(drives, block);
      auto* request = static_cast<aspi::SrbExecScsiCmd*>(block);
      const FakeAspiTarget* target = FindTarget(drives, header->SRB_HaId, request->SRB_Target);
      if (target == nullptr) return header->SRB_Status = aspi::kSsErr;
      const auto event = drives.handles.find(request->SRB_PostProc);
      const bool notify = (header->SRB_Flags & aspi::kSrbEventNotify) != 0 &&
                          event != drives.handles.end() && event->second.isEvent;
      if (target->pending && notify) {
        drives.pendingBlock = block;
        drives.pendingEvent = request->SRB_PostProc;
        drives.pendingTarget = target;
        return header->SRB_Status = aspi::kSsPending;
      }
      Complete(*request, *target);
      if (notify) event->second.signalled = true;
      return header->SRB_Status;
    }
    default:
      return header->SRB_Status = aspi::kSsErr;
  }
}

}  // namespace

int FakeDrives::OpenVolumes() const {
  return static_cast<int>(std::count_if(handles.begin(), handles.end(),
                                        [](const auto& live) { return !live.second.isEvent; }));
}

int FakeDrives::OpenEvents() const { return static_cast<int>(handles.size()) - OpenVolumes(); }

bool FakeDrives::AllReleased() const {
  return handles.empty() && loadedLibraries == 0 && badReleases == 0;
}

FakeDrive& AddOpticalDrive(char letter, std::vector<uint8_t> response) {
  FakeDrive& drive = FakeSystem().drives.letters[letter];
  drive = FakeDrive{};
  drive.answer.data = std::move(response);
  return drive;
}

FakeAspiTarget& InstallAspiDrive(uint8_t target, uint8_t driveNumber,
                                 std::vector<uint8_t> response) {
  FakeAspiManager& aspi = FakeSystem().drives.aspi;
  aspi.installed = true;
  if (aspi.adapters.empty()) aspi.adapters.emplace_back();
  FakeAspiTarget& scripted = aspi.adapters[0].targets[target];
  scripted = FakeAspiTarget{};
  scripted.driveNumber = driveNumber;
  scripted.answer.data = std::move(response);
  return scripted;
}

}  // namespace quoril::fake

namespace quoril::platform {

bool GetVersionExA(OsVersionInfoA* info) {
  fake::FakeDrives& drives = fake::Enter("GetVersionExA");
  if (fake::Fails("GetVersionExA") || drives.versionQueryFails ||
      info->dwOSVersionInfoSize != kOsVersionInfoASize)
    return false;
  switch (drives.os) {
    case fake::FakeOs::kNt4:
      *info = {kOsVersionInfoASize, 4, 0, 1381, kVerPlatformWin32Nt, "Service Pack 6"};
      break;
    case fake::FakeOs::kNt5Plus:
      *info = {kOsVersionInfoASize, 5, 1, 2600, kVerPlatformWin32Nt, "Service Pack 3"};
      break;
    case fake::FakeOs::kWindows98:
      *info = {kOsVersionInfoASize, 4, 10, 2222, kVerPlatformWin32Windows, " A "};
      break;
  }
  return true;
}

uint32_t GetVersion() {
  switch (fake::Enter("GetVersion").os) {
    case fake::FakeOs::kNt4:
      return 1381u << 16 | 4;
    case fake::FakeOs::kNt5Plus:
      return 2600u << 16 | 1u << 8 | 5;
    case fake::FakeOs::kWindows98:
      return 0xC0000000u | 10u << 8 | 4;
  }
  return 0;
}

uint32_t GetDriveTypeA(const char* rootPathName) {
  fake::FakeDrives& drives = fake::Enter("GetDriveTypeA");
  drives.driveTypeQueries.emplace_back(rootPathName);
  if (fake::Fails("GetDriveTypeA")) return kDriveUnknown;
  const std::string root(rootPathName);
  if (root.size() != 3 || root[1] != ':' || root[2] != '\\') return kDriveNoRootDir;
  const auto drive = drives.letters.find(root[0]);
  return drive == drives.letters.end() ? kDriveNoRootDir : drive->second.type;
}

Handle CreateFileA(const char* fileName, uint32_t desiredAccess, uint32_t shareMode,
                   void* securityAttributes, uint32_t creationDisposition,
                   uint32_t flagsAndAttributes, Handle templateFile) {
  fake::FakeDrives& drives = fake::Enter("CreateFileA");
  drives.createFileCalls.push_back({fileName, desiredAccess, shareMode,
                                    securityAttributes == nullptr, creationDisposition,
                                    flagsAndAttributes, templateFile == nullptr, false});
  if (fake::Fails("CreateFileA")) return InvalidHandleValue();
  const std::optional<char> letter = fake::VolumeLetter(fileName);
  const auto drive = letter ? drives.letters.find(*letter) : drives.letters.end();
  if (drive == drives.letters.end()) return InvalidHandleValue();
  const fake::FakeDrive& volume = drive->second;
  const bool writes = (desiredAccess & kGenericWrite) != 0;
  const bool refused =
      !volume.hasVolume || (writes && volume.refuseReadWrite) ||
      (!writes && volume.refuseReadOnly) || (shareMode != 0 && volume.refuseShared) ||
      (shareMode == 0 && volume.refuseExclusive) || creationDisposition != kOpenExisting;
  if (refused) return volume.refuseWithNull ? nullptr : InvalidHandleValue();
  drives.createFileCalls.back().opened = true;
  return fake::NewHandle(drives, {false, *letter, false});
}

bool DeviceIoControl(Handle device, uint32_t ioControlCode, void* inBuffer, uint32_t inBufferSize,
                     void* outBuffer, uint32_t outBufferSize, uint32_t* bytesReturned,
                     void* overlapped) {
  fake::FakeDrives& drives = fake::Enter("DeviceIoControl");
  const auto* in = static_cast<const uint8_t*>(inBuffer);
  drives.ioControlCalls.push_back({device, ioControlCode, inBufferSize, outBufferSize,
                                   inBuffer == outBuffer, bytesReturned != nullptr,
                                   overlapped == nullptr,
                                   std::vector<uint8_t>(in, in + inBufferSize)});
  if (fake::Fails("DeviceIoControl")) return false;
  const auto live = drives.handles.find(device);
  if (live == drives.handles.end() || live->second.isEvent) return false;
  const fake::FakeDrive& drive = drives.letters.at(live->second.letter);
  // The port driver's own checks on the request.
  ScsiPassThroughDirect request;
  if (ioControlCode != kIoctlScsiPassThroughDirect || overlapped != nullptr ||
      inBufferSize < sizeof request || outBufferSize < sizeof request || outBuffer == nullptr) {
    return false;
  }
  std::memcpy(&request, inBuffer, sizeof request);
  if (request.Length != sizeof request || request.CdbLength == 0 || request.CdbLength > 16 ||
      request.SenseInfoOffset < sizeof request ||
      uint64_t{request.SenseInfoOffset} + request.SenseInfoLength > outBufferSize) {
    return false;
  }
  if (drive.passThroughFails) return false;

  auto* out = static_cast<uint8_t*>(outBuffer);
  const fake::FakeCommandAnswer& answer = drive.answer;
  const bool toCaller = request.DataIn == kScsiIoctlDataIn;
  fake::WriteAnswer(answer, toCaller ? static_cast<uint8_t*>(request.DataBuffer) : nullptr,
                    request.DataTransferLength, out + request.SenseInfoOffset,
                    request.SenseInfoLength);
  const auto written =
      static_cast<uint8_t>(std::min<size_t>(answer.sense.size(), request.SenseInfoLength));
  request.SenseInfoLength = answer.senseInfoLength.value_or(written);
  request.ScsiStatus = answer.scsiStatus;
  std::memcpy(out, &request, sizeof request);
  if (bytesReturned != nullptr) *bytesReturned = drive.bytesReturned.value_or(outBufferSize);
  return true;
}

bool CloseHandle(Handle object) {
  fake::FakeDrives& drives = fake::EnterRelease("CloseHandle");
  if (drives.handles.erase(object) == 0) {
    ++drives.badReleases;
    return false;
  }
  return true;
}

Handle CreateEventA(void* securityAttributes, bool manualReset, bool initialState,
                    const char* name) {
  fake::FakeDrives& drives = fake::Enter("CreateEventA");
  if (fake::Fails("CreateEventA")) return nullptr;
  // Only the kind of event the ASPI channel needs is offered.
  if (drives.eventCreationFails || securityAttributes != nullptr || !manualReset ||
      name != nullptr) {
    return nullptr;
  }
  return fake::NewHandle(drives, {true, 0, initialState});
}

bool ResetEvent(Handle event) {
  fake::FakeDrives& drives = fake::Enter("ResetEvent");
  if (fake::Fails("ResetEvent")) return false;
  const auto live = drives.handles.find(event);
  if (live == drives.handles.end() || !live->second.isEvent) return false;
  live->second.signalled = false;
  return true;
}

uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) {
  fake::FakeDrives& drives = fake::Enter("WaitForSingleObject");
  drives.waitTimeouts.push_back(milliseconds);
  if (fake::Fails("WaitForSingleObject")) {
    // The caller goes on without the request, so the manager must not finish it later.
    if (drives.pendingEvent == object) {
      drives.pendingBlock = nullptr;
      drives.pendingEvent = nullptr;
      drives.pendingTarget = nullptr;
    }
    return kWaitFailed;
  }
  const auto live = drives.handles.find(object);
  if (live == drives.handles.end() || !live->second.isEvent) return kWaitFailed;
  if (drives.pendingBlock != nullptr && drives.pendingEvent == object) {
    // The manager finishes the request "later": now, while the caller waits for it.
    fake::Complete(*static_cast<aspi::SrbExecScsiCmd*>(drives.pendingBlock), *drives.pendingTarget);
    drives.pendingBlock = nullptr;
    drives.pendingEvent = nullptr;
    drives.pendingTarget = nullptr;
    live->second.signalled = true;
  }
  // An event nobody will signal: a real wait would never end; the fake says it failed.
  if (!live->second.signalled) return milliseconds == kInfinite ? kWaitFailed : kWaitTimeout;
  return kWaitObject0;
}

Module LoadLibraryA(const char* fileName) {
  fake::FakeDrives& drives = fake::Enter("LoadLibraryA");
  drives.loadedNames.emplace_back(fileName);
  if (fake::Fails("LoadLibraryA")) return nullptr;
  const bool aspiManager = fake::SameNameNoCase(fileName, aspi::kLibraryName) ||
                           fake::SameNameNoCase(fileName, "WNASPI32.DLL");
  if (!aspiManager || !drives.aspi.installed) return nullptr;
  ++drives.loadedLibraries;
  return reinterpret_cast<Module>(uintptr_t{0x70000000});
}

ProcAddress GetProcAddress(Module module, const char* procName) {
  fake::FakeDrives& drives = fake::Enter("GetProcAddress");
  if (fake::Fails("GetProcAddress")) return nullptr;
  if (module == nullptr || drives.loadedLibraries == 0) return nullptr;
  const std::string name(procName);
  if (name == aspi::kGetSupportInfoName && drives.aspi.hasSupportInfoEntry) {
    return reinterpret_cast<ProcAddress>(&fake::FakeGetSupportInfo);
  }
  if (name == aspi::kSendCommandName && drives.aspi.hasSendCommandEntry) {
    return reinterpret_cast<ProcAddress>(&fake::FakeSendCommand);
  }
  return nullptr;
}

bool FreeLibrary(Module module) {
  fake::FakeDrives& drives = fake::EnterRelease("FreeLibrary");
  if (module == nullptr || drives.loadedLibraries == 0) {
    ++drives.badReleases;
    return false;
  }
  --drives.loadedLibraries;
  return true;
}

}  // namespace quoril::platform

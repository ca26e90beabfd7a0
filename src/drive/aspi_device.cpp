// SPDX-License-Identifier: MIT
#include "drive/aspi_device.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace quoril {
namespace {

// Managers of the 95/98/ME family address at most 16 targets per adapter; elsewhere the
// adapter's own count is the real bound.
constexpr uint32_t kTargetLimitWin9x = 16;
constexpr uint32_t kTargetLimitOther = 8192;
// What to scan when an adapter does not say how many targets it has.
constexpr uint32_t kDefaultTargetCount = 8;

// The execute request's direction bits for the pass-through encoding of `direction`.
uint8_t DirectionFlags(uint8_t direction) {
  switch (direction) {
    case platform::kScsiIoctlDataIn:
      return aspi::kSrbDirIn;
    case platform::kScsiIoctlDataOut:
      return aspi::kSrbDirOut;
    default:
      return 0;  // the manager takes the direction from the command itself
  }
}

template <typename Block>
Block ZeroedBlock(uint8_t command, uint8_t adapter) {
  Block block;
  std::memset(&block, 0, sizeof block);
  block.header.SRB_Cmd = command;
  block.header.SRB_HaId = adapter;
  return block;
}

}  // namespace

int32_t CAspiDevice::Reserved(uint32_t /*value*/) { return 0; }

int32_t CAspiDevice::Open(char letter, int32_t /*shared*/) {
  if (isOpen == 1) return 0;
  // Whatever fails from here on, Close() gives back everything taken so far.
  completionEvent = UniqueHandle(platform::CreateEventA(nullptr, true, false, nullptr));
  // Without the event a pending request could never be waited for.
  if (completionEvent) aspiLibrary = UniqueLibrary(platform::LoadLibraryA(aspi::kLibraryName));
  if (aspiLibrary) {
    getSupportInfo = reinterpret_cast<aspi::GetSupportInfoFn>(
        platform::GetProcAddress(aspiLibrary.get(), aspi::kGetSupportInfoName));
    sendAspiCommand = reinterpret_cast<aspi::SendCommandFn>(
        platform::GetProcAddress(aspiLibrary.get(), aspi::kSendCommandName));
  }
  if (getSupportInfo != nullptr && sendAspiCommand != nullptr &&
      aspi::SupportStatus(getSupportInfo()) == aspi::kSsComp) {
    driveLetter = letter;
    isOpen = 1;
    if (FindTarget() == 1) return 1;
  }
  Close();
  return 0;
}

void CAspiDevice::Close() {
  getSupportInfo = nullptr;
  sendAspiCommand = nullptr;
  aspiLibrary.reset();
  completionEvent.reset();
  CDriveDevice::Close();
}

int32_t CAspiDevice::FindTarget() {
  if (isOpen != 1) return 0;
  const uint32_t supportInfo = getSupportInfo();
  if (aspi::SupportStatus(supportInfo) != aspi::kSsComp) return 0;
  const uint8_t adapters = aspi::HostAdapterCount(supportInfo);
  const bool win9xFamily = (platform::GetVersion() & 0x80000000u) != 0;
  const uint32_t targetLimit = win9xFamily ? kTargetLimitWin9x : kTargetLimitOther;
  for (uint32_t adapter = 0; adapter < adapters; ++adapter) {
    if (FindTargetOnAdapter(static_cast<uint8_t>(adapter), targetLimit) == 1) return 1;
  }
  return 0;
}

int32_t CAspiDevice::FindTargetOnAdapter(uint8_t adapter, uint32_t targetLimit) {
  auto inquiry = ZeroedBlock<aspi::SrbHaInquiry>(aspi::kScHaInquiry, adapter);
  if (sendAspiCommand(&inquiry) != aspi::kSsComp) return 0;
  uint32_t targets = std::min<uint32_t>(targetLimit, inquiry.HA_Unique[3]);
  if (targets == 0) targets = kDefaultTargetCount;

  for (uint32_t t = 0; t < targets; ++t) {
    const auto targetId = static_cast<uint8_t>(t);
    auto deviceType = ZeroedBlock<aspi::SrbGetDeviceType>(aspi::kScGetDevType, adapter);
    deviceType.SRB_Target = targetId;
    if (sendAspiCommand(&deviceType) != aspi::kSsComp ||
        deviceType.SRB_DeviceType != aspi::kDtypeCdrom) {
      continue;
    }
    auto diskInfo = ZeroedBlock<aspi::SrbGetDiskInfo>(aspi::kScGetDiskInfo, adapter);
    diskInfo.SRB_Target = targetId;
    sendAspiCommand(&diskInfo);  // the block's own status says whether it was answered
    // Compared as whole numbers: a drive number past 'Z' - 'A' names no letter at all, and the
    // letter's case is taken as it came.
    if (diskInfo.header.SRB_Status != aspi::kSsComp ||
        diskInfo.SRB_Int13HDriveInfo + int{'A'} != static_cast<unsigned char>(driveLetter)) {
      continue;
    }
    hostAdapter = adapter;
    target = targetId;
    lun = 0;
    return 1;
  }
  return 0;
}

int32_t CAspiDevice::SendCommand(uint8_t direction, const uint8_t* cdb, uint32_t cdbLength,
                                 uint8_t* buffer, uint32_t bufferLength,
                                 uint32_t* /*bytesReturned*/) {
  if (isOpen != 1 || cdbLength > kMaxCdbLength || (cdb == nullptr && cdbLength != 0)) return 0;

  auto block = ZeroedBlock<aspi::SrbExecScsiCmd>(aspi::kScExecScsiCmd, hostAdapter);
  block.header.SRB_Flags = aspi::kSrbEventNotify | DirectionFlags(direction);
  block.SRB_Target = target;
  block.SRB_Lun = lun;
  block.SRB_BufLen = bufferLength;
  block.SRB_BufPointer = buffer;
  block.SRB_SenseLen = aspi::kSenseLength;
  block.SRB_CDBLen = static_cast<uint8_t>(cdbLength);
  block.SRB_TargStat = 2;
  block.SRB_PostProc = completionEvent.get();
  if (cdbLength != 0) std::memcpy(block.CDBByte, cdb, cdbLength);

  platform::ResetEvent(completionEvent.get());
  if (sendAspiCommand(&block) == aspi::kSsPending) {
    // The manager writes into the block until it signals: the block must outlive the request.
    platform::WaitForSingleObject(completionEvent.get(), platform::kInfinite);
  }
  if (block.header.SRB_Status != aspi::kSsComp) return 0;

  lastSenseKey = block.SenseArea[2];
  lastAsc = block.SenseArea[12];
  lastAscq = block.SenseArea[13];
  return lastSenseKey != 0 || lastAsc != 0 || lastAscq != 0 ? 0 : 1;
}

}  // namespace quoril

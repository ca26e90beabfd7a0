// SPDX-License-Identifier: MIT
// The ASPI manager's interface: the two entries of the library "WNASPI32" and the request blocks
// they take, laid out as the manager reads them. Shared by the library, which fills the blocks,
// and by the scripted managers of the tests, which answer them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quoril::aspi {

#if defined(__i386__)
#define QUORIL_ASPI_CALL __attribute__((cdecl))
#else
#define QUORIL_ASPI_CALL
#endif

// Both entries leave the stack to the caller.
using GetSupportInfoFn = uint32_t(QUORIL_ASPI_CALL*)();
using SendCommandFn = uint32_t(QUORIL_ASPI_CALL*)(void* requestBlock);

inline constexpr char kLibraryName[] = "WNASPI32";
inline constexpr char kGetSupportInfoName[] = "GetASPI32SupportInfo";
inline constexpr char kSendCommandName[] = "SendASPI32Command";

// Request block commands (SRB_Cmd).
inline constexpr uint8_t kScHaInquiry = 0x00;
inline constexpr uint8_t kScGetDevType = 0x01;
inline constexpr uint8_t kScExecScsiCmd = 0x02;
inline constexpr uint8_t kScGetDiskInfo = 0x06;

// Request status (SRB_Status, and the status byte of the support information).
inline constexpr uint8_t kSsPending = 0x00;
inline constexpr uint8_t kSsComp = 0x01;
inline constexpr uint8_t kSsErr = 0x04;

// SRB_Flags of an execute request.
inline constexpr uint8_t kSrbDirIn = 0x08;
inline constexpr uint8_t kSrbDirOut = 0x10;
inline constexpr uint8_t kSrbEventNotify = 0x40;

// The peripheral device type of an optical drive.
inline constexpr uint8_t kDtypeCdrom = 0x05;

// The status in bits 8-15 of GetASPI32SupportInfo's answer, the host adapter count in bits 0-7.
inline constexpr uint8_t SupportStatus(uint32_t supportInfo) {
  return static_cast<uint8_t>(supportInfo >> 8);
}
inline constexpr uint8_t HostAdapterCount(uint32_t supportInfo) {
  return static_cast<uint8_t>(supportInfo);
}

// Every block starts with the same header.
struct SrbHeader {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
};

struct SrbHaInquiry {
  SrbHeader header;
  uint8_t HA_Count;
  uint8_t HA_SCSI_ID;
  uint8_t HA_ManagerId[16];
  uint8_t HA_Identifier[16];
  uint8_t HA_Unique[16];  // byte 3: the most targets the adapter has
  uint16_t HA_Rsvd1;
};
static_assert(sizeof(SrbHaInquiry) == 60);
static_assert(offsetof(SrbHaInquiry, HA_Unique) + 3 == 45);

struct SrbGetDeviceType {
  SrbHeader header;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_DeviceType;
  uint8_t SRB_Rsvd1;
};
static_assert(sizeof(SrbGetDeviceType) == 12);

struct SrbGetDiskInfo {
  SrbHeader header;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_DriveFlags;
  uint8_t SRB_Int13HDriveInfo;  // the drive's number: 0 for A, 1 for B, ...
  uint8_t SRB_Heads;
  uint8_t SRB_Sectors;
  uint8_t SRB_Rsvd1[10];
};
static_assert(sizeof(SrbGetDiskInfo) == 24);

// The execute request: 80 bytes on 32-bit Windows, the only place a manager exists; the two
// pointers widen on a 64-bit build, where only the tests' managers answer it.
struct SrbExecScsiCmd {
  SrbHeader header;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint16_t SRB_Rsvd1;
  uint32_t SRB_BufLen;
  uint8_t* SRB_BufPointer;
  uint8_t SRB_SenseLen;
  uint8_t SRB_CDBLen;
  uint8_t SRB_HaStat;
  uint8_t SRB_TargStat;
  void* SRB_PostProc;  // with kSrbEventNotify: the event to signal on completion
  uint8_t SRB_Rsvd2[20];
  uint8_t CDBByte[16];
  uint8_t SenseArea[16];  // 14 bytes of sense data and two spare
};
#if defined(__i386__)
static_assert(sizeof(SrbExecScsiCmd) == 80);
static_assert(offsetof(SrbExecScsiCmd, CDBByte) == 48);
static_assert(offsetof(SrbExecScsiCmd, SenseArea) == 64);
#endif

inline constexpr uint8_t kSenseLength = 14;

}  // namespace quoril::aspi

// SPDX-License-Identifier: MIT
// A stand-in for the ASPI manager library WNASPI32, built for the integration tests of the 95/98
// path: one host adapter whose target 1 is a CD-ROM drive carrying drive number 3 (D:). Every
// request block it receives is appended, as one line of hex digits, to the file that the
// environment variable QUORIL_ASPI_LOG names. An execute request of GET CONFIGURATION is
// answered with the bytes of the file that QUORIL_ASPI_RESPONSE names, from a worker thread a
// moment later, as real managers complete requests: the request is accepted as pending and the
// caller's event is signalled once the answer is in place.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/aspi.h"

namespace {

namespace aspi = quoril::aspi;

constexpr uint8_t kCdromTarget = 1;
constexpr uint8_t kDriveNumberOfD = 3;
constexpr uint8_t kTargetsOnAdapter = 8;
constexpr uint8_t kSsInvalidHa = 0x81;
constexpr uint8_t kSsNoDevice = 0x82;
constexpr uint8_t kGetConfiguration = 0x46;

HMODULE self = nullptr;

// The value of an environment variable, or an empty string.
void Variable(const char* name, char (&value)[MAX_PATH]) {
  const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) value[0] = '\0';
}

void Log(const void* block, size_t size) {
  char path[MAX_PATH];
  Variable("QUORIL_ASPI_LOG", path);
  if (path[0] == '\0') return;
  std::FILE* log = std::fopen(path, "ab");
  if (log == nullptr) return;
  const auto* bytes = static_cast<const uint8_t*>(block);
  for (size_t i = 0; i < size; ++i) std::fprintf(log, "%02X", bytes[i]);
  std::fputc('\n', log);
  std::fclose(log);
}

void Answer(aspi::SrbExecScsiCmd* block) {
  std::memset(block->SenseArea, 0, sizeof block->SenseArea);
  if (block->CDBByte[0] != kGetConfiguration || block->SRB_Target != kCdromTarget) {
    block->SRB_TargStat = 2;  // check condition: an illegal request
    block->SenseArea[0] = 0x70;
    block->SenseArea[2] = 0x05;
    block->SenseArea[12] = 0x20;
    block->header.SRB_Status = aspi::kSsErr;
    return;
  }
  char path[MAX_PATH];
  Variable("QUORIL_ASPI_RESPONSE", path);
  std::FILE* response = path[0] != '\0' ? std::fopen(path, "rb") : nullptr;
  if (response != nullptr) {
    std::fread(block->SRB_BufPointer, 1, block->SRB_BufLen, response);
    std::fclose(response);
  }
  block->SRB_TargStat = 0;
  block->header.SRB_Status = aspi::kSsComp;
}

DWORD WINAPI CompleteLater(void* context) {
  auto* block = static_cast<aspi::SrbExecScsiCmd*>(context);
  Sleep(100);
  const HANDLE event = block->SRB_PostProc;
  Answer(block);
  // From here on the block may be gone: the caller is free to return.
  SetEvent(event);
  // The thread holds its own reference to this library, so it is not unloaded under it.
  FreeLibraryAndExitThread(self, 0);
}

uint32_t Execute(aspi::SrbExecScsiCmd* block) {
  const bool notify = (block->header.SRB_Flags & aspi::kSrbEventNotify) != 0;
  HMODULE reference = nullptr;
  if (notify && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCSTR>(&CompleteLater), &reference)) {
    block->header.SRB_Status = aspi::kSsPending;
    const HANDLE worker = CreateThread(nullptr, 0, &CompleteLater, block, 0, nullptr);
    if (worker != nullptr) {
      CloseHandle(worker);
      return aspi::kSsPending;
    }
    FreeLibrary(reference);
  }
  Answer(block);
  if (notify) SetEvent(block->SRB_PostProc);
  return block->header.SRB_Status;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" uint32_t __cdecl GetASPI32SupportInfo() { return uint32_t{aspi::kSsComp} << 8 | 1; }

extern "C" uint32_t __cdecl SendASPI32Command(void* request) {
  auto* header = static_cast<aspi::SrbHeader*>(request);
  switch (header->SRB_Cmd) {
    case aspi::kScHaInquiry: {
      auto* inquiry = static_cast<aspi::SrbHaInquiry*>(request);
      Log(inquiry, sizeof *inquiry);
      if (header->SRB_HaId != 0) return header->SRB_Status = kSsInvalidHa;
      inquiry->HA_Count = 1;
      inquiry->HA_SCSI_ID = 7;
      std::memcpy(inquiry->HA_ManagerId, "Quoril test ASPI", 16);
      inquiry->HA_Unique[3] = kTargetsOnAdapter;
      return header->SRB_Status = aspi::kSsComp;
    }
    case aspi::kScGetDevType: {
      auto* type = static_cast<aspi::SrbGetDeviceType*>(request);
      Log(type, sizeof *type);
      if (header->SRB_HaId != 0 || type->SRB_Target != kCdromTarget || type->SRB_Lun != 0) {
        return header->SRB_Status = kSsNoDevice;
      }
      type->SRB_DeviceType = aspi::kDtypeCdrom;
      return header->SRB_Status = aspi::kSsComp;
    }
    case aspi::kScGetDiskInfo: {
      auto* info = static_cast<aspi::SrbGetDiskInfo*>(request);
      Log(info, sizeof *info);
      if (header->SRB_HaId != 0 || info->SRB_Target != kCdromTarget) {
        return header->SRB_Status = kSsNoDevice;
      }
      info->SRB_Int13HDriveInfo = kDriveNumberOfD;
      return header->SRB_Status = aspi::kSsComp;
    }
    case aspi::kScExecScsiCmd: {
      auto* block = static_cast<aspi::SrbExecScsiCmd*>(request);
      Log(block, sizeof *block);
      if (header->SRB_HaId != 0 || block->SRB_Target != kCdromTarget) {
        return header->SRB_Status = kSsNoDevice;
      }
      return Execute(block);
    }
    default:
      Log(header, sizeof *header);
      return header->SRB_Status = aspi::kSsErr;
  }
}

// SPDX-License-Identifier: MIT
// The platform layer for Windows: each call forwards to the real API.
#include <windows.h>

#include <cpuid.h>

#include <cstring>

#include "platform/platform.h"
#if defined(__i386__)
#include "platform/win32/exception_guard.h"
#endif
#include "platform/unique_resource.h"

namespace quoril::platform {
namespace {

struct CpuidQuery {
  uint32_t leaf;
  CpuidRegisters regs;
};

void ExecuteCpuid(void* context) {
  auto* query = static_cast<CpuidQuery*>(context);
  __cpuid(query->leaf, query->regs.eax, query->regs.ebx, query->regs.ecx, query->regs.edx);
}

// The window system's display-device enumeration is missing on Windows 95 and NT 4, so it is
// looked up when needed instead of being imported; where it is missing there is no adapter.
using EnumDisplayDevicesAFn = BOOL(WINAPI*)(LPCSTR, DWORD, PDISPLAY_DEVICEA, DWORD);

}  // namespace

bool CpuidGuarded(uint32_t leaf, CpuidRegisters* out) {
  CpuidQuery query{leaf, {}};
#if defined(__i386__)
  // 32-bit processors before CPUID raise an illegal-instruction exception instead of answering.
  if (!RunUnderExceptionGuard(&ExecuteCpuid, &query)) return false;
#else
  // Every x86-64 processor has CPUID, so the 64-bit library needs no guard around it.
  ExecuteCpuid(&query);
#endif
  *out = query.regs;
  return true;
}

CpuidRegisters Cpuid(uint32_t leaf) {
  CpuidQuery query{leaf, {}};
  ExecuteCpuid(&query);
  return query.regs;
}

void OutputDebugStringA(const char* message) { ::OutputDebugStringA(message); }

void* GetProcessHeap() { return ::GetProcessHeap(); }

void* HeapAlloc(void* heap, uint32_t flags, size_t bytes) {
  return ::HeapAlloc(heap, flags, bytes);
}

bool HeapFree(void* heap, uint32_t flags, void* block) {
  return block == nullptr || ::HeapFree(heap, flags, block) != FALSE;
}

bool EnumDisplayDevicesA(const char* device, uint32_t devNum, DisplayDeviceA* displayDevice,
                         uint32_t flags) {
  const UniqueLibrary user32(platform::LoadLibraryA("USER32.DLL"));
  if (!user32) return false;
  const auto enumDisplayDevices = reinterpret_cast<EnumDisplayDevicesAFn>(
      platform::GetProcAddress(user32.get(), "EnumDisplayDevicesA"));
  if (enumDisplayDevices == nullptr) return false;

  static_assert(sizeof(DISPLAY_DEVICEA) == kDisplayDeviceASize);
  DISPLAY_DEVICEA record;
  std::memset(&record, 0, sizeof record);
  record.cb = displayDevice->cb;
  if (!enumDisplayDevices(device, devNum, &record, flags)) return false;
  std::memcpy(displayDevice->DeviceName, record.DeviceName, sizeof record.DeviceName);
  std::memcpy(displayDevice->DeviceString, record.DeviceString, sizeof record.DeviceString);
  displayDevice->StateFlags = record.StateFlags;
  std::memcpy(displayDevice->DeviceID, record.DeviceID, sizeof record.DeviceID);
  std::memcpy(displayDevice->DeviceKey, record.DeviceKey, sizeof record.DeviceKey);
  return true;
}

}  // namespace quoril::platform

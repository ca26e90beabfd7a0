// SPDX-License-Identifier: MIT
// What a process holds at one moment: its open kernel handles, its heaps and the bytes in use in
// them, and the modules loaded with their load counts. Each is read without allocating, so that
// taking a reading does not change the next one.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>

// One loaded module: where it lies and how many loads hold it.
struct ModuleLoad {
  const void* base = nullptr;
  unsigned count = 0;
  bool operator==(const ModuleLoad&) const = default;
};

struct ProcessUsage {
  size_t handles = 0;
  size_t heaps = 0;
  size_t heapBytes = 0;
  static constexpr size_t kMaxModules = 512;
  size_t moduleCount = 0;
  ModuleLoad modules[kMaxModules] = {};
};

// Kernel handles are multiples of four, handed out from the low end of the process's table.
// GetProcessHandleCount answers 0 under Wine, so every value in the range is asked about instead:
// GetHandleInformation succeeds exactly for the values that name an open handle.
inline size_t CountOpenHandles() {
  constexpr uintptr_t kLastProbed = 0x10000;
  size_t count = 0;
  for (uintptr_t value = 4; value <= kLastProbed; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

// Counts the process's heaps into usage.heaps and sums the busy blocks' sizes over them into
// usage.heapBytes, each heap locked while it is walked so that no other thread changes it midway.
inline void MeasureHeaps(ProcessUsage& usage) {
  // Static: the list itself must not come from a heap being measured.
  static HANDLE heaps[256];
  const DWORD total = GetProcessHeaps(256, heaps);
  const DWORD listed = total < 256 ? total : 256;
  size_t bytes = 0;
  for (DWORD i = 0; i < listed; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heaps[i], &entry)) {
      if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) bytes += entry.cbData;
    }
    HeapUnlock(heaps[i]);
  }
  usage.heaps = total;
  usage.heapBytes = bytes;
}

// The loader's own record of a module, as far as its load count: the layout every NT loader has
// kept, whose count Wine (and Windows before 8) maintain. A library loaded by name and never
// freed again shows as a count that grows, even where the system itself keeps the library
// loaded for good, as Wine does with USER32 and with what its WMI provider imports.
struct LoaderRecord {
  LIST_ENTRY inLoadOrder;
  LIST_ENTRY inMemoryOrder;
  LIST_ENTRY inInitializationOrder;
  void* base;
  void* entryPoint;
  ULONG imageSize;
  UNICODE_STRING fullName;
  UNICODE_STRING baseName;
  ULONG flags;
  USHORT loadCount;
};

inline void ReadModules(ProcessUsage& usage) {
  const LIST_ENTRY* const head =
      &NtCurrentTeb()->ProcessEnvironmentBlock->Ldr->InMemoryOrderModuleList;
  usage.moduleCount = 0;
  for (const LIST_ENTRY* link = head->Flink;
       link != head && usage.moduleCount < ProcessUsage::kMaxModules; link = link->Flink) {
    const auto* record = CONTAINING_RECORD(link, LoaderRecord, inMemoryOrder);
    usage.modules[usage.moduleCount++] = {record->base, record->loadCount};
  }
}

// The name of the module loaded at `base`, for a message.
inline const wchar_t* ModuleName(const void* base) {
  const LIST_ENTRY* const head =
      &NtCurrentTeb()->ProcessEnvironmentBlock->Ldr->InMemoryOrderModuleList;
  for (const LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
    const auto* record = CONTAINING_RECORD(link, LoaderRecord, inMemoryOrder);
    if (record->base == base) return record->baseName.Buffer;
  }
  return L"(a module no longer loaded)";
}

inline ProcessUsage MeasureProcessUsage() {
  ProcessUsage usage;
  usage.handles = CountOpenHandles();
  MeasureHeaps(usage);
  ReadModules(usage);
  return usage;
}

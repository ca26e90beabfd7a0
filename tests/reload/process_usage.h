// What a process holds at one moment: its open kernel handles, its heaps and the bytes in use in
// them. Each is read without allocating, so that taking a reading does not change the next one.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct ProcessUsage {
  size_t handles = 0;
  size_t heaps = 0;
  size_t heapBytes = 0;
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

inline ProcessUsage MeasureProcessUsage() {
  ProcessUsage usage;
  usage.handles = CountOpenHandles();
  MeasureHeaps(usage);
  return usage;
}

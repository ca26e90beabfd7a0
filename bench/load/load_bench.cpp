// SPDX-License-Identifier: MIT
// How long a host waits to load and free quoril.dll, against a DLL that holds one empty export
// built the same way. Prints both medians, the ratio and both sizes; exit status 0 when the ratio
// is within the budget, 1 when over it, 2 when either DLL does not load.
//
//   quoril_load_bench.exe [cycles [dll [reference-dll]]]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// quoril.dll may take at most this many times as long as the reference to load and free.
constexpr double kBudget = 1.1;

struct Subject {
  const char* name;
  std::vector<double> microseconds;
};

// One LoadLibraryA and FreeLibrary; false when either fails.
bool TimeOneCycle(Subject& subject, double ticksPerMicrosecond) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  const HMODULE module = LoadLibraryA(subject.name);
  const bool freed = module != nullptr && FreeLibrary(module);
  QueryPerformanceCounter(&end);
  subject.microseconds.push_back(static_cast<double>(end.QuadPart - start.QuadPart) /
                                 ticksPerMicrosecond);
  return freed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The size of the file the loader picks for the name, or -1.
long long FileSizeOf(const char* name) {
  const HMODULE module = LoadLibraryA(name);
  if (module == nullptr) return -1;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  FreeLibrary(module);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (length == 0 || length >= MAX_PATH ||
      !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
    return -1;
  }
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 200;
  if (cycles < 1) {
    std::fprintf(stderr, "usage: %s [cycles [dll [reference-dll]]]\n", argv[0]);
    return 2;
  }
  Subject dll{argc > 2 ? argv[2] : "quoril.dll", {}};
  Subject reference{argc > 3 ? argv[3] : "quoril_load_reference.dll", {}};

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const double ticksPerMicrosecond = static_cast<double>(frequency.QuadPart) / 1e6;

  // One untimed cycle each brings the files into the system's cache and lets the loader make
  // its first-use records. Then every round times one cycle of each, the two taking turns at
  // going first.
  Subject* const subjects[2] = {&dll, &reference};
  for (Subject* subject : subjects) {
    if (!TimeOneCycle(*subject, ticksPerMicrosecond)) {
      std::fprintf(stderr, "%s: could not be loaded and freed (error %lu)\n", subject->name,
                   GetLastError());
      return 2;
    }
    subject->microseconds.clear();
  }
  for (int i = 0; i < cycles; ++i) {
    for (int place = 0; place < 2; ++place) {
      Subject& subject = *subjects[(i + place) % 2];
      if (!TimeOneCycle(subject, ticksPerMicrosecond)) {
        std::fprintf(stderr, "%s: load or free failed in cycle %d\n", subject.name, i + 1);
        return 2;
      }
    }
  }

  const double dllMedian = Median(dll.microseconds);
  const double referenceMedian = Median(reference.microseconds);
  // The two cycles of a round run side by side, under the same load from whatever else the
  // machine runs, so the budget is held to the median of the rounds' ratios; the ratio of the
  // medians, which a busy machine moves much more, is shown beside it.
  std::vector<double> roundRatios;
  for (int i = 0; i < cycles; ++i) {
    roundRatios.push_back(dll.microseconds[i] / reference.microseconds[i]);
  }
  const double ratio = Median(roundRatios);
  std::printf("%-28s median %10.1f us of %d load+free cycles, %lld bytes\n", dll.name, dllMedian,
              cycles, FileSizeOf(dll.name));
  std::printf("%-28s median %10.1f us of %d load+free cycles, %lld bytes\n", reference.name,
              referenceMedian, cycles, FileSizeOf(reference.name));
  std::printf("ratio %.2f (ratio of the medians %.2f), budget %.2f: %s\n", ratio,
              dllMedian / referenceMedian, kBudget, ratio <= kBudget ? "within" : "over");
  return ratio <= kBudget ? 0 : 1;
}

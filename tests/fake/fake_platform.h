// SPDX-License-Identifier: MIT
// A scriptable machine for unit tests: the platform calls answer from FakeSystem(), and the
// calls the logic makes are recorded there for the tests to inspect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fake/fake_drive.h"
#include "fake/fake_wmi.h"
#include "platform/platform.h"

namespace quoril::fake {

// How the guarded CPUID query behaves.
enum class CpuidFault {
  kNone,                // answers from the scripted leaves
  kUnavailable,         // the guard reports failure without anything being raised
  kIllegalInstruction,  // a processor without CPUID: on Windows a real fault inside the guard
  kAccessViolation,     // any other exception: on Windows a real fault inside the guard
};

struct FakeCpu {
  CpuidFault fault = CpuidFault::kNone;
  std::map<uint32_t, platform::CpuidRegisters> leaves;  // unscripted leaves answer zeros
  std::vector<uint32_t> queried;                        // every leaf asked for, in order
};

struct DisplayEnumCall {
  bool deviceIsNull;
  uint32_t devNum;
  uint32_t cb;
  uint32_t flags;
};

struct FakeMachine {
  // Failures injected into any call. Every platform call that can fail (every acquiring call:
  // not the releases, nor calls that cannot fail such as Cpuid or GetVersion) is counted, from
  // 0, in the order it is made. The call numbered `failingCall`, and every call named
  // `failingName`, answers in its failing form: a null handle, object or block, an error
  // result, false, the ASPI manager's error status.
  std::optional<size_t> failingCall;
  std::string failingName;
  size_t fallibleCalls = 0;
  std::vector<std::string> fallibleCallNames;  // every counted call's name, in order
  std::vector<std::string> failedCalls;        // the names of the calls made to fail, in order
  // Heap blocks handed out by HeapAlloc and not yet freed, and frees of anything else.
  std::set<void*> heapBlocks;
  int badHeapFrees = 0;
  FakeCpu cpu;
  std::vector<std::string> debugOutput;
  // false: the window system offers no display-device enumeration (Windows 95, NT 4).
  bool displayEnumerationPresent = true;
  // One device identifier per adapter, copied byte for byte into the record's 128-byte field
  // (longer ones are cut at 128, without a terminator).
  std::vector<std::string> displayAdapterIds;
  std::vector<DisplayEnumCall> displayCalls;
  FakeWmi wmi;
  FakeDrives drives;
};

// The machine every platform call answers from; tests reset it before each case (which also
// forgets the calling thread's COM apartment).
FakeMachine& FakeSystem();
void ResetFakeSystem();

// Counts one fallible call named `name` and answers whether it must fail (as scripted above).
bool Fails(const char* name);

// Scripts a processor whose highest extended leaf is `maxExtendedLeaf` and whose brand leaves
// carry `brand` (at most 48 bytes, zero-padded), each word little-endian as the processor has it.
void SetCpuBrand(std::string_view brand, uint32_t maxExtendedLeaf = 0x80000004);

}  // namespace quoril::fake

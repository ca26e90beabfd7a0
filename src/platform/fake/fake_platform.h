// A scriptable machine for unit tests: the platform calls answer from FakeSystem(), and the
// calls the logic makes are recorded there for the tests to inspect.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fake/fake_drive.h"
#include "platform/fake/fake_wmi.h"
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
  // Every platform call throws std::bad_alloc, as an allocation failing inside it would.
  bool allocationFails = false;
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

// Scripts a processor whose highest extended leaf is `maxExtendedLeaf` and whose brand leaves
// carry `brand` (at most 48 bytes, zero-padded), each word little-endian as the processor has it.
void SetCpuBrand(std::string_view brand, uint32_t maxExtendedLeaf = 0x80000004);

}  // namespace quoril::fake

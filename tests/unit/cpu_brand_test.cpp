// SPDX-License-Identifier: MIT
#include "cpu_display/cpu_brand.h"

#include <cstddef>
#include <string>
#include <vector>

#include "fake_machine_test.h"

namespace quoril {
namespace {

using fake::CpuidFault;
using Messages = std::vector<std::string>;

constexpr char kIntelBrand[] = "       Intel(R) Core(TM) i7-3770 CPU @ 3.40GHz";

class CpuBrandTest : public test::FakeMachineTest {};

// IsCpuBrandContaining(text) with its frame `shift` bytes lower, on a stack painted non-zero.
[[gnu::noinline]] void PaintStackBelow() {
  volatile char paint[8192];
  for (volatile char& byte : paint) byte = 0x7E;
}
[[gnu::noinline]] int CallOnPaintedStack(const char* text, size_t shift) {
  static_cast<volatile char*>(__builtin_alloca(shift + 1))[0] = 0;
  PaintStackBelow();
  return IsCpuBrandContaining(text);
}

TEST_F(CpuBrandTest, WritesBrandUnchangedThenVerdict) {
  fake::SetCpuBrand(kIntelBrand);
  EXPECT_EQ(IsCpuBrandContaining("Core(TM) i7"), 1);
  EXPECT_EQ(IsCpuBrandContaining("core(tm) i7"), 0);  // case matters
  EXPECT_EQ(IsCpuBrandContaining("AMD"), 0);
  EXPECT_EQ(machine().debugOutput,
            (Messages{kIntelBrand, "OK", kIntelBrand, "FALSE", kIntelBrand, "FALSE"}));
}

TEST_F(CpuBrandTest, FindsTextAcrossLeavesAndAtEitherEnd) {
  // Each leaf carries 16 bytes; a match may straddle the leaves' seams.
  const std::string brand = "0123456789abcdefGHIJKLMNOPQRSTUVwxyz0123456789+-";
  fake::SetCpuBrand(brand);
  EXPECT_EQ(IsCpuBrandContaining("defGHI"), 1);
  EXPECT_EQ(IsCpuBrandContaining("UVwx"), 1);
  EXPECT_EQ(IsCpuBrandContaining("0123"), 1);
  EXPECT_EQ(IsCpuBrandContaining("+-+"), 0);
  EXPECT_EQ(machine().debugOutput.front(), brand);
  // All 48 bytes filled: the brand still ends after them, whatever follows in memory. With the
  // stack and the probe's registers non-zero, a missing terminator shows as a longer message.
  for (size_t shift = 0; shift < 128; shift += 8) {
    fake::ResetFakeSystem();
    fake::SetCpuBrand(brand);
    machine().cpu.leaves[0] = {0x7E7E7E7E, 0x7E7E7E7E, 0x7E7E7E7E, 0x7E7E7E7E};
    EXPECT_EQ(CallOnPaintedStack("89+-", shift), 1) << shift;
    EXPECT_EQ(machine().debugOutput.at(0), brand) << "stack shifted by " << shift;
  }
}

TEST_F(CpuBrandTest, EmptyTextIsInEveryBrandEvenAnEmptyOne) {
  fake::SetCpuBrand("", 0x80000004);
  EXPECT_EQ(IsCpuBrandContaining(""), 1);
  EXPECT_EQ(IsCpuBrandContaining("A"), 0);
  EXPECT_EQ(machine().debugOutput, (Messages{"", "OK", "", "FALSE"}));
}

TEST_F(CpuBrandTest, HighestExtendedLeafBoundsTheBrand) {
  const std::string brand = "AAAAAAAAAAAAAAAABBBBBBBBBBBBBBBBCCCCCCCCCCCCCCCC";
  struct Case {
    uint32_t maxLeaf;
    std::string expectedBrand;
  };
  const Case cases[] = {
      {0x00000000, ""},  // below the extended range: nothing is walked
      {0x7FFFFFFF, ""},
      {0x80000000, ""},
      {0x80000001, ""},
      {0x80000002, brand.substr(0, 16)},
      {0x80000003, brand.substr(0, 32)},
      {0x80000004, brand},
      {0x80000008, brand},
  };
  for (const Case& c : cases) {
    // Not SCOPED_TRACE: on Windows its per-thread store starts a thread (see fault_test.cpp).
    const std::string highest =
        (testing::Message() << "highest leaf " << std::hex << c.maxLeaf).GetString();
    fake::ResetFakeSystem();
    fake::SetCpuBrand(brand, c.maxLeaf);
    EXPECT_EQ(IsCpuBrandContaining("C"), c.expectedBrand.find('C') != std::string::npos) << highest;
    EXPECT_EQ(machine().debugOutput.front(), c.expectedBrand) << highest;
    for (uint32_t leaf : machine().cpu.queried) {
      if (leaf >= 0x80000002) {
        EXPECT_LE(leaf, c.maxLeaf) << "queried a leaf past the " << highest;
      }
    }
  }
}

TEST_F(CpuBrandTest, HostileHighestLeafDoesNotBecomeAnEndlessWalk) {
  fake::SetCpuBrand(kIntelBrand, 0xFFFFFFFF);
  EXPECT_EQ(IsCpuBrandContaining("Intel"), 1);
  EXPECT_LE(machine().cpu.queried.size(), 8u);
}

TEST_F(CpuBrandTest, WordsAreLaidOutLittleEndianInRegisterOrder) {
  machine().cpu.leaves[0x80000000] = {0x80000002, 0, 0, 0};
  // "ABCD" "EFGH" "IJKL" "MNOP" as EAX, EBX, ECX, EDX.
  machine().cpu.leaves[0x80000002] = {0x44434241, 0x48474645, 0x4C4B4A49, 0x504F4E4D};
  EXPECT_EQ(IsCpuBrandContaining("ABCDEFGHIJKLMNOP"), 1);
}

// Real faults inside the guard are raised by the export and guard tests; here the guard only
// reports that the instruction is unavailable.
TEST_F(CpuBrandTest, UnavailableCpuidAnswersZeroSilently) {
  fake::SetCpuBrand(kIntelBrand);
  machine().cpu.fault = CpuidFault::kUnavailable;
  EXPECT_EQ(IsCpuBrandContaining(""), 0);
  EXPECT_EQ(IsCpuBrandContaining("Intel"), 0);
  EXPECT_TRUE(machine().debugOutput.empty());
  EXPECT_EQ(machine().cpu.queried, (std::vector<uint32_t>{0, 0}));  // only the probe ran
}

TEST_F(CpuBrandTest, NullTextAnswersZeroWithoutTouchingTheProcessor) {
  fake::SetCpuBrand(kIntelBrand);
  EXPECT_EQ(IsCpuBrandContaining(nullptr), 0);
  EXPECT_TRUE(machine().debugOutput.empty());
  EXPECT_TRUE(machine().cpu.queried.empty());
}

}  // namespace
}  // namespace quoril

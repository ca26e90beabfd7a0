// SPDX-License-Identifier: MIT
// The exports as a host sees them, with the scripted machine beneath.
#include "quoril.h"

#include <cstring>

#include "fake_machine_test.h"

namespace quoril {
namespace {

class ExportsTest : public test::FakeMachineTest {};

// The buffer sizes are part of the published interface: hosts built against an earlier header
// pass buffers of exactly these sizes. The library, the tool and the other tests take them from
// the header and follow a change; this test holds them, since a change needs a new major
// version.
TEST(HeaderSizes, AreThePublishedOnes) {
  EXPECT_EQ(QUORIL_BOARD_TEXT_UNITS, 256);
  EXPECT_EQ(QUORIL_CAPTION_UNITS, 256);
  EXPECT_EQ(QUORIL_BOARD_PRODUCT_A_BYTES, 512);
  EXPECT_EQ(QUORIL_CAPTION_LIST_UNITS, 2560);
  EXPECT_EQ(QUORIL_CAPTION_LIST_WHOLE_UNITS, 2571);
  EXPECT_EQ(QUORIL_VENDOR_BYTES, 5);
}

TEST_F(ExportsTest, NullBuffersAnswerZeroAndTouchNothing) {
  fake::SetCpuBrand("Brand");
  machine().displayAdapterIds = {"SUBSYS_0123ABCD&"};
  EXPECT_EQ(fnVoIsCPU(nullptr), 0);
  EXPECT_EQ(fnGetSVID(0, nullptr), 0);
  EXPECT_TRUE(machine().cpu.queried.empty());
  EXPECT_TRUE(machine().debugOutput.empty());
  EXPECT_TRUE(machine().displayCalls.empty());
}

TEST_F(ExportsTest, RepeatedCallsGatherAfreshAndAgree) {
  fake::SetCpuBrand("Virtual Brand");
  machine().displayAdapterIds = {"PCI\\VEN_1234&DEV_1111&SUBSYS_00015853&REV_02"};
  char first[QUORIL_VENDOR_BYTES], second[QUORIL_VENDOR_BYTES];
  EXPECT_EQ(fnVoIsCPU("Virtual"), 1);
  EXPECT_EQ(fnVoIsCPU("Virtual"), 1);
  EXPECT_EQ(fnGetSVID(0, first), 1);
  EXPECT_EQ(fnGetSVID(0, second), 1);
  EXPECT_STREQ(first, "5853");
  EXPECT_STREQ(second, "5853");
  EXPECT_EQ(machine().debugOutput.size(), 4u);
  EXPECT_EQ(machine().displayCalls.size(), 2u);
  // A change of hardware between calls shows in the next answer: nothing was kept.
  machine().displayAdapterIds.clear();
  EXPECT_EQ(fnGetSVID(0, first), 0);
}

TEST_F(ExportsTest, FaultingProcessorIdentificationAnswersZeroSilently) {
  // On Windows the fault is real, raised and handled inside the structured-exception guard.
  fake::SetCpuBrand("Brand");
  machine().cpu.fault = fake::CpuidFault::kIllegalInstruction;
  EXPECT_EQ(fnVoIsCPU(""), 0);
  machine().cpu.fault = fake::CpuidFault::kAccessViolation;
  EXPECT_EQ(fnVoIsCPU("Brand"), 0);
  EXPECT_TRUE(machine().debugOutput.empty());
}

}  // namespace
}  // namespace quoril

// SPDX-License-Identifier: MIT
#include "cpu_display/display_vendor.h"

#include <cstring>
#include <string>

#include "fake_machine_test.h"
#include "quoril.h"
#include "sentinel_buffer.h"

namespace quoril {
namespace {

class DisplayVendorTest : public test::FakeMachineTest {
 protected:
  // Answers the vendor read from an adapter whose device identifier is `id`, checking that the
  // adapter is reported as present.
  std::string VendorOf(const std::string& id) {
    fake::ResetFakeSystem();
    machine().displayAdapterIds = {id};
    test::Narrow<QUORIL_VENDOR_BYTES> out;
    EXPECT_EQ(GetSubsystemVendor(0, out.data()), 1) << id;
    EXPECT_TRUE(out.UntouchedFrom(out.Text().size() + 1)) << "wrote past the terminator";
    return out.Text();
  }
};

TEST_F(DisplayVendorTest, ReadsTheFourCharactersBeforeTheAmpersand) {
  EXPECT_EQ(VendorOf("PCI\\VEN_10DE&DEV_1C82&SUBSYS_0123ABCD&REV_A1"), "ABCD");
  EXPECT_EQ(VendorOf("PCI\\VEN_8086&DEV_0162&SUBSYS_21FA17AA&REV_09"), "17AA");
  // Only the first "SUBSYS" and the first "&" after it count.
  EXPECT_EQ(VendorOf("SUBSYS_11112222&SUBSYS_33334444&REV_00"), "2222");
  EXPECT_EQ(VendorOf("A&B&SUBSYS_0123ABCD&C&D"), "ABCD");
  // The distance counts to the "&", whatever stands between: longer fields still give four.
  EXPECT_EQ(VendorOf("SUBSYS_0123456789&"), "6789");
}

TEST_F(DisplayVendorTest, ShortMissingOrUnterminatedFieldLeavesOutEmpty) {
  EXPECT_EQ(VendorOf("PCI\\VEN_10DE&DEV_1C82&SUBSYS_0123ABCD"), "");         // no "&" after it
  EXPECT_EQ(VendorOf("SUBSYS_12&REV_00"), "");                               // distance 9
  EXPECT_EQ(VendorOf("SUBSYS_123&REV_00"), "_123");                          // distance 10
  EXPECT_EQ(VendorOf("PCI\\VEN_10DE&DEV_1C82&subsys_0123ABCD&REV_A1"), "");  // case matters
  EXPECT_EQ(VendorOf("A&SUBSYS"), "");
  EXPECT_EQ(VendorOf("ROOT\\BASICDISPLAY"), "");
  EXPECT_EQ(VendorOf(""), "");
}

TEST_F(DisplayVendorTest, IdentifierFillingTheWholeFieldIsReadNoFurther) {
  // 128 bytes and no terminator: the field's end is the identifier's end.
  const std::string exact = std::string(112, 'X') + "SUBSYS_0123ABCD&";
  ASSERT_EQ(exact.size(), 128u);
  EXPECT_EQ(VendorOf(exact), "ABCD");
  // The "&" would be the 129th byte, beyond the field, so it is not seen.
  const std::string cut = std::string(113, 'X') + "SUBSYS_0123ABCD&";
  EXPECT_EQ(VendorOf(cut), "");
}

TEST_F(DisplayVendorTest, NoAdapterAtIndexAnswersZeroWithOutEmptied) {
  machine().displayAdapterIds = {"SUBSYS_0123ABCD&", "SUBSYS_4567EF01&"};
  char out[QUORIL_VENDOR_BYTES] = {'j', 'u', 'n', 'k', '!'};
  EXPECT_EQ(GetSubsystemVendor(1, out), 1);
  EXPECT_STREQ(out, "EF01");
  for (int32_t index : {2, 3, INT32_MAX, -1, INT32_MIN}) {
    std::memcpy(out, "junk", sizeof "junk");
    EXPECT_EQ(GetSubsystemVendor(index, out), 0) << index;
    EXPECT_STREQ(out, "");
  }
  // A negative index reaches the window system as its unsigned device number.
  EXPECT_EQ(machine().displayCalls.back().devNum, 0x80000000u);
}

TEST_F(DisplayVendorTest, AsksForAdaptersWithAFreshFullSizeRecord) {
  machine().displayAdapterIds = {"SUBSYS_0123ABCD&"};
  char out[QUORIL_VENDOR_BYTES];
  GetSubsystemVendor(0, out);
  ASSERT_EQ(machine().displayCalls.size(), 1u);
  const fake::DisplayEnumCall& call = machine().displayCalls[0];
  EXPECT_TRUE(call.deviceIsNull);
  EXPECT_EQ(call.devNum, 0u);
  EXPECT_EQ(call.cb, 424u);
  EXPECT_EQ(call.flags, 0u);
}

TEST_F(DisplayVendorTest, WithoutDisplayEnumerationThereIsNoAdapter) {
  machine().displayAdapterIds = {"SUBSYS_0123ABCD&"};
  machine().displayEnumerationPresent = false;
  char out[QUORIL_VENDOR_BYTES] = "junk";
  EXPECT_EQ(GetSubsystemVendor(0, out), 0);
  EXPECT_STREQ(out, "");
}

TEST_F(DisplayVendorTest, NullOutAnswersZeroAndAsksNothing) {
  machine().displayAdapterIds = {"SUBSYS_0123ABCD&"};
  EXPECT_EQ(GetSubsystemVendor(0, nullptr), 0);
  EXPECT_TRUE(machine().displayCalls.empty());
}

}  // namespace
}  // namespace quoril

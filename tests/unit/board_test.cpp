// SPDX-License-Identifier: MIT
// The board exports as a host calls them.
#include <algorithm>
#include <string>

#include "fake_wmi_test.h"
#include "quoril.h"

namespace quoril {
namespace {

constexpr char16_t kSentinel = u'#';
// The units a board text keeps, and more than that for values that must be cut.
constexpr size_t kLongest = QUORIL_BOARD_TEXT_UNITS - 1;
constexpr size_t kTooLong = kLongest + 45;

class BoardTest : public test::FakeWmiTest {
 protected:
  void SetUp() override {
    FakeWmiTest::SetUp();
    std::fill(std::begin(product_), std::end(product_), kSentinel);
    std::fill(std::begin(maker_), std::end(maker_), kSentinel);
    std::fill(std::begin(narrow_), std::end(narrow_), '#');
  }
  std::u16string Product() const { return product_; }
  std::u16string Maker() const { return maker_; }
  bool ProductUntouched() const {
    return std::all_of(std::begin(product_), std::end(product_),
                       [](char16_t unit) { return unit == kSentinel; });
  }
  bool NarrowUntouched() const {
    return std::all_of(std::begin(narrow_), std::end(narrow_), [](char c) { return c == '#'; });
  }

  // Room past the caller's contract, so writes past it show.
  char16_t product_[QUORIL_BOARD_TEXT_UNITS + 44];
  char16_t maker_[QUORIL_BOARD_TEXT_UNITS + 44];
  char narrow_[QUORIL_BOARD_PRODUCT_A_BYTES + 88];
};

TEST_F(BoardTest, ProductOfTheLastBoardThatHasOne) {
  AddBoard({{u"Product", Text(u"First")}});
  AddBoard({{u"Product", Text(u"Second board")}});
  AddBoard({{u"Product", fake::FakeProperty::Null()}});
  AddBoard({});
  EXPECT_EQ(fnGetPID(product_), 1);
  EXPECT_EQ(Product(), u"Second board");
  ExpectNothingHeld();
}

TEST_F(BoardTest, NoBoardOrNoProductAnswersOneAndLeavesTheBuffer) {
  EXPECT_EQ(fnGetPID(product_), 1);
  AddBoard({{u"Product", fake::FakeProperty::Null()}});
  AddBoard({{u"Product", fake::FakeProperty::Integer(4)}});
  AddBoard({{u"Product", fake::FakeProperty::Text(u"warned", 1)}});
  EXPECT_EQ(fnGetPID(product_), 1);
  EXPECT_TRUE(ProductUntouched());
  ExpectNothingHeld();
}

TEST_F(BoardTest, UnreachableWmiOrMultithreadedCallerAnswersZero) {
  AddBoard({{u"Product", Text(u"P")}, {u"Manufacturer", Text(u"M")}});
  wmi().connectResult = static_cast<HRESULT>(0x80041003);
  EXPECT_EQ(fnGetPID(product_), 0);
  EXPECT_EQ(fnGetWMIInfo(product_, maker_), 0);
  wmi().connectResult = S_OK;
  fake::EnterApartment(fake::Apartment::kMultithreaded);
  EXPECT_EQ(fnGetPID(product_), 0);
  EXPECT_EQ(fnGetWMIInfo(product_, maker_), 0);
  EXPECT_TRUE(ProductUntouched());
  ExpectNothingHeld(1);
}

TEST_F(BoardTest, LongValuesKeepTheirFirstUnitsUpToTheContract) {
  const std::u16string longValue(kTooLong, u'x');
  AddBoard({{u"Product", Text(longValue)}, {u"Manufacturer", Text(longValue)}});
  EXPECT_EQ(fnGetWMIInfo(product_, maker_), 1);
  EXPECT_EQ(Product(), longValue.substr(0, kLongest));
  EXPECT_EQ(Maker(), longValue.substr(0, kLongest));
  // Nothing beyond the units of the caller's contract was written.
  EXPECT_EQ(product_[QUORIL_BOARD_TEXT_UNITS], kSentinel);
  EXPECT_EQ(maker_[QUORIL_BOARD_TEXT_UNITS], kSentinel);
}

TEST_F(BoardTest, InfoTakesEachPropertyOnItsOwn) {
  AddBoard({{u"Product", Text(u"P1")}, {u"Manufacturer", Text(u"M1")}});
  AddBoard({{u"Product", Text(u"P2")}});
  AddBoard({{u"Manufacturer", fake::FakeProperty::Null()}});
  EXPECT_EQ(fnGetWMIInfo(product_, maker_), 1);
  EXPECT_EQ(Product(), u"P2");
  EXPECT_EQ(Maker(), u"M1");
  ExpectNothingHeld();
}

TEST_F(BoardTest, InfoReadsOnlyThePropertiesItHasBuffersFor) {
  AddBoard({{u"Product", Text(u"P1")}, {u"Manufacturer", Text(u"M1")}});
  EXPECT_EQ(fnGetWMIInfo(nullptr, maker_), 1);
  EXPECT_EQ(Maker(), u"M1");
  EXPECT_EQ(EventsStartingWith("Get"), std::vector<std::string>{"Get Manufacturer"});

  fake::ResetFakeSystem();
  AddBoard({{u"Product", Text(u"P1")}});
  EXPECT_EQ(fnGetWMIInfo(nullptr, nullptr), 1);
  EXPECT_EQ(wmi().listings.size(), 1u);
  EXPECT_TRUE(EventsStartingWith("Get").empty());
  ExpectNothingHeld();
}

TEST_F(BoardTest, NullProductBufferAnswersZeroWithoutWork) {
  AddBoard({{u"Product", Text(u"P1")}});
  EXPECT_EQ(fnGetPID(nullptr), 0);
  EXPECT_EQ(fnGetBaseBoardPorductA(nullptr), 0);
  EXPECT_TRUE(wmi().events.empty());
}

TEST_F(BoardTest, NarrowProductIsTheFirstBoardsAndTheAnswerIsAlwaysZero) {
  AddBoard({{u"Product", fake::FakeProperty::Text(u"First", 1)}});  // any success counts
  AddBoard({{u"Product", Text(u"Second")}});
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_), 0);
  EXPECT_STREQ(narrow_, "First");
  EXPECT_EQ(narrow_[6], '#');
  EXPECT_EQ(wmi().nextCalls.size(), 1u);
  for (const fake::FakeConversion& conversion : wmi().conversions) {
    EXPECT_EQ(conversion.codePage, 3u);  // the thread's ANSI code page
  }
  ExpectNothingHeld();
}

TEST_F(BoardTest, NarrowProductLeftAloneWhenThereIsNothingToWrite) {
  const auto expectUntouched = [&] {
    EXPECT_EQ(fnGetBaseBoardPorductA(narrow_), 0);
    EXPECT_TRUE(NarrowUntouched());
    ExpectNothingHeld();
  };
  expectUntouched();  // no board
  AddBoard({{u"Product", fake::FakeProperty::Null()}});
  AddBoard({{u"Product", Text(u"Second")}});
  expectUntouched();  // the first board has no text product
  fake::ResetFakeSystem();
  AddBoard({{u"Product", Text(u"P")}});
  wmi().conversionFails = true;
  expectUntouched();
  wmi().conversionFails = false;
  wmi().connectResult = E_FAIL;
  expectUntouched();
}

TEST_F(BoardTest, NarrowProductOfDoubleByteTextFitsTheContract) {
  // Units that each take two bytes: the first kLongest are converted, then a terminator.
  AddBoard({{u"Product", Text(std::u16string(kTooLong, u'\x3042'))}});
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_), 0);
  EXPECT_EQ(std::string(narrow_).size(), 2 * kLongest);
  EXPECT_EQ(narrow_[2 * kLongest + 1], '#');
  for (size_t i = 0; i < 2 * kLongest; i += 2) {
    ASSERT_EQ(static_cast<unsigned char>(narrow_[i]), 0xB0) << i;
    ASSERT_EQ(static_cast<unsigned char>(narrow_[i + 1]), 0x42) << i;
  }
}

TEST_F(BoardTest, NarrowProductUsesTheDefaultCharacterForUnitsTheCodePageLacks) {
  AddBoard({{u"Product", Text(u"A\xFFFF"
                              u"B")}});
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_), 0);
  EXPECT_STREQ(narrow_, "A?B");
}

TEST_F(BoardTest, NarrowProductInTheCallersMultithreadedApartment) {
  AddBoard({{u"Product", Text(u"Board")}});
  fake::EnterApartment(fake::Apartment::kMultithreaded);
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_), 0);
  EXPECT_STREQ(narrow_, "Board");
  EXPECT_EQ(fake::CurrentThreadCom().apartment, fake::Apartment::kMultithreaded);
  ExpectNothingHeld(1);
}

}  // namespace
}  // namespace quoril

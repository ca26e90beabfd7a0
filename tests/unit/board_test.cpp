// SPDX-License-Identifier: MIT
// The board exports as a host calls them.
#include <string>
#include <vector>

#include "fake_wmi_test.h"
#include "quoril.h"
#include "sentinel_buffer.h"

namespace quoril {
namespace {

using test::Narrow;
using test::Wide;

class BoardTest : public test::FakeWmiTest {
 protected:
  Wide<QUORIL_BOARD_TEXT_UNITS> product_;
  Wide<QUORIL_BOARD_TEXT_UNITS> maker_;
  Narrow<QUORIL_BOARD_PRODUCT_A_BYTES> narrow_;
};

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

// The boards WMI lists, and what each wide export answers: fnGetPID's answer and product, then
// fnGetWMIInfo's answer, product and maker.
TEST_F(BoardTest, WideExportsTakeTheLastBoardsValueOfEachProperty) {
  using fake::FakeProperty;
  const std::string cut = Quoted(std::string(QUORIL_BOARD_TEXT_UNITS - 1, 'x'));
  struct Scenario {
    const char* name;
    std::vector<fake::FakeInstance> boards;
    std::string pid;
    std::string info;
  };
  const Scenario scenarios[] = {
      {"no board", {}, "1 untouched", "1 untouched by untouched"},
      {"the last board that has a product",
       {{{u"Product", Text(u"First")}},
        {{u"Product", Text(u"Second board")}},
        {{u"Product", FakeProperty::Null()}},
        {}},
       "1 \"Second board\"",
       "1 \"Second board\" by untouched"},
      {"no text product (null, a number, a read that warned)",
       {{{u"Product", FakeProperty::Null()}},
        {{u"Product", FakeProperty::Integer(4)}},
        {{u"Product", FakeProperty::Text(u"warned", 1)}, {u"Manufacturer", Text(u"M")}}},
       "1 untouched",
       "1 untouched by \"M\""},
      {"each property on its own",
       {{{u"Product", Text(u"P1")}, {u"Manufacturer", Text(u"M1")}},
        {{u"Product", Text(u"P2")}},
        {{u"Manufacturer", FakeProperty::Null()}}},
       "1 \"P2\"",
       "1 \"P2\" by \"M1\""},
      {"long values keep their first 255 units",
       {{{u"Product", Text(std::u16string(400, u'x'))},
         {u"Manufacturer", Text(std::u16string(400, u'x'))}}},
       "1 " + cut,
       "1 " + cut + " by " + cut},
  };
  for (const Scenario& scenario : scenarios) {
    fake::ResetFakeSystem();
    for (const fake::FakeInstance& board : scenario.boards) AddBoard(board);
    product_.Refill();
    const int pid = fnGetPID(product_.data());
    EXPECT_EQ(std::to_string(pid) + " " + product_.Describe(), scenario.pid) << scenario.name;
    product_.Refill();
    maker_.Refill();
    const int info = fnGetWMIInfo(product_.data(), maker_.data());
    EXPECT_EQ(std::to_string(info) + " " + product_.Describe() + " by " + maker_.Describe(),
              scenario.info)
        << scenario.name;
    ExpectNothingHeld();
  }
}

TEST_F(BoardTest, UnreachableWmiOrMultithreadedCallerAnswersZero) {
  AddBoard({{u"Product", Text(u"P")}, {u"Manufacturer", Text(u"M")}});
  wmi().connectResult = static_cast<HRESULT>(0x80041003);
  EXPECT_EQ(fnGetPID(product_.data()), 0);
  EXPECT_EQ(fnGetWMIInfo(product_.data(), maker_.data()), 0);
  wmi().connectResult = S_OK;
  fake::EnterApartment(fake::Apartment::kMultithreaded);
  EXPECT_EQ(fnGetPID(product_.data()), 0);
  EXPECT_EQ(fnGetWMIInfo(product_.data(), maker_.data()), 0);
  EXPECT_TRUE(product_.Untouched());
  ExpectNothingHeld(1);
}

TEST_F(BoardTest, InfoReadsOnlyThePropertiesItHasBuffersFor) {
  AddBoard({{u"Product", Text(u"P1")}, {u"Manufacturer", Text(u"M1")}});
  EXPECT_EQ(fnGetWMIInfo(nullptr, maker_.data()), 1);
  EXPECT_EQ(maker_.Text(), u"M1");
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
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_.data()), 0);
  EXPECT_EQ(narrow_.Describe(), Quoted("First"));
  EXPECT_EQ(wmi().nextCalls.size(), 1u);
  for (const fake::FakeConversion& conversion : wmi().conversions) {
    EXPECT_EQ(conversion.codePage, 3u);  // the thread's ANSI code page
  }
  ExpectNothingHeld();
}

// Windows before 2000 refuses the thread's code page; the system's, which a thread there always
// uses, converts instead. A conversion that fails otherwise is not made again.
TEST_F(BoardTest, NarrowProductWhereTheThreadsCodePageIsRefused) {
  AddBoard({{u"Product", Text(u"Board")}});
  wmi().unknownCodePage = CP_THREAD_ACP;
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_.data()), 0);
  EXPECT_EQ(narrow_.Describe(), Quoted("Board"));
  std::vector<UINT> narrowed;
  for (const fake::FakeConversion& conversion : wmi().conversions) {
    if (!conversion.toWide) narrowed.push_back(conversion.codePage);
  }
  EXPECT_EQ(narrowed, (std::vector<UINT>{CP_THREAD_ACP, CP_ACP}));
  ExpectNothingHeld();

  narrow_.Refill();
  wmi().unknownCodePage.reset();
  wmi().conversionFails = true;
  wmi().conversions.clear();
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_.data()), 0);
  EXPECT_TRUE(narrow_.Untouched());
  EXPECT_EQ(wmi().conversions.size(), 1u);
}

TEST_F(BoardTest, NarrowProductLeftAloneWhenThereIsNothingToWrite) {
  const auto expectUntouched = [&] {
    EXPECT_EQ(fnGetBaseBoardPorductA(narrow_.data()), 0);
    EXPECT_TRUE(narrow_.Untouched());
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
  // 300 units that each take two bytes: 255 of them are converted, 510 bytes and a terminator.
  AddBoard({{u"Product", Text(std::u16string(300, u'\x3042'))}});
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_.data()), 0);
  EXPECT_EQ(narrow_.Text().size(), 2u * (QUORIL_BOARD_TEXT_UNITS - 1));
  EXPECT_TRUE(narrow_.UntouchedFrom(QUORIL_BOARD_PRODUCT_A_BYTES - 1));
  for (size_t i = 0; i < narrow_.Text().size(); i += 2) {
    ASSERT_EQ(static_cast<unsigned char>(narrow_[i]), 0xB0) << i;
    ASSERT_EQ(static_cast<unsigned char>(narrow_[i + 1]), 0x42) << i;
  }
}

TEST_F(BoardTest, NarrowProductUsesTheDefaultCharacterForUnitsTheCodePageLacks) {
  AddBoard({{u"Product", Text(u"A\xFFFF"
                              u"B")}});
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_.data()), 0);
  EXPECT_EQ(narrow_.Text(), "A?B");
}

TEST_F(BoardTest, NarrowProductInTheCallersMultithreadedApartment) {
  AddBoard({{u"Product", Text(u"Board")}});
  fake::EnterApartment(fake::Apartment::kMultithreaded);
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_.data()), 0);
  EXPECT_EQ(narrow_.Text(), "Board");
  EXPECT_EQ(fake::CurrentThreadCom().apartment, fake::Apartment::kMultithreaded);
  ExpectNothingHeld(1);
}

}  // namespace
}  // namespace quoril

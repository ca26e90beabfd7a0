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

// The units a board text keeps, and more than that for values that must be cut.
constexpr size_t kLongest = QUORIL_BOARD_TEXT_UNITS - 1;
constexpr size_t kTooLong = kLongest + 45;

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
  const std::string cut = Quoted(std::string(kLongest, 'x'));
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
      {"long values keep the units that fit",
       {{{u"Product", Text(std::u16string(kTooLong, u'x'))},
         {u"Manufacturer", Text(std::u16string(kTooLong, u'x'))}}},
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

// The boards WMI lists and what the machine does, and what fnGetBaseBoardPorductA writes (it
// always answers 0): the first board's product converted in the thread's code page (3), or
// nothing. Windows before 2000 refuses the thread's code page; the system's (0), which a thread
// there always uses, converts instead. A conversion that fails otherwise is not made again.
TEST_F(BoardTest, NarrowProductIsTheFirstBoardsInTheThreadsCodePage) {
  using fake::FakeProperty;
  struct Scenario {
    const char* name;
    std::vector<fake::FakeInstance> boards;
    void (*machine)(fake::FakeWmi&);
    std::string product;
    std::vector<UINT> narrowedIn;
  };
  const auto asIs = [](fake::FakeWmi&) {};
  const Scenario scenarios[] = {
      {"the first board; any success counts",
       {{{u"Product", FakeProperty::Text(u"First", 1)}}, {{u"Product", Text(u"Second")}}},
       asIs,
       Quoted("First"),
       {3}},
      {"no board", {}, asIs, "untouched", {}},
      {"the first board has no text product",
       {{{u"Product", FakeProperty::Null()}}, {{u"Product", Text(u"Second")}}},
       asIs,
       "untouched",
       {}},
      {"the conversion fails otherwise",
       {{{u"Product", Text(u"P")}}},
       [](fake::FakeWmi&) { fake::FakeSystem().failingName = "WideCharToMultiByte"; },
       "untouched",
       {3}},
      {"the thread's code page refused",
       {{{u"Product", Text(u"Board")}}},
       [](fake::FakeWmi& w) { w.unknownCodePage = CP_THREAD_ACP; },
       Quoted("Board"),
       {3, 0}},
      {"units the code page lacks", {{{u"Product", Text(u"A\xFFFFZ")}}}, asIs, Quoted("A?Z"), {3}},
      {"a caller in the multithreaded apartment",
       {{{u"Product", Text(u"Board")}}},
       [](fake::FakeWmi&) { fake::EnterApartment(fake::Apartment::kMultithreaded); },
       Quoted("Board"),
       {3}},
  };
  for (const Scenario& scenario : scenarios) {
    fake::ResetFakeSystem();
    for (const fake::FakeInstance& board : scenario.boards) AddBoard(board);
    scenario.machine(wmi());
    const fake::Apartment apartment = fake::CurrentThreadCom().apartment;
    narrow_.Refill();
    EXPECT_EQ(fnGetBaseBoardPorductA(narrow_.data()), 0) << scenario.name;
    EXPECT_EQ(narrow_.Describe(), scenario.product) << scenario.name;
    std::vector<UINT> narrowedIn;
    for (const fake::FakeConversion& conversion : wmi().conversions) {
      if (!conversion.toWide) narrowedIn.push_back(conversion.codePage);
    }
    EXPECT_EQ(narrowedIn, scenario.narrowedIn) << scenario.name;
    EXPECT_LE(wmi().nextCalls.size(), 1u) << scenario.name;  // only the first board is asked for
    EXPECT_EQ(fake::CurrentThreadCom().apartment, apartment) << scenario.name;
    ExpectNothingHeld(apartment == fake::Apartment::kNone ? 0 : 1);
  }
}

TEST_F(BoardTest, NarrowProductOfDoubleByteTextFitsTheContract) {
  // Units that each take two bytes: the first kLongest are converted, then a terminator.
  AddBoard({{u"Product", Text(std::u16string(kTooLong, u'\x3042'))}});
  EXPECT_EQ(fnGetBaseBoardPorductA(narrow_.data()), 0);
  EXPECT_EQ(narrow_.Text().size(), 2 * kLongest);
  EXPECT_TRUE(narrow_.UntouchedFrom(QUORIL_BOARD_PRODUCT_A_BYTES - 1));
  for (size_t i = 0; i < narrow_.Text().size(); i += 2) {
    ASSERT_EQ(static_cast<unsigned char>(narrow_[i]), 0xB0) << i;
    ASSERT_EQ(static_cast<unsigned char>(narrow_[i + 1]), 0x42) << i;
  }
}

}  // namespace
}  // namespace quoril

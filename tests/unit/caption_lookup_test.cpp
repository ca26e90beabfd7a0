// SPDX-License-Identifier: MIT
// The caption of the drive named in a caller's text.
#include "wmi/caption_lookup.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_wmi_test.h"
#include "quoril.h"
#include "sentinel_buffer.h"

namespace quoril::wmi {
namespace {

TEST(FindNoCaseTest, FirstPlaceWhereTheNeedleStandsWithAToZFolded) {
  const char16_t* haystack = u"xD:yd:";
  const char16_t* empty = u"";
  const char16_t* overlapping = u"aab";
  struct Case {
    const char16_t* haystack;
    const char16_t* needle;
    const char16_t* found;
  };
  const Case cases[] = {
      {haystack, u"d:", haystack + 1},
      {haystack, u"D:", haystack + 1},
      {haystack, u"E:", nullptr},
      {haystack, u"", haystack},  // an empty needle stands at the start
      {empty, u"", empty},
      {overlapping, u"AB", overlapping + 1},
      {u"ab", u"abc", nullptr},
      {u"", u"a", nullptr},
      {nullptr, u"a", nullptr},
      {u"a", nullptr, nullptr},
      {u"{", u"[", nullptr},  // '[' and '{' sit just outside the folded ranges
  };
  for (const Case& c : cases) EXPECT_EQ(FindNoCase(c.haystack, c.needle), c.found);
  // Letters outside a-z keep their case: U+00E9 and U+00C9 differ.
  EXPECT_EQ(FindNoCase(u"caf\u00E9", u"CAF\u00C9"), nullptr);
  EXPECT_NE(FindNoCase(u"caf\u00E9", u"CAF\u00E9"), nullptr);
}

class DriveCaptionTest : public test::FakeWmiTest {
 protected:
  static void Drive(const char16_t* drive, fake::FakeProperty caption) {
    AddDrive({{u"Drive", fake::FakeProperty::Text(drive)}, {u"Caption", std::move(caption)}});
  }

  // The callers here promise 32 units or fewer.
  test::Wide<32> caption_;
};

// The drives WMI lists (their Drive and Caption values), the text a caller names a drive in, and
// the caption found with the number of instances asked for: the walk stops at the first drive
// whose value stands in the text, a-z folded, and that has a text caption.
TEST_F(DriveCaptionTest, FirstListedDriveInTheTextWithACaptionWins) {
  using fake::FakeProperty;
  struct Scenario {
    std::vector<std::pair<const char16_t*, FakeProperty>> drives;
    const char16_t* text;
    std::optional<std::u16string> caption;
    size_t asked;
  };
  const Scenario scenarios[] = {
      {{{u"E:", Text(u"Other")}, {u"D:", Text(u"Optical D")}}, u"d:\\", u"Optical D", 2},
      {{{u"E:", FakeProperty::Null()},
        {u"D:", Text(u"Listed first")},
        {u"E:", Text(u"Listed later")},
        {u"F:", Text(u"Never looked at")}},
       u"E: and D:",
       u"Listed first",
       2},
      {{{u"", Text(u"Any")}}, u"Z:", u"Any", 1},  // an empty value stands in every text
      {{}, u"D:", std::nullopt, 1},
      {{{u"E:", Text(u"Other")}, {u"D:", FakeProperty::Integer(1)}}, u"D:", std::nullopt, 3},
  };
  for (const Scenario& scenario : scenarios) {
    fake::ResetFakeSystem();
    for (const auto& [drive, caption] : scenario.drives) Drive(drive, caption);
    caption_.Refill();
    const std::string name(scenario.text,
                           scenario.text + std::char_traits<char16_t>::length(scenario.text));
    EXPECT_EQ(fnGetDriveCaptionW(scenario.text, caption_.data(), 32), scenario.caption ? 1 : 0)
        << name;
    if (scenario.caption) {
      // The caption, then zero units to the end of the count; nothing past it is written.
      std::u16string expected(32, u'\0');
      expected.replace(0, scenario.caption->size(), *scenario.caption);
      EXPECT_EQ(std::u16string(caption_.data(), 32), expected) << name;
      EXPECT_TRUE(caption_.UntouchedFrom(32)) << name;
    } else {
      EXPECT_TRUE(caption_.Untouched()) << name;
    }
    EXPECT_EQ(wmi().nextCalls.size(), scenario.asked) << name;
    ExpectNothingHeld();
  }
}

TEST_F(DriveCaptionTest, CaptionIsCutToCountMinusOne) {
  Drive(u"D:", Text(u"ABCDEFGH"));
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_.data(), 4), 1);
  EXPECT_EQ(std::u16string(caption_.data(), 4), std::u16string(u"ABC\0", 4));
  EXPECT_TRUE(caption_.UntouchedFrom(4));
  caption_.Refill();
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_.data(), 1), 1);
  EXPECT_EQ(caption_[0], u'\0');
  EXPECT_TRUE(caption_.UntouchedFrom(1));
}

TEST_F(DriveCaptionTest, BadArgumentsAnswerZeroBeforeAnyWork) {
  Drive(u"D:", Text(u"Optical"));
  EXPECT_EQ(fnGetDriveCaptionW(nullptr, caption_.data(), 32), 0);
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", nullptr, 32), 0);
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_.data(), 0), 0);
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_.data(), -5), 0);
  EXPECT_TRUE(caption_.Untouched());
  EXPECT_TRUE(wmi().events.empty());
}

TEST_F(DriveCaptionTest, AcceptsAnySuccessfulReadAndWorksInTheCallersApartment) {
  AddDrive({{u"Drive", fake::FakeProperty::Text(u"D:", 1)},
            {u"Caption", fake::FakeProperty::Text(u"Optical", 1)}});
  fake::EnterApartment(fake::Apartment::kMultithreaded);
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_.data(), 32), 1);
  EXPECT_EQ(caption_.Text(), u"Optical");
  EXPECT_EQ(fake::CurrentThreadCom().apartment, fake::Apartment::kMultithreaded);
  ExpectNothingHeld(1);
}

}  // namespace
}  // namespace quoril::wmi

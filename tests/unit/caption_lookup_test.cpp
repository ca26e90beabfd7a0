// SPDX-License-Identifier: MIT
// The caption of the drive named in a caller's text.
#include "wmi/caption_lookup.h"

#include <algorithm>
#include <string>
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

TEST_F(DriveCaptionTest, LowerCaseTextFindsTheDrive) {
  Drive(u"E:", Text(u"Other"));
  Drive(u"D:", Text(u"Optical D"));
  EXPECT_EQ(fnGetDriveCaptionW(u"d:\\", caption_.data(), 32), 1);
  EXPECT_EQ(caption_.Text(), u"Optical D");
  // The rest of the count is zero units; nothing past it is written.
  EXPECT_TRUE(std::all_of(caption_.units.begin() + 9, caption_.units.begin() + 32,
                          [](char16_t u) { return u == 0; }));
  EXPECT_TRUE(caption_.UntouchedFrom(32));
  ExpectNothingHeld();
}

TEST_F(DriveCaptionTest, FirstListedMatchWithACaptionWins) {
  Drive(u"E:", fake::FakeProperty::Null());  // matches, but has no caption
  Drive(u"D:", Text(u"Listed first"));
  Drive(u"E:", Text(u"Listed later"));
  Drive(u"F:", Text(u"Never looked at"));
  EXPECT_EQ(fnGetDriveCaptionW(u"E: and D:", caption_.data(), 32), 1);
  EXPECT_EQ(caption_.Text(), u"Listed first");
  // The walk stopped at the match.
  EXPECT_EQ(wmi().nextCalls.size(), 2u);
  ExpectNothingHeld();
}

TEST_F(DriveCaptionTest, EmptyDriveValueMatchesEveryText) {
  Drive(u"", Text(u"Any"));
  EXPECT_EQ(fnGetDriveCaptionW(u"Z:", caption_.data(), 32), 1);
  EXPECT_EQ(caption_.Text(), u"Any");
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

TEST_F(DriveCaptionTest, NothingMatchesOrNothingListed) {
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_.data(), 32), 0);
  Drive(u"E:", Text(u"Other"));
  Drive(u"D:", fake::FakeProperty::Integer(1));
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_.data(), 32), 0);
  EXPECT_TRUE(caption_.Untouched());
  ExpectNothingHeld();
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

TEST_F(DriveCaptionTest, FailedConnectionOrListingAnswersZero) {
  Drive(u"D:", Text(u"Optical"));
  wmi().connectResult = E_FAIL;
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_.data(), 32), 0);
  wmi().connectResult = S_OK;
  wmi().listingGivesEnumerator = false;
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_.data(), 32), 0);
  EXPECT_TRUE(caption_.Untouched());
  ExpectNothingHeld();
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

// SPDX-License-Identifier: MIT
// The caption of the drive named in a caller's text.
#include "wmi/caption_lookup.h"

#include <algorithm>
#include <string>
#include <vector>

#include "fake_wmi_test.h"
#include "quoril.h"

namespace quoril::wmi {
namespace {

TEST(FindNoCaseTest, FoldsOnlyAToZ) {
  const char16_t* haystack = u"d:";
  EXPECT_EQ(FindNoCase(haystack, u"D:"), haystack);
  EXPECT_EQ(FindNoCase(haystack, u"E:"), nullptr);
  // Letters outside a-z keep their case: U+00E9 and U+00C9 differ.
  EXPECT_EQ(FindNoCase(u"caf\u00E9", u"CAF\u00C9"), nullptr);
  EXPECT_NE(FindNoCase(u"caf\u00E9", u"CAF\u00E9"), nullptr);
  // '[' (0x5B) and '{' (0x7B) sit just outside the folded ranges.
  EXPECT_EQ(FindNoCase(u"{", u"["), nullptr);
}

TEST(FindNoCaseTest, EmptyNeedleIsFoundAtTheStart) {
  const char16_t* haystack = u"D:";
  const char16_t* empty = u"";
  EXPECT_EQ(FindNoCase(haystack, u""), haystack);
  EXPECT_EQ(FindNoCase(empty, u""), empty);
}

TEST(FindNoCaseTest, FirstOccurrenceAndLongNeedles) {
  const char16_t* haystack = u"xD:yd:";
  EXPECT_EQ(FindNoCase(haystack, u"d:"), haystack + 1);
  EXPECT_EQ(FindNoCase(u"ab", u"abc"), nullptr);
  EXPECT_EQ(FindNoCase(u"", u"a"), nullptr);
  const char16_t* overlapping = u"aab";
  EXPECT_EQ(FindNoCase(overlapping, u"AB"), overlapping + 1);
  EXPECT_EQ(FindNoCase(nullptr, u"a"), nullptr);
  EXPECT_EQ(FindNoCase(u"a", nullptr), nullptr);
}

constexpr char16_t kSentinel = u'#';

class DriveCaptionTest : public test::FakeWmiTest {
 protected:
  void SetUp() override {
    FakeWmiTest::SetUp();
    std::fill(std::begin(caption_), std::end(caption_), kSentinel);
  }
  static void Drive(const char16_t* drive, fake::FakeProperty caption) {
    AddDrive({{u"Drive", fake::FakeProperty::Text(drive)}, {u"Caption", std::move(caption)}});
  }
  bool Untouched() const {
    return std::all_of(std::begin(caption_), std::end(caption_),
                       [](char16_t u) { return u == kSentinel; });
  }

  char16_t caption_[64];
};

TEST_F(DriveCaptionTest, LowerCaseTextFindsTheDrive) {
  Drive(u"E:", Text(u"Other"));
  Drive(u"D:", Text(u"Optical D"));
  EXPECT_EQ(fnGetDriveCaptionW(u"d:\\", caption_, 32), 1);
  EXPECT_EQ(std::u16string(caption_), u"Optical D");
  // The rest of the count is zero units; nothing past it is written.
  EXPECT_TRUE(std::all_of(caption_ + 9, caption_ + 32, [](char16_t u) { return u == 0; }));
  EXPECT_EQ(caption_[32], kSentinel);
  ExpectNothingHeld();
}

TEST_F(DriveCaptionTest, FirstListedMatchWithACaptionWins) {
  Drive(u"E:", fake::FakeProperty::Null());  // matches, but has no caption
  Drive(u"D:", Text(u"Listed first"));
  Drive(u"E:", Text(u"Listed later"));
  Drive(u"F:", Text(u"Never looked at"));
  EXPECT_EQ(fnGetDriveCaptionW(u"E: and D:", caption_, 32), 1);
  EXPECT_EQ(std::u16string(caption_), u"Listed first");
  // The walk stopped at the match.
  EXPECT_EQ(wmi().nextCalls.size(), 2u);
  ExpectNothingHeld();
}

TEST_F(DriveCaptionTest, EmptyDriveValueMatchesEveryText) {
  Drive(u"", Text(u"Any"));
  EXPECT_EQ(fnGetDriveCaptionW(u"Z:", caption_, 32), 1);
  EXPECT_EQ(std::u16string(caption_), u"Any");
}

TEST_F(DriveCaptionTest, CaptionIsCutToCountMinusOne) {
  Drive(u"D:", Text(u"ABCDEFGH"));
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_, 4), 1);
  EXPECT_EQ(std::u16string(caption_, 4), std::u16string(u"ABC\0", 4));
  EXPECT_EQ(caption_[4], kSentinel);
  std::fill(std::begin(caption_), std::end(caption_), kSentinel);
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_, 1), 1);
  EXPECT_EQ(caption_[0], u'\0');
  EXPECT_EQ(caption_[1], kSentinel);
}

TEST_F(DriveCaptionTest, NothingMatchesOrNothingListed) {
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_, 32), 0);
  Drive(u"E:", Text(u"Other"));
  Drive(u"D:", fake::FakeProperty::Integer(1));
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_, 32), 0);
  EXPECT_TRUE(Untouched());
  ExpectNothingHeld();
}

TEST_F(DriveCaptionTest, BadArgumentsAnswerZeroBeforeAnyWork) {
  Drive(u"D:", Text(u"Optical"));
  EXPECT_EQ(fnGetDriveCaptionW(nullptr, caption_, 32), 0);
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", nullptr, 32), 0);
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_, 0), 0);
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_, -5), 0);
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(wmi().events.empty());
}

TEST_F(DriveCaptionTest, FailedConnectionOrListingAnswersZero) {
  Drive(u"D:", Text(u"Optical"));
  wmi().connectResult = E_FAIL;
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_, 32), 0);
  wmi().connectResult = S_OK;
  wmi().listingGivesEnumerator = false;
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_, 32), 0);
  EXPECT_TRUE(Untouched());
  ExpectNothingHeld();
}

TEST_F(DriveCaptionTest, AcceptsAnySuccessfulReadAndWorksInTheCallersApartment) {
  AddDrive({{u"Drive", fake::FakeProperty::Text(u"D:", 1)},
            {u"Caption", fake::FakeProperty::Text(u"Optical", 1)}});
  fake::EnterApartment(fake::Apartment::kMultithreaded);
  EXPECT_EQ(fnGetDriveCaptionW(u"D:", caption_, 32), 1);
  EXPECT_EQ(std::u16string(caption_), u"Optical");
  EXPECT_EQ(fake::CurrentThreadCom().apartment, fake::Apartment::kMultithreaded);
  ExpectNothingHeld(1);
}

}  // namespace
}  // namespace quoril::wmi

// SPDX-License-Identifier: MIT
// The optical drive caption list: collection through WMI and formatting into the caller's
// buffer, which is never written past its capacity.
#include "wmi/drive_captions.h"

#include <algorithm>
#include <string>
#include <vector>

#include "fake_wmi_test.h"
#include "quoril.h"

namespace quoril::wmi {
namespace {

constexpr char16_t kSentinel = u'#';
constexpr int kLeast = QUORIL_CAPTION_LIST_UNITS;
constexpr int kWhole = QUORIL_CAPTION_LIST_WHOLE_UNITS;
// The units a caption keeps, and what it takes in the list with its line end.
constexpr int kLongest = QUORIL_CAPTION_UNITS - 1;
constexpr int kLine = kLongest + 2;
constexpr size_t kBufferUnits = kWhole + 64;

class DriveCaptionsTest : public test::FakeWmiTest {
 protected:
  void SetUp() override {
    FakeWmiTest::SetUp();
    buffer_.assign(kBufferUnits, kSentinel);
  }
  std::u16string Text() const { return buffer_.data(); }
  bool Untouched() const {
    return std::all_of(buffer_.begin(), buffer_.end(), [](char16_t u) { return u == kSentinel; });
  }
  static std::u16string Caption(int i) { return u"Drive " + std::u16string(1, u'A' + i); }

  std::vector<char16_t> buffer_;
};

TEST_F(DriveCaptionsTest, CapacityBelowTheMinimumOrNoBufferAnswersZero) {
  AddDrive({{u"Caption", fake::FakeProperty::Text(u"DVD")}});
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), kLeast - 1), 0);
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), -1), 0);
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), INT32_MIN), 0);
  EXPECT_EQ(fnListDriverCaption(nullptr, kLeast), 0);
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(wmi().events.empty());
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), kLeast), 1);
  EXPECT_EQ(Text(), u"DVD\r\n");
}

TEST_F(DriveCaptionsTest, NoDriveGivesTheEmptyString) {
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), kLeast), 1);
  EXPECT_EQ(buffer_[0], u'\0');
  EXPECT_EQ(buffer_[1], kSentinel);
  ExpectNothingHeld();
}

TEST_F(DriveCaptionsTest, TheFirstTenTextCaptionsInListingOrder) {
  AddDrive({{u"Caption", fake::FakeProperty::Null()}});
  for (int i = 0; i < 12; ++i) AddDrive({{u"Caption", fake::FakeProperty::Text(Caption(i))}});
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), kLeast), 1);
  std::u16string expected;
  for (int i = 0; i < 10; ++i) expected += Caption(i) + u"\r\n";
  EXPECT_EQ(Text(), expected);
  EXPECT_EQ(buffer_[expected.size() + 1], kSentinel);
  ExpectNothingHeld();
}

TEST_F(DriveCaptionsTest, UnreachableWmiLeavesTheBufferAsItWas) {
  AddDrive({{u"Caption", fake::FakeProperty::Text(u"DVD")}});
  wmi().blanketResult = E_NOTIMPL;
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), kLeast), 0);
  EXPECT_TRUE(Untouched());
  ExpectNothingHeld();
}

TEST_F(DriveCaptionsTest, LongCaptionsAreCutAndNeverOverrunTheCapacity) {
  for (int i = 0; i < 10; ++i) {
    AddDrive({{u"Caption", fake::FakeProperty::Text(std::u16string(kLongest + 45, u'a' + i))}});
  }
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), kLeast), 1);
  // At the least capacity the captions that fit whole with their line ends and the terminator
  // are listed; the next is left out.
  constexpr int kFitting = (kLeast - 1) / kLine;
  static_assert(kFitting < 10, "the least capacity must not hold ten of the longest captions");
  std::u16string expected;
  for (int i = 0; i < kFitting; ++i) expected += std::u16string(kLongest, u'a' + i) + u"\r\n";
  EXPECT_EQ(Text(), expected);
  EXPECT_TRUE(std::all_of(buffer_.begin() + kLeast, buffer_.end(),
                          [](char16_t u) { return u == kSentinel; }));

  // With room for all of them, the text fills kWhole units with its terminator.
  buffer_.assign(kBufferUnits, kSentinel);
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), kWhole), 1);
  EXPECT_EQ(Text().size(), size_t{10} * kLine);
  EXPECT_EQ(buffer_[kWhole], kSentinel);
}

CaptionRecord Record(std::u16string_view text) {
  CaptionRecord record{};
  text.copy(record.text, text.size());
  return record;
}

TEST_F(DriveCaptionsTest, FormattingStopsAtTheEntryThatWouldNotFit) {
  CaptionList list;
  for (const char16_t* text : {u"ab", u"cd", u""}) ASSERT_TRUE(list.Append(Record(text)));
  FormatCaptionList(list, buffer_.data(), 9);  // "ab\r\ncd\r\n" and a terminator
  EXPECT_EQ(Text(), u"ab\r\ncd\r\n");
  buffer_.assign(kBufferUnits, kSentinel);
  FormatCaptionList(list, buffer_.data(), 8);
  EXPECT_EQ(Text(), u"ab\r\n");
  EXPECT_EQ(buffer_[5], kSentinel);
  buffer_.assign(kBufferUnits, kSentinel);
  FormatCaptionList(list, buffer_.data(), 11);  // the empty caption still gets its line end
  EXPECT_EQ(Text(), u"ab\r\ncd\r\n\r\n");
}

TEST_F(DriveCaptionsTest, AFailedCollectionLeavesTheListAsItWas) {
  AddDrive({{u"Caption", fake::FakeProperty::Text(u"DVD")}});
  CaptionList list;
  ASSERT_TRUE(list.Append(Record(u"kept")));
  wmi().connectResult = E_FAIL;
  EXPECT_EQ(CollectDriveCaptions(&list), 0);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(std::u16string(list[0].text), u"kept");
  wmi().connectResult = S_OK;
  EXPECT_EQ(CollectDriveCaptions(&list), 1);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(std::u16string(list[1].text), u"DVD");
  // The list holds the ten that are ever listed and lets the rest go.
  while (list.size() < kCaptionListMaxEntries) ASSERT_TRUE(list.Append(Record(u"more")));
  EXPECT_EQ(CollectDriveCaptions(&list), 1);
  EXPECT_FALSE(list.Append(Record(u"eleventh")));
  EXPECT_EQ(std::u16string(list[9].text), u"more");
}

}  // namespace
}  // namespace quoril::wmi

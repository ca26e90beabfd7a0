// SPDX-License-Identifier: MIT
// The optical drive caption list: collection through WMI and formatting into the caller's
// buffer, which is never written past its capacity.
#include "wmi/drive_captions.h"

#include <string>
#include <vector>

#include "fake_wmi_test.h"
#include "quoril.h"
#include "sentinel_buffer.h"

namespace quoril::wmi {
namespace {

class DriveCaptionsTest : public test::FakeWmiTest {
 protected:
  std::u16string Text() const { return buffer_.Text(); }
  static std::u16string Caption(int i) { return u"Drive " + std::u16string(1, u'A' + i); }

  // Room for every caption with its line end: the most any list can need.
  test::Wide<QUORIL_CAPTION_LIST_WHOLE_UNITS> buffer_;
};

TEST_F(DriveCaptionsTest, CapacityBelowTheMinimumOrNoBufferAnswersZero) {
  AddDrive({{u"Caption", fake::FakeProperty::Text(u"DVD")}});
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), QUORIL_CAPTION_LIST_UNITS - 1), 0);
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), -1), 0);
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), INT32_MIN), 0);
  EXPECT_EQ(fnListDriverCaption(nullptr, QUORIL_CAPTION_LIST_UNITS), 0);
  EXPECT_TRUE(buffer_.Untouched());
  EXPECT_TRUE(wmi().events.empty());
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), QUORIL_CAPTION_LIST_UNITS), 1);
  EXPECT_EQ(Text(), u"DVD\r\n");
}

TEST_F(DriveCaptionsTest, NoDriveGivesTheEmptyString) {
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), QUORIL_CAPTION_LIST_UNITS), 1);
  EXPECT_EQ(buffer_[0], u'\0');
  EXPECT_TRUE(buffer_.UntouchedFrom(1));
  ExpectNothingHeld();
}

TEST_F(DriveCaptionsTest, TheFirstTenTextCaptionsInListingOrder) {
  AddDrive({{u"Caption", fake::FakeProperty::Null()}});
  for (int i = 0; i < 12; ++i) AddDrive({{u"Caption", fake::FakeProperty::Text(Caption(i))}});
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), QUORIL_CAPTION_LIST_UNITS), 1);
  std::u16string expected;
  for (int i = 0; i < 10; ++i) expected += Caption(i) + u"\r\n";
  EXPECT_EQ(Text(), expected);
  EXPECT_TRUE(buffer_.UntouchedFrom(expected.size() + 1));
  ExpectNothingHeld();
}

TEST_F(DriveCaptionsTest, LongCaptionsAreCutAndNeverOverrunTheCapacity) {
  // The units a caption keeps, and what it takes in the list with its line end.
  constexpr size_t kLongest = QUORIL_CAPTION_UNITS - 1;
  constexpr size_t kLine = kLongest + 2;
  for (int i = 0; i < 10; ++i) {
    AddDrive({{u"Caption", fake::FakeProperty::Text(std::u16string(kLongest + 45, u'a' + i))}});
  }
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), QUORIL_CAPTION_LIST_UNITS), 1);
  // At the least capacity the captions that fit whole with their line ends and the terminator
  // are listed; the next is left out.
  constexpr size_t kFitting = (QUORIL_CAPTION_LIST_UNITS - 1) / kLine;
  static_assert(kFitting < 10, "the least capacity must not hold ten of the longest captions");
  std::u16string expected;
  for (size_t i = 0; i < kFitting; ++i) expected += std::u16string(kLongest, u'a' + i) + u"\r\n";
  EXPECT_EQ(Text(), expected);
  EXPECT_TRUE(buffer_.UntouchedFrom(QUORIL_CAPTION_LIST_UNITS));

  // With room for all of them, the text fills the whole list with its terminator.
  buffer_.Refill();
  EXPECT_EQ(fnListDriverCaption(buffer_.data(), QUORIL_CAPTION_LIST_WHOLE_UNITS), 1);
  EXPECT_EQ(Text().size(), 10 * kLine);
  EXPECT_TRUE(buffer_.UntouchedFrom(QUORIL_CAPTION_LIST_WHOLE_UNITS));
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
  buffer_.Refill();
  FormatCaptionList(list, buffer_.data(), 8);
  EXPECT_EQ(Text(), u"ab\r\n");
  EXPECT_TRUE(buffer_.UntouchedFrom(5));
  buffer_.Refill();
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

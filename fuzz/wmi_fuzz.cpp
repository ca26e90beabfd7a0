// SPDX-License-Identifier: MIT
// Fuzz target: arbitrary property values, drive texts and capacities through the WMI exports,
// over the scripted WMI. Every output buffer is allocated at exactly the size the caller
// promises, so the sanitizers catch any write past it. Checks what must hold for any input:
// results are 0 or 1, outputs are terminated within their bounds, the caption lookup agrees
// with a plain search, and every object and string is released.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake/fake_platform.h"
#include "quoril.h"
#include "wmi/caption_lookup.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Reads the input as a sequence of small fields.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // A text of up to 64 units (values repeat to reach lengths past the buffer limits).
  std::u16string Text() {
    const size_t length = Byte() % 64;
    const size_t repeat = 1 + Byte() % 8;
    std::u16string text;
    for (size_t i = 0; i < length; ++i) {
      const uint8_t low = Byte();
      // Mostly letters and ':' so that drive values match, now and then anything.
      text.push_back(low & 0x80 ? static_cast<char16_t>(low << 4 | Byte())
                                : static_cast<char16_t>(u'A' + low % 30));
    }
    std::u16string out;
    for (size_t i = 0; i < repeat; ++i) out += text;
    out.erase(std::find(out.begin(), out.end(), u'\0'), out.end());
    return out;
  }
  quoril::fake::FakeProperty Property() {
    switch (Byte() % 5) {
      case 0:
        return quoril::fake::FakeProperty::Null();
      case 1:
        return quoril::fake::FakeProperty::Integer(7);
      case 2:
        return quoril::fake::FakeProperty::Text(Text(), 1);
      default:
        return quoril::fake::FakeProperty::Text(Text());
    }
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// The reference search: fold a-z, then look for the needle, one unit at a time.
bool Contains(std::u16string haystack, std::u16string needle) {
  const auto fold = [](char16_t& u) {
    if (u >= u'a' && u <= u'z') u = static_cast<char16_t>(u - 32);
  };
  std::for_each(haystack.begin(), haystack.end(), fold);
  std::for_each(needle.begin(), needle.end(), fold);
  return haystack.find(needle) != std::u16string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using quoril::fake::FakeSystem;
  quoril::fake::ResetFakeSystem();
  Reader in(data, size);

  const size_t boards = in.Byte() % 3;
  for (size_t i = 0; i < boards; ++i) {
    quoril::fake::AddInstance(u"Win32_BaseBoard",
                              {{u"Product", in.Property()}, {u"Manufacturer", in.Property()}});
  }
  const size_t drives = in.Byte() % 14;
  for (size_t i = 0; i < drives; ++i) {
    quoril::fake::AddInstance(u"Win32_CDROMDrive",
                              {{u"Drive", in.Property()}, {u"Caption", in.Property()}});
  }
  const std::u16string driveText = in.Text();
  const int count = 1 + in.Byte() % 40;
  const int capacity = QUORIL_CAPTION_LIST_UNITS + in.Byte() % 16;

  std::vector<char16_t> product(QUORIL_BOARD_TEXT_UNITS, u'#');
  std::vector<char16_t> maker(QUORIL_BOARD_TEXT_UNITS, u'#');
  Check(fnGetWMIInfo(product.data(), maker.data()) == 1);
  for (const auto* out : {&product, &maker}) {
    Check(out->front() == u'#' || std::find(out->begin(), out->end(), u'\0') != out->end());
  }

  std::vector<char> narrow(QUORIL_BOARD_PRODUCT_A_BYTES, '#');
  Check(fnGetBaseBoardPorductA(narrow.data()) == 0);
  Check(narrow.front() == '#' || std::find(narrow.begin(), narrow.end(), '\0') != narrow.end());

  std::vector<char16_t> list(static_cast<size_t>(capacity));
  Check(fnListDriverCaption(list.data(), capacity) == 1);
  Check(std::find(list.begin(), list.end(), u'\0') != list.end());

  std::vector<char16_t> caption(static_cast<size_t>(count), u'#');
  const int found = fnGetDriveCaptionW(driveText.c_str(), caption.data(), count);
  Check(found == 0 || found == 1);
  if (found == 1) Check(caption.back() == u'\0');
  if (found == 0)
    Check(std::all_of(caption.begin(), caption.end(), [](char16_t u) { return u == u'#'; }));

  // The lookup agrees with the reference search on the raw texts.
  const std::u16string needle = in.Text();
  const char16_t* at = quoril::wmi::FindNoCase(driveText.c_str(), needle.c_str());
  Check((at != nullptr) == Contains(driveText, needle));
  if (at != nullptr) Check(at >= driveText.c_str() && at <= driveText.c_str() + driveText.size());

  Check(quoril::fake::LiveObjects() == 0);
  Check(FakeSystem().wmi.liveStrings == 0);
  Check(FakeSystem().wmi.violations.empty());
  return 0;
}

// SPDX-License-Identifier: MIT
#include "wmi/drive_captions.h"

#include <iterator>

#include "common/wide_text.h"
#include "wmi/wmi_access.h"

namespace quoril::wmi {

int CollectDriveCaptions(CaptionList* list) {
  // The query runs the action only once it has succeeded, so a failure leaves `list` as it was.
  return QueryWmiClass("SELECT * FROM Win32_CDROMDrive", [&](IWbemClassObject* drive) {
    if (const StringProperty caption(drive, u"Caption", Acceptance::kExactSuccess); caption) {
      CaptionRecord record;
      CopyWideCapped(record.text, caption.text(), caption.length(), std::size(record.text));
      list->Append(record);
    }
  });
}

void FormatCaptionList(const CaptionList& list, char16_t* buffer, int capacity) {
  constexpr char16_t kLineEnd[] = u"\r\n";
  constexpr size_t kLineEndLength = 2;
  const size_t limit = capacity > 0 ? static_cast<size_t>(capacity) : 0;
  if (limit == 0) return;
  size_t used = 0;
  buffer[0] = u'\0';
  for (size_t i = 0; i < list.size() && i < kCaptionListMaxEntries; ++i) {
    const char16_t* caption = list[i].text;
    const size_t length = WideLength(caption);
    if (used + length + kLineEndLength + 1 > limit) break;
    CopyUnits(buffer + used, caption, length);
    used += length;
    CopyUnits(buffer + used, kLineEnd, kLineEndLength);
    used += kLineEndLength;
    buffer[used] = u'\0';
  }
}

int ListDriveCaptions(char16_t* buffer, int capacity) {
  if (buffer == nullptr || capacity < kCaptionListMinCapacity) return 0;
  CaptionList list;
  if (CollectDriveCaptions(&list) == 0) return 0;
  FormatCaptionList(list, buffer, capacity);
  return 1;
}

}  // namespace quoril::wmi

#include "wmi/drive_captions.h"

#include <optional>
#include <string>
#include <string_view>

#include "wmi/wide_text.h"
#include "wmi/wmi_access.h"

namespace quoril::wmi {

int CollectDriveCaptions(CaptionList* list) {
  // Collected apart and appended only once the query has run, so a failure leaves `list` as
  // it was.
  CaptionList found;
  const int ran = QueryWmiClass("SELECT * FROM Win32_CDROMDrive", [&](IWbemClassObject* drive) {
    if (const std::optional<std::u16string> caption =
            ReadStringProperty(drive, u"Caption", Acceptance::kExactSuccess)) {
      CaptionRecord record;
      CopyWideCapped(record.text, *caption, std::size(record.text));
      found.push_back(record);
    }
  });
  if (ran == 1) list->insert(list->end(), found.begin(), found.end());
  return ran;
}

void FormatCaptionList(const CaptionList& list, char16_t* buffer, int capacity) {
  constexpr std::u16string_view kLineEnd = u"\r\n";
  const size_t limit = capacity > 0 ? static_cast<size_t>(capacity) : 0;
  if (limit == 0) return;
  size_t used = 0;
  buffer[0] = u'\0';
  for (size_t i = 0; i < list.size() && i < kCaptionListMaxEntries; ++i) {
    const std::u16string_view caption(list[i].text, WideLength(list[i].text));
    if (used + caption.size() + kLineEnd.size() + 1 > limit) break;
    used += caption.copy(buffer + used, caption.size());
    used += kLineEnd.copy(buffer + used, kLineEnd.size());
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

// SPDX-License-Identifier: MIT
#include "wmi/caption_lookup.h"

#include "common/ascii_case.h"
#include "wmi/wmi_access.h"

namespace quoril::wmi {
namespace {

// Whether `needle` stands at `at`, letter case aside; the haystack's terminator ends the
// comparison, so nothing is read past it.
bool MatchesAt(const char16_t* at, const char16_t* needle) {
  for (; *needle != u'\0'; ++at, ++needle) {
    if (*at == u'\0' || AsciiUpper(*at) != AsciiUpper(*needle)) return false;
  }
  return true;
}

}  // namespace

const char16_t* FindNoCase(const char16_t* haystack, const char16_t* needle) {
  if (haystack == nullptr || needle == nullptr) return nullptr;
  // Folding on the fly compares exactly what folded copies would, without allocating them.
  for (const char16_t* at = haystack;; ++at) {
    if (MatchesAt(at, needle)) return at;
    if (*at == u'\0') return nullptr;
  }
}

int GetDriveCaption(const char16_t* drive, char16_t* caption, int count) {
  if (drive == nullptr || caption == nullptr || count < 1) return 0;
  EnumerationFrame frame("Win32_CDROMDrive");
  while (IWbemClassObject* instance = frame.Next()) {
    const StringProperty value(instance, u"Drive", Acceptance::kNotFailed);
    if (!value || FindNoCase(drive, value.text()) == nullptr) continue;
    const StringProperty text(instance, u"Caption", Acceptance::kNotFailed);
    if (!text) continue;
    // The whole buffer is written: the caption's units, then zero units to the end.
    const size_t units = static_cast<size_t>(count);
    for (size_t i = 0; i < units; ++i) caption[i] = i < text.length() ? text.text()[i] : u'\0';
    caption[units - 1] = u'\0';
    return 1;
  }
  return 0;
}

}  // namespace quoril::wmi

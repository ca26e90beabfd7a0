// SPDX-License-Identifier: MIT
#include "wide_text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include "platform/linux/utf.h"
#endif

namespace quoril_info {

std::u16string_view Terminated(const char16_t* units, std::size_t capacity) {
  std::size_t length = 0;
  while (length < capacity && units[length] != 0) ++length;
  return {units, length};
}

#if defined(_WIN32)

std::string NarrowText(std::u16string_view wide) {
  if (wide.empty()) return {};
  const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
  const int size = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(CP_ACP, 0, units, size, nullptr, 0, nullptr, nullptr);
  std::string narrow(needed > 0 ? needed : 0, '\0');
  if (needed > 0) {
    WideCharToMultiByte(CP_ACP, 0, units, size, narrow.data(), needed, nullptr, nullptr);
  }
  return narrow;
}

std::u16string WideText(std::string_view narrow) {
  if (narrow.empty()) return {};
  const int size = static_cast<int>(narrow.size());
  const int needed = MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, nullptr, 0);
  std::u16string wide(needed > 0 ? needed : 0, u'\0');
  if (needed > 0) {
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, reinterpret_cast<wchar_t*>(wide.data()),
                        needed);
  }
  return wide;
}

#else

namespace {

void AppendUtf16(char32_t c, std::u16string& out) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

}  // namespace

// Narrow text here is UTF-8, written as the library's own platform layer writes it.
std::string NarrowText(std::u16string_view wide) { return quoril::platform::utf::ToUtf8(wide); }

// Narrow text here is UTF-8; a byte that does not fit a well-formed sequence stands for U+FFFD
// on its own, so a report shows one replacement for each byte that did not decode (the library's
// own conversion replaces each maximal ill-formed part once).
std::u16string WideText(std::string_view narrow) {
  std::u16string wide;
  std::size_t i = 0;
  while (i < narrow.size()) {
    const auto lead = static_cast<unsigned char>(narrow[i]);
    // F8 to FF begin no sequence: read as a four-byte lead, FC would pass for plane 16.
    const int extra = lead < 0x80    ? 0
                      : lead >= 0xF8 ? -1
                      : lead >= 0xF0 ? 3
                      : lead >= 0xE0 ? 2
                      : lead >= 0xC0 ? 1
                                     : -1;
    char32_t c = extra == 0   ? lead
                 : extra == 1 ? lead & 0x1F
                 : extra == 2 ? lead & 0x0F
                              : lead & 0x07;
    bool valid = extra >= 0 && i + extra < narrow.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(narrow[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (!valid || c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      AppendUtf16(0xFFFD, wide);
      ++i;
    } else {
      AppendUtf16(c, wide);
      i += extra + 1;
    }
  }
  return wide;
}

#endif

}  // namespace quoril_info

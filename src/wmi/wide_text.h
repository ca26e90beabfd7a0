// Small helpers for zero-terminated UTF-16 text.
#pragma once

#include <cstddef>
#include <string_view>

namespace quoril::wmi {

// The number of units before the terminator.
inline size_t WideLength(const char16_t* text) { return std::char_traits<char16_t>::length(text); }

// Copies at most `capacity` - 1 units of `text` and a terminator to `out` (capacity >= 1).
inline void CopyWideCapped(char16_t* out, std::u16string_view text, size_t capacity) {
  const size_t units = text.size() < capacity ? text.size() : capacity - 1;
  text.copy(out, units);
  out[units] = u'\0';
}

}  // namespace quoril::wmi

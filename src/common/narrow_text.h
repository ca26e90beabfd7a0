// SPDX-License-Identifier: MIT
// Zero-terminated narrow text, handled without the C runtime's string functions (the DLL carries
// no runtime library).
#pragma once

#include <cstddef>

namespace quoril {

// The number of bytes before the terminator, looking at no more than `limit` bytes: a field
// filled to its end without a terminator is read up to its end and no further.
constexpr size_t BoundedLength(const char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length] != '\0') ++length;
  return length;
}

// Whether `needle` occurs in `haystack`, byte for byte and case-sensitively. The empty needle
// occurs in every text, the empty one included.
constexpr bool ContainsText(const char* haystack, const char* needle) {
  for (;; ++haystack) {
    size_t i = 0;
    while (needle[i] != '\0' && haystack[i] == needle[i]) ++i;
    if (needle[i] == '\0') return true;
    if (*haystack == '\0') return false;
  }
}

}  // namespace quoril

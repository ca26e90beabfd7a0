// SPDX-License-Identifier: MIT
// Small helpers for zero-terminated UTF-16 text.
#pragma once

#include <cstddef>

namespace quoril {

// The number of units before the terminator.
constexpr size_t WideLength(const char16_t* text) {
  size_t length = 0;
  while (text[length] != u'\0') ++length;
  return length;
}

// Copies `units` units of `text` to `out`.
constexpr void CopyUnits(char16_t* out, const char16_t* text, size_t units) {
  for (size_t i = 0; i < units; ++i) out[i] = text[i];
}

// Copies at most `capacity` - 1 of the `length` units of `text`, then a terminator, to `out`
// (capacity >= 1).
constexpr void CopyWideCapped(char16_t* out, const char16_t* text, size_t length, size_t capacity) {
  const size_t units = length < capacity ? length : capacity - 1;
  CopyUnits(out, text, units);
  out[units] = u'\0';
}

}  // namespace quoril

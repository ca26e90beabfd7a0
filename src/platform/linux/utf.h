// SPDX-License-Identifier: MIT
// UTF-8 and UTF-16, the native layer's narrow and wide text, converted into each other.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quoril::platform::utf {

// Converts UTF-8 `in` (zero bytes included, as ordinary characters) into UTF-16. An ill-formed
// sequence becomes one U+FFFD for each maximal part of it that could have begun a character,
// as Windows converts UTF-8; with `strict` it fails the conversion instead. Writes units in
// order while they fit in `capacity` (`out` may be null when `capacity` is 0) and answers how
// many units the whole text needs; nothing when `strict` found an ill-formed sequence.
std::optional<size_t> Utf8ToUtf16(std::string_view in, bool strict, char16_t* out,
                                  size_t capacity) noexcept;

// Converts UTF-16 `in` into UTF-8. An unpaired surrogate becomes `replacement` (U+FFFD when it
// is empty), and `*replaced` (when given) says whether that happened; with `strict` it fails
// the conversion instead. Writes whole characters in order while they fit in `capacity`, never
// part of one, and answers how many bytes the whole text needs; nothing when `strict` found an
// unpaired surrogate.
std::optional<size_t> Utf16ToUtf8(std::u16string_view in, bool strict, std::string_view replacement,
                                  char* out, size_t capacity, bool* replaced) noexcept;

// Whole strings, ill-formed parts replaced. May throw std::bad_alloc.
std::u16string ToUtf16(std::string_view in);
std::string ToUtf8(std::u16string_view in);

}  // namespace quoril::platform::utf

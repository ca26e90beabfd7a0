// SPDX-License-Identifier: MIT
// The library's wide text (UTF-16) as the narrow text this program reads from its command line
// and prints: UTF-8 natively, the ANSI code page on Windows, as every narrow-text program there.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quoril_info {

// Text that has no narrow form (an unpaired surrogate; on Windows, a character the code page
// lacks) comes out as the replacement the platform uses: U+FFFD natively, '?' on Windows.
std::string NarrowText(std::u16string_view wide);
std::u16string WideText(std::string_view narrow);

// The units of a library answer up to its first zero, never past `capacity`.
std::u16string_view Terminated(const char16_t* units, std::size_t capacity);

}  // namespace quoril_info

// SPDX-License-Identifier: MIT
// The caption of the optical drive named in a caller's text.
#pragma once

namespace quoril::wmi {

// The first occurrence of `needle` in `haystack`, letter case of a-z aside (only the units
// 0x61-0x7A fold, onto 0x41-0x5A): a pointer into `haystack`, or null when there is none. An
// empty needle is found at the haystack's start. Null text finds nothing.
const char16_t* FindNoCase(const char16_t* haystack, const char16_t* needle);

// Walks the optical drives in listing order and writes the caption of the first one whose
// "Drive" value occurs in `drive` and that has a text caption: at most `count` - 1 units of it,
// then zero units up to and including unit `count` - 1. 1 when written, else 0 with `caption`
// untouched; a null `drive` or `caption`, or a `count` below 1, answers 0 without any work.
int GetDriveCaption(const char16_t* drive, char16_t* caption, int count);

}  // namespace quoril::wmi

// SPDX-License-Identifier: MIT
// The optical drives' captions, as WMI's "Win32_CDROMDrive" gives them, collected into a list
// and formatted one per line.
#pragma once

#include <cstddef>

#include "quoril.h"

namespace quoril::wmi {

// The smallest buffer the caller may offer, in units, and the most captions listed.
inline constexpr int kCaptionListMinCapacity = QUORIL_CAPTION_LIST_UNITS;
inline constexpr size_t kCaptionListMaxEntries = 10;

// One drive's caption: at most QUORIL_CAPTION_UNITS - 1 units and a terminator, the most that
// fnGetDriveCaptionW's caller is promised. Records are copied whole.
struct CaptionRecord {
  char16_t text[QUORIL_CAPTION_UNITS];
};

// The longest list: every caption at its longest with its "\r\n", then the terminator.
static_assert(QUORIL_CAPTION_LIST_WHOLE_UNITS ==
              kCaptionListMaxEntries * (QUORIL_CAPTION_UNITS - 1 + 2) + 1);

// The collected captions, in listing order. Only the first ten are ever listed, so the list
// holds ten and lets any further ones go: its storage is fixed, and it never allocates.
class CaptionList {
 public:
  size_t size() const noexcept { return size_; }
  const CaptionRecord& operator[](size_t position) const noexcept { return records_[position]; }

  // Appends a copy of `record`; false, with the list unchanged, when it already holds ten.
  bool Append(const CaptionRecord& record) noexcept {
    if (size_ == kCaptionListMaxEntries) return false;
    records_[size_++] = record;
    return true;
  }

 private:
  CaptionRecord records_[kCaptionListMaxEntries];
  size_t size_ = 0;
};

// Appends one record for every optical drive with a text caption (a longer caption keeps what
// fits its record) while the list has room. 1 when the query ran, 0 when it failed; on 0 `list`
// is unchanged.
int CollectDriveCaptions(CaptionList* list);

// Writes the first ten captions of `list` into `buffer`, each followed by "\r\n", then a
// terminator, never more than `capacity` units: a caption that would not fit whole with its
// line end and the terminator is left out, with every caption after it.
void FormatCaptionList(const CaptionList& list, char16_t* buffer, int capacity);

// The whole listing into the caller's buffer: 0, with the buffer untouched, when it is null,
// its capacity is below kCaptionListMinCapacity or the query failed; else 1.
int ListDriveCaptions(char16_t* buffer, int capacity);

}  // namespace quoril::wmi

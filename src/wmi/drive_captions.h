// SPDX-License-Identifier: MIT
// The optical drives' captions, as WMI's "Win32_CDROMDrive" gives them, collected into a list
// and formatted one per line.
#pragma once

#include <cstddef>

namespace quoril::wmi {

// The smallest buffer the caller may offer, in units, and the most captions listed.
inline constexpr int kCaptionListMinCapacity = 2560;
inline constexpr size_t kCaptionListMaxEntries = 10;

// One drive's caption: at most 255 units and a terminator. Records are copied whole.
struct CaptionRecord {
  char16_t text[256];
};

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

// Appends one record for every optical drive with a text caption (a longer caption keeps its
// first 255 units) while the list has room. 1 when the query ran, 0 when it failed; on 0 `list`
// is unchanged.
int CollectDriveCaptions(CaptionList* list);

// Writes the first ten captions of `list` into `buffer`, each followed by "\r\n", then a
// terminator, never more than `capacity` units: a caption that would not fit whole with its
// line end and the terminator is left out, with every caption after it.
void FormatCaptionList(const CaptionList& list, char16_t* buffer, int capacity);

// The whole listing into the caller's buffer: 0, with the buffer untouched, when it is null,
// its capacity is below 2560 or the query failed; else 1.
int ListDriveCaptions(char16_t* buffer, int capacity);

}  // namespace quoril::wmi

// The optical drives' captions, as WMI's "Win32_CDROMDrive" gives them, collected into a list
// and formatted one per line.
#pragma once

#include <cstddef>
#include <vector>

namespace quoril::wmi {

// One drive's caption: at most 255 units and a terminator. Records are copied whole.
struct CaptionRecord {
  char16_t text[256];
};

// The collected captions, in listing order.
using CaptionList = std::vector<CaptionRecord>;

// The smallest buffer the caller may offer, in units, and the most captions listed.
inline constexpr int kCaptionListMinCapacity = 2560;
inline constexpr size_t kCaptionListMaxEntries = 10;

// Appends one record for every optical drive with a text caption (a longer caption keeps its
// first 255 units). 1 when the query ran, 0 when it failed; on 0 `list` is unchanged.
int CollectDriveCaptions(CaptionList* list);

// Writes the first ten captions of `list` into `buffer`, each followed by "\r\n", then a
// terminator, never more than `capacity` units: a caption that would not fit whole with its
// line end and the terminator is left out, with every caption after it.
void FormatCaptionList(const CaptionList& list, char16_t* buffer, int capacity);

// The whole listing into the caller's buffer: 0, with the buffer untouched, when it is null,
// its capacity is below 2560 or the query failed; else 1.
int ListDriveCaptions(char16_t* buffer, int capacity);

}  // namespace quoril::wmi

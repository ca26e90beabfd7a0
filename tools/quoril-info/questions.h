// SPDX-License-Identifier: MIT
// What the report asks the library. Each question is one row of kQuestions: a new export gets a
// pointer in Exports and a function here that turns its answers into a report value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "exports.h"
#include "report.h"

namespace quoril_info {

struct Question {
  const char* key;    // its member name in the JSON report
  const char* title;  // its heading in the text report
  // Calls the export and describes what it answered; Value::Missing() when the export is absent.
  Value (*ask)(const Exports& exports);
};

// More display adapters than this means the library never answers "no such adapter".
inline constexpr int kMaxDisplayAdapters = 64;

// Every buffer passed is the size quoril.h names for its export (QUORIL_*): the smallest each
// export accepts, so an overrun shows up rather than hides.

// The captions of fnListDriverCaption's answer, which ends each one with "\r\n"; text after the
// last line end (there is none in a well-formed answer) counts as one more caption.
std::vector<std::u16string> SplitCaptionList(std::u16string_view text);

// The whole report: which library was asked for and loaded, which exports it has, and every
// question's answer.
Report BuildReport(const std::string& requested, const LoadedLibrary& library,
                   const Exports& exports);

}  // namespace quoril_info

// What the report asks the library. Each question is one row of kQuestions: a new export gets a
// pointer in Exports and a function here that turns its answers into a report value.
#pragma once

#include <string>

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

// The whole report: which library was asked for and loaded, which exports it has, and every
// question's answer.
Report BuildReport(const std::string& requested, const LoadedLibrary& library,
                   const Exports& exports);

}  // namespace quoril_info

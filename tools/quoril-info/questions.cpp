#include "questions.h"

#include <cstring>
#include <string>

#include "drives.h"

namespace quoril_info {
namespace {

Value AskTest(const Exports& exports) {
  if (exports.Test == nullptr) return Value::Missing();
  exports.Test();
  return Value::Text("called");
}

// The empty text is in every brand, so its answer says whether the brand could be read at all.
constexpr const char* kBrandTexts[] = {"", "Intel", "AMD", "Virtual"};

Value AskProcessorBrand(const Exports& exports) {
  if (exports.fnVoIsCPU == nullptr) return Value::Missing();
  Value::List answers;
  for (const char* text : kBrandTexts) {
    answers.push_back(Value::MakeObject({
        {"text", Value::Text(text)},
        {"answer", Value::Number(exports.fnVoIsCPU(text))},
    }));
  }
  return Value::MakeList(std::move(answers));
}

Value AskDisplayVendors(const Exports& exports) {
  if (exports.fnGetSVID == nullptr) return Value::Missing();
  Value::List adapters;
  int index = 0;
  for (; index < kMaxDisplayAdapters; ++index) {
    // The smallest buffer the library accepts, so an overrun shows up rather than hides.
    char vendor[5] = {};
    if (exports.fnGetSVID(index, vendor) != 1) break;
    adapters.push_back(Value::MakeObject({
        {"index", Value::Number(index)},
        {"vendor", Value::Text(std::string(vendor, strnlen(vendor, sizeof vendor)))},
    }));
  }
  return Value::MakeObject({
      {"adapters", Value::MakeList(std::move(adapters))},
      {"limit_reached", Value::Flag(index == kMaxDisplayAdapters)},
  });
}

Value AskBluray(const Exports& exports) {
  if (exports.hasBDOdd == nullptr) return Value::Missing();
  return Value::Number(exports.hasBDOdd());
}

constexpr Question kQuestions[] = {
    {"Test", "Test()", AskTest},
    {"fnVoIsCPU", "Processor brand contains text (fnVoIsCPU)", AskProcessorBrand},
    {"fnGetSVID", "Display adapter subsystem vendors (fnGetSVID)", AskDisplayVendors},
    {"hasBDOdd", "Blu-ray drive present (hasBDOdd)", AskBluray},
};

}  // namespace

Report BuildReport(const std::string& requested, const LoadedLibrary& library,
                   const Exports& exports) {
  Report report;
  report.push_back({"library", "Library",
                    Value::MakeObject({
                        {"requested", Value::Text(requested)},
                        {"path", Value::Text(library.path())},
                        {"loaded", Value::Flag(true)},
                    })});
  Value::Object present;
  for (const ExportName& known : kKnownExports) {
    present.push_back(
        {std::string(known.name), Value::Flag(library.Find(known.symbol) != nullptr)});
  }
  report.push_back({"exports", "Exports present", Value::MakeObject(std::move(present))});
  for (const Question& question : kQuestions) {
    report.push_back({question.key, question.title, question.ask(exports)});
  }
  // No export reports a drive's capabilities: the library's own probe, linked in, does.
  report.push_back(
      {"optical_drives", "Optical drives (probed by the linked-in logic)", ProbeOpticalDrives()});
  return report;
}

}  // namespace quoril_info

// SPDX-License-Identifier: MIT
#include "questions.h"

#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

#include "drives.h"
#include "wide_text.h"

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
    char vendor[QUORIL_VENDOR_BYTES] = {};
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

Value AskBoardProduct(const Exports& exports) {
  if (exports.fnGetPID == nullptr) return Value::Missing();
  char16_t product[QUORIL_BOARD_TEXT_UNITS] = {};
  const int answer = exports.fnGetPID(product);
  return Value::MakeObject({
      {"answer", Value::Number(answer)},
      {"product", Value::WideText(std::u16string(Terminated(product, QUORIL_BOARD_TEXT_UNITS)))},
  });
}

Value AskBoardProductAndMaker(const Exports& exports) {
  if (exports.fnGetWMIInfo == nullptr) return Value::Missing();
  char16_t product[QUORIL_BOARD_TEXT_UNITS] = {};
  char16_t manufacturer[QUORIL_BOARD_TEXT_UNITS] = {};
  const int answer = exports.fnGetWMIInfo(product, manufacturer);
  return Value::MakeObject({
      {"answer", Value::Number(answer)},
      {"product", Value::WideText(std::u16string(Terminated(product, QUORIL_BOARD_TEXT_UNITS)))},
      {"manufacturer",
       Value::WideText(std::u16string(Terminated(manufacturer, QUORIL_BOARD_TEXT_UNITS)))},
  });
}

Value AskNarrowBoardProduct(const Exports& exports) {
  if (exports.fnGetBaseBoardPorductA == nullptr) return Value::Missing();
  // Empty first: the export answers 0 either way, and only the buffer tells.
  char product[QUORIL_BOARD_PRODUCT_A_BYTES] = {};
  const int answer = exports.fnGetBaseBoardPorductA(product);
  return Value::MakeObject({
      {"answer", Value::Number(answer)},
      {"product", Value::Text(std::string(product, strnlen(product, sizeof product)))},
  });
}

Value AskDriveCaptions(const Exports& exports) {
  if (exports.fnListDriverCaption == nullptr) return Value::Missing();
  std::u16string buffer(QUORIL_CAPTION_LIST_UNITS, u'\0');
  const int answer = exports.fnListDriverCaption(buffer.data(), QUORIL_CAPTION_LIST_UNITS);
  Value::List captions;
  for (std::u16string& caption : SplitCaptionList(Terminated(buffer.data(), buffer.size()))) {
    captions.push_back(Value::WideText(std::move(caption)));
  }
  return Value::MakeObject({
      {"answer", Value::Number(answer)},
      {"captions", Value::MakeList(std::move(captions))},
  });
}

// Every drive letter, asked as "A:" to "Z:"; only those with an optical drive are listed.
Value AskCaptionsByLetter(const Exports& exports) {
  if (exports.fnGetDriveCaptionW == nullptr) return Value::Missing();
  Value::List found;
  for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
    const char16_t drive[] = {letter, u':', 0};
    char16_t caption[QUORIL_CAPTION_UNITS] = {};
    if (exports.fnGetDriveCaptionW(drive, caption, QUORIL_CAPTION_UNITS) != 1) continue;
    found.push_back(Value::MakeObject({
        {"drive", Value::Text({static_cast<char>(letter), ':'})},
        {"caption", Value::WideText(std::u16string(Terminated(caption, QUORIL_CAPTION_UNITS)))},
    }));
  }
  return Value::MakeList(std::move(found));
}

Value AskBluray(const Exports& exports) {
  if (exports.hasBDOdd == nullptr) return Value::Missing();
  return Value::Number(exports.hasBDOdd());
}

constexpr Question kQuestions[] = {
    {"Test", "Test()", AskTest},
    {"fnVoIsCPU", "Processor brand contains text (fnVoIsCPU)", AskProcessorBrand},
    {"fnGetSVID", "Display adapter subsystem vendors (fnGetSVID)", AskDisplayVendors},
    {"fnGetPID", "System board product (fnGetPID)", AskBoardProduct},
    {"fnGetWMIInfo", "System board product and manufacturer (fnGetWMIInfo)",
     AskBoardProductAndMaker},
    {"fnGetBaseBoardPorductA", "System board product, narrow (fnGetBaseBoardPorductA)",
     AskNarrowBoardProduct},
    {"fnListDriverCaption", "Optical drive captions (fnListDriverCaption)", AskDriveCaptions},
    {"fnGetDriveCaptionW", "Optical drive caption by letter (fnGetDriveCaptionW)",
     AskCaptionsByLetter},
    {"hasBDOdd", "Blu-ray drive present (hasBDOdd)", AskBluray},
};

// One question for each export, in the list's order.
constexpr bool QuestionsFollowTheExports() {
  if (std::size(kQuestions) != std::size(kKnownExports)) return false;
  for (size_t i = 0; i < std::size(kQuestions); ++i) {
    if (kQuestions[i].key != kKnownExports[i].name) return false;
  }
  return true;
}
static_assert(QuestionsFollowTheExports(), "kQuestions must ask each export of the list, in order");

}  // namespace

std::vector<std::u16string> SplitCaptionList(std::u16string_view text) {
  std::vector<std::u16string> captions;
  while (!text.empty()) {
    const std::size_t end = text.find(u"\r\n");
    captions.emplace_back(text.substr(0, end));
    text = end == std::u16string_view::npos ? std::u16string_view() : text.substr(end + 2);
  }
  return captions;
}

Report BuildReport(const std::string& requested, const LoadedLibrary& library,
                   const Exports& exports) {
  Report report;
  Value::Object loaded{
      {"requested", Value::Text(requested)},
      {"path", Value::Text(library.path())},
      {"loaded", Value::Flag(true)},
  };
  if (std::string version = library.Version(); !version.empty()) {
    loaded.push_back({"version", Value::Text(std::move(version))});
  }
  report.push_back({"library", "Library", Value::MakeObject(std::move(loaded))});
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

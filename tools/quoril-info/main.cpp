// SPDX-License-Identifier: MIT
// quoril-info: loads the Quoril library by name, as a host program does, and shows what it
// answers about this machine.
//
// Exit status: 0 when the question was answered yes (or the report was written), 1 when it was
// answered no, 2 for a usage error or when the library or the export a question needs is missing.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "drives.h"
#include "exports.h"
#include "library_loader.h"
#include "questions.h"
#include "report.h"
#include "wide_text.h"

namespace quoril_info {
namespace {

constexpr int kExitYes = 0;
constexpr int kExitNo = 1;
constexpr int kExitTrouble = 2;

using Operands = std::span<const std::string_view>;

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

// A signed 32-bit decimal, nothing before or after it.
std::optional<std::int32_t> ParseIndex(std::string_view text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

int MissingExport(const LoadedLibrary& library, std::string_view name) {
  Print(stderr, "quoril-info: " + library.path() + " does not export " + std::string(name) + "\n");
  return kExitTrouble;
}

// Ends a subcommand with kExitTrouble when the library lacks the export it calls. The message
// names the export by the pointer's own name, so the two cannot disagree.
#define QUORIL_INFO_NEED(export_name) \
  if (exports.export_name == nullptr) return MissingExport(library, #export_name)

int RunCpuHas(const LoadedLibrary& library, const Exports& exports, Operands operands) {
  QUORIL_INFO_NEED(fnVoIsCPU);
  const std::string text(operands[0]);
  return exports.fnVoIsCPU(text.c_str()) == 1 ? kExitYes : kExitNo;
}

bool CheckSvid(Operands operands, std::string& problem) {
  if (operands.empty() || ParseIndex(operands[0])) return true;
  problem = "INDEX must be a whole number from -2147483648 to 2147483647, not \"" +
            std::string(operands[0]) + "\"";
  return false;
}

int RunSvid(const LoadedLibrary& library, const Exports& exports, Operands operands) {
  QUORIL_INFO_NEED(fnGetSVID);
  const std::int32_t index = operands.empty() ? 0 : *ParseIndex(operands[0]);
  // Hosts pass the smallest buffer the library accepts; so does this tool.
  char vendor[QUORIL_VENDOR_BYTES] = {};
  const int answer = exports.fnGetSVID(index, vendor);
  Print(stdout, std::string(vendor, strnlen(vendor, sizeof vendor)) + "\n");
  return answer == 1 ? kExitYes : kExitNo;
}

int RunBoard(const LoadedLibrary& library, const Exports& exports, Operands /*operands*/) {
  QUORIL_INFO_NEED(fnGetWMIInfo);
  QUORIL_INFO_NEED(fnGetBaseBoardPorductA);
  char16_t product[QUORIL_BOARD_TEXT_UNITS] = {};
  char16_t manufacturer[QUORIL_BOARD_TEXT_UNITS] = {};
  const int answer = exports.fnGetWMIInfo(product, manufacturer);
  // Empty first: this export answers 0 either way, and only the buffer tells.
  char narrow[QUORIL_BOARD_PRODUCT_A_BYTES] = {};
  exports.fnGetBaseBoardPorductA(narrow);
  Print(stdout, "product: " + NarrowText(Terminated(product, QUORIL_BOARD_TEXT_UNITS)) + "\n");
  Print(stdout,
        "manufacturer: " + NarrowText(Terminated(manufacturer, QUORIL_BOARD_TEXT_UNITS)) + "\n");
  Print(stdout, "narrow product: " + std::string(narrow, strnlen(narrow, sizeof narrow)) + "\n");
  return answer == 1 ? kExitYes : kExitNo;
}

int RunDrives(const LoadedLibrary& library, const Exports& exports, Operands /*operands*/) {
  QUORIL_INFO_NEED(fnListDriverCaption);
  std::u16string buffer(QUORIL_CAPTION_LIST_UNITS, u'\0');
  const int answer = exports.fnListDriverCaption(buffer.data(), QUORIL_CAPTION_LIST_UNITS);
  // Each caption on a line of its own, ended as this platform ends lines.
  for (const std::u16string& caption : SplitCaptionList(Terminated(buffer.data(), buffer.size()))) {
    Print(stdout, NarrowText(caption) + "\n");
  }
  return answer == 1 ? kExitYes : kExitNo;
}

int RunCaption(const LoadedLibrary& library, const Exports& exports, Operands operands) {
  QUORIL_INFO_NEED(fnGetDriveCaptionW);
  const std::u16string drive = WideText(operands[0]);
  char16_t caption[QUORIL_CAPTION_UNITS] = {};
  const int answer = exports.fnGetDriveCaptionW(drive.c_str(), caption, QUORIL_CAPTION_UNITS);
  Print(stdout, NarrowText(Terminated(caption, QUORIL_CAPTION_UNITS)) + "\n");
  return answer == 1 ? kExitYes : kExitNo;
}

int RunBd(const LoadedLibrary& library, const Exports& exports, Operands /*operands*/) {
  QUORIL_INFO_NEED(hasBDOdd);
  return exports.hasBDOdd() == 1 ? kExitYes : kExitNo;
}

#undef QUORIL_INFO_NEED

int RunDecodeConfig(Operands operands) {
  std::string out, note, error;
  if (!DecodeConfigurationFile(std::string(operands[0]), out, note, error)) {
    Print(stderr, "quoril-info: " + error + "\n");
    return kExitTrouble;
  }
  if (!note.empty()) Print(stderr, "quoril-info: " + note + "\n");
  Print(stdout, out);
  return kExitYes;
}

struct Subcommand {
  std::string_view name;
  std::string_view operands;  // as the usage text shows them
  std::string_view help;      // one line per '\n', aligned by the usage text
  std::size_t min_operands;
  std::size_t max_operands;
  // Rejects operands that can never be valid, before anything is loaded; null accepts any.
  bool (*check)(Operands operands, std::string& problem);
  int (*run)(const LoadedLibrary& library, const Exports& exports, Operands operands);
  // Set instead of `run` for a subcommand that needs no library.
  int (*run_alone)(Operands operands) = nullptr;
};

constexpr Subcommand kSubcommands[] = {
    {"cpu-has", "TEXT",
     "exit 0 when the processor brand contains TEXT (case-sensitive), 1 when not", 1, 1, nullptr,
     RunCpuHas},
    {"svid", "[INDEX]",
     "print the subsystem vendor of display adapter INDEX (default 0), or an empty\n"
     "line; exit 0 when that adapter exists, 1 when not",
     0, 1, CheckSvid, RunSvid},
    {"board", "",
     "print the system board's product and manufacturer, and the product as narrow\n"
     "text; exit 0 when the board query ran, 1 when it failed",
     0, 0, nullptr, RunBoard},
    {"drives", "", "print the optical drive captions, one per line; exit 0 when listed, 1 when not",
     0, 0, nullptr, RunDrives},
    {"caption", "DRIVE",
     "print the caption of the optical drive named in DRIVE (\"D:\", say), or an\n"
     "empty line; exit 0 when there is one, 1 when not",
     1, 1, nullptr, RunCaption},
    {"bd", "", "exit 0 when an optical drive can read Blu-ray media, 1 when none can", 0, 0,
     nullptr, RunBd},
    {"decode-config", "FILE",
     "decode a saved GET CONFIGURATION answer as the drive probe does: print\n"
     "capsLow=0x........ capsHigh=0x........, then one capability name per line;\n"
     "needs no library",
     1, 1, nullptr, nullptr, RunDecodeConfig},
};

std::string Synopsis(const Subcommand& command) {
  std::string synopsis(command.name);
  // Appended piece by piece: GCC 12 at -O2 and above misreads `"literal" + std::string` built
  // from a view, inlined here, as an overlapping copy (-Wrestrict).
  if (!command.operands.empty()) {
    synopsis += ' ';
    synopsis += command.operands;
  }
  return synopsis;
}

// One entry of the usage text: the heading indented by two, its help (one line per '\n') from
// column kHelpColumn on. A heading too long for the column gets a line of its own, with its help
// beneath it at the same column (where help2man, too, reads it as the heading's description).
constexpr std::size_t kHelpColumn = 20;

void AppendEntry(std::string& text, const std::string& heading, std::string_view help) {
  std::string lead = "  " + heading;
  if (lead.size() + 2 > kHelpColumn) {
    text += lead + "\n";
    lead.clear();
  }
  lead.resize(kHelpColumn, ' ');
  while (!help.empty()) {
    const std::size_t line_end = help.find('\n');
    text += lead + std::string(help.substr(0, line_end)) + "\n";
    help = line_end == std::string_view::npos ? std::string_view() : help.substr(line_end + 1);
    lead.assign(kHelpColumn, ' ');
  }
}

// In the GNU layout, one synopsis per line ("Usage:", then "  or:"), so that help2man lays the
// manual page out from it.
std::string UsageText() {
  std::string text = "Usage: quoril-info [--library PATH] [--json]\n";
  for (const Subcommand& command : kSubcommands) {
    text += "  or:  quoril-info [--library PATH] " + Synopsis(command) + "\n";
  }
  text += "  or:  quoril-info [--library PATH] --version\n";
  text += "  or:  quoril-info --help\n\n";
  text +=
      "Loads the Quoril library by name, as a host program does, and asks it about this machine.\n"
      "With no subcommand, prints everything the library answers.\n\n";
  AppendEntry(text, "--library PATH",
              "load PATH instead of " + std::string(LoadedLibrary::DefaultName()) +
                  " (a bare name is looked for beside this program\n"
                  "first, then where the system looks)");
  AppendEntry(text, "--json",
              "print the report as one JSON object (\"format_version\": " +
                  std::to_string(kReportFormatVersion) +
                  "), which the schema\n"
                  "quoril-info.schema.json describes");
  AppendEntry(text, "--version", "print this program's version and that of the library it loads");
  AppendEntry(text, "--help", "print this text");
  for (const Subcommand& command : kSubcommands) AppendEntry(text, Synopsis(command), command.help);
  text += "\nExit status 2: a usage error, a library that cannot be loaded, or a missing export.\n";
  return text;
}

int UsageError(const std::string& problem) {
  Print(stderr, "quoril-info: " + problem + "\n\n" + UsageText());
  return kExitTrouble;
}

// This program's version, then the library's where the system records one. A library that
// cannot be loaded is named as such: the program's version is still the answer.
int RunVersion(const std::string& library_name) {
  std::string text = "quoril-info " QUORIL_VERSION_STRING "\n";
  std::string error;
  if (const std::optional<LoadedLibrary> library = LoadedLibrary::Open(library_name, error)) {
    const std::string version = library->Version();
    text += "library: " + library->path() + ", " +
            (version.empty() ? std::string("no version recorded") : "version " + version) + "\n";
  } else {
    text += "library: " + library_name + " cannot be loaded: " + error + "\n";
  }
  text += QUORIL_INFO_COPYRIGHT "\n";
  Print(stdout, text);
  return std::fflush(stdout) == 0 ? kExitYes : kExitTrouble;
}

std::optional<LoadedLibrary> Load(const std::string& name) {
  std::string error;
  std::optional<LoadedLibrary> library = LoadedLibrary::Open(name, error);
  if (!library) Print(stderr, "quoril-info: cannot load " + name + ": " + error + "\n");
  return library;
}

int Run(const std::vector<std::string_view>& args) {
  std::string library_name = LoadedLibrary::DefaultName();
  bool json = false;
  bool version = false;
  std::size_t next = 0;
  for (; next < args.size() && args[next].starts_with("-"); ++next) {
    const std::string_view option = args[next];
    if (option == "--help" || option == "-h") {
      Print(stdout, UsageText());
      return kExitYes;
    } else if (option == "--json") {
      json = true;
    } else if (option == "--version") {
      version = true;
    } else if (option == "--library") {
      if (next + 1 == args.size()) return UsageError("--library needs a PATH");
      library_name = std::string(args[++next]);
    } else if (option.starts_with("--library=")) {
      library_name = std::string(option.substr(std::strlen("--library=")));
    } else {
      return UsageError("unknown option \"" + std::string(option) + "\"");
    }
    if (library_name.empty()) return UsageError("--library needs a PATH");
  }

  if (version) {
    if (json || next != args.size()) return UsageError("--version takes only --library with it");
    return RunVersion(library_name);
  }
  if (next == args.size()) {
    std::optional<LoadedLibrary> library = Load(library_name);
    if (!library) return kExitTrouble;
    const Report report = BuildReport(library_name, *library, Exports(*library));
    Print(stdout, json ? RenderJson(report) : RenderText(report));
    return std::fflush(stdout) == 0 ? kExitYes : kExitTrouble;
  }

  const std::string_view name = args[next];
  const Subcommand* command = nullptr;
  for (const Subcommand& candidate : kSubcommands) {
    if (candidate.name == name) command = &candidate;
  }
  if (command == nullptr) return UsageError("unknown subcommand \"" + std::string(name) + "\"");
  if (json) return UsageError("--json applies to the report only, not to " + std::string(name));
  const Operands operands = Operands(args).subspan(next + 1);
  if (operands.size() < command->min_operands || operands.size() > command->max_operands) {
    return UsageError(std::string(name) + " takes " +
                      (command->operands.empty() ? "no operands" : std::string(command->operands)));
  }
  std::string problem;
  if (command->check != nullptr && !command->check(operands, problem)) return UsageError(problem);

  if (command->run_alone != nullptr) {
    const int status = command->run_alone(operands);
    return std::fflush(stdout) == 0 ? status : kExitTrouble;
  }
  std::optional<LoadedLibrary> library = Load(library_name);
  if (!library) return kExitTrouble;
  const int status = command->run(*library, Exports(*library), operands);
  return std::fflush(stdout) == 0 ? status : kExitTrouble;
}

}  // namespace
}  // namespace quoril_info

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  return quoril_info::Run(args);
}

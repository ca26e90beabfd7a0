// SPDX-License-Identifier: MIT
// The library's exports as this tool knows them: the name a person reads, the symbol a loader
// resolves, and the typed pointer the tool calls through. The build writes the list of exports
// (QUORIL_EXPORT_LIST) from the project's one list of them.
#pragma once

#include <string_view>

#include "library_loader.h"
#include "quoril.h"
#include "quoril_export_list.h"

namespace quoril_info {

struct ExportName {
  std::string_view name;  // as the public header names it
  const char* symbol;     // as the loader must ask for it on this platform
};

// On Windows fnGetSVID is exported only under its decorated name; every other export, and
// fnGetSVID elsewhere, under the name itself.
constexpr ExportName Named(const char* name) {
#if defined(_WIN32)
  if (std::string_view(name) == "fnGetSVID") return {name, QUORIL_FNGETSVID_SYMBOL};
#endif
  return {name, name};
}

// Every export the tool knows, in the order the report lists them.
#define QUORIL_INFO_EXPORT_NAME(name) Named(#name),
inline constexpr ExportName kKnownExports[] = {QUORIL_EXPORT_LIST(QUORIL_INFO_EXPORT_NAME)};
#undef QUORIL_INFO_EXPORT_NAME

// The exports one loaded library offers; a pointer is null where the export is missing. Valid
// only while that library stays loaded.
struct Exports {
  explicit Exports(const LoadedLibrary& library);

#define QUORIL_INFO_EXPORT_POINTER(name) quoril_##name##_fn name = nullptr;
  QUORIL_EXPORT_LIST(QUORIL_INFO_EXPORT_POINTER)
#undef QUORIL_INFO_EXPORT_POINTER
};

}  // namespace quoril_info

// SPDX-License-Identifier: MIT
// The library's exports as this tool knows them: the name a person reads, the symbol a loader
// resolves, and the typed pointer the tool calls through.
#pragma once

#include <string_view>

#include "library_loader.h"
#include "quoril.h"

namespace quoril_info {

struct ExportName {
  std::string_view name;  // as the public header names it
  const char* symbol;     // as the loader must ask for it on this platform
};

inline constexpr ExportName kTest{"Test", "Test"};
inline constexpr ExportName kFnVoIsCPU{"fnVoIsCPU", "fnVoIsCPU"};
inline constexpr ExportName kHasBDOdd{"hasBDOdd", "hasBDOdd"};
#if defined(_WIN32)
inline constexpr ExportName kFnGetSVID{"fnGetSVID", QUORIL_FNGETSVID_SYMBOL};
#else
inline constexpr ExportName kFnGetSVID{"fnGetSVID", "fnGetSVID"};
#endif

inline constexpr ExportName kFnGetPID{"fnGetPID", "fnGetPID"};
inline constexpr ExportName kFnGetWMIInfo{"fnGetWMIInfo", "fnGetWMIInfo"};
inline constexpr ExportName kFnGetBaseBoardPorductA{"fnGetBaseBoardPorductA",
                                                    "fnGetBaseBoardPorductA"};
inline constexpr ExportName kFnListDriverCaption{"fnListDriverCaption", "fnListDriverCaption"};
inline constexpr ExportName kFnGetDriveCaptionW{"fnGetDriveCaptionW", "fnGetDriveCaptionW"};

// Every export the tool knows, in the order the report lists them.
inline constexpr ExportName kKnownExports[] = {kTest,
                                               kFnVoIsCPU,
                                               kFnGetSVID,
                                               kFnGetPID,
                                               kFnGetWMIInfo,
                                               kFnGetBaseBoardPorductA,
                                               kFnListDriverCaption,
                                               kFnGetDriveCaptionW,
                                               kHasBDOdd};

// The exports one loaded library offers; a pointer is null where the export is missing. Valid
// only while that library stays loaded.
struct Exports {
  explicit Exports(const LoadedLibrary& library);

  quoril_Test_fn Test;
  quoril_fnVoIsCPU_fn fnVoIsCPU;
  quoril_fnGetSVID_fn fnGetSVID;
  quoril_fnGetPID_fn fnGetPID;
  quoril_fnGetWMIInfo_fn fnGetWMIInfo;
  quoril_fnGetBaseBoardPorductA_fn fnGetBaseBoardPorductA;
  quoril_fnListDriverCaption_fn fnListDriverCaption;
  quoril_fnGetDriveCaptionW_fn fnGetDriveCaptionW;
  quoril_hasBDOdd_fn hasBDOdd;
};

}  // namespace quoril_info

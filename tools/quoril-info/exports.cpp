// SPDX-License-Identifier: MIT
#include "exports.h"

namespace quoril_info {

Exports::Exports(const LoadedLibrary& library)
    : Test(library.FindAs<quoril_Test_fn>(kTest.symbol)),
      fnVoIsCPU(library.FindAs<quoril_fnVoIsCPU_fn>(kFnVoIsCPU.symbol)),
      fnGetSVID(library.FindAs<quoril_fnGetSVID_fn>(kFnGetSVID.symbol)),
      fnGetPID(library.FindAs<quoril_fnGetPID_fn>(kFnGetPID.symbol)),
      fnGetWMIInfo(library.FindAs<quoril_fnGetWMIInfo_fn>(kFnGetWMIInfo.symbol)),
      fnGetBaseBoardPorductA(
          library.FindAs<quoril_fnGetBaseBoardPorductA_fn>(kFnGetBaseBoardPorductA.symbol)),
      fnListDriverCaption(
          library.FindAs<quoril_fnListDriverCaption_fn>(kFnListDriverCaption.symbol)),
      fnGetDriveCaptionW(library.FindAs<quoril_fnGetDriveCaptionW_fn>(kFnGetDriveCaptionW.symbol)),
      hasBDOdd(library.FindAs<quoril_hasBDOdd_fn>(kHasBDOdd.symbol)) {}

}  // namespace quoril_info

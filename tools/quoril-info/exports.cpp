#include "exports.h"

namespace quoril_info {

Exports::Exports(const LoadedLibrary& library)
    : Test(library.FindAs<quoril_Test_fn>(kTest.symbol)),
      fnVoIsCPU(library.FindAs<quoril_fnVoIsCPU_fn>(kFnVoIsCPU.symbol)),
      fnGetSVID(library.FindAs<quoril_fnGetSVID_fn>(kFnGetSVID.symbol)),
      hasBDOdd(library.FindAs<quoril_hasBDOdd_fn>(kHasBDOdd.symbol)) {}

}  // namespace quoril_info

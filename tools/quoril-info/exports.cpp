// SPDX-License-Identifier: MIT
#include "exports.h"

namespace quoril_info {

Exports::Exports(const LoadedLibrary& library) {
#define QUORIL_INFO_FIND_EXPORT(name) \
  name = library.FindAs<quoril_##name##_fn>(Named(#name).symbol);
  QUORIL_EXPORT_LIST(QUORIL_INFO_FIND_EXPORT)
#undef QUORIL_INFO_FIND_EXPORT
}

}  // namespace quoril_info

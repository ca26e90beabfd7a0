// SPDX-License-Identifier: MIT
// quoril_fnGetSVID for hosts that link the MSVC import library, quoril.lib: the plain C name
// of fnGetSVID, whose only export is MSVC's decoration of its C++ declaration. This object is
// compiled for the MSVC ABI and added to quoril.lib beside the import records; it is no part of
// the DLL, whose export table stays as it is. (The MinGW import library binds the same name to
// the decorated export in its definition file and needs no code.)
//
// It offers both names a host may reference: the function itself, which a host declaring it
// without dllimport calls, and the import pointer `__imp_` + its name, which a host declaring it
// dllimport (as quoril.h does) calls through. Both end at the decorated export.
//
// This object becomes part of the host's own module, so its declarations carry no dllimport:
// fnGetSVID is reached through the import library's stub for the decorated name.
#define QUORIL_STATIC
#include "quoril.h"

extern "C" int QUORIL_CALL quoril_fnGetSVID(quoril_long32 index, char out[]) {
  return fnGetSVID(index, out);
}

// The import pointer's symbol is `__imp_` followed by the function's symbol, which on 32-bit x86
// carries the leading underscore of a cdecl C name.
#if defined(_WIN64)
#define QUORIL_IMPORT_POINTER __imp_quoril_fnGetSVID
#else
#define QUORIL_IMPORT_POINTER _imp__quoril_fnGetSVID
#endif

// Fixed when the host is linked, so nothing has to run before a host's first call.
extern "C" quoril_fnGetSVID_fn const QUORIL_IMPORT_POINTER = quoril_fnGetSVID;

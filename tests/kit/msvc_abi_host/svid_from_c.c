/* SPDX-License-Identifier: MIT */
/* The MSVC-ABI host's C part: fnGetSVID as a C program links it through quoril.lib, by the plain
   name the header declares for C. */
#include "quoril.h"

int SvidFromC(long index, char* out) { return quoril_fnGetSVID(index, out); }

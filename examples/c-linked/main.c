/* SPDX-License-Identifier: MIT */
/* A C host linked against quoril.dll's import library: it calls every export by the name
 * quoril.h declares for C, fnGetSVID as quoril_fnGetSVID, and prints every answer. Windows loads
 * quoril.dll with the program, so the program does not start without it.
 *
 *   quoril_c_linked [TEXT]   TEXT is looked for in the processor's brand (default "Intel")
 */
#include <stdio.h>
#include <windows.h>

#include "quoril.h"

/* The library's buffers, at the sizes quoril.h names for each export. */
static quoril_wchar product[QUORIL_BOARD_TEXT_UNITS];
static quoril_wchar manufacturer[QUORIL_BOARD_TEXT_UNITS];
static char narrow_product[QUORIL_BOARD_PRODUCT_A_BYTES];
static quoril_wchar captions[QUORIL_CAPTION_LIST_UNITS];
static quoril_wchar caption[QUORIL_CAPTION_UNITS];

/* Wide answers are UTF-16 units, Windows' own wide text (uint16_t in C); printed as UTF-8. */
static void print_wide(const char* label, const quoril_wchar* text) {
  static char utf8[4 * QUORIL_CAPTION_LIST_UNITS];
  if (!WideCharToMultiByte(CP_UTF8, 0, (const WCHAR*)text, -1, utf8, sizeof utf8, NULL, NULL)) {
    utf8[0] = '\0';
  }
  printf("  %s: \"%s\"\n", label, utf8);
}

int main(int argc, char** argv) {
  const char* cpu_text = argc > 1 ? argv[1] : "Intel";
  static const quoril_wchar drive[] = {'D', ':', 0};
  char vendor[QUORIL_VENDOR_BYTES];
  long index;

  printf("Quoril %s (header), quoril.dll linked\n", QUORIL_VERSION_STRING);
  Test();
  printf("Test: called\n");
  printf("fnVoIsCPU(\"%s\"): %d\n", cpu_text, fnVoIsCPU(cpu_text));

  printf("fnGetPID: %d\n", fnGetPID(product));
  print_wide("product", product);
  printf("fnGetWMIInfo: %d\n", fnGetWMIInfo(product, manufacturer));
  print_wide("manufacturer", manufacturer);
  /* Success shows only in the buffer, which starts empty. */
  printf("fnGetBaseBoardPorductA: %d\n", fnGetBaseBoardPorductA(narrow_product));
  printf("  product: \"%s\"\n", narrow_product);

  printf("fnListDriverCaption: %d\n", fnListDriverCaption(captions, QUORIL_CAPTION_LIST_UNITS));
  print_wide("captions", captions);
  printf("fnGetDriveCaptionW(\"D:\"): %d\n",
         fnGetDriveCaptionW(drive, caption, QUORIL_CAPTION_UNITS));
  print_wide("caption", caption);
  printf("hasBDOdd: %d\n", hasBDOdd());

  /* Display adapters are numbered from 0 until the first index that answers 0. */
  for (index = 0; quoril_fnGetSVID(index, vendor); ++index) {
    printf("fnGetSVID(%ld): 1, vendor \"%s\"\n", index, vendor);
  }
  printf("fnGetSVID(%ld): 0, no more display adapters\n", index);
  return 0;
}

/* SPDX-License-Identifier: MIT */
/* A C host that loads quoril.dll at run time and prints every answer it gives.
 *
 * Every export is looked up with GetProcAddress, fnGetSVID under its decorated name
 * (QUORIL_FNGETSVID_SYMBOL): the program links nothing of Quoril's, starts where the DLL is
 * missing and can say so itself. Exit status 0, or 1 when the DLL or one of its exports cannot be
 * found.
 *
 *   quoril_c_runtime [TEXT]   TEXT is looked for in the processor's brand (default "Intel")
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

/* Wide answers are UTF-16, as Windows' own wide text is; printed as UTF-8. */
static void print_wide(const char* label, const quoril_wchar* text) {
  char utf8[4 * QUORIL_CAPTION_LIST_UNITS];
  if (WideCharToMultiByte(CP_UTF8, 0, (const WCHAR*)text, -1, utf8, (int)sizeof utf8, NULL, NULL) ==
      0) {
    utf8[0] = '\0';
  }
  printf("  %s: \"%s\"\n", label, utf8);
}

static FARPROC look_up(HMODULE library, const char* name, int* missing) {
  FARPROC found = GetProcAddress(library, name);
  if (found == NULL) {
    fprintf(stderr, "quoril.dll does not export %s\n", name);
    *missing = 1;
  }
  return found;
}

int main(int argc, char** argv) {
  const char* cpu_text = argc > 1 ? argv[1] : "Intel";
  static const quoril_wchar drive[] = {'D', ':', 0};
  HMODULE quoril;
  int missing = 0;
  quoril_Test_fn test;
  quoril_fnVoIsCPU_fn is_cpu;
  quoril_fnGetPID_fn get_pid;
  quoril_fnGetWMIInfo_fn get_wmi_info;
  quoril_fnGetBaseBoardPorductA_fn get_board_product;
  quoril_fnListDriverCaption_fn list_captions;
  quoril_fnGetDriveCaptionW_fn get_drive_caption;
  quoril_hasBDOdd_fn has_bd;
  quoril_fnGetSVID_fn get_svid;
  char vendor[QUORIL_VENDOR_BYTES];
  long index;

  quoril = LoadLibraryA("quoril.dll");
  if (quoril == NULL) {
    fprintf(stderr, "cannot load quoril.dll (error %lu)\n", (unsigned long)GetLastError());
    return 1;
  }
  /* Through void*: a FARPROC is no particular function type. */
  test = (quoril_Test_fn)(void*)look_up(quoril, "Test", &missing);
  is_cpu = (quoril_fnVoIsCPU_fn)(void*)look_up(quoril, "fnVoIsCPU", &missing);
  get_pid = (quoril_fnGetPID_fn)(void*)look_up(quoril, "fnGetPID", &missing);
  get_wmi_info = (quoril_fnGetWMIInfo_fn)(void*)look_up(quoril, "fnGetWMIInfo", &missing);
  get_board_product =
      (quoril_fnGetBaseBoardPorductA_fn)(void*)look_up(quoril, "fnGetBaseBoardPorductA", &missing);
  list_captions =
      (quoril_fnListDriverCaption_fn)(void*)look_up(quoril, "fnListDriverCaption", &missing);
  get_drive_caption =
      (quoril_fnGetDriveCaptionW_fn)(void*)look_up(quoril, "fnGetDriveCaptionW", &missing);
  has_bd = (quoril_hasBDOdd_fn)(void*)look_up(quoril, "hasBDOdd", &missing);
  get_svid = (quoril_fnGetSVID_fn)(void*)look_up(quoril, QUORIL_FNGETSVID_SYMBOL, &missing);
  if (missing) {
    FreeLibrary(quoril);
    return 1;
  }

  printf("Quoril %s (header), quoril.dll loaded\n", QUORIL_VERSION_STRING);
  test();
  printf("Test: called\n");
  printf("fnVoIsCPU(\"%s\"): %d\n", cpu_text, is_cpu(cpu_text));

  printf("fnGetPID: %d\n", get_pid(product));
  print_wide("product", product);
  product[0] = 0;
  printf("fnGetWMIInfo: %d\n", get_wmi_info(product, manufacturer));
  print_wide("product", product);
  print_wide("manufacturer", manufacturer);
  /* Success shows only in the buffer, which starts empty. */
  narrow_product[0] = '\0';
  printf("fnGetBaseBoardPorductA: %d\n", get_board_product(narrow_product));
  printf("  product: \"%s\"\n", narrow_product);

  printf("fnListDriverCaption: %d\n",
         list_captions(captions, (int)(sizeof captions / sizeof captions[0])));
  print_wide("captions", captions);
  printf("fnGetDriveCaptionW(\"D:\"): %d\n",
         get_drive_caption(drive, caption, (int)(sizeof caption / sizeof caption[0])));
  print_wide("caption", caption);
  printf("hasBDOdd: %d\n", has_bd());

  /* Display adapters are numbered from 0 until the first index that answers 0. */
  for (index = 0; get_svid(index, vendor); ++index) {
    printf("fnGetSVID(%ld): 1, vendor \"%s\"\n", index, vendor);
  }
  printf("fnGetSVID(%ld): 0, no more display adapters\n", index);

  FreeLibrary(quoril);
  return 0;
}

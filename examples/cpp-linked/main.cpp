// SPDX-License-Identifier: MIT
// A C++ host linked against quoril.dll's import library: it calls every export by name, as
// declared in quoril.h, and prints every answer. Windows loads quoril.dll with the program, so the
// program does not start without it. Wide text is Windows' own: WCHAR buffers, L"" literals and
// std::wstring pass to the exports as they are.
//
//   quoril_cpp_linked [TEXT]   TEXT is looked for in the processor's brand (default "Intel")
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "quoril.h"

namespace {

// The library's buffers, at the sizes quoril.h names for each export.
WCHAR product[QUORIL_BOARD_TEXT_UNITS];
WCHAR manufacturer[QUORIL_BOARD_TEXT_UNITS];
char narrow_product[QUORIL_BOARD_PRODUCT_A_BYTES];
WCHAR captions[QUORIL_CAPTION_LIST_UNITS];
char utf8[4 * QUORIL_CAPTION_LIST_UNITS];

// Wide answers are UTF-16, Windows' own wide text; printed as UTF-8.
void PrintWide(const char* label, const wchar_t* text) {
  if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) {
    utf8[0] = '\0';
  }
  std::printf("  %s: \"%s\"\n", label, utf8);
}

template <typename T, std::size_t N>
constexpr int Units(const T (&)[N]) {
  return static_cast<int>(N);
}

}  // namespace

int main(int argc, char** argv) {
  const char* cpu_text = argc > 1 ? argv[1] : "Intel";

  std::printf("Quoril %s (header), quoril.dll linked\n", QUORIL_VERSION_STRING);
  Test();
  std::printf("Test: called\n");
  std::printf("fnVoIsCPU(\"%s\"): %d\n", cpu_text, fnVoIsCPU(cpu_text));

  std::printf("fnGetPID: %d\n", fnGetPID(product));
  PrintWide("product", product);
  product[0] = 0;
  std::printf("fnGetWMIInfo: %d\n", fnGetWMIInfo(product, manufacturer));
  PrintWide("product", product);
  PrintWide("manufacturer", manufacturer);
  // Success shows only in the buffer, which starts empty.
  narrow_product[0] = '\0';
  std::printf("fnGetBaseBoardPorductA: %d\n", fnGetBaseBoardPorductA(narrow_product));
  std::printf("  product: \"%s\"\n", narrow_product);

  std::printf("fnListDriverCaption: %d\n", fnListDriverCaption(captions, Units(captions)));
  PrintWide("captions", captions);
  std::wstring caption(QUORIL_CAPTION_UNITS, L'\0');
  std::printf("fnGetDriveCaptionW(\"D:\"): %d\n",
              fnGetDriveCaptionW(L"D:", caption.data(), static_cast<int>(caption.size())));
  PrintWide("caption", caption.c_str());
  std::printf("hasBDOdd: %d\n", hasBDOdd());

  // Display adapters are numbered from 0 until the first index that answers 0.
  char vendor[QUORIL_VENDOR_BYTES];
  long index = 0;
  for (; fnGetSVID(index, vendor); ++index) {
    std::printf("fnGetSVID(%ld): 1, vendor \"%s\"\n", index, vendor);
  }
  std::printf("fnGetSVID(%ld): 0, no more display adapters\n", index);
  return 0;
}

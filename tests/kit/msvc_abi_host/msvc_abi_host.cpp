// SPDX-License-Identifier: MIT
// A host as MSVC builds one, with nothing else: compiled for the MSVC ABI, linked against the
// kit's quoril.lib and a KERNEL32 import library, with its own entry point and no runtime
// library. It calls all nine exports through the import library (fnGetSVID under the decorated
// name the header's C++ declaration gets from an MSVC-ABI compiler, and from C as
// quoril_fnGetSVID, in svid_from_c.c), prints every answer and checks those that hold on every
// machine, each of which depends on an argument arriving as the host passed it. Wide text is
// wchar_t, as Windows programs hold it. Exit status 0 when every check held, 1 otherwise.
#include "quoril.h"

extern "C" {
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
[[noreturn]] __declspec(dllimport) void __stdcall ExitProcess(unsigned int code);
// svid_from_c.c: quoril_fnGetSVID called from C.
int SvidFromC(long index, char* out);
}

namespace {

constexpr unsigned long kStandardOutput = static_cast<unsigned long>(-11);

// Everything printed is gathered here and written once at the end. Buffers are static: large
// stack frames would call the stack probe of a runtime library this program does not have.
char output[32768];
unsigned long used = 0;
int failures = 0;

quoril_wchar product[QUORIL_BOARD_TEXT_UNITS];
quoril_wchar manufacturer[QUORIL_BOARD_TEXT_UNITS];
char narrow[QUORIL_BOARD_PRODUCT_A_BYTES];
quoril_wchar captions[QUORIL_CAPTION_LIST_UNITS];
quoril_wchar caption[QUORIL_CAPTION_UNITS];

void Put(const char* text) {
  while (*text != '\0' && used < sizeof output) output[used++] = *text++;
}

void PutNumber(long value) {
  char digits[12];
  int count = 0;
  const bool negative = value < 0;
  unsigned long magnitude = negative ? 0UL - static_cast<unsigned long>(value) : value;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) Put("-");
  char one[2] = {0, 0};
  while (count > 0) {
    one[0] = digits[--count];
    Put(one);
  }
}

// Printable ASCII as it is, every other unit as \uXXXX.
void PutWide(const quoril_wchar* text) {
  static const char kHex[] = "0123456789ABCDEF";
  Put("\"");
  for (; *text != 0; ++text) {
    char unit[7] = {static_cast<char>(*text), 0, 0, 0, 0, 0, 0};
    if (*text < 0x20 || *text > 0x7e) {
      unit[0] = '\\';
      unit[1] = 'u';
      for (int i = 0; i < 4; ++i) unit[2 + i] = kHex[(*text >> (12 - 4 * i)) & 0xf];
    }
    Put(unit);
  }
  Put("\"");
}

void Answer(const char* call, long result) {
  Put(call);
  Put(": ");
  PutNumber(result);
  Put("\n");
}

void Expect(bool held, const char* what) {
  if (!held) {
    Put("  FAILED: ");
    Put(what);
    Put("\n");
    ++failures;
  }
}

void Run() {
  Test();
  Put("Test: called\n");

  long result = fnVoIsCPU("");
  Answer("fnVoIsCPU(\"\")", result);
  Expect(result == 1, "the empty text is in every brand");
  result = fnVoIsCPU("a text far longer than the 48 bytes any processor brand string can hold");
  Answer("fnVoIsCPU(long text)", result);
  Expect(result == 0, "no brand holds a text longer than a brand");
  result = fnVoIsCPU(nullptr);
  Answer("fnVoIsCPU(null)", result);
  Expect(result == 0, "a null text answers 0");

  result = fnGetPID(product);
  Answer("fnGetPID", result);
  Put("  product: ");
  PutWide(product);
  Put("\n");
  Expect(result == 0 || result == 1, "fnGetPID answers 0 or 1");
  Answer("fnGetPID(null)", fnGetPID(nullptr));

  result = fnGetWMIInfo(product, manufacturer);
  Answer("fnGetWMIInfo", result);
  Put("  product: ");
  PutWide(product);
  Put("\n  manufacturer: ");
  PutWide(manufacturer);
  Put("\n");
  Expect(result == 0 || result == 1, "fnGetWMIInfo answers 0 or 1");

  result = fnGetBaseBoardPorductA(narrow);
  Answer("fnGetBaseBoardPorductA", result);
  Put("  product: \"");
  Put(narrow);
  Put("\"\n");
  Expect(result == 0, "fnGetBaseBoardPorductA always answers 0");

  // One unit short of the required capacity is refused with the buffer untouched.
  captions[0] = 0x2603;
  result = fnListDriverCaption(captions, QUORIL_CAPTION_LIST_UNITS - 1);
  Answer("fnListDriverCaption(capacity one unit short)", result);
  Expect(result == 0 && captions[0] == 0x2603, "a capacity below the least is refused untouched");
  captions[0] = 0;
  result = fnListDriverCaption(captions, QUORIL_CAPTION_LIST_UNITS);
  Answer("fnListDriverCaption", result);
  Put("  captions: ");
  PutWide(captions);
  Put("\n");
  Expect(result == 0 || result == 1, "fnListDriverCaption answers 0 or 1");

  result = fnGetDriveCaptionW(L"D:", caption, 0);
  Answer("fnGetDriveCaptionW(count 0)", result);
  Expect(result == 0, "a count below 1 answers 0");
  result = fnGetDriveCaptionW(L"D:", caption, QUORIL_CAPTION_UNITS);
  Answer("fnGetDriveCaptionW(\"D:\")", result);
  Put("  caption: ");
  PutWide(result == 1 ? caption : L"");
  Put("\n");

  result = hasBDOdd();
  Answer("hasBDOdd", result);
  Expect(result == 0 || result == 1, "hasBDOdd answers 0 or 1");

  char vendor[QUORIL_VENDOR_BYTES];
  char vendor_from_c[QUORIL_VENDOR_BYTES];
  Expect(fnGetSVID(-1, vendor) == 0, "a negative adapter index answers 0");
  Expect(fnGetSVID(0, nullptr) == 0, "a null vendor buffer answers 0");
  Expect(SvidFromC(-1, vendor_from_c) == 0, "quoril_fnGetSVID: a negative index answers 0");
  long index = 0;
  for (; index < 64 && fnGetSVID(index, vendor) == 1; ++index) {
    Expect(SvidFromC(index, vendor_from_c) == 1, "quoril_fnGetSVID finds the same adapter");
    for (int i = 0; i < QUORIL_VENDOR_BYTES && (vendor[i] != '\0' || vendor_from_c[i] != '\0');
         ++i) {
      Expect(vendor[i] == vendor_from_c[i], "quoril_fnGetSVID gives the same vendor");
    }
    Put("fnGetSVID(");
    PutNumber(index);
    Put("): 1, vendor \"");
    Put(vendor);
    Put("\"\n");
    int length = 0;
    while (length < QUORIL_VENDOR_BYTES && vendor[length] != '\0') ++length;
    Expect(length < QUORIL_VENDOR_BYTES, "a vendor leaves room for its terminator");
  }
  Expect(SvidFromC(index, vendor_from_c) == 0, "quoril_fnGetSVID: no adapter past the last");
  Put("fnGetSVID(");
  PutNumber(index);
  Put("): 0, no more display adapters\n");
}

}  // namespace

extern "C" [[noreturn]] void HostEntry() {
  Run();
  Put(failures == 0 ? "all checks held\n" : "some checks FAILED\n");
  unsigned long written = 0;
  WriteFile(GetStdHandle(kStandardOutput), output, used, &written, nullptr);
  ExitProcess(failures == 0 ? 0 : 1);
}

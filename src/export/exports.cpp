// SPDX-License-Identifier: MIT
// The exported functions. Each is a thin door: it hands its arguments to the subsystem that
// answers; the behaviour lives in the subsystems. Nothing below can throw (the library is built
// without exceptions, and every failure, allocation failure included, is a result value), so
// nothing but a result ever crosses into the host.
#include "quoril.h"

#include <cstdint>

#include "cpu_display/cpu_brand.h"
#include "cpu_display/display_vendor.h"
#include "drive/bluray_probe.h"
#include "wmi/board.h"
#include "wmi/caption_lookup.h"
#include "wmi/drive_captions.h"

namespace {

// The logic works in char16_t. A host's wide type (wchar_t in C++ on Windows, char16_t in C++
// elsewhere, uint16_t in C) is the same 16-bit UTF-16 unit, so only the pointer's type changes
// here; the units pass untouched.
static_assert(sizeof(quoril_wchar) == sizeof(char16_t) &&
                  alignof(quoril_wchar) == alignof(char16_t),
              "the header's wide type must be a 16-bit unit");

char16_t* Units(quoril_wchar* text) { return reinterpret_cast<char16_t*>(text); }
const char16_t* Units(const quoril_wchar* text) { return reinterpret_cast<const char16_t*>(text); }

}  // namespace

extern "C" {

void QUORIL_CALL Test(void) {}

int QUORIL_CALL fnVoIsCPU(const char* text) { return quoril::IsCpuBrandContaining(text); }

int QUORIL_CALL fnGetPID(quoril_wchar* product) {
  return quoril::wmi::GetBoardProduct(Units(product));
}

int QUORIL_CALL fnGetWMIInfo(quoril_wchar* product, quoril_wchar* manufacturer) {
  return quoril::wmi::GetBoardInfo(Units(product), Units(manufacturer));
}

int QUORIL_CALL fnGetBaseBoardPorductA(char* product) {
  return quoril::wmi::GetBoardProductNarrow(product);
}

int QUORIL_CALL fnListDriverCaption(quoril_wchar* buffer, int capacity) {
  return quoril::wmi::ListDriveCaptions(Units(buffer), capacity);
}

int QUORIL_CALL fnGetDriveCaptionW(const quoril_wchar* drive, quoril_wchar* caption, int count) {
  return quoril::wmi::GetDriveCaption(Units(drive), Units(caption), count);
}

int QUORIL_CALL hasBDOdd(void) { return quoril::HasBlurayDrive(); }

#if !defined(_WIN32)
int QUORIL_CALL fnGetSVID(quoril_long32 index, char out[]) {
  return quoril::GetSubsystemVendor(index, out);
}
#endif

}  // extern "C"

#if defined(_WIN32)
// C++ linkage: the module-definition file exports this function under the decorated name that
// hosts built with MSVC reference, and under no other name.
int QUORIL_CALL fnGetSVID(quoril_long32 index, char out[]) {
  static_assert(sizeof(quoril_long32) == sizeof(int32_t));
  return quoril::GetSubsystemVendor(static_cast<int32_t>(index), out);
}
#endif

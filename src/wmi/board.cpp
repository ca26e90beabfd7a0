// SPDX-License-Identifier: MIT
#include "wmi/board.h"

#include "common/wide_text.h"
#include "wmi/wmi_access.h"

namespace quoril::wmi {
namespace {

constexpr char kBoardQuery[] = "SELECT * FROM Win32_BaseBoard";

// Copies the property's text when there is one; a longer value keeps what fits the caller's
// buffer with its terminator.
void CopyProperty(IWbemClassObject* instance, const char16_t* name, char16_t* out) {
  if (const StringProperty value(instance, name, Acceptance::kExactSuccess); value) {
    CopyWideCapped(out, value.text(), value.length(), kBoardWideCapacity);
  }
}

}  // namespace

int GetBoardProduct(char16_t* product) {
  if (product == nullptr) return 0;
  return QueryWmiClass(kBoardQuery,
                       [&](IWbemClassObject* board) { CopyProperty(board, u"Product", product); });
}

int GetBoardInfo(char16_t* product, char16_t* manufacturer) {
  return QueryWmiClass(kBoardQuery, [&](IWbemClassObject* board) {
    if (product != nullptr) CopyProperty(board, u"Product", product);
    if (manufacturer != nullptr) CopyProperty(board, u"Manufacturer", manufacturer);
  });
}

int GetBoardProductNarrow(char* product) {
  if (product == nullptr) return 0;
  EnumerationFrame frame("Win32_BaseBoard");
  // Only the first board is looked at.
  IWbemClassObject* board = frame.Next();
  if (board == nullptr) return 0;
  const StringProperty text(board, u"Product", Acceptance::kNotFailed);
  if (!text) return 0;

  // At most kBoardWideCapacity - 1 units are converted: in a double-byte code page their
  // conversion and its terminator fit the narrow buffer (see board.h), and the cut falls between
  // whole characters.
  char16_t units[kBoardWideCapacity];
  CopyWideCapped(units, text.text(), text.length(), kBoardWideCapacity);
  char scratch[kBoardNarrowCapacity];
  const int scratchSize = 2 * (static_cast<int>(WideLength(units)) + 1);
  const int written = platform::WideCharToMultiByte(CP_THREAD_ACP, 0, AsOle(units), -1, scratch,
                                                    scratchSize, nullptr, nullptr);
  // A conversion that fails, or does not fit the scratch area, writes nothing.
  if (written <= 0 || written > scratchSize || scratch[written - 1] != '\0') return 0;
  for (int i = 0; i < written; ++i) product[i] = scratch[i];
  return 0;
}

}  // namespace quoril::wmi

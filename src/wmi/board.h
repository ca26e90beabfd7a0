// SPDX-License-Identifier: MIT
// The system board's product and manufacturer, as WMI's "Win32_BaseBoard" gives them.
#pragma once

#include "quoril.h"

namespace quoril::wmi {

// The caller's buffers, as the exports promise them: a wide value keeps at most
// kBoardWideCapacity - 1 units and its terminator; the narrow product is converted from such a
// value, at most two bytes for each unit and the terminator.
inline constexpr int kBoardWideCapacity = QUORIL_BOARD_TEXT_UNITS;
inline constexpr int kBoardNarrowCapacity = QUORIL_BOARD_PRODUCT_A_BYTES;
static_assert(kBoardNarrowCapacity >= 2 * kBoardWideCapacity);

// Writes the last board product that is text into `product` (kBoardWideCapacity units); 1 when the
// query ran (`product` untouched when no board has a product), 0 when it failed or `product` is
// null.
int GetBoardProduct(char16_t* product);

// As GetBoardProduct for the product and the manufacturer; a null buffer's property is not
// read. 1 when the query ran, 0 when it failed.
int GetBoardInfo(char16_t* product, char16_t* manufacturer);

// Writes the first board's product in the thread's ANSI code page into `product`
// (kBoardNarrowCapacity bytes), when it is
// text and its conversion fits. Always answers 0.
int GetBoardProductNarrow(char* product);

}  // namespace quoril::wmi

// SPDX-License-Identifier: MIT
// The system board's product and manufacturer, as WMI's "Win32_BaseBoard" gives them.
#pragma once

namespace quoril::wmi {

// The size of the caller's wide buffers, in units: a value of up to 255 units and a terminator.
inline constexpr int kBoardWideCapacity = 256;
// The size of the caller's narrow buffer: any value of up to 255 units in a double-byte code
// page, with its terminator.
inline constexpr int kBoardNarrowCapacity = 512;

// Writes the last board product that is text into `product`; 1 when the query ran (`product`
// untouched when no board has a product), 0 when it failed or `product` is null.
int GetBoardProduct(char16_t* product);

// As GetBoardProduct for the product and the manufacturer; a null buffer's property is not
// read. 1 when the query ran, 0 when it failed.
int GetBoardInfo(char16_t* product, char16_t* manufacturer);

// Writes the first board's product in the thread's ANSI code page into `product`, when it is
// text and its conversion fits. Always answers 0.
int GetBoardProductNarrow(char* product);

}  // namespace quoril::wmi

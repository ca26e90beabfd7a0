// SPDX-License-Identifier: MIT
// Letter case of ASCII text, narrow or wide, as Windows compares drive letters and WMI compares
// names: only the letters a-z have another case. Needs no runtime library.
#pragma once

namespace quoril {

// `unit` with a-z made A-Z; every other unit as it is.
template <typename Unit>
constexpr Unit AsciiUpper(Unit unit) {
  return unit >= Unit('a') && unit <= Unit('z') ? static_cast<Unit>(unit - ('a' - 'A')) : unit;
}

}  // namespace quoril

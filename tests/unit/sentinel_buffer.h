// SPDX-License-Identifier: MIT
// A caller's buffer of `N` units as an export's contract promises, filled with a sentinel that
// no answer contains, with a canary behind it that no export may write; the unit tests and the
// tests of the real DLL both hand these to the exports.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

namespace quoril::test {

inline constexpr size_t kCanaryUnits = 16;

template <typename Unit, size_t N, Unit kFill>
struct SentinelBuffer {
  std::array<Unit, N + kCanaryUnits> units;

  SentinelBuffer() { Refill(); }
  void Refill() { units.fill(kFill); }
  Unit* data() { return units.data(); }
  Unit operator[](size_t i) const { return units[i]; }

  // The text at the start, up to its terminator; every unit when there is none.
  std::basic_string<Unit> Text() const {
    return {units.begin(), std::find(units.begin(), units.end(), Unit{})};
  }
  // Whether every unit from `from` on still holds the sentinel.
  bool UntouchedFrom(size_t from) const {
    return std::all_of(units.begin() + from, units.end(), [](Unit u) { return u == kFill; });
  }
  bool Untouched() const { return UntouchedFrom(0); }

  // "untouched", the text at its start in quotes when every unit behind its terminator is as it
  // was, or "garbled".
  std::string Describe() const {
    if (Untouched()) return "untouched";
    const auto end = std::find(units.begin(), units.begin() + N, Unit{});
    if (end == units.begin() + N || !UntouchedFrom(end - units.begin() + 1)) return "garbled";
    std::string text = "\"";
    for (auto unit = units.begin(); unit != end; ++unit) {
      if (*unit == '\r' || *unit == '\n') {
        text += *unit == '\r' ? "\\r" : "\\n";
      } else {
        text += static_cast<char>(*unit);
      }
    }
    return text + "\"";
  }
};

template <size_t N>
using Wide = SentinelBuffer<char16_t, N, char16_t{0xBEEF}>;
template <size_t N>
using Narrow = SentinelBuffer<char, N, char{0x5A}>;

}  // namespace quoril::test

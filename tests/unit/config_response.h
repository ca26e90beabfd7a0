// SPDX-License-Identifier: MIT
// GET CONFIGURATION answers built for tests: a header whose Data Length counts what follows,
// then descriptors in the order they are added.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

namespace quoril::test {

class ConfigResponse {
 public:
  // A Profile List (feature 0000h); each entry is marked current when `current` says so.
  ConfigResponse& Profiles(std::initializer_list<uint16_t> profiles, bool current = false) {
    std::vector<uint8_t> entries;
    for (const uint16_t profile : profiles) {
      entries.insert(entries.end(),
                     {static_cast<uint8_t>(profile >> 8), static_cast<uint8_t>(profile),
                      current ? uint8_t{1} : uint8_t{0}, 0});
    }
    return Feature(0x0000, entries);
  }
  // A feature descriptor: code, version/flags byte, additional length (the data's length unless
  // given), then the data.
  ConfigResponse& Feature(uint16_t code, std::vector<uint8_t> data = {},
                          std::optional<uint8_t> additionalLength = std::nullopt) {
    bytes_.insert(bytes_.end(), {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code), 0x03,
                                 additionalLength.value_or(static_cast<uint8_t>(data.size()))});
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  // Descriptors of an unknown feature filling `length` bytes (0, or 4 or more), to move the next
  // descriptor to a chosen place.
  ConfigResponse& Filler(uint32_t length) {
    while (length != 0) {
      // At most 259 bytes each, and never leaving a remainder too short for a header.
      uint32_t piece = length > 259 ? 200 : length;
      Feature(0xFFE0, std::vector<uint8_t>(piece - 4, 0xFF));
      length -= piece;
    }
    return *this;
  }
  // Where the next descriptor starts.
  uint32_t Next() const { return static_cast<uint32_t>(bytes_.size()); }

  // The answer; the Data Length counts everything after its own four bytes unless given.
  std::vector<uint8_t> Build(std::optional<uint32_t> dataLength = std::nullopt) const {
    std::vector<uint8_t> out = bytes_;
    const uint32_t length = dataLength.value_or(static_cast<uint32_t>(out.size() - 4));
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    return out;
  }

 private:
  std::vector<uint8_t> bytes_ = {0, 0, 0, 0, 0, 0, 0, 0};
};

}  // namespace quoril::test

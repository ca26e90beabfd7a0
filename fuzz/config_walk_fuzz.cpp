// SPDX-License-Identifier: MIT
// Fuzz target: any bytes a drive could write in answer to GET CONFIGURATION, through the walk
// that condenses them into a capability set. The input is copied into a heap buffer of exactly
// the probe's 2048 bytes, the rest zero, so the sanitizer reports any read past its end. Checks
// what holds for any answer: the bits that no source sets stay clear, the walk reads nothing
// but the buffer (the same answer twice gives the same set), and every set bit has a name.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "drive/capability_names.h"
#include "drive/configuration_walk.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> buffer(quoril::kConfigurationBufferSize, 0);
  if (size > buffer.size()) size = buffer.size();
  if (size != 0) std::memcpy(buffer.data(), data, size);
  const std::span<const uint8_t, quoril::kConfigurationBufferSize> response(buffer.data(),
                                                                            buffer.size());
  const quoril::DriveCapabilities caps = quoril::DecodeConfiguration(response);
  Check((caps.capsLow & 0x00000080u) == 0);
  Check((caps.capsHigh & 0xFF800000u) == 0);
  const quoril::DriveCapabilities again = quoril::DecodeConfiguration(response);
  Check(again.capsLow == caps.capsLow && again.capsHigh == caps.capsHigh);
  size_t names = 0;
  quoril::ForEachCapabilityName(caps, [&](std::string_view) { ++names; });
  Check(names == static_cast<size_t>(std::popcount(caps.capsLow) + std::popcount(caps.capsHigh)));
  return 0;
}

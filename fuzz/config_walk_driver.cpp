// SPDX-License-Identifier: MIT
// Runs the configuration walk's fuzz target without a fuzzing engine: every file named on the
// command line, then a fixed number of answers from a seeded generator that builds them the
// way drives do (a header, then descriptors of known and unknown features with lengths that
// fit, overrun or fall short), so a plain compiler build still exercises the walk on every test
// run.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "named_inputs.h"

int main(int argc, char** argv) {
  RunNamedInputs(argc, argv);
  const uint16_t features[] = {0x0000, 0x001D, 0x001E, 0x002A, 0x002D, 0x002E,
                               0x002F, 0x0107, 0x0108, 0x0110, 0xFFE0};
  const uint32_t dataLengths[] = {0, 1, 3, 4, 5, 2043, 2044, 2045, 0xFFFFFFFF};
  std::mt19937 generator(20261209);
  for (int run = 0; run < 20000; ++run) {
    std::vector<uint8_t> answer(8, 0);
    const uint32_t dataLength = generator() % 2 == 0
                                    ? dataLengths[generator() % std::size(dataLengths)]
                                    : static_cast<uint32_t>(generator() % 2100);
    for (int i = 0; i < 4; ++i) answer[i] = static_cast<uint8_t>(dataLength >> (24 - 8 * i));
    const size_t limit = generator() % 4 == 0 ? 2048 : 1 + generator() % 600;
    while (answer.size() < limit) {
      const uint16_t feature = features[generator() % std::size(features)];
      const auto length =
          static_cast<uint8_t>(generator() % 4 == 0 ? generator() : generator() % 24);
      answer.insert(answer.end(), {static_cast<uint8_t>(feature >> 8),
                                   static_cast<uint8_t>(feature), 0x03, length});
      for (uint8_t i = 0; i < length && answer.size() < limit; ++i) {
        answer.push_back(static_cast<uint8_t>(generator()));
      }
    }
    answer.resize(std::min<size_t>(answer.size(), 2048));
    LLVMFuzzerTestOneInput(answer.data(), answer.size());
  }
  return 0;
}

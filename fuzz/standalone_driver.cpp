// SPDX-License-Identifier: MIT
// Runs the fuzz target without a fuzzing engine: every file named on the command line, then a
// fixed number of inputs from a seeded generator biased towards the field markers, so that a
// plain compiler build still exercises the target on every test run.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

#include "named_inputs.h"

int main(int argc, char** argv) {
  RunNamedInputs(argc, argv);
  const std::string pieces[] = {
      "SUBSYS", "_", "&", "0123ABCD", "subsys", "PCI\\VEN_", "Intel", std::string(1, '\0'), " "};
  std::mt19937 generator(20261209);
  for (int run = 0; run < 20000; ++run) {
    std::string input;
    const int parts = static_cast<int>(generator() % 24);
    for (int p = 0; p < parts; ++p) {
      if (generator() % 2 == 0) {
        input += pieces[generator() % std::size(pieces)];
      } else {
        input += static_cast<char>(generator() % 256);
      }
    }
    if (generator() % 4 == 0) input.resize(49 + generator() % 160, 'A');
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  return 0;
}

// SPDX-License-Identifier: MIT
// Fuzz target: arbitrary device identifiers, processor leaves and search texts through the two
// exports, over the scripted platform. Checks what must hold for any input: results are 0 or
// 1, the vendor buffer holds an empty string or exactly four characters, nothing is read or
// written out of bounds (the sanitizers watch), and the brand test agrees with a plain search.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fake/fake_platform.h"
#include "quoril.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using quoril::fake::FakeSystem;
  const std::string input(reinterpret_cast<const char*>(data), size);
  quoril::fake::ResetFakeSystem();

  // The first 48 bytes are the brand leaves, the next byte picks the highest extended leaf,
  // then a search text up to the first zero, and the rest is a device identifier.
  const std::string brand = input.substr(0, 48);
  const uint32_t maxLeaf = 0x80000000u + (size > 48 ? static_cast<uint8_t>(input[48]) % 8 : 4);
  const std::string rest = size > 49 ? input.substr(49) : std::string();
  const std::string text = rest.substr(0, rest.find('\0'));
  const std::string id = rest.size() > text.size() ? rest.substr(text.size() + 1) : rest;

  quoril::fake::SetCpuBrand(brand, maxLeaf);
  const int found = fnVoIsCPU(text.c_str());
  Check(FakeSystem().debugOutput.size() == 2);
  const std::string& written = FakeSystem().debugOutput[0];
  Check(found == (written.find(text) != std::string::npos ? 1 : 0));
  Check(written.size() <= 48);

  FakeSystem().displayAdapterIds = {id};
  char out[QUORIL_VENDOR_BYTES];
  std::memset(out, 0x7F, sizeof out);
  Check(fnGetSVID(0, out) == 1);
  const size_t length = strnlen(out, sizeof out);
  Check(length == 0 || length == QUORIL_VENDOR_BYTES - 1);
  Check(fnGetSVID(1, out) == 0 && out[0] == '\0');
  return 0;
}

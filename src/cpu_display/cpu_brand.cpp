// SPDX-License-Identifier: MIT
#include "cpu_display/cpu_brand.h"

#include <cstddef>
#include <cstdint>

#include "common/narrow_text.h"
#include "platform/platform.h"

namespace quoril {
namespace {

constexpr uint32_t kExtendedBase = 0x80000000;
constexpr uint32_t kFirstBrandLeaf = 0x80000002;
constexpr uint32_t kLastBrandLeaf = 0x80000004;
constexpr size_t kBrandBytesPerLeaf = 16;

// 48 bytes of brand from three leaves, and 16 zero bytes after them so the buffer is a
// terminated string even when the processor fills all 48 without a terminator.
struct BrandBuffer {
  char bytes[64] = {};
};

void StoreWord(char* at, uint32_t word) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((word >> (8 * i)) & 0xFF);
}

BrandBuffer ReadBrand() {
  BrandBuffer brand;
  const uint32_t maxLeaf = platform::Cpuid(kExtendedBase).eax;
  if (maxLeaf < kFirstBrandLeaf) return brand;
  // Leaves past the last brand leaf cannot change the brand, so the walk ends there. That also
  // keeps a processor reporting 0xFFFFFFFF as its highest leaf from costing four billion queries.
  const uint32_t lastLeaf = maxLeaf < kLastBrandLeaf ? maxLeaf : kLastBrandLeaf;
  for (uint32_t leaf = kFirstBrandLeaf; leaf <= lastLeaf; ++leaf) {
    const platform::CpuidRegisters regs = platform::Cpuid(leaf);
    char* at = brand.bytes + (leaf - kFirstBrandLeaf) * kBrandBytesPerLeaf;
    StoreWord(at, regs.eax);
    StoreWord(at + 4, regs.ebx);
    StoreWord(at + 8, regs.ecx);
    StoreWord(at + 12, regs.edx);
  }
  return brand;
}

}  // namespace

int IsCpuBrandContaining(const char* text) {
  if (text == nullptr) return 0;
  platform::CpuidRegisters probe;
  if (!platform::CpuidGuarded(0, &probe)) return 0;

  const BrandBuffer brand = ReadBrand();
  platform::OutputDebugStringA(brand.bytes);
  const bool found = ContainsText(brand.bytes, text);
  platform::OutputDebugStringA(found ? "OK" : "FALSE");
  return found ? 1 : 0;
}

}  // namespace quoril

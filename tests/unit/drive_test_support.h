// SPDX-License-Identifier: MIT
// Unit tests of the drive channel start from a fresh scripted machine and check, after each
// case, that everything the case's devices took has been given back.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "fake_machine_test.h"

namespace quoril::test {

class DriveTest : public FakeMachineTest {
 protected:
  fake::FakeDrives& drives() { return machine().drives; }

  // Sense data with the given key byte (2), ASC (12) and ASCQ (13).
  static std::vector<uint8_t> Sense(uint8_t key, uint8_t asc, uint8_t ascq) {
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
  }

  // Reads a little-endian value of `size` bytes at `at`.
  static uint64_t Load(const std::vector<uint8_t>& bytes, size_t at, size_t size) {
    uint64_t value = 0;
    for (size_t i = size; i-- > 0;) value = value << 8 | bytes.at(at + i);
    return value;
  }
  static void Store(std::vector<uint8_t>& bytes, size_t at, size_t size, uint64_t value) {
    for (size_t i = 0; i < size; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
  }
};

}  // namespace quoril::test

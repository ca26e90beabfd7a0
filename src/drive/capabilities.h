// SPDX-License-Identifier: MIT
// The capability set a drive's GET CONFIGURATION answer condenses into: 64 flag bits, each set
// by one media profile, one feature, or one flag bit inside a feature.
#pragma once

#include <cstdint>

namespace quoril {

// Bits 0-31 in capsLow, bits 32-63 in capsHigh.
struct DriveCapabilities {
  uint32_t capsLow = 0;
  uint32_t capsHigh = 0;
};

// A capability's place in the set, as a 64-bit mask: the low word's bits first.
using CapabilityBit = uint64_t;

constexpr CapabilityBit Cap(unsigned bit) { return CapabilityBit{1} << bit; }

inline constexpr CapabilityBit CAP_CD_ROM = Cap(0);
inline constexpr CapabilityBit CAP_CD_R = Cap(1);
inline constexpr CapabilityBit CAP_CD_RW = Cap(2);
inline constexpr CapabilityBit CAP_DVD_ROM = Cap(3);
inline constexpr CapabilityBit CAP_DVD_R = Cap(4);
inline constexpr CapabilityBit CAP_DVD_R_DL = Cap(5);
inline constexpr CapabilityBit CAP_DVD_RW = Cap(6);
// Bit 7 is never set.
inline constexpr CapabilityBit CAP_DVD_PLUS_R = Cap(8);
inline constexpr CapabilityBit CAP_DVD_PLUS_R_DL = Cap(9);
inline constexpr CapabilityBit CAP_DVD_PLUS_RW = Cap(10);
inline constexpr CapabilityBit CAP_DVD_PLUS_RW_DL = Cap(11);
inline constexpr CapabilityBit CAP_DVD_RAM = Cap(12);
inline constexpr CapabilityBit CAP_BD_ROM = Cap(13);
inline constexpr CapabilityBit CAP_BD_R = Cap(14);
inline constexpr CapabilityBit CAP_BD_RE = Cap(15);
inline constexpr CapabilityBit CAP_HD_DVD_ROM = Cap(16);
inline constexpr CapabilityBit CAP_HD_DVD_R = Cap(17);
inline constexpr CapabilityBit CAP_HD_DVD_RAM = Cap(18);
inline constexpr CapabilityBit CAP_MULTI_READ = Cap(19);
inline constexpr CapabilityBit CAP_CD_TEXT = Cap(20);
inline constexpr CapabilityBit CAP_CD_C2_FLAGS = Cap(21);
inline constexpr CapabilityBit CAP_RANDOM_WRITABLE = Cap(22);
inline constexpr CapabilityBit CAP_FORMATTABLE = Cap(23);
inline constexpr CapabilityBit CAP_DVD_PLUS_RW_WRITE = Cap(24);
inline constexpr CapabilityBit CAP_DVD_PLUS_RW_QUICK_START = Cap(25);
inline constexpr CapabilityBit CAP_BD_R_POW = Cap(26);
inline constexpr CapabilityBit CAP_DEFECT_MANAGEMENT = Cap(27);
inline constexpr CapabilityBit CAP_CD_TAO = Cap(28);
inline constexpr CapabilityBit CAP_CD_SAO = Cap(29);
inline constexpr CapabilityBit CAP_POWER_MANAGEMENT = Cap(30);
inline constexpr CapabilityBit CAP_DVD_CSS = Cap(31);
inline constexpr CapabilityBit CAP_DVD_CPRM = Cap(32);
inline constexpr CapabilityBit CAP_AACS = Cap(33);
inline constexpr CapabilityBit CAP_VCPS = Cap(34);
inline constexpr CapabilityBit CAP_HYBRID_DISC = Cap(35);
inline constexpr CapabilityBit CAP_DDCD_ROM = Cap(36);
inline constexpr CapabilityBit CAP_DDCD_R = Cap(37);
inline constexpr CapabilityBit CAP_DDCD_RW = Cap(38);
inline constexpr CapabilityBit CAP_HD_DVD_RW = Cap(39);
inline constexpr CapabilityBit CAP_HD_DVD_R_DL = Cap(40);
inline constexpr CapabilityBit CAP_HD_DVD_RW_DL = Cap(41);
inline constexpr CapabilityBit CAP_CD_RW_SUBCODE = Cap(42);
inline constexpr CapabilityBit CAP_CD_TEST_WRITE = Cap(43);
inline constexpr CapabilityBit CAP_CD_RW_PACK = Cap(44);
inline constexpr CapabilityBit CAP_CD_RW_RAW = Cap(45);
inline constexpr CapabilityBit CAP_CD_BUF = Cap(46);
inline constexpr CapabilityBit CAP_CD_RAW = Cap(47);
inline constexpr CapabilityBit CAP_CD_RAW_MS = Cap(48);
inline constexpr CapabilityBit CAP_DVD_R_TEST_WRITE = Cap(49);
inline constexpr CapabilityBit CAP_DVD_R_BUF = Cap(50);
inline constexpr CapabilityBit CAP_LAYER_JUMP = Cap(51);
inline constexpr CapabilityBit CAP_REAL_TIME_STREAMING = Cap(52);
inline constexpr CapabilityBit CAP_STREAM_WRITING = Cap(53);
inline constexpr CapabilityBit CAP_DRIVE_SERIAL_NUMBER = Cap(54);

// What makes a drive able to read Blu-ray media: any Blu-ray profile, current or not.
inline constexpr CapabilityBit kBlurayReadMask = CAP_BD_ROM | CAP_BD_R | CAP_BD_RE;

inline void SetCapability(DriveCapabilities& caps, CapabilityBit bits) {
  caps.capsLow |= static_cast<uint32_t>(bits);
  caps.capsHigh |= static_cast<uint32_t>(bits >> 32);
}

inline bool HasAnyCapability(const DriveCapabilities& caps, CapabilityBit bits) {
  return (caps.capsLow & static_cast<uint32_t>(bits)) != 0 ||
         (caps.capsHigh & static_cast<uint32_t>(bits >> 32)) != 0;
}

}  // namespace quoril

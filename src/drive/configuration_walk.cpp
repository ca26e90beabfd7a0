// SPDX-License-Identifier: MIT
#include "drive/configuration_walk.h"

#include <algorithm>

namespace quoril {
namespace {

constexpr uint32_t kHeaderSize = 8;
constexpr uint32_t kDescriptorHeaderSize = 4;
// The Data Length counts the bytes after its own four.
constexpr uint32_t kDataLengthSize = 4;
constexpr uint32_t kMaxDataLength = kConfigurationBufferSize - kDataLengthSize;
// The last place a descriptor's four header bytes still fit.
constexpr uint32_t kLastDescriptorStart = kConfigurationBufferSize - kDescriptorHeaderSize;
constexpr uint16_t kProfileListFeature = 0x0000;
constexpr uint32_t kProfileEntrySize = 4;

struct ProfileCapability {
  uint16_t profile;
  CapabilityBit bit;
};

constexpr ProfileCapability kProfiles[] = {
    {0x0008, CAP_CD_ROM},         {0x0009, CAP_CD_R},          {0x000A, CAP_CD_RW},
    {0x0010, CAP_DVD_ROM},        {0x0011, CAP_DVD_R},         {0x0012, CAP_DVD_RAM},
    {0x0013, CAP_DVD_RW},         {0x0014, CAP_DVD_RW},        {0x0015, CAP_DVD_R_DL},
    {0x0016, CAP_DVD_R_DL},       {0x001A, CAP_DVD_PLUS_RW},   {0x001B, CAP_DVD_PLUS_R},
    {0x0020, CAP_DDCD_ROM},       {0x0021, CAP_DDCD_R},        {0x0022, CAP_DDCD_RW},
    {0x002A, CAP_DVD_PLUS_RW_DL}, {0x002B, CAP_DVD_PLUS_R_DL}, {0x0040, CAP_BD_ROM},
    {0x0041, CAP_BD_R},           {0x0042, CAP_BD_R},          {0x0043, CAP_BD_RE},
    {0x0050, CAP_HD_DVD_ROM},     {0x0051, CAP_HD_DVD_R},      {0x0052, CAP_HD_DVD_RAM},
    {0x0053, CAP_HD_DVD_RW},      {0x0058, CAP_HD_DVD_R_DL},   {0x005A, CAP_HD_DVD_RW_DL},
};

// Features that count by being listed, whatever their data.
struct FeatureCapability {
  uint16_t feature;
  CapabilityBit bit;
};

constexpr FeatureCapability kPresenceFeatures[] = {
    {0x001D, CAP_MULTI_READ},
    {0x0020, CAP_RANDOM_WRITABLE},
    {0x0023, CAP_FORMATTABLE},
    {0x0024, CAP_DEFECT_MANAGEMENT},
    {0x002D, CAP_CD_TAO},
    {0x0033, CAP_LAYER_JUMP},
    {0x0038, CAP_BD_R_POW},
    {0x0080, CAP_HYBRID_DISC},
    {0x0100, CAP_POWER_MANAGEMENT},
    {0x0106, CAP_DVD_CSS},
    {0x0107, CAP_REAL_TIME_STREAMING},
    {0x0108, CAP_DRIVE_SERIAL_NUMBER},
    {0x010B, CAP_DVD_CPRM},
    {0x010D, CAP_AACS},
    {0x0110, CAP_VCPS},
};

// Flag bits inside a feature's data, by the byte's place in the descriptor.
struct FeatureFlag {
  uint16_t feature;
  uint8_t byte;
  uint8_t mask;
  CapabilityBit bit;
};

constexpr FeatureFlag kFeatureFlags[] = {
    {0x001E, 4, 0x01, CAP_CD_TEXT},                  // CD Read: CD-Text
    {0x001E, 4, 0x02, CAP_CD_C2_FLAGS},              // CD Read: C2 Flags
    {0x002A, 4, 0x01, CAP_DVD_PLUS_RW_WRITE},        // DVD+RW: Write
    {0x002A, 5, 0x02, CAP_DVD_PLUS_RW_QUICK_START},  // DVD+RW: Quick Start
    {0x002D, 4, 0x01, CAP_CD_RW_SUBCODE},            // Track at Once: R-W Subcode
    {0x002D, 4, 0x02, CAP_CD_RW},                    // Track at Once: CD-RW
    {0x002D, 4, 0x04, CAP_CD_TEST_WRITE},            // Track at Once: Test Write
    {0x002D, 4, 0x08, CAP_CD_RW_PACK},               // Track at Once: R-W Pack
    {0x002D, 4, 0x10, CAP_CD_RW_RAW},                // Track at Once: R-W Raw
    {0x002D, 4, 0x40, CAP_CD_BUF},                   // Track at Once: BUF
    {0x002E, 4, 0x01, CAP_CD_RW_SUBCODE},            // Mastering: R-W
    {0x002E, 4, 0x02, CAP_CD_RW},                    // Mastering: CD-RW
    {0x002E, 4, 0x04, CAP_CD_TEST_WRITE},            // Mastering: Test Write
    {0x002E, 4, 0x08, CAP_CD_RAW},                   // Mastering: Raw
    {0x002E, 4, 0x10, CAP_CD_RAW_MS},                // Mastering: Raw MS
    {0x002E, 4, 0x20, CAP_CD_SAO},                   // Mastering: SAO
    {0x002E, 4, 0x40, CAP_CD_BUF},                   // Mastering: BUF
    {0x002F, 4, 0x04, CAP_DVD_R_TEST_WRITE},         // DVD-R/-RW Write: Test Write
    {0x002F, 4, 0x40, CAP_DVD_R_BUF},                // DVD-R/-RW Write: BUF
    {0x0107, 4, 0x01, CAP_STREAM_WRITING},           // Real Time Streaming: SW
};

uint32_t ReadBigEndian32(std::span<const uint8_t, kConfigurationBufferSize> bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
         uint32_t{bytes[at + 3]};
}

uint16_t ReadBigEndian16(std::span<const uint8_t, kConfigurationBufferSize> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void AddProfiles(std::span<const uint8_t, kConfigurationBufferSize> response, uint32_t start,
                 uint32_t additionalLength, DriveCapabilities& caps) {
  const uint32_t entries = start + kDescriptorHeaderSize;
  for (uint32_t offset = 0; offset < additionalLength; offset += kProfileEntrySize) {
    // The profile number is the entry's first two bytes; nothing past the buffer is read.
    if (entries + offset + 2 > response.size()) return;
    const uint16_t profile = ReadBigEndian16(response, entries + offset);
    for (const ProfileCapability& known : kProfiles) {
      if (known.profile == profile) SetCapability(caps, known.bit);
    }
  }
}

void AddFeature(std::span<const uint8_t, kConfigurationBufferSize> response, uint32_t start,
                uint16_t feature, DriveCapabilities& caps) {
  for (const FeatureCapability& known : kPresenceFeatures) {
    if (known.feature == feature) SetCapability(caps, known.bit);
  }
  for (const FeatureFlag& flag : kFeatureFlags) {
    const size_t at = size_t{start} + flag.byte;
    if (flag.feature == feature && at < response.size() && (response[at] & flag.mask) != 0) {
      SetCapability(caps, flag.bit);
    }
  }
}

}  // namespace

DriveCapabilities DecodeConfiguration(std::span<const uint8_t, kConfigurationBufferSize> response) {
  DriveCapabilities caps;
  const uint32_t dataLength = std::min(ReadBigEndian32(response, 0), kMaxDataLength);
  // Below 4 this wraps to a count the buffer's end reaches first, so the buffer alone bounds
  // the walk: descriptors the drive wrote are read, and its zero tail reads as empty lists.
  uint32_t remaining = dataLength - kDataLengthSize;
  uint32_t start = kHeaderSize;
  while (remaining != 0 && start <= kLastDescriptorStart) {
    const uint16_t feature = ReadBigEndian16(response, start);
    const uint8_t additionalLength = response[start + 3];
    if (feature == kProfileListFeature) {
      AddProfiles(response, start, additionalLength, caps);
    } else {
      AddFeature(response, start, feature, caps);
    }
    const uint32_t length = kDescriptorHeaderSize + additionalLength;
    remaining -= std::min(length, remaining);
    start += length;
  }
  return caps;
}

}  // namespace quoril

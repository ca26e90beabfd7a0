// SPDX-License-Identifier: MIT
#include "drive/configuration_walk.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "config_response.h"
#include "drive/capability_names.h"

namespace quoril {
namespace {

using test::ConfigResponse;

// Decodes `written` as the drive's answer in a heap buffer of exactly 2048 bytes, so that the
// sanitizer reports any read past its end.
DriveCapabilities Decode(const std::vector<uint8_t>& written) {
  EXPECT_LE(written.size(), kConfigurationBufferSize);
  std::vector<uint8_t> buffer(kConfigurationBufferSize, 0);
  std::copy(written.begin(), written.end(), buffer.begin());
  return DecodeConfiguration(
      std::span<const uint8_t, kConfigurationBufferSize>(buffer.data(), kConfigurationBufferSize));
}

uint64_t Bits(const DriveCapabilities& caps) {
  return uint64_t{caps.capsHigh} << 32 | caps.capsLow;
}

TEST(ConfigurationWalk, ProfilesCountWhetherCurrentOrNot) {
  EXPECT_EQ(Bits(Decode(ConfigResponse().Profiles({0x0040}, false).Build())), CAP_BD_ROM);
  EXPECT_EQ(Bits(Decode(ConfigResponse().Profiles({0x0040}, true).Build())), CAP_BD_ROM);
  // Numbers outside the tables, the unused bit 7 included, are passed over.
  EXPECT_EQ(Bits(Decode(ConfigResponse().Profiles({0x0002, 0x0003, 0x0044, 0xFFFF}).Build())), 0u);
  EXPECT_EQ(Bits(Decode(ConfigResponse().Profiles({0x0041, 0x0042}).Build())), CAP_BD_R);
  EXPECT_EQ(Bits(Decode(ConfigResponse().Profiles({0x0013, 0x0014}).Build())), CAP_DVD_RW);
}

TEST(ConfigurationWalk, SeveralProfileListsAllContribute) {
  const auto response =
      ConfigResponse().Profiles({0x0008}).Feature(0x001D).Profiles({0x0043}).Profiles({0x0010});
  EXPECT_EQ(Bits(Decode(response.Build())), CAP_CD_ROM | CAP_MULTI_READ | CAP_BD_RE | CAP_DVD_ROM);
}

TEST(ConfigurationWalk, ProfileListReadsOnlyWithinItsAdditionalLength) {
  // Length 0 adds nothing, even with entries behind it; length 6 holds the entries at 0 and 4.
  EXPECT_EQ(Bits(Decode(ConfigResponse().Feature(0x0000, {0x00, 0x40, 0, 0}, 0).Build())), 0u);
  const std::vector<uint8_t> three = {0x00, 0x40, 0, 0, 0x00, 0x43, 0, 0, 0x00, 0x08, 0, 0};
  EXPECT_EQ(Bits(Decode(ConfigResponse().Feature(0x0000, three, 6).Build())),
            CAP_BD_ROM | CAP_BD_RE);
}

TEST(ConfigurationWalk, DataLengthOfFourIsAnEmptyAnswer) {
  EXPECT_EQ(Bits(Decode(ConfigResponse().Build())), 0u);
  // Descriptors beyond the Data Length are not the drive's answer.
  EXPECT_EQ(Bits(Decode(ConfigResponse().Profiles({0x0040}).Build(4))), 0u);
}

TEST(ConfigurationWalk, DataLengthBelowFourIsBoundedByTheBufferAlone) {
  const auto response = ConfigResponse().Profiles({0x0040}).Feature(0x0108);
  for (const uint32_t dataLength : {0u, 1u, 2u, 3u}) {
    EXPECT_EQ(Bits(Decode(response.Build(dataLength))), CAP_BD_ROM | CAP_DRIVE_SERIAL_NUMBER)
        << dataLength;
  }
}

TEST(ConfigurationWalk, DescriptorReachedByTheDataLengthIsReadWhole) {
  ConfigResponse response;
  response.Feature(0x002E, {0x20, 0, 0, 0}).Profiles({0x0040});
  // One byte into the Profile List: all of it counts, and nothing after it.
  const uint32_t oneByteIn = 4 + 8 + 1;
  EXPECT_EQ(Bits(Decode(response.Feature(0x0108).Build(oneByteIn))), CAP_CD_SAO | CAP_BD_ROM);
  // Ending where it starts: it does not count.
  EXPECT_EQ(Bits(Decode(response.Build(4 + 8))), CAP_CD_SAO);
}

TEST(ConfigurationWalk, DataLengthAboveTheBufferIsTakenAs2044) {
  ConfigResponse response;
  response.Profiles({0x0010}).Filler(2044 - 16);
  ASSERT_EQ(response.Next(), 2044u);
  response.Feature(0x0108);  // its four bytes end the buffer
  const std::vector<uint8_t> full = response.Build();
  ASSERT_EQ(full.size(), kConfigurationBufferSize);
  for (const uint32_t dataLength : {2044u, 2045u, 0x10000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(Bits(Decode(response.Build(dataLength))), CAP_DVD_ROM | CAP_DRIVE_SERIAL_NUMBER)
        << dataLength;
  }
  // 2043 still reaches into the last descriptor; 2040 ends just before it.
  EXPECT_EQ(Bits(Decode(response.Build(2043))), CAP_DVD_ROM | CAP_DRIVE_SERIAL_NUMBER);
  EXPECT_EQ(Bits(Decode(response.Build(2040))), CAP_DVD_ROM);
}

TEST(ConfigurationWalk, NoDescriptorStartsPastByte2044) {
  ConfigResponse response;
  response.Filler(2045 - 8);
  ASSERT_EQ(response.Next(), 2045u);
  std::vector<uint8_t> bytes = response.Build(0xFFFFFFFF);
  // Three bytes are left: a Profile List header would be cut, so the walk stops.
  bytes.insert(bytes.end(), {0x00, 0x00, 0x08});
  EXPECT_EQ(Bits(Decode(bytes)), 0u);
}

TEST(ConfigurationWalk, NothingPastTheBufferIsReadNearItsEnd) {
  // A Profile List at 2036 claiming 40 bytes: only the entries at 2040 and 2044 lie inside.
  ConfigResponse list;
  list.Filler(2036 - 8);
  std::vector<uint8_t> bytes = list.Build(2044);
  bytes.insert(bytes.end(), {0x00, 0x00, 0x03, 40, 0x00, 0x40, 0, 0, 0x00, 0x43, 0, 0});
  EXPECT_EQ(Bits(Decode(bytes)), CAP_BD_ROM | CAP_BD_RE);

  // An entry whose profile number is the buffer's last two bytes still counts.
  ConfigResponse late;
  late.Filler(2042 - 8);
  bytes = late.Build(0xFFFFFFFF);
  bytes.insert(bytes.end(), {0x00, 0x00, 0x03, 8, 0x00, 0x41});
  EXPECT_EQ(Bits(Decode(bytes)), CAP_BD_R);

  // A feature at 2044 counts by presence; its flag bytes would lie past the end.
  ConfigResponse feature;
  feature.Filler(2044 - 8);
  bytes = feature.Build(0xFFFFFFFF);
  bytes.insert(bytes.end(), {0x00, 0x2D, 0x03, 0x04});
  EXPECT_EQ(Bits(Decode(bytes)), CAP_CD_TAO);
}

// Answers listing every feature that carries flags, their flag bytes (byte 5 of DVD+RW too) all
// set to one pattern, each decoded here by hand from the features' descriptions. Across the four
// patterns each bit of a flag byte is set in a combination of its own, so a bit read in the
// place of another shows; bits that name nothing (bit 7, bit 5 of Track at Once) add nothing.
TEST(ConfigurationWalk, FlagBitsDecodeAsTheFeaturesDescribeThem) {
  const auto answer = [](uint8_t pattern) {
    const std::vector<uint8_t> flags = {pattern, pattern, 0, 0};
    return Bits(Decode(ConfigResponse()
                           .Feature(0x001E, flags)  // CD Read
                           .Feature(0x002A, flags)  // DVD+RW
                           .Feature(0x002D, flags)  // Track at Once
                           .Feature(0x002E, flags)  // Mastering
                           .Feature(0x002F, flags)  // DVD-R/-RW Write
                           .Feature(0x0107, flags)  // Real Time Streaming
                           .Build()));
  };
  // Present whatever their flags: Track at Once, Real Time Streaming.
  constexpr uint64_t kPresent = CAP_CD_TAO | CAP_REAL_TIME_STREAMING;
  // 0x55, bits 0, 2, 4, 6: CD-Text; +RW Write; R-W Subcode, Test Write, R-W Raw, BUF (TAO);
  // R-W, Test Write, Raw MS, BUF (Mastering); Test Write, BUF (DVD-R); Stream Writing.
  EXPECT_EQ(answer(0x55), kPresent | CAP_CD_TEXT | CAP_DVD_PLUS_RW_WRITE | CAP_CD_RW_SUBCODE |
                              CAP_CD_TEST_WRITE | CAP_CD_RW_RAW | CAP_CD_BUF | CAP_CD_RAW_MS |
                              CAP_DVD_R_TEST_WRITE | CAP_DVD_R_BUF | CAP_STREAM_WRITING);
  // 0x33, bits 0, 1, 4, 5: CD-Text, C2; +RW Write, Quick Start; R-W Subcode, CD-RW, R-W Raw;
  // R-W, CD-RW, Raw MS, SAO; Stream Writing.
  EXPECT_EQ(answer(0x33), kPresent | CAP_CD_TEXT | CAP_CD_C2_FLAGS | CAP_DVD_PLUS_RW_WRITE |
                              CAP_DVD_PLUS_RW_QUICK_START | CAP_CD_RW_SUBCODE | CAP_CD_RW |
                              CAP_CD_RW_RAW | CAP_CD_RAW_MS | CAP_CD_SAO | CAP_STREAM_WRITING);
  // 0x0F, bits 0-3: CD-Text, C2; +RW Write, Quick Start; R-W Subcode, CD-RW, Test Write, R-W
  // Pack; R-W, CD-RW, Test Write, Raw; Test Write (DVD-R); Stream Writing.
  EXPECT_EQ(answer(0x0F), kPresent | CAP_CD_TEXT | CAP_CD_C2_FLAGS | CAP_DVD_PLUS_RW_WRITE |
                              CAP_DVD_PLUS_RW_QUICK_START | CAP_CD_RW_SUBCODE | CAP_CD_RW |
                              CAP_CD_TEST_WRITE | CAP_CD_RW_PACK | CAP_CD_RAW |
                              CAP_DVD_R_TEST_WRITE | CAP_STREAM_WRITING);
  // 0xF0, bits 4-7: R-W Raw, BUF (TAO); Raw MS, SAO, BUF (Mastering); BUF (DVD-R).
  EXPECT_EQ(answer(0xF0),
            kPresent | CAP_CD_RW_RAW | CAP_CD_BUF | CAP_CD_RAW_MS | CAP_CD_SAO | CAP_DVD_R_BUF);
}

TEST(ConfigurationWalk, FlagBitsCountWithoutTheirProfile) {
  // Track at Once's CD-RW flag stands for CD-RW even where profile 000Ah is absent.
  EXPECT_EQ(Bits(Decode(ConfigResponse().Feature(0x002D, {0x02, 0, 0, 0}).Build())),
            CAP_CD_TAO | CAP_CD_RW);
  EXPECT_EQ(Bits(Decode(ConfigResponse().Feature(0x002D, {0, 0, 0, 0}).Build())), CAP_CD_TAO);
}

TEST(ConfigurationWalk, PresenceFeaturesCountWhateverTheirData) {
  const auto response = ConfigResponse()
                            .Feature(0x0038, {0xFF, 0xFF, 0xFF, 0xFF})
                            .Feature(0x010D, {}, 0)
                            .Feature(0x0080, {0, 0, 0, 0});
  EXPECT_EQ(Bits(Decode(response.Build())), CAP_BD_R_POW | CAP_AACS | CAP_HYBRID_DISC);
}

std::vector<std::string_view> CapabilityNames(const DriveCapabilities& caps) {
  std::vector<std::string_view> names;
  ForEachCapabilityName(caps, [&](std::string_view name) { names.push_back(name); });
  return names;
}

TEST(CapabilityNames, NamesEveryBitThatHasOneInOrder) {
  EXPECT_EQ(CapabilityNames({0x00002000, 0}), std::vector<std::string_view>{"CAP_BD_ROM"});
  EXPECT_EQ(CapabilityNames({0x80000001, 0x00400001}),
            (std::vector<std::string_view>{"CAP_CD_ROM", "CAP_DVD_CSS", "CAP_DVD_CPRM",
                                           "CAP_DRIVE_SERIAL_NUMBER"}));
  // Bit 7 and bits 55-63 have no name; every other bit has its own.
  const std::vector<std::string_view> all = CapabilityNames({0xFFFFFFFF, 0xFFFFFFFF});
  EXPECT_EQ(all.size(), 31u + 23u);
  EXPECT_TRUE(CapabilityNames({0x00000080, 0xFF800000}).empty());
}

}  // namespace
}  // namespace quoril

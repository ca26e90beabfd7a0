// SPDX-License-Identifier: MIT
#include "cpu_display/display_vendor.h"

#include <string_view>

#include "common/narrow_text.h"
#include "platform/platform.h"
#include "quoril.h"

namespace quoril {
namespace {

constexpr std::string_view kSubsysTag = "SUBSYS";
// What fits the caller's buffer with its terminator.
constexpr size_t kVendorChars = QUORIL_VENDOR_BYTES - 1;
// "SUBSYS" itself and the vendor's characters after it (the first of which may be the "_").
constexpr size_t kMinTagToAmpersand = kSubsysTag.size() + kVendorChars;
constexpr size_t kNotFound = ~size_t{0};

// The first place from `from` on where `needle` stands in `text`, case-sensitively.
constexpr size_t Find(std::string_view text, std::string_view needle, size_t from) {
  for (size_t at = from; at + needle.size() <= text.size(); ++at) {
    size_t i = 0;
    while (i < needle.size() && text[at + i] == needle[i]) ++i;
    if (i == needle.size()) return at;
  }
  return kNotFound;
}

}  // namespace

int GetSubsystemVendor(int32_t index, char* out) {
  if (out == nullptr) return 0;
  out[0] = '\0';

  platform::DisplayDeviceA device{};
  device.cb = platform::kDisplayDeviceASize;
  // A negative index travels as the window system's unsigned device number, which names no
  // adapter, exactly as a host calling the window system itself would see.
  if (!platform::EnumDisplayDevicesA(nullptr, static_cast<uint32_t>(index), &device, 0)) return 0;

  // The identifier field is 128 bytes; one that fills them all without a terminator is read
  // up to the field's end and no further.
  const std::string_view id(device.DeviceID,
                            BoundedLength(device.DeviceID, sizeof device.DeviceID));
  const size_t tag = Find(id, kSubsysTag, 0);
  if (tag == kNotFound) return 1;
  const size_t ampersand = Find(id, "&", tag);
  if (ampersand == kNotFound || ampersand - tag < kMinTagToAmpersand) return 1;

  for (size_t i = 0; i < kVendorChars; ++i) out[i] = id[ampersand - kVendorChars + i];
  out[kVendorChars] = '\0';
  return 1;
}

}  // namespace quoril

#include "cpu_display/display_vendor.h"

#include <cstring>
#include <string_view>

#include "platform/platform.h"

namespace quoril {
namespace {

constexpr std::string_view kSubsysTag = "SUBSYS";
constexpr size_t kVendorChars = 4;
// "SUBSYS" itself, the underscore and at least three characters before the "&".
constexpr size_t kMinTagToAmpersand = 10;

}  // namespace

int GetSubsystemVendor(int32_t index, char* out) {
  if (out == nullptr) return 0;
  out[0] = '\0';

  platform::DisplayDeviceA device;
  device.cb = platform::kDisplayDeviceASize;
  // A negative index travels as the window system's unsigned device number, which names no
  // adapter, exactly as a host calling the window system itself would see.
  if (!platform::EnumDisplayDevicesA(nullptr, static_cast<uint32_t>(index), &device, 0)) return 0;

  // The identifier field is 128 bytes; one that fills them all without a terminator is read
  // up to the field's end and no further.
  const std::string_view id(device.DeviceID, strnlen(device.DeviceID, sizeof device.DeviceID));
  const size_t tag = id.find(kSubsysTag);
  if (tag == std::string_view::npos) return 1;
  const size_t ampersand = id.find('&', tag);
  if (ampersand == std::string_view::npos || ampersand - tag < kMinTagToAmpersand) return 1;

  std::memcpy(out, id.data() + ampersand - kVendorChars, kVendorChars);
  out[kVendorChars] = '\0';
  return 1;
}

}  // namespace quoril

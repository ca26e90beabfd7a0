// SPDX-License-Identifier: MIT
#include "platform/linux/pci_display.h"

#include "platform/linux/sysfs_root.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace quoril::platform::pci {
namespace {

namespace fs = std::filesystem;

// PCI base class of display controllers (VGA, XGA, 3D and other), the class code's top byte.
constexpr uint32_t kDisplayControllerBaseClass = 0x03;

// The first line of a sysfs attribute, without its newline; nothing when it can't be read.
std::optional<std::string> ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return line;
}

// A numeric attribute as the kernel writes it: "0x" and hex digits, at most `maxValue`.
std::optional<uint32_t> ReadHexAttribute(const fs::path& file, uint32_t maxValue) {
  const std::optional<std::string> text = ReadAttribute(file);
  if (!text || !text->starts_with("0x")) return std::nullopt;
  const char* const first = text->data() + 2;
  const char* const last = text->data() + text->size();
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(first, last, value, 16);
  if (error != std::errc() || end != last || value > maxValue) return std::nullopt;
  return value;
}

// The addresses of every display controller under `devicesDir`, sorted; none when the folder
// can't be listed completely, so numbering never shifts because of a failed read.
std::vector<std::string> DisplayAdapterAddresses(const fs::path& devicesDir) {
  std::optional<std::vector<std::string>> addresses = FolderEntries(devicesDir.string());
  if (!addresses) return {};
  std::erase_if(*addresses, [&devicesDir](const std::string& address) {
    const std::optional<uint32_t> classCode =
        ReadHexAttribute(devicesDir / address / "class", 0xFFFFFF);
    return !classCode || (*classCode >> 16) != kDisplayControllerBaseClass;
  });
  std::sort(addresses->begin(), addresses->end());
  return *addresses;
}

// Copies as much of `text` as fits, always leaving the field zero-terminated.
template <size_t N>
void CopyTruncated(std::string_view text, char (&field)[N]) {
  const size_t length = std::min(text.size(), N - 1);
  std::copy_n(text.data(), length, field);
  field[length] = '\0';
}

}  // namespace

bool EnumPciDisplayDevices(std::string_view devicesDir, const char* device, uint32_t devNum,
                           DisplayDeviceA* displayDevice) {
  if (device != nullptr || displayDevice == nullptr || displayDevice->cb != kDisplayDeviceASize) {
    return false;
  }
  const fs::path root(devicesDir);
  const std::vector<std::string> addresses = DisplayAdapterAddresses(root);
  if (devNum >= addresses.size()) return false;
  const std::string& address = addresses[devNum];
  const fs::path dir = root / address;
  const auto id = [&dir](const char* name, uint32_t maxValue) -> unsigned {
    return ReadHexAttribute(dir / name, maxValue).value_or(0);
  };

  DisplayDeviceA found{};
  found.cb = displayDevice->cb;
  std::snprintf(found.DeviceName, sizeof found.DeviceName, "\\\\.\\DISPLAY%lu",
                static_cast<unsigned long>(devNum) + 1);
  CopyTruncated("PCI display adapter " + address, found.DeviceString);
  std::snprintf(found.DeviceID, sizeof found.DeviceID,
                "PCI\\VEN_%04X&DEV_%04X&SUBSYS_%04X%04X&REV_%02X", id("vendor", 0xFFFF),
                id("device", 0xFFFF), id("subsystem_device", 0xFFFF),
                id("subsystem_vendor", 0xFFFF), id("revision", 0xFF));
  if (ReadAttribute(dir / "boot_vga") == "1") found.StateFlags = kStatePrimaryDevice;
  *displayDevice = found;
  return true;
}

}  // namespace quoril::platform::pci

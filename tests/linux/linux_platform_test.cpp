// SPDX-License-Identifier: MIT
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/pci_display.h"
#include "platform/platform.h"
#include "scratch_folder.h"

namespace quoril::platform {
namespace {

namespace fs = std::filesystem;
using Attributes = std::vector<std::pair<std::string, std::string>>;

// A scratch copy of the kernel's layout: functions live under devices/, and the folder that is
// listed holds symbolic links to them, as /sys/bus/pci/devices does.
class PciDisplayAdapters : public test::ScratchFolder {
 protected:
  void SetUp() override {
    ScratchFolder::SetUp();
    listed_ = root_ / "bus";
    fs::create_directories(listed_);
  }

  void AddFunction(const std::string& address, const Attributes& attributes) {
    const fs::path dir = root_ / "devices" / address;
    fs::create_directories(dir);
    for (const auto& [name, value] : attributes) Write(dir / name, value + '\n');
    fs::create_directory_symlink(dir, listed_ / address);
  }
  void AddDisplay(const std::string& address, const std::string& classCode = "0x030000") {
    AddFunction(address, {{"class", classCode}, {"vendor", "0x10de"}, {"device", "0x1c82"}});
  }
  std::optional<DisplayDeviceA> Enum(uint32_t devNum, const char* device = nullptr) const {
    DisplayDeviceA record{};
    record.cb = kDisplayDeviceASize;
    if (!pci::EnumPciDisplayDevices(listed_.string(), device, devNum, &record)) return {};
    return record;
  }
  // DeviceString of every adapter, walking the numbering until it answers false.
  std::vector<std::string> Listed() const {
    std::vector<std::string> found;
    while (const std::optional<DisplayDeviceA> record = Enum(found.size())) {
      found.push_back(record->DeviceString);
    }
    return found;
  }

  fs::path listed_;
};

TEST_F(PciDisplayAdapters, CountsDisplayControllersOnlyInAddressOrder) {
  AddDisplay("0000:02:00.0");
  AddDisplay("0000:00:02.0", "0x038000");
  AddDisplay("0000:01:00.0", "0x030200");
  AddDisplay("0000:00:03.0", "0x020000");
  AddDisplay("0000:00:04.0", "0x000300");
  AddFunction("0000:00:05.0", {{"class", "display"}});
  AddFunction("0000:00:06.0", {});
  EXPECT_EQ(Listed(), (std::vector<std::string>{"PCI display adapter 0000:00:02.0",
                                                "PCI display adapter 0000:01:00.0",
                                                "PCI display adapter 0000:02:00.0"}));
}

TEST_F(PciDisplayAdapters, DescribesAdapterInWindowSystemTerms) {
  AddDisplay("0000:00:02.0");
  AddFunction("0000:01:00.0", {{"class", "0x030000"},
                               {"vendor", "0x10de"},
                               {"device", "0x1c82"},
                               {"subsystem_vendor", "0x1458"},
                               {"subsystem_device", "0x3fbc"},
                               {"revision", "0xa1"},
                               {"boot_vga", "1"}});
  const std::optional<DisplayDeviceA> record = Enum(1);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->cb, kDisplayDeviceASize);
  EXPECT_STREQ(record->DeviceName, "\\\\.\\DISPLAY2");
  EXPECT_STREQ(record->DeviceID, "PCI\\VEN_10DE&DEV_1C82&SUBSYS_3FBC1458&REV_A1");
  EXPECT_EQ(record->StateFlags, pci::kStatePrimaryDevice);
  EXPECT_STREQ(record->DeviceKey, "");
  ASSERT_TRUE(Enum(0));
  EXPECT_EQ(Enum(0)->StateFlags, 0u);
}

TEST_F(PciDisplayAdapters, UnreadableIdentityReadsAsZero) {
  AddFunction("0000:00:02.0", {{"class", "0x030000"},
                               {"vendor", "0x8086"},
                               {"device", "0x12345"},
                               {"subsystem_vendor", "1458"},
                               {"subsystem_device", "0x"},
                               {"revision", "0xa1 b"},
                               {"boot_vga", "0"}});
  const std::optional<DisplayDeviceA> record = Enum(0);
  ASSERT_TRUE(record);
  EXPECT_STREQ(record->DeviceID, "PCI\\VEN_8086&DEV_0000&SUBSYS_00000000&REV_00");
  EXPECT_EQ(record->StateFlags, 0u);
}

TEST_F(PciDisplayAdapters, LongAddressIsTruncatedAndTerminated) {
  AddDisplay(std::string(200, 'a'));
  const std::optional<DisplayDeviceA> record = Enum(0);
  ASSERT_TRUE(record);
  EXPECT_EQ(std::strlen(record->DeviceString), sizeof record->DeviceString - 1);
}

TEST_F(PciDisplayAdapters, RefusalLeavesRecordUntouched) {
  EXPECT_FALSE(Enum(0));
  listed_ = root_ / "absent";
  EXPECT_FALSE(Enum(0));
  listed_ = root_ / "bus";
  AddDisplay("0000:00:02.0");
  ASSERT_TRUE(Enum(0));
  EXPECT_FALSE(Enum(1));
  EXPECT_FALSE(Enum(0xFFFFFFFF));
  EXPECT_FALSE(Enum(0, "\\\\.\\DISPLAY1"));

  DisplayDeviceA record{};
  record.StateFlags = 0x55;
  for (const uint32_t cb : {0u, kDisplayDeviceASize - 1, kDisplayDeviceASize + 1}) {
    record.cb = cb;
    EXPECT_FALSE(pci::EnumPciDisplayDevices(listed_.string(), nullptr, 0, &record)) << cb;
  }
  EXPECT_EQ(record.StateFlags, 0x55u);
  EXPECT_STREQ(record.DeviceName, "");
  EXPECT_FALSE(pci::EnumPciDisplayDevices(listed_.string(), nullptr, 0, nullptr));
}

#if defined(__x86_64__) || defined(__i386__)
// The kernel reads the vendor from leaf 0 itself, so /proc/cpuinfo is an independent witness.
TEST(LinuxPlatform, CpuidLeafZeroNamesTheKernelsVendor) {
  CpuidRegisters guarded;
  ASSERT_TRUE(CpuidGuarded(0, &guarded));
  char vendor[13] = {};
  std::memcpy(vendor, &guarded.ebx, 4);
  std::memcpy(vendor + 4, &guarded.edx, 4);
  std::memcpy(vendor + 8, &guarded.ecx, 4);
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line) && !line.starts_with("vendor_id")) {
  }
  ASSERT_TRUE(line.starts_with("vendor_id")) << "/proc/cpuinfo names no vendor";
  EXPECT_EQ(line.substr(line.find(": ") + 2), vendor);
  EXPECT_EQ(Cpuid(0).ebx, guarded.ebx);
}
#else
TEST(LinuxPlatform, CpuidIsAbsentOffX86) {
  CpuidRegisters out;
  EXPECT_FALSE(CpuidGuarded(0, &out));
}
#endif

TEST(LinuxPlatform, DebuggerOutputIsDiscardedSafely) {
  OutputDebugStringA(nullptr);
  OutputDebugStringA("x");
}

}  // namespace
}  // namespace quoril::platform

// SPDX-License-Identifier: MIT
// quoril.dll as a host sees it: loaded by name, reached through GetProcAddress, called through
// cdecl pointers, and checked against what the test reads from the machine itself.
#include <windows.h>

#include <cpuid.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "checked_call.h"
#include "library.h"
#include "quoril.h"
#include "quoril_export_list.h"
#include "sentinel_buffer.h"

namespace {

// The brand string, read here with the test's own CPUID.
std::string ReadBrand() {
  char brand[49] = {};
  unsigned eax, ebx, ecx, edx;
  __cpuid(0x80000000, eax, ebx, ecx, edx);
  const unsigned last = eax < 0x80000000 ? 0x80000001 : (eax < 0x80000004 ? eax : 0x80000004);
  for (unsigned leaf = 0x80000002; leaf <= last; ++leaf) {
    __cpuid(leaf, eax, ebx, ecx, edx);
    const uint32_t words[4] = {eax, ebx, ecx, edx};
    std::memcpy(brand + (leaf - 0x80000002) * 16, words, sizeof words);
  }
  return brand;
}

// What the debugger channel receives: OutputDebugStringA raises this exception, and a vectored
// handler sees it before the system's own handling swallows it.
constexpr DWORD kDebugPrintException = 0x40010006;
std::vector<std::string>* capturedDebugOutput = nullptr;

LONG CALLBACK CaptureDebugOutput(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionCode == kDebugPrintException && capturedDebugOutput != nullptr &&
      record->NumberParameters >= 2) {
    capturedDebugOutput->emplace_back(
        reinterpret_cast<const char*>(record->ExceptionInformation[1]),
        record->ExceptionInformation[0] - 1);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

class DllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(library_.get(), nullptr) << "quoril.dll not found by name";
    isCpu_ = library_.Find<quoril_fnVoIsCPU_fn>("fnVoIsCPU");
    getSvid_ = library_.Find<quoril_fnGetSVID_fn>(QUORIL_FNGETSVID_SYMBOL);
    ASSERT_NE(isCpu_, nullptr);
    ASSERT_NE(getSvid_, nullptr);
  }

  std::vector<std::string> DebugOutputOf(const char* text, int* result) {
    std::vector<std::string> messages;
    capturedDebugOutput = &messages;
    void* handler = AddVectoredExceptionHandler(1, &CaptureDebugOutput);
    *result = isCpu_(text);
    RemoveVectoredExceptionHandler(handler);
    capturedDebugOutput = nullptr;
    return messages;
  }

  Library library_;
  quoril_fnVoIsCPU_fn isCpu_ = nullptr;
  quoril_fnGetSVID_fn getSvid_ = nullptr;
};

TEST_F(DllTest, BrandTestAgreesWithTheProcessor) {
  const std::string brand = ReadBrand();
  std::string lower = brand;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

  int result = -1;
  EXPECT_EQ(DebugOutputOf(brand.c_str(), &result), (std::vector<std::string>{brand, "OK"}));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(DebugOutputOf((brand + "#").c_str(), &result),
            (std::vector<std::string>{brand, "FALSE"}));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(isCpu_(""), 1);
  if (brand.size() > 4) {
    EXPECT_EQ(isCpu_(brand.substr(2, brand.size() - 4).c_str()), 1);
  }
  if (lower != brand) {
    EXPECT_EQ(isCpu_(lower.c_str()), 0);
  }
  EXPECT_EQ(DebugOutputOf(nullptr, &result), std::vector<std::string>{});
  EXPECT_EQ(result, 0);
}

// Device identifiers in the window system's form, each with its subsystem vendor worked out by
// hand: the four characters that end the subsystem field, before its "&".
struct KnownAdapter {
  const char* id;
  const char* vendor;
};
constexpr KnownAdapter kKnownAdapters[] = {
    {"PCI\\VEN_0000&DEV_0000&SUBSYS_00000000&REV_00", "0000"},  // Wine's display adapter
    {"PCI\\VEN_10DE&DEV_1C82&SUBSYS_37131458&REV_A1", "1458"},
    {"PCI\\VEN_8086&DEV_0162&SUBSYS_21FA17AA&REV_09", "17AA"},
    {"PCI\\VEN_1002&DEV_67DF&SUBSYS_E3661DA2&REV_E7", "1DA2"},
    {"ROOT\\BASICDISPLAY", ""},
};

TEST_F(DllTest, SubsystemVendorAgreesWithTheWindowSystem) {
  DWORD index = 0;
  for (; index < 16; ++index) {
    DISPLAY_DEVICEA device;
    std::memset(&device, 0, sizeof device);
    device.cb = sizeof device;
    const bool present = EnumDisplayDevicesA(nullptr, index, &device, 0) != 0;
    const std::string id(device.DeviceID, strnlen(device.DeviceID, sizeof device.DeviceID));
    quoril::test::Narrow<QUORIL_VENDOR_BYTES> out;
    EXPECT_EQ(getSvid_(static_cast<long>(index), out.data()), present ? 1 : 0) << id;
    const std::string vendor = out.Text();
    EXPECT_TRUE(out.UntouchedFrom(vendor.size() + 1)) << id;
    if (!present) {
      EXPECT_EQ(vendor, "");
      break;
    }
    bool known = false;
    for (const KnownAdapter& adapter : kKnownAdapters) {
      if (id != adapter.id) continue;
      known = true;
      EXPECT_EQ(vendor, adapter.vendor) << id;
    }
    // An adapter not listed above: nothing, or four characters that stand before an "&".
    if (!known) {
      EXPECT_TRUE(vendor.empty() || (vendor.size() == 4 && id.find(vendor + "&") != id.npos))
          << id << " gave " << vendor;
    }
  }
  char out[QUORIL_VENDOR_BYTES] = "junk";
  EXPECT_EQ(getSvid_(-1, out), 0);
  EXPECT_STREQ(out, "");
}

// Every export, called through a plain pointer and then in every way a host may call it: each
// way answers what the export must answer, or (where the machine decides) what the plain call
// answered, leaves its buffers as the plain call did, and keeps the calling convention: the
// stack balanced and every callee-saved register as the caller left it.
TEST_F(DllTest, EveryExportAnswersTheSameHoweverCalled) {
  using quoril::test::Narrow;
  using quoril::test::Wide;
  const std::string brand = ReadBrand();
  Wide<QUORIL_BOARD_TEXT_UNITS> product, maker;
  Wide<QUORIL_CAPTION_UNITS> caption;
  Wide<QUORIL_CAPTION_LIST_UNITS> list;
  Narrow<QUORIL_BOARD_PRODUCT_A_BYTES> narrow;
  Narrow<QUORIL_VENDOR_BYTES> vendor;
  const std::u16string drive = u"D:";
  const auto each = [&](auto&& step) {
    step(product), step(maker), step(caption), step(list), step(narrow), step(vendor);
  };
  const auto refill = [&] { each([](auto& buffer) { buffer.Refill(); }); };
  const auto buffers = [&] {
    std::string all;
    each([&](auto& buffer) { all += buffer.Describe() + " "; });
    return all;
  };
  const auto at = [](const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); };
  constexpr int kMachine = -1;  // the machine decides
  constexpr int kNone = -2;     // returns nothing
  struct Call {
    const char* name;
    uintptr_t args[3];
    int answer;
  };
  const Call calls[] = {
      {"Test", {}, kNone},
      {"fnVoIsCPU", {at(brand.c_str())}, 1},
      {"fnVoIsCPU", {0}, 0},
      {"fnGetPID", {at(product.data())}, 1},
      {"fnGetWMIInfo", {at(product.data()), at(maker.data())}, 1},
      {"fnGetBaseBoardPorductA", {at(narrow.data())}, 0},
      {"fnListDriverCaption", {at(list.data()), QUORIL_CAPTION_LIST_UNITS}, 1},
      {"fnGetDriveCaptionW",
       {at(drive.c_str()), at(caption.data()), QUORIL_CAPTION_UNITS},
       kMachine},
      {"hasBDOdd", {}, kMachine},
      {QUORIL_FNGETSVID_SYMBOL, {0, at(vendor.data())}, kMachine},
      {QUORIL_FNGETSVID_SYMBOL, {0, 0}, 0},
  };
  // The table covers the whole export list, and nothing else is exported by these names.
  for (const char* absent : {"fnGetSVID", "DllMain", "_Z9fnGetSVIDlPc"}) {
    EXPECT_EQ(library_.Find<void*>(absent), nullptr) << absent;
  }
#define QUORIL_TEST_EXPORT_NAME(name) #name,
  for (const std::string_view listed : {QUORIL_EXPORT_LIST(QUORIL_TEST_EXPORT_NAME)}) {
    const std::string_view symbol = listed == "fnGetSVID" ? QUORIL_FNGETSVID_SYMBOL : listed;
    EXPECT_TRUE(std::any_of(std::begin(calls), std::end(calls),
                            [&](const Call& call) { return call.name == symbol; }))
        << listed << " is not called";
  }
#undef QUORIL_TEST_EXPORT_NAME
  using Plain = int(QUORIL_CALL*)(uintptr_t, uintptr_t, uintptr_t);
  for (const Call& call : calls) {
    void* const function = library_.Find<void*>(call.name);
    ASSERT_NE(function, nullptr) << call.name;
    refill();
    const int plain = reinterpret_cast<Plain>(function)(call.args[0], call.args[1], call.args[2]);
    const std::string wrote = buffers();
    if (call.answer >= 0) {
      EXPECT_EQ(plain, call.answer) << call.name;
    }
    for (uint32_t variant : kCallVariants) {
      const std::string how =
          std::string(call.name) + " called as variant " + std::to_string(variant);
      refill();
      CallCheck check{-1, ~0u};
      const int answer =
          CheckedCall(function, call.args[0], call.args[1], call.args[2], variant, &check);
      if (call.answer != kNone) {
        EXPECT_EQ(answer, plain) << how;
      }
      EXPECT_EQ(buffers(), wrote) << how;
      EXPECT_EQ(check.stackError, 0) << how;
      EXPECT_EQ(check.changedRegisters, 0u)
          << how << ": " << ChangedRegisterNames(check.changedRegisters);
    }
  }
}

}  // namespace

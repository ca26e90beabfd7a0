// SPDX-License-Identifier: MIT
// quoril.dll as a host sees it: loaded by name, reached through GetProcAddress, called through
// cdecl pointers, and checked against what the test reads from the machine itself.
#include <windows.h>

#include <cpuid.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "checked_call.h"
#include "library.h"
#include "quoril.h"

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

TEST_F(DllTest, ExportsExactlyTheDocumentedNames) {
  EXPECT_NE(library_.Find<quoril_Test_fn>("Test"), nullptr);
  EXPECT_EQ(GetProcAddress(library_.get(), "fnGetSVID"), nullptr);
  EXPECT_EQ(GetProcAddress(library_.get(), "DllMain"), nullptr);
  EXPECT_EQ(GetProcAddress(library_.get(), "_Z9fnGetSVIDlPc"), nullptr);
  library_.Find<quoril_Test_fn>("Test")();
}

TEST_F(DllTest, LoadingAndUnloadingHasNoEffect) {
  for (int i = 0; i < 20; ++i) {
    HMODULE again = LoadLibraryA("quoril.dll");
    ASSERT_EQ(again, library_.get());
    reinterpret_cast<quoril_Test_fn>(reinterpret_cast<void (*)()>(GetProcAddress(again, "Test")))();
    ASSERT_TRUE(FreeLibrary(again));
  }
  int first = isCpu_("");
  EXPECT_EQ(isCpu_(""), first);
}

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

// The vendor the window system's own record names for adapter `index`, read independently.
bool ExpectedVendor(DWORD index, std::string* vendor) {
  DISPLAY_DEVICEA device;
  std::memset(&device, 0, sizeof device);
  device.cb = sizeof device;
  if (!EnumDisplayDevicesA(nullptr, index, &device, 0)) return false;
  const std::string id(device.DeviceID, strnlen(device.DeviceID, sizeof device.DeviceID));
  vendor->clear();
  const size_t tag = id.find("SUBSYS");
  const size_t amp = tag == std::string::npos ? std::string::npos : id.find('&', tag);
  if (amp != std::string::npos && amp - tag >= 10) *vendor = id.substr(amp - 4, 4);
  return true;
}

TEST_F(DllTest, SubsystemVendorAgreesWithTheWindowSystem) {
  DWORD index = 0;
  for (; index < 16; ++index) {
    std::string expected;
    const bool present = ExpectedVendor(index, &expected);
    char out[QUORIL_VENDOR_BYTES + 3];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(getSvid_(static_cast<long>(index), out), present ? 1 : 0) << index;
    EXPECT_EQ(std::string(out), expected) << index;
    EXPECT_EQ(out[QUORIL_VENDOR_BYTES], '#');
    if (!present) break;
  }
  char out[QUORIL_VENDOR_BYTES] = "junk";
  EXPECT_EQ(getSvid_(-1, out), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(getSvid_(0, nullptr), 0);
  EXPECT_EQ(isCpu_(nullptr), 0);
}

// Calls that stay inside the DLL: the exports' own entry and exit, in every way a host may call.
TEST_F(DllTest, CallsKeepTheCallingConvention) {
  void* const test = reinterpret_cast<void*>(library_.Find<quoril_Test_fn>("Test"));
  for (uint32_t variant : kCallVariants) {
    SCOPED_TRACE(variant);
    for (void* function : {test, reinterpret_cast<void*>(isCpu_)}) {
      CallCheck check{-1, ~0u};
      CheckedCall(function, 0, 0, 0, variant, &check);
      EXPECT_EQ(check.stackError, 0);
      EXPECT_EQ(check.changedRegisters, 0u) << ChangedRegisterNames(check.changedRegisters);
    }
    CallCheck check{-1, ~0u};
    EXPECT_EQ(CheckedCall(reinterpret_cast<void*>(getSvid_), 0, 0, 0, variant, &check), 0);
    EXPECT_EQ(check.stackError, 0);
    EXPECT_EQ(check.changedRegisters, 0u) << ChangedRegisterNames(check.changedRegisters);
  }
}

// Whole answers, the operating system's calls included, in every way a host may call.
TEST_F(DllTest, AnswersAreTheSameHoweverCalled) {
  const std::string brand = ReadBrand();
  char out[8];
  std::string expected;
  const int present = ExpectedVendor(0, &expected) ? 1 : 0;
  for (uint32_t variant : kCallVariants) {
    SCOPED_TRACE(variant);
    CallCheck check{-1, ~0u};
    EXPECT_EQ(CheckedCall(reinterpret_cast<void*>(isCpu_),
                          reinterpret_cast<uintptr_t>(brand.c_str()), 0, 0, variant, &check),
              1);
    EXPECT_EQ(check.stackError, 0);
    EXPECT_EQ(check.changedRegisters, 0u) << ChangedRegisterNames(check.changedRegisters);

    check = {-1, ~0u};
    EXPECT_EQ(CheckedCall(reinterpret_cast<void*>(getSvid_), 0, reinterpret_cast<uintptr_t>(out), 0,
                          variant, &check),
              present);
    EXPECT_EQ(check.stackError, 0);
    EXPECT_EQ(check.changedRegisters, 0u) << ChangedRegisterNames(check.changedRegisters);
    EXPECT_EQ(std::string(out), expected);
  }
}

}  // namespace

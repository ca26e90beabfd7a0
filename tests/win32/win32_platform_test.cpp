// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace quoril::platform {
namespace {

bool ComLibrariesLoaded() {
  return ::GetModuleHandleA("OLE32.DLL") != nullptr ||
         ::GetModuleHandleA("OLEAUT32.DLL") != nullptr;
}

// This program imports neither library, so before any ComLibraries they are missing, as on a
// system without them, and each call answers as its function answers a failure.
TEST(Win32Com, MissingLibrariesAnswerAsFailures) {
  ASSERT_FALSE(ComLibrariesLoaded()) << "something in this process loaded the COM libraries";
  EXPECT_LT(quoril::platform::CoInitialize(nullptr), 0);
  quoril::platform::CoUninitialize();
  void* object = &object;
  EXPECT_LT(quoril::platform::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IWbemLocator, &object),
            0);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(quoril::platform::CoSetProxyBlanket(nullptr, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE,
                                                nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
            E_NOTIMPL);
  EXPECT_EQ(quoril::platform::SysAllocString(L"x"), nullptr);
  EXPECT_EQ(quoril::platform::SysAllocStringLen(L"x", 1), nullptr);
  quoril::platform::SysFreeString(nullptr);
  VARIANT value;
  quoril::platform::VariantInit(&value);
  EXPECT_EQ(value.vt, VT_EMPTY);
  EXPECT_LT(quoril::platform::VariantClear(&value), 0);
}

TEST(Win32Com, LoadedLibrariesAnswerForReal) {
  const ComLibraries libraries;
  ASSERT_TRUE(ComLibrariesLoaded());
  const BSTR text = quoril::platform::SysAllocString(L"abc");
  ASSERT_NE(text, nullptr);
  uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<const char*>(text) - sizeof bytes, sizeof bytes);
  EXPECT_EQ(bytes, 6u);
  VARIANT value;
  quoril::platform::VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = text;
  EXPECT_EQ(quoril::platform::VariantClear(&value), S_OK);
  EXPECT_EQ(value.vt, VT_EMPTY);

  ASSERT_EQ(quoril::platform::CoInitialize(nullptr), S_OK);
  EXPECT_EQ(quoril::platform::CoInitialize(nullptr), S_FALSE);
  quoril::platform::CoUninitialize();
  IWbemLocator* locator = nullptr;
  ASSERT_EQ(
      quoril::platform::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWbemLocator, reinterpret_cast<void**>(&locator)),
      S_OK);
  locator->Release();
  quoril::platform::CoUninitialize();
}

TEST(Win32Text, ThreadCodePageConverts) {
  wchar_t wide[8] = {};
  EXPECT_EQ(quoril::platform::MultiByteToWideChar(CP_THREAD_ACP, 0, "abc", -1, wide, 8), 4);
  EXPECT_STREQ(wide, L"abc");
  char narrow[8] = {};
  EXPECT_EQ(quoril::platform::WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, narrow, 8, nullptr,
                                                  nullptr),
            4);
  EXPECT_STREQ(narrow, "abc");
  EXPECT_EQ(quoril::platform::MultiByteToWideChar(CP_THREAD_ACP, 0, "abc", -1, wide, 2), 0);
}

}  // namespace
}  // namespace quoril::platform

// SPDX-License-Identifier: MIT
// The COM, automation and text-conversion calls for Windows.
//
// quoril.dll imports nothing from OLE32 or OLEAUT32: Windows 95 without DCOM has no OLE32 that
// offers what WMI needs, and a DLL whose imports cannot be resolved does not load at all. So a
// ComLibraries loads both libraries for the span of one WMI transaction, and every call below
// looks its function up at the moment it is made. Where the library or the function is
// missing, the call answers as that function answers a failure, and the logic's ordinary
// failure paths take over.
#include <windows.h>

#include "platform/code_page.h"
#include "platform/platform.h"

namespace quoril::platform {
namespace {

constexpr char kOle32[] = "OLE32.DLL";
constexpr char kOleAut32[] = "OLEAUT32.DLL";

// `name` in the already loaded `library`, as the type it is called through; null where either
// is missing. Only looks: a library that no one has loaded stays unloaded.
template <typename Function>
Function Resolve(const char* library, const char* name) {
  const HMODULE module = ::GetModuleHandleA(library);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

using CoInitializeFn = HRESULT(WINAPI*)(LPVOID);
using CoUninitializeFn = void(WINAPI*)();
using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
using CoSetProxyBlanketFn = HRESULT(WINAPI*)(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD, DWORD,
                                             RPC_AUTH_IDENTITY_HANDLE, DWORD);
using SysAllocStringFn = BSTR(WINAPI*)(const OLECHAR*);
using SysAllocStringLenFn = BSTR(WINAPI*)(const OLECHAR*, UINT);
using SysFreeStringFn = void(WINAPI*)(BSTR);
using VariantClearFn = HRESULT(WINAPI*)(VARIANTARG*);

// Whether the conversion that just answered 0 was refused for its code page (see
// ConvertInCodePage).
bool CodePageRefused() { return ::GetLastError() == ERROR_INVALID_PARAMETER; }

}  // namespace

ComLibraries::ComLibraries()
    : ole32_(::LoadLibraryA(kOle32)), oleaut32_(::LoadLibraryA(kOleAut32)) {}

ComLibraries::~ComLibraries() {
  // The automation library uses the COM library, so it goes first.
  if (oleaut32_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(oleaut32_));
  if (ole32_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(ole32_));
}

HRESULT CoInitialize(void* reserved) {
  const auto coInitialize = Resolve<CoInitializeFn>(kOle32, "CoInitialize");
  return coInitialize != nullptr ? coInitialize(reserved) : E_NOTIMPL;
}

void CoUninitialize() {
  const auto coUninitialize = Resolve<CoUninitializeFn>(kOle32, "CoUninitialize");
  if (coUninitialize != nullptr) coUninitialize();
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** ppv) {
  const auto coCreateInstance = Resolve<CoCreateInstanceFn>(kOle32, "CoCreateInstance");
  if (coCreateInstance != nullptr) return coCreateInstance(rclsid, outer, clsContext, riid, ppv);
  // As the real call does on failure: no object.
  if (ppv != nullptr) *ppv = nullptr;
  return E_NOTIMPL;
}

HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD authnSvc, DWORD authzSvc, OLECHAR* serverPrincName,
                          DWORD authnLevel, DWORD impLevel, RPC_AUTH_IDENTITY_HANDLE authInfo,
                          DWORD capabilities) {
  // Part of DCOM: an OLE32 without DCOM lacks it.
  const auto coSetProxyBlanket = Resolve<CoSetProxyBlanketFn>(kOle32, "CoSetProxyBlanket");
  if (coSetProxyBlanket == nullptr) return E_NOTIMPL;
  return coSetProxyBlanket(proxy, authnSvc, authzSvc, serverPrincName, authnLevel, impLevel,
                           authInfo, capabilities);
}

BSTR SysAllocString(const OLECHAR* text) {
  const auto sysAllocString = Resolve<SysAllocStringFn>(kOleAut32, "SysAllocString");
  return sysAllocString != nullptr ? sysAllocString(text) : nullptr;
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  const auto sysAllocStringLen = Resolve<SysAllocStringLenFn>(kOleAut32, "SysAllocStringLen");
  return sysAllocStringLen != nullptr ? sysAllocStringLen(text, length) : nullptr;
}

void SysFreeString(BSTR text) {
  const auto sysFreeString = Resolve<SysFreeStringFn>(kOleAut32, "SysFreeString");
  if (sysFreeString != nullptr) sysFreeString(text);
}

void VariantInit(VARIANT* value) {
  // All the automation library's VariantInit does; needs no library.
  if (value != nullptr) value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
  const auto variantClear = Resolve<VariantClearFn>(kOleAut32, "VariantClear");
  return variantClear != nullptr ? variantClear(value) : E_NOTIMPL;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* narrow, int narrowLength,
                        OLECHAR* wide, int wideLength) {
  return ConvertInCodePage(
      codePage,
      [&](UINT page) {
        return ::MultiByteToWideChar(page, flags, narrow, narrowLength, wide, wideLength);
      },
      CodePageRefused);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const OLECHAR* wide, int wideLength,
                        char* narrow, int narrowLength, const char* defaultChar,
                        BOOL* usedDefaultChar) {
  return ConvertInCodePage(
      codePage,
      [&](UINT page) {
        return ::WideCharToMultiByte(page, flags, wide, wideLength, narrow, narrowLength,
                                     defaultChar, usedDefaultChar);
      },
      CodePageRefused);
}

void WriteStandardOutput(const char* text) {
  if (text == nullptr) return;
  // Straight to the process's standard output handle: the library has no buffer of its own, so
  // the text stands in its place among the host's lines and is never lost in a buffer that no
  // one flushes. A process without standard output simply gets nothing.
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  DWORD length = 0;
  while (text[length] != '\0') ++length;
  DWORD written = 0;
  ::WriteFile(output, text, length, &written, nullptr);
}

}  // namespace quoril::platform

// SPDX-License-Identifier: MIT
// The COM, automation and text-conversion calls, answered natively on Linux.
//
// There are no COM apartments here and no system registry of classes: the one class the
// library creates, the WMI locator, is the in-process substitute of wmi_substitute.h. Strings
// and variants are laid out as on Windows, so the logic handles them exactly as it does there.
// The narrow code page is UTF-8, whichever ANSI page the logic names.
#include <unistd.h>
#include <cerrno>
#include <cstdint>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "common/wide_text.h"
#include "platform/linux/boundary.h"
#include "platform/linux/sysfs_root.h"
#include "platform/linux/utf.h"
#include "platform/linux/wmi_substitute.h"
#include "platform/platform.h"

namespace quoril::platform {
namespace {

constexpr HRESULT kClassENoAggregation = static_cast<HRESULT>(0x80040110);
constexpr HRESULT kDispEBadVarType = static_cast<HRESULT>(0x80020008);

constexpr UINT kCpOemcp = 1;
constexpr UINT kCpUtf8 = 65001;

constexpr DWORD kMbPrecomposed = 0x01;
constexpr DWORD kMbErrInvalidChars = 0x08;
constexpr DWORD kWcErrInvalidChars = 0x80;
constexpr DWORD kWcNoBestFitChars = 0x400;

// The system's and the thread's ANSI page, the OEM page and UTF-8 itself are all UTF-8 here.
bool IsKnownCodePage(UINT codePage) {
  return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == kCpOemcp ||
         codePage == kCpUtf8;
}

}  // namespace

// COM is part of this layer itself: there is no library to load.
ComLibraries::ComLibraries() = default;
ComLibraries::~ComLibraries() { (void)ole32_, (void)oleaut32_; }

HRESULT CoInitialize(void* /*reserved*/) { return S_OK; }

void CoUninitialize() {}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (outer != nullptr) return kClassENoAggregation;
  // The locator is only ever an in-process server.
  if (!(rclsid == kClsidWbemLocator) || (clsContext & CLSCTX_INPROC_SERVER) == 0) {
    return REGDB_E_CLASSNOTREG;
  }
  if (!(riid == kIidWbemLocator) && !(riid == kIidUnknown)) return E_NOINTERFACE;
  IWbemLocator* const locator =
      AnswerOrFail<IWbemLocator*>(nullptr, [] { return wmi::NewLocator(SysfsRoot()); });
  if (locator == nullptr) return E_OUTOFMEMORY;
  *ppv = locator;
  return S_OK;
}

// Every object here is in-process: there is no proxy whose security could be set.
HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD, DWORD, OLECHAR*, DWORD, DWORD,
                          RPC_AUTH_IDENTITY_HANDLE, DWORD) {
  return proxy != nullptr ? S_OK : E_INVALIDARG;
}

// A BSTR as Windows lays it out: the text's length in bytes in the four bytes before it, and a
// zero unit after it. The pointer handed out is the text's.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  constexpr UINT kMaxLength = (std::numeric_limits<uint32_t>::max() - 6) / 2;
  if (length > kMaxLength) return nullptr;
  const uint32_t bytes = length * 2;
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(uint32_t) + bytes + 2));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &bytes, sizeof bytes);
  auto* const units = reinterpret_cast<OLECHAR*>(block + sizeof(uint32_t));
  if (text != nullptr) {
    std::memcpy(units, text, bytes);
  } else {
    std::memset(units, 0, bytes);
  }
  units[length] = 0;
  return units;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  const size_t length = WideLength(text);
  if (length > std::numeric_limits<UINT>::max()) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(length));
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t));
}

void VariantInit(VARIANT* value) {
  if (value != nullptr) value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  switch (value->vt) {
    case VT_BSTR:
      SysFreeString(value->bstrVal);
      break;
    case VT_EMPTY:
    case VT_NULL:
    case VT_I4:
      break;
    default:
      // A type this layer doesn't know may own something; it is left as it is.
      return kDispEBadVarType;
  }
  value->vt = VT_EMPTY;
  return S_OK;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* narrow, int narrowLength,
                        OLECHAR* wide, int wideLength) {
  if (!IsKnownCodePage(codePage) || (flags & ~(kMbPrecomposed | kMbErrInvalidChars)) != 0 ||
      narrow == nullptr || narrowLength == 0 || narrowLength < -1 || wideLength < 0 ||
      (wide == nullptr && wideLength != 0)) {
    return 0;
  }
  // -1: the text through its terminator, which is converted and counted too.
  const size_t size = narrowLength == -1 ? std::strlen(narrow) + 1 : narrowLength;
  const std::optional<size_t> needed = utf::Utf8ToUtf16(
      {narrow, size}, (flags & kMbErrInvalidChars) != 0, wide, static_cast<size_t>(wideLength));
  if (!needed || *needed > static_cast<size_t>(std::numeric_limits<int>::max())) return 0;
  // A size of 0 asks only how much room the text needs.
  if (wideLength != 0 && *needed > static_cast<size_t>(wideLength)) return 0;
  return static_cast<int>(*needed);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const OLECHAR* wide, int wideLength,
                        char* narrow, int narrowLength, const char* defaultChar,
                        BOOL* usedDefaultChar) {
  if (!IsKnownCodePage(codePage) || (flags & ~(kWcErrInvalidChars | kWcNoBestFitChars)) != 0 ||
      wide == nullptr || wideLength == 0 || wideLength < -1 || narrowLength < 0 ||
      (narrow == nullptr && narrowLength != 0)) {
    return 0;
  }
  // As Windows, which takes no default character for UTF-8 asked for by name.
  if (codePage == kCpUtf8 && (defaultChar != nullptr || usedDefaultChar != nullptr)) return 0;
  const size_t size = wideLength == -1 ? WideLength(wide) + 1 : wideLength;
  // Only an unpaired surrogate has no UTF-8 form; the caller's default character stands in.
  const std::string_view replacement =
      defaultChar != nullptr ? std::string_view(defaultChar) : std::string_view();
  bool replaced = false;
  const std::optional<size_t> needed =
      utf::Utf16ToUtf8({wide, size}, (flags & kWcErrInvalidChars) != 0, replacement, narrow,
                       static_cast<size_t>(narrowLength), &replaced);
  if (!needed || *needed > static_cast<size_t>(std::numeric_limits<int>::max())) return 0;
  if (narrowLength != 0 && *needed > static_cast<size_t>(narrowLength)) return 0;
  if (usedDefaultChar != nullptr) *usedDefaultChar = replaced ? 1 : 0;
  return static_cast<int>(*needed);
}

void WriteStandardOutput(const char* text) {
  if (text == nullptr) return;
  // Straight to the descriptor, as the Windows layer writes to the standard output handle: the
  // library keeps no buffer of its own, so the text is never held back behind the host's.
  for (size_t left = std::strlen(text); left != 0;) {
    const ssize_t written = ::write(STDOUT_FILENO, text, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text += written;
    left -= static_cast<size_t>(written);
  }
}

}  // namespace quoril::platform

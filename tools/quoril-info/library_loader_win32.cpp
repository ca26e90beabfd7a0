// SPDX-License-Identifier: MIT
// DLL loading for Windows builds: LoadLibraryA and GetProcAddress, exactly as a host does it.
#include <windows.h>

#include <cstring>
#include <string>

#include "library_loader.h"

namespace quoril_info {
namespace {

HMODULE AsModule(void* handle) { return static_cast<HMODULE>(handle); }

std::string SystemMessage(DWORD code) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, sizeof text, nullptr);
  std::string message = "error " + std::to_string(code);
  std::string reason(text, length);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.')) {
    reason.pop_back();
  }
  if (!reason.empty()) message += ": " + reason;
  return message;
}

std::string ModulePath(HMODULE module, const std::string& fallback) {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? fallback : std::string(path, length);
}

}  // namespace

const char* LoadedLibrary::DefaultName() { return "quoril.dll"; }

void LoadedLibrary::Unloader::operator()(void* handle) const noexcept {
  FreeLibrary(AsModule(handle));
}

std::optional<LoadedLibrary> LoadedLibrary::Open(const std::string& name, std::string& error) {
  // A library that cannot be found is an answer to report, not a reason for a message box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  // The system's own search order already starts in the executable's folder.
  HMODULE module = LoadLibraryA(name.c_str());
  if (module == nullptr) {
    error = SystemMessage(GetLastError());
    return std::nullopt;
  }
  LoadedLibrary library(module, std::string());
  library.path_ = ModulePath(module, name);
  return library;
}

// Read from the loaded module's own resource, so the tool needs no library of the system's
// version functions.
std::string LoadedLibrary::Version() const {
  const HMODULE module = AsModule(handle_.get());
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
  const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const auto* block = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
  // The block starts with its length, its value's length and type (16 bits each) and the key
  // L"VS_VERSION_INFO"; its value, the fixed file information, follows on a 32-bit boundary.
  constexpr DWORD kFixedAt = (6 + sizeof(L"VS_VERSION_INFO") + 3) & ~DWORD{3};
  VS_FIXEDFILEINFO fixed;
  if (block == nullptr || SizeofResource(module, found) < kFixedAt + sizeof fixed) return "";
  std::memcpy(&fixed, block + kFixedAt, sizeof fixed);
  if (fixed.dwSignature != VS_FFI_SIGNATURE) return "";
  std::string version = std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." +
                        std::to_string(LOWORD(fixed.dwFileVersionMS)) + "." +
                        std::to_string(HIWORD(fixed.dwFileVersionLS));
  if (LOWORD(fixed.dwFileVersionLS) != 0) {
    version += "." + std::to_string(LOWORD(fixed.dwFileVersionLS));
  }
  return version;
}

LoadedLibrary::Symbol LoadedLibrary::Find(const char* symbol) const {
  return reinterpret_cast<Symbol>(GetProcAddress(AsModule(handle_.get()), symbol));
}

}  // namespace quoril_info

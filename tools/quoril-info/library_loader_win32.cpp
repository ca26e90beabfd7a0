// DLL loading for Windows builds: LoadLibraryA and GetProcAddress, exactly as a host does it.
#include <windows.h>

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

LoadedLibrary::Symbol LoadedLibrary::Find(const char* symbol) const {
  return reinterpret_cast<Symbol>(GetProcAddress(AsModule(handle_.get()), symbol));
}

}  // namespace quoril_info

// SPDX-License-Identifier: MIT
// Opens the Quoril library the way a host application does: by name, at run time, without
// linking against it. Each platform's loader lives in its own source file behind this class.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace quoril_info {

class LoadedLibrary {
 public:
  // Any exported function, before it is given its real type.
  using Symbol = void (*)();

  // The name a host asks the system loader for: quoril.dll on Windows, libquoril.so.1 (the
  // major version) elsewhere.
  static const char* DefaultName();

  // Opens `name`. A bare file name is searched for as a host's loader would search for it,
  // starting in this executable's own folder; a name with a folder in it is opened as given.
  // On failure answers nothing and puts the loader's reason in `error`.
  static std::optional<LoadedLibrary> Open(const std::string& name, std::string& error);

  // The file that was actually loaded.
  const std::string& path() const { return path_; }

  // The library's version where the system records one, else empty: the file version of the
  // DLL's version resource on Windows; elsewhere the version that names the file behind the
  // SONAME (libquoril.so.1 links to libquoril.so.1.0.0: "1.0.0").
  std::string Version() const;

  // The address exported under `symbol`, or null when the library has no such export.
  Symbol Find(const char* symbol) const;

  template <typename Function>
  Function FindAs(const char* symbol) const {
    return reinterpret_cast<Function>(Find(symbol));
  }

 private:
  // Gives the module back to the system loader when the last owner lets go of it.
  struct Unloader {
    void operator()(void* handle) const noexcept;
  };

  LoadedLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  std::unique_ptr<void, Unloader> handle_;
  std::string path_;
};

}  // namespace quoril_info

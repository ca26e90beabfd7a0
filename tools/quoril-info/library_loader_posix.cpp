// SPDX-License-Identifier: MIT
// Shared-object loading for native builds: dlopen and dlsym.
#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <system_error>

#include "library_loader.h"
#include "quoril.h"

#define QUORIL_INFO_STRINGIFY(x) #x
#define QUORIL_INFO_NUMBER_TEXT(x) QUORIL_INFO_STRINGIFY(x)

namespace quoril_info {
namespace {

// This executable's folder, or an empty path when the system does not say.
std::filesystem::path ExecutableFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

std::string LoaderError() {
  const char* reason = dlerror();
  return reason != nullptr ? reason : "unknown loader error";
}

// The file the loader settled on: for a searched-for name that is where the search ended.
std::string LoadedPath(void* handle, const std::string& fallback) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr ||
      map->l_name[0] == '\0') {
    return fallback;
  }
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(map->l_name, error);
  return error ? std::string(map->l_name) : absolute.string();
}

}  // namespace

// The run-time name that the library's SONAME gives: beside the program in a build tree, and
// through the program's run path or the system's search path once installed.
const char* LoadedLibrary::DefaultName() {
  return "libquoril.so." QUORIL_INFO_NUMBER_TEXT(QUORIL_VERSION_MAJOR);
}

void LoadedLibrary::Unloader::operator()(void* handle) const noexcept { dlclose(handle); }

std::optional<LoadedLibrary> LoadedLibrary::Open(const std::string& name, std::string& error) {
  std::string target = name;
  // A host ships the library beside itself; only a bare name takes part in that search, so a
  // path the caller spelled out is never swapped for another file.
  if (name.find('/') == std::string::npos) {
    const std::filesystem::path folder = ExecutableFolder();
    std::error_code missing;
    if (!folder.empty() && std::filesystem::exists(folder / name, missing)) {
      target = (folder / name).string();
    }
  }
  void* handle = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    error = LoaderError();
    return std::nullopt;
  }
  // Owned from here on, so that every way out of this function closes it.
  LoadedLibrary library(handle, std::string());
  library.path_ = LoadedPath(handle, target);
  return library;
}

// A file named by the major version alone (a copy made under the SONAME, or another library's
// libm.so.6) records no full version: only names with at least a major and a minor number count.
std::string LoadedLibrary::Version() const {
  std::error_code error;
  const std::string file = std::filesystem::canonical(path_, error).filename().string();
  const std::size_t suffix = file.find(".so.");
  if (error || suffix == std::string::npos) return std::string();
  const std::string version = file.substr(suffix + 4);
  if (version.find('.') == std::string::npos ||
      version.find_first_not_of("0123456789.") != std::string::npos) {
    return std::string();
  }
  return version;
}

LoadedLibrary::Symbol LoadedLibrary::Find(const char* symbol) const {
  return reinterpret_cast<Symbol>(dlsym(handle_.get(), symbol));
}

}  // namespace quoril_info

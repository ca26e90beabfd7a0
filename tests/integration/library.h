// SPDX-License-Identifier: MIT
// quoril.dll as a host holds it: loaded by name, its exports found by name.
#pragma once

#include <windows.h>

class Library {
 public:
  Library() : module_(LoadLibraryA("quoril.dll")) {}
  ~Library() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  HMODULE get() const { return module_; }
  template <typename Fn>
  Fn Find(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

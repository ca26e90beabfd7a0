// Ownership in the type for Win32 resources: each guard releases what it holds exactly once,
// on every path out of the scope that acquired it.
#pragma once

#include <windows.h>

#include <utility>

namespace quoril::platform {

template <typename T, auto Release>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) noexcept : value_(value) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, T{}));
    return *this;
  }
  ~UniqueResource() { reset(); }

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != T{}; }
  void reset(T value = T{}) noexcept {
    if (value_ != T{}) Release(value_);
    value_ = value;
  }

 private:
  T value_{};
};

// A library loaded with LoadLibraryA, freed with FreeLibrary.
using UniqueModule = UniqueResource<HMODULE, &FreeLibrary>;

}  // namespace quoril::platform

// SPDX-License-Identifier: MIT
// Ownership in the type: each guard releases what it holds exactly once, on every path out of
// the scope that acquired it. Portable: the release function is whatever the platform layer
// offers for the resource (CloseHandle, FreeLibrary, SysFreeString, ...).
#pragma once

#include <utility>

namespace quoril {

// Holds one value of T; `Release` is called on it unless it equals `Empty`. Handles that
// report failure as some other value (INVALID_HANDLE_VALUE) are turned into `Empty` by whoever
// acquires them, so that a guard never releases a failure value.
template <typename T, auto Release, T Empty = T{}>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) noexcept : value_(value) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(std::exchange(other.value_, Empty)) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Empty));
    return *this;
  }
  ~UniqueResource() { reset(); }

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Empty; }
  // Gives up ownership without releasing.
  T release() noexcept { return std::exchange(value_, Empty); }
  void reset(T value = Empty) noexcept {
    if (value_ != Empty) Release(value_);
    value_ = value;
  }

 private:
  T value_ = Empty;
};

}  // namespace quoril

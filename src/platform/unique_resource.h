// SPDX-License-Identifier: MIT
// Ownership in the type: every resource the library acquires is held by one of the guards in
// this header, which releases it exactly once, on every path out of the scope that acquired it.
// Each guard is one line that names the type it holds, the call that releases it and which
// values mean "none": a guard holding none releases nothing and tests false. The release calls
// are the platform layer's, so the guards are the same on every platform.
#pragma once

#include <type_traits>
#include <utility>

#include "platform/platform.h"

namespace quoril {

// "None" is the type's zero value: null for interface pointers, strings, libraries and events.
template <typename T>
struct ZeroIsNone {
  static constexpr T None() noexcept { return T{}; }
  static bool IsNone(T value) noexcept { return value == T{}; }
};

// CreateFileA reports failure as null or as INVALID_HANDLE_VALUE: both mean "none", so a guard
// given either one closes nothing.
struct NullOrInvalidIsNone {
  static constexpr platform::Handle None() noexcept { return nullptr; }
  static bool IsNone(platform::Handle value) noexcept {
    return value == nullptr || value == platform::InvalidHandleValue();
  }
};

// Holds one value of T, and calls `Release` on it unless `NoneTraits` says it is none.
template <typename T, auto Release, typename NoneTraits = ZeroIsNone<T>>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) noexcept : value_(value) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return !NoneTraits::IsNone(value_); }
  // Member access through a held interface pointer.
  T operator->() const noexcept requires std::is_pointer_v<T> { return value_; }

  // The address to hand to a call that delivers a resource; whatever was held is released
  // first, so the slot holds none when the call sees it.
  T* put() noexcept {
    reset();
    return &value_;
  }
  // Gives up ownership without releasing; the caller releases what it is given.
  T release() noexcept { return std::exchange(value_, NoneTraits::None()); }
  void reset(T value = NoneTraits::None()) noexcept {
    if (!NoneTraits::IsNone(value_)) Release(value_);
    value_ = value;
  }

 private:
  T value_ = NoneTraits::None();
};

// What a COM interface reference is released with.
template <typename Interface>
void ReleaseReference(Interface* object) noexcept {
  object->Release();
}

// An opened volume device (from CreateFileA) or an event (from CreateEventA).
using UniqueHandle = UniqueResource<platform::Handle, &platform::CloseHandle, NullOrInvalidIsNone>;
// A library loaded with LoadLibraryA.
using UniqueLibrary = UniqueResource<platform::Module, &platform::FreeLibrary>;
// A string from SysAllocString or SysAllocStringLen.
using UniqueBstr = UniqueResource<BSTR, &platform::SysFreeString>;
// One reference to a COM interface.
template <typename Interface>
using ComPtr = UniqueResource<Interface*, &ReleaseReference<Interface>>;

// The two scopes below own no value that could be moved: a VARIANT lives in place, and COM
// initialisation belongs to the calling thread.

// A VARIANT that is initialised when made and cleared when it goes.
class UniqueVariant {
 public:
  UniqueVariant() noexcept { platform::VariantInit(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { platform::VariantClear(&value_); }

  VARIANT* get() noexcept { return &value_; }
  const VARIANT& operator*() const noexcept { return value_; }

 private:
  VARIANT value_;
};

// The calling thread's COM initialisation for one transaction: CoUninitialize balances it only
// when CoInitialize succeeded (S_OK or S_FALSE), so a thread that was already in another
// apartment is left exactly as it was found.
class ComApartment {
 public:
  ComApartment() : result_(platform::CoInitialize(nullptr)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(result_)) platform::CoUninitialize();
  }

  HRESULT result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

}  // namespace quoril

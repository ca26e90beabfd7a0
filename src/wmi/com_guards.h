// SPDX-License-Identifier: MIT
// Ownership in the type for COM: interface references, strings, variants and the calling
// thread's COM initialisation are each released exactly once, on every path out of the scope
// that acquired them, by construction.
#pragma once

#include <utility>

#include "platform/platform.h"
#include "platform/unique_resource.h"

namespace quoril::wmi {

// One reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // The address to hand to a call that delivers a reference; whatever was held is released
  // first, so the slot is always null when the call sees it.
  T** put() noexcept {
    reset();
    return &p_;
  }
  // Gives the reference to the caller, who then releases it.
  T* detach() noexcept { return std::exchange(p_, nullptr); }
  void reset(T* p = nullptr) noexcept {
    if (p_ != nullptr) p_->Release();
    p_ = p;
  }

 private:
  T* p_ = nullptr;
};

using UniqueBstr = UniqueResource<BSTR, &platform::SysFreeString>;

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

}  // namespace quoril::wmi

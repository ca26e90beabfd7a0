// SPDX-License-Identifier: MIT
// A borrowed callable: a reference to a function object for the length of one call, without the
// allocation and the type machinery of a general-purpose function wrapper.
#pragma once

#include <type_traits>
#include <utility>

namespace quoril {

template <typename Signature>
class FunctionRef;

template <typename Result, typename... Args>
class FunctionRef<Result(Args...)> {
 public:
  // Refers to `function`, which must outlive every call through this reference.
  template <typename Function>
  requires(!std::is_same_v<std::remove_cvref_t<Function>, FunctionRef> &&
           std::is_invocable_r_v<Result, Function&, Args...>) FunctionRef(Function&& function)
  noexcept  // NOLINT(google-explicit-constructor)
      : object_(const_cast<void*>(static_cast<const void*>(&function))),
        call_([](void* object, Args... args) -> Result {
          return (*static_cast<std::remove_reference_t<Function>*>(object))(
              std::forward<Args>(args)...);
        }) {}

  Result operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

 private:
  void* object_;
  Result (*call_)(void*, Args...);
};

}  // namespace quoril

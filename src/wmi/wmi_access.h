// SPDX-License-Identifier: MIT
// WMI access: a COM scope on the calling thread, the in-process locator, the local namespace
// "ROOT\CIMV2" under a fixed security blanket, the instances of one class, and their string
// properties. Two entry styles reach the same namespace with the same blanket and listing flags:
//
//   the query style, QueryWmiClass, owns the whole transaction and visits every instance;
//   the enumeration style, ConnectWmiNamespace and EnumWmiClassInstances, leaves the COM scope,
//   the walk and the releases to the export that uses it (see EnumerationFrame).
//
// They differ on purpose, and callers see the differences: a thread already in the
// multithreaded apartment makes the query style fail but not the enumeration style; the query
// style widens its texts with the system ANSI code page and the enumeration style with the
// thread's; the query style takes a property only when Get answers exactly WBEM_S_NO_ERROR,
// the enumeration style whenever Get does not fail.
#pragma once

#include <cstddef>

#include "common/function_ref.h"
#include "platform/platform.h"
#include "platform/unique_resource.h"

namespace quoril::wmi {

// Forward-only, semi-synchronous listings, for both styles.
inline constexpr LONG kListingFlags = WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY;

// Which results of IWbemClassObject::Get let a property's text count.
enum class Acceptance {
  kExactSuccess,  // query style: exactly WBEM_S_NO_ERROR
  kNotFailed,     // enumeration style: any non-negative result
};

// One string property of an instance, read when made: its text, or nothing when the read fails
// (as `acceptance` judges it) or the value is not a string (missing, null, another type). The
// text stays in the variant that holds it, valid for as long as this object lives, so reading
// a property copies and allocates nothing; a user copies what it keeps.
class StringProperty {
 public:
  StringProperty(IWbemClassObject* instance, const char16_t* name, Acceptance acceptance);
  StringProperty(const StringProperty&) = delete;
  StringProperty& operator=(const StringProperty&) = delete;

  // Whether the property yielded text (possibly empty).
  explicit operator bool() const noexcept { return text_ != nullptr; }
  // The text's units up to its first zero unit, and their number.
  const char16_t* text() const noexcept { return text_; }
  size_t length() const noexcept { return length_; }

 private:
  UniqueVariant value_;
  const char16_t* text_ = nullptr;
  size_t length_ = 0;
};

// What QueryWmiClass does with each instance.
using InstanceAction = FunctionRef<void(IWbemClassObject*)>;

// Runs the WQL query `query` in "ROOT\CIMV2" and calls `action` once for every instance, in
// listing order, lending it the instance for that call only. Answers 1 when the query ran,
// whatever the number of instances; 0 when COM could not be initialised on this thread or the
// locator, the connection, the blanket or the query failed (then `action` was never called).
int QueryWmiClass(const char* query, InstanceAction action);

// Creates the locator, connects to `ns` and sets the blanket on the services. `user` and
// `password` are passed only when both are given. Success: both out-pointers hold references
// the caller releases, the services first. Failure: a negative result, both null. A null
// out-pointer writes "Invalid   argument\n" to standard output and answers E_INVALIDARG.
HRESULT ConnectWmiNamespace(IWbemLocator** locator, IWbemServices** services, const char* ns,
                            const char* user, const char* password);

// Lists the instances of `className` through `services`. The listing exists exactly when
// `*enumerator` is non-null afterwards. A null `services` or `enumerator` writes
// "Invalid   argument\n" to standard output and answers E_INVALIDARG.
HRESULT EnumWmiClassInstances(IWbemServices* services, IEnumWbemClassObject** enumerator,
                              const char* className);

// The frame of an export that uses the enumeration style: the COM libraries and the thread's
// COM scope (balanced only if it was opened), the connection to "ROOT\CIMV2" and the listing
// of one class. Every reference is released in the order instance, enumerator, services,
// locator, then the COM scope is closed.
class EnumerationFrame {
 public:
  explicit EnumerationFrame(const char* className);
  EnumerationFrame(const EnumerationFrame&) = delete;
  EnumerationFrame& operator=(const EnumerationFrame&) = delete;

  // The next instance, held until the following call or the end of the frame; null when the
  // listing is over or was never there.
  IWbemClassObject* Next();

 private:
  // Declaration order is the reverse of the release order.
  platform::ComLibraries libraries_;
  ComApartment apartment_;
  ComPtr<IWbemLocator> locator_;
  ComPtr<IWbemServices> services_;
  ComPtr<IEnumWbemClassObject> enumerator_;
  ComPtr<IWbemClassObject> instance_;
};

}  // namespace quoril::wmi

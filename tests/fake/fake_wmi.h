// SPDX-License-Identifier: MIT
// A scriptable WMI and COM runtime for unit tests: classes with any number of instances,
// properties of every kind, a failure at any step, a record of every argument the logic
// passed, and reference counts that prove every object is released exactly once.
//
// Every call is serialised by one lock, so exports may be called from several threads at once;
// each thread has its own COM apartment, as on Windows.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/com_types.h"

namespace quoril::fake {

// What IWbemClassObject::Get finds for one property.
struct FakeProperty {
  enum class Kind { kText, kNull, kInteger };
  Kind kind = Kind::kText;
  std::u16string text;
  int32_t integer = 0;
  // Get's result. Negative: the read fails and the value is not filled. Zero or positive: the
  // value is filled and this is answered (a positive value is a success other than
  // WBEM_S_NO_ERROR).
  HRESULT result = 0;

  static FakeProperty Text(std::u16string text, HRESULT result = 0);
  static FakeProperty Null();
  static FakeProperty Integer(int32_t value);
  static FakeProperty Failing(HRESULT result);
};

// One instance: its properties by name. A name that is not here answers WBEM_E_NOT_FOUND.
using FakeInstance = std::map<std::u16string, FakeProperty>;

enum class FakeObjectKind { kLocator, kServices, kEnumerator, kInstance };

// One COM object the fake handed out. Objects stay in memory until the machine is reset, so a
// call on a released object is recorded as a violation instead of being undefined.
struct FakeObjectState {
  FakeObjectKind kind;
  long references = 1;
  long releases = 0;
  const void* identity = nullptr;  // the object as IUnknown
  std::shared_ptr<void> object;    // owns the object itself
};

struct FakeCreation {
  CLSID clsid;
  bool outerIsNull;
  DWORD context;
  IID iid;
};

struct FakeConnection {
  std::optional<std::u16string> resource, user, password, locale, authority;
  LONG securityFlags;
  bool contextIsNull;
};

struct FakeBlanket {
  bool proxyIsServices;  // the proxy is a services object the fake handed out
  DWORD authnSvc, authzSvc;
  bool principalIsNull;
  DWORD authnLevel, impLevel;
  bool authInfoIsNull;
  DWORD capabilities;
};

struct FakeListing {
  bool isQuery;                            // ExecQuery; otherwise CreateInstanceEnum
  std::optional<std::u16string> language;  // ExecQuery only
  std::optional<std::u16string> text;      // the query, or the class name
  LONG flags;
  bool contextIsNull;
};

struct FakeNextCall {
  LONG timeout;
  ULONG count;
};

struct FakePropertyRead {
  std::u16string name;
  LONG flags;
  bool typeIsNull;
  bool flavorIsNull;
};

struct FakeConversion {
  bool toWide;
  UINT codePage;
  DWORD flags;
};

struct FakeWmi {
  // Instances by class name, in listing order. A query must read "SELECT * FROM <class>".
  std::map<std::u16string, std::vector<FakeInstance>> classes;

  // --- Failures, each injected at its own step ----------------------------------------------
  std::optional<HRESULT> coInitializeResult;  // answered instead of the apartment model's own
  HRESULT createLocatorResult = S_OK;         // a negative result hands out no locator
  HRESULT connectResult = S_OK;
  HRESULT blanketResult = S_OK;
  HRESULT listingResult = S_OK;  // ExecQuery and CreateInstanceEnum
  // With a non-negative listingResult: whether an enumerator comes back; with a negative one:
  // whether one comes back all the same (the logic must look at the pointer, not the result).
  bool listingGivesEnumerator = true;
  // Next fails (answering `nextFailure` and no object) from this call on, counting from 0.
  std::optional<size_t> nextFailsFromCall;
  HRESULT nextFailure = static_cast<HRESULT>(0x80041001);
  // Result of a Next that delivers an object (WBEM_S_NO_ERROR normally).
  HRESULT nextDeliveryResult = S_OK;
  // The narrow conversions fail (answer 0).
  bool conversionFails = false;
  // A code page the system refuses as an invalid parameter: CP_THREAD_ACP on Windows before
  // 2000. Conversions in it answer 0.
  std::optional<UINT> unknownCodePage;
  // SysAllocString and SysAllocStringLen answer null from this allocation on, counting from 0.
  std::optional<size_t> stringAllocationFailsFrom;
  // (Any single call can also be made to fail through FakeMachine::failingCall.)

  // --- What the logic asked, in order ---------------------------------------------------------
  // The COM-level events, for order checks: "CoInitialize", "CoUninitialize",
  // "CoCreateInstance", "ConnectServer", "CoSetProxyBlanket", "ExecQuery",
  // "CreateInstanceEnum", "Next", "Get <name>", "Release <kind>" (the last release of an
  // object: locator, services, enumerator, instance).
  std::vector<std::string> events;
  std::vector<FakeCreation> creations;
  std::vector<FakeConnection> connections;
  std::vector<FakeBlanket> blankets;
  std::vector<FakeListing> listings;
  std::vector<FakeNextCall> nextCalls;
  std::vector<FakePropertyRead> propertyReads;
  std::vector<FakeConversion> conversions;
  std::string standardOutput;
  // Misuse the fake noticed: a call on a released object, a release too many, a COM call
  // outside ComLibraries, CoUninitialize without CoInitialize, a foreign string freed.
  std::vector<std::string> violations;

  // --- State --------------------------------------------------------------------------------
  std::vector<std::shared_ptr<FakeObjectState>> objects;  // every object handed out
  size_t stringAllocations = 0;
  long liveStrings = 0;          // BSTRs allocated and not yet freed
  int comLibraryScopes = 0;      // ComLibraries alive that found their libraries
  int missingLibraryScopes = 0;  // ComLibraries alive whose libraries were missing
};

// Adds one instance of `className`.
void AddInstance(const std::u16string& className, FakeInstance instance);

// Objects of `kind` handed out, and those still holding references.
size_t ObjectsCreated(FakeObjectKind kind);
size_t LiveObjects();

// The calling thread's COM apartment, as the fake keeps it.
enum class Apartment { kNone, kSingleThreaded, kMultithreaded };
struct ThreadComState {
  Apartment apartment = Apartment::kNone;
  int initializations = 0;  // successful CoInitialize calls not yet balanced
};
ThreadComState CurrentThreadCom();
// Puts the calling thread in the multithreaded or a single-threaded apartment, as a host that
// initialised COM itself would have (one initialisation).
void EnterApartment(Apartment apartment);
// Forgets the calling thread's apartment.
void LeaveApartment();

}  // namespace quoril::fake

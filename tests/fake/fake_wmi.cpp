// SPDX-License-Identifier: MIT
#include "fake/fake_wmi.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <utility>

#include "fake/fake_platform.h"
#include "fake/wbem_unused_methods.h"
#include "platform/code_page.h"
#include "platform/platform.h"

namespace quoril::fake {
namespace {

// What the methods the logic never calls answer (WBEM_E_NOT_SUPPORTED); only Windows' own
// interface declarations have such methods.
[[maybe_unused]] constexpr HRESULT kUnsupported = static_cast<HRESULT>(0x80041024);
// What a call that is made to fail answers (WBEM_E_OUT_OF_MEMORY; COM's E_OUTOFMEMORY).
constexpr HRESULT kWbemOutOfMemory = static_cast<HRESULT>(0x80041006);

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::recursive_mutex& Lock() {
  static std::recursive_mutex lock;
  return lock;
}

thread_local ThreadComState threadCom;

FakeWmi& Wmi() { return FakeSystem().wmi; }

FakeWmi& Enter() { return Wmi(); }

// Whether the COM and automation libraries are loaded for the call: a call made while a
// ComLibraries found them missing answers as the missing function does (LibrariesMissing); one
// made outside any ComLibraries is misuse.
bool LibrariesMissing(FakeWmi& wmi) {
  return wmi.comLibraryScopes <= 0 && wmi.missingLibraryScopes > 0;
}
void CheckLibraries(FakeWmi& wmi, const char* call) {
  if (wmi.comLibraryScopes <= 0 && wmi.missingLibraryScopes <= 0)
    wmi.violations.push_back(std::string(call) + " outside ComLibraries");
}

const char* KindName(FakeObjectKind kind) {
  switch (kind) {
    case FakeObjectKind::kLocator:
      return "locator";
    case FakeObjectKind::kServices:
      return "services";
    case FakeObjectKind::kEnumerator:
      return "enumerator";
    case FakeObjectKind::kInstance:
      return "instance";
  }
  return "object";
}

std::optional<std::u16string> Text(const OLECHAR* text) {
  if (text == nullptr) return std::nullopt;
  return std::u16string(AsUtf16(text));
}

// --- Strings ----------------------------------------------------------------------------------

// A string is laid out as on Windows (its length in bytes just before the text, a terminator
// after it), behind a mark that tells the fake's own strings from anything else.
constexpr uint32_t kLiveMark = 0x51535452;
constexpr uint32_t kDeadMark = 0x44454144;
struct StringHeader {
  uint32_t mark;
  uint32_t bytes;
};

BSTR AllocateString(const OLECHAR* text, size_t units) {
  FakeWmi& wmi = Enter();
  if (Fails("SysAllocString")) return nullptr;
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  if (LibrariesMissing(wmi)) return nullptr;
  const size_t number = wmi.stringAllocations++;
  if (wmi.stringAllocationFailsFrom && number >= *wmi.stringAllocationFailsFrom) return nullptr;
  void* block = std::malloc(sizeof(StringHeader) + (units + 1) * sizeof(OLECHAR));
  if (block == nullptr) return nullptr;
  auto* header = static_cast<StringHeader*>(block);
  header->mark = kLiveMark;
  header->bytes = static_cast<uint32_t>(units * sizeof(OLECHAR));
  auto* string = reinterpret_cast<OLECHAR*>(header + 1);
  if (text != nullptr) {
    std::memcpy(string, text, units * sizeof(OLECHAR));
  } else {
    std::memset(string, 0, units * sizeof(OLECHAR));
  }
  string[units] = 0;
  ++wmi.liveStrings;
  return string;
}

// --- Objects ----------------------------------------------------------------------------------

template <typename Interface>
class FakeObject : public Interface {
 public:
  explicit FakeObject(FakeObjectState* state) : state_(state) {}
  virtual ~FakeObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    const std::lock_guard<std::recursive_mutex> guard(Lock());
    Alive("AddRef");
    return static_cast<ULONG>(++state_->references);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const std::lock_guard<std::recursive_mutex> guard(Lock());
    ++state_->releases;
    if (state_->references <= 0) {
      Wmi().violations.push_back(std::string("Release of a released ") + KindName(state_->kind));
      return 0;
    }
    if (--state_->references == 0) {
      Wmi().events.push_back(std::string("Release ") + KindName(state_->kind));
    }
    return static_cast<ULONG>(state_->references);
  }

 protected:
  // Records a call on an object whose last reference is gone.
  bool Alive(const char* method) {
    if (state_->references > 0) return true;
    Wmi().violations.push_back(std::string(method) + " on a released " + KindName(state_->kind));
    return false;
  }

 private:
  FakeObjectState* state_;
};

// Makes an object whose one reference goes to the caller; the machine keeps it in memory.
template <typename Impl, typename... Args>
Impl* MakeObject(FakeWmi& wmi, FakeObjectKind kind, Args&&... args) {
  auto state = std::make_shared<FakeObjectState>();
  state->kind = kind;
  auto* object = new Impl(state.get(), std::forward<Args>(args)...);
  state->object = std::shared_ptr<Impl>(object);
  state->identity = static_cast<IUnknown*>(object);
  wmi.objects.push_back(std::move(state));
  return object;
}

class Instance final : public FakeObject<IWbemClassObject> {
 public:
  Instance(FakeObjectState* state, FakeInstance properties)
      : FakeObject(state), properties_(std::move(properties)) {}

  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type,
                                LONG* flavor) override {
    FakeWmi& wmi = Enter();
    const std::lock_guard<std::recursive_mutex> guard(Lock());
    const std::u16string key = name == nullptr ? u"" : AsUtf16(name);
    wmi.events.push_back("Get " + std::string(key.begin(), key.end()));
    wmi.propertyReads.push_back({key, flags, type == nullptr, flavor == nullptr});
    if (!Alive("Get")) return E_FAIL;
    if (value == nullptr) return E_INVALIDARG;
    if (Fails("Get")) return kWbemOutOfMemory;
    if (value->vt != VT_EMPTY) wmi.violations.push_back("Get into a variant holding a value");
    const auto it = properties_.find(key);
    if (it == properties_.end()) return WBEM_E_NOT_FOUND;
    const FakeProperty& property = it->second;
    if (FAILED(property.result)) return property.result;
    switch (property.kind) {
      case FakeProperty::Kind::kText:
        value->bstrVal = platform::SysAllocString(AsOle(property.text.c_str()));
        if (value->bstrVal == nullptr) return E_OUTOFMEMORY;
        value->vt = VT_BSTR;
        break;
      case FakeProperty::Kind::kNull:
        value->vt = VT_NULL;
        break;
      case FakeProperty::Kind::kInteger:
        value->vt = VT_I4;
        value->lVal = property.integer;
        break;
    }
    return property.result;
  }

  QUORIL_FAKE_UNUSED_CLASS_OBJECT_METHODS

 private:
  FakeInstance properties_;
};

class Enumerator final : public FakeObject<IEnumWbemClassObject> {
 public:
  Enumerator(FakeObjectState* state, std::vector<FakeInstance> instances)
      : FakeObject(state), instances_(std::move(instances)) {}

  HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects,
                                 ULONG* returned) override {
    FakeWmi& wmi = Enter();
    const std::lock_guard<std::recursive_mutex> guard(Lock());
    wmi.events.push_back("Next");
    const size_t call = wmi.nextCalls.size();
    wmi.nextCalls.push_back({timeout, count});
    if (!Alive("Next")) return E_FAIL;
    if (objects == nullptr || returned == nullptr) return E_INVALIDARG;
    if (*objects != nullptr) wmi.violations.push_back("Next into a slot holding an object");
    *returned = 0;
    if (Fails("Next")) return kWbemOutOfMemory;
    if (wmi.nextFailsFromCall && call >= *wmi.nextFailsFromCall) return wmi.nextFailure;
    if (count == 0 || next_ >= instances_.size()) return WBEM_S_FALSE;
    objects[0] = MakeObject<Instance>(wmi, FakeObjectKind::kInstance, instances_[next_++]);
    *returned = 1;
    return wmi.nextDeliveryResult;
  }

  QUORIL_FAKE_UNUSED_ENUMERATOR_METHODS

 private:
  std::vector<FakeInstance> instances_;
  size_t next_ = 0;
};

class Services final : public FakeObject<IWbemServices> {
 public:
  using FakeObject::FakeObject;

  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags,
                                      IWbemContext* context,
                                      IEnumWbemClassObject** enumerator) override {
    FakeWmi& wmi = Enter();
    const std::lock_guard<std::recursive_mutex> guard(Lock());
    wmi.events.push_back("ExecQuery");
    wmi.listings.push_back({true, Text(language), Text(query), flags, context == nullptr});
    if (!Alive("ExecQuery")) return E_FAIL;
    if (Fails("ExecQuery")) return Hand(wmi, enumerator, kWbemOutOfMemory, {}, false);
    constexpr std::u16string_view kSelectAll = u"SELECT * FROM ";
    const std::u16string text = query == nullptr ? u"" : AsUtf16(query);
    if (text.rfind(kSelectAll, 0) != 0) return Hand(wmi, enumerator, WBEM_E_INVALID_QUERY, {});
    return Hand(wmi, enumerator, wmi.listingResult, text.substr(kSelectAll.size()));
  }

  HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR className, LONG flags,
                                               IWbemContext* context,
                                               IEnumWbemClassObject** enumerator) override {
    FakeWmi& wmi = Enter();
    const std::lock_guard<std::recursive_mutex> guard(Lock());
    wmi.events.push_back("CreateInstanceEnum");
    wmi.listings.push_back({false, std::nullopt, Text(className), flags, context == nullptr});
    if (!Alive("CreateInstanceEnum")) return E_FAIL;
    if (Fails("CreateInstanceEnum")) return Hand(wmi, enumerator, kWbemOutOfMemory, {}, false);
    return Hand(wmi, enumerator, wmi.listingResult,
                className == nullptr ? u"" : std::u16string(AsUtf16(className)));
  }

  QUORIL_FAKE_UNUSED_SERVICES_METHODS

 private:
  // Hands out the listing of `className` as scripted; an unknown class lists nothing.
  // A call made to fail (`mayGive` false) hands out nothing.
  static HRESULT Hand(FakeWmi& wmi, IEnumWbemClassObject** enumerator, HRESULT result,
                      const std::u16string& className, bool mayGive = true) {
    if (enumerator == nullptr) return E_INVALIDARG;
    if (*enumerator != nullptr) wmi.violations.push_back("listing into a slot holding an object");
    *enumerator = nullptr;
    const bool gives = mayGive && result != static_cast<HRESULT>(WBEM_E_INVALID_QUERY) &&
                       wmi.listingGivesEnumerator;
    if (gives) {
      const auto it = wmi.classes.find(className);
      *enumerator = MakeObject<Enumerator>(
          wmi, FakeObjectKind::kEnumerator,
          it == wmi.classes.end() ? std::vector<FakeInstance>{} : it->second);
    }
    return result;
  }
};

class Locator final : public FakeObject<IWbemLocator> {
 public:
  using FakeObject::FakeObject;

  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user, const BSTR password,
                                          const BSTR locale, LONG securityFlags,
                                          const BSTR authority, IWbemContext* context,
                                          IWbemServices** services) override {
    FakeWmi& wmi = Enter();
    const std::lock_guard<std::recursive_mutex> guard(Lock());
    wmi.events.push_back("ConnectServer");
    wmi.connections.push_back({Text(resource), Text(user), Text(password), Text(locale),
                               Text(authority), securityFlags, context == nullptr});
    if (!Alive("ConnectServer")) return E_FAIL;
    if (services == nullptr) return E_INVALIDARG;
    if (*services != nullptr)
      wmi.violations.push_back("ConnectServer into a slot holding an object");
    *services = nullptr;
    if (Fails("ConnectServer")) return kWbemOutOfMemory;
    if (FAILED(wmi.connectResult)) return wmi.connectResult;
    *services = MakeObject<Services>(wmi, FakeObjectKind::kServices);
    return wmi.connectResult;
  }
};

// --- Text in the fake's code pages ------------------------------------------------------------
// Narrow bytes below 0x80 are the same units; every other unit below 0x8000 is a double-byte
// character (lead byte 0x80 | high byte, then the low byte); units from 0x8000 have no narrow
// form and become the default character.

// Decodes narrow text into units; false on a lead byte without its trail byte.
bool Decode(std::string_view narrow, std::u16string* wide) {
  for (size_t i = 0; i < narrow.size(); ++i) {
    const auto byte = static_cast<unsigned char>(narrow[i]);
    if (byte < 0x80) {
      wide->push_back(byte);
      continue;
    }
    if (i + 1 == narrow.size()) return false;
    const auto trail = static_cast<unsigned char>(narrow[++i]);
    wide->push_back(static_cast<char16_t>(((byte & 0x7F) << 8) | trail));
  }
  return true;
}

std::string Encode(std::u16string_view wide, char defaultChar, bool* usedDefault) {
  std::string narrow;
  for (const char16_t unit : wide) {
    if (unit < 0x80) {
      narrow.push_back(static_cast<char>(unit));
    } else if (unit < 0x8000) {
      narrow.push_back(static_cast<char>(0x80 | (unit >> 8)));
      narrow.push_back(static_cast<char>(unit & 0xFF));
    } else {
      narrow.push_back(defaultChar);
      *usedDefault = true;
    }
  }
  return narrow;
}

// Records one conversion and says whether it fails: made to fail, scripted to fail, given no
// text, or asked for the code page the system refuses.
bool ConversionFails(FakeWmi& wmi, const char* call, bool toWide, UINT page, DWORD flags,
                     const void* text) {
  wmi.conversions.push_back({toWide, page, flags});
  return Fails(call) || wmi.conversionFails || text == nullptr || wmi.unknownCodePage == page;
}

}  // namespace

FakeProperty FakeProperty::Text(std::u16string text, HRESULT result) {
  FakeProperty property;
  property.text = std::move(text);
  property.result = result;
  return property;
}

FakeProperty FakeProperty::Null() {
  FakeProperty property;
  property.kind = Kind::kNull;
  return property;
}

FakeProperty FakeProperty::Integer(int32_t value) {
  FakeProperty property;
  property.kind = Kind::kInteger;
  property.integer = value;
  return property;
}

FakeProperty FakeProperty::Failing(HRESULT result) {
  FakeProperty property;
  property.result = result;
  return property;
}

void AddInstance(const std::u16string& className, FakeInstance instance) {
  FakeSystem().wmi.classes[className].push_back(std::move(instance));
}

size_t ObjectsCreated(FakeObjectKind kind) {
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  size_t count = 0;
  for (const auto& object : Wmi().objects) count += object->kind == kind ? 1 : 0;
  return count;
}

size_t LiveObjects() {
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  size_t count = 0;
  for (const auto& object : Wmi().objects) count += object->references > 0 ? 1 : 0;
  return count;
}

ThreadComState CurrentThreadCom() { return threadCom; }

void EnterApartment(Apartment apartment) { threadCom = {apartment, 1}; }

void LeaveApartment() { threadCom = {}; }

}  // namespace quoril::fake

namespace quoril::platform {

using fake::Lock;

// A scripted load: `ole32_` marks a scope that found its libraries, `oleaut32_` one that did not.
ComLibraries::ComLibraries() {
  fake::FakeWmi& wmi = fake::Enter();
  const bool missing = fake::Fails("ComLibraries");
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  if (missing) {
    ++wmi.missingLibraryScopes;
    oleaut32_ = this;
  } else {
    ++wmi.comLibraryScopes;
    ole32_ = this;
  }
}

ComLibraries::~ComLibraries() {
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  fake::FakeWmi& wmi = fake::Wmi();
  int& scopes = ole32_ != nullptr ? wmi.comLibraryScopes : wmi.missingLibraryScopes;
  if (--scopes < 0) wmi.violations.push_back("ComLibraries released too often");
}

HRESULT CoInitialize(void* reserved) {
  fake::FakeWmi& wmi = fake::Enter();
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  wmi.events.push_back("CoInitialize");
  fake::CheckLibraries(wmi, "CoInitialize");
  if (reserved != nullptr) wmi.violations.push_back("CoInitialize with a reserved argument");
  if (fake::LibrariesMissing(wmi)) return E_NOTIMPL;
  if (fake::Fails("CoInitialize")) return E_OUTOFMEMORY;
  fake::ThreadComState& thread = fake::threadCom;
  HRESULT result;
  if (wmi.coInitializeResult) {
    result = *wmi.coInitializeResult;
  } else if (thread.apartment == fake::Apartment::kMultithreaded) {
    result = RPC_E_CHANGED_MODE;
  } else {
    result = thread.apartment == fake::Apartment::kSingleThreaded ? S_FALSE : S_OK;
  }
  if (SUCCEEDED(result)) {
    if (thread.apartment == fake::Apartment::kNone) {
      thread.apartment = fake::Apartment::kSingleThreaded;
    }
    ++thread.initializations;
  }
  return result;
}

void CoUninitialize() {
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  fake::FakeWmi& wmi = fake::Wmi();
  wmi.events.push_back("CoUninitialize");
  fake::CheckLibraries(wmi, "CoUninitialize");
  if (fake::LibrariesMissing(wmi)) return;
  fake::ThreadComState& thread = fake::threadCom;
  if (thread.initializations == 0) {
    wmi.violations.push_back("CoUninitialize without CoInitialize");
    return;
  }
  if (--thread.initializations == 0) thread.apartment = fake::Apartment::kNone;
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** ppv) {
  fake::FakeWmi& wmi = fake::Enter();
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  wmi.events.push_back("CoCreateInstance");
  fake::CheckLibraries(wmi, "CoCreateInstance");
  wmi.creations.push_back({rclsid, outer == nullptr, clsContext, riid});
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (fake::LibrariesMissing(wmi)) return E_NOTIMPL;
  if (fake::Fails("CoCreateInstance")) return E_OUTOFMEMORY;
  if (FAILED(wmi.createLocatorResult)) return wmi.createLocatorResult;
  if (!fake::SameGuid(rclsid, kClsidWbemLocator)) return REGDB_E_CLASSNOTREG;
  if (!fake::SameGuid(riid, kIidWbemLocator)) return E_NOINTERFACE;
  *ppv = static_cast<IWbemLocator*>(
      fake::MakeObject<fake::Locator>(wmi, fake::FakeObjectKind::kLocator));
  return wmi.createLocatorResult;
}

HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD authnSvc, DWORD authzSvc, OLECHAR* serverPrincName,
                          DWORD authnLevel, DWORD impLevel, RPC_AUTH_IDENTITY_HANDLE authInfo,
                          DWORD capabilities) {
  fake::FakeWmi& wmi = fake::Enter();
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  wmi.events.push_back("CoSetProxyBlanket");
  fake::CheckLibraries(wmi, "CoSetProxyBlanket");
  bool isServices = false;
  for (const auto& object : wmi.objects) {
    if (object->identity != proxy) continue;
    isServices = object->kind == fake::FakeObjectKind::kServices;
    if (object->references <= 0) wmi.violations.push_back("blanket on a released object");
  }
  wmi.blankets.push_back({isServices, authnSvc, authzSvc, serverPrincName == nullptr, authnLevel,
                          impLevel, authInfo == nullptr, capabilities});
  if (fake::LibrariesMissing(wmi)) return E_NOTIMPL;
  if (fake::Fails("CoSetProxyBlanket")) return E_OUTOFMEMORY;
  return wmi.blanketResult;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  return fake::AllocateString(text, std::char_traits<char16_t>::length(AsUtf16(text)));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  return fake::AllocateString(text, length);
}

void SysFreeString(BSTR text) {
  if (text == nullptr) return;
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  fake::FakeWmi& wmi = fake::Wmi();
  auto* header = reinterpret_cast<fake::StringHeader*>(text) - 1;
  if (header->mark != fake::kLiveMark) {
    wmi.violations.push_back("SysFreeString of a string the fake did not make");
    return;
  }
  header->mark = fake::kDeadMark;
  --wmi.liveStrings;
  std::free(header);
}

void VariantInit(VARIANT* value) {
  std::memset(value, 0, sizeof *value);
  value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
  if (value->vt == VT_BSTR) platform::SysFreeString(value->bstrVal);
  platform::VariantInit(value);
  return S_OK;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* narrow, int narrowLength,
                        OLECHAR* wide, int wideLength) {
  fake::FakeWmi& wmi = fake::Enter();
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  return ConvertInCodePage(
      codePage,
      [&](UINT page) {
        if (fake::ConversionFails(wmi, "MultiByteToWideChar", true, page, flags, narrow)) return 0;
        const std::string_view input =
            narrowLength < 0 ? std::string_view(narrow, std::strlen(narrow) + 1)
                             : std::string_view(narrow, static_cast<size_t>(narrowLength));
        std::u16string units;
        if (!fake::Decode(input, &units)) return 0;
        const int needed = static_cast<int>(units.size());
        if (wideLength == 0) return needed;
        if (wide == nullptr || wideLength < needed) return 0;
        std::memcpy(wide, units.data(), units.size() * sizeof(OLECHAR));
        return needed;
      },
      [&] { return wmi.unknownCodePage == codePage; });
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const OLECHAR* wide, int wideLength,
                        char* narrow, int narrowLength, const char* defaultChar,
                        BOOL* usedDefaultChar) {
  fake::FakeWmi& wmi = fake::Enter();
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  return ConvertInCodePage(
      codePage,
      [&](UINT page) {
        if (fake::ConversionFails(wmi, "WideCharToMultiByte", false, page, flags, wide)) return 0;
        const char16_t* units = AsUtf16(wide);
        const std::u16string_view input =
            wideLength < 0
                ? std::u16string_view(units, std::char_traits<char16_t>::length(units) + 1)
                : std::u16string_view(units, static_cast<size_t>(wideLength));
        bool usedDefault = false;
        const std::string bytes =
            fake::Encode(input, defaultChar == nullptr ? '?' : *defaultChar, &usedDefault);
        if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? 1 : 0;
        const int needed = static_cast<int>(bytes.size());
        if (narrowLength == 0) return needed;
        if (narrow == nullptr || narrowLength < needed) return 0;
        std::memcpy(narrow, bytes.data(), bytes.size());
        return needed;
      },
      [&] { return wmi.unknownCodePage == codePage; });
}

void WriteStandardOutput(const char* text) {
  const std::lock_guard<std::recursive_mutex> guard(Lock());
  fake::Wmi().standardOutput += text;
}

}  // namespace quoril::platform

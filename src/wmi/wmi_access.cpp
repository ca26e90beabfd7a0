// SPDX-License-Identifier: MIT
#include "wmi/wmi_access.h"

#include <utility>

#include "common/wide_text.h"

namespace quoril::wmi {
namespace {

constexpr char16_t kNamespace[] = u"ROOT\\CIMV2";
constexpr char kNamespaceNarrow[] = "ROOT\\CIMV2";

// Widens narrow text with `codePage` into a string of its own; null text gives a null string.
HRESULT Widen(const char* narrow, UINT codePage, UniqueBstr* out) {
  out->reset();
  if (narrow == nullptr) return S_OK;
  const int units = platform::MultiByteToWideChar(codePage, 0, narrow, -1, nullptr, 0);
  if (units <= 0) return E_INVALIDARG;
  UniqueBstr text(platform::SysAllocStringLen(nullptr, static_cast<UINT>(units - 1)));
  if (!text) return E_OUTOFMEMORY;
  if (platform::MultiByteToWideChar(codePage, 0, narrow, -1, text.get(), units) != units) {
    return E_INVALIDARG;
  }
  *out = std::move(text);
  return S_OK;
}

HRESULT CreateLocator(ComPtr<IWbemLocator>* locator) {
  const HRESULT hr = platform::CoCreateInstance(platform::kClsidWbemLocator, nullptr,
                                                CLSCTX_INPROC_SERVER, platform::kIidWbemLocator,
                                                reinterpret_cast<void**>(locator->put()));
  if (FAILED(hr)) {
    locator->reset();
    return hr;
  }
  // A success without an object would leave nothing to work with.
  return *locator ? hr : E_POINTER;
}

HRESULT SetBlanket(IWbemServices* services) {
  return platform::CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                     RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                     EOAC_NONE);
}

void ReportInvalidArgument() { platform::WriteStandardOutput("Invalid   argument\n"); }

// Asks `enumerator` for one more instance; null when the listing is over.
void NextInstance(IEnumWbemClassObject* enumerator, ComPtr<IWbemClassObject>* instance) {
  ULONG returned = 0;
  enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, instance->put(), &returned);
  // No delivery ends the walk whatever the result code says.
  if (returned == 0) instance->reset();
}

}  // namespace

StringProperty::StringProperty(IWbemClassObject* instance, const char16_t* name,
                               Acceptance acceptance) {
  const HRESULT hr = instance->Get(AsOle(name), 0, value_.get(), nullptr, nullptr);
  const bool accepted =
      acceptance == Acceptance::kExactSuccess ? hr == WBEM_S_NO_ERROR : SUCCEEDED(hr);
  if (!accepted || (*value_).vt != VT_BSTR) return;
  // A null string is COM's empty string.
  text_ = (*value_).bstrVal != nullptr ? AsUtf16((*value_).bstrVal) : u"";
  length_ = WideLength(text_);
}

int QueryWmiClass(const char* query, InstanceAction action) {
  platform::ComLibraries libraries;
  ComApartment apartment;
  if (FAILED(apartment.result())) return 0;

  // Released in the order services, locator, enumerator: the reverse of their declaration.
  ComPtr<IEnumWbemClassObject> enumerator;
  ComPtr<IWbemLocator> locator;
  ComPtr<IWbemServices> services;

  if (FAILED(CreateLocator(&locator))) return 0;
  {
    const UniqueBstr ns(platform::SysAllocString(AsOle(kNamespace)));
    if (!ns) return 0;
    const HRESULT hr = locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                              nullptr, services.put());
    if (FAILED(hr) || !services) return 0;
  }
  if (FAILED(SetBlanket(services.get()))) return 0;
  {
    UniqueBstr language;
    UniqueBstr text;
    if (FAILED(Widen("WQL", CP_ACP, &language)) || FAILED(Widen(query, CP_ACP, &text))) return 0;
    const HRESULT hr =
        services->ExecQuery(language.get(), text.get(), kListingFlags, nullptr, enumerator.put());
    if (FAILED(hr) || !enumerator) return 0;
  }

  for (;;) {
    ComPtr<IWbemClassObject> instance;
    NextInstance(enumerator.get(), &instance);
    if (!instance) break;
    action(instance.get());
  }
  return 1;
}

HRESULT ConnectWmiNamespace(IWbemLocator** locatorOut, IWbemServices** servicesOut, const char* ns,
                            const char* user, const char* password) {
  if (locatorOut == nullptr || servicesOut == nullptr) {
    ReportInvalidArgument();
    return E_INVALIDARG;
  }
  *locatorOut = nullptr;
  *servicesOut = nullptr;

  ComPtr<IWbemLocator> locator;
  HRESULT hr = CreateLocator(&locator);
  if (FAILED(hr)) return hr;
  // The namespace lives until the blanket is set.
  UniqueBstr nsText;
  hr = Widen(ns, CP_THREAD_ACP, &nsText);
  if (FAILED(hr)) return hr;

  ComPtr<IWbemServices> services;
  {
    // User and password travel together or not at all, and go as soon as the call returns.
    UniqueBstr userText;
    UniqueBstr passwordText;
    if (user != nullptr && password != nullptr) {
      hr = Widen(user, CP_THREAD_ACP, &userText);
      if (SUCCEEDED(hr)) hr = Widen(password, CP_THREAD_ACP, &passwordText);
      if (FAILED(hr)) return hr;
    }
    hr = locator->ConnectServer(nsText.get(), userText.get(), passwordText.get(), nullptr, 0,
                                nullptr, nullptr, services.put());
  }
  if (FAILED(hr)) return hr;
  if (!services) return E_POINTER;

  hr = SetBlanket(services.get());
  if (FAILED(hr)) return hr;
  *locatorOut = locator.release();
  *servicesOut = services.release();
  return hr;
}

HRESULT EnumWmiClassInstances(IWbemServices* services, IEnumWbemClassObject** enumerator,
                              const char* className) {
  if (services == nullptr || enumerator == nullptr) {
    ReportInvalidArgument();
    return E_INVALIDARG;
  }
  UniqueBstr classText;
  const HRESULT hr = Widen(className, CP_THREAD_ACP, &classText);
  if (FAILED(hr)) return hr;
  return services->CreateInstanceEnum(classText.get(), kListingFlags, nullptr, enumerator);
}

EnumerationFrame::EnumerationFrame(const char* className) {
  if (FAILED(ConnectWmiNamespace(locator_.put(), services_.put(), kNamespaceNarrow, nullptr,
                                 nullptr))) {
    return;
  }
  // Whatever the result says, the listing is there exactly when an enumerator came back.
  EnumWmiClassInstances(services_.get(), enumerator_.put(), className);
}

IWbemClassObject* EnumerationFrame::Next() {
  instance_.reset();
  if (!enumerator_) return nullptr;
  NextInstance(enumerator_.get(), &instance_);
  return instance_.get();
}

}  // namespace quoril::wmi

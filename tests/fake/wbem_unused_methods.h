// SPDX-License-Identifier: MIT
// The methods of the Windows WMI interfaces that the logic never calls. The fake objects must
// still define them on Windows, where the interfaces declare them; each answers that it is not
// supported. Elsewhere the interfaces declare only what the logic uses, and these are empty.
#pragma once

// One method per line, as the interfaces list them.
// clang-format off

#if defined(_WIN32)

#define QUORIL_FAKE_UNUSED_CLASS_OBJECT_METHODS \
  HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT *, CIMTYPE) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT *, SAFEARRAY **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE Next(LONG, BSTR *, VARIANT *, CIMTYPE *, LONG *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE EndEnumeration() override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject **, IWbemClassObject **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject *, IWbemClassObject *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR *, IWbemClassObject **, IWbemClassObject **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR *) override { return kUnsupported; }

#define QUORIL_FAKE_UNUSED_ENUMERATOR_METHODS \
  HRESULT STDMETHODCALLTYPE Reset() override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return kUnsupported; }

#define QUORIL_FAKE_UNUSED_SERVICES_METHODS \
  HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext *, IWbemServices **, IWbemCallResult **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE GetObject(const BSTR, LONG, IWbemContext *, IWbemClassObject **, IWbemCallResult **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject *, LONG, IWbemContext *, IWbemCallResult **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject *, LONG, IWbemContext *, IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext *, IWbemCallResult **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject *, LONG, IWbemContext *, IWbemCallResult **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject *, LONG, IWbemContext *, IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext *, IWbemCallResult **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext *, IWbemObjectSink *) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR, const BSTR, LONG, IWbemContext *, IWbemClassObject *, IWbemClassObject **, IWbemCallResult **) override { return kUnsupported; } \
  HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext *, IWbemClassObject *, IWbemObjectSink *) override { return kUnsupported; }

#else

#define QUORIL_FAKE_UNUSED_CLASS_OBJECT_METHODS
#define QUORIL_FAKE_UNUSED_ENUMERATOR_METHODS
#define QUORIL_FAKE_UNUSED_SERVICES_METHODS

#endif
// clang-format on

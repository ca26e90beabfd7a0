// SPDX-License-Identifier: MIT
// A DLL that makes every call of the Windows platform layer, built exactly as quoril.dll is, so
// that the import table test sees what each call imports even before any export uses it.
#include "platform/platform.h"

namespace platform = quoril::platform;

extern "C" __declspec(dllexport) int QuorilPlatformProbe(int reach) {
  if (reach == 0) return 0;
  platform::CpuidRegisters registers;
  int sum = platform::CpuidGuarded(0, &registers) ? 1 : 0;
  sum += static_cast<int>(platform::Cpuid(0).eax);
  platform::OutputDebugStringA("");
  platform::DisplayDeviceA device{};
  device.cb = platform::kDisplayDeviceASize;
  sum += platform::EnumDisplayDevicesA(nullptr, 0, &device, 0) ? 1 : 0;

  const platform::ComLibraries libraries;
  sum += platform::CoInitialize(nullptr);
  void* object = nullptr;
  sum += platform::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWbemLocator, &object);
  sum += platform::CoSetProxyBlanket(static_cast<IUnknown*>(object), RPC_C_AUTHN_WINNT,
                                     RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                     RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  OLECHAR wide[8] = {};
  char narrow[8] = {};
  sum += platform::MultiByteToWideChar(CP_THREAD_ACP, 0, "x", -1, wide, 8);
  sum += platform::WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, narrow, 8, nullptr, nullptr);
  platform::SysFreeString(platform::SysAllocString(wide));
  platform::SysFreeString(platform::SysAllocStringLen(wide, 1));
  VARIANT value;
  platform::VariantInit(&value);
  sum += platform::VariantClear(&value);
  platform::WriteStandardOutput(narrow);
  platform::CoUninitialize();

  void* const heap = platform::GetProcessHeap();
  platform::HeapFree(heap, 0, platform::HeapAlloc(heap, 0, 16));
  platform::OsVersionInfoA version;
  version.dwOSVersionInfoSize = platform::kOsVersionInfoASize;
  sum += platform::GetVersionExA(&version) ? 1 : 0;
  sum += static_cast<int>(platform::GetDriveTypeA("D:\\"));
  const platform::Handle volume = platform::CreateFileA(
      "\\\\.\\D:", platform::kGenericRead, 0, nullptr, platform::kOpenExisting, 0, nullptr);
  uint32_t returned = 0;
  sum += platform::DeviceIoControl(volume, 0, nullptr, 0, nullptr, 0, &returned, nullptr) ? 1 : 0;
  platform::CloseHandle(volume);
#if !defined(_WIN64)
  // The ASPI channel's calls, which the 64-bit platform layer does not have.
  sum += static_cast<int>(platform::GetVersion());
  const platform::Handle event = platform::CreateEventA(nullptr, true, false, nullptr);
  sum += platform::ResetEvent(event) ? 1 : 0;
  sum += static_cast<int>(platform::WaitForSingleObject(event, 0));
  platform::CloseHandle(event);
#endif
  const platform::Module library = platform::LoadLibraryA("WNASPI32");
  sum += platform::GetProcAddress(library, "SendASPI32Command") != nullptr ? 1 : 0;
  platform::FreeLibrary(library);
  return sum;
}

// The one door between Quoril's logic and the operating system.
//
// Every operating-system call the library makes is declared here, shaped like the Win32 call it
// stands for, so that the logic reads like the Windows code it is and never knows which
// implementation it runs on. Exactly one implementation is linked into each binary:
//   win32/  forwards to the real Windows API (the DLL links this one);
//   linux/  answers from Linux's own data sources (the native shared library);
//   fake/   is scripted by unit tests, which drive every path through it.
// There is deliberately no run-time switch between them: the product holds no mutable global.
#pragma once

#include <cstdint>

#include "platform/com_types.h"

namespace quoril::platform {

// --- Processor identification -------------------------------------------------------------

// The four registers one CPUID query fills, in the order EAX, EBX, ECX, EDX.
struct CpuidRegisters {
  uint32_t eax = 0;
  uint32_t ebx = 0;
  uint32_t ecx = 0;
  uint32_t edx = 0;
};

// Executes CPUID `leaf` under a structured-exception guard that handles every exception.
// Answers false, leaving `out` untouched, when the instruction faulted or does not exist.
bool CpuidGuarded(uint32_t leaf, CpuidRegisters* out);

// Executes CPUID `leaf` without a guard; only called once a guarded query has succeeded.
CpuidRegisters Cpuid(uint32_t leaf);

// --- Debugger output channel ----------------------------------------------------------------

// Writes one zero-terminated narrow message to the debugger output channel.
void OutputDebugStringA(const char* message);

// --- Display devices ------------------------------------------------------------------------

// The narrow-text display device record of the window system, field for field.
struct DisplayDeviceA {
  uint32_t cb = 0;
  char DeviceName[32] = {};
  char DeviceString[128] = {};
  uint32_t StateFlags = 0;
  char DeviceID[128] = {};
  char DeviceKey[128] = {};
};

// The size the window system expects in `cb`: the record's full size.
inline constexpr uint32_t kDisplayDeviceASize = 4 + 32 + 128 + 4 + 128 + 128;
static_assert(sizeof(DisplayDeviceA) == kDisplayDeviceASize);

// Fills `displayDevice` with display device `devNum` (an adapter when `device` is null).
// `displayDevice->cb` must hold kDisplayDeviceASize. Answers false when there is no device at
// that number, and also where the window system offers no display-device enumeration at all.
bool EnumDisplayDevicesA(const char* device, uint32_t devNum, DisplayDeviceA* displayDevice,
                         uint32_t flags);

// --- COM, WMI and text conversion -----------------------------------------------------------
//
// Interface methods (IWbemLocator::ConnectServer, IWbemServices::ExecQuery, ...) are reached
// through the objects these calls hand out; the calls themselves are the flat API around them.

// Keeps the COM and automation libraries loaded for one WMI transaction. The DLL does not
// import them, so that it loads where DCOM or WMI is missing; the COM calls below find them
// while a ComLibraries is alive, and fail as their own failures where they are missing.
class ComLibraries {
 public:
  ComLibraries();
  ~ComLibraries();
  ComLibraries(const ComLibraries&) = delete;
  ComLibraries& operator=(const ComLibraries&) = delete;

 private:
  void* ole32_ = nullptr;
  void* oleaut32_ = nullptr;
};

HRESULT CoInitialize(void* reserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** ppv);
// Answers a failure (E_NOTIMPL) where the COM library lacks it (Windows 95 without DCOM).
HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD authnSvc, DWORD authzSvc, OLECHAR* serverPrincName,
                          DWORD authnLevel, DWORD impLevel, RPC_AUTH_IDENTITY_HANDLE authInfo,
                          DWORD capabilities);

BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
void VariantInit(VARIANT* value);
HRESULT VariantClear(VARIANT* value);

// Conversion between wide text and a narrow code page (CP_ACP, CP_THREAD_ACP), with the
// arguments and results of the Windows calls of the same names.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* narrow, int narrowLength,
                        OLECHAR* wide, int wideLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, const OLECHAR* wide, int wideLength,
                        char* narrow, int narrowLength, const char* defaultChar,
                        BOOL* usedDefaultChar);

// --- Standard output ------------------------------------------------------------------------

// Writes `text` unchanged to the process's standard output.
void WriteStandardOutput(const char* text);

}  // namespace quoril::platform

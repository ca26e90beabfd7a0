// SPDX-License-Identifier: MIT
// The one door between Quoril's logic and the operating system.
//
// Every operating-system call the library makes is declared here, shaped like the Win32 call it
// stands for, so that the logic reads like the Windows code it is and never knows which
// implementation it runs on. Exactly one implementation is linked into each binary:
//   win32/       forwards to the real Windows API (the DLL links this one);
//   linux/       answers from Linux's own data sources (the native shared library);
//   tests/fake/  is scripted by the unit tests, fuzz targets and benchmarks, which drive every
//                path through it; no shipped binary links it.
// There is deliberately no run-time switch between them: the product holds no mutable global.
#pragma once

#include <cstddef>
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

// The narrow-text display device record of the window system, field for field. Made zeroed
// with `{}`, as the window system expects it.
struct DisplayDeviceA {
  uint32_t cb;
  char DeviceName[32];
  char DeviceString[128];
  uint32_t StateFlags;
  char DeviceID[128];
  char DeviceKey[128];
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
  // What each implementation holds while the libraries are in use: the loaded modules on
  // Windows, a mark of the scripted load in the fake; nothing where COM is built in.
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

// Writes `text` unchanged to the process's standard output, at once: nothing is buffered in the
// library, so the text stands where it was written among the host's own lines.
void WriteStandardOutput(const char* text);

// --- Memory ---------------------------------------------------------------------------------
//
// The one object that outlives the call that makes it, the drive device, lives on the process
// heap; everything else the logic needs fits fixed storage.

// The process's default heap; never null where the process runs at all.
void* GetProcessHeap();
// HeapAlloc without flags: `bytes` of memory, or null when the heap cannot give them.
void* HeapAlloc(void* heap, uint32_t flags, size_t bytes);
// HeapFree: gives back a block HeapAlloc handed out; a null block is ignored.
bool HeapFree(void* heap, uint32_t flags, void* block);

// --- Drives and the ASPI manager ------------------------------------------------------------

// A kernel object: an opened volume device or an event. Null is never a valid one.
using Handle = void*;
// A library loaded at run time.
using Module = void*;
// An entry found in such a library, before it is given its real type.
using ProcAddress = void (*)();

// The narrow-text version record, field for field.
struct OsVersionInfoA {
  uint32_t dwOSVersionInfoSize = 0;
  uint32_t dwMajorVersion = 0;
  uint32_t dwMinorVersion = 0;
  uint32_t dwBuildNumber = 0;
  uint32_t dwPlatformId = 0;
  char szCSDVersion[128] = {};
};
inline constexpr uint32_t kOsVersionInfoASize = 148;
static_assert(sizeof(OsVersionInfoA) == kOsVersionInfoASize);

inline constexpr uint32_t kVerPlatformWin32Windows = 1;  // 95, 98, ME
inline constexpr uint32_t kVerPlatformWin32Nt = 2;       // NT 4 and every later Windows

inline constexpr uint32_t kDriveUnknown = 0;
inline constexpr uint32_t kDriveNoRootDir = 1;
inline constexpr uint32_t kDriveCdrom = 5;

inline constexpr uint32_t kGenericRead = 0x80000000;
inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kFileShareRead = 0x00000001;
inline constexpr uint32_t kFileShareWrite = 0x00000002;
inline constexpr uint32_t kOpenExisting = 3;

inline constexpr uint32_t kInfinite = 0xFFFFFFFF;
inline constexpr uint32_t kWaitObject0 = 0x00000000;
inline constexpr uint32_t kWaitTimeout = 0x00000102;
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFF;

// INVALID_HANDLE_VALUE, which CreateFileA answers on failure (and some callers mistake for a
// handle). UniqueHandle's type counts it, like null, as no handle at all.
inline Handle InvalidHandleValue() { return reinterpret_cast<Handle>(~uintptr_t{0}); }

// The control code of a SCSI pass-through request whose data moves straight between the
// device and the caller's buffer.
inline constexpr uint32_t kIoctlScsiPassThroughDirect = 0x0004D014;
// Its direction values (DataIn).
inline constexpr uint8_t kScsiIoctlDataOut = 0;
inline constexpr uint8_t kScsiIoctlDataIn = 1;
inline constexpr uint8_t kScsiIoctlDataUnspecified = 2;

// The SCSI pass-through request, in the platform's natural layout: 44 bytes on 32-bit Windows,
// where every field sits at the offset the port driver expects; on a 64-bit build the buffer
// pointer widens and the later fields move with it, exactly as there.
struct ScsiPassThroughDirect {
  uint16_t Length;
  uint8_t ScsiStatus;
  uint8_t PathId;
  uint8_t TargetId;
  uint8_t Lun;
  uint8_t CdbLength;
  uint8_t SenseInfoLength;
  uint8_t DataIn;
  uint32_t DataTransferLength;
  uint32_t TimeOutValue;
  void* DataBuffer;
  uint32_t SenseInfoOffset;
  uint8_t Cdb[16];
};
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(ScsiPassThroughDirect) == 44);
#endif

// GetVersionExA: fills `info`, whose dwOSVersionInfoSize must be kOsVersionInfoASize. Answers
// false, leaving the rest untouched, when the size is wrong or the system does not answer.
bool GetVersionExA(OsVersionInfoA* info);

// GetVersion: major version in bits 0-7, minor in 8-15; bit 31 set on the 95/98/ME family.
// It and the three event calls below serve the ASPI channel alone, so the Windows layer defines
// them only in 32-bit builds.
uint32_t GetVersion();

// GetDriveTypeA for a root path such as "D:\": kDriveCdrom for an optical drive,
// kDriveNoRootDir where there is no drive, another DRIVE_ value for other kinds.
uint32_t GetDriveTypeA(const char* rootPathName);

// CreateFileA for a device path such as "\\.\D:". Answers null or InvalidHandleValue() on
// failure. `securityAttributes` and `templateFile` are only ever null here.
Handle CreateFileA(const char* fileName, uint32_t desiredAccess, uint32_t shareMode,
                   void* securityAttributes, uint32_t creationDisposition,
                   uint32_t flagsAndAttributes, Handle templateFile);

// DeviceIoControl, synchronous (`overlapped` is null). Nonzero on success.
bool DeviceIoControl(Handle device, uint32_t ioControlCode, void* inBuffer, uint32_t inBufferSize,
                     void* outBuffer, uint32_t outBufferSize, uint32_t* bytesReturned,
                     void* overlapped);

bool CloseHandle(Handle object);

// CreateEventA: null on failure.
Handle CreateEventA(void* securityAttributes, bool manualReset, bool initialState,
                    const char* name);
bool ResetEvent(Handle event);
// kWaitObject0 once `object` is signalled, kWaitTimeout, or kWaitFailed.
uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds);

// LoadLibraryA: null when the library cannot be loaded.
Module LoadLibraryA(const char* fileName);
// GetProcAddress: null when the library has no such entry.
ProcAddress GetProcAddress(Module module, const char* procName);
bool FreeLibrary(Module module);

// The device path of the volume behind a drive letter, "\\.\" followed by the letter and a
// colon, as wsprintfA would format it with "\\.\%c:". Formatted here rather than by wsprintfA,
// which lives in the window system's library that Quoril must not import.
inline constexpr uint32_t kVolumePathSize = 7;  // six characters and the terminator
inline void FormatVolumePath(char letter, char (&path)[kVolumePathSize]) {
  path[0] = '\\';
  path[1] = '\\';
  path[2] = '.';
  path[3] = '\\';
  path[4] = letter;
  path[5] = ':';
  path[6] = '\0';
}

}  // namespace quoril::platform

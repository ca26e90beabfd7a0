// SPDX-License-Identifier: MIT
// The platform calls answered natively on Linux, for libquoril.so.
#include "platform/platform.h"

#include "platform/linux/boundary.h"
#include "platform/linux/pci_display.h"
#include "platform/linux/sysfs_root.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <dirent.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace quoril::platform {

std::string SysfsRoot() {
  const char* root = std::getenv("QUORIL_SYSFS_ROOT");
  return root != nullptr && root[0] != '\0' ? root : "/sys";
}

std::optional<std::vector<std::string>> FolderEntries(const std::string& folder) {
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
  if (listing == nullptr) return std::nullopt;
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(listing.get());
    if (entry == nullptr) break;
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      names.emplace_back(entry->d_name);
    }
  }
  if (errno != 0) return std::nullopt;
  return names;
}

bool CpuidGuarded(uint32_t leaf, CpuidRegisters* out) {
#if defined(__x86_64__) || defined(__i386__)
  if (out == nullptr) return false;
#if defined(__i386__)
  // Processors older than the Pentium have no CPUID; the compiler's probe flips the EFLAGS ID
  // bit to find out. On x86_64 the instruction always exists.
  if (__get_cpuid_max(0, nullptr) == 0) return false;
#endif
  // Linux lets CPUID fault only in a process that asked for it (ARCH_SET_CPUID), which a host
  // loading this library doesn't do; and catching SIGSEGV would need process-wide signal state.
  *out = Cpuid(leaf);
  return true;
#else
  (void)leaf;
  (void)out;
  return false;
#endif
}

CpuidRegisters Cpuid(uint32_t leaf) {
  CpuidRegisters registers;
#if defined(__x86_64__) || defined(__i386__)
  // Subleaf 0, so the leaves that take one answer the same on every call. Leaves past the
  // processor's maximum go to the processor as they are, just as on Windows.
  __cpuid_count(leaf, 0, registers.eax, registers.ebx, registers.ecx, registers.edx);
#else
  (void)leaf;
#endif
  return registers;
}

// Linux has no debugger output channel. The message is discarded rather than written to the
// host's stderr or syslog: the library lives inside someone else's process and has no
// configuration that could ask for such output.
void OutputDebugStringA(const char* /*message*/) {}

// Adapters as the kernel lists them on the PCI bus. `flags` only changes how monitors are
// named, and monitors are not listed here, so it has nothing to change.
bool EnumDisplayDevicesA(const char* device, uint32_t devNum, DisplayDeviceA* displayDevice,
                         uint32_t /*flags*/) {
  return AnswerOrFail(false, [&] {
    return pci::EnumPciDisplayDevices(SysfsRoot() + std::string(pci::kPciDevicesUnderSysfs), device,
                                      devNum, displayDevice);
  });
}

// The C library's heap is the process heap here; there is only the one.
void* GetProcessHeap() { return reinterpret_cast<void*>(uintptr_t{1}); }

void* HeapAlloc(void* /*heap*/, uint32_t /*flags*/, size_t bytes) { return std::malloc(bytes); }

bool HeapFree(void* /*heap*/, uint32_t /*flags*/, void* block) {
  std::free(block);
  return true;
}

}  // namespace quoril::platform

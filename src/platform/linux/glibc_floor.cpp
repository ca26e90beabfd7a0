// SPDX-License-Identifier: MIT
// libquoril.so carries its own C++ runtime and unwinder, which this system's C library links to
// functions it gained after 2.17, the oldest C library the library loads on. The linker sends
// each of those calls here (-Wl,--wrap, src/CMakeLists.txt lists the names), where it is
// answered with what 2.17 already has. Nothing else calls these.
#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

extern "C" {

// The stat family: until 2.33 the C library exported them only as these, with a layout version.
int __xstat64(int version, const char* path, struct stat64* status);
int __lxstat64(int version, const char* path, struct stat64* status);
int __fxstat64(int version, int descriptor, struct stat64* status);
constexpr int kStatLayout = 1;

int __wrap_stat(const char* path, struct stat64* status) {
  return __xstat64(kStatLayout, path, status);
}
int __wrap_lstat(const char* path, struct stat64* status) {
  return __lxstat64(kStatLayout, path, status);
}
int __wrap_fstat64(int descriptor, struct stat64* status) {
  return __fxstat64(kStatLayout, descriptor, status);
}

// Until 2.34 these lived in libpthread under their first version, which libc keeps for them.
int quoril_pthread_once(pthread_once_t* once, void (*routine)());
int quoril_pthread_key_create(pthread_key_t* key, void (*destructor)(void*));
__asm__(".symver quoril_pthread_once,pthread_once@GLIBC_2.2.5");
__asm__(".symver quoril_pthread_key_create,__pthread_key_create@GLIBC_2.2.5");
int __wrap_pthread_once(pthread_once_t* once, void (*routine)()) {
  return quoril_pthread_once(once, routine);
}
int __wrap___pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
  return quoril_pthread_key_create(key, destructor);
}

// The runtime skips its atomic reference counts where this says the process has one thread.
// Never claiming so is always correct, merely not the fastest.
char __wrap___libc_single_threaded = 0;

// Random bytes for std::random_device, straight from the kernel.
int __wrap_getentropy(void* buffer, size_t length) {
  if (length > 256) {
    errno = EIO;
    return -1;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (length > 0) {
    const long got = syscall(SYS_getrandom, bytes, length, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return -1;
    bytes += got;
    length -= static_cast<size_t>(got);
  }
  return 0;
}
uint32_t __wrap_arc4random() {
  uint32_t value = 0;
  if (__wrap_getentropy(&value, sizeof value) != 0) abort();  // It cannot fail by contract.
  return value;
}

// The unwinder's lookup of the loaded object holding a code address and its frame table, found
// by walking the loaded objects' program headers as before 2.35.
namespace {
struct Search {
  uintptr_t address;
  dl_find_object* result;
  bool found;
};

int VisitObject(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<Search*>(data);
  uintptr_t start = UINTPTR_MAX, end = 0;
  void* frames = nullptr;
  bool holds = false;
  for (int index = 0; index < info->dlpi_phnum; ++index) {
    const ElfW(Phdr)& header = info->dlpi_phdr[index];
    const uintptr_t begin = info->dlpi_addr + header.p_vaddr;
    if (header.p_type == PT_GNU_EH_FRAME) frames = reinterpret_cast<void*>(begin);
    if (header.p_type != PT_LOAD) continue;
    if (begin < start) start = begin;
    if (begin + header.p_memsz > end) end = begin + header.p_memsz;
    if (search->address >= begin && search->address < begin + header.p_memsz) holds = true;
  }
  if (!holds) return 0;
  *search->result = {};
  search->result->dlfo_map_start = reinterpret_cast<void*>(start);
  search->result->dlfo_map_end = reinterpret_cast<void*>(end);
  search->result->dlfo_eh_frame = frames;
  search->found = true;
  return 1;
}
}  // namespace

int __wrap__dl_find_object(void* address, dl_find_object* result) {
  Search search{reinterpret_cast<uintptr_t>(address), result, false};
  dl_iterate_phdr(VisitObject, &search);
  return search.found ? 0 : -1;
}

}  // extern "C"

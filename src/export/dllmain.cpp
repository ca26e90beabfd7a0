// SPDX-License-Identifier: MIT
// The module's own entry point and the little the compiler needs from a runtime library.
//
// quoril.dll links no C or C++ runtime. A runtime's start-up code would run at every load,
// allocate, and register the module with its unwinder under a lock it never closes, so a host
// that loads and frees the library over and over would lose a handle and heap memory each time.
// The library needs none of it: it has no static constructors or destructors, no thread-local
// data and no exceptions, and it takes its memory from the process heap through the platform
// layer. What remains is an entry point that does nothing, and the four memory functions the
// compiler may call on its own for block copies, fills and comparisons.
#include <windows.h>

#include <cstddef>

// Loading and unloading do nothing: every export gathers what it needs and gives it back
// before it returns, so there is nothing to set up or tear down, for any reason.
extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID) { return TRUE; }

// These are compiled without the compiler's own knowledge of them (this file is built
// freestanding), so that none of the loops below is turned back into a call of itself.
extern "C" {

void* memcpy(void* destination, const void* source, size_t size) {
  auto* to = static_cast<unsigned char*>(destination);
  const auto* from = static_cast<const unsigned char*>(source);
  for (size_t i = 0; i < size; ++i) to[i] = from[i];
  return destination;
}

void* memmove(void* destination, const void* source, size_t size) {
  auto* to = static_cast<unsigned char*>(destination);
  const auto* from = static_cast<const unsigned char*>(source);
  if (to < from) {
    for (size_t i = 0; i < size; ++i) to[i] = from[i];
  } else {
    for (size_t i = size; i-- > 0;) to[i] = from[i];
  }
  return destination;
}

void* memset(void* destination, int value, size_t size) {
  auto* to = static_cast<unsigned char*>(destination);
  for (size_t i = 0; i < size; ++i) to[i] = static_cast<unsigned char>(value);
  return destination;
}

int memcmp(const void* left, const void* right, size_t size) {
  const auto* a = static_cast<const unsigned char*>(left);
  const auto* b = static_cast<const unsigned char*>(right);
  for (size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// A call of a pure virtual function can only come from a device used while it is being made or
// destroyed, which the library never does; should it happen all the same, the process stops at
// the fault instead of running on with a broken object.
void __cxa_pure_virtual() { __builtin_trap(); }

}  // extern "C"

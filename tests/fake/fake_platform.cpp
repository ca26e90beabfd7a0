// SPDX-License-Identifier: MIT
#include "fake/fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#if defined(_WIN32) && defined(__i386__)
#include "platform/win32/exception_guard.h"
#endif

namespace quoril::fake {
namespace {

uint32_t LoadWord(const char* at) {
  uint32_t word = 0;
  for (int i = 3; i >= 0; --i) word = (word << 8) | static_cast<unsigned char>(at[i]);
  return word;
}

#if defined(_WIN32) && defined(__i386__)
// Real faults, raised inside the product's own guard, so the guard is what tests exercise.
void RaiseIllegalInstruction(void*) { __asm__ volatile("ud2"); }
void RaiseAccessViolation(void*) { *static_cast<volatile int*>(nullptr) = 1; }
#endif

// What the guard answers for a processor scripted to fail: always false, and on 32-bit Windows
// the answer comes from the real guard around a real fault.
bool GuardedQueryWithFault(CpuidFault fault) {
#if defined(_WIN32) && defined(__i386__)
  if (fault != CpuidFault::kUnavailable) {
    return platform::RunUnderExceptionGuard(
        fault == CpuidFault::kIllegalInstruction ? &RaiseIllegalInstruction : &RaiseAccessViolation,
        nullptr);
  }
#else
  (void)fault;
#endif
  return false;
}

std::mutex& MachineLock() {
  static std::mutex lock;
  return lock;
}

platform::CpuidRegisters Answer(uint32_t leaf) {
  FakeMachine& machine = FakeSystem();
  machine.cpu.queried.push_back(leaf);
  const auto it = machine.cpu.leaves.find(leaf);
  return it == machine.cpu.leaves.end() ? platform::CpuidRegisters{} : it->second;
}

}  // namespace

FakeMachine& FakeSystem() {
  static FakeMachine machine;
  return machine;
}

void ResetFakeSystem() {
  for (void* block : FakeSystem().heapBlocks) std::free(block);
  FakeSystem() = FakeMachine{};
  LeaveApartment();
}

bool Fails(const char* name) {
  const std::lock_guard<std::mutex> guard(MachineLock());
  FakeMachine& machine = FakeSystem();
  const size_t number = machine.fallibleCalls++;
  machine.fallibleCallNames.emplace_back(name);
  const bool fails = machine.failingCall == number || machine.failingName == name;
  if (fails) machine.failedCalls.emplace_back(name);
  return fails;
}

void SetCpuBrand(std::string_view brand, uint32_t maxExtendedLeaf) {
  char bytes[48] = {};
  std::memcpy(bytes, brand.data(), std::min(brand.size(), sizeof bytes));
  FakeCpu& cpu = FakeSystem().cpu;
  cpu.leaves[0] = {0xD, 0x756E6547, 0x6C65746E, 0x49656E69};
  cpu.leaves[0x80000000] = {maxExtendedLeaf, 0, 0, 0};
  for (uint32_t i = 0; i < 3; ++i) {
    const char* at = bytes + 16 * i;
    cpu.leaves[0x80000002 + i] = {LoadWord(at), LoadWord(at + 4), LoadWord(at + 8),
                                  LoadWord(at + 12)};
  }
}

}  // namespace quoril::fake

namespace quoril::platform {

bool CpuidGuarded(uint32_t leaf, CpuidRegisters* out) {
  fake::FakeMachine& machine = fake::FakeSystem();
  if (fake::Fails("CpuidGuarded")) {
    machine.cpu.queried.push_back(leaf);
    return false;
  }
  const fake::CpuidFault fault = machine.cpu.fault;
  if (fault != fake::CpuidFault::kNone) {
    machine.cpu.queried.push_back(leaf);
    return fake::GuardedQueryWithFault(fault);
  }
  *out = fake::Answer(leaf);
  return true;
}

CpuidRegisters Cpuid(uint32_t leaf) { return fake::Answer(leaf); }

void OutputDebugStringA(const char* message) {
  fake::FakeSystem().debugOutput.emplace_back(message == nullptr ? "" : message);
}

bool EnumDisplayDevicesA(const char* device, uint32_t devNum, DisplayDeviceA* displayDevice,
                         uint32_t flags) {
  fake::FakeMachine& machine = fake::FakeSystem();
  machine.displayCalls.push_back({device == nullptr, devNum, displayDevice->cb, flags});
  if (fake::Fails("EnumDisplayDevicesA")) return false;
  if (!machine.displayEnumerationPresent || device != nullptr ||
      devNum >= machine.displayAdapterIds.size()) {
    return false;
  }
  const std::string& id = machine.displayAdapterIds[devNum];
  std::memcpy(displayDevice->DeviceID, id.data(),
              std::min(id.size(), sizeof displayDevice->DeviceID));
  std::snprintf(displayDevice->DeviceName, sizeof displayDevice->DeviceName, "\\\\.\\DISPLAY%u",
                devNum + 1);
  return true;
}

void* GetProcessHeap() { return &fake::FakeSystem(); }

void* HeapAlloc(void* heap, uint32_t /*flags*/, size_t bytes) {
  if (fake::Fails("HeapAlloc") || heap != GetProcessHeap()) return nullptr;
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) return nullptr;
  const std::lock_guard<std::mutex> guard(fake::MachineLock());
  fake::FakeSystem().heapBlocks.insert(block);
  return block;
}

bool HeapFree(void* heap, uint32_t /*flags*/, void* block) {
  if (block == nullptr) return true;
  const std::lock_guard<std::mutex> guard(fake::MachineLock());
  fake::FakeMachine& machine = fake::FakeSystem();
  if (heap != GetProcessHeap() || machine.heapBlocks.erase(block) == 0) {
    ++machine.badHeapFrees;
    return false;
  }
  std::free(block);
  return true;
}

}  // namespace quoril::platform

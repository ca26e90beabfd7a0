// SPDX-License-Identifier: MIT
// Every way into the Linux layer from the logic, with its allocations failing from each one on in
// turn: the call answers its failure value or what it answers with memory to spare, and never
// throws (the logic above it is built without exceptions and could not unwind).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <string>

#include "platform/linux/wmi_substitute.h"
#include "platform/platform.h"

namespace {

// How many allocations succeed before every further one fails; negative: all succeed.
long allocationsLeft = -1;
bool refused = false;

void* Allocate(std::size_t bytes) {
  if (allocationsLeft == 0) {
    refused = true;
    return nullptr;
  }
  if (allocationsLeft > 0) --allocationsLeft;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

}  // namespace

void* operator new(std::size_t bytes) {
  if (void* block = Allocate(bytes)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) { return operator new(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace quoril::platform {
namespace {

constexpr HRESULT kWbemOutOfMemory = static_cast<HRESULT>(0x80041006);

// Runs `call` with `limit` allocations to spare; `refused` then says whether one was refused.
template <typename Call>
void WithAllocations(long limit, Call&& call) {
  struct Restore {
    ~Restore() { allocationsLeft = -1; }
  } restore;
  refused = false;
  allocationsLeft = limit;
  call();
}

struct Way {
  const char* name;
  long failed;                             // the answer for memory that ran short
  std::function<long(long limit)> answer;  // the answer with `limit` allocations to spare
};

IWbemServices* Connect() {
  IWbemLocator* locator = wmi::NewLocator(QUORIL_TEST_SYSFS);
  IWbemServices* services = nullptr;
  BSTR resource = SysAllocString(u"ROOT\\CIMV2");
  locator->ConnectServer(resource, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services);
  SysFreeString(resource);
  locator->Release();
  return services;
}

// `use` with the services of the sysfs tree, released afterwards.
long WithServices(const std::function<long(IWbemServices*)>& use) {
  IWbemServices* services = Connect();
  const long answer = use(services);
  services->Release();
  return answer;
}

TEST(AllocationFailure, EveryWayInAnswersAFailureAndThrowsNothing) {
  ASSERT_EQ(setenv("QUORIL_SYSFS_ROOT", QUORIL_TEST_SYSFS, 1), 0);
  const auto handleAnswer = [](Handle handle) {
    if (handle == InvalidHandleValue()) return 0L;
    CloseHandle(handle);
    return 1L;
  };
  const auto listing = [](IWbemServices* services, IEnumWbemClassObject** out, long limit) {
    BSTR language = SysAllocString(u"WQL");
    BSTR query = SysAllocString(u"SELECT * FROM Win32_CDROMDrive");
    HRESULT result = 0;
    WithAllocations(limit, [&] { result = services->ExecQuery(language, query, 0, nullptr, out); });
    SysFreeString(language);
    SysFreeString(query);
    return result;
  };
  const Way ways[] = {
      {"CoCreateInstance", E_OUTOFMEMORY,
       [](long limit) {
         void* locator = nullptr;
         HRESULT result = 0;
         WithAllocations(limit, [&] {
           result = CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                     kIidWbemLocator, &locator);
         });
         if (locator != nullptr) static_cast<IWbemLocator*>(locator)->Release();
         return long{result};
       }},
      {"ConnectServer", kWbemOutOfMemory,
       [](long limit) {
         IWbemLocator* locator = wmi::NewLocator(QUORIL_TEST_SYSFS);
         BSTR resource = SysAllocString(u"\\\\.\\root/cimv2");
         IWbemServices* services = nullptr;
         HRESULT result = 0;
         WithAllocations(limit, [&] {
           result = locator->ConnectServer(resource, nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                           &services);
         });
         if (services != nullptr) services->Release();
         SysFreeString(resource);
         locator->Release();
         return long{result};
       }},
      {"ExecQuery", kWbemOutOfMemory,
       [&](long limit) {
         return WithServices([&](IWbemServices* services) {
           IEnumWbemClassObject* out = nullptr;
           const HRESULT result = listing(services, &out, limit);
           if (out != nullptr) out->Release();
           return long{result};
         });
       }},
      {"CreateInstanceEnum", kWbemOutOfMemory,
       [](long limit) {
         return WithServices([&](IWbemServices* services) {
           BSTR name = SysAllocString(u"Win32_BaseBoard");
           IEnumWbemClassObject* out = nullptr;
           HRESULT result = 0;
           WithAllocations(limit,
                           [&] { result = services->CreateInstanceEnum(name, 0, nullptr, &out); });
           if (out != nullptr) out->Release();
           SysFreeString(name);
           return long{result};
         });
       }},
      {"Next", kWbemOutOfMemory,
       [&](long limit) {
         return WithServices([&](IWbemServices* services) {
           IEnumWbemClassObject* out = nullptr;
           listing(services, &out, -1);
           IWbemClassObject* objects[4] = {};
           ULONG returned = 0;
           HRESULT result = 0;
           WithAllocations(limit, [&] { result = out->Next(0, 4, objects, &returned); });
           for (ULONG i = 0; i < returned; ++i) objects[i]->Release();
           out->Release();
           // Instances handed out before memory ran short count as a short listing.
           return result == WBEM_S_FALSE && returned < 3 ? long{kWbemOutOfMemory} : long{result};
         });
       }},
      {"EnumDisplayDevicesA", 0,
       [](long limit) {
         DisplayDeviceA device{};
         device.cb = kDisplayDeviceASize;
         bool found = false;
         WithAllocations(limit, [&] { found = EnumDisplayDevicesA(nullptr, 0, &device, 0); });
         return long{found};
       }},
      {"CreateFileA", 0,
       [&](long limit) {
         Handle handle = nullptr;
         WithAllocations(limit, [&] {
           handle = CreateFileA("\\\\.\\D:", kGenericRead, kFileShareRead | kFileShareWrite,
                                nullptr, kOpenExisting, 0, nullptr);
         });
         return handleAnswer(handle);
       }},
      {"GetDriveTypeA", long{kDriveUnknown},
       [](long limit) {
         uint32_t type = 0;
         WithAllocations(limit, [&] { type = GetDriveTypeA("D:\\"); });
         return long{type};
       }},
  };
  for (const Way& way : ways) {
    const long plenty = way.answer(-1);
    for (long limit = 0; limit < 1000; ++limit) {
      SCOPED_TRACE(testing::Message() << way.name << " with " << limit << " allocations");
      long answer = 0;
      EXPECT_NO_THROW(answer = way.answer(limit));
      EXPECT_TRUE(answer == plenty || answer == way.failed) << answer;
      // Done once the call needs no more allocations than it was given.
      if (!refused) break;
    }
  }
}

}  // namespace
}  // namespace quoril::platform

// SPDX-License-Identifier: MIT
// Every way into the Linux layer from the logic that allocates, with its allocations failing from
// each one on in turn: the call answers its failure value or what it answers with memory to
// spare, and never throws (the logic above it is built without exceptions and cannot unwind).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <new>

#include "platform/linux/wmi_substitute.h"
#include "platform/platform.h"

namespace {

long allocationsLeft = -1;  // before every further one fails; negative: none fails
bool refused = false;

void* Allocate(std::size_t bytes) {
  if (allocationsLeft == 0) return refused = true, nullptr;
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

constexpr long kWbemOutOfMemory = static_cast<HRESULT>(0x80041006);
const char16_t* const kCdromQuery = u"SELECT * FROM Win32_CDROMDrive";

// Holds back all but `limit` allocations until it ends; `refused` then says whether one failed.
struct Limit {
  explicit Limit(long limit) { refused = false, allocationsLeft = limit; }
  ~Limit() { allocationsLeft = -1; }
};

IWbemServices* Connect() {
  IWbemLocator* locator = wmi::NewLocator(QUORIL_TEST_SYSFS);
  IWbemServices* services = nullptr;
  const BSTR resource = SysAllocString(u"ROOT\\CIMV2");
  locator->ConnectServer(resource, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services);
  SysFreeString(resource);
  locator->Release();
  return services;
}

// A query's listing, with `limit` allocations for ExecQuery.
long Query(IWbemServices* services, IEnumWbemClassObject** listing, long limit) {
  const BSTR language = SysAllocString(u"WQL"), query = SysAllocString(kCdromQuery);
  long result;
  {
    const Limit held(limit);
    result = services->ExecQuery(language, query, 0, nullptr, listing);
  }
  SysFreeString(language), SysFreeString(query);
  return result;
}

template <typename Object>
long Released(long result, Object* object) {
  if (object != nullptr) object->Release();
  return result;
}

struct Way {
  const char* name;
  long failed;                 // the answer when memory runs short
  long (*answer)(long limit);  // the answer with `limit` allocations to spare
};

const Way kWays[] = {
    {"CoCreateInstance", E_OUTOFMEMORY,
     [](long limit) {
       void* object = nullptr;
       const Limit held(limit);
       const long result = CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                            kIidWbemLocator, &object);
       return Released(result, static_cast<IWbemLocator*>(object));
     }},
    {"ConnectServer", kWbemOutOfMemory,
     [](long limit) {
       IWbemLocator* locator = wmi::NewLocator(QUORIL_TEST_SYSFS);
       const BSTR resource = SysAllocString(u"\\\\.\\root/cimv2");
       IWbemServices* services = nullptr;
       long result;
       {
         const Limit held(limit);
         result = locator->ConnectServer(resource, nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                         &services);
       }
       SysFreeString(resource);
       return Released(Released(result, services), locator);
     }},
    {"ExecQuery", kWbemOutOfMemory,
     [](long limit) {
       IWbemServices* services = Connect();
       IEnumWbemClassObject* listing = nullptr;
       const long result = Query(services, &listing, limit);
       return Released(Released(result, listing), services);
     }},
    {"Next", kWbemOutOfMemory,
     [](long limit) {
       IWbemServices* services = Connect();
       IEnumWbemClassObject* listing = nullptr;
       Query(services, &listing, -1);
       IWbemClassObject* objects[4] = {};
       ULONG returned = 0;
       long result;
       {
         const Limit held(limit);
         result = listing->Next(0, 4, objects, &returned);
       }
       for (ULONG i = 0; i < returned; ++i) objects[i]->Release();
       // Fewer than the tree's three drives: the listing ran short of memory.
       if (result == WBEM_S_FALSE && returned < 3) result = kWbemOutOfMemory;
       return Released(Released(result, listing), services);
     }},
    {"EnumDisplayDevicesA", 0,
     [](long limit) {
       DisplayDeviceA device{};
       device.cb = kDisplayDeviceASize;
       const Limit held(limit);
       return long{EnumDisplayDevicesA(nullptr, 0, &device, 0)};
     }},
};

TEST(AllocationFailure, EveryWayInAnswersAFailureAndThrowsNothing) {
  ASSERT_EQ(setenv("QUORIL_SYSFS_ROOT", QUORIL_TEST_SYSFS, 1), 0);
  for (const Way& way : kWays) {
    const long plenty = way.answer(-1);
    for (long limit = 0; limit < 1000; ++limit) {
      SCOPED_TRACE(testing::Message() << way.name << " with " << limit << " allocations");
      long answer = 0;
      EXPECT_NO_THROW(answer = way.answer(limit));
      EXPECT_TRUE(answer == plenty || answer == way.failed) << answer;
      if (!refused) break;  // it needs no more than `limit`
    }
  }
}

}  // namespace
}  // namespace quoril::platform

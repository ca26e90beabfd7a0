// quoril.dll loaded and freed again and again in one process, as a host that holds it only while
// it asks something: each cycle must give back every handle and heap block the load took, and
// the exports must answer after the last load as after the first.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "process_usage.h"
#include "quoril.h"

namespace {

constexpr int kCycles = 50;

// The answers of the exports that need no optical drive, taken in one load of the DLL.
struct Answers {
  bool loaded = false;
  int exportsFound = 0;
  int isCpuEmpty = -1;
  int svid = -1;
  char vendor[8] = {};
  int pid = -1;
  quoril_wchar product[256] = {};
};

template <typename Fn>
Fn Find(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

Answers LoadAskAndFree() {
  Answers answers;
  const HMODULE module = LoadLibraryA("quoril.dll");
  if (module == nullptr) return answers;
  answers.loaded = true;
  const auto test = Find<quoril_Test_fn>(module, "Test");
  const auto isCpu = Find<quoril_fnVoIsCPU_fn>(module, "fnVoIsCPU");
  const auto getSvid = Find<quoril_fnGetSVID_fn>(module, QUORIL_FNGETSVID_SYMBOL);
  const auto getPid = Find<quoril_fnGetPID_fn>(module, "fnGetPID");
  answers.exportsFound =
      (test != nullptr) + (isCpu != nullptr) + (getSvid != nullptr) + (getPid != nullptr);
  if (test != nullptr) test();
  if (isCpu != nullptr) answers.isCpuEmpty = isCpu("");
  if (getSvid != nullptr) answers.svid = getSvid(0, answers.vendor);
  if (getPid != nullptr) answers.pid = getPid(answers.product);
  FreeLibrary(module);
  return answers;
}

std::u16string ProductOf(const Answers& answers) {
  return std::u16string(answers.product, std::char_traits<char16_t>::length(answers.product));
}

}  // namespace

// The readings are only worth comparing if they move: one more handle, one more heap and a block
// in each of two heaps must show, and be gone again once released. (A new heap holds some
// bookkeeping of its own, so the blocks are counted from a reading taken after it was made.)
TEST(ProcessUsageTest, SeesAHandleAHeapAndBlocksComeAndGo) {
  constexpr size_t kBlockBytes = 1000;
  const ProcessUsage before = MeasureProcessUsage();
  const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const HANDLE heap = HeapCreate(0, 0, 0);
  const ProcessUsage created = MeasureProcessUsage();
  void* const block = HeapAlloc(GetProcessHeap(), 0, kBlockBytes);
  void* const privateBlock = heap != nullptr ? HeapAlloc(heap, 0, kBlockBytes) : nullptr;
  const ProcessUsage holding = MeasureProcessUsage();
  HeapFree(GetProcessHeap(), 0, block);
  if (heap != nullptr) HeapDestroy(heap);
  CloseHandle(event);
  const ProcessUsage after = MeasureProcessUsage();

  ASSERT_NE(event, nullptr);
  ASSERT_NE(heap, nullptr);
  ASSERT_NE(block, nullptr);
  ASSERT_NE(privateBlock, nullptr);
  EXPECT_EQ(created.handles, before.handles + 1);
  EXPECT_EQ(created.heaps, before.heaps + 1);
  EXPECT_EQ(holding.heapBytes, created.heapBytes + 2 * kBlockBytes);
  EXPECT_EQ(after.handles, before.handles);
  EXPECT_EQ(after.heaps, before.heaps);
  EXPECT_EQ(after.heapBytes, before.heapBytes);
}

TEST(ReloadTest, CyclesGiveBackEveryHandleAndHeapByteAndAnswersStayTheSame) {
  // The first cycle asks every export once, so that what the system itself keeps after first
  // use (the loader's records, COM's and WMI's caches) is already in the baseline.
  const Answers first = LoadAskAndFree();
  ASSERT_TRUE(first.loaded) << "quoril.dll not found by name";
  ASSERT_EQ(first.exportsFound, 4);

  // Nothing between the two readings may allocate or open anything but the cycles themselves.
  const ProcessUsage before = MeasureProcessUsage();
  int failedCycles = 0;
  for (int i = 0; i < kCycles; ++i) {
    const HMODULE module = LoadLibraryA("quoril.dll");
    if (module == nullptr || !FreeLibrary(module)) ++failedCycles;
  }
  const ProcessUsage after = MeasureProcessUsage();

  EXPECT_EQ(failedCycles, 0);
  EXPECT_EQ(after.handles, before.handles) << "open handles after " << kCycles << " cycles";
  EXPECT_EQ(after.heaps, before.heaps) << "heaps after " << kCycles << " cycles";
  EXPECT_EQ(after.heapBytes, before.heapBytes)
      << "heap bytes in use after " << kCycles << " cycles";

  const Answers last = LoadAskAndFree();
  ASSERT_TRUE(last.loaded);
  EXPECT_EQ(first.isCpuEmpty, 1);
  EXPECT_EQ(last.isCpuEmpty, 1);
  EXPECT_EQ(last.svid, first.svid);
  EXPECT_STREQ(last.vendor, first.vendor);
  EXPECT_EQ(last.pid, first.pid);
  EXPECT_EQ(ProductOf(last), ProductOf(first));
}

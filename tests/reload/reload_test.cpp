// SPDX-License-Identifier: MIT
// quoril.dll loaded and freed again and again in one process, as a host that holds it only while
// it asks something: each cycle must give back every handle and heap block the load took, and
// the exports must answer after the last load as after the first.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "process_usage.h"
#include "quoril.h"

namespace {

// Any leak of a cycle shows after one; twenty make it stand out from what the system itself may
// keep, and stay short where every call is emulated.
constexpr int kCycles = 20;

// What all nine exports answered in one load of the DLL; nothing of it lives on the heap, so
// taking it allocates nothing.
struct Answers {
  bool loaded = false;
  int exportsFound = 0;
  int isCpuEmpty = -1;
  int svid = -1;
  char vendor[QUORIL_VENDOR_BYTES] = {};
  int pid = -1;
  quoril_wchar product[QUORIL_BOARD_TEXT_UNITS] = {};
  int info = -1;
  quoril_wchar infoProduct[QUORIL_BOARD_TEXT_UNITS] = {};
  quoril_wchar maker[QUORIL_BOARD_TEXT_UNITS] = {};
  char narrowProduct[QUORIL_BOARD_PRODUCT_A_BYTES] = {};
  int captionList = -1;
  quoril_wchar captions[QUORIL_CAPTION_LIST_WHOLE_UNITS] = {};
  int caption = -1;
  quoril_wchar driveCaption[QUORIL_CAPTION_UNITS] = {};
  int bluray = -1;

  bool operator==(const Answers&) const = default;
};

template <typename Fn>
Fn Find(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void LoadAskAndFree(Answers& answers) {
  answers = Answers();
  const HMODULE module = LoadLibraryA("quoril.dll");
  if (module == nullptr) return;
  answers.loaded = true;
  const auto test = Find<quoril_Test_fn>(module, "Test");
  const auto isCpu = Find<quoril_fnVoIsCPU_fn>(module, "fnVoIsCPU");
  const auto getSvid = Find<quoril_fnGetSVID_fn>(module, QUORIL_FNGETSVID_SYMBOL);
  const auto getPid = Find<quoril_fnGetPID_fn>(module, "fnGetPID");
  const auto getInfo = Find<quoril_fnGetWMIInfo_fn>(module, "fnGetWMIInfo");
  const auto getNarrow = Find<quoril_fnGetBaseBoardPorductA_fn>(module, "fnGetBaseBoardPorductA");
  const auto listCaptions = Find<quoril_fnListDriverCaption_fn>(module, "fnListDriverCaption");
  const auto getCaption = Find<quoril_fnGetDriveCaptionW_fn>(module, "fnGetDriveCaptionW");
  const auto hasBluray = Find<quoril_hasBDOdd_fn>(module, "hasBDOdd");
  answers.exportsFound = (test != nullptr) + (isCpu != nullptr) + (getSvid != nullptr) +
                         (getPid != nullptr) + (getInfo != nullptr) + (getNarrow != nullptr) +
                         (listCaptions != nullptr) + (getCaption != nullptr) +
                         (hasBluray != nullptr);
  if (answers.exportsFound == 9) {
    test();
    answers.isCpuEmpty = isCpu("");
    answers.svid = getSvid(0, answers.vendor);
    answers.pid = getPid(answers.product);
    answers.info = getInfo(answers.infoProduct, answers.maker);
    getNarrow(answers.narrowProduct);
    answers.captionList = listCaptions(answers.captions, QUORIL_CAPTION_LIST_WHOLE_UNITS);
    answers.caption = getCaption(u"D:", answers.driveCaption, QUORIL_CAPTION_UNITS);
    answers.bluray = hasBluray();
  }
  FreeLibrary(module);
}

// Every module loaded after the cycles but not before, and every one whose load count differs.
std::string ModulesChanged(const ProcessUsage& before, const ProcessUsage& after) {
  std::string changes;
  for (size_t i = 0; i < after.moduleCount; ++i) {
    const ModuleLoad& now = after.modules[i];
    const ModuleLoad* const then =
        std::find_if(before.modules, before.modules + before.moduleCount,
                     [&](const ModuleLoad& m) { return m.base == now.base; });
    if (then != before.modules + before.moduleCount && *then == now) continue;
    char line[160];
    std::snprintf(line, sizeof line, "%ls: %u loads, before %u; ", ModuleName(now.base), now.count,
                  then == before.modules + before.moduleCount ? 0u : then->count);
    changes += line;
  }
  return changes;
}

// 1 when the calling thread is still in a single-threaded apartment: a CoInitialize that was
// never balanced.
bool ThreadLeftInSingleThreadedApartment() {
  const HMODULE ole32 = LoadLibraryA("ole32.dll");
  const auto initialize = Find<HRESULT(WINAPI*)(void*, DWORD)>(ole32, "CoInitializeEx");
  const auto uninitialize = Find<void(WINAPI*)()>(ole32, "CoUninitialize");
  const HRESULT result = initialize(nullptr, COINIT_MULTITHREADED);
  if (SUCCEEDED(result)) uninitialize();
  FreeLibrary(ole32);
  return result == RPC_E_CHANGED_MODE;
}

}  // namespace

// Each cycle loads the DLL, asks all nine exports and frees it, as a host that holds the library
// only while it asks. Afterwards the process holds what it held before: the same handles, heap
// bytes and modules, each held by as many loads as before, and the thread's COM apartment as it
// was.
TEST(ReloadTest, CyclesAskingEveryExportGiveBackEverythingAndAnswerTheSame) {
  // The first cycle lets the system keep what it keeps after first use (the loader's records,
  // COM's and WMI's caches) before the baseline is read.
  static Answers first, each;
  LoadAskAndFree(first);
  ASSERT_TRUE(first.loaded) << "quoril.dll not found by name";
  ASSERT_EQ(first.exportsFound, 9);
  EXPECT_EQ(first.isCpuEmpty, 1);
  EXPECT_EQ(first.pid, 1);
  EXPECT_EQ(first.info, 1);
  EXPECT_EQ(first.captionList, 1);

  // Nothing between the two readings may allocate or open anything but the cycles themselves.
  static ProcessUsage before, after;
  before = MeasureProcessUsage();
  int differentCycles = 0;
  for (int i = 0; i < kCycles; ++i) {
    LoadAskAndFree(each);
    if (!(each == first)) ++differentCycles;
  }
  after = MeasureProcessUsage();

  EXPECT_EQ(differentCycles, 0) << "cycles whose answers differ from the first's";
  EXPECT_EQ(after.handles, before.handles) << "open handles after " << kCycles << " cycles";
  EXPECT_EQ(after.heaps, before.heaps) << "heaps after " << kCycles << " cycles";
  EXPECT_EQ(after.heapBytes, before.heapBytes)
      << "heap bytes in use after " << kCycles << " cycles";
  EXPECT_EQ(ModulesChanged(before, after), "") << "after " << kCycles << " cycles";
  EXPECT_FALSE(ThreadLeftInSingleThreadedApartment());

  // The readings move when something is held: a handle, a heap, a heap block, the DLL loaded.
  const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const HANDLE heap = HeapCreate(0, 0, 0);
  void* const block = HeapAlloc(GetProcessHeap(), 0, 1000);
  const HMODULE held = LoadLibraryA("quoril.dll");
  static ProcessUsage holding;
  holding = MeasureProcessUsage();
  FreeLibrary(held);
  HeapFree(GetProcessHeap(), 0, block);
  HeapDestroy(heap);
  CloseHandle(event);
  EXPECT_GT(holding.handles, after.handles);
  EXPECT_EQ(holding.heaps, after.heaps + 1);
  EXPECT_GE(holding.heapBytes, after.heapBytes + 1000);
  EXPECT_NE(ModulesChanged(after, holding), "");
}

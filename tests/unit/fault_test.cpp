// Every export with each of its fallible platform calls made to fail in turn: the k-th call
// answers in its failing form (a null handle, object or block, an error result, false), for
// every k until the export gets through without reaching k. Whatever fails, the export answers
// a result its contract allows, writes nothing its contract does not allow, and afterwards
// holds nothing: every handle, event, library, COM reference, string, COM initialisation and
// heap block has been given back.
#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config_response.h"
#include "fake_wmi_test.h"
#include "quoril.h"

namespace quoril {
namespace {

constexpr char16_t kWideSentinel = 0xBEEF;
constexpr char kSentinel = 0x5A;
constexpr size_t kCanary = 8;  // units past each buffer's contract that must stay untouched

// A caller's buffer of `N` units as the contract promises, filled with a sentinel, with a
// canary behind it.
template <typename Unit, size_t N, Unit kFill>
struct Buffer {
  std::array<Unit, N + kCanary> units;
  Buffer() { units.fill(kFill); }
  Unit* data() { return units.data(); }
  bool Untouched() const {
    return std::all_of(units.begin(), units.end(), [](Unit u) { return u == kFill; });
  }
  bool CanaryIntact() const {
    return std::all_of(units.begin() + N, units.end(), [](Unit u) { return u == kFill; });
  }
  // `text` and its terminator at the start, every other unit as it was.
  bool Holds(std::basic_string_view<Unit> text) const {
    if (!std::equal(text.begin(), text.end(), units.begin()) || units[text.size()] != Unit{}) {
      return false;
    }
    return std::all_of(units.begin() + text.size() + 1, units.end(),
                       [](Unit u) { return u == kFill; });
  }
};
template <size_t N>
using Wide = Buffer<char16_t, N, kWideSentinel>;
template <size_t N>
using Narrow = Buffer<char, N, kSentinel>;

// What one call of an export gave: whether its result and outputs are among those its
// contract allows when some platform call failed, and whether they are its full answer.
struct Outcome {
  bool allowed;
  bool complete;
};

struct ExportCase {
  const char* name;
  std::function<void()> script;
  std::function<Outcome()> call;
};

void ScriptWmi() {
  fake::AddInstance(u"Win32_BaseBoard", {{u"Product", fake::FakeProperty::Text(u"Board")},
                                         {u"Manufacturer", fake::FakeProperty::Text(u"Maker")}});
  fake::AddInstance(u"Win32_CDROMDrive", {{u"Drive", fake::FakeProperty::Text(u"D:")},
                                          {u"Caption", fake::FakeProperty::Text(u"First")}});
  fake::AddInstance(u"Win32_CDROMDrive", {{u"Drive", fake::FakeProperty::Text(u"E:")},
                                          {u"Caption", fake::FakeProperty::Text(u"Second")}});
}

const std::vector<uint8_t>& Bluray() {
  static const std::vector<uint8_t> response =
      test::ConfigResponse().Profiles({0x0010, 0x0040}).Build();
  return response;
}

std::vector<ExportCase> EveryExport() {
  return {
      {"Test", [] {},
       [] {
         ::Test();
         return Outcome{true, true};
       }},
      {"fnVoIsCPU", [] { fake::SetCpuBrand("Quoril Test CPU"); },
       [] {
         const int result = fnVoIsCPU("Test");
         const auto& output = fake::FakeSystem().debugOutput;
         const bool full =
             result == 1 && output == std::vector<std::string>{"Quoril Test CPU", "OK"};
         return Outcome{full || (result == 0 && output.empty()), full};
       }},
      {"fnGetSVID",
       [] {
         fake::FakeSystem().displayAdapterIds = {"PCI\\VEN_1234&DEV_1111&SUBSYS_0001ABCD&REV_02"};
       },
       [] {
         Narrow<5> out;
         const int result = fnGetSVID(0, out.data());
         const bool full = result == 1 && out.Holds("ABCD");
         return Outcome{full || (result == 0 && out.Holds("")), full};
       }},
      {"fnGetPID", ScriptWmi,
       [] {
         Wide<256> product;
         const int result = fnGetPID(product.data());
         const bool full = result == 1 && product.Holds(u"Board");
         return Outcome{full || product.Untouched(), full};
       }},
      {"fnGetWMIInfo", ScriptWmi,
       [] {
         Wide<256> product, maker;
         const int result = fnGetWMIInfo(product.data(), maker.data());
         const bool full = result == 1 && product.Holds(u"Board") && maker.Holds(u"Maker");
         const bool partial = result == 1 && (product.Holds(u"Board") || product.Untouched()) &&
                              (maker.Holds(u"Maker") || maker.Untouched());
         return Outcome{full || partial || (product.Untouched() && maker.Untouched()), full};
       }},
      {"fnGetBaseBoardPorductA", ScriptWmi,
       [] {
         Narrow<512> product;
         const int result = fnGetBaseBoardPorductA(product.data());
         const bool full = result == 0 && product.Holds("Board");
         return Outcome{full || (result == 0 && product.Untouched()), full};
       }},
      {"fnListDriverCaption", ScriptWmi,
       [] {
         Wide<2560> list;
         const int result = fnListDriverCaption(list.data(), 2560);
         const bool full = result == 1 && list.Holds(u"First\r\nSecond\r\n");
         // A failed read of one caption leaves that drive out; the rest are listed.
         const bool partial = result == 1 && (list.Holds(u"") || list.Holds(u"First\r\n") ||
                                              list.Holds(u"Second\r\n"));
         return Outcome{full || partial || (result == 0 && list.Untouched()), full};
       }},
      {"fnGetDriveCaptionW", ScriptWmi,
       [] {
         Wide<256> caption;
         const int result = fnGetDriveCaptionW(u"e:", caption.data(), 256);
         std::u16string expected(256, u'\0');
         expected.replace(0, 6, u"Second");
         const bool full = result == 1 &&
                           std::equal(expected.begin(), expected.end(), caption.units.begin()) &&
                           caption.CanaryIntact();
         return Outcome{full || (result == 0 && caption.Untouched()), full};
       }},
      {"hasBDOdd (pass-through)", [] { fake::AddOpticalDrive('D', Bluray()); },
       [] {
         const int result = hasBDOdd();
         return Outcome{result == 0 || result == 1, result == 1};
       }},
      {"hasBDOdd (ASPI manager)",
       [] {
         fake::FakeSystem().drives.os = fake::FakeOs::kWindows98;
         fake::AddOpticalDrive('D');
         fake::InstallAspiDrive(0, 3, Bluray()).pending = true;
       },
       [] {
         const int result = hasBDOdd();
#if defined(_WIN64)
         // No ASPI channel in a 64-bit build: the drive is tried through pass-through alone.
         return Outcome{result == 0, result == 0};
#else
         return Outcome{result == 0 || result == 1, result == 1};
#endif
       }},
  };
}

// What is still held, or was misused, after a call: empty when nothing.
std::string Leftovers() {
  const fake::FakeMachine& machine = fake::FakeSystem();
  std::string found;
  if (fake::LiveObjects() != 0) found += "COM objects; ";
  if (machine.wmi.liveStrings != 0) found += "strings; ";
  if (machine.wmi.comLibraryScopes != 0 || machine.wmi.missingLibraryScopes != 0) {
    found += "COM libraries; ";
  }
  if (fake::CurrentThreadCom().initializations != 0) found += "COM initialisation; ";
  for (const std::string& violation : machine.wmi.violations) found += violation + "; ";
  if (!machine.drives.AllReleased()) found += "handles, events or libraries; ";
  if (!machine.heapBlocks.empty() || machine.badHeapFrees != 0) found += "heap blocks; ";
  return found;
}

class FaultTest : public test::FakeMachineTest {};

TEST_F(FaultTest, EveryExportSurvivesEachFallibleCallFailingInTurn) {
  // Each message names the export itself: GoogleTest's SCOPED_TRACE keeps its trace per thread,
  // which on Windows starts a helper thread, and the 32-bit Windows tests stay single-threaded
  // (see ExportsTest.FaultingProcessorIdentificationAnswersZeroSilently).
  for (const ExportCase& e : EveryExport()) {
    for (size_t k = 0;; ++k) {
      fake::ResetFakeSystem();
      e.script();
      machine().failingCall = k;
      const Outcome outcome = e.call();
      const std::string failed =
          machine().failedCalls.empty() ? "nothing" : machine().failedCalls.front();
      const std::string where =
          std::string(e.name) + ": call " + std::to_string(k) + " (" + failed + ") failed";
      EXPECT_TRUE(outcome.allowed) << where;
      EXPECT_EQ(Leftovers(), "") << where;
      if (machine().failedCalls.empty()) {
        // The export made fewer than k + 1 fallible calls: this run failed nothing.
        EXPECT_TRUE(outcome.complete) << e.name << ": with no failure";
        break;
      }
      ASSERT_LT(k, 1000u) << e.name;
    }
  }
}

}  // namespace
}  // namespace quoril

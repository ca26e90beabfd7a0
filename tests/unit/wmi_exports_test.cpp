// SPDX-License-Identifier: MIT
// What holds for every WMI export at once: calls from several threads stay independent.
#include <string>
#include <thread>
#include <vector>

#include "fake_wmi_test.h"
#include "quoril.h"

namespace quoril {
namespace {

class WmiExportsTest : public test::FakeWmiTest {
 protected:
  void Populate() {
    AddBoard({{u"Product", Text(u"Board")}, {u"Manufacturer", Text(u"Maker")}});
    AddDrive({{u"Drive", Text(u"D:")}, {u"Caption", Text(u"First drive")}});
    AddDrive({{u"Drive", Text(u"E:")}, {u"Caption", Text(u"Second drive")}});
  }
};

// Natively, under the sanitizers. The Windows build leaves it out: where Wine runs under
// user-mode emulation, starting a second thread has brought the whole test process down, and a
// fault raised by a later test would be delivered to the wrong thread.
#if !defined(_WIN32)
TEST_F(WmiExportsTest, ConcurrentCallsAreIndependent) {
  Populate();
  constexpr int kThreads = 4;
  constexpr int kRounds = 25;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      // Half the threads arrive with COM already initialised in a single-threaded apartment.
      if (t % 2 == 1) fake::EnterApartment(fake::Apartment::kSingleThreaded);
      const int before = fake::CurrentThreadCom().initializations;
      for (int round = 0; round < kRounds; ++round) {
        char16_t product[QUORIL_BOARD_TEXT_UNITS] = {}, caption[QUORIL_CAPTION_UNITS] = {};
        std::vector<char16_t> list(QUORIL_CAPTION_LIST_UNITS);
        if (fnGetPID(product) != 1 || std::u16string(product) != u"Board") ++failures[t];
        if (fnGetDriveCaptionW(u"e:", caption, QUORIL_CAPTION_UNITS) != 1 ||
            std::u16string(caption) != u"Second drive") {
          ++failures[t];
        }
        if (fnListDriverCaption(list.data(), QUORIL_CAPTION_LIST_UNITS) != 1 ||
            std::u16string(list.data()) != u"First drive\r\nSecond drive\r\n") {
          ++failures[t];
        }
      }
      if (fake::CurrentThreadCom().initializations != before) ++failures[t];
      fake::LeaveApartment();
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
  ExpectNothingHeld();
}
#endif

}  // namespace
}  // namespace quoril

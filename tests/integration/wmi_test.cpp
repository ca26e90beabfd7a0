// SPDX-License-Identifier: MIT
// The board and optical drive exports of the real quoril.dll, compared with what this test reads
// itself through WMI with the system's own COM. The WMI service of Wine fails when two threads
// of one process query it at once, so every call here is made from one thread at a time.
#include <objbase.h>
#include <oleauto.h>
#include <wbemcli.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "library.h"
#include "quoril.h"
#include "sentinel_buffer.h"

namespace {

using Text = std::u16string;

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// How the library lists a class: a WQL query, or the class's instances by name. Each reads a
// property's text under its own rule: a query-style read takes it only when Get answered
// exactly 0, an enumeration-style read whenever Get succeeded.
enum class Listing { kQuery, kEnumeration };

using Instance = std::vector<std::optional<Text>>;

// RAII for one COM interface pointer of the test's own.
template <typename Interface>
struct Held {
  Interface* p = nullptr;
  ~Held() {
    if (p != nullptr) p->Release();
  }
};

struct HeldBstr {
  explicit HeldBstr(const wchar_t* text) : value(SysAllocString(text)) {}
  ~HeldBstr() { SysFreeString(value); }
  BSTR value;
};

// Every instance of `className`, each property of `names` as its text or nothing; nothing at
// all when WMI could not be reached. Opens and closes a COM scope of its own on this thread.
std::optional<std::vector<Instance>> ReadWmi(const wchar_t* className,
                                             const std::vector<const wchar_t*>& names,
                                             Listing listing) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::optional<std::vector<Instance>> instances;
  {
    Held<IWbemLocator> locator;
    Held<IWbemServices> services;
    Held<IEnumWbemClassObject> enumerator;
    const HeldBstr resource(L"ROOT\\CIMV2");
    const LONG flags = WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY;
    HRESULT result = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWbemLocator, reinterpret_cast<void**>(&locator.p));
    if (SUCCEEDED(result)) {
      result = locator.p->ConnectServer(resource.value, nullptr, nullptr, nullptr, 0, nullptr,
                                        nullptr, &services.p);
    }
    if (SUCCEEDED(result)) {
      result = CoSetProxyBlanket(services.p, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                 EOAC_NONE);
    }
    if (SUCCEEDED(result)) {
      if (listing == Listing::kQuery) {
        const HeldBstr language(L"WQL");
        const HeldBstr query((std::wstring(L"SELECT * FROM ") + className).c_str());
        result = services.p->ExecQuery(language.value, query.value, flags, nullptr, &enumerator.p);
      } else {
        const HeldBstr name(className);
        result = services.p->CreateInstanceEnum(name.value, flags, nullptr, &enumerator.p);
      }
    }
    if (SUCCEEDED(result) && enumerator.p != nullptr) {
      instances.emplace();
      for (;;) {
        Held<IWbemClassObject> object;
        ULONG returned = 0;
        enumerator.p->Next(WBEM_INFINITE, 1, &object.p, &returned);
        if (returned == 0) break;
        Instance& instance = instances->emplace_back();
        for (const wchar_t* name : names) {
          VARIANT value;
          VariantInit(&value);
          const HRESULT got = object.p->Get(name, 0, &value, nullptr, nullptr);
          const bool taken = listing == Listing::kQuery ? got == 0 : SUCCEEDED(got);
          if (taken && value.vt == VT_BSTR && value.bstrVal != nullptr) {
            instance.emplace_back(reinterpret_cast<const char16_t*>(value.bstrVal));
          } else {
            instance.emplace_back();
          }
          VariantClear(&value);
        }
      }
    }
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return instances;
}

// What a buffer of `units` keeps of a value: all of it but the room for the terminator.
Text Cut(const Text& text, size_t units) { return text.substr(0, units - 1); }

using Board = quoril::test::Wide<QUORIL_BOARD_TEXT_UNITS>;
using Caption = quoril::test::Wide<QUORIL_CAPTION_UNITS>;
using CaptionList = quoril::test::Wide<QUORIL_CAPTION_LIST_UNITS>;

// What the library answers about the board, read here first.
struct BoardFacts {
  std::optional<Text> product;        // the last instance's, query style
  std::optional<Text> manufacturer;   // the last instance's, query style
  std::optional<std::string> narrow;  // the first instance's, enumeration style, converted
};

// The first instance's product in this thread's ANSI code page, as the narrow export gives it.
std::optional<std::string> Narrow(const Text& product) {
  const Text cut = Cut(product, QUORIL_BOARD_TEXT_UNITS);
  if (cut.empty()) return std::string();
  std::string narrow(2 * (cut.size() + 1), '\0');
  const int written =
      WideCharToMultiByte(CP_THREAD_ACP, 0, reinterpret_cast<const wchar_t*>(cut.c_str()), -1,
                          narrow.data(), static_cast<int>(narrow.size()), nullptr, nullptr);
  if (written <= 0) return std::nullopt;
  narrow.resize(written - 1);
  return narrow;
}

std::optional<BoardFacts> ReadBoard() {
  const auto queried = ReadWmi(L"Win32_BaseBoard", {L"Product", L"Manufacturer"}, Listing::kQuery);
  const auto listed = ReadWmi(L"Win32_BaseBoard", {L"Product"}, Listing::kEnumeration);
  if (!queried || !listed) return std::nullopt;
  BoardFacts facts;
  for (const Instance& board : *queried) {
    if (board[0]) facts.product = Cut(*board[0], QUORIL_BOARD_TEXT_UNITS);
    if (board[1]) facts.manufacturer = Cut(*board[1], QUORIL_BOARD_TEXT_UNITS);
  }
  if (!listed->empty() && (*listed)[0][0]) facts.narrow = Narrow(*(*listed)[0][0]);
  return facts;
}

// The caption fnGetDriveCaptionW gives for `drive`: the first drive whose "Drive" value occurs
// in it, a-z folded, and that has a caption.
std::optional<Text> ExpectedCaption(const std::vector<Instance>& drives, const Text& drive) {
  const auto fold = [](Text text) {
    for (char16_t& u : text) {
      if (u >= u'a' && u <= u'z') u = static_cast<char16_t>(u - u'a' + u'A');
    }
    return text;
  };
  for (const Instance& candidate : drives) {
    if (candidate[0] && fold(drive).find(fold(*candidate[0])) != Text::npos && candidate[1]) {
      return candidate[1];
    }
  }
  return std::nullopt;
}

class WmiExports : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(library_.get(), nullptr) << "quoril.dll not found by name";
    getPid_ = library_.Find<quoril_fnGetPID_fn>("fnGetPID");
    getWmiInfo_ = library_.Find<quoril_fnGetWMIInfo_fn>("fnGetWMIInfo");
    getBoardA_ = library_.Find<quoril_fnGetBaseBoardPorductA_fn>("fnGetBaseBoardPorductA");
    listCaptions_ = library_.Find<quoril_fnListDriverCaption_fn>("fnListDriverCaption");
    getCaption_ = library_.Find<quoril_fnGetDriveCaptionW_fn>("fnGetDriveCaptionW");
    ASSERT_NE(getPid_, nullptr);
    ASSERT_NE(getWmiInfo_, nullptr);
    ASSERT_NE(getBoardA_, nullptr);
    ASSERT_NE(listCaptions_, nullptr);
    ASSERT_NE(getCaption_, nullptr);
  }

  // The narrow product as fnGetBaseBoardPorductA leaves it in a buffer emptied first.
  std::string NarrowProduct(bool* answeredZero, bool* guardIntact) {
    quoril::test::Narrow<QUORIL_BOARD_PRODUCT_A_BYTES> buffer;
    buffer.data()[0] = '\0';
    *answeredZero = getBoardA_(buffer.data()) == 0;
    const std::string text = buffer.Text();
    *guardIntact =
        text.size() < QUORIL_BOARD_PRODUCT_A_BYTES && buffer.UntouchedFrom(text.size() + 1);
    return text;
  }

  // fnGetDriveCaptionW for `drive`, checked against `expected`.
  void ExpectCaption(const Text& drive, const std::optional<Text>& expected) {
    SCOPED_TRACE(std::string(drive.begin(), drive.end()));
    Caption caption;
    EXPECT_EQ(getCaption_(drive.c_str(), caption.data(), QUORIL_CAPTION_UNITS), expected ? 1 : 0);
    if (!expected) {
      EXPECT_TRUE(caption.Untouched());
      return;
    }
    EXPECT_EQ(caption.Text(), Cut(*expected, QUORIL_CAPTION_UNITS));
    // Zero units after the caption, up to and including the last one promised.
    for (size_t i = Cut(*expected, QUORIL_CAPTION_UNITS).size(); i < QUORIL_CAPTION_UNITS; ++i) {
      ASSERT_EQ(caption[i], 0) << i;
    }
    EXPECT_TRUE(caption.UntouchedFrom(QUORIL_CAPTION_UNITS));
  }

  Library library_;
  quoril_fnGetPID_fn getPid_ = nullptr;
  quoril_fnGetWMIInfo_fn getWmiInfo_ = nullptr;
  quoril_fnGetBaseBoardPorductA_fn getBoardA_ = nullptr;
  quoril_fnListDriverCaption_fn listCaptions_ = nullptr;
  quoril_fnGetDriveCaptionW_fn getCaption_ = nullptr;
};

TEST_F(WmiExports, BoardAgreesWithWmi) {
  const std::optional<BoardFacts> board = ReadBoard();
  ASSERT_TRUE(board) << "WMI is not reachable from the test itself";

  Board product;
  EXPECT_EQ(getPid_(product.data()), 1);
  if (board->product) {
    EXPECT_EQ(product.Text(), *board->product);
  } else {
    EXPECT_TRUE(product.Untouched());
  }
  EXPECT_TRUE(product.UntouchedFrom(QUORIL_BOARD_TEXT_UNITS));

  Board both;
  Board manufacturer;
  EXPECT_EQ(getWmiInfo_(both.data(), manufacturer.data()), 1);
  if (board->product) {
    EXPECT_EQ(both.Text(), *board->product);
  }
  if (board->manufacturer) {
    EXPECT_EQ(manufacturer.Text(), *board->manufacturer);
  } else {
    EXPECT_TRUE(manufacturer.Untouched());
  }
  EXPECT_TRUE(both.UntouchedFrom(QUORIL_BOARD_TEXT_UNITS));
  EXPECT_TRUE(manufacturer.UntouchedFrom(QUORIL_BOARD_TEXT_UNITS));

  Board onlyManufacturer;
  EXPECT_EQ(getWmiInfo_(nullptr, onlyManufacturer.data()), 1);
  EXPECT_EQ(onlyManufacturer.units, manufacturer.units);
  EXPECT_EQ(getWmiInfo_(nullptr, nullptr), 1);

  bool answeredZero = false;
  bool guardIntact = false;
  EXPECT_EQ(NarrowProduct(&answeredZero, &guardIntact), board->narrow.value_or(""));
  EXPECT_TRUE(answeredZero);
  EXPECT_TRUE(guardIntact);
}

TEST_F(WmiExports, CaptionListAgreesWithWmi) {
  const auto drives = ReadWmi(L"Win32_CDROMDrive", {L"Caption", L"Drive"}, Listing::kQuery);
  ASSERT_TRUE(drives) << "WMI is not reachable from the test itself";
  if (UnderWine()) {
    EXPECT_TRUE(std::any_of(drives->begin(), drives->end(),
                            [](const Instance& d) { return d[1] == Text(u"D:"); }))
        << "drive D: of the tests' Wine prefix is not a CD-ROM drive (tests/harness/windows.py "
           "sets it)";
  }
  Text expected;
  int listed = 0;
  for (const Instance& drive : *drives) {
    if (listed == 10 || !drive[0]) continue;
    expected += Cut(*drive[0], QUORIL_CAPTION_UNITS) + u"\r\n";
    ++listed;
  }

  CaptionList list;
  EXPECT_EQ(listCaptions_(list.data(), QUORIL_CAPTION_LIST_UNITS), 1);
  EXPECT_EQ(list.Text(), expected);
  EXPECT_TRUE(list.UntouchedFrom(QUORIL_CAPTION_LIST_UNITS));

  for (const int capacity : {QUORIL_CAPTION_LIST_UNITS - 1, 0, -1, -QUORIL_CAPTION_LIST_UNITS}) {
    CaptionList refused;
    EXPECT_EQ(listCaptions_(refused.data(), capacity), 0) << capacity;
    EXPECT_TRUE(refused.Untouched()) << capacity;
  }
  EXPECT_EQ(listCaptions_(nullptr, QUORIL_CAPTION_LIST_UNITS), 0);
}

TEST_F(WmiExports, DriveCaptionAgreesWithWmi) {
  const auto drives = ReadWmi(L"Win32_CDROMDrive", {L"Drive", L"Caption"}, Listing::kEnumeration);
  ASSERT_TRUE(drives) << "WMI is not reachable from the test itself";
  std::vector<Text> asked = {u"D:", u"d:", u"d:\\setup.exe", u"Q:", u"", u"no drive here"};
  for (const Instance& drive : *drives) {
    if (!drive[0]) continue;
    Text lower = *drive[0];
    for (char16_t& u : lower) {
      if (u >= u'A' && u <= u'Z') u = static_cast<char16_t>(u - u'A' + u'a');
    }
    asked.push_back(lower);
  }
  for (const Text& drive : asked) ExpectCaption(drive, ExpectedCaption(*drives, drive));

  // The smallest buffer: a found caption leaves just its terminator.
  if (const std::optional<Text> found = ExpectedCaption(*drives, u"D:")) {
    quoril::test::Wide<1> one;
    EXPECT_EQ(getCaption_(u"D:", one.data(), 1), 1);
    EXPECT_EQ(one[0], 0);
    EXPECT_TRUE(one.UntouchedFrom(1));
  }
  Caption refused;
  EXPECT_EQ(getCaption_(u"D:", refused.data(), 0), 0);
  EXPECT_EQ(getCaption_(u"D:", refused.data(), -1), 0);
  EXPECT_EQ(getCaption_(nullptr, refused.data(), QUORIL_CAPTION_UNITS), 0);
  EXPECT_TRUE(refused.Untouched());
  EXPECT_EQ(getCaption_(u"D:", nullptr, QUORIL_CAPTION_UNITS), 0);
}

// Whether this thread is in a COM apartment, and which, found without changing it: an
// initialisation that succeeds is undone at once.
enum class Apartment { kNone, kSingleThreaded, kMultithreaded };
Apartment ApartmentOfThisThread() {
  const HRESULT multi = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (multi == RPC_E_CHANGED_MODE) return Apartment::kSingleThreaded;
  if (SUCCEEDED(multi)) CoUninitialize();
  return multi == S_FALSE ? Apartment::kMultithreaded : Apartment::kNone;
}

TEST_F(WmiExports, MultithreadedCallerGetsTheEnumerationStyleOnly) {
  const std::optional<BoardFacts> board = ReadBoard();
  const auto drives = ReadWmi(L"Win32_CDROMDrive", {L"Drive", L"Caption"}, Listing::kEnumeration);
  ASSERT_TRUE(board && drives);

  std::thread caller([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    // The query style needs a single-threaded apartment, which this thread cannot enter.
    Board product;
    Board manufacturer;
    EXPECT_EQ(getPid_(product.data()), 0);
    EXPECT_EQ(getWmiInfo_(product.data(), manufacturer.data()), 0);
    EXPECT_TRUE(product.Untouched());
    EXPECT_TRUE(manufacturer.Untouched());
    CaptionList list;
    EXPECT_EQ(listCaptions_(list.data(), QUORIL_CAPTION_LIST_UNITS), 0);
    EXPECT_TRUE(list.Untouched());
    EXPECT_EQ(ApartmentOfThisThread(), Apartment::kMultithreaded);

    // The enumeration style works in the apartment it finds, and leaves it as it was.
    bool answeredZero = false;
    bool guardIntact = false;
    EXPECT_EQ(NarrowProduct(&answeredZero, &guardIntact), board->narrow.value_or(""));
    EXPECT_TRUE(answeredZero);
    EXPECT_EQ(ApartmentOfThisThread(), Apartment::kMultithreaded);
    ExpectCaption(u"D:", ExpectedCaption(*drives, u"D:"));
    EXPECT_EQ(ApartmentOfThisThread(), Apartment::kMultithreaded);

    // One initialisation of the test's own is left: after undoing it the thread is in none.
    CoUninitialize();
    EXPECT_EQ(ApartmentOfThisThread(), Apartment::kNone);
  });
  caller.join();
}

TEST_F(WmiExports, SingleThreadedCallerKeepsItsApartment) {
  const std::optional<BoardFacts> board = ReadBoard();
  ASSERT_TRUE(board);
  std::thread caller([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    Board product;
    EXPECT_EQ(getPid_(product.data()), 1);
    if (board->product) {
      EXPECT_EQ(product.Text(), *board->product);
    }
    bool answeredZero = false;
    bool guardIntact = false;
    EXPECT_EQ(NarrowProduct(&answeredZero, &guardIntact), board->narrow.value_or(""));
    EXPECT_EQ(ApartmentOfThisThread(), Apartment::kSingleThreaded);
    CoUninitialize();
    EXPECT_EQ(ApartmentOfThisThread(), Apartment::kNone);
  });
  caller.join();
  // The calls on the test's own thread leave it outside any apartment, as it began.
  Board product;
  EXPECT_EQ(getPid_(product.data()), 1);
  CaptionList list;
  EXPECT_EQ(listCaptions_(list.data(), QUORIL_CAPTION_LIST_UNITS), 1);
  EXPECT_EQ(ApartmentOfThisThread(), Apartment::kNone);
}

}  // namespace

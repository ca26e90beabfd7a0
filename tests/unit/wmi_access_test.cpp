// SPDX-License-Identifier: MIT
// The two ways into WMI: what they ask of COM and WMI, in which apartments they work, and what
// they make of what WMI answers. (Each call failing in turn is FaultTest's.)
#include "wmi/wmi_access.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fake_wmi_test.h"

namespace quoril::wmi {
namespace {

constexpr char kBoardQuery[] = "SELECT * FROM Win32_BaseBoard";
constexpr HRESULT kFailure = static_cast<HRESULT>(0x80041003);  // access denied

// The text a string property read yields, copied out of the read's variant.
std::optional<std::u16string> ReadStringProperty(IWbemClassObject* instance, const char16_t* name,
                                                 Acceptance acceptance) {
  const StringProperty value(instance, name, acceptance);
  if (!value) return std::nullopt;
  return std::u16string(value.text(), value.length());
}

class QueryStyleTest : public test::FakeWmiTest {
 protected:
  int Query(std::vector<std::u16string>* seen = nullptr) {
    return QueryWmiClass(kBoardQuery, [&](IWbemClassObject* board) {
      const auto product = ReadStringProperty(board, u"Product", Acceptance::kExactSuccess);
      if (seen != nullptr) seen->push_back(product.value_or(u"<none>"));
    });
  }
};

TEST_F(QueryStyleTest, AsksForTheFixedNamespaceBlanketAndListing) {
  AddBoard({{u"Product", Text(u"P1")}});
  ASSERT_EQ(Query(), 1);

  ASSERT_EQ(wmi().creations.size(), 1u);
  const fake::FakeCreation& creation = wmi().creations[0];
  EXPECT_EQ(std::memcmp(&creation.clsid, &platform::kClsidWbemLocator, sizeof(CLSID)), 0);
  EXPECT_EQ(std::memcmp(&creation.iid, &platform::kIidWbemLocator, sizeof(IID)), 0);
  EXPECT_TRUE(creation.outerIsNull);
  EXPECT_EQ(creation.context, 1u);

  ASSERT_EQ(wmi().connections.size(), 1u);
  const fake::FakeConnection& connection = wmi().connections[0];
  EXPECT_EQ(connection.resource, u"ROOT\\CIMV2");
  EXPECT_FALSE(connection.user || connection.password || connection.locale || connection.authority);
  EXPECT_EQ(connection.securityFlags, 0);
  EXPECT_TRUE(connection.contextIsNull);

  ASSERT_EQ(wmi().blankets.size(), 1u);
  const fake::FakeBlanket& blanket = wmi().blankets[0];
  EXPECT_TRUE(blanket.proxyIsServices);
  EXPECT_EQ(blanket.authnSvc, 10u);
  EXPECT_EQ(blanket.authzSvc, 0u);
  EXPECT_TRUE(blanket.principalIsNull);
  EXPECT_EQ(blanket.authnLevel, 3u);
  EXPECT_EQ(blanket.impLevel, 3u);
  EXPECT_TRUE(blanket.authInfoIsNull);
  EXPECT_EQ(blanket.capabilities, 0u);

  ASSERT_EQ(wmi().listings.size(), 1u);
  const fake::FakeListing& listing = wmi().listings[0];
  EXPECT_TRUE(listing.isQuery);
  EXPECT_EQ(listing.language, u"WQL");
  EXPECT_EQ(listing.text, u"SELECT * FROM Win32_BaseBoard");
  EXPECT_EQ(listing.flags, 48);
  EXPECT_TRUE(listing.contextIsNull);

  for (const fake::FakeNextCall& next : wmi().nextCalls) {
    EXPECT_EQ(static_cast<uint32_t>(next.timeout), 0xFFFFFFFFu);
    EXPECT_EQ(next.count, 1u);
  }
  // Query texts are widened with the system's ANSI code page.
  for (const fake::FakeConversion& conversion : wmi().conversions) {
    EXPECT_EQ(conversion.codePage, 0u);
  }
  ASSERT_EQ(wmi().propertyReads.size(), 1u);
  EXPECT_EQ(wmi().propertyReads[0].flags, 0);
  EXPECT_TRUE(wmi().propertyReads[0].typeIsNull);
  EXPECT_TRUE(wmi().propertyReads[0].flavorIsNull);

  // The apartment is entered first and left last, once every object has gone; the order in
  // which the objects go is the library's own affair.
  EXPECT_EQ(wmi().events.front(), "CoInitialize");
  EXPECT_EQ(wmi().events.back(), "CoUninitialize");
  ExpectNothingHeld();
}

// Only a listing that handed out an enumerator is walked, and the answer says the query failed
// when it did: a failed query that hands out an enumerator all the same has it released, not
// walked; a query that claims success without one has nothing to walk. (A failure of each call
// on the way is FaultTest's.)
TEST_F(QueryStyleTest, AnswersZeroUnlessTheQueryGaveAListing) {
  for (const bool failedWithEnumerator : {true, false}) {
    fake::ResetFakeSystem();
    AddBoard({{u"Product", Text(u"P1")}});
    if (failedWithEnumerator) wmi().listingResult = kFailure;
    if (!failedWithEnumerator) wmi().listingGivesEnumerator = false;
    std::vector<std::u16string> seen;
    EXPECT_EQ(Query(&seen), 0);
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(wmi().nextCalls.empty());
    ExpectNothingHeld();
  }
}

TEST_F(QueryStyleTest, ThreadInTheMultithreadedApartmentAnswersZeroAndKeepsIt) {
  AddBoard({{u"Product", Text(u"P1")}});
  fake::EnterApartment(fake::Apartment::kMultithreaded);
  EXPECT_EQ(Query(), 0);
  EXPECT_TRUE(wmi().creations.empty());
  EXPECT_EQ(fake::CurrentThreadCom().apartment, fake::Apartment::kMultithreaded);
  ExpectNothingHeld(1);
}

TEST_F(QueryStyleTest, ThreadAlreadySingleThreadedWorksAndIsBalanced) {
  AddBoard({{u"Product", Text(u"P1")}});
  fake::EnterApartment(fake::Apartment::kSingleThreaded);
  EXPECT_EQ(Query(), 1);
  EXPECT_EQ(fake::CurrentThreadCom().apartment, fake::Apartment::kSingleThreaded);
  ExpectNothingHeld(1);
}

TEST(StringPropertyTest, EachStyleAcceptsItsOwnResults) {
  fake::ResetFakeSystem();
  fake::AddInstance(u"C", {{u"Exact", fake::FakeProperty::Text(u"a")},
                           {u"Positive", fake::FakeProperty::Text(u"b", 1)},
                           {u"Negative", fake::FakeProperty::Failing(kFailure)},
                           {u"Null", fake::FakeProperty::Null()},
                           {u"Number", fake::FakeProperty::Integer(7)}});
  std::vector<std::optional<std::u16string>> exact, notFailed;
  const char16_t* names[] = {u"Exact", u"Positive", u"Negative", u"Null", u"Number", u"Missing"};
  ASSERT_EQ(QueryWmiClass(
                "SELECT * FROM C",
                [&](IWbemClassObject* instance) {
                  for (const char16_t* name : names) {
                    exact.push_back(ReadStringProperty(instance, name, Acceptance::kExactSuccess));
                    notFailed.push_back(ReadStringProperty(instance, name, Acceptance::kNotFailed));
                  }
                }),
            1);
  using Results = std::vector<std::optional<std::u16string>>;
  const std::nullopt_t none = std::nullopt;
  EXPECT_EQ(exact, (Results{u"a", none, none, none, none, none}));
  EXPECT_EQ(notFailed, (Results{u"a", u"b", none, none, none, none}));
  // Every value was cleared, the rejected text too.
  EXPECT_EQ(fake::FakeSystem().wmi.liveStrings, 0);
  fake::ResetFakeSystem();
}

class EnumerationStyleTest : public test::FakeWmiTest {
 protected:
  // Runs the frame the way the exports do and counts the instances.
  size_t WalkBoards() {
    EnumerationFrame frame("Win32_BaseBoard");
    size_t count = 0;
    while (frame.Next() != nullptr) ++count;
    return count;
  }
};

TEST_F(EnumerationStyleTest, NullOutPointersPrintTheMessageAndCreateNothing) {
  platform::ComLibraries libraries;
  IWbemLocator* locator = nullptr;
  IWbemServices* services = nullptr;
  EXPECT_EQ(ConnectWmiNamespace(nullptr, &services, "ROOT\\CIMV2", nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(ConnectWmiNamespace(&locator, nullptr, "ROOT\\CIMV2", nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(EnumWmiClassInstances(nullptr, nullptr, "Win32_BaseBoard"), E_INVALIDARG);
  EXPECT_EQ(wmi().standardOutput, "Invalid   argument\nInvalid   argument\nInvalid   argument\n");
  EXPECT_TRUE(wmi().creations.empty());
  EXPECT_TRUE(wmi().events.empty());
}

TEST_F(EnumerationStyleTest, UserAndPasswordTravelOnlyTogether) {
  struct Case {
    const char* user;
    const char* password;
    bool passed;
  };
  for (const Case& c : {Case{"u", nullptr, false}, Case{nullptr, "p", false},
                        Case{nullptr, nullptr, false}, Case{"u", "p", true}}) {
    fake::ResetFakeSystem();
    platform::ComLibraries libraries;
    ComPtr<IWbemLocator> locator;
    ComPtr<IWbemServices> services;
    ASSERT_EQ(ConnectWmiNamespace(locator.put(), services.put(), "root\\x", c.user, c.password),
              S_OK);
    ASSERT_EQ(wmi().connections.size(), 1u);
    const fake::FakeConnection& connection = wmi().connections[0];
    EXPECT_EQ(connection.resource, u"root\\x");
    EXPECT_EQ(connection.user.has_value(), c.passed);
    EXPECT_EQ(connection.password.has_value(), c.passed);
    if (c.passed) {
      EXPECT_EQ(connection.user, u"u");
      EXPECT_EQ(connection.password, u"p");
    }
    // Narrow texts are widened with the calling thread's ANSI code page.
    for (const fake::FakeConversion& conversion : wmi().conversions) {
      EXPECT_EQ(conversion.codePage, 3u);
    }
    EXPECT_EQ(wmi().blankets.size(), 1u);
    EXPECT_TRUE(locator && services);
  }
}

TEST_F(EnumerationStyleTest, FailedConnectionOrBlanketLeavesBothOutPointersNull) {
  for (int step = 0; step < 3; ++step) {
    fake::ResetFakeSystem();
    if (step == 0) wmi().createLocatorResult = REGDB_E_CLASSNOTREG;
    if (step == 1) wmi().connectResult = kFailure;
    if (step == 2) wmi().blanketResult = E_NOTIMPL;
    {
      platform::ComLibraries libraries;
      IWbemLocator* locator = nullptr;
      IWbemServices* services = nullptr;
      const HRESULT hr = ConnectWmiNamespace(&locator, &services, "ROOT\\CIMV2", nullptr, nullptr);
      EXPECT_EQ(hr, step == 0 ? REGDB_E_CLASSNOTREG : step == 1 ? kFailure : E_NOTIMPL);
      EXPECT_EQ(locator, nullptr);
      EXPECT_EQ(services, nullptr);
    }
    ExpectNothingHeld();
  }
}

TEST_F(EnumerationStyleTest, ListsByClassName) {
  AddBoard({{u"Product", Text(u"P1")}});
  AddBoard({{u"Product", Text(u"P2")}});
  EXPECT_EQ(WalkBoards(), 2u);
  ASSERT_EQ(wmi().listings.size(), 1u);
  EXPECT_FALSE(wmi().listings[0].isQuery);
  EXPECT_EQ(wmi().listings[0].text, u"Win32_BaseBoard");
  EXPECT_EQ(wmi().listings[0].flags, 48);
  EXPECT_TRUE(wmi().listings[0].contextIsNull);
  EXPECT_EQ(wmi().connections[0].resource, u"ROOT\\CIMV2");
  EXPECT_EQ(wmi().events.back(), "CoUninitialize");
  ExpectNothingHeld();
}

TEST_F(EnumerationStyleTest, TheEnumeratorDecidesNotTheResult) {
  AddBoard({{u"Product", Text(u"P1")}});
  wmi().listingResult = kFailure;  // fails, but hands out an enumerator
  EXPECT_EQ(WalkBoards(), 1u);
  ExpectNothingHeld();

  fake::ResetFakeSystem();
  AddBoard({{u"Product", Text(u"P1")}});
  wmi().listingGivesEnumerator = false;  // succeeds without one
  EXPECT_EQ(WalkBoards(), 0u);
  EXPECT_TRUE(wmi().nextCalls.empty());
  ExpectNothingHeld();
}

}  // namespace
}  // namespace quoril::wmi

// SPDX-License-Identifier: MIT
#include "platform/linux/wmi_substitute.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "scratch_folder.h"

namespace quoril::platform {
namespace {

namespace fs = std::filesystem;

// A property as the logic reads it: text, null, or a failed Get.
struct Read {
  HRESULT result;
  VARTYPE type;
  std::u16string text;
  bool operator==(const Read&) const = default;
};
Read Text(std::u16string text) { return {S_OK, VT_BSTR, std::move(text)}; }
const Read kNull{S_OK, VT_NULL, u""};

Read Get(IWbemClassObject* object, const char16_t* name) {
  VARIANT value;
  VariantInit(&value);
  Read read{object->Get(name, 0, &value, nullptr, nullptr), value.vt, u""};
  if (value.vt == VT_BSTR) read.text = value.bstrVal;
  EXPECT_EQ(VariantClear(&value), S_OK);
  return read;
}

// Owns one BSTR for a call that takes it.
class Bstr {
 public:
  explicit Bstr(const char16_t* text) : text_(SysAllocString(text)) {}
  ~Bstr() { SysFreeString(text_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return text_; }

 private:
  BSTR text_;
};

class WmiSubstitute : public test::ScratchFolder {
 protected:
  // A device as the kernel shows it: block/<name> links to its folder under devices/.
  void AddBlockDevice(const std::string& name, std::optional<std::string> vendor,
                      std::optional<std::string> model) {
    const fs::path dir = root_ / "devices" / name;
    fs::create_directories(dir / "device");
    if (vendor) std::ofstream(dir / "device" / "vendor") << *vendor << '\n';
    if (model) std::ofstream(dir / "device" / "model") << *model << '\n';
    fs::create_directories(root_ / "block");
    fs::create_directory_symlink(dir, root_ / "block" / name);
  }

  IWbemServices* Connect() {
    IWbemLocator* locator = wmi::NewLocator(root_.string());
    EXPECT_NE(locator, nullptr);
    IWbemServices* services = nullptr;
    const Bstr resource(u"ROOT\\CIMV2");
    EXPECT_EQ(locator->ConnectServer(resource.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                     &services),
              S_OK);
    EXPECT_EQ(locator->Release(), 0u);
    return services;
  }

  // Every instance of the query's class, each property of `names` as read through Get.
  std::vector<std::vector<Read>> Query(const char16_t* query, std::vector<const char16_t*> names) {
    IWbemServices* services = Connect();
    const Bstr language(u"WQL");
    const Bstr text(query);
    IEnumWbemClassObject* listing = nullptr;
    EXPECT_EQ(services->ExecQuery(language.get(), text.get(), 48, nullptr, &listing), S_OK);
    EXPECT_EQ(services->Release(), 0u);
    std::vector<std::vector<Read>> instances;
    if (listing == nullptr) return instances;
    for (;;) {
      IWbemClassObject* object = nullptr;
      ULONG returned = 7;
      const HRESULT result = listing->Next(WBEM_INFINITE, 1, &object, &returned);
      if (returned == 0) {
        EXPECT_EQ(result, WBEM_S_FALSE);
        EXPECT_EQ(object, nullptr);
        break;
      }
      EXPECT_EQ(result, WBEM_S_NO_ERROR);
      std::vector<Read> reads;
      for (const char16_t* name : names) reads.push_back(Get(object, name));
      instances.push_back(std::move(reads));
      EXPECT_EQ(object->Release(), 0u);
    }
    EXPECT_EQ(listing->Release(), 0u);
    return instances;
  }
};

using Instances = std::vector<std::vector<Read>>;

TEST_F(WmiSubstitute, BoardComesFromDmiAsWritten) {
  EXPECT_EQ(Query(u"SELECT * FROM Win32_BaseBoard", {u"Product"}), Instances{});
  Write("class/dmi/id/board_vendor", "Quoril Boards  \n");
  EXPECT_EQ(Query(u"SELECT * FROM Win32_BaseBoard", {u"Product", u"Manufacturer"}),
            (Instances{{kNull, Text(u"Quoril Boards  ")}}));
  // Read afresh for every listing; a name in UTF-8, one byte of it ill-formed.
  Write("class/dmi/id/board_name",
        "Pl\xC3\xA4tine \xFF"
        "2\nsecond line");
  EXPECT_EQ(Query(u"select *  from\twin32_baseboard", {u"product", u"MANUFACTURER"}),
            (Instances{{Text(u"Pl\u00E4tine \uFFFD2"), Text(u"Quoril Boards  ")}}));
  // A first line longer than an attribute's one page is cut at the page.
  Write("class/dmi/id/board_name", std::string(5000, 'x') + "\n");
  EXPECT_EQ(Query(u"SELECT * FROM Win32_BaseBoard", {u"Product"}),
            (Instances{{Text(std::u16string(4096, u'x'))}}));
}

TEST_F(WmiSubstitute, NoDrivesWithoutScsiCdroms) {
  EXPECT_EQ(Query(u"SELECT * FROM Win32_CDROMDrive", {u"Caption"}), Instances{});
  AddBlockDevice("sda", "ATA", "Disk");
  AddBlockDevice("sr", "A", "B");
  AddBlockDevice("sr01", "A", "B");
  AddBlockDevice("srx", "A", "B");
  EXPECT_EQ(Query(u"SELECT * FROM Win32_CDROMDrive", {u"Caption"}), Instances{});
}

TEST_F(WmiSubstitute, DrivesInDeviceOrderWithTheirLetters) {
  AddBlockDevice("sr10", "TSSTcorp", "BDDVDW SE-506CB");
  AddBlockDevice("sr1", std::nullopt, std::nullopt);
  AddBlockDevice("sr0", "HL-DT-ST", "  DVDRAM GH24NSD1 ");
  AddBlockDevice("sr2", "        ", "Model Only");
  AddBlockDevice("sr23", "Past", "Z");
  EXPECT_EQ(Query(u"SELECT * FROM Win32_CDROMDrive", {u"Drive", u"Caption"}),
            (Instances{{Text(u"D:"), Text(u"HL-DT-ST DVDRAM GH24NSD1")},
                       {Text(u"E:"), kNull},
                       {Text(u"F:"), Text(u"Model Only")},
                       {Text(u"N:"), Text(u"TSSTcorp BDDVDW SE-506CB")},
                       {kNull, Text(u"Past Z")}}));
  EXPECT_EQ(wmi::CdromDriveLetter(22), 'Z');
  EXPECT_EQ(wmi::CdromDriveLetter(23), std::nullopt);
}

TEST_F(WmiSubstitute, PropertiesAndQueriesItDoesNotKnowAreRefused) {
  Write("class/dmi/id/board_name", "X");
  const Read notFound{WBEM_E_NOT_FOUND, VT_EMPTY, u""};
  EXPECT_EQ(Query(u"SELECT * FROM Win32_BaseBoard", {u"SerialNumber", u"Product "}),
            (Instances{{notFound, notFound}}));

  IWbemServices* services = Connect();
  IEnumWbemClassObject* listing = reinterpret_cast<IEnumWbemClassObject*>(1);
  const Bstr wql(u"WQL");
  const auto query = [&](const char16_t* language, const char16_t* text) {
    const Bstr languageText(language);
    const Bstr queryText(text);
    return services->ExecQuery(languageText.get(), queryText.get(), 48, nullptr, &listing);
  };
  EXPECT_EQ(query(u"SQL", u"SELECT * FROM Win32_BaseBoard"), wmi::kWbemEInvalidQueryType);
  EXPECT_EQ(query(u"WQL", u"SELECT Product FROM Win32_BaseBoard"), WBEM_E_INVALID_QUERY);
  EXPECT_EQ(query(u"WQL", u"SELECT * FROM Win32_BaseBoard WHERE 1"), WBEM_E_INVALID_QUERY);
  EXPECT_EQ(query(u"WQL", u"SELECT * FROM Win32_Processor"), WBEM_E_INVALID_CLASS);
  EXPECT_EQ(listing, nullptr);
  EXPECT_EQ(services->ExecQuery(nullptr, wql.get(), 48, nullptr, &listing),
            wmi::kWbemEInvalidParameter);
  EXPECT_EQ(services->ExecQuery(wql.get(), wql.get(), 48, nullptr, nullptr),
            wmi::kWbemEInvalidParameter);
  const Bstr unknown(u"Win32_DiskDrive");
  EXPECT_EQ(services->CreateInstanceEnum(unknown.get(), 48, nullptr, &listing),
            WBEM_E_INVALID_CLASS);
  EXPECT_EQ(services->CreateInstanceEnum(nullptr, 48, nullptr, &listing),
            wmi::kWbemEInvalidParameter);
  const Bstr board(u"win32_BASEBOARD");
  ASSERT_EQ(services->CreateInstanceEnum(board.get(), 48, nullptr, &listing), S_OK);
  EXPECT_EQ(listing->Next(WBEM_INFINITE, 1, nullptr, nullptr), wmi::kWbemEInvalidParameter);
  EXPECT_EQ(listing->Release(), 0u);
  EXPECT_EQ(services->Release(), 0u);
}

TEST_F(WmiSubstitute, ConnectsOnlyToTheLocalCimv2WithoutCredentials) {
  IWbemLocator* locator = wmi::NewLocator(root_.string());
  const auto connect = [&](const char16_t* resource, const char16_t* user) {
    const Bstr resourceText(resource);
    const Bstr userText(user);
    IWbemServices* services = reinterpret_cast<IWbemServices*>(1);
    const HRESULT result = locator->ConnectServer(resourceText.get(), userText.get(), nullptr,
                                                  nullptr, 0, nullptr, nullptr, &services);
    EXPECT_EQ(services != nullptr, SUCCEEDED(result));
    if (services != nullptr) {
      EXPECT_EQ(services->Release(), 0u);
    }
    return result;
  };
  EXPECT_EQ(connect(u"root\\cimv2", nullptr), S_OK);
  EXPECT_EQ(connect(u"\\\\.\\ROOT\\CIMV2", nullptr), S_OK);
  EXPECT_EQ(connect(u"//./root/cimv2", u""), S_OK);
  EXPECT_EQ(connect(u"ROOT\\DEFAULT", nullptr), wmi::kWbemEInvalidNamespace);
  EXPECT_EQ(connect(u"\\\\server\\ROOT\\CIMV2", nullptr), wmi::kWbemEInvalidNamespace);
  EXPECT_EQ(connect(u"ROOT\\CIMV2", u"admin"), wmi::kWbemELocalCredentials);
  EXPECT_EQ(connect(nullptr, nullptr), wmi::kWbemEInvalidParameter);
  EXPECT_EQ(locator->Release(), 0u);
}

TEST_F(WmiSubstitute, EveryObjectLivesExactlyAsLongAsItsReferences) {
  Write("class/dmi/id/board_name", "Board");
  IWbemLocator* locator = wmi::NewLocator(root_.string());
  IUnknown* unknown = nullptr;
  ASSERT_EQ(locator->QueryInterface(kIidUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(locator));
  void* other = &other;
  EXPECT_EQ(locator->QueryInterface(kIidWbemServices, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(locator->AddRef(), 3u);
  EXPECT_EQ(locator->Release(), 2u);
  EXPECT_EQ(unknown->Release(), 1u);

  IWbemServices* services = nullptr;
  const Bstr resource(u"ROOT\\CIMV2");
  ASSERT_EQ(locator->ConnectServer(resource.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                   &services),
            S_OK);
  const Bstr board(u"Win32_BaseBoard");
  IEnumWbemClassObject* listing = nullptr;
  ASSERT_EQ(services->CreateInstanceEnum(board.get(), 48, nullptr, &listing), S_OK);
  // Each object stands on its own: the instance outlives everything it came from.
  EXPECT_EQ(locator->Release(), 0u);
  EXPECT_EQ(services->Release(), 0u);
  IWbemClassObject* objects[2] = {nullptr, nullptr};
  ULONG returned = 0;
  EXPECT_EQ(listing->Next(WBEM_INFINITE, 2, objects, &returned), WBEM_S_FALSE);
  ASSERT_EQ(returned, 1u);
  EXPECT_EQ(listing->Release(), 0u);
  EXPECT_EQ(objects[0]->AddRef(), 2u);
  EXPECT_EQ(objects[0]->Release(), 1u);
  EXPECT_EQ(Get(objects[0], u"Product"), Text(u"Board"));
  EXPECT_EQ(objects[0]->Release(), 0u);
}

TEST_F(WmiSubstitute, CoCreateInstanceHandsOutOnlyTheLocator) {
  Write("class/dmi/id/board_name", "From The Variable");
  ASSERT_EQ(setenv("QUORIL_SYSFS_ROOT", root_.c_str(), 1), 0);
  void* object = &object;
  ASSERT_EQ(
      CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemLocator, &object),
      S_OK);
  auto* locator = static_cast<IWbemLocator*>(object);
  IWbemServices* services = nullptr;
  const Bstr resource(u"ROOT\\CIMV2");
  ASSERT_EQ(locator->ConnectServer(resource.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                   &services),
            S_OK);
  EXPECT_EQ(
      CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                        RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
      S_OK);
  const Bstr board(u"Win32_BaseBoard");
  IEnumWbemClassObject* listing = nullptr;
  ASSERT_EQ(services->CreateInstanceEnum(board.get(), 48, nullptr, &listing), S_OK);
  IWbemClassObject* instance = nullptr;
  ULONG returned = 0;
  ASSERT_EQ(listing->Next(WBEM_INFINITE, 1, &instance, &returned), S_OK);
  EXPECT_EQ(Get(instance, u"Product"), Text(u"From The Variable"));
  EXPECT_EQ(instance->Release(), 0u);
  EXPECT_EQ(listing->Release(), 0u);
  EXPECT_EQ(services->Release(), 0u);
  EXPECT_EQ(locator->Release(), 0u);
  ASSERT_EQ(unsetenv("QUORIL_SYSFS_ROOT"), 0);

  EXPECT_EQ(
      CoCreateInstance(kIidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemLocator, &object),
      REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoCreateInstance(kClsidWbemLocator, nullptr, 4, kIidWbemLocator, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(
      CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemServices, &object),
      E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  // No object aggregates the locator.
  EXPECT_LT(CoCreateInstance(kClsidWbemLocator, reinterpret_cast<IUnknown*>(&returned),
                             CLSCTX_INPROC_SERVER, kIidWbemLocator, &object),
            0);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(
      CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemLocator, nullptr),
      E_POINTER);
  EXPECT_EQ(CoSetProxyBlanket(nullptr, 10, 0, nullptr, 3, 3, nullptr, 0), E_INVALIDARG);
}

}  // namespace
}  // namespace quoril::platform

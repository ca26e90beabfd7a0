// SPDX-License-Identifier: MIT
#include "platform/linux/wmi_substitute.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>

#include "common/ascii_case.h"
#include "platform/linux/boundary.h"
#include "platform/linux/sysfs_root.h"
#include "platform/linux/utf.h"
#include "platform/platform.h"

namespace quoril::platform::wmi {
namespace {

namespace fs = std::filesystem;

// sysfs attributes are at most one page; a larger file is not an attribute.
constexpr size_t kMaxAttributeBytes = 4096;

constexpr std::u16string_view kBaseBoardClass = u"Win32_BaseBoard";
constexpr std::u16string_view kCdromDriveClass = u"Win32_CDROMDrive";

// CIM_STRING, the type every property here has.
constexpr CIMTYPE kCimString = 8;

// The first line of a regular file, without its line end; nothing when it can't be read.
std::optional<std::string> ReadFirstLine(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(kMaxAttributeBytes, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) return std::nullopt;
  text.resize(static_cast<size_t>(in.gcount()));
  text.resize(std::min(text.find('\n'), text.size()));
  return text;
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<std::u16string> Widen(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return utf::ToUtf16(*text);
}

// WMI compares class and property names without regard to the case of ASCII letters.
bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

// N of a kernel device name "srN" (decimal, no leading zeros); nothing for other names.
std::optional<unsigned> CdromIndex(std::string_view name) {
  if (!name.starts_with("sr") || name.size() < 3) return std::nullopt;
  const std::string_view digits = name.substr(2);
  if (digits.size() > 1 && digits[0] == '0') return std::nullopt;
  unsigned index = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return index;
}

// The instances of `className`, or nothing for a class the substitute doesn't know.
std::optional<std::vector<Instance>> ReadClass(const std::string& sysfsRoot,
                                               std::u16string_view className) {
  if (SameName(className, kBaseBoardClass)) return ReadBaseBoards(sysfsRoot);
  if (SameName(className, kCdromDriveClass)) return ReadCdromDrives(sysfsRoot);
  return std::nullopt;
}

std::u16string_view View(const BSTR text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

// Reference counting and interface lookup, shared by every object the substitute hands out.
template <typename Interface, const IID& kIid>
class ComObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == kIidUnknown || riid == kIid) {
      AddRef();
      *object = static_cast<Interface*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;

 private:
  std::atomic<ULONG> references_{1};
};

class ClassObject final : public ComObject<IWbemClassObject, kIidWbemClassObject> {
 public:
  explicit ClassObject(Instance instance) : instance_(std::move(instance)) {}

  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG /*flags*/, VARIANT* value, CIMTYPE* type,
                                LONG* flavor) override {
    if (name == nullptr) return kWbemEInvalidParameter;
    const auto property =
        std::find_if(instance_.begin(), instance_.end(),
                     [name](const Property& candidate) { return SameName(candidate.name, name); });
    if (property == instance_.end()) return WBEM_E_NOT_FOUND;
    if (value != nullptr) {
      // As WMI does, the variant is overwritten, not cleared: the caller initialised it.
      if (property->text) {
        const BSTR text =
            SysAllocStringLen(property->text->data(), static_cast<UINT>(property->text->size()));
        if (text == nullptr) return kWbemEOutOfMemory;
        value->vt = VT_BSTR;
        value->bstrVal = text;
      } else {
        value->vt = VT_NULL;
      }
    }
    if (type != nullptr) *type = kCimString;
    // The substitute keeps no qualifier flavours.
    if (flavor != nullptr) *flavor = 0;
    return WBEM_S_NO_ERROR;
  }

 private:
  const Instance instance_;
};

// Hands out the instances read when the listing was made, forward only, each once.
class Enumerator final : public ComObject<IEnumWbemClassObject, kIidEnumWbemClassObject> {
 public:
  explicit Enumerator(std::vector<Instance> instances) : instances_(std::move(instances)) {}

  // Everything is read before the listing is handed out, so no call ever has to wait and
  // the time-out has nothing to limit.
  HRESULT STDMETHODCALLTYPE Next(LONG /*timeout*/, ULONG count, IWbemClassObject** objects,
                                 ULONG* returned) override {
    if (objects == nullptr || returned == nullptr) return kWbemEInvalidParameter;
    *returned = 0;
    const std::lock_guard<std::mutex> lock(mutex_);
    while (*returned < count && next_ < instances_.size()) {
      // Moving the instance in throws nothing; only the allocation can fail.
      ClassObject* const object = new (std::nothrow) ClassObject(std::move(instances_[next_]));
      if (object == nullptr) return *returned == 0 ? kWbemEOutOfMemory : WBEM_S_FALSE;
      ++next_;
      objects[(*returned)++] = object;
    }
    return *returned == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
  }

 private:
  std::mutex mutex_;
  std::vector<Instance> instances_;
  size_t next_ = 0;
};

// A listing of `className` into `*listing`, or the WMI error for it.
HRESULT List(const std::string& sysfsRoot, std::u16string_view className,
             IEnumWbemClassObject** listing) {
  std::optional<std::vector<Instance>> instances = ReadClass(sysfsRoot, className);
  if (!instances) return WBEM_E_INVALID_CLASS;
  *listing = new Enumerator(std::move(*instances));
  return WBEM_S_NO_ERROR;
}

// The class a query "SELECT * FROM <class>" selects (keywords in any letter case, any blanks
// between the words); nothing for any other query.
std::optional<std::u16string_view> SelectedClass(std::u16string_view query) {
  std::vector<std::u16string_view> words;
  constexpr std::u16string_view kBlanks = u" \t\r\n";
  size_t at = query.find_first_not_of(kBlanks);
  while (at != std::u16string_view::npos) {
    const size_t end = query.find_first_of(kBlanks, at);
    words.push_back(query.substr(at, end == std::u16string_view::npos ? end : end - at));
    at = end == std::u16string_view::npos ? end : query.find_first_not_of(kBlanks, end);
  }
  if (words.size() != 4 || !SameName(words[0], u"SELECT") || words[1] != u"*" ||
      !SameName(words[2], u"FROM")) {
    return std::nullopt;
  }
  return words[3];
}

class Services final : public ComObject<IWbemServices, kIidWbemServices> {
 public:
  explicit Services(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

  // Flags only choose how WMI delivers a listing; every listing here is complete at once.
  HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR className, LONG /*flags*/,
                                               IWbemContext* /*context*/,
                                               IEnumWbemClassObject** listing) override {
    if (listing == nullptr) return kWbemEInvalidParameter;
    *listing = nullptr;
    if (className == nullptr) return kWbemEInvalidParameter;
    return AnswerOrFail(kWbemEOutOfMemory,
                        [&] { return List(sysfsRoot_, View(className), listing); });
  }

  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG /*flags*/,
                                      IWbemContext* /*context*/,
                                      IEnumWbemClassObject** listing) override {
    if (listing == nullptr) return kWbemEInvalidParameter;
    *listing = nullptr;
    if (language == nullptr || query == nullptr) return kWbemEInvalidParameter;
    if (!SameName(View(language), u"WQL")) return kWbemEInvalidQueryType;
    return AnswerOrFail(kWbemEOutOfMemory, [&] {
      const std::optional<std::u16string_view> className = SelectedClass(View(query));
      if (!className) return WBEM_E_INVALID_QUERY;
      return List(sysfsRoot_, *className, listing);
    });
  }

 private:
  const std::string sysfsRoot_;
};

// "ROOT\CIMV2" on this machine, in any letter case, with '/' or '\' and with or without the
// local machine's prefix "\\.\".
bool IsLocalCimv2(std::u16string_view name) {
  std::u16string normal(name);
  std::replace(normal.begin(), normal.end(), u'/', u'\\');
  std::u16string_view rest = normal;
  if (rest.starts_with(u"\\\\.\\")) rest.remove_prefix(4);
  return SameName(rest, u"ROOT\\CIMV2");
}

class Locator final : public ComObject<IWbemLocator, kIidWbemLocator> {
 public:
  explicit Locator(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

  // Locale, security flags and authority change nothing for a local, in-process namespace.
  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user,
                                          const BSTR /*password*/, const BSTR /*locale*/,
                                          LONG /*securityFlags*/, const BSTR /*authority*/,
                                          IWbemContext* /*context*/,
                                          IWbemServices** services) override {
    if (services == nullptr) return kWbemEInvalidParameter;
    *services = nullptr;
    if (resource == nullptr) return kWbemEInvalidParameter;
    return AnswerOrFail(kWbemEOutOfMemory, [&] {
      if (!IsLocalCimv2(View(resource))) return kWbemEInvalidNamespace;
      // As WMI, which refuses credentials for a connection to the local machine.
      if (!View(user).empty()) return kWbemELocalCredentials;
      *services = new Services(sysfsRoot_);
      return WBEM_S_NO_ERROR;
    });
  }

 private:
  const std::string sysfsRoot_;
};

}  // namespace

std::vector<Instance> ReadBaseBoards(const std::string& sysfsRoot) {
  const fs::path dmi = fs::path(sysfsRoot) / "class" / "dmi" / "id";
  const std::optional<std::string> product = ReadFirstLine(dmi / "board_name");
  const std::optional<std::string> vendor = ReadFirstLine(dmi / "board_vendor");
  if (!product && !vendor) return {};
  return {Instance{{u"Product", Widen(product)}, {u"Manufacturer", Widen(vendor)}}};
}

std::vector<Instance> ReadCdromDrives(const std::string& sysfsRoot) {
  std::optional<std::vector<std::string>> names = FolderEntries(sysfsRoot + "/block");
  if (!names) return {};
  std::vector<std::pair<unsigned, std::string>> devices;
  for (std::string& name : *names) {
    if (const std::optional<unsigned> index = CdromIndex(name)) {
      devices.emplace_back(*index, std::move(name));
    }
  }
  std::sort(devices.begin(), devices.end());

  std::vector<Instance> drives;
  for (const auto& [index, name] : devices) {
    const fs::path device = fs::path(sysfsRoot) / "block" / name / "device";
    const std::optional<std::string> vendor = ReadFirstLine(device / "vendor");
    const std::optional<std::string> model = ReadFirstLine(device / "model");
    std::optional<std::string> caption;
    if (vendor || model) {
      caption.emplace();
      for (const std::optional<std::string>& part : {vendor, model}) {
        const std::string_view text = part ? Trim(*part) : std::string_view();
        if (text.empty()) continue;
        if (!caption->empty()) *caption += ' ';
        *caption += text;
      }
    }
    std::optional<std::string> drive;
    if (const std::optional<char> letter = CdromDriveLetter(index)) {
      drive = std::string{*letter, ':'};
    }
    drives.push_back(Instance{{u"Caption", Widen(caption)}, {u"Drive", Widen(drive)}});
  }
  return drives;
}

std::optional<char> CdromDriveLetter(unsigned index) {
  if (index > static_cast<unsigned>('Z' - 'D')) return std::nullopt;
  return static_cast<char>('D' + index);
}

IWbemLocator* NewLocator(std::string_view sysfsRoot) { return new Locator(std::string(sysfsRoot)); }

}  // namespace quoril::platform::wmi

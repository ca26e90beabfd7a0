// SPDX-License-Identifier: MIT
// The report: what the library answered, kept as a small tree of values so that the same facts
// print either as readable text or as one JSON object.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quoril_info {

struct Member;

class Value {
 public:
  using List = std::vector<Value>;
  using Object = std::vector<Member>;

  // No answer, because the export that would give it is missing: JSON null.
  static Value Missing();
  static Value Flag(bool value);
  static Value Number(std::int64_t value);
  // Narrow text exactly as the library or the system wrote it, in the system's narrow encoding
  // (UTF-8 natively, the ANSI code page on Windows); it need not be well-formed.
  static Value Text(std::string value);
  // UTF-16 units exactly as the library wrote them; they need not be well-formed.
  static Value WideText(std::u16string value);
  static Value MakeList(List items);
  static Value MakeObject(Object members);

  using Data =
      std::variant<std::monostate, bool, std::int64_t, std::string, std::u16string, List, Object>;
  const Data& data() const { return data_; }

 private:
  template <typename T>
  explicit Value(T value) : data_(std::move(value)) {}

  Data data_;
};

struct Member {
  std::string key;  // a JSON member name; the text report shows '_' as a space
  Value value;
};

// Defined once Member is complete: making or destroying a Value destroys its Object
// alternative, a vector of Members.
inline Value Value::Missing() { return Value(std::monostate()); }
inline Value Value::Flag(bool value) { return Value(value); }
inline Value Value::Number(std::int64_t value) { return Value(value); }
inline Value Value::Text(std::string value) { return Value(std::move(value)); }
inline Value Value::WideText(std::u16string value) { return Value(std::move(value)); }
inline Value Value::MakeList(List items) { return Value(std::move(items)); }
inline Value Value::MakeObject(Object members) { return Value(std::move(members)); }

// The JSON report's "format_version". Within it fields are only ever added; a field that changed
// its meaning or went away would take a new number.
inline constexpr int kReportFormatVersion = 1;

struct Section {
  std::string key;    // its member name in the JSON object
  std::string title;  // its heading in the text report
  Value value;
};

using Report = std::vector<Section>;

// One JSON object, "format_version" first and then one member per section, indented, ending in a
// newline, always ASCII. Wide
// strings are escaped unit by unit: control and non-ASCII units become \uXXXX. Narrow strings
// are first read as the characters they encode (see JsonString), then escaped the same way.
std::string RenderJson(const Report& report);

// Headings with indented facts beneath them, for a person to read. Strings are quoted, and
// bytes that would not print show as \xXX; in wide strings, units that would not print show as
// \uXXXX.
std::string RenderText(const Report& report);

// The JSON string literal for narrow text, quotes included: the text converted to UTF-16 as the
// system converts its narrow text (natively from UTF-8, a byte that begins no well-formed
// sequence becoming U+FFFD; on Windows from the ANSI code page by MultiByteToWideChar), then
// printable ASCII as it is and every other unit as \uXXXX.
std::string JsonString(const std::string& narrow);

}  // namespace quoril_info

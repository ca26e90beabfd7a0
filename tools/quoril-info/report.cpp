// SPDX-License-Identifier: MIT
#include "report.h"

#include <cstddef>
#include <type_traits>

#include "wide_text.h"

namespace quoril_info {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// A wide string's units between quotes: printable ASCII as it is (quote and backslash escaped),
// every other unit as \uXXXX, which JSON reads back as the same unit.
std::string QuotedWide(const std::u16string& units) {
  std::string out = "\"";
  for (const char16_t unit : units) {
    if (unit == u'"' || unit == u'\\') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit >= 0x20 && unit < 0x7f) {
      out += static_cast<char>(unit);
    } else {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[(unit >> shift) & 0xf];
    }
  }
  return out + "\"";
}

std::string Indent(std::size_t depth) { return std::string(2 * depth, ' '); }

bool IsScalar(const Value& value) {
  return !std::holds_alternative<Value::List>(value.data()) &&
         !std::holds_alternative<Value::Object>(value.data());
}

// ---- JSON ----------------------------------------------------------------------------------

void AppendJson(const Value& value, std::size_t depth, std::string& out);

void AppendJsonList(const Value::List& items, std::size_t depth, std::string& out) {
  if (items.empty()) {
    out += "[]";
    return;
  }
  out += "[\n";
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += Indent(depth + 1);
    AppendJson(items[i], depth + 1, out);
    out += i + 1 < items.size() ? ",\n" : "\n";
  }
  out += Indent(depth) + "]";
}

void AppendJsonObject(const Value::Object& members, std::size_t depth, std::string& out) {
  if (members.empty()) {
    out += "{}";
    return;
  }
  out += "{\n";
  for (std::size_t i = 0; i < members.size(); ++i) {
    out += Indent(depth + 1) + JsonString(members[i].key) + ": ";
    AppendJson(members[i].value, depth + 1, out);
    out += i + 1 < members.size() ? ",\n" : "\n";
  }
  out += Indent(depth) + "}";
}

void AppendJson(const Value& value, std::size_t depth, std::string& out) {
  std::visit(
      [&](const auto& data) {
        using T = std::decay_t<decltype(data)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          out += "null";
        } else if constexpr (std::is_same_v<T, bool>) {
          out += data ? "true" : "false";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          out += std::to_string(data);
        } else if constexpr (std::is_same_v<T, std::string>) {
          out += JsonString(data);
        } else if constexpr (std::is_same_v<T, std::u16string>) {
          out += QuotedWide(data);
        } else if constexpr (std::is_same_v<T, Value::List>) {
          AppendJsonList(data, depth, out);
        } else {
          AppendJsonObject(data, depth, out);
        }
      },
      value.data());
}

// ---- Text ----------------------------------------------------------------------------------

std::string QuotedText(const std::string& bytes) {
  std::string out = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7f) {
      out += "\\x";
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0xf];
    } else {
      out += c;
    }
  }
  out += '"';
  // An empty answer is easy to overlook as a pair of quotes.
  if (bytes.empty()) out += " (empty)";
  return out;
}

std::string ScalarText(const Value& value) {
  return std::visit(
      [](const auto& data) -> std::string {
        using T = std::decay_t<decltype(data)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return "missing export";
        } else if constexpr (std::is_same_v<T, bool>) {
          return data ? "yes" : "no";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return std::to_string(data);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return QuotedText(data);
        } else if constexpr (std::is_same_v<T, std::u16string>) {
          return QuotedWide(data) + (data.empty() ? " (empty)" : "");
        } else if constexpr (std::is_same_v<T, Value::List>) {
          return "(none)";  // only empty lists are shown inline
        } else {
          return "(nothing)";  // only empty objects are shown inline
        }
      },
      value.data());
}

std::string KeyText(std::string key) {
  for (char& c : key) {
    if (c == '_') c = ' ';
  }
  return key;
}

bool ShowsInline(const Value& value) {
  if (const auto* items = std::get_if<Value::List>(&value.data())) return items->empty();
  if (const auto* members = std::get_if<Value::Object>(&value.data())) return members->empty();
  return true;
}

void AppendTextBody(const Value& value, std::size_t depth, std::string& out);

// A list entry whose members are all plain values fits on one line: "- index: 0, vendor: ...".
void AppendTextListItem(const Value& item, std::size_t depth, std::string& out) {
  out += Indent(depth) + "-";
  const auto* members = std::get_if<Value::Object>(&item.data());
  bool flat = members != nullptr;
  if (flat) {
    for (const Member& member : *members) flat = flat && IsScalar(member.value);
  }
  if (ShowsInline(item)) {
    out += ' ';
    out += ScalarText(item);
    out += '\n';
  } else if (flat) {
    for (std::size_t i = 0; i < members->size(); ++i) {
      out += i == 0 ? " " : ", ";
      out += KeyText((*members)[i].key) + ": " + ScalarText((*members)[i].value);
    }
    out += "\n";
  } else {
    out += "\n";
    AppendTextBody(item, depth + 1, out);
  }
}

// The lines below a heading (or below a "key:" line) for a list or an object.
void AppendTextBody(const Value& value, std::size_t depth, std::string& out) {
  if (const auto* items = std::get_if<Value::List>(&value.data())) {
    for (const Value& item : *items) AppendTextListItem(item, depth, out);
  } else if (const auto* members = std::get_if<Value::Object>(&value.data())) {
    for (const Member& member : *members) {
      out += Indent(depth) + KeyText(member.key) + ":";
      if (ShowsInline(member.value)) {
        out += ' ';
        out += ScalarText(member.value);
        out += '\n';
      } else {
        out += "\n";
        AppendTextBody(member.value, depth + 1, out);
      }
    }
  }
}

}  // namespace

// Narrow text is in this system's narrow encoding (UTF-8 natively, the ANSI code page on
// Windows): read as the characters it stands for, then written as wide text is.
std::string JsonString(const std::string& narrow) { return QuotedWide(WideText(narrow)); }

std::string RenderJson(const Report& report) {
  Value::Object members{{"format_version", Value::Number(kReportFormatVersion)}};
  for (const Section& section : report) members.push_back({section.key, section.value});
  std::string out;
  AppendJson(Value::MakeObject(std::move(members)), 0, out);
  return out + "\n";
}

std::string RenderText(const Report& report) {
  std::string out;
  for (const Section& section : report) {
    out += section.title + ":";
    if (ShowsInline(section.value)) {
      out += ' ';
      out += ScalarText(section.value);
      out += '\n';
    } else {
      out += "\n";
      AppendTextBody(section.value, 1, out);
    }
  }
  return out;
}

}  // namespace quoril_info

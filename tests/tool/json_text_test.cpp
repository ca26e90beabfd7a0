// SPDX-License-Identifier: MIT
// The JSON report's narrow strings: read as the characters the system's narrow encoding gives
// them (UTF-8 natively, the ANSI code page on Windows), never byte by byte. A plain program
// rather than a GoogleTest one, so that the Windows build of the tool, which has no test
// framework, runs it under Wine too. Prints each failing case; exit status 1 when any failed.
#include <cstdio>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "report.h"

namespace {

struct Case {
  const char* what;
  std::string narrow;
  std::string json;  // the literal JsonString must produce, quotes included
};

int failures = 0;

void Check(const Case& c) {
  const std::string got = quoril_info::JsonString(c.narrow);
  if (got == c.json) return;
  ++failures;
  std::printf("FAIL %s: expected %s, got %s\n", c.what, c.json.c_str(), got.c_str());
}

// Every platform: ASCII and escapes need no conversion.
const std::vector<Case> kAscii = {
    {"plain text", "Base Board", R"("Base Board")"},
    {"quote and backslash", "a\"b\\c", R"("a\"b\\c")"},
    {"control characters", std::string("\x01\t\n", 3), R"("\u0001\u0009\u000a")"},
    {"a zero byte", std::string("a\0b", 3), R"("a\u0000b")"},
    {"empty", "", R"("")"},
};

#if !defined(_WIN32)

// Natively narrow text is UTF-8: every well-formed character becomes its units, and every byte
// that begins no well-formed sequence becomes one U+FFFD.
const std::vector<Case> kNative = {
    {"two-byte characters",
     "B\xC3\xB8"
     "ard \xC3\x9F",
     R"("B\u00f8ard \u00df")"},
    {"a three-byte character", "\xE2\x82\xAC", R"("\u20ac")"},
    {"a four-byte character as a surrogate pair", "\xF0\x9F\x98\x80", R"("\ud83d\ude00")"},
    {"a lone continuation byte",
     "a\x80"
     "b",
     R"("a\ufffdb")"},
    {"a sequence cut short", "\xE2\x82", R"("\ufffd\ufffd")"},
    {"a sequence cut short by ASCII",
     "\xC3"
     "A",
     R"("\ufffdA")"},
    {"an overlong form", "\xC0\xAF", R"("\ufffd\ufffd")"},
    {"an encoded surrogate", "\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},
    {"past U+10FFFF", "\xF4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},
    {"a five-byte lead", "\xF8\x88\x80\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd\ufffd")"},
    {"a six-byte lead", "\xFC\x80\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},
    {"0xFF", "\xFF", R"("\ufffd")"},
};

void CheckPlatform() {
  for (const Case& c : kNative) Check(c);
}

#else

std::string Escaped(const std::wstring& wide) {
  std::string out = "\"";
  for (const wchar_t unit : wide) {
    char text[8];
    std::snprintf(text, sizeof text, unit < 0x80 ? "%c" : "\\u%04x", static_cast<unsigned>(unit));
    out += text;
  }
  return out + "\"";
}

// On Windows narrow text is in the ANSI code page, whichever that is: every text that the code
// page can hold comes back as the characters it was made from.
void CheckPlatform() {
  const UINT code_page = GetACP();
  std::printf("ANSI code page %u\n", code_page);
  int converted = 0;
  for (const std::wstring& wide :
       {std::wstring(L"B\u00f8ard \u00df"), std::wstring(L"\u20ac 5"),
        std::wstring(L"\u041f\u043b\u0430\u0442\u0430"), std::wstring(L"\u30dc\u30fc\u30c9")}) {
    char narrow[64] = {};
    BOOL lossy = FALSE;
    // CP_UTF8 takes no default-character flag; there every character converts.
    const int length =
        WideCharToMultiByte(code_page, 0, wide.c_str(), static_cast<int>(wide.size()), narrow,
                            sizeof narrow, nullptr, code_page == CP_UTF8 ? nullptr : &lossy);
    if (length <= 0 || lossy) continue;
    ++converted;
    Check({"text the code page holds", std::string(narrow, length), Escaped(wide)});
  }
  if (converted == 0) {
    ++failures;
    std::printf("FAIL code page %u holds none of the sample texts\n", code_page);
  }
  // The Western code page's own bytes, as a person there would read them.
  if (code_page == 1252) {
    Check({"1252 bytes",
           "B\xF8"
           "ard \xDF \x80",
           R"("B\u00f8ard \u00df \u20ac")"});
  }
}

#endif

}  // namespace

int main() {
  for (const Case& c : kAscii) Check(c);
  CheckPlatform();
  std::printf("%s\n", failures == 0 ? "all passed" : "some failed");
  return failures == 0 ? 0 : 1;
}

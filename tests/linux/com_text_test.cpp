// SPDX-License-Identifier: MIT
// Strings, variants, text conversion and standard output of the native platform layer, held to
// the conventions of the Windows calls they stand for.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace quoril::platform {
namespace {

uint32_t PrefixOf(BSTR text) {
  uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<const char*>(text) - sizeof bytes, sizeof bytes);
  return bytes;
}

TEST(LinuxBstr, LaidOutAsOnWindows) {
  const BSTR text = SysAllocString(u"abc");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(PrefixOf(text), 6u);
  EXPECT_EQ(std::u16string(text), u"abc");
  SysFreeString(text);

  // Any units, zeros included; without a source the units are zero.
  const BSTR embedded = SysAllocStringLen(u"a\0b", 3);
  EXPECT_EQ(PrefixOf(embedded), 6u);
  EXPECT_EQ(std::u16string(embedded, 4), std::u16string(u"a\0b\0", 4));
  SysFreeString(embedded);
  const BSTR blank = SysAllocStringLen(nullptr, 2);
  EXPECT_EQ(std::u16string(blank, 3), std::u16string(3, u'\0'));
  SysFreeString(blank);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysAllocStringLen(u"", 0x7FFFFFFF), nullptr);
  SysFreeString(nullptr);
}

TEST(LinuxVariant, ClearFreesTextAndEmpties) {
  VARIANT value;
  VariantInit(&value);
  EXPECT_EQ(value.vt, VT_EMPTY);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(u"owned");  // the leak checker sees it if it is not freed
  EXPECT_EQ(VariantClear(&value), S_OK);
  EXPECT_EQ(value.vt, VT_EMPTY);
  value.vt = VT_NULL;
  EXPECT_EQ(VariantClear(&value), S_OK);
  value.vt = 0x4008;  // an array of strings, which this layer never makes
  EXPECT_LT(VariantClear(&value), 0);
  EXPECT_EQ(value.vt, 0x4008);
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
  VariantInit(nullptr);
}

// The units MultiByteToWideChar writes for `narrow` (its size given), or the call's 0.
std::u16string Widened(const std::string& narrow, DWORD flags = 0) {
  const int needed = MultiByteToWideChar(CP_ACP, flags, narrow.data(),
                                         static_cast<int>(narrow.size()), nullptr, 0);
  if (needed == 0) return u"<failed>";
  std::u16string wide(needed, u'#');
  EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, flags, narrow.data(),
                                static_cast<int>(narrow.size()), wide.data(), needed),
            needed);
  return wide;
}

TEST(LinuxConversion, NarrowIsUtf8WithSurrogatePairs) {
  EXPECT_EQ(Widened("Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80"),
            u"Gr\u00FC\u00DF \u20AC \U0001F600");
  EXPECT_EQ(Widened(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(LinuxConversion, IllFormedUtf8BecomesReplacementPerMaximalPart) {
  EXPECT_EQ(Widened("\xC3"), u"\uFFFD");
  EXPECT_EQ(Widened("\xE2\x82"
                    "A"),
            u"\uFFFDA");
  EXPECT_EQ(Widened("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");            // overlong
  EXPECT_EQ(Widened("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");            // a surrogate
  EXPECT_EQ(Widened("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
  EXPECT_EQ(Widened("\x80\xFF"
                    "b"),
            u"\uFFFD\uFFFDb");
  EXPECT_EQ(Widened("\xC3", 0x08), u"<failed>");  // MB_ERR_INVALID_CHARS
}

TEST(LinuxConversion, WideningFollowsTheWindowsConventions) {
  char16_t wide[8];
  std::fill(std::begin(wide), std::end(wide), u'#');
  // -1: through the terminator, which is counted.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 4), 4);
  EXPECT_EQ(std::u16string(wide, 5), std::u16string(u"abc\0#", 5));
  // Too small: 0, and nothing beyond the room given is touched.
  std::fill(std::begin(wide), std::end(wide), u'#');
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xF0\x9F\x98\x80xyz", -1, wide, 3), 0);
  EXPECT_EQ(wide[3], u'#');
  // Refused: no text, an empty or impossible length, a negative room, no room to write
  // into, a code page this layer does not carry, a flag it does not carry out.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -2, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, -1), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0x02, "abc", 3, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, "abc", 3, wide, 8), 3);
}

TEST(LinuxConversion, NarrowingFollowsTheWindowsConventions) {
  const char16_t text[] = u"a\u20AC\U0001F600";  // 1 + 3 + 4 bytes, and a terminator
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr), 9);
  char narrow[16];
  std::memset(narrow, '#', sizeof narrow);
  EXPECT_EQ(WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, narrow, 9, nullptr, nullptr), 9);
  EXPECT_STREQ(narrow, "a\xE2\x82\xAC\xF0\x9F\x98\x80");
  // A character that does not fit whole is not begun.
  std::memset(narrow, '#', sizeof narrow);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 2, narrow, 3, nullptr, nullptr), 0);
  EXPECT_EQ(std::string(narrow, 4), "a###");

  // An unpaired surrogate: the default character, or U+FFFD, and the caller is told.
  const char16_t lone[] = {u'x', 0xD800, u'y', 0xDC00, 0};
  BOOL used = 7;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, lone, -1, narrow, 16, "?", &used), 5);
  EXPECT_STREQ(narrow, "x?y?");
  EXPECT_EQ(used, 1);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, lone, -1, narrow, 16, nullptr, &used), 9);
  EXPECT_STREQ(narrow, "x\xEF\xBF\xBDy\xEF\xBF\xBD");
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ok", -1, narrow, 16, nullptr, &used), 3);
  EXPECT_EQ(used, 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0x80, lone, -1, narrow, 16, nullptr, nullptr), 0);
  // UTF-8 named as such takes no default character, as on Windows.
  EXPECT_EQ(WideCharToMultiByte(65001, 0, u"ok", -1, narrow, 16, nullptr, &used), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, narrow, 16, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ok", 0, narrow, 16, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ok", 2, nullptr, 16, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ok", 2, narrow, -5, nullptr, nullptr), 0);
}

TEST(LinuxStandardOutput, WritesTheTextUnchangedAtOnce) {
  std::fflush(stdout);
  char path[] = "/tmp/quoril-stdout-XXXXXX";
  const int file = mkstemp(path);
  ASSERT_GE(file, 0);
  const int saved = dup(STDOUT_FILENO);
  ASSERT_GE(dup2(file, STDOUT_FILENO), 0);
  WriteStandardOutput("Invalid   argument\n");
  WriteStandardOutput(nullptr);
  // Read before stdout is restored: the text must already have left the buffer.
  std::ifstream in(path);
  std::stringstream written;
  written << in.rdbuf();
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(file);
  unlink(path);
  EXPECT_EQ(written.str(), "Invalid   argument\n");
}

TEST(LinuxCom, NoApartmentsToManage) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
  CoUninitialize();
  const ComLibraries libraries;
}

}  // namespace
}  // namespace quoril::platform

// SPDX-License-Identifier: MIT
#include "platform/linux/utf.h"

#include <cstdint>

namespace quoril::platform::utf {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Counts units and stores those that fit.
struct UnitSink {
  char16_t* out;
  size_t capacity;
  size_t count = 0;

  void Put(char16_t unit) {
    if (count < capacity) out[count] = unit;
    ++count;
  }
  void PutCodePoint(char32_t codePoint) {
    if (codePoint < 0x10000) {
      Put(static_cast<char16_t>(codePoint));
    } else {
      codePoint -= 0x10000;
      Put(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
      Put(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
    }
  }
};

// Counts bytes and stores whole characters while they fit; once one does not, nothing more is
// stored, so the stored text never ends in part of a character.
struct ByteSink {
  char* out;
  size_t capacity;
  size_t count = 0;
  bool full = false;

  void PutBytes(const char* bytes, size_t size) {
    if (!full && count + size <= capacity) {
      for (size_t i = 0; i < size; ++i) out[count + i] = bytes[i];
    } else {
      full = true;
    }
    count += size;
  }
  void PutCodePoint(char32_t c) {
    char bytes[4];
    size_t size = 0;
    if (c < 0x80) {
      bytes[size++] = static_cast<char>(c);
    } else if (c < 0x800) {
      bytes[size++] = static_cast<char>(0xC0 | (c >> 6));
      bytes[size++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes[size++] = static_cast<char>(0xE0 | (c >> 12));
      bytes[size++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[size++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      bytes[size++] = static_cast<char>(0xF0 | (c >> 18));
      bytes[size++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes[size++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[size++] = static_cast<char>(0x80 | (c & 0x3F));
    }
    PutBytes(bytes, size);
  }
};

// What a lead byte promises: how many continuation bytes follow, the range the first of them
// must lie in (which excludes overlong forms, surrogates and values past U+10FFFF), and the
// lead byte's own bits. A byte that cannot lead gives 0 continuation bytes and no bits.
struct Lead {
  int continuation;
  uint8_t low;
  uint8_t high;
  char32_t bits;
};

Lead Classify(uint8_t b) {
  if (b >= 0xC2 && b <= 0xDF) return {1, 0x80, 0xBF, char32_t{b} & 0x1F};
  if (b == 0xE0) return {2, 0xA0, 0xBF, 0};
  if (b == 0xED) return {2, 0x80, 0x9F, 0x0D};
  if (b >= 0xE1 && b <= 0xEF) return {2, 0x80, 0xBF, char32_t{b} & 0x0F};
  if (b == 0xF0) return {3, 0x90, 0xBF, 0};
  if (b >= 0xF1 && b <= 0xF3) return {3, 0x80, 0xBF, char32_t{b} & 0x07};
  if (b == 0xF4) return {3, 0x80, 0x8F, 0x04};
  return {0, 0, 0, 0};
}

}  // namespace

std::optional<size_t> Utf8ToUtf16(std::string_view in, bool strict, char16_t* out,
                                  size_t capacity) noexcept {
  UnitSink sink{out, out == nullptr ? 0 : capacity};
  size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<uint8_t>(in[i]);
    if (b < 0x80) {
      sink.Put(b);
      ++i;
      continue;
    }
    const Lead lead = Classify(b);
    char32_t codePoint = lead.bits;
    size_t next = i + 1;
    bool wellFormed = lead.continuation > 0;
    for (int k = 0; wellFormed && k < lead.continuation; ++k) {
      const uint8_t low = k == 0 ? lead.low : 0x80;
      const uint8_t high = k == 0 ? lead.high : 0xBF;
      if (next >= in.size()) {
        wellFormed = false;
        break;
      }
      const auto c = static_cast<uint8_t>(in[next]);
      if (c < low || c > high) {
        wellFormed = false;
        break;
      }
      codePoint = (codePoint << 6) | (c & 0x3F);
      ++next;
    }
    if (!wellFormed) {
      if (strict) return std::nullopt;
      // The bytes read so far form one maximal part; the byte that broke it starts afresh.
      sink.PutCodePoint(kReplacement);
      i = next;
      continue;
    }
    sink.PutCodePoint(codePoint);
    i = next;
  }
  return sink.count;
}

std::optional<size_t> Utf16ToUtf8(std::u16string_view in, bool strict, std::string_view replacement,
                                  char* out, size_t capacity, bool* replaced) noexcept {
  ByteSink sink{out, out == nullptr ? 0 : capacity};
  bool anyReplaced = false;
  for (size_t i = 0; i < in.size(); ++i) {
    const char16_t unit = in[i];
    if (unit < 0xD800 || unit > 0xDFFF) {
      sink.PutCodePoint(unit);
      continue;
    }
    if (unit <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      sink.PutCodePoint(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (in[i + 1] - 0xDC00));
      ++i;
      continue;
    }
    if (strict) return std::nullopt;
    anyReplaced = true;
    if (replacement.empty()) {
      sink.PutCodePoint(kReplacement);
    } else {
      sink.PutBytes(replacement.data(), replacement.size());
    }
  }
  if (replaced != nullptr) *replaced = anyReplaced;
  return sink.count;
}

std::u16string ToUtf16(std::string_view in) {
  std::u16string text(*Utf8ToUtf16(in, false, nullptr, 0), u'\0');
  Utf8ToUtf16(in, false, text.data(), text.size());
  return text;
}

std::string ToUtf8(std::u16string_view in) {
  std::string text(*Utf16ToUtf8(in, false, {}, nullptr, 0, nullptr), '\0');
  Utf16ToUtf8(in, false, {}, text.data(), text.size(), nullptr);
  return text;
}

}  // namespace quoril::platform::utf

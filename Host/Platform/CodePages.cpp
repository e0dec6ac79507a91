// Code-page conversions with the Windows calling conventions: UTF-8 and
// the ANSI code page, which is Windows-1252 on this platform.
#include <cstring>
#include <string>

#include "PlatformInternal.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves
// undefined map to the C1 control of the same value, as Windows does, so
// every byte survives a round trip.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendCodePoint(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(c));
  }
}

// Decodes UTF-8. Each maximal ill-formed subsequence (a stray byte, or the
// valid start of a sequence cut short) becomes one U+FFFD, the practice the
// Unicode standard recommends. Returns false when a replacement was made.
bool DecodeUtf8(const unsigned char* s, size_t n, std::u16string& out) {
  bool clean = true;
  size_t i = 0;
  while (i < n) {
    unsigned char b0 = s[i];
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    }
    int need = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    char32_t c = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      need = 1;
      c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      need = 2;
      c = b0 & 0x0F;
      if (b0 == 0xE0) lo = 0xA0;
      if (b0 == 0xED) hi = 0x9F;  // no encoded surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      need = 3;
      c = b0 & 0x07;
      if (b0 == 0xF0) lo = 0x90;
      if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      out.push_back(kReplacement);
      clean = false;
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool complete = true;
    for (int k = 0; k < need; ++k, ++j) {
      unsigned char lower = k == 0 ? lo : 0x80;
      unsigned char upper = k == 0 ? hi : 0xBF;
      if (j >= n || s[j] < lower || s[j] > upper) {
        complete = false;
        break;
      }
      c = (c << 6) | (s[j] & 0x3F);
    }
    if (complete) {
      AppendCodePoint(out, c);
    } else {
      out.push_back(kReplacement);
      clean = false;
    }
    i = j;
  }
  return clean;
}

// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD. Returns
// false when a replacement was made.
bool EncodeUtf8(const char16_t* s, size_t n, std::string& out) {
  bool clean = true;
  for (size_t i = 0; i < n; ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
      clean = false;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return clean;
}

void DecodeCp1252(const unsigned char* s, size_t n, std::u16string& out) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char b = s[i];
    out.push_back(b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : b);
  }
}

// The Windows-1252 byte of a UTF-16 unit, or -1 when it has none.
int Cp1252Byte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == c) return 0x80 + i;
  }
  return -1;
}

// Encodes as Windows-1252. A character without a byte (a surrogate pair
// counting as one character) becomes the default character. There is no
// best-fit mapping: a letter with an accent the code page lacks is not
// silently stripped of it.
bool EncodeCp1252(const char16_t* s, size_t n, char defaultChar, std::string& out) {
  bool usedDefault = false;
  for (size_t i = 0; i < n; ++i) {
    int b = Cp1252Byte(s[i]);
    if (b >= 0) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      ++i;
    }
    out.push_back(defaultChar);
    usedDefault = true;
  }
  return usedDefault;
}

// Copies a conversion result with the Windows size rules: size 0 asks for
// the size; a destination too small fails.
template <typename Char>
int32_t Deliver(const std::basic_string<Char>& text, Char* destination, int32_t destinationSize) {
  if (text.size() > INT32_MAX) {
    platform::SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  auto length = static_cast<int32_t>(text.size());
  if (destinationSize == 0) return length;
  if (length > destinationSize) {
    platform::SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(destination, text.data(), text.size() * sizeof(Char));
  return length;
}

}  // namespace

namespace platform {

bool Utf8FromUtf16(const char16_t* text, std::string* out) {
  if (text == nullptr) return false;
  out->clear();
  return EncodeUtf8(text, std::char_traits<char16_t>::length(text), *out);
}

std::u16string Utf16FromUtf8(const std::string& text) {
  std::u16string out;
  DecodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out);
  return out;
}

bool PathFromHost(const char16_t* path, std::string* out) {
  if (path == nullptr || *path == 0 || !Utf8FromUtf16(path, out)) return false;
  for (char& c : *out) {
    if (c == '\\') c = '/';
  }
  return true;
}

}  // namespace platform

extern "C" {

PF_API int32_t MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* source,
                                   int32_t sourceLength, char16_t* destination,
                                   int32_t destinationSize) {
  if (source == nullptr || sourceLength == 0 || sourceLength < -1 || destinationSize < 0 ||
      (destinationSize > 0 && destination == nullptr) || (codePage != CP_UTF8 && codePage != CP_ACP)) {
    platform::SetLastErrorCode(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = sourceLength == -1 ? std::strlen(source) + 1 : static_cast<size_t>(sourceLength);
  const auto* bytes = reinterpret_cast<const unsigned char*>(source);
  std::u16string text;
  text.reserve(length);
  if (codePage == CP_UTF8) {
    if (!DecodeUtf8(bytes, length, text) && (flags & MB_ERR_INVALID_CHARS) != 0) {
      platform::SetLastErrorCode(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
  } else {
    DecodeCp1252(bytes, length, text);
  }
  return Deliver(text, destination, destinationSize);
}

PF_API int32_t WideCharToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* source,
                                   int32_t sourceLength, char* destination,
                                   int32_t destinationSize, const char* defaultChar,
                                   int32_t* usedDefaultChar) {
  if (source == nullptr || sourceLength == 0 || sourceLength < -1 || destinationSize < 0 ||
      (destinationSize > 0 && destination == nullptr) || (codePage != CP_UTF8 && codePage != CP_ACP) ||
      (codePage == CP_UTF8 && (defaultChar != nullptr || usedDefaultChar != nullptr))) {
    platform::SetLastErrorCode(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = sourceLength == -1 ? std::char_traits<char16_t>::length(source) + 1
                                     : static_cast<size_t>(sourceLength);
  std::string text;
  text.reserve(length);
  if (codePage == CP_UTF8) {
    if (!EncodeUtf8(source, length, text) && (flags & WC_ERR_INVALID_CHARS) != 0) {
      platform::SetLastErrorCode(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
  } else {
    bool used = EncodeCp1252(source, length, defaultChar != nullptr ? *defaultChar : '?', text);
    if (usedDefaultChar != nullptr) *usedDefaultChar = used ? 1 : 0;
  }
  return Deliver(text, destination, destinationSize);
}

}  // extern "C"

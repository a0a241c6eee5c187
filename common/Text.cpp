#include "common/Text.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

uint32_t NextUtf8CodePoint(const unsigned char* text, size_t length, size_t* at) {
  const unsigned char first = text[*at];
  ++*at;
  if (first < 0x80) return first;
  // The continuation bytes that follow, and the least value the length may
  // hold (anything less is an overlong form).
  int32_t more = 0;
  uint32_t least = 0;
  if (first >= 0xC2 && first <= 0xDF) {
    more = 1;
    least = 0x80;
  } else if (first >= 0xE0 && first <= 0xEF) {
    more = 2;
    least = 0x800;
  } else if (first >= 0xF0 && first <= 0xF4) {
    more = 3;
    least = 0x10000;
  } else {
    return kReplacementCharacter;
  }
  uint32_t code = first & (0x3Fu >> more);
  if (length - *at < static_cast<size_t>(more)) return kReplacementCharacter;
  for (int32_t i = 0; i < more; ++i) {
    const unsigned char next = text[*at + static_cast<size_t>(i)];
    if ((next & 0xC0) != 0x80) return kReplacementCharacter;
    code = (code << 6) | (next & 0x3Fu);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kReplacementCharacter;
  *at += static_cast<size_t>(more);
  return code;
}


std::string XmlText(const std::string& utf8) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  std::string out;
  for (size_t at = 0; at < utf8.size();) {
    uint32_t code = NextUtf8CodePoint(bytes, utf8.size(), &at);
    switch (code) {
      case '&': out += "&amp;"; continue;
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      case '"': out += "&quot;"; continue;
      case '\'': out += "&apos;"; continue;
      default: break;
    }
    if (code >= 0x20 && code < 0x7F) {
      out += static_cast<char>(code);
      continue;
    }
    // XML 1.0 allows no control character but tab, line feed and return.
    if (code < 0x20 && code != '\t' && code != '\n' && code != '\r') code = kReplacementCharacter;
    if (code == 0xFFFE || code == 0xFFFF) code = kReplacementCharacter;
    char reference[16];
    std::snprintf(reference, sizeof reference, "&#x%" PRIX32 ";", code);
    out += reference;
  }
  return out;
}

void AppendFormat(std::string& out, const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n > 0) out.append(line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
}

#include "common/Json.h"

#include <cinttypes>
#include <cstring>

#include "common/Text.h"


void WriteJsonString(std::FILE* out, const char* text, size_t length) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  std::fputc('"', out);
  for (size_t at = 0; at < length;) {
    const uint32_t code = NextUtf8CodePoint(bytes, length, &at);
    switch (code) {
      case '"': std::fputs("\\\"", out); continue;
      case '\\': std::fputs("\\\\", out); continue;
      case '\b': std::fputs("\\b", out); continue;
      case '\f': std::fputs("\\f", out); continue;
      case '\n': std::fputs("\\n", out); continue;
      case '\r': std::fputs("\\r", out); continue;
      case '\t': std::fputs("\\t", out); continue;
      default: break;
    }
    if (code >= 0x20 && code < 0x7F) {
      std::fputc(static_cast<int>(code), out);
    } else if (code < 0x10000) {
      std::fprintf(out, "\\u%04" PRIX32, code);
    } else {
      const uint32_t v = code - 0x10000;
      std::fprintf(out, "\\u%04" PRIX32 "\\u%04" PRIX32, 0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF));
    }
  }
  std::fputc('"', out);
}

void JsonWriter::NewLine(int32_t depth) {
  std::fputc('\n', out_);
  for (int32_t i = 0; i < depth; ++i) std::fputs("  ", out_);
}

void JsonWriter::BeforeElement() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (depth_ == 0) return;
  Level& level = levels_[depth_ - 1];
  if (!level.empty) std::fputc(',', out_);
  if (level.lines) {
    NewLine(depth_);
  } else if (!level.empty) {
    std::fputc(' ', out_);
  }
  level.empty = false;
}

void JsonWriter::Open(char bracket, bool lines) {
  BeforeElement();
  std::fputc(bracket, out_);
  // Inside a one-line container everything stays on that line.
  const bool inLine = depth_ > 0 && !levels_[depth_ - 1].lines;
  if (depth_ < kMaxDepth) {
    levels_[depth_].lines = lines && !inLine;
    levels_[depth_].empty = true;
  }
  ++depth_;
}

void JsonWriter::Close(char bracket) {
  if (depth_ == 0) return;
  --depth_;
  if (depth_ < kMaxDepth && levels_[depth_].lines && !levels_[depth_].empty) NewLine(depth_);
  std::fputc(bracket, out_);
}

void JsonWriter::BeginObject(bool lines) { Open('{', lines); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray(bool lines) { Open('[', lines); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Key(const char* key) {
  BeforeElement();
  WriteJsonString(out_, key, std::strlen(key));
  std::fputs(": ", out_);
  afterKey_ = true;
}

void JsonWriter::String(const char* text) { String(text, std::strlen(text)); }

void JsonWriter::String(const char* text, size_t length) {
  BeforeElement();
  WriteJsonString(out_, text, length);
}

void JsonWriter::HexString(const uint8_t* bytes, size_t length) {
  BeforeElement();
  std::fputc('"', out_);
  for (size_t i = 0; i < length; ++i) std::fprintf(out_, "%02x", bytes[i]);
  std::fputc('"', out_);
}

void JsonWriter::Int(int64_t value) {
  BeforeElement();
  std::fprintf(out_, "%" PRId64, value);
}

void JsonWriter::Fixed(double value, int32_t decimals) {
  BeforeElement();
  // The C locale's decimal point whatever the locale: the programs never
  // set one, so printf's is '.'. -0.0 is written as 0.
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", static_cast<int>(decimals), value);
  if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1)) {
    std::fputs(text + 1, out_);
  } else {
    std::fputs(text, out_);
  }
}

void JsonWriter::Bool(bool value) {
  BeforeElement();
  std::fputs(value ? "true" : "false", out_);
}

void JsonWriter::Null() {
  BeforeElement();
  std::fputs("null", out_);
}

void JsonWriter::Finish() { std::fputc('\n', out_); }

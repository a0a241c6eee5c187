// JSON written straight to a stream, for the programs' machine-readable
// output.
//
// The output is plain ASCII: every character outside printable ASCII is
// written as a \uXXXX escape (a surrogate pair above U+FFFF), so that the
// document is the same bytes on every platform and survives any console or
// code page. Strings are taken as UTF-8; a byte that is not part of a valid
// UTF-8 sequence becomes U+FFFD, so that any bytes still give valid JSON.
// Callers that must keep raw bytes write them as hexadecimal (HexString).
//
// Keys and values are written in the order called; the writer only adds the
// punctuation and the layout. A container opened with `lines` puts each
// element on a line of its own, indented two spaces a level; any other is
// written on one line, as is everything inside it. The document ends with a
// line feed.
#ifndef COMMON_JSON_H_
#define COMMON_JSON_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Writes `length` bytes of UTF-8 `text` as a JSON string, quotes included.
void WriteJsonString(std::FILE* out, const char* text, size_t length);

class JsonWriter {
 public:
  explicit JsonWriter(std::FILE* out) : out_(out) {}
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  void BeginObject(bool lines = false);
  void EndObject();
  void BeginArray(bool lines = false);
  void EndArray();
  // The key of the next value; only inside an object.
  void Key(const char* key);

  void String(const char* text);  // zero-terminated UTF-8
  void String(const char* text, size_t length);
  // `length` bytes as a string of two lowercase hexadecimal digits a byte.
  void HexString(const uint8_t* bytes, size_t length);
  void Int(int64_t value);
  // A finite number with `decimals` digits after the point, as "%.*f"
  // prints it, never with a minus sign on zero.
  void Fixed(double value, int32_t decimals);
  void Bool(bool value);
  void Null();

  // Ends the document: a line feed after the outermost value.
  void Finish();

 private:
  // Separator and layout before a value or key.
  void BeforeElement();
  void Open(char bracket, bool lines);
  void Close(char bracket);
  void NewLine(int32_t depth);

  static constexpr int32_t kMaxDepth = 32;
  struct Level {
    bool lines = false;  // one element a line
    bool empty = true;   // no element written yet
  };
  std::FILE* out_;
  Level levels_[kMaxDepth];
  int32_t depth_ = 0;
  bool afterKey_ = false;  // a key was written; its value comes next
};

#endif  // COMMON_JSON_H_

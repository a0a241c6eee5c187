// Text as the programs write it for other programs to read: UTF-8 taken
// apart code point by code point, and text made safe for an XML document.
#ifndef COMMON_TEXT_H_
#define COMMON_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>

// What an invalid UTF-8 sequence reads as.
constexpr uint32_t kReplacementCharacter = 0xFFFD;

// The code point of the UTF-8 sequence at `text[*at]`, moving `*at` past it.
// An invalid sequence (a stray continuation byte, a sequence cut short, an
// overlong form, a surrogate, a value past U+10FFFF) gives
// kReplacementCharacter and moves past its first byte only.
uint32_t NextUtf8CodePoint(const unsigned char* text, size_t length, size_t* at);

// `utf8` as the text of an XML element or attribute, in ASCII alone: the
// five characters XML reserves as entities, every other character outside
// printable ASCII as a character reference (&#x3042;), control characters
// and invalid bytes as U+FFFD. Any bytes give a well-formed document, the
// same on every platform, whatever encoding a reader assumes.
std::string XmlText(const std::string& utf8);

// Appends what printf would print for `format` to `out` (at most 511
// bytes a call, which the pictures' lines never reach).
void AppendFormat(std::string& out, const char* format, ...)
#if defined(__MINGW32__)
    __attribute__((format(gnu_printf, 2, 3)))  // MinGW's own printf, as C++ there uses
#elif defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

#endif  // COMMON_TEXT_H_

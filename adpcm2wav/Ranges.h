// Ranges of an image's bytes given by hand: START:END, as --range takes one
// and --ranges FILE a list of them, for a user who knows where the sounds
// lie (from a game's code or a bank's table), each decoded from the
// decoder's reset state into a WAV file of its own.
//
// A range is START:END, END exclusive; numbers decimal or, after 0x or 0X,
// hexadecimal; spaces and tabs around the numbers allowed. A list has one
// range a line. It is text: blank lines and comments from '#' to the end of
// the line are allowed, and so are CR LF line ends and a UTF-8 byte order
// mark at its start; a NUL or any other control character but a tab, and
// any byte outside a comment that is not part of a range, makes it wrong.
// Ranges come in any order but must not overlap.
#ifndef ADPCM2WAV_RANGES_H_
#define ADPCM2WAV_RANGES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "adpcm/Sounds.h"

// Reads `text`, all of it, as START:END; false for anything else.
bool ParseRange(const std::string& text, uint64_t* start, uint64_t* end);

// What is wrong with bytes `start` to `end` - 1 as a range of an image of
// `imageSize` bytes, as --range and --ranges both say it: "range 0x10:0x8
// is empty or reversed", "range 0x0:0x65 is not within the file's 100
// bytes"; "" when nothing is.
std::string RangeProblem(uint64_t start, uint64_t end, size_t imageSize);

struct RangeList {
  std::vector<ByteSpan> spans;  // in the file's order
  size_t badLine = 0;           // the line (from 1) where the list is wrong; 0 when it is right
  std::string problem;          // what is wrong there
};

// Reads `text` for an image of `imageSize` bytes. The first line that is
// wrong makes the whole list wrong: a line that is not a range or holds a
// byte that is not text, a range RangeProblem finds wrong, one that
// overlaps an earlier line (the earliest of those it overlaps is named).
RangeList ParseRanges(const std::string& text, size_t imageSize);

#endif  // ADPCM2WAV_RANGES_H_

// The list of ranges --ranges FILE reads: for a user who knows where the
// sounds lie (from a game's code or a bank's table), each decoded from the
// decoder's reset state into a WAV file of its own.
//
// One range a line, START:END, END exclusive as in --range; numbers decimal
// or, after 0x or 0X, hexadecimal. Spaces and tabs around the numbers, blank
// lines and comments from '#' to the end of the line are allowed, and so are
// CR LF line ends. Ranges come in any order but must not overlap.
#ifndef ADPCM2WAV_RANGES_H_
#define ADPCM2WAV_RANGES_H_

#include <cstddef>
#include <string>
#include <vector>

#include "adpcm/Sounds.h"

struct RangeList {
  std::vector<ByteSpan> spans;  // in the file's order
  size_t badLine = 0;           // the line (from 1) where the list is wrong; 0 when it is right
  std::string problem;          // what is wrong there
};

// Reads `text` for an image of `imageSize` bytes. A line that is not a
// range, a range that is empty or reversed, one that reaches past the image
// and one that overlaps an earlier line make the whole list wrong.
RangeList ParseRanges(const std::string& text, size_t imageSize);

#endif  // ADPCM2WAV_RANGES_H_

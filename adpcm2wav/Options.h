// adpcm2wav's command line, read into a struct.
#ifndef ADPCM2WAV_OPTIONS_H_
#define ADPCM2WAV_OPTIONS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "common/Command.h"

extern const CommandInfo kAdpcm2Wav;

// What to write: a WAV per sound found, only the table, one range of bytes
// as one sound, a WAV per range of a list, or the whole image as one file.
enum class WavMode { kSounds, kList, kRange, kRanges, kWhole };

struct Adpcm2WavOptions {
  uint32_t rate = kCommonRate;
  size_t minGap = kDefaultFillRun;     // --min-gap: the search's fillRun
  size_t unit = 0;                     // --unit: the search's address unit; 0 reads it from the image
  WavMode mode = WavMode::kSounds;
  uint64_t rangeStart = 0, rangeEnd = 0;  // --range START:END, END exclusive
  std::string rangesFile;                 // --ranges FILE; "-" is standard input
  std::string prefix;                     // -o; empty: IMAGE's file name
  std::string svg;                        // --svg; empty: no picture
  bool json = false;                      // --json, with --list: the table as JSON
  std::string image;
};

using Adpcm2WavCommandLine = CommandLine<Adpcm2WavOptions>;

// Reads argv[1..argc-1]. Numbers are decimal or, after 0x (or 0X),
// hexadecimal, with no sign.
Adpcm2WavCommandLine ParseAdpcm2WavOptions(int argc, char** argv);

// A count in decimal or, after 0x or 0X, hexadecimal: all of `text` digits
// (a zero byte is none), no sign, no space, and it must fit 64 bits. False
// for anything else.
bool ParseCount(const std::string& text, uint64_t* value);

#endif  // ADPCM2WAV_OPTIONS_H_

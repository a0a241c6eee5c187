// The table adpcm2wav prints: a line per WAV file, or per sound with --list.
#ifndef ADPCM2WAV_TABLE_H_
#define ADPCM2WAV_TABLE_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "adpcm/Sounds.h"

struct TableRow {
  std::string label;   // the sound's number, or "range", "whole"
  ByteSpan span;       // the bytes of the image it covers
  int32_t peak = 0;    // the loudest sample's magnitude, 0 to 32768
  std::string file;    // the WAV file it goes to
  std::string ending;  // what parted a sound found from what follows; "-" for ranges given
};

// The loudest sample's magnitude, 0 to 32768.
int32_t PeakLevel(const int16_t* samples, size_t count);

// `peak` in dB relative to full scale with one decimal, "-inf" for silence.
// Never "-0.0": a peak that rounds to full scale is "0.0".
std::string PeakText(int32_t peak);

// The line above a search's table: the address unit its starts lie on, and
// whether the user gave it or the search read it from the image.
void PrintUnitLine(std::FILE* out, size_t unit, bool given);

// The heading, then a row at a time, in columns; seconds at `rate` Hz.
void PrintTableHeading(std::FILE* out);
void PrintTableRow(std::FILE* out, const TableRow& row, uint32_t rate);
// The last line after a search: what it left out as not sound.
void PrintLeftOut(std::FILE* out, size_t notSoundBytes);

// The whole table as one JSON document (--list --json): the image, the
// rate, the address unit, each row, and what the search left out as not
// sound.
void PrintTableJson(std::FILE* out, const std::string& image, size_t imageSize, uint32_t rate,
                    const std::vector<TableRow>& rows, const SoundSearch& found);

#endif  // ADPCM2WAV_TABLE_H_

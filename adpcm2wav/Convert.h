// adpcm2wav: turns a YM2608 ADPCM-B sample RAM image (the ADPCM file that
// d88adpcm cuts) into WAV files, and shows where its sounds lie.
#ifndef ADPCM2WAV_CONVERT_H_
#define ADPCM2WAV_CONVERT_H_

#include <cstdio>

#include "adpcm2wav/Options.h"

// The command: options, messages and exit code (0 done, 1 a file could not
// be read or written, 2 a usage error).
int RunAdpcm2Wav(int argc, char** argv);

// The run on options already read: reads the image, finds its sounds,
// writes the WAV files (and the picture), printing the table to `out` a row
// at a time and any failure to `err`. Returns the exit code.
int ConvertImage(const Adpcm2WavOptions& options, std::FILE* out, std::FILE* err);

#endif  // ADPCM2WAV_CONVERT_H_

// adpcm2wav: turns a YM2608 ADPCM-B sample RAM image (the ADPCM file that
// d88adpcm cuts) into WAV files, and shows where its sounds lie.
#ifndef ADPCM2WAV_CONVERT_H_
#define ADPCM2WAV_CONVERT_H_

// The command: options, messages and exit code (0 done, 1 a file could not
// be read or written, 2 a usage error).
int RunAdpcm2Wav(int argc, char** argv);

#endif  // ADPCM2WAV_CONVERT_H_

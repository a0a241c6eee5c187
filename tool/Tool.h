// The d88adpcm tool: its global state and its operations, kept apart from
// main() so that tests can link them.
#ifndef TOOL_TOOL_H_
#define TOOL_TOOL_H_

#include <cstdint>
#include <cstdio>

#include "d88/D88File.h"

// Size of the extraction buffer and of the ADPCM file: 256 KiB.
constexpr int32_t kBufferSize = 0x40000;

// The image being read. Static, so its destructor closes the image after
// main() returns.
extern D88File g_d88;
// Receives the sector data; zero at program start and never cleared, so
// whatever a read fails to deliver stays as it was.
extern uint8_t g_buffer[kBufferSize];
// The output file while it is being written; null otherwise.
extern std::FILE* g_out;

// Runs the fixed extraction of the command line: disk 0, head 0 of
// cylinders 36 to 74 (tracks 72, 74, ..., 148), sectors 1 to 26 of size
// code 1, into g_buffer, then writes the whole buffer to "ADPCM" in the
// current directory. Prints its messages and returns the exit code.
int RunAdpcm(int argc, char** argv);

#endif  // TOOL_TOOL_H_

// The d88adpcm tool: its global state and its operations, kept apart from
// main() so that tests can link them. CutFile is part of this tree's tool
// code for other extraction plans; it is not installed.
#ifndef TOOL_TOOL_H_
#define TOOL_TOOL_H_

#include <cstdint>
#include <cstdio>

#include "d88/D88File.h"
#include "plan/AdpcmPlan.h"

// The extraction buffer is the ADPCM file it is written to, whole.
constexpr int32_t kBufferSize = kAdpcmFileSize;

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

// Reads a run of sectors from the current disk of g_d88 (as ReadSectors,
// from sector (c, h, r, n) of `track`, offset + length bytes) into the start
// of g_buffer, then writes `length` bytes from g_buffer + offset to the file
// `name`, created or truncated, printing the progress line first. A run that
// delivers anything counts: the slice is cut from whatever g_buffer then
// holds, earlier contents included.
// False, with nothing read, printed or created, for a request outside the
// buffer (offset or length negative, or offset + length > kBufferSize);
// false, with nothing printed or created, when the run delivers nothing;
// false when the file cannot be created, written or closed.
bool CutFile(const char* name, int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, int32_t offset,
             int32_t length);

#endif  // TOOL_TOOL_H_

#include "tool/Tool.h"

#include <cerrno>
#include <cstring>

D88File g_d88;
uint8_t g_buffer[kBufferSize];
std::FILE* g_out = nullptr;

namespace {

constexpr const char* kOutputName = "ADPCM";

// "ファイルをオープンできません." in Shift_JIS, whatever the locale.
constexpr char kOpenFailedMessage[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82\xAB"
    "\x82\xDC\x82\xB9\x82\xF1\x2E\x0A";

// Which step of writing an output file failed, and the system's reason.
struct WriteError {
  const char* step;  // null when the file was written and closed
  int error;
};

// Creates (or truncates) `name` through g_out, writes `size` bytes in one
// write and closes it.
WriteError WriteOutput(const char* name, const uint8_t* data, size_t size) {
  g_out = std::fopen(name, "wb");
  if (g_out == nullptr) return {"create", errno};
  WriteError result = {nullptr, 0};
  if (size > 0 && std::fwrite(data, 1, size, g_out) != size) result = {"write", errno};
  // A full disk may only show when the stream's buffer is flushed at close.
  if (std::fclose(g_out) != 0 && result.step == nullptr) result = {"close", errno};
  g_out = nullptr;
  return result;
}

void PrintProgress(const char* name) {
  std::printf("cutting ... %s\n", name);
  // The progress line must be out before any failure message that follows.
  std::fflush(stdout);
}

}  // namespace

int RunAdpcm(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s [d88file]\n", argc > 0 && argv[0] != nullptr ? argv[0] : "d88adpcm");
    return 1;
  }
  if (!g_d88.Open(argv[1])) {
    std::fputs(kOpenFailedMessage, stderr);
    return 1;
  }
  // Nothing below is checked: a disk, track or sector that cannot be read
  // leaves its part of the buffer zero.
  g_d88.SelectDisk(0);
  g_d88.SetSectorRange(1, kPlanSectors);
  for (int32_t i = 0; i < kPlanTracks; ++i) ReadPlannedTrack(g_d88, i, g_buffer + i * kPlanSlotSize);

  PrintProgress(kOutputName);
  const WriteError failure = WriteOutput(kOutputName, g_buffer, sizeof g_buffer);
  if (failure.step != nullptr) {
    std::fprintf(stderr, "cannot %s %s: %s\n", failure.step, kOutputName, std::strerror(failure.error));
    return 1;
  }
  return 0;
}

bool CutFile(const char* name, int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, int32_t offset,
             int32_t length) {
  // Written so that nothing can overflow: length is known to be 0 or more
  // before it is subtracted.
  if (offset < 0 || length < 0 || offset > kBufferSize - length) return false;
  if (g_d88.ReadSectors(track, c, h, r, n, g_buffer, offset + length) == 0) return false;
  PrintProgress(name);
  return WriteOutput(name, g_buffer + offset, static_cast<size_t>(length)).step == nullptr;
}

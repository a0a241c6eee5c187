// read_run IMAGE DISK TRACK C H R N FIRST LAST LENGTH OUTPUT
//
// Reads a run of LENGTH bytes of sectors from disk DISK of a D88 image,
// starting with sector (C, H, R, N) of TRACK, with sectors FIRST to LAST on
// every track, and writes what the run delivered to OUTPUT.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "d88/D88File.h"

int main(int argc, char** argv) {
  if (argc != 12) {
    std::fprintf(stderr, "Usage: %s IMAGE DISK TRACK C H R N FIRST LAST LENGTH OUTPUT\n", argv[0]);
    return 1;
  }
  int32_t v[9];
  for (int i = 0; i < 9; ++i) v[i] = static_cast<int32_t>(std::strtol(argv[2 + i], nullptr, 0));
  const int32_t disk = v[0], track = v[1], c = v[2], h = v[3], r = v[4], n = v[5], length = v[8];
  if (length < 0) {
    std::fprintf(stderr, "LENGTH must not be negative\n");
    return 1;
  }

  D88File d88;
  if (!d88.Open(argv[1])) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  if (!d88.SelectDisk(disk)) {
    std::fprintf(stderr, "%s holds %d disk(s); no disk %d\n", argv[1], d88.GetDiskCount(), disk);
    return 1;
  }
  d88.SetSectorRange(v[6], v[7]);
  std::vector<uint8_t> data(static_cast<size_t>(length));
  const int32_t got = d88.ReadSectors(track, c, h, r, n, data.data(), length);
  std::printf("disk %d \"%s\": %d of %d bytes\n", disk, d88.GetDiskName(), got, length);

  std::FILE* out = std::fopen(argv[11], "wb");
  if (out == nullptr || std::fwrite(data.data(), 1, static_cast<size_t>(got), out) != static_cast<size_t>(got) ||
      std::fclose(out) != 0) {
    std::perror(argv[11]);
    return 1;
  }
  return got == length ? 0 : 2;
}

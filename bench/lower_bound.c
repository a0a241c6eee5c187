/* The least work the ADPCM extraction needs, as a yardstick for d88adpcm:
 * one open, one read of the disk header, one read per track, one write.
 * It trusts the image's layout (26 records of 16 + 256 bytes a track) and
 * only checks each record's ID, so it is no reader; it is a lower bound. */
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

enum { kBufferSize = 262144, kSectors = 26, kRecord = 16 + 256, kHeader = 688 };

static uint8_t buffer[kBufferSize];
static uint8_t track[kSectors * kRecord];

static uint32_t le32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  const int fd = open(argv[1], O_RDONLY);
  if (fd < 0) return 1;
  uint8_t header[kHeader];
  if (read(fd, header, kHeader) == kHeader) {
    const uint32_t size = le32(header + 0x1C);
    for (int i = 0; i < 39; ++i) {
      const int t = 72 + 2 * i;
      const uint32_t entry = le32(header + 0x20 + 4 * t);
      if (entry == 0 || entry > size) continue;
      const ssize_t got = pread(fd, track, sizeof track, entry);
      for (int r = 1; r <= kSectors && r * kRecord <= got; ++r) {
        const uint8_t* rec = track + (r - 1) * kRecord;
        if (rec[0] != t >> 1 || rec[1] != 0 || rec[2] != r || rec[3] != 1) break;
        memcpy(buffer + i * 6656 + (r - 1) * 256, rec + 16, 256);
      }
    }
  }
  close(fd);
  printf("cutting ... %s\n", "ADPCM");
  const int out = open("ADPCM", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0 || write(out, buffer, kBufferSize) != kBufferSize || close(out) != 0) return 1;
  return 0;
}

/* wav_lower_bound IMAGE: the least a conversion of IMAGE to WAV files must
 * do, for bench/compare.sh to set adpcm2wav beside: one read of the image,
 * the plainest search for sounds (runs of 32 or more 0x00 or 0xFF bytes part
 * them; on the sample it finds the four sounds adpcm2wav finds, though
 * adpcm2wav also weighs what the bytes decode to), and one write per sound
 * of a file with the same name and size as adpcm2wav's: a 44-byte header
 * and four bytes a byte of sound. It decodes nothing: the samples it writes
 * are zero. Kept apart from the project's code on purpose. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

static unsigned char g_image[1 << 22];
static unsigned char g_wav[44 + 4 * (1 << 22)];

static void put32(unsigned char* p, unsigned v) {
  for (int i = 0; i < 4; ++i) p[i] = (unsigned char)(v >> (8 * i));
}

static void write_wav(const char* name, size_t bytes) {
  const size_t size = 44 + 4 * bytes;
  memcpy(g_wav, "RIFF", 4);
  put32(g_wav + 4, (unsigned)(size - 8));
  memcpy(g_wav + 8, "WAVEfmt ", 8);
  put32(g_wav + 40, (unsigned)(4 * bytes));
  FILE* f = fopen(name, "wb");
  if (f == NULL || fwrite(g_wav, 1, size, f) != size || fclose(f) != 0) exit(1);
}

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  FILE* f = fopen(argv[1], "rb");
  if (f == NULL) return 1;
  setvbuf(f, NULL, _IONBF, 0);
  struct stat info;
  if (fstat(fileno(f), &info) != 0 || (size_t)info.st_size > sizeof g_image) return 1;
  const size_t size = (size_t)info.st_size;
  if (fread(g_image, 1, size, f) != size) return 1;
  fclose(f);

  size_t start = 0, i = 0, count = 0;
  char name[64];
  while (i <= size) {
    size_t end = i + 1;
    const int fill = i < size && (g_image[i] == 0x00 || g_image[i] == 0xFF);
    if (fill) {
      while (end < size && g_image[end] == g_image[i]) ++end;
    }
    if (i == size || (fill && end - i >= 32)) {
      if (i > start) {
        snprintf(name, sizeof name, "ADPCM-%02zu.wav", ++count);
        write_wav(name, i - start);
      }
      start = end;
    }
    i = end;
  }
  return 0;
}

// make_sample PATH: writes a well-formed 2HD D88 image (77 cylinders, two
// heads, 26 sectors of 256 bytes) whose sector data is a recognisable
// pattern, for trying d88adpcm without an image of one's own.
#include <cstdio>

#include "tests/ImageBuilder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s OUTPUT.d88\n", argc > 0 ? argv[0] : "make_sample");
    return 1;
  }
  const testimage::Bytes image = testimage::Standard2HD(77, "SAMPLE").Build();
  std::FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}

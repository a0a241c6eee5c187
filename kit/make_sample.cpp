// make_sample [--damaged | --shapes] PATH: writes a 2HD D88 image (77
// cylinders, two heads, 26 sectors of 256 bytes) whose sector data is a
// recognisable pattern, for trying the tools without an image of one's own.
// The tracks that d88adpcm reads hold a few tones and chirps in ADPCM-B, so
// that adpcm2wav makes playable WAV files of its ADPCM file.
// --damaged plants the faults a worn or badly copied disk shows: a missing
// sector on track 80, records out of order on track 82, a short sector on
// track 90 and an absent track 100. --shapes writes instead a small image
// with the shapes real images have: a 160-entry track table, a single
// density track, unformatted tracks, deleted and error-status sectors, and
// a file that ends inside a record.
#include <cstdio>
#include <cstring>

#include "common/Files.h"
#include "kit/SampleDisks.h"
#include "kit/Shapes.h"

int main(int argc, char** argv) {
  const bool damaged = argc == 3 && std::strcmp(argv[1], "--damaged") == 0;
  const bool shapes = argc == 3 && std::strcmp(argv[1], "--shapes") == 0;
  if (argc != 2 && !damaged && !shapes) {
    std::fprintf(stderr, "Usage: %s [--damaged | --shapes] OUTPUT.d88\n", argc > 0 ? argv[0] : "make_sample");
    return 1;
  }
  const char* path = argv[argc - 1];
  const testimage::Bytes image = shapes    ? testimage::ShapesImage()
                                 : damaged ? testimage::DamagedSampleDisk().Build()
                                           : testimage::SampleDisk().Build();
  if (const int error = WriteWholeFile(path, image.data(), image.size())) {
    std::fprintf(stderr, "%s: %s\n", path, std::strerror(error));
    return 1;
  }
  return 0;
}

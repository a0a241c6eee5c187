// make_images DIR: writes the images the tests build, one file each, so that
// two builds of the programs (Linux and Windows) can be run on the same
// inputs and their outputs compared byte for byte: the sample and its
// damaged and real-shaped variants, short tables, several disks, one image
// for each fault the reader knows, random images honest and broken, and
// sample RAM images for adpcm2wav. With --web it writes instead the
// page's extra images (kit/WebImages.h): 64 disks in about 70 MB, 65 disks, a disk
// named in Shift_JIS, and random bytes.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/Files.h"
#include "kit/Banks.h"
#include "kit/FaultyImages.h"
#include "kit/ImageBuilder.h"
#include "kit/RandomImage.h"
#include "kit/SampleDisks.h"
#include "kit/Shapes.h"
#include "kit/WebImages.h"

using namespace testimage;

namespace {

std::vector<std::pair<std::string, Bytes>> Images() {
  std::vector<std::pair<std::string, Bytes>> out;
  out.emplace_back("sample.d88", SampleDisk().Build());
  for (NamedImage& image : FaultyImages()) out.emplace_back(image.name, std::move(image.bytes));
  for (uint32_t seed = 1; seed <= 30; ++seed) out.emplace_back("random-" + std::to_string(seed) + ".d88", RandomImages(seed).Make());
  // Sample RAM images, as adpcm2wav reads them: the sample's, one filled
  // with 0xFF, and one of random bytes.
  out.emplace_back("ram-sample.bin", SampleRam());
  Bytes filled = SampleRam();
  for (uint8_t& b : filled) b = b == 0x00 ? 0xFF : b;
  out.emplace_back("ram-filled.bin", filled);
  RandomImages noise(99);
  Bytes random(0x8000);
  for (uint8_t& b : random) b = static_cast<uint8_t>(noise.Uniform(0, 255));
  out.emplace_back("ram-random.bin", random);
  // A bank of each layout the search must cut, and a piece of each kind of
  // data that is no sound.
  for (int layout = 0; layout < static_cast<int>(Layout::kCount); ++layout) {
    out.emplace_back("ram-bank-" + std::to_string(layout) + ".bin",
                     MakeBank(static_cast<Layout>(layout), 1).ram);
  }
  for (int junk = 0; junk < static_cast<int>(Junk::kCount); ++junk) {
    out.emplace_back("ram-junk-" + std::to_string(junk) + ".bin",
                     MakeJunk(static_cast<Junk>(junk), 0x8000, 1));
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const bool web = argc == 3 && std::string(argv[1]) == "--web";
  if (argc != 2 && !web) {
    std::fprintf(stderr, "Usage: %s [--web] DIR\n", argc > 0 ? argv[0] : "make_images");
    return 1;
  }
  for (const auto& [name, bytes] : web ? WebImages() : Images()) {
    const std::string path = std::string(argv[argc - 1]) + "/" + name;
    if (const int error = WriteWholeFile(path, bytes.data(), bytes.size())) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(error));
      return 1;
    }
  }
  return 0;
}

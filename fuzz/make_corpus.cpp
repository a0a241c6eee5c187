// make_corpus DIR: writes the seed inputs of the fuzz targets into
// DIR/reader, DIR/extract and DIR/cutfile: a well-formed 2HD image, several
// disks, and one small image for each kind of fault the reader meets.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tests/ImageBuilder.h"

using namespace testimage;

namespace {

// The tracks the extraction reads first, honest: cylinders 36 to 38, head 0
// and head 1, 26 sectors of 256 bytes.
Disk SmallHD() {
  Disk d;
  d.name = "2HD";
  for (int t = 72; t < 78; ++t) d.tracks[t] = StandardTrack(t, 26);
  return d;
}

// A short honest track of four sectors, where most faults are planted.
Disk Four(int track = 72) {
  Disk d;
  d.tracks[track] = StandardTrack(track, 4);
  return d;
}

std::vector<std::pair<std::string, Bytes>> Images() {
  std::vector<std::pair<std::string, Bytes>> out;
  out.emplace_back("well-formed", SmallHD().Build());
  out.emplace_back("disks", Concat({Four(72).Build(), Four(0).Build(), Four(1).Build()}));

  Disk missing = Four();
  missing.tracks[72].erase(missing.tracks[72].begin() + 1);
  out.emplace_back("missing-sector", missing.Build());
  Disk shortSector = Four();
  shortSector.tracks[72][1].data.resize(128);
  out.emplace_back("short-sector", shortSector.Build());
  Disk longSector = Four();
  longSector.tracks[72][1].data.resize(300);
  out.emplace_back("long-sector", longSector.Build());
  Disk duplicate = Four();
  duplicate.tracks[72].insert(duplicate.tracks[72].begin() + 1, duplicate.tracks[72][2]);
  out.emplace_back("duplicate", duplicate.Build());
  Disk countZero = Four();
  countZero.tracks[72][2].count = 0;
  out.emplace_back("count-zero", countZero.Build());
  Disk neverEnds = Four();
  for (Record& rec : neverEnds.tracks[72]) rec.count = 9;
  neverEnds.tracks[74] = StandardTrack(74, 2);
  out.emplace_back("count-never-matches", neverEnds.Build());
  Disk absent = Four(74);
  out.emplace_back("absent-track", absent.Build());
  Disk beyond = Four();
  const uint32_t size = static_cast<uint32_t>(beyond.Build().size());
  beyond.entryOverride[74] = size;
  beyond.entryOverride[76] = size + 1;
  out.emplace_back("entries-at-and-beyond-end", Concat({beyond.Build(), Four(0).Build()}));
  Disk loop = Four();
  loop.SetSize(0);
  out.emplace_back("size-zero", loop.Build());
  const Bytes whole = Four().Build();
  out.emplace_back("truncated-header", Bytes(whole.begin(), whole.begin() + 700));
  out.emplace_back("truncated-data", Bytes(whole.begin(), whole.begin() + 688 + 16 + 100));
  out.emplace_back("truncated-disk-header", Bytes(whole.begin(), whole.begin() + 400));
  return out;
}

void Write(const std::string& path, const Bytes& prefix, const Bytes& image) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fwrite(prefix.data(), 1, prefix.size(), f);
  std::fwrite(image.data(), 1, image.size(), f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s DIR\n", argv[0]);
    return 1;
  }
  const std::string dir = argv[1];
  for (const char* sub : {"", "/reader", "/extract", "/cutfile"}) mkdir((dir + sub).c_str(), 0755);
  // Argument prefixes: all zero, and one aimed at track 72 (C 36, H 0, R 1,
  // N 1) of disk 0 with the 2HD range.
  const Bytes readerArgs(64, 0);
  Bytes aimed(64, 0);
  for (size_t i = 0; i + 8 < aimed.size(); i += 8) {
    const uint8_t query[] = {1, 72, 1, 1, 1, 0, 26, 0};
    std::copy(query, query + 8, aimed.begin() + static_cast<std::ptrdiff_t>(i));
  }
  Bytes cutArgs = {0, 26, 26, 72, 36, 0, 1, 1, 2, 2, 0, 2, 4, 0};
  cutArgs.resize(32, 0);
  for (const auto& [name, image] : Images()) {
    Write(dir + "/reader/" + name, readerArgs, image);
    Write(dir + "/reader/" + name + "-aimed", aimed, image);
    Write(dir + "/extract/" + name, {}, image);
    Write(dir + "/cutfile/" + name, cutArgs, image);
  }
  return 0;
}

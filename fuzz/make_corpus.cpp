// make_corpus DIR: writes the seed inputs of the fuzz targets into
// DIR/reader, DIR/extract, DIR/cutfile and DIR/picture: a well-formed 2HD
// image, several disks, and one small image for each kind of fault the
// reader meets; DIR/adpcm: pieces of the sample's RAM; DIR/ranges: lists.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/Files.h"
#include "fuzz/FuzzSupport.h"
#include "kit/FaultyImages.h"
#include "kit/ImageBuilder.h"
#include "kit/SampleSounds.h"
#include "kit/Shapes.h"

using namespace testimage;

namespace {

// A reader query as the reader target decodes it: kind (0 sector, 1 run,
// 2 listing), track, honest IDs (C = track / 2, H = track % 2), R, N and a
// length of hi * 256 + lo bytes.
Bytes Query(uint8_t kind, uint8_t track, uint8_t r, uint8_t n, uint8_t hi, uint8_t lo) {
  return {kind, track, 1, r, n, 0, hi, lo};
}

// The same with C and H of the caller's choosing. Track bytes 240 and 241
// decode to -1 and 164, 243 and 244 to INT32_MIN and INT32_MAX.
Bytes AnyQuery(uint8_t kind, uint8_t track, uint8_t c, uint8_t h, uint8_t r, uint8_t n, uint8_t hi, uint8_t lo) {
  return {kind, track, 0, c, h, r, n, 0, hi, lo};
}

// A query that reads nothing and starts no sector search: an empty listing.
Bytes Idle() { return Query(2, 0, 0, 0, 0, 0); }

// Reader arguments: a sector range, four queries spent on disk -1, then the
// given queries (for disk 0, disk 1, ...), padded with idle ones.
Bytes ReaderArgs(uint8_t first, uint8_t last, const std::vector<Bytes>& queries) {
  Bytes args = {1, first, last};
  for (int i = 0; i < 4; ++i) {
    const Bytes spent = Query(0, 0, 0, 0, 0, 0);
    args.insert(args.end(), spent.begin(), spent.end());
  }
  for (const Bytes& q : queries) args.insert(args.end(), q.begin(), q.end());
  while (args.size() < fuzzing::kReaderArgBytes) {
    const Bytes idle = Idle();
    args.insert(args.end(), idle.begin(), idle.end());
  }
  args.resize(fuzzing::kReaderArgBytes);
  return args;
}

// Images for paths that need both an image and arguments aimed at it.
std::vector<std::pair<std::string, Bytes>> AimedReaderSeeds() {
  std::vector<std::pair<std::string, Bytes>> out;
  // A run from head 1 over to head 0 of the next cylinder, range 1 to 4.
  Disk cross;
  cross.tracks[1] = StandardTrack(1, 4);
  cross.tracks[2] = StandardTrack(2, 4);
  out.emplace_back("cross-cylinder", Concat({ReaderArgs(1, 4, {Query(1, 1, 1, 1, 8, 0)}), cross.Build()}));
  // A sector longer than the reader's 8 KiB window.
  Disk large;
  large.tracks[72] = {MakeRecord(36, 0, 1, 3, 1, Bytes(10000, 0x5A))};
  out.emplace_back("large-sector", Concat({ReaderArgs(1, 26, {Query(0, 72, 1, 3, 40, 0)}), large.Build()}));
  // A lookup that finds sector (36, 0, 1, 1), then the same C, H and N asked
  // of invalid tracks: in the same disk, after the selection moves on, after
  // the file is closed and after it is opened again. Each must find nothing.
  const Bytes found = AnyQuery(0, 72, 36, 0, 1, 1, 1, 0);
  const std::pair<const char*, uint8_t> invalid[] = {{"minus-one", 240}, {"past-table", 241}, {"min", 243}, {"max", 244}};
  for (const auto& [name, track] : invalid) {
    const Bytes stale = AnyQuery(0, track, 36, 0, 1, 1, 1, 0);
    const Bytes staleRun = AnyQuery(1, track, 36, 0, 1, 1, 2, 0);
    out.emplace_back(std::string("stale-same-disk-") + name,
                     Concat({ReaderArgs(1, 26, {found, stale, found, staleRun}), SmallHD().Build()}));
    out.emplace_back(std::string("stale-next-selection-") + name,
                     Concat({ReaderArgs(1, 26, {Idle(), Idle(), Idle(), found, stale}), SmallHD().Build()}));
    // Disk 0 and disk 1 (out of range) spend eight queries; then the
    // post-selection one, the one while closed, and two after reopening.
    std::vector<Bytes> across(8, Idle());
    across.insert(across.end(), {found, stale, found, staleRun});
    out.emplace_back(std::string("stale-across-open-") + name,
                     Concat({ReaderArgs(1, 26, across), SmallHD().Build()}));
  }
  // The plan's own reads on the 2HD image.
  out.emplace_back("plan", Concat({ReaderArgs(1, 26, {Query(1, 72, 1, 1, 26, 0), Query(2, 74, 0, 0, 1, 0),
                                                      Query(0, 76, 26, 1, 1, 0)}),
                                   SmallHD().Build()}));
  return out;
}

void Write(const std::string& path, const Bytes& prefix, const Bytes& image) {
  const Bytes input = Concat({prefix, image});
  if (const int error = WriteWholeFile(path, input.data(), input.size())) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(error));
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s DIR\n", argv[0]);
    return 1;
  }
  const std::string dir = argv[1];
  for (const char* sub : {"", "/reader", "/extract", "/cutfile", "/adpcm", "/picture", "/ranges"}) {
    mkdir((dir + sub).c_str(), 0755);
  }
  // The ranges target: the image's size in 16-byte units (here 4096 bytes),
  // then a list.
  const std::pair<const char*, std::string> lists[] = {
      {"ranges", "# drums\n0x100:0x180\n\n  16 : 32   # kick\r\n\t0X200:0x204\n0x180:0x200"},
      {"overlap", "10:20\n15:30\n0:100\n"},
      {"bom-and-nul", std::string("\xEF\xBB\xBF" "0:16\n16:32\0x\n", 17)},
      {"wrong", "0:16\nsixteen\n0xab:0x10\n"},
  };
  for (const auto& [name, list] : lists) Write(dir + "/ranges/" + name, {0, 1}, Bytes(list.begin(), list.end()));
  // The audio target: a gap length byte, then a piece of the sample's RAM
  // with each of its sounds, and short runs of both fill values.
  const Bytes ram = SampleRam();
  Write(dir + "/adpcm/sample-start", {32}, Slice(ram, 0, 0x6000));
  Write(dir + "/adpcm/bell", {32}, Slice(ram, 0x9F00, 0x2800));
  Write(dir + "/adpcm/runs", {4}, {0x12, 0x00, 0x00, 0x00, 0x00, 0x34, 0xFF, 0xFF, 0xFF, 0x56, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
  // Argument prefixes: all zero, and one aimed at the plan's first track.
  const Bytes readerArgs(fuzzing::kReaderArgBytes, 0);
  const Bytes aimed = ReaderArgs(1, 26, {Query(1, 72, 1, 1, 26, 0), Query(2, 72, 0, 0, 1, 0)});
  Bytes cutArgs = {0, 26, 26, 72, 36, 0, 1, 1, 2, 2, 0, 2, 4, 0};
  cutArgs.resize(32, 0);
  // Seeds within the targets' input limit.
  for (const NamedImage& seed : FaultyImages()) {
    if (seed.bytes.size() > 65536) continue;
    const std::string name = seed.name.substr(0, seed.name.size() - 4);  // less ".d88"
    const Bytes& image = seed.bytes;
    Write(dir + "/reader/" + name, readerArgs, image);
    Write(dir + "/reader/" + name + "-aimed", aimed, image);
    Write(dir + "/extract/" + name, {}, image);
    Write(dir + "/cutfile/" + name, cutArgs, image);
    Write(dir + "/picture/" + name, {}, image);
  }
  for (const auto& [name, input] : AimedReaderSeeds()) Write(dir + "/reader/" + name, {}, input);
  return 0;
}

// make_corpus DIR: writes the seed inputs of the fuzz targets into
// DIR/reader, DIR/extract and DIR/cutfile: a well-formed 2HD image, several
// disks, and one small image for each kind of fault the reader meets.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "kit/ImageBuilder.h"
#include "kit/SampleSounds.h"
#include "kit/Shapes.h"

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
  out.emplace_back("table-160", ShortTable2HD(160, 2).Build());
  out.emplace_back("table-154", ShortTable2HD(154, 2).Build());
  Disk blank = Four();
  blank.rawTracks[74] = Unformatted(600);
  blank.tracks[72][1].density = 0x40;
  blank.tracks[72][2].deleted = 0x10;
  blank.tracks[72][3].status = 0xB0;
  out.emplace_back("unformatted-and-marks", blank.Build());
  const Bytes whole = Four().Build();
  out.emplace_back("truncated-header", Bytes(whole.begin(), whole.begin() + 700));
  out.emplace_back("truncated-data", Bytes(whole.begin(), whole.begin() + 688 + 16 + 100));
  out.emplace_back("truncated-disk-header", Bytes(whole.begin(), whole.begin() + 400));
  return out;
}

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
  for (const char* sub : {"", "/reader", "/extract", "/cutfile", "/adpcm"}) mkdir((dir + sub).c_str(), 0755);
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
  for (const auto& [name, image] : Images()) {
    Write(dir + "/reader/" + name, readerArgs, image);
    Write(dir + "/reader/" + name + "-aimed", aimed, image);
    Write(dir + "/extract/" + name, {}, image);
    Write(dir + "/cutfile/" + name, cutArgs, image);
  }
  for (const auto& [name, input] : AimedReaderSeeds()) Write(dir + "/reader/" + name, {}, input);
  return 0;
}

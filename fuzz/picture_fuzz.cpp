// d88ls on any image: the one walk rendered at once as the text listing,
// the JSON document and the picture, which must all draw what the walk
// found. A renderer of the fuzz target's own counts the walk's facts; then
// the text must list every record and every disk, the JSON hold every
// present track and record, and the picture be an ASCII SVG document with a
// cell for each record its rows have room for, numbered from 1 in the
// walk's order. Every record d88ls --sector can show, on disk 0, prints its
// ID line and a dump line for each 16 bytes the file holds.
//
// Input: the image.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "d88ls/ImageWalk.h"
#include "d88ls/DiskPicture.h"
#include "d88ls/Listing.h"
#include "d88ls/SectorDump.h"
#include "fuzz/FuzzSupport.h"

namespace {

using fuzzing::Check;

// Cells a picture's row draws at most; the rest are counted in its note.
constexpr int32_t kRowCells = 64;

// What the walk handed out, counted.
struct Facts {
  int32_t disks = 0;
  int64_t presentTracks = 0;
  int64_t records = 0;
  int64_t drawnRecords = 0;  // a row's first kRowCells at most
  std::vector<std::vector<int32_t>> disk0Tracks;  // of disk 0, track and record count
  void Take(const WalkStep& step) {
    if (step.kind == WalkStep::Kind::kDisk) ++disks;
    if (step.kind != WalkStep::Kind::kTrack) return;
    const DiskFacts& disk = *step.disk;
    const TrackFacts& track = *step.track;
    if (!track.present) return;
    ++presentTracks;
    records += track.count;
    drawnRecords += track.count < kRowCells ? track.count : kRowCells;
    if (disk.index == 0) disk0Tracks.push_back({track.track, track.count});
  }
};

// A stream into memory, and what was written to it.
class Captured {
 public:
  Captured() : file_(open_memstream(&data_, &size_)) { Check(file_ != nullptr); }
  ~Captured() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(data_);
  }
  std::FILE* get() { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  std::FILE* file_;
};

size_t Count(const std::string& text, const char* what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The records the text listing counts: "K records: " and "1 record: " after
// each track's number.
int64_t ListedRecords(const std::string& text) {
  int64_t total = 0;
  for (size_t at = text.find("\n  track "); at != std::string::npos; at = text.find("\n  track ", at + 1)) {
    const size_t colon = text.find(": ", at + 9);
    const char* p = text.c_str() + colon + 2;
    char* end = nullptr;
    const long count = std::strtol(p, &end, 10);
    if (end != p && (std::strncmp(end, " records: ", 10) == 0 || std::strncmp(end, " record: ", 9) == 0)) total += count;
  }
  return total;
}

// The value of the attribute `name` (" data-disk=\"") in `element`, or -1.
long Attribute(const std::string& element, const char* name) {
  const size_t found = element.find(name);
  return found == std::string::npos ? -1 : std::strtol(element.c_str() + found + std::strlen(name), nullptr, 10);
}

// The records' cells of each track numbered 1, 2, ... in the order drawn.
void CheckCellsNumbered(const std::string& svg) {
  long disk = -1, track = -1, record = 0;
  for (size_t at = svg.find(" data-disk=\""); at != std::string::npos; at = svg.find(" data-disk=\"", at + 1)) {
    const std::string element = svg.substr(at, svg.find('>', at) - at);
    const long r = Attribute(element, " data-record=\"");
    if (r < 0) continue;  // a sector the track lacks
    const long d = Attribute(element, " data-disk=\""), t = Attribute(element, " data-track=\"");
    Check(r == (d == disk && t == track ? record + 1 : 1));
    disk = d;
    track = t;
    record = r;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzing::WriteImage(data, size);
  D88File d88;
  Check(d88.Open(path.c_str()));
  const ImageFacts image = DescribeImage(d88);
  Captured text, json;
  std::string svg;
  Facts facts;
  TextListing listing(text.get());
  JsonListing document(json.get(), "image.d88", image.warnings);
  DiskPicture picture("fuzz", &svg);
  WalkImage(d88, image, listing, document, picture, facts);
  Check(facts.disks == image.disks);

  // The text: the disk count, a heading and a line on the plan a disk, and
  // every record counted on its track's line.
  const std::string listed = text.Text();
  Check(Count(listed, "\ndisk ") == 2 * static_cast<size_t>(image.disks));
  Check(ListedRecords(listed) == facts.records);

  // The JSON: ASCII, every present track with how it ended, every record
  // with its fields.
  const std::string doc = json.Text();
  for (const char ch : doc) Check(static_cast<unsigned char>(ch) < 0x80);
  Check(Count(doc, "\"end\": \"") == static_cast<size_t>(facts.presentTracks));
  Check(Count(doc, "{\"offset\": ") == static_cast<size_t>(facts.records));
  Check(Count(doc, "\"index\": ") == static_cast<size_t>(image.disks));

  // The picture: ASCII, one document, a cell for each record drawn.
  for (const char ch : svg) Check(static_cast<unsigned char>(ch) < 0x80);
  Check(svg.compare(0, 5, "<svg ") == 0 && svg.size() > 7 && svg.compare(svg.size() - 7, 7, "</svg>\n") == 0);
  Check(Count(svg, " data-record=\"") == static_cast<size_t>(facts.drawnRecords));
  CheckCellsNumbered(svg);
  Check(Count(svg, "<g class=\"disk\"") == static_cast<size_t>(image.disks));

  // Each first and last record of disk 0's tracks, as --sector shows it.
  for (const std::vector<int32_t>& track : facts.disk0Tracks) {
    if (track[1] == 0) continue;
    for (const int32_t record : {1, track[1]}) {
      Captured dump;
      Check(PrintSector(d88, {0, track[0], record}, image.fileSize, dump.get()).empty());
      const std::string shown = dump.Text();
      const TrackFacts walked = WalkTrack(d88, track[0], image.fileSize);
      const SectorRecord& rec = walked.records[record - 1];
      Check(shown.compare(0, shown.find('\n'), RecordText(rec) + ": " + std::to_string(rec.dataSize) + " bytes") == 0);
      Check(Count(shown, "\n") == 1 + (rec.dataPresent + 15u) / 16u);
    }
  }
  return 0;
}

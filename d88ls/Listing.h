// d88ls: what a D88 image holds, as plain text or as one JSON document,
// each drawn from the one walk of the image (d88ls/ImageWalk.h): renderers
// that WalkImage hands each step to.
#ifndef D88LS_LISTING_H_
#define D88LS_LISTING_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/Json.h"
#include "d88ls/ImageWalk.h"

// The text listing, written to `out` as the walk goes: the disk count;
// every disk's heading, then a line for each track of its table that is
// there (its record count and IDs in file order, runs written as one item,
// and why its walk ended when that was not its own last record), tracks
// past the end of the file sharing a line a run; last, a line per disk on
// what d88adpcm makes of it.
class TextListing {
 public:
  explicit TextListing(std::FILE* out);
  void Take(const WalkStep& step);

 private:
  // The line of a track, or of the run of tracks past the end of the file
  // it ends.
  void Line(const TrackFacts& track);
  void EndPastEnd();

  std::FILE* out_;
  int32_t pastFirst_ = -1, pastLast_ = -1;
  std::vector<std::string> summaries_;
};

// The same as one JSON document (keys in man/d88ls.1) of the image at
// `path`: every field of every record, why each walk ended, each disk's
// plan track by track, and `warnings`, the lines d88ls writes on standard
// error.
class JsonListing {
 public:
  JsonListing(std::FILE* out, const std::string& path, const std::vector<std::string>& warnings);
  void Take(const WalkStep& step);

 private:
  void Open(const ImageFacts& image);
  void DiskObject(const DiskFacts& disk);
  void TrackObject(const TrackFacts& track);
  void PlanObject(const DiskFacts& disk);
  void Close(const ImageFacts& image);
  void Int(const char* key, int64_t value);

  JsonWriter json_;
  std::string path_;
  std::vector<std::string> warnings_;
};

#endif  // D88LS_LISTING_H_

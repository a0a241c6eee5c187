// d88ls --svg: a picture of an image's disks, as an SVG document, drawn
// from the one walk of the image (d88ls/ImageWalk.h).
#ifndef D88LS_DISKPICTURE_H_
#define D88LS_DISKPICTURE_H_

#include <cstdint>
#include <string>

#include "d88ls/ImageWalk.h"

// Every disk under its heading and its line about the plan, as the text
// listing words them; then each track up to the last that is there (on
// disk 0, at least to the last d88adpcm reads) as a row of its records in
// file order, coloured by KindOf (class "present", "fm", "deleted",
// "error", "short", "other"), then the sectors the track lacks ("missing":
// those of 1 to its highest R among the records of its own C and H, and
// on the tracks d88adpcm reads, when they are of its size or there are
// none, any of 1 to 26). Every record is a <rect> of its own carrying
// data-disk, data-track and data-record (its place in the track's walk,
// from 1); a missing sector's carries the first two only. A run of the
// listing is a group of its records under one <title>; any other cell, and
// a record of a run that the file cuts, has its own. A row says what the listing says of how its walk ended. On disk
// 0 the tracks d88adpcm reads are outlined, those that would not come out
// whole in red and named. Three or more absent tracks in a row that
// d88adpcm does not read share one row. The same image always gives the
// same bytes.
//
// `title` heads the picture; the document goes to `*svg` when the walk ends.
class DiskPicture {
 public:
  DiskPicture(const std::string& title, std::string* svg);
  void Take(const WalkStep& step);

 private:
  // The disk's heading and its line about the plan.
  void Heading(const DiskFacts& disk);
  // A track's row, or the wait for the absent tracks it may share one with.
  void Row(const DiskFacts& disk, const TrackFacts& track);
  // The document, its head put before the rows.
  void Finish();
  void DrawTrack(const DiskFacts& disk, const TrackFacts& track);
  // Draws the absent tracks not yet drawn: one row for three or more.
  void EndAbsent(const DiskFacts& disk);

  std::string title_;
  std::string* svg_;
  std::string body_;
  int row_ = 4;  // the title and the legend take the first rows
  int32_t absentFirst_ = -1, absentLast_ = -1;
};

#endif  // D88LS_DISKPICTURE_H_

// d88ls --svg: a picture of an image's disks, as an SVG document.
#ifndef D88LS_DISKPICTURE_H_
#define D88LS_DISKPICTURE_H_

#include <cstdio>
#include <string>

#include "d88/D88File.h"

// Draws every disk of the open image `d88`: each track of its table as a
// row of its records in file order, coloured by what the listing marks
// (class "present", "fm", "deleted", "error" for a CRC or other status
// error, "short" for data shorter than 128 << N, "other" for an ID that
// does not belong to the track), then the sectors the track lacks
// ("missing": those of 1 to its highest R, and for the tracks d88adpcm
// reads, any of 1 to 26). Every record is a <rect> of its own carrying
// data-disk, data-track and data-record (its place in the track's walk,
// from 1); a sector the track lacks carries the first two only. A run of
// ordinary sectors is a group of its records with one <title>; any other
// cell has its own. The tracks d88adpcm reads are outlined; those that
// would not come out whole are outlined in red and named. Each title gives
// IDs and marks. `title` heads the picture. Changes the current disk and the
// sector range. The same image always gives the same bytes.
std::string DrawDisk(D88File& d88, const std::string& title);

// d88ls --svg FILE: draws the open image `d88`, read from `image`, and
// writes the picture to `path` under a temporary name in the same folder,
// renamed when complete, so that no half-written picture carries the name.
// Returns the exit code: 0, or 1 after "d88ls: PATH: reason" on `err`.
int WriteDiskPicture(D88File& d88, const char* image, const char* path, std::FILE* err);

#endif  // D88LS_DISKPICTURE_H_

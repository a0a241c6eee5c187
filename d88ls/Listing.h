// d88ls: what a D88 image holds, as plain text or as one JSON document,
// each drawn from the one walk of the image (d88ls/ImageWalk.h).
#ifndef D88LS_LISTING_H_
#define D88LS_LISTING_H_

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "d88ls/ImageWalk.h"

// The text listing, written to `out` as the walk goes: the disk count;
// every disk's heading, then a line for each track of its table that is
// there (its record count and IDs in file order, runs written as one item,
// and why its walk ended when that was not its own last record), tracks
// past the end of the file sharing a line a run; last, a line per disk on
// what d88adpcm makes of it.
std::unique_ptr<ImageRenderer> TextListing(std::FILE* out);

// The same as one JSON document (keys in man/d88ls.1) of the image at
// `path`: every field of every record, why each walk ended, each disk's
// plan track by track, and `warnings`, the lines d88ls writes on standard
// error.
std::unique_ptr<ImageRenderer> JsonListing(std::FILE* out, const std::string& path,
                                           const std::vector<std::string>& warnings);

#endif  // D88LS_LISTING_H_

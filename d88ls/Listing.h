// d88ls: what a D88 image holds, as plain text.
#ifndef D88LS_LISTING_H_
#define D88LS_LISTING_H_

#include <cstdint>
#include <cstdio>

#include "d88/D88File.h"

// Lists every disk of the open image `d88` to `out`: index, name, media
// type, then each track that holds records with its record count and IDs,
// and finally one line per disk saying whether the tracks d88adpcm reads
// would be extracted whole. Changes the current disk and the sector range.
void ListImage(D88File& d88, std::FILE* out);

#endif  // D88LS_LISTING_H_

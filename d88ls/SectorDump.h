// d88ls --sector DISK:TRACK:RECORD: one record of an image, its ID, marks
// and size, then its bytes.
#ifndef D88LS_SECTORDUMP_H_
#define D88LS_SECTORDUMP_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "d88/D88File.h"

// Which record: the disk's index, the track number, and the record's place
// in the track's walk from 1, as the listing walks it (and as the picture's
// data-record attribute gives it).
struct SectorChoice {
  int32_t disk = 0;
  int32_t track = 0;
  int32_t record = 1;
};

// Writes `size` bytes in lines of 16: the offset of the line's first byte
// (four lower-case hexadecimal digits), two spaces, the bytes in lower-case
// hexadecimal with a space between them, two spaces, and the bytes as text.
// In the text, printable ASCII and Shift_JIS characters are their own raw
// bytes, a double-byte character two bytes and two columns wide, so that
// the column lines up in a monospace font read as Shift_JIS; any other byte
// is '.'. A double-byte character whose second byte begins the next line is
// written whole at the end of its first line, one column past the others,
// and the next line's text begins with a space in its second byte's place.
// A short last line is padded to the column.
void DumpBytes(const uint8_t* data, size_t size, std::FILE* out);

// Prints record `choice` of the open image `d88`, whose file holds
// `fileSize` bytes, to `out`: a first line of its ID, its marks in the
// listing's words and its recorded data size ("C36 H0 R1 N1: 256 bytes"),
// then what the file holds of its data as DumpBytes writes it. Returns ""
// when printed; otherwise, with nothing printed, why there is no such
// record ("no disk 3; the image holds 1 disk", ...). Changes the current
// disk.
std::string PrintSector(D88File& d88, const SectorChoice& choice, uint64_t fileSize, std::FILE* out);

#endif  // D88LS_SECTORDUMP_H_

// d88ls: what a D88 image holds, as plain text or as JSON, and the warnings
// about images that do not look like D88 images at all.
#ifndef D88LS_LISTING_H_
#define D88LS_LISTING_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "d88/D88File.h"

// The size of the open image's file as it is now; 0 without a file.
uint64_t ImageFileSize(D88File& d88);

// Lists every disk of the open image `d88` to `out`: index, name, media
// type, then each track that holds records with its record count and IDs,
// and finally one line per disk saying what d88adpcm extracts from disk 0,
// and for any other disk that d88adpcm does not read it, with what it would
// extract were that disk the first. Changes the current disk and the sector
// range.
void ListImage(D88File& d88, std::FILE* out);

// The same listing as one JSON document (keys in man/d88ls.1): every field
// of every record, why each walk ended, the extraction summary, and the
// warnings WarnAboutImage gives for `path`. Changes what ListImage changes.
void ListImageJson(D88File& d88, const char* path, uint64_t fileSize, std::FILE* out);

// Room for any one warning's text, path excluded.
constexpr size_t kWarningSize = 256;

// What is wrong with the open image `d88`, whose file holds `fileSize`
// bytes, as d88ls says it after "d88ls: PATH: ": "no disk found" when the
// file holds no whole disk header, or "warning: disk 0 does not look like a
// D88 disk: " and the reasons, joined by "; ". False, and `text` empty,
// when there is nothing to say. Changes the current disk.
bool DescribeImageDoubt(D88File& d88, uint64_t fileSize, char (&text)[kWarningSize]);

// Writes the line of DescribeImageDoubt, if any, to `err` as
// "d88ls: PATH: TEXT". The listing is printed all the same, and the exit
// code stays 0.
void WarnAboutImage(D88File& d88, const char* path, uint64_t fileSize, std::FILE* err);

// The disk kind the media type byte names ("2D", "2DD", "2HD", "1D",
// "1DD"), or null for any other value.
const char* MediaName(int32_t type);

// What the disk BIOS's status byte of a record says ("data CRC error",
// ...), or null for a value with no name (0 is a normal record).
const char* StatusName(uint8_t status);

// What makes a record unusual, in the listing's words: "FM" (single
// density), "deleted", the disk BIOS's status ("data CRC error", or
// "status 0xNN"), the data size when it is not 128 << N ("128 bytes").
// Empty for an ordinary record.
std::vector<std::string> RecordMarks(const SectorRecord& rec);

#endif  // D88LS_LISTING_H_

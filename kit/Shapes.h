// Shapes that real D88 images have and an honest builder would not make:
// short track tables, unformatted tracks laid down as zero bytes, single
// density tracks, deleted and error-status sectors, files cut short.
#ifndef KIT_SHAPES_H_
#define KIT_SHAPES_H_

#include "kit/ImageBuilder.h"

namespace testimage {

// A 2HD disk of `cylinders` cylinders whose table has `entries` entries, as
// many PC-98 images have it (160 or 154): track 0's records begin where the
// table ends, so its first header, and from entry 158 of a 154-entry table
// the first sector's data, lie where the last entries would. That data
// begins with offsets that point inside the disk, so that those bytes read
// as plausible entries.
inline Disk ShortTable2HD(int entries, int cylinders, const std::string& name = "SHORT") {
  Disk d = Standard2HD(cylinders, name);
  d.tableEntries = entries;
  Bytes& data = d.tracks[0][0].data;
  const uint32_t plausible[] = {0x300, 0x8000, 0x10000};
  for (size_t i = 0; i < 3; ++i) PutLE32(&data[4 * i], plausible[i]);
  return d;
}

// An unformatted track as some tools store it: `size` zero bytes, whose
// first "record" says count 0 and data size 0.
inline Bytes Unformatted(size_t size) { return Bytes(size, 0); }

// The shapes sample: a 160-entry table; a single density track 0 of 26
// sectors of 128 bytes; unformatted tracks 2 and 3; deleted and
// error-status sectors on track 4; the standard tracks 72 to 79; and track
// 80, where the file ends inside the data of its second record.
inline Disk ShapesDisk() {
  Disk d;
  d.name = "SHAPES";
  d.tableEntries = 160;
  d.tracks[0] = StandardTrack(0, 26, 0);
  for (Record& rec : d.tracks[0]) rec.density = 0x40;
  d.tracks[1] = StandardTrack(1, 26);
  d.rawTracks[2] = Unformatted(4096);
  d.rawTracks[3] = Unformatted(16);
  d.tracks[4] = StandardTrack(4, 26);
  d.tracks[4][4].deleted = 0x10;  // R5: deleted data, as the BIOS reported it too
  d.tracks[4][4].status = 0x10;
  d.tracks[4][8].status = 0xB0;   // R9: data CRC error
  d.tracks[4][11].status = 0x55;  // R12: a status with no name
  for (int t = 72; t <= 80; ++t) d.tracks[t] = StandardTrack(t, 26);
  return d;
}

// The shapes sample's bytes: cut 100 bytes into the data of track 80's
// second record.
inline Bytes ShapesImage() {
  const Bytes whole = ShapesDisk().Build();
  const uint32_t track80 = GetLE32(&whole[kTrackTableOffset + 4 * 80]);
  return Slice(whole, 0, track80 + (kSectorHeaderSize + 256) + kSectorHeaderSize + 100);
}

}  // namespace testimage

#endif  // KIT_SHAPES_H_

// The catalogue of faulty images: one for each fault the reader meets in
// the wild or in crafted files, and the sample disk with the shapes real
// images have. The tests' image files (make_images) and the fuzz targets'
// seeds (make_corpus) are both made from it.
#ifndef KIT_FAULTYIMAGES_H_
#define KIT_FAULTYIMAGES_H_

#include <string>
#include <vector>

#include "kit/ImageBuilder.h"
#include "kit/SampleDisks.h"
#include "kit/Shapes.h"

namespace testimage {

struct NamedImage {
  std::string name;  // a file name, ending in .d88
  Bytes bytes;
};

// The tracks the extraction reads first, honest: cylinders 36 to 38, head 0
// and head 1, 26 sectors of 256 bytes.
inline Disk SmallHD() {
  Disk d;
  d.name = "2HD";
  for (int t = 72; t < 78; ++t) d.tracks[t] = StandardTrack(t, 26);
  return d;
}

// A short honest track of four sectors, where most faults are planted.
inline Disk Four(int track = 72) {
  Disk d;
  d.tracks[track] = StandardTrack(track, 4);
  return d;
}

// Small images of a few tracks, one fault each.
inline std::vector<NamedImage> SmallFaultyImages() {
  std::vector<NamedImage> out;
  out.push_back({"well-formed.d88", SmallHD().Build()});
  out.push_back({"disks.d88", Concat({Four(72).Build(), Four(0).Build(), Four(1).Build()})});

  Disk missing = Four();
  missing.tracks[72].erase(missing.tracks[72].begin() + 1);
  out.push_back({"missing-sector.d88", missing.Build()});
  Disk shortSector = Four();
  shortSector.tracks[72][1].data.resize(128);
  out.push_back({"short-sector.d88", shortSector.Build()});
  Disk longSector = Four();
  longSector.tracks[72][1].data.resize(300);
  out.push_back({"long-sector.d88", longSector.Build()});
  Disk duplicate = Four();
  duplicate.tracks[72].insert(duplicate.tracks[72].begin() + 1, duplicate.tracks[72][2]);
  out.push_back({"duplicate.d88", duplicate.Build()});
  Disk countZero = Four();
  countZero.tracks[72][2].count = 0;
  out.push_back({"count-zero.d88", countZero.Build()});
  Disk neverEnds = Four();
  for (Record& rec : neverEnds.tracks[72]) rec.count = 9;
  neverEnds.tracks[74] = StandardTrack(74, 2);
  out.push_back({"count-never-matches.d88", neverEnds.Build()});
  out.push_back({"absent-track.d88", Four(74).Build()});
  Disk beyond = Four();
  const uint32_t size = static_cast<uint32_t>(beyond.Build().size());
  beyond.entryOverride[74] = size;
  beyond.entryOverride[76] = size + 1;
  out.push_back({"entries-at-and-beyond-end.d88", Concat({beyond.Build(), Four(0).Build()})});
  Disk loop = Four();
  loop.SetSize(0);
  out.push_back({"size-zero-small.d88", loop.Build()});
  out.push_back({"table-160-small.d88", ShortTable2HD(160, 2).Build()});
  out.push_back({"table-154-small.d88", ShortTable2HD(154, 2).Build()});
  Disk blank = Four();
  blank.rawTracks[74] = Unformatted(600);
  blank.tracks[72][1].density = 0x40;
  blank.tracks[72][2].deleted = 0x10;
  blank.tracks[72][3].status = 0xB0;
  out.push_back({"unformatted-and-marks.d88", blank.Build()});
  const Bytes whole = Four().Build();
  out.push_back({"truncated-header.d88", Slice(whole, 0, 700)});
  out.push_back({"truncated-data.d88", Slice(whole, 0, kDiskHeaderSize + kSectorHeaderSize + 100)});
  out.push_back({"truncated-disk-header.d88", Slice(whole, 0, 400)});
  return out;
}

// A whole disk of `cylinders` cylinders, both heads, whose every track holds
// `sectors` sectors of size code `n`: 8 of 1024 bytes (PC-98 2HD) or 9 of
// 512 (2DD), as many real images do. d88adpcm reads none of them.
inline Disk SectorSizeDisk(int cylinders, int sectors, int n, const std::string& name) {
  Disk d;
  d.name = name;
  for (int t = 0; t < 2 * cylinders; ++t) d.tracks[t] = StandardTrack(t, sectors, n);
  return d;
}

// Disk names in Shift_JIS as real images have them: "ソフト表示", whose ソ and
// 表 end in 0x5C, the byte of a backslash alone; "能十予" of three such; and a
// name whose first byte begins a pair that its next byte, a quote, cannot
// end.
inline Bytes ShiftJisNamesImage() {
  return Concat({Standard2HD(1, "\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6").Build(),
                 Standard2HD(1, "\x94\x5C\x8F\x5C\x97\x5C").Build(),
                 Standard2HD(1, "\x81\x22><svg onload=\"").Build()});
}

// Marks the listing and the picture must read alike: a density byte that is
// neither 0x00 nor 0x40, the status 0x10 that says deleted data with no
// deleted byte, a deleted byte that is not 0x10, and size codes whose 128
// << N leaves an int (N 24, 25) or names no size at all (N 255).
inline Disk OddMarksDisk() {
  Disk d = Four();
  d.name = "MARKS";
  d.tracks[72][0].density = 0x01;
  d.tracks[72][1].density = 0x01;
  d.tracks[72][2].status = 0x10;
  d.tracks[72][3].deleted = 0x02;
  for (int n : {24, 24, 25, 25, 255}) d.tracks[0].push_back(MakeRecord(0, 0, 1 + static_cast<int>(d.tracks[0].size()), n, 5, Bytes()));
  return d;
}

// Whole disks: the sample and its damaged and real-shaped variants, short
// tables, several disks, a cut file, sectors of other sizes, names in
// Shift_JIS, odd marks, more disks than the reader takes, no disk at all, a
// size of 0.
inline std::vector<NamedImage> SampleFaultyImages() {
  std::vector<NamedImage> out;
  const Bytes sample = SampleDisk().Build();
  out.push_back({"damaged.d88", DamagedSampleDisk().Build()});
  out.push_back({"shapes.d88", ShapesImage()});
  out.push_back({"table-154.d88", ShortTable2HD(154, 77).Build()});
  out.push_back({"table-160.d88", ShortTable2HD(160, 80).Build()});
  out.push_back({"two-disks.d88", Concat({Standard2HD(40).Build(), sample})});
  const size_t track90 = GetLE32(&sample[kTrackTableOffset + 4 * 90]);
  constexpr size_t kRecord = kSectorHeaderSize + kPlanSectorSize;
  out.push_back({"cut-in-track-90.d88", Slice(sample, 0, track90 + 1000)});
  out.push_back({"cut-after-record.d88", Slice(sample, 0, track90 + 5 * kRecord)});
  out.push_back({"cut-in-header.d88", Slice(sample, 0, track90 + 5 * kRecord + 7)});
  // Names: Shift_JIS kana, half-width katakana and a kanji; control bytes,
  // a quote and a backslash; a pair cut off by the name's end.
  out.push_back({"names.d88", Concat({Standard2HD(1, "\x83\x7B\x83\x43\x83\x58 \xB1\xB2 \x88\x9F").Build(),
                                     Standard2HD(1, "A\x01\"\\\x7F B").Build(), Standard2HD(1, "AB\x83").Build()})});
  out.push_back({"sectors-1024.d88", SectorSizeDisk(77, 8, 3, "PC98 2HD").Build()});
  Disk sectors512 = SectorSizeDisk(80, 9, 2, "2DD");
  sectors512.mediaType = 0x10;
  out.push_back({"sectors-512.d88", sectors512.Build()});
  out.push_back({"names-sjis.d88", ShiftJisNamesImage()});
  out.push_back({"odd-marks.d88", OddMarksDisk().Build()});
  // More disks than the reader takes: 65 of four sectors each.
  out.push_back({"disks-65.d88", Concat(std::vector<Bytes>(65, Four(0).Build()))});
  out.push_back({"empty.d88", Bytes()});
  out.push_back({"short-header.d88", Slice(sample, 0, 600)});
  Disk zero = Standard2HD(77);
  zero.SetSize(0);
  out.push_back({"size-zero.d88", zero.Build()});
  return out;
}

// The whole catalogue.
inline std::vector<NamedImage> FaultyImages() {
  std::vector<NamedImage> out = SmallFaultyImages();
  for (NamedImage& image : SampleFaultyImages()) out.push_back(std::move(image));
  return out;
}

}  // namespace testimage

#endif  // KIT_FAULTYIMAGES_H_

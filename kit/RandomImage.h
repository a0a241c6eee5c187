// Random D88 images, honest and broken, from a seed: for differential tests
// against the plain model of the reader.
#ifndef KIT_RANDOMIMAGE_H_
#define KIT_RANDOMIMAGE_H_

#include <random>

#include "kit/ImageBuilder.h"

namespace testimage {

class RandomImages {
 public:
  explicit RandomImages(uint32_t seed) : rng_(seed) {}

  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int percent) { return Uniform(0, 99) < percent; }

  // One to three disks of a few tracks each, with the faults the format
  // meets in the wild and in crafted files: reordered, missing, duplicate,
  // short and long sectors, false counts, odd size codes, entries at and
  // beyond the disk's end, damaged bytes and truncation.
  Bytes Make() {
    std::vector<Bytes> disks;
    const int diskTotal = Uniform(1, 3);
    for (int disk = 0; disk < diskTotal; ++disk) disks.push_back(MakeDisk(disk).Build());
    Bytes image = Concat(disks);
    if (Chance(30)) {
      for (int i = Uniform(1, 8); i > 0; --i) image[static_cast<size_t>(Uniform(0, static_cast<int>(image.size()) - 1))] ^= static_cast<uint8_t>(Uniform(1, 255));
    }
    if (Chance(25)) image.resize(static_cast<size_t>(Uniform(0, static_cast<int>(image.size()))));
    return image;
  }

 private:
  Disk MakeDisk(int disk) {
    Disk d;
    d.name = "R" + std::to_string(disk);
    // Tables as short as many real images have them; the first track's
    // records then begin where the table ends.
    if (Chance(15)) d.tableEntries = Chance(50) ? 160 : 154;
    const int firstTrack = Uniform(0, 6);
    const int trackTotal = Uniform(0, 6);
    for (int t = firstTrack; t < firstTrack + trackTotal; ++t) {
      if (Chance(15)) continue;  // absent
      if (Chance(8)) {
        d.rawTracks[t] = Bytes(static_cast<size_t>(Uniform(0, 600)), 0);  // unformatted: zero bytes
        continue;
      }
      const int sectors = Uniform(0, 20);
      std::vector<Record> records = StandardTrack(t, sectors, Chance(80) ? 1 : Uniform(0, 3), disk);
      for (Record& rec : records) Damage(rec, sectors);
      if (Chance(20) && records.size() > 1) std::swap(records[0], records[records.size() - 1]);
      if (Chance(15) && !records.empty()) {
        // A second record with an ID already used, holding other data.
        Record twin = records[static_cast<size_t>(Uniform(0, static_cast<int>(records.size()) - 1))];
        for (uint8_t& b : twin.data) b = static_cast<uint8_t>(~b);
        records.insert(records.begin() + Uniform(0, static_cast<int>(records.size())), twin);
      }
      if (Chance(10) && !records.empty()) records.erase(records.begin() + Uniform(0, static_cast<int>(records.size()) - 1));
      d.tracks[t] = records;
    }
    Bytes built = d.Build();
    const uint32_t size = static_cast<uint32_t>(built.size());
    if (Chance(15)) d.entryOverride[Uniform(0, 12)] = Chance(50) ? size : size + static_cast<uint32_t>(Uniform(1, 300));
    if (Chance(10)) d.entryOverride[Uniform(0, 12)] = static_cast<uint32_t>(Uniform(1, static_cast<int>(size)));
    if (Chance(10)) d.SetSize(Chance(50) ? 0 : static_cast<uint32_t>(Uniform(0, static_cast<int>(size) * 2)));
    return d;
  }

  void Damage(Record& rec, int sectors) {
    if (Chance(5)) rec.density = 0x40;
    if (Chance(5)) rec.deleted = 0x10;
    if (Chance(5)) rec.status = static_cast<uint8_t>(Uniform(0, 255));
    if (Chance(5)) rec.count = 0;
    if (Chance(5)) rec.count = static_cast<uint16_t>(Uniform(1, sectors + 3));
    if (Chance(3)) rec.count = 0xFFFF;
    if (Chance(4)) rec.data.resize(static_cast<size_t>(Chance(50) ? 0 : Uniform(1, 600)));
    if (Chance(3)) rec.dataSizeField = Uniform(0, 2000);
    if (Chance(3)) rec.c = static_cast<uint8_t>(rec.c + 1);
    if (Chance(3)) rec.h ^= 1;
    if (Chance(3)) rec.r = static_cast<uint8_t>(Uniform(0, 255));
    if (Chance(2)) rec.n = static_cast<uint8_t>(Uniform(0, 255));
  }

  std::mt19937 rng_;
};

}  // namespace testimage

#endif  // KIT_RANDOMIMAGE_H_

// D88File against the plain model, on many generated images, broken ones
// included: every call must return the same count and leave the same bytes.
#include <climits>

#include "kit/RandomImage.h"
#include "tests/ReaderTestSupport.h"
#include "kit/ReferenceReader.h"

namespace {

// A value for a query argument: mostly near valid ones, sometimes an extreme.
int32_t Draw(testimage::RandomImages& gen, int32_t lo, int32_t hi) {
  if (gen.Chance(3)) return gen.Chance(50) ? INT32_MIN : INT32_MAX;
  return gen.Uniform(lo, hi);
}

TEST_F(ReaderTest, AgreesWithThePlainWalkOnGeneratedImages) {
  for (uint32_t seed = 1; seed <= 2000; ++seed) {
    testimage::RandomImages gen(seed);
    const Bytes image = gen.Make();
    ASSERT_TRUE(OpenImage(image));
    ReferenceReader model(image);
    // The range belongs to the reader and outlives each image.
    d88.SetSectorRange(model.firstSector, model.lastSector);
    ASSERT_EQ(d88.diskCount, model.diskCount) << "seed " << seed;
    bool closed = false;  // the model has no closed state: nothing is read then
    int32_t track = 0, c = 0, h = 0, n = 1;

    for (int query = 0; query < 150; ++query) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " query " << query);
      if (gen.Chance(5)) {
        const int32_t disk = gen.Uniform(-1, model.diskCount);
        ASSERT_EQ(d88.SelectDisk(disk), !closed && model.SelectDisk(disk));
      }
      if (query == 0) {
        d88.SelectDisk(0);
        model.SelectDisk(0);
      }
      if (gen.Chance(3)) {
        // Closing and reopening keep the disk members; the model keeps its own.
        closed = !closed;
        ASSERT_TRUE(d88.Open(closed ? nullptr : ImagePath().c_str()));
      }
      if (gen.Chance(10)) {
        const int32_t first = gen.Uniform(0, 3), last = gen.Uniform(1, 22);
        d88.SetSectorRange(first, last);
        model.firstSector = first;
        model.lastSector = last;
      }
      // Often the previous call's C, H and N again, with another track
      // (invalid ones included) or another N, so that a search left over from
      // that call would show; otherwise fresh values, honest or not.
      const int perturb = gen.Uniform(0, 9);
      if (perturb == 0) {
        track = gen.Chance(50) ? -1 : Draw(gen, -2, 170);
      } else if (perturb == 1) {
        n = Draw(gen, -2, 30);
      } else if (perturb > 3) {
        track = gen.Chance(3) ? Draw(gen, -2, 170) : gen.Uniform(0, 14);
        c = gen.Chance(3) ? Draw(gen, -300, 300) : track >> 1;
        h = gen.Chance(3) ? Draw(gen, -1, 2) : track & 1;
        n = gen.Chance(5) ? Draw(gen, -2, 30) : gen.Uniform(0, 3);
      }
      const int32_t r = gen.Chance(3) ? Draw(gen, -2, 300) : gen.Uniform(0, 22);
      const int32_t length = gen.Chance(3) ? gen.Uniform(-10, 10) : gen.Uniform(0, 12000);
      const size_t room = static_cast<size_t>(std::max(length, 0)) + 32;
      Bytes got = Guarded(room), want = Guarded(room);
      int32_t result = 0, expected = 0;
      switch (gen.Uniform(0, 3)) {
        case 0:
          result = d88.ReadSector(track, c, h, r, n, got.data(), length);
          expected = model.ReadSector(track, c, h, r, n, want.data(), length);
          break;
        case 1:
          result = d88.ReadSectors(track, c, h, r, n, got.data(), length);
          expected = model.ReadSectors(track, c, h, r, n, want.data(), length);
          break;
        case 2:
          result = d88.ReadIds(track, got.data(), length);
          expected = model.ReadIds(track, want.data(), length);
          break;
        default: {
          const int32_t room = std::max(length / 64, 0);
          std::vector<SectorRecord> gotRecords(static_cast<size_t>(room) + 1), wantRecords(gotRecords.size());
          const RecordListing listing = d88.ReadRecords(track, gotRecords.data(), room);
          const RecordListing modelListing = model.ReadRecords(track, wantRecords.data(), room);
          if (closed) {
            ASSERT_EQ(listing.records, 0);
            ASSERT_EQ(listing.end, WalkEnd::kNoTrack);
            continue;
          }
          ASSERT_EQ(listing.records, modelListing.records);
          ASSERT_EQ(listing.end, modelListing.end);
          for (int32_t i = 0; i < listing.records; ++i) {
            ASSERT_TRUE(SameRecord(gotRecords[static_cast<size_t>(i)], wantRecords[static_cast<size_t>(i)])) << "record " << i;
          }
          continue;
        }
      }
      if (closed) {
        ASSERT_EQ(result, 0);
        ASSERT_TRUE(GuardIntact(got, 0));
      } else {
        ASSERT_EQ(result, expected);
        ASSERT_EQ(got, want);
      }
    }
  }
}

}  // namespace

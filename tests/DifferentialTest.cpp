// D88File against the plain model, on many generated images, broken ones
// included: every call must return the same count and leave the same bytes.
#include "tests/RandomImage.h"
#include "tests/ReaderTestSupport.h"
#include "tests/ReferenceReader.h"

namespace {

TEST_F(ReaderTest, AgreesWithThePlainWalkOnGeneratedImages) {
  for (uint32_t seed = 1; seed <= 2000; ++seed) {
    testimage::RandomImages gen(seed);
    const Bytes image = gen.Make();
    ASSERT_TRUE(OpenImage(image));
    ReferenceReader model(image);
    // The range belongs to the reader and outlives each image.
    d88.SetSectorRange(model.firstSector, model.lastSector);
    ASSERT_EQ(d88.diskCount, model.diskCount) << "seed " << seed;

    for (int query = 0; query < 150; ++query) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " query " << query);
      if (gen.Chance(5)) {
        const int32_t disk = gen.Uniform(-1, model.diskCount);
        ASSERT_EQ(d88.SelectDisk(disk), model.SelectDisk(disk));
      }
      if (query == 0) {
        d88.SelectDisk(0);
        model.SelectDisk(0);
      }
      if (gen.Chance(10)) {
        const int32_t first = gen.Uniform(0, 3), last = gen.Uniform(1, 22);
        d88.SetSectorRange(first, last);
        model.firstSector = first;
        model.lastSector = last;
      }
      const int32_t track = gen.Chance(3) ? gen.Uniform(-2, 170) : gen.Uniform(0, 14);
      const int32_t c = gen.Chance(3) ? gen.Uniform(-300, 300) : track >> 1;
      const int32_t h = gen.Chance(3) ? gen.Uniform(-1, 2) : track & 1;
      const int32_t r = gen.Chance(3) ? gen.Uniform(-2, 300) : gen.Uniform(0, 22);
      const int32_t n = gen.Chance(5) ? gen.Uniform(-2, 30) : gen.Uniform(0, 3);
      const int32_t length = gen.Chance(3) ? gen.Uniform(-10, 10) : gen.Uniform(0, 12000);
      const size_t room = static_cast<size_t>(std::max(length, 0)) + 32;
      Bytes got = Guarded(room), want = Guarded(room);
      switch (gen.Uniform(0, 2)) {
        case 0:
          ASSERT_EQ(d88.ReadSector(track, c, h, r, n, got.data(), length),
                    model.ReadSector(track, c, h, r, n, want.data(), length));
          break;
        case 1:
          ASSERT_EQ(d88.ReadSectors(track, c, h, r, n, got.data(), length),
                    model.ReadSectors(track, c, h, r, n, want.data(), length));
          break;
        default:
          ASSERT_EQ(d88.ReadIds(track, got.data(), length), model.ReadIds(track, want.data(), length));
      }
      ASSERT_EQ(got, want);
    }
  }
}

}  // namespace

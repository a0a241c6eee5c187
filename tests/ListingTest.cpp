// Track ID listings and the disk queries.
#include "tests/ReaderTestSupport.h"

using testimage::Concat;
using testimage::Disk;
using testimage::MakeRecord;
using testimage::Record;
using testimage::Standard2HD;

namespace {

Record Id(int c, int h, int r, int n, int count, size_t size = 256) {
  return MakeRecord(c, h, r, n, count, Bytes(size, static_cast<uint8_t>(r)));
}

// The IDs in `ids`, flattened as the listing stores them.
Bytes Entries(const std::vector<Record>& ids) {
  Bytes out;
  for (const Record& rec : ids) out.insert(out.end(), {rec.c, rec.h, rec.r, rec.n});
  return out;
}

TEST_F(ReaderTest, ListsIdsInFileOrder) {
  const std::vector<Record> track = {Id(2, 0, 1, 1, 5), Id(2, 0, 3, 1, 5, 128), Id(2, 1, 5, 2, 5, 512),
                                     Id(2, 0, 2, 1, 5, 0), Id(9, 9, 4, 3, 5, 300)};
  Disk d;
  d.tracks[4] = track;
  OpenDisk(d.Build());
  Bytes dest = Guarded(64);
  ASSERT_EQ(d88.ReadIds(4, dest.data(), 64), 20);
  EXPECT_EQ(Slice(dest, 0, 20), Entries(track));
  EXPECT_TRUE(GuardIntact(dest, 20));
}

TEST_F(ReaderTest, PartialListingsNeverWritePastTheBound) {
  OpenDisk(Standard2HD(1).Build());
  const Bytes all = Entries(testimage::StandardTrack(1, 26));
  const struct {
    int32_t maxLength;
    int32_t expected;
  } cases[] = {{104, 104}, {200, 104}, {8, 8}, {6, 4}, {3, 0}, {0, 0}, {-4, 0}, {INT32_MIN, 0}};
  for (const auto& c : cases) {
    Bytes dest = Guarded(static_cast<size_t>(std::max(c.maxLength, 0)) + 16);
    ASSERT_EQ(d88.ReadIds(1, dest.data(), c.maxLength), c.expected) << c.maxLength;
    EXPECT_EQ(Slice(dest, 0, static_cast<size_t>(c.expected)), Slice(all, 0, static_cast<size_t>(c.expected)));
    EXPECT_TRUE(GuardIntact(dest, static_cast<size_t>(c.expected))) << c.maxLength;
  }
}

TEST_F(ReaderTest, ListingWalksPastCountZeroAndStopsWhereAHeaderIsCut) {
  // Counts of 0 never end the listing; neither do counts that never equal
  // position + 1, so it runs on into track 1 and ends where the file ends.
  Disk d;
  d.tracks[0] = {Id(0, 0, 1, 1, 0), Id(0, 0, 2, 1, 7), Id(0, 0, 3, 1, 0)};
  d.tracks[1] = {Id(0, 1, 1, 1, 0, 20)};
  Bytes image = d.Build();
  image.resize(image.size() + 10);  // a trailing header fragment
  OpenDisk(image);
  Bytes dest = Guarded(64);
  ASSERT_EQ(d88.ReadIds(0, dest.data(), 64), 16);
  EXPECT_EQ(Slice(dest, 0, 16), Entries({d.tracks[0][0], d.tracks[0][1], d.tracks[0][2], d.tracks[1][0]}));
  EXPECT_TRUE(GuardIntact(dest, 16));
}

TEST_F(ReaderTest, ListingEndsAfterPosition65534) {
  // Counts of 3 except at position 2: the track's own rule never ends it.
  Disk d;
  for (int32_t i = 0; i < 70000; ++i) d.tracks[0].push_back(Id(0, 0, 1, 0, i == 2 ? 5 : 3, 0));
  OpenDisk(d.Build());
  Bytes dest = Guarded(4 * 70000);
  EXPECT_EQ(d88.ReadIds(0, dest.data(), 4 * 70000), 4 * 65535);
  EXPECT_TRUE(GuardIntact(dest, 4 * 65535));
}

TEST_F(ReaderTest, ListingChecksTheTrackLikeASectorSearch) {
  Disk d = Standard2HD(1);
  const uint32_t size = static_cast<uint32_t>(d.Build().size());
  d.entryOverride[1] = size + 1;
  d.entryOverride[5] = size;  // equal to the size: walked, and meets the end of the file
  OpenDisk(d.Build());
  Bytes dest = Guarded(16);
  for (int32_t track : {-1, 164, 1, 2, 5}) {
    EXPECT_EQ(d88.ReadIds(track, dest.data(), 16), 0) << track;
    EXPECT_TRUE(GuardIntact(dest, 0));
  }
  ASSERT_TRUE(d88.Open(nullptr));
  EXPECT_EQ(d88.ReadIds(0, dest.data(), 16), 0);
}

TEST_F(ReaderTest, QueriesFollowTheReaderState) {
  EXPECT_EQ(d88.GetDiskCount(), 0);
  EXPECT_STREQ(d88.GetDiskName(), "");
  EXPECT_EQ(d88.GetMediaType(), -1);
  // Without a file a selection fails and changes nothing.
  EXPECT_FALSE(d88.SelectDisk(0));
  EXPECT_EQ(d88.GetMediaType(), -1);

  Disk a = Standard2HD(1, "ALPHA");
  a.mediaType = 0x00;
  Disk b = Standard2HD(1, "BRAVO");
  b.mediaType = 0xFF;
  ASSERT_TRUE(OpenImage(Concat({a.Build(), b.Build(), Standard2HD(1, "CHARLIE").Build()})));
  EXPECT_EQ(d88.GetDiskCount(), 3);
  EXPECT_STREQ(d88.GetDiskName(), "");

  const char* name = d88.GetDiskName();
  ASSERT_TRUE(d88.SelectDisk(1));
  EXPECT_EQ(d88.GetDiskName(), name);  // the member itself, not a copy
  EXPECT_STREQ(name, "BRAVO");
  EXPECT_EQ(d88.GetMediaType(), 0xFF);
  ASSERT_TRUE(d88.SelectDisk(0));
  EXPECT_STREQ(name, "ALPHA");
  EXPECT_EQ(d88.GetMediaType(), 0);

  EXPECT_FALSE(d88.SelectDisk(3));
  EXPECT_STREQ(d88.GetDiskName(), "");
  EXPECT_EQ(d88.GetMediaType(), -1);
  Bytes dest = Guarded(16);
  EXPECT_EQ(d88.ReadIds(0, dest.data(), 16), 0);

  ASSERT_TRUE(d88.SelectDisk(2));
  EXPECT_FALSE(d88.Open(dir.File("missing.d88").c_str()));
  EXPECT_EQ(d88.GetDiskCount(), 3);
  EXPECT_STREQ(d88.GetDiskName(), "CHARLIE");
  // A selection without a file keeps the earlier name.
  EXPECT_FALSE(d88.SelectDisk(0));
  EXPECT_STREQ(d88.GetDiskName(), "CHARLIE");

  ASSERT_TRUE(OpenImage(Concat({a.Build(), b.Build()})));
  ASSERT_TRUE(d88.SelectDisk(1));
  ASSERT_TRUE(d88.Open(nullptr));
  EXPECT_EQ(d88.GetDiskCount(), 0);
  EXPECT_EQ(d88.GetMediaType(), -1);
  EXPECT_STREQ(d88.GetDiskName(), "BRAVO");
}

}  // namespace

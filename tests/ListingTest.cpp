// Track ID listings and the disk queries.
#include "kit/Shapes.h"
#include "tests/ImageNames.h"
#include "tests/ReaderTestSupport.h"

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

// ---------------------------------------------------------------- the table's true length

TEST_F(ReaderTest, TableEndsWhereTheFirstTrackBegins) {
  const struct {
    const char* what;
    Disk disk;
    int32_t entries;
  } cases[] = {
      {"164 entries", Standard2HD(2), 164},
      {"160 entries", testimage::ShortTable2HD(160, 2), 160},
      {"154 entries", testimage::ShortTable2HD(154, 2), 154},
      {"no tracks at all", Disk{}, 164},
      {"an entry pointing inside the table", [] {
         Disk d = Standard2HD(2);
         d.entryOverride[0] = 0x40;  // entry 8 lies at 0x40
         return d;
       }(), 8},
  };
  for (const auto& c : cases) {
    OpenDisk(c.disk.Build());
    EXPECT_EQ(d88.GetTableEntries(), c.entries) << c.what;
    EXPECT_EQ(d88.tableEntries, c.entries) << c.what;
  }
}

TEST_F(ReaderTest, EntriesPastTheTableAreAbsentTracksForEveryOperation) {
  // Entry 155 of a 154-entry table holds the first record's count, 26: an
  // offset inside the disk's name; entries 158 to 160 are the first
  // sector's data, offsets inside the disk.
  const Bytes image = testimage::ShortTable2HD(154, 77).Build();
  OpenDisk(image);
  ASSERT_EQ(d88.trackOffsets[155], 26u);  // every value is still kept as read
  ASSERT_EQ(d88.trackOffsets[158], 0x300u);
  for (int32_t track : {154, 155, 158, 159, 160, 163}) {
    Bytes dest = Guarded(512);
    EXPECT_EQ(d88.ReadSector(track, 0, 0, 0, 0, dest.data(), 256), 0) << track;
    EXPECT_EQ(d88.ReadSectors(track, 0, 0, 0, 0, dest.data(), 512), 0) << track;
    EXPECT_EQ(d88.ReadIds(track, dest.data(), 512), 0) << track;
    EXPECT_TRUE(GuardIntact(dest, 0)) << track;
    SectorRecord records[4];
    EXPECT_EQ(d88.ReadRecords(track, records, 4).end, WalkEnd::kNoTrack) << track;
  }
  Bytes dest(256);
  ASSERT_EQ(d88.ReadSector(153, 76, 1, 26, 1, dest.data(), 256), 256);
  EXPECT_EQ(dest, testimage::SectorData(153, 26, 256));
}

// ---------------------------------------------------------------- ReadRecords

TEST_F(ReaderTest, RecordsCarryEveryHeaderField) {
  Disk d;
  Record fm = MakeRecord(3, 1, 7, 0, 2, Bytes(128, 1));
  fm.density = 0x40;
  fm.deleted = 0x10;
  fm.status = 0xB0;
  d.tracks[5] = {fm, Id(3, 1, 8, 2, 2, 300)};
  OpenDisk(d.Build());
  SectorRecord records[4];
  const RecordListing listing = d88.ReadRecords(5, records, 4);
  ASSERT_EQ(listing.records, 2);
  EXPECT_EQ(listing.end, WalkEnd::kLastRecord);
  const SectorRecord& a = records[0];
  EXPECT_EQ(a.offset, 688);
  EXPECT_EQ(std::vector<int>({a.c, a.h, a.r, a.n, a.count, a.dataSize, a.density, a.deleted, a.status, a.dataPresent}),
            std::vector<int>({3, 1, 7, 0, 2, 128, 0x40, 0x10, 0xB0, 128}));
  const SectorRecord& b = records[1];
  EXPECT_EQ(b.offset, 688 + 16 + 128);
  EXPECT_EQ(std::vector<int>({b.c, b.h, b.r, b.n, b.count, b.dataSize, b.density, b.deleted, b.status, b.dataPresent}),
            std::vector<int>({3, 1, 8, 2, 2, 300, 0, 0, 0, 300}));
}

// How a listing of track 0 ends, for each way a track can end.
TEST_F(ReaderTest, RecordListingsEndWhereTheTrackCanNoLongerLie) {
  auto withTrack = [](std::vector<Record> records) {
    Disk d;
    d.tracks[0] = std::move(records);
    d.tracks[1] = {Id(0, 1, 1, 1, 1)};
    return d.Build();
  };
  const Bytes whole = withTrack({Id(0, 0, 1, 1, 2), Id(0, 0, 2, 1, 2)});
  Disk last;  // track 0 is the disk's last, and another disk follows
  last.tracks[0] = {Id(0, 0, 1, 1, 5), Id(0, 0, 2, 1, 5)};
  Disk zeroFilled;
  zeroFilled.rawTracks[0] = testimage::Unformatted(1000);
  const struct {
    const char* what;
    Bytes image;
    int32_t room;
    int32_t records;
    WalkEnd end;
  } cases[] = {
      {"the track's last record", whole, 8, 2, WalkEnd::kLastRecord},
      {"a count of 0", withTrack({Id(0, 0, 1, 1, 3), Id(0, 0, 2, 1, 0), Id(0, 0, 3, 1, 3)}), 8, 1, WalkEnd::kCountZero},
      {"zero bytes", zeroFilled.Build(), 8, 0, WalkEnd::kCountZero},
      {"the next track", withTrack({Id(0, 0, 1, 1, 5), Id(0, 0, 2, 1, 5)}), 8, 2, WalkEnd::kTrackEnd},
      {"the disk's end", Concat({last.Build(), Standard2HD(1).Build()}), 8, 2, WalkEnd::kDiskEnd},
      {"a cut header", Slice(whole, 0, 688 + 272 + 10), 8, 1, WalkEnd::kFileEnd},
      {"cut data", Slice(whole, 0, 688 + 272 + 16 + 10), 8, 2, WalkEnd::kFileEnd},
      // The track's own last record, one byte of its data missing.
      {"the last record cut by a byte", Slice(whole, 0, 688 + 272 + 16 + 255), 8, 2, WalkEnd::kFileEnd},
      {"full room", whole, 1, 1, WalkEnd::kFull},
      {"no room", whole, 0, 0, WalkEnd::kFull},
  };
  for (const auto& c : cases) {
    OpenDisk(c.image);
    SectorRecord records[8];
    const RecordListing listing = d88.ReadRecords(0, records, c.room);
    EXPECT_EQ(listing.records, c.records) << c.what;
    EXPECT_EQ(listing.end, c.end) << c.what;
  }
  // The data that the cut leaves: 10 of 256 bytes.
  SectorRecord records[8];
  OpenDisk(Slice(whole, 0, 688 + 272 + 16 + 10));
  ASSERT_EQ(d88.ReadRecords(0, records, 8).records, 2);
  EXPECT_EQ(records[1].dataSize, 256);
  EXPECT_EQ(records[1].dataPresent, 10);
}

TEST_F(ReaderTest, RecordDataIsEachListedRecordsOwnEvenWhereIdsRepeat) {
  // R2 twice, with other bytes; the second sector search never reaches.
  Disk d;
  d.tracks[0] = {Id(0, 0, 1, 1, 3), MakeRecord(0, 0, 2, 1, 3, Bytes(256, 0xA1)), MakeRecord(0, 0, 2, 1, 3, Bytes(300, 0xB2))};
  const Bytes whole = d.Build();
  OpenDisk(whole);
  SectorRecord records[4];
  ASSERT_EQ(d88.ReadRecords(0, records, 4).records, 3);
  const struct {
    const char* what;
    int record;
    int32_t room;
    int32_t delivered;
    uint8_t value;
  } cases[] = {
      {"the first R2", 1, 512, 256, 0xA1},       {"the second R2, longer", 2, 512, 300, 0xB2},
      {"room for less", 2, 10, 10, 0xB2},         {"no room", 0, 0, 0, 0},
      {"a negative room", 0, -1, 0, 0},
  };
  for (const auto& c : cases) {
    Bytes dest = Guarded(600);
    EXPECT_EQ(d88.ReadRecordData(records[c.record], dest.data(), c.room), c.delivered) << c.what;
    EXPECT_EQ(Slice(dest, 0, static_cast<size_t>(c.delivered)), Bytes(static_cast<size_t>(c.delivered), c.value)) << c.what;
    EXPECT_TRUE(GuardIntact(dest, static_cast<size_t>(c.delivered))) << c.what;
  }
  // The file cut 20 bytes into the last record's data: those 20 arrive.
  OpenDisk(Slice(whole, 0, whole.size() - 280));
  ASSERT_EQ(d88.ReadRecords(0, records, 4).records, 3);
  Bytes dest = Guarded(600);
  EXPECT_EQ(d88.ReadRecordData(records[2], dest.data(), 600), 20);
  EXPECT_TRUE(GuardIntact(dest, 20));
  ASSERT_TRUE(d88.Open(nullptr));
  EXPECT_EQ(d88.ReadRecordData(records[0], dest.data(), 600), 0);
}

TEST_F(ReaderTest, RecordListingEndsAfterTheWalkBound) {
  Disk d;
  for (int32_t i = 0; i < 70000; ++i) d.tracks[0].push_back(Id(0, 0, 1, 0, i == 2 ? 5 : 3, 0));
  OpenDisk(d.Build());
  std::vector<SectorRecord> records(70000);
  const RecordListing listing = d88.ReadRecords(0, records.data(), 70000);
  EXPECT_EQ(listing.records, 65535);
  EXPECT_EQ(listing.end, WalkEnd::kWalkBound);
}

}  // namespace

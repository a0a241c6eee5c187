#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <winioctl.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

#include <cstring>

#include "kit/Shapes.h"
#include "tests/ImageNames.h"
#include "tests/ReaderTestSupport.h"

namespace {

// ---------------------------------------------------------------- layout

TEST(LittleEndian, AssemblesBytesInOrderAtAnyAlignment) {
  const uint8_t bytes[] = {0xFF, 0x01, 0x02, 0x03, 0x04, 0xFE};
  EXPECT_EQ(GetLE16(bytes + 1), 0x0201);
  EXPECT_EQ(GetLE16(bytes + 4), 0xFE04);
  EXPECT_EQ(GetLE32(bytes + 1), 0x04030201u);
  EXPECT_EQ(GetLE32(bytes + 2), 0xFE040302u);
}

// The 960-byte image of one disk, one track, one sector.
Bytes MinimalImage() {
  Disk d;
  d.name = "TEST";
  d.mediaType = 0;
  d.tracks[0] = {MakeRecord(0, 0, 1, 1, 1, SectorData(0, 1, 256))};
  return d.Build();
}

TEST(ImageBuilder, LaysOutTheMinimalImageByteForByte) {
  const Bytes image = MinimalImage();
  ASSERT_EQ(image.size(), 960u);
  EXPECT_EQ(std::memcmp(image.data(), "TEST\0", 5), 0);
  EXPECT_EQ(GetLE32(&image[0x1C]), 960u);
  EXPECT_EQ(GetLE32(&image[0x20]), 688u);
  const uint8_t record[] = {0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x01};
  EXPECT_EQ(std::memcmp(&image[0x2B0], record, sizeof record), 0);
}

// Two disks written byte by byte at literal offsets, sharing nothing with the
// reader's layout constants or the image builder, and every field read back.
TEST_F(ReaderTest, ReadsEveryFieldFromItsOwnOffset) {
  Bytes image(0x2C5 + 0x2B0, 0);
  std::memcpy(&image[0x00], "LITERAL-NAME-16B", 16);
  image[0x10] = 'X';                                         // past the name field
  image[0x1B] = 0x30;                                        // media type
  image[0x1C] = 0xC5, image[0x1D] = 0x02;                    // disk size 0x2C5
  image[0x2AC] = 0xB0, image[0x2AD] = 0x02;                  // entry 163 (0x20 + 4 x 163): 0x2B0
  const uint8_t record[] = {0x51, 0x01, 0x07, 0x00,          // C 81, H 1, R 7, N 0
                            0x01, 0x00,                      // sector count 1
                            0, 0, 0, 0, 0, 0, 0, 0, 0x05, 0x00,  // data size 5
                            1, 2, 3, 4, 5};
  std::memcpy(&image[0x2B0], record, sizeof record);
  std::memcpy(&image[0x2C5], "SECOND", 6);                   // disk 1: no tracks
  image[0x2C5 + 0x1C] = 0xB0, image[0x2C5 + 0x1D] = 0x02;

  ASSERT_TRUE(OpenImage(image));
  ASSERT_EQ(d88.GetDiskCount(), 2);
  EXPECT_EQ(d88.diskOffsets[1], 0x2C5u);
  ASSERT_TRUE(d88.SelectDisk(0));
  EXPECT_STREQ(d88.GetDiskName(), "LITERAL-NAME-16B");
  EXPECT_EQ(d88.GetMediaType(), 0x30);
  EXPECT_EQ(d88.diskSize, 0x2C5u);
  EXPECT_EQ(d88.trackOffsets[163], 0x2B0u);
  Bytes dest = Guarded(8);
  ASSERT_EQ(d88.ReadSector(163, 81, 1, 7, 0, dest.data(), 8), 5);
  EXPECT_EQ(Slice(dest, 0, 5), Bytes({1, 2, 3, 4, 5}));
  EXPECT_TRUE(GuardIntact(dest, 5));
  dest = Guarded(8);
  ASSERT_EQ(d88.ReadIds(163, dest.data(), 8), 4);
  EXPECT_EQ(Slice(dest, 0, 4), Bytes({81, 1, 7, 0}));
  ASSERT_TRUE(d88.SelectDisk(1));
  EXPECT_STREQ(d88.GetDiskName(), "SECOND");
  EXPECT_EQ(d88.GetMediaType(), 0);
}

// The write-protect byte at 0x1A: any value but 0 marks the disk, as the
// format's writers use 0x10 and some tools 0x01. Neighbouring bytes do not.
TEST_F(ReaderTest, WriteProtectionIsTheByteAtOffset0x1A) {
  const struct {
    size_t offset;
    uint8_t value;
    bool marked;
  } cases[] = {{0x1A, 0x10, true}, {0x1A, 0x01, true}, {0x1A, 0xFF, true}, {0x1A, 0x00, false},
               {0x19, 0x10, false}, {0x1B, 0x10, false}};
  for (const auto& c : cases) {
    Bytes image = MinimalImage();
    image[c.offset] = c.value;
    ASSERT_TRUE(OpenImage(image));
    ASSERT_TRUE(d88.SelectDisk(0));
    EXPECT_EQ(d88.IsWriteProtected(), c.marked) << c.offset << " " << int{c.value};
  }
}

// A track entry whose bytes straddle the start of the first records: records
// at 0x42 begin inside entry 8 (bytes 0x40 to 0x43). Entry 8 begins before
// them and stays an entry, made of two table bytes and the record's C and H;
// entry 9, at 0x44, lies past them and ends the table.
TEST_F(ReaderTest, EntryStraddlingTheFirstRecordsIsTheTablesLast) {
  Bytes image(0x42 + 16 + 4, 0);
  image[0x1C] = static_cast<uint8_t>(image.size());     // disk size
  image[0x20] = 0x42;                                   // entry 0: records at 0x42
  image[0x40] = 0x00, image[0x41] = 0x01;               // entry 8's first two bytes
  const uint8_t record[] = {0x07, 0x00, 0x01, 0x00,     // C 7, H 0, R 1, N 0
                            0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x04, 0x00,  // count 1, 4 bytes
                            9, 8, 7, 6};
  std::memcpy(&image[0x42], record, sizeof record);
  // The rest of the 688-byte header the reader insists on reading.
  image.resize(kDiskHeaderSize, 0);
  ASSERT_TRUE(OpenImage(image));
  ASSERT_TRUE(d88.SelectDisk(0));
  EXPECT_EQ(d88.GetTableEntries(), 9);
  EXPECT_EQ(d88.trackOffsets[8], 0x00070100u);  // 00 01 | 07 00
  Bytes dest = Guarded(8);
  ASSERT_EQ(d88.ReadSector(0, 7, 0, 1, 0, dest.data(), 8), 4);
  EXPECT_EQ(Slice(dest, 0, 4), Bytes({9, 8, 7, 6}));
}

// File positions are formed modulo 2^32: a second disk at 960 whose size is
// 0xFFFFFFFF and whose track 0 entry is 0xFFFFFEF0 starts that track at
// (960 + 0xFFFFFEF0) mod 2^32 = 688, the first disk's record.
TEST_F(ReaderTest, TrackStartsWrapModulo32Bits) {
  Bytes image = MinimalImage();  // 960 bytes: one record of 256 at 688
  Bytes second(kDiskHeaderSize, 0);
  second[0x1C] = 0xFF, second[0x1D] = 0xFF, second[0x1E] = 0xFF, second[0x1F] = 0xFF;
  second[0x20] = 0xF0, second[0x21] = 0xFE, second[0x22] = 0xFF, second[0x23] = 0xFF;
  image.insert(image.end(), second.begin(), second.end());
  ASSERT_TRUE(OpenImage(image));
  ASSERT_GE(d88.GetDiskCount(), 2);
  ASSERT_EQ(d88.diskOffsets[1], 960u);
  ASSERT_TRUE(d88.SelectDisk(1));
  Bytes dest = Guarded(256);
  ASSERT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), 256);
  EXPECT_EQ(dest, Slice(image, 0x2C0, 256));
}

TEST_F(ReaderTest, FileSizeIsTheFilesAsItIsNow) {
  EXPECT_EQ(d88.GetFileSize(), -1);
  ASSERT_TRUE(OpenImage(MinimalImage()));
  EXPECT_EQ(d88.GetFileSize(), 960);
  ASSERT_TRUE(testutil::Resize(ImagePath(), 5000));
  EXPECT_EQ(d88.GetFileSize(), 5000);
  // Reads after it still deliver, wherever it left the position.
  ASSERT_TRUE(d88.SelectDisk(0));
  Bytes dest(256);
  EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), 256);
  d88.Open(nullptr);
  EXPECT_EQ(d88.GetFileSize(), -1);
}

// ---------------------------------------------------------------- Open

TEST_F(ReaderTest, EveryTruncatedPrefixHoldsADiskOnlyOnceItsHeaderIsComplete) {
  const Bytes image = MinimalImage();
  for (size_t size = 0; size <= image.size(); ++size) {
    ASSERT_TRUE(OpenImage(Slice(image, 0, size))) << size;
    EXPECT_EQ(d88.diskCount, size >= 688 ? 1 : 0) << size;
    EXPECT_EQ(d88.SelectDisk(0), size >= 688) << size;
  }
}

TEST_F(ReaderTest, EmptyFileOpensWithNoDisksAndReadsNothing) {
  ASSERT_TRUE(OpenImage({}));
  EXPECT_EQ(d88.diskCount, 0);
  EXPECT_FALSE(d88.SelectDisk(0));
  Bytes dest = Guarded(256);
  EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), 0);
  EXPECT_EQ(d88.ReadSectors(0, 0, 0, 1, 1, dest.data(), 256), 0);
  EXPECT_TRUE(GuardIntact(dest, 0));
}

TEST_F(ReaderTest, ChainedDisksAreFoundAndEachReadsItsOwnData) {
  Disk a = Standard2HD(1, "FIRST", 0);
  Disk b = Standard2HD(2, "SECOND", 1);
  b.mediaType = 0x10;
  Disk c = Standard2HD(1, "THIRD", 2);
  const Bytes ba = a.Build(), bb = b.Build();
  ASSERT_TRUE(OpenImage(Concat({ba, bb, c.Build()})));
  ASSERT_EQ(d88.diskCount, 3);
  EXPECT_EQ(d88.diskOffsets[0], 0u);
  EXPECT_EQ(d88.diskOffsets[1], ba.size());
  EXPECT_EQ(d88.diskOffsets[2], ba.size() + bb.size());
  // The scan records where it looked for the missing fourth header.
  EXPECT_EQ(d88.diskOffsets[3], ba.size() + bb.size() + c.Build().size());

  const char* names[] = {"FIRST", "SECOND", "THIRD"};
  for (int disk = 0; disk < 3; ++disk) {
    ASSERT_TRUE(d88.SelectDisk(disk));
    EXPECT_STREQ(d88.name, names[disk]);
    EXPECT_EQ(d88.diskOffset, d88.diskOffsets[disk]);
    Bytes dest(256);
    ASSERT_EQ(d88.ReadSector(1, 0, 1, 5, 1, dest.data(), 256), 256);
    EXPECT_EQ(dest, SectorData(1, 5, 256, disk));
  }
  ASSERT_TRUE(d88.SelectDisk(1));
  EXPECT_EQ(d88.mediaType, 0x10);
  EXPECT_EQ(d88.diskSize, bb.size());
}

TEST_F(ReaderTest, SizeFieldOfZeroFindsTheSameHeaderSixtyFourTimes) {
  Disk first = Standard2HD(1, "ZERO");
  first.SetSize(0);
  ASSERT_TRUE(OpenImage(first.Build()));
  EXPECT_EQ(d88.diskCount, 64);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(d88.diskOffsets[i], 0u) << i;

  // A zero size on the second disk repeats that disk instead.
  Disk second = Standard2HD(1, "LOOP");
  second.SetSize(0);
  const Bytes head = Standard2HD(1).Build();
  ASSERT_TRUE(OpenImage(Concat({head, second.Build()})));
  EXPECT_EQ(d88.diskCount, 64);
  EXPECT_EQ(d88.diskOffsets[0], 0u);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(d88.diskOffsets[i], head.size()) << i;
}

TEST_F(ReaderTest, SizePastTheEndOfTheFileHoldsExactlyOneDisk) {
  Disk d = Standard2HD(1);
  d.SetSize(0x7FFFFFF0);
  ASSERT_TRUE(OpenImage(d.Build()));
  EXPECT_EQ(d88.diskCount, 1);
}

TEST_F(ReaderTest, DiskStartsWrapModulo32Bits) {
  // 0xFFFFFFFF + 961 wraps to 960: the third header is found right after the first disk.
  Disk first = Standard2HD(0, "ONE");
  first.tracks[0] = {MakeRecord(0, 0, 1, 1, 1, SectorData(0, 1, 256))};
  Disk second = first;
  second.name = "WRAP";
  second.SetSize(0xFFFFFFFFu);
  const Bytes image = Concat({first.Build(), second.Build()});
  // Disk 1 starts at 960 and says 0xFFFFFFFF, so disk 2 starts at 959.
  ASSERT_TRUE(OpenImage(image));
  ASSERT_GE(d88.diskCount, 3);
  EXPECT_EQ(d88.diskOffsets[1], 960u);
  EXPECT_EQ(d88.diskOffsets[2], 959u);
}

TEST_F(ReaderTest, RefusesMissingPathsAndDirectoriesFollowingLinks) {
  testutil::WriteFile(dir.File("file.d88"), MinimalImage());
  ASSERT_TRUE(testutil::MakeDir(dir.File("folder")));
#ifndef _WIN32  // symbolic links need privileges on Windows
  ASSERT_EQ(symlink(dir.File("file.d88").c_str(), dir.File("to-file").c_str()), 0);
  ASSERT_EQ(symlink(dir.File("folder").c_str(), dir.File("to-folder").c_str()), 0);
#endif
  const struct {
    const char* name;
    bool opens;
    bool link;
  } cases[] = {{"file.d88", true, false}, {"to-file", true, true}, {"folder", false, false},
               {"to-folder", false, true}, {"missing", false, false}};
  for (const auto& c : cases) {
#ifdef _WIN32
    if (c.link) continue;
#endif
    D88File reader;
    EXPECT_EQ(reader.Open(dir.File(c.name).c_str()), c.opens) << c.name;
    EXPECT_EQ(reader.fp != nullptr, c.opens) << c.name;
  }
}

int OpenDescriptors() {
#ifdef _WIN32
  return -1;
#else
  int count = 0;
  DIR* d = opendir("/proc/self/fd");
  if (d == nullptr) return -1;
  while (readdir(d) != nullptr) ++count;
  closedir(d);
  return count;
#endif
}

TEST_F(ReaderTest, ReopeningClosesTheEarlierStreamAndAFailedOpenKeepsTheCount) {
#ifdef _WIN32
  GTEST_SKIP() << "no /proc/self/fd on Windows to count the open descriptors";
#endif
  const int before = OpenDescriptors();
  ASSERT_TRUE(OpenImage(Concat({MinimalImage(), MinimalImage()})));
  ASSERT_TRUE(d88.Open(ImagePath().c_str()));
  EXPECT_EQ(OpenDescriptors(), before + 1);
  EXPECT_EQ(d88.diskCount, 2);

  EXPECT_FALSE(d88.Open(dir.File("missing").c_str()));
  EXPECT_EQ(d88.fp, nullptr);
  EXPECT_EQ(d88.diskCount, 2);
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(ReaderTest, ClosingKeepsTheDiskMembersButEndsEveryRead) {
  OpenDisk(MinimalImage());
  ASSERT_TRUE(d88.Open(nullptr));
  EXPECT_EQ(d88.fp, nullptr);
  EXPECT_EQ(d88.diskCount, 0);
  EXPECT_EQ(d88.mediaType, -1);
  EXPECT_STREQ(d88.name, "TEST");
  EXPECT_EQ(d88.diskSize, 960u);
  Bytes dest = Guarded(256);
  EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), 0);
  EXPECT_TRUE(GuardIntact(dest, 0));
  // Without a file, a selection changes nothing.
  EXPECT_FALSE(d88.SelectDisk(0));
  EXPECT_STREQ(d88.name, "TEST");
  EXPECT_EQ(d88.diskSize, 960u);
}

TEST(D88FileState, StartsWithTheSentinelValues) {
  const D88File d88;
  EXPECT_EQ(d88.fp, nullptr);
  EXPECT_EQ(d88.diskCount, 0);
  EXPECT_EQ(d88.firstSector, 1);
  EXPECT_EQ(d88.lastSector, 16);
  EXPECT_EQ(d88.diskSize, 0u);
  EXPECT_EQ(d88.diskOffset, 0u);
  EXPECT_EQ(d88.mediaType, -1);
  EXPECT_STREQ(d88.name, "");
  for (uint32_t entry : d88.trackOffsets) EXPECT_EQ(entry, 0u);
}

// ---------------------------------------------------------------- SelectDisk

TEST_F(ReaderTest, NamesAreBoundedCopiesOfTheSixteenNameBytes) {
  const struct {
    std::string raw;
    const char* expected;
  } cases[] = {
      {"TEST", "TEST"},
      {"0123456789ABCDEF", "0123456789ABCDEF"},        // no terminator within the field
      {std::string("AB\0CD", 5), "AB"},                // stops at the first zero
      {"\x83\x74\x83\x40", "\x83\x74\x83\x40"},        // raw bytes, not converted
  };
  for (const auto& c : cases) {
    Disk d = Standard2HD(0);
    d.name = c.raw;
    Bytes image = d.Build();
    image[0x10] = 'X';  // the byte after the field is never part of the name
    OpenDisk(image);
    EXPECT_STREQ(d88.name, c.expected);
    EXPECT_EQ(d88.name[16], '\0');
    for (size_t i = std::strlen(c.expected); i <= 16; ++i) EXPECT_EQ(d88.name[i], '\0') << i;
  }
}

TEST_F(ReaderTest, FailedSelectionClearsTheCurrentDisk) {
  Disk protectedDisk = testimage::ShortTable2HD(154, 1, "B");
  protectedDisk.writeProtect = 0x10;
  ASSERT_TRUE(OpenImage(Concat({Standard2HD(1, "A").Build(), protectedDisk.Build()})));
  for (int32_t index : {2, -1, 64, 99, INT32_MIN}) {
    ASSERT_TRUE(d88.SelectDisk(1));
    ASSERT_TRUE(d88.IsWriteProtected());
    ASSERT_EQ(d88.GetTableEntries(), 154);
    EXPECT_FALSE(d88.SelectDisk(index)) << index;
    EXPECT_EQ(d88.diskOffset, 0xFFFFFFFFu);
    EXPECT_EQ(d88.diskSize, 0u);
    EXPECT_EQ(d88.mediaType, -1);
    EXPECT_STREQ(d88.name, "");
    EXPECT_FALSE(d88.IsWriteProtected()) << index;
    EXPECT_EQ(d88.GetTableEntries(), 0) << index;
    Bytes dest = Guarded(256);
    EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), 0);
    EXPECT_TRUE(GuardIntact(dest, 0));
  }
}

// SelectDisk reads its header afresh: what an earlier call read is not
// trusted, whether the disks are larger than one read of the file or lie
// together inside one.
TEST_F(ReaderTest, SelectDiskReadsItsHeaderAsTheFileIsNow) {
  Disk small = Standard2HD(0, "A");
  small.tracks[0] = StandardTrack(0, 2);
  const struct {
    const char* what;
    Disk disk;
  } sizes[] = {{"disks of 14,832 bytes", Standard2HD(1, "A")}, {"disks of 1,232 bytes", small}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(size.what);
    Disk a = size.disk, b = size.disk, c = size.disk;
    b.name = "B";
    c.name = "C";
    const Bytes first = a.Build();
    ASSERT_TRUE(OpenImage(Concat({first, b.Build()})));
    ASSERT_EQ(d88.diskCount, 2);

    // Disk 1 renamed: selected again, it has its new name.
    ASSERT_TRUE(d88.SelectDisk(1));
    ASSERT_STREQ(d88.GetDiskName(), "B");
    testutil::WriteFile(ImagePath(), Concat({first, c.Build()}));
    ASSERT_TRUE(d88.SelectDisk(1));
    EXPECT_STREQ(d88.GetDiskName(), "C");

    // Disk 1's header cut away: it can no longer be selected.
    ASSERT_TRUE(d88.SelectDisk(0));
    ASSERT_TRUE(testutil::Resize(ImagePath(), first.size() + 100));
    EXPECT_FALSE(d88.SelectDisk(1));
    EXPECT_EQ(d88.diskSize, 0u);
    EXPECT_EQ(d88.diskOffset, 0xFFFFFFFFu);
    EXPECT_EQ(d88.mediaType, -1);
    // The disk still complete is selectable as before.
    EXPECT_TRUE(d88.SelectDisk(0));
  }
}

TEST_F(ReaderTest, SectorRangeSurvivesOpenAndSelect) {
  d88.SetSectorRange(3, 9);
  OpenDisk(MinimalImage());
  EXPECT_EQ(d88.firstSector, 3);
  EXPECT_EQ(d88.lastSector, 9);
}

// ---------------------------------------------------------------- ReadSector

TEST_F(ReaderTest, WorkedExampleReadsItsOneSector) {
  OpenDisk(MinimalImage());
  Bytes dest = Guarded(300);
  ASSERT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 300), 256);
  EXPECT_EQ(Slice(dest, 0, 256), SectorData(0, 1, 256));
  EXPECT_TRUE(GuardIntact(dest, 256));
}

// One track, and one request against it: what the request finds.
struct LookupCase {
  const char* what;
  std::vector<Record> track;
  int32_t c, h, r, n, maxLength;
  int32_t expected;  // bytes returned
  Bytes data;        // expected leading bytes of dest
};

Record Rec(int r, int count, size_t size, int n = 1, int c = 0, int h = 0) {
  return MakeRecord(c, h, r, n, count, SectorData(0, r, size));
}

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.what; }

class LookupTest : public ReaderTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(LookupTest, FindsTheFirstMatchWithinTheWalk) {
  const LookupCase& lc = GetParam();
  Disk d;
  d.tracks[0] = lc.track;
  // A second track right after the first, for walks that run past their track.
  d.tracks[1] = {MakeRecord(0, 0, 40, 1, 1, SectorData(1, 40, 256))};
  OpenDisk(d.Build());
  Bytes dest = Guarded(1024);
  EXPECT_EQ(d88.ReadSector(0, lc.c, lc.h, lc.r, lc.n, dest.data(), lc.maxLength), lc.expected);
  EXPECT_EQ(Slice(dest, 0, lc.data.size()), lc.data);
  EXPECT_TRUE(GuardIntact(dest, lc.data.size()));
}

const Bytes kNothing;

INSTANTIATE_TEST_SUITE_P(
    Rules, LookupTest,
    ::testing::Values(
        LookupCase{"third of three", {Rec(1, 3, 256), Rec(2, 3, 256), Rec(3, 3, 256)}, 0, 0, 3, 1, 256, 256, SectorData(0, 3, 256)},
        LookupCase{"not in the track", {Rec(1, 3, 256), Rec(2, 3, 256), Rec(3, 3, 256)}, 0, 0, 4, 1, 256, 0, kNothing},
        LookupCase{"count 2 hides the third", {Rec(1, 2, 256), Rec(2, 2, 256), Rec(3, 2, 256)}, 0, 0, 3, 1, 256, 0, kNothing},
        LookupCase{"count 0 ends before comparing", {Rec(1, 0, 256)}, 0, 0, 1, 1, 256, 0, kNothing},
        LookupCase{"count 0 ends the walk", {Rec(1, 3, 256), Rec(2, 0, 256), Rec(3, 3, 256)}, 0, 0, 3, 1, 256, 0, kNothing},
        LookupCase{"count at or below the position does not stop",
                   {Rec(1, 3, 256), Rec(2, 1, 256), Rec(3, 3, 256)}, 0, 0, 3, 1, 256, 256, SectorData(0, 3, 256)},
        LookupCase{"counts of 5 walk into the next track",
                   {Rec(1, 5, 256), Rec(2, 5, 256), Rec(3, 5, 256)}, 0, 0, 40, 1, 256, 256, SectorData(1, 40, 256)},
        LookupCase{"counts that never match end at the end of the file",
                   {Rec(1, 9, 256), Rec(2, 9, 256)}, 0, 0, 41, 1, 256, 0, kNothing},
        LookupCase{"duplicate IDs: the earlier wins",
                   {Rec(1, 3, 256), MakeRecord(0, 0, 2, 1, 3, Bytes(256, 0x22)), MakeRecord(0, 0, 2, 1, 3, Bytes(256, 0x33))},
                   0, 0, 2, 1, 256, 256, Bytes(256, 0x22)},
        LookupCase{"data size 0", {Rec(1, 1, 0)}, 0, 0, 1, 1, 256, 0, kNothing},
        LookupCase{"data size 128", {Rec(1, 1, 128)}, 0, 0, 1, 1, 256, 128, SectorData(0, 1, 128)},
        LookupCase{"data size 300 capped", {Rec(1, 1, 300)}, 0, 0, 1, 1, 256, 256, SectorData(0, 1, 256)},
        LookupCase{"data size 300 whole", {Rec(1, 1, 300)}, 0, 0, 1, 1, 1000, 300, SectorData(0, 1, 300)},
        LookupCase{"sizes other than 128 << N are walked",
                   {Rec(1, 3, 300), Rec(2, 3, 17), Rec(3, 3, 100)}, 0, 0, 3, 1, 256, 100, SectorData(0, 3, 100)},
        LookupCase{"maxLength 0", {Rec(1, 1, 256)}, 0, 0, 1, 1, 0, 0, kNothing},
        LookupCase{"negative maxLength", {Rec(1, 1, 256)}, 0, 0, 1, 1, -5, 0, kNothing},
        LookupCase{"C differs", {Rec(1, 1, 256, 1, 2, 0)}, 3, 0, 1, 1, 256, 0, kNothing},
        LookupCase{"H differs", {Rec(1, 1, 256, 1, 2, 0)}, 2, 1, 1, 1, 256, 0, kNothing},
        LookupCase{"N differs", {Rec(1, 1, 256)}, 0, 0, 1, 2, 256, 0, kNothing},
        LookupCase{"R 257 is not R 1", {Rec(1, 1, 256)}, 0, 0, 257, 1, 256, 0, kNothing},
        LookupCase{"C -256 is not C 0", {Rec(1, 1, 256)}, -256, 0, 1, 1, 256, 0, kNothing},
        LookupCase{"H 256 is not H 0", {Rec(1, 1, 256)}, 0, 256, 1, 1, 256, 0, kNothing},
        LookupCase{"N 257 is not N 1", {Rec(1, 1, 256)}, 0, 0, 1, 257, 256, 0, kNothing},
        LookupCase{"bytes 255 match 255", {MakeRecord(255, 255, 255, 255, 1, Bytes(16, 7))}, 255, 255, 255, 255, 256, 16, Bytes(16, 7)}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return CaseName(info.param.what); });

// Every call starts afresh: an invalid track gives nothing on every
// operation, whatever the reader found before and whatever came between.
TEST_F(ReaderTest, UnreadableTracksReturnNothingWhateverCameBefore) {
  Disk d = Standard2HD(1);
  const uint32_t size = static_cast<uint32_t>(d.Build().size());
  d.entryOverride[1] = size + 1;  // beyond the disk, though the file has data there
  const Bytes image = Concat({d.Build(), Standard2HD(1).Build()});
  testutil::WriteFile(ImagePath(), image);

  const struct {
    const char* what;
    void (*step)(D88File&, const char* path);
  } between[] = {
      {"nothing", [](D88File&, const char*) {}},
      {"the disk selected again", [](D88File& r, const char*) { r.SelectDisk(0); }},
      {"the image opened again", [](D88File& r, const char* path) { r.Open(path); }},
      {"the image closed", [](D88File& r, const char*) { r.Open(nullptr); }},
  };
  const char* operations[] = {"ReadSector", "ReadSectors", "ReadIds"};
  for (int32_t track : {-1, 164, INT32_MIN, INT32_MAX, 2 /* absent */, 1 /* beyond the disk */}) {
    for (const auto& b : between) {
      for (int op = 0; op < 3; ++op) {
        SCOPED_TRACE(testing::Message() << "track " << track << ", " << b.what << ", " << operations[op]);
        ASSERT_TRUE(d88.Open(ImagePath().c_str()));
        ASSERT_TRUE(d88.SelectDisk(0));
        Bytes dest = Guarded(512);
        // The same C, H and N as the invalid call below, found in track 0.
        ASSERT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), 256);
        b.step(d88, ImagePath().c_str());
        dest = Guarded(512);
        const int32_t got = op == 0   ? d88.ReadSector(track, 0, 0, 1, 1, dest.data(), 256)
                            : op == 1 ? d88.ReadSectors(track, 0, 0, 1, 1, dest.data(), 512)
                                      : d88.ReadIds(track, dest.data(), 512);
        EXPECT_EQ(got, 0);
        EXPECT_TRUE(GuardIntact(dest, 0));
      }
    }
  }
}

// Two lookups in a row that differ in one value: the second is a search of
// its own, not an answer left over from the first.
TEST_F(ReaderTest, LookupThatDiffersInOneValueIsANewSearch) {
  Disk d;
  d.tracks[0] = {MakeRecord(0, 0, 1, 1, 4, Bytes(256, 0x11)), MakeRecord(0, 0, 1, 2, 4, Bytes(512, 0x22)),
                 MakeRecord(1, 0, 1, 1, 4, Bytes(256, 0x33)), MakeRecord(0, 1, 1, 1, 4, Bytes(256, 0x44))};
  d.tracks[1] = {MakeRecord(0, 0, 1, 1, 1, Bytes(256, 0x55))};
  const struct {
    const char* what;
    int32_t track, c, h, n;
    uint8_t fill;  // of the sector the second lookup must find
  } cases[] = {
      {"N", 0, 0, 0, 2, 0x22}, {"C", 0, 1, 0, 1, 0x33}, {"H", 0, 0, 1, 1, 0x44}, {"track", 1, 0, 0, 1, 0x55}};
  OpenDisk(d.Build());
  for (const auto& c : cases) {
    Bytes dest = Guarded(600);
    ASSERT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 600), 256) << c.what;
    const int32_t size = c.n == 2 ? 512 : 256;
    dest = Guarded(600);
    EXPECT_EQ(d88.ReadSector(c.track, c.c, c.h, 1, c.n, dest.data(), 600), size) << c.what;
    EXPECT_EQ(Slice(dest, 0, static_cast<size_t>(size)), Bytes(static_cast<size_t>(size), c.fill)) << c.what;
    EXPECT_TRUE(GuardIntact(dest, static_cast<size_t>(size))) << c.what;
  }
}

TEST_F(ReaderTest, FileRewrittenBetweenCallsIsReadAsItIsNow) {
  Disk d = Standard2HD(1);
  OpenDisk(d.Build());
  Bytes dest(256);
  ASSERT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), 256);
  ASSERT_EQ(dest, SectorData(0, 1, 256));
  Bytes ids(8);
  ASSERT_EQ(d88.ReadIds(0, ids.data(), 8), 8);

  // Same layout, other data and other sector numbers, written over the open file.
  Disk other = Standard2HD(1, "SAMPLE", 1);
  for (testimage::Record& rec : other.tracks[0]) rec.r = static_cast<uint8_t>(rec.r + 100);
  testutil::WriteFile(ImagePath(), other.Build());
  EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), 0);
  ASSERT_EQ(d88.ReadSector(0, 0, 0, 101, 1, dest.data(), 256), 256);
  EXPECT_EQ(dest, SectorData(0, 1, 256, 1));
  ASSERT_EQ(d88.ReadIds(0, ids.data(), 8), 8);
  EXPECT_EQ(ids, Bytes({0, 0, 101, 1, 0, 0, 102, 1}));
  ASSERT_EQ(d88.ReadSectors(1, 0, 1, 1, 1, dest.data(), 256), 256);
  EXPECT_EQ(dest, SectorData(1, 1, 256, 1));
}

TEST_F(ReaderTest, SectorsLongerThanTheReadWindowComeBackWhole) {
  // Size code 7: pieces of 16,384 bytes, twice the reader's window.
  Disk d;
  d.tracks[0] = {MakeRecord(0, 0, 1, 7, 3, SectorData(0, 1, 16384)), MakeRecord(0, 0, 2, 7, 3, SectorData(0, 2, 16384)),
                 MakeRecord(0, 0, 3, 7, 3, SectorData(0, 3, 10000))};
  OpenDisk(d.Build());
  Bytes dest = Guarded(50000);
  ASSERT_EQ(d88.ReadSector(0, 0, 0, 3, 7, dest.data(), 20000), 10000);
  EXPECT_EQ(Slice(dest, 0, 10000), SectorData(0, 3, 10000));
  EXPECT_TRUE(GuardIntact(dest, 10000));

  dest = Guarded(50000);
  ASSERT_EQ(d88.ReadSectors(0, 0, 0, 1, 7, dest.data(), 2 * 16384 + 10000), 2 * 16384 + 10000);
  EXPECT_EQ(Slice(dest, 0, 16384), SectorData(0, 1, 16384));
  EXPECT_EQ(Slice(dest, 16384, 16384), SectorData(0, 2, 16384));
  EXPECT_EQ(Slice(dest, 32768, 10000), SectorData(0, 3, 10000));
  EXPECT_TRUE(GuardIntact(dest, 2 * 16384 + 10000));
}

TEST_F(ReaderTest, EntryEqualToTheDiskSizeIsWalkedFromWhereTheNextDiskBegins) {
  // The next disk's name bytes are laid out as a sector header: C 5, H 0,
  // R 1, N 0, count 1, data size 4; its data is header bytes 0x10-0x13.
  Disk next = Standard2HD(0);
  next.name = std::string("\x05\x00\x01\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x04\x00", 16);
  Disk first = Standard2HD(1);
  const uint32_t size = static_cast<uint32_t>(first.Build().size());
  first.entryOverride[5] = size;
  Bytes image = Concat({first.Build(), next.Build()});
  image[size + 0x10] = 0xAB;
  OpenDisk(image);
  Bytes dest = Guarded(8);
  ASSERT_EQ(d88.ReadSector(5, 5, 0, 1, 0, dest.data(), 8), 4);
  EXPECT_EQ(Slice(dest, 0, 4), Bytes({0xAB, 0, 0, 0}));
  EXPECT_TRUE(GuardIntact(dest, 4));

  // With nothing after the disk, the walk meets the end of the file.
  OpenDisk(first.Build());
  EXPECT_EQ(d88.ReadSector(5, 5, 0, 1, 0, dest.data(), 8), 0);
}

TEST_F(ReaderTest, SectorCutShortByTheEndOfTheFileReportsWhatArrived) {
  const Bytes image = MinimalImage();
  for (size_t cut : {0u, 1u, 100u, 255u}) {
    OpenDisk(Slice(image, 0, 0x2C0 + cut));
    Bytes dest = Guarded(256);
    EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), static_cast<int32_t>(cut));
    EXPECT_EQ(Slice(dest, 0, cut), SectorData(0, 1, cut));
    EXPECT_TRUE(GuardIntact(dest, cut)) << cut;
    // A header cut short finds nothing.
    OpenDisk(Slice(image, 0, 0x2B0 + cut % 16));
    EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), 0);
  }
}

TEST_F(ReaderTest, ReadsAfterAShortReadStillDeliver) {
  // The disk scan of a one-disk image ends with a short read; the stream
  // must serve seeks and reads after it, as must a read cut short at the end.
  OpenDisk(MinimalImage());
  Bytes dest(256);
  EXPECT_EQ(d88.ReadSector(0, 0, 0, 9, 1, dest.data(), 256), 0);
  EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 1, dest.data(), 256), 256);
  EXPECT_EQ(dest, SectorData(0, 1, 256));
}

// Records of 16 header bytes and no data, at positions 0, 1, 2, ...: only
// position 2 says count 5, all others say 3, so the track's own rule (stop
// where position == count - 1) never ends the walk after position 2.
Bytes EndlessTrack(int32_t targetPosition) {
  Disk d;
  std::vector<Record>& records = d.tracks[0];
  for (int32_t i = 0; i <= targetPosition; ++i) {
    Record rec = MakeRecord(0, 0, i == targetPosition ? 1 : 2, 0, i == 2 ? 5 : 3, Bytes(i == targetPosition ? 4 : 0, 0x77));
    records.push_back(rec);
  }
  return d.Build();
}

TEST_F(ReaderTest, WalkEndsAfterPosition65534) {
  Bytes dest = Guarded(8);
  OpenDisk(EndlessTrack(65534));
  EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 0, dest.data(), 8), 4);
  OpenDisk(EndlessTrack(65535));
  EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 0, dest.data(), 8), 0);
}

TEST_F(ReaderTest, TrackCountOf65535IsWalkedToTheEnd) {
  // An honest track of 65,535 records: the last one is still found.
  Disk d;
  for (int32_t i = 0; i < 65535; ++i) d.tracks[0].push_back(MakeRecord(0, 0, i == 65534 ? 1 : 2, 0, 65535, {}));
  d.tracks[0].back().data = Bytes(3, 0x44);
  OpenDisk(d.Build());
  Bytes dest = Guarded(8);
  EXPECT_EQ(d88.ReadSector(0, 0, 0, 1, 0, dest.data(), 8), 3);
}

// A file whose walk passes 4 GiB: one track of 65,535 records of 65,535 data
// bytes each, so that record k starts at 688 + 65,551 k, past 4 GiB from
// record 65,521 on. Only the headers (and the sought sector's data) are
// written; the rest is a hole, so the file takes about 256 MB of disk.
TEST_F(ReaderTest, WalkPastFourGibibytesReadsTheSameOnEveryPlatform) {
  std::FILE* f = std::fopen(ImagePath().c_str(), "wb");
  ASSERT_NE(f, nullptr);
#ifdef _WIN32
  DWORD unused = 0;
  if (!DeviceIoControl(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f))), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0,
                       &unused, nullptr)) {
    std::fclose(f);
    GTEST_SKIP() << "this file system has no sparse files: the image would fill 4 GiB";
  }
#endif
  constexpr int64_t kStride = 16 + 65535;
  constexpr int32_t kTarget = 65530;  // at 4,295,557,018: past 4 GiB
  uint8_t header[688] = {};
  header[0x1C] = header[0x1D] = header[0x1E] = header[0x1F] = 0xFF;  // disk size: as large as it gets
  header[0x20] = 0xB0, header[0x21] = 0x02;                             // track 0 at 688
  ASSERT_EQ(std::fwrite(header, 1, sizeof header, f), sizeof header);
  for (int32_t k = 0; k < 65535; ++k) {
    const uint8_t record[20] = {0, 0, static_cast<uint8_t>(k == kTarget ? 1 : 2), 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0,
                                0xFF, 0xFF, 0x4B, 0x49, 0x54, 0x45};  // count and data size 65,535; data "KITE"
    ASSERT_EQ(fseeko64(f, 688 + kStride * k, SEEK_SET), 0);
    ASSERT_EQ(std::fwrite(record, 1, k == kTarget ? 20 : 16, f), k == kTarget ? 20u : 16u);
  }
  ASSERT_EQ(std::fclose(f), 0);

  ASSERT_TRUE(d88.Open(ImagePath().c_str()));
  ASSERT_TRUE(d88.SelectDisk(0));
  Bytes dest = Guarded(8);
  ASSERT_EQ(d88.ReadSector(0, 0, 0, 1, 0, dest.data(), 4), 4);
  EXPECT_EQ(Slice(dest, 0, 4), Bytes({'K', 'I', 'T', 'E'}));
  EXPECT_TRUE(GuardIntact(dest, 4));
  Bytes ids(4 * 65535);
  ASSERT_EQ(d88.ReadIds(0, ids.data(), 4 * 65535), 4 * 65535);
  EXPECT_EQ(ids[4 * kTarget + 2], 1);
  // A record listing stops at the disk's end, 4 GiB from its start at most.
  std::vector<SectorRecord> records(65535);
  const RecordListing listing = d88.ReadRecords(0, records.data(), 65535);
  EXPECT_EQ(listing.records, 65521);
  EXPECT_EQ(listing.end, WalkEnd::kDiskEnd);
  EXPECT_EQ(records[65520].offset, 688 + kStride * 65520);
}

// ---------------------------------------------------------------- ReadSectors

TEST_F(ReaderTest, RunOverOneTrack) {
  OpenDisk(Standard2HD(3).Build());
  d88.SetSectorRange(1, 26);
  Bytes dest = Guarded(26 * 256 + 16);
  ASSERT_EQ(d88.ReadSectors(4, 2, 0, 1, 1, dest.data(), 26 * 256), 26 * 256);
  for (int r = 1; r <= 26; ++r) EXPECT_EQ(Slice(dest, (r - 1) * 256, 256), SectorData(4, r, 256)) << r;
  EXPECT_TRUE(GuardIntact(dest, 26 * 256));
}

// The IDs a run visits, (track, R) for each 256-byte piece, against a 2HD
// image of 26 sectors a track.
struct RunCase {
  const char* what;
  int32_t first, last;  // sector range
  int32_t track, c, h, r, length;
  int32_t expected;
  std::vector<std::pair<int, int>> pieces;
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.what; }

class RunTest : public ReaderTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunTest, StepsThroughTheExpectedSectors) {
  const RunCase& rc = GetParam();
  OpenDisk(Standard2HD(8).Build());
  d88.SetSectorRange(rc.first, rc.last);
  Bytes dest = Guarded(static_cast<size_t>(rc.length > 0 ? rc.length : 0) + 64);
  ASSERT_EQ(d88.ReadSectors(rc.track, rc.c, rc.h, rc.r, 1, dest.data(), rc.length), rc.expected);
  size_t at = 0;
  for (const auto& [track, r] : rc.pieces) {
    const size_t size = std::min<size_t>(256, dest.size() - at);
    EXPECT_EQ(Slice(dest, at, std::min<size_t>(size, static_cast<size_t>(rc.length) - at)),
              SectorData(track, r, std::min<size_t>(size, static_cast<size_t>(rc.length) - at)))
        << "piece at " << at;
    at += 256;
  }
  EXPECT_TRUE(GuardIntact(dest, std::min<size_t>(at, static_cast<size_t>(std::max(rc.length, 0)))));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RunTest,
    ::testing::Values(
        RunCase{"default range steps to head 1", 1, 16, 10, 5, 0, 15, 1024, 1024, {{10, 15}, {10, 16}, {11, 1}, {11, 2}}},
        RunCase{"head 1 steps to the next cylinder", 1, 16, 11, 5, 1, 16, 512, 512, {{11, 16}, {12, 1}}},
        RunCase{"small range", 3, 4, 0, 0, 0, 3, 1536, 1536, {{0, 3}, {0, 4}, {1, 3}, {1, 4}, {2, 3}, {2, 4}}},
        RunCase{"start above the last sector never steps", 1, 16, 2, 1, 0, 20, 10 * 256, 7 * 256,
                {{2, 20}, {2, 21}, {2, 22}, {2, 23}, {2, 24}, {2, 25}, {2, 26}}},
        RunCase{"last piece shrinks", 1, 26, 0, 0, 0, 1, 300, 300, {{0, 1}, {0, 2}}},
        RunCase{"length 0", 1, 26, 0, 0, 0, 1, 0, 0, {}},
        RunCase{"negative length", 1, 26, 0, 0, 0, 1, -256, 0, {}},
        RunCase{"missing first sector", 1, 26, 0, 0, 0, 27, 256, 0, {}},
        RunCase{"run off the last track", 1, 26, 15, 7, 1, 26, 512, 256, {{15, 26}}}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return CaseName(info.param.what); });

TEST_F(ReaderTest, RunStopsAtAShortOrEmptySectorWithItsBytesInPlace) {
  const struct {
    const char* what;
    size_t thirdSize;
  } cases[] = {{"128 bytes", 128}, {"empty", 0}};
  for (const auto& c : cases) {
    Disk d;
    d.tracks[0] = {Rec(1, 4, 256), Rec(2, 4, 256), Rec(3, 4, c.thirdSize), Rec(4, 4, 256)};
    OpenDisk(d.Build());
    Bytes dest = Guarded(1024);
    EXPECT_EQ(d88.ReadSectors(0, 0, 0, 1, 1, dest.data(), 1024), 512) << c.what;
    EXPECT_EQ(Slice(dest, 512, c.thirdSize), SectorData(0, 3, c.thirdSize)) << c.what;
    EXPECT_TRUE(GuardIntact(dest, 512 + c.thirdSize)) << c.what;
  }
}

TEST_F(ReaderTest, LongSectorGivesOnePieceAndTheNextIsFoundAfresh) {
  Disk d;
  d.tracks[0] = {Rec(1, 2, 300), Rec(2, 2, 256)};
  OpenDisk(d.Build());
  Bytes dest = Guarded(600);
  ASSERT_EQ(d88.ReadSectors(0, 0, 0, 1, 1, dest.data(), 512), 512);
  EXPECT_EQ(Slice(dest, 0, 256), SectorData(0, 1, 256));
  EXPECT_EQ(Slice(dest, 256, 256), SectorData(0, 2, 256));
  EXPECT_TRUE(GuardIntact(dest, 512));
}

TEST_F(ReaderTest, SizeCodesOutsideTheShiftableRangeReadNothing) {
  Disk d;
  d.tracks[0] = {MakeRecord(0, 0, 1, 24, 2, Bytes(64, 1)), MakeRecord(0, 0, 1, 0, 2, Bytes(128, 2))};
  OpenDisk(d.Build());
  Bytes dest = Guarded(256);
  for (int32_t n : {-1, 24, 31, 32, INT32_MAX}) {
    EXPECT_EQ(d88.ReadSectors(0, 0, 0, 1, n, dest.data(), 256), 0) << n;
    EXPECT_TRUE(GuardIntact(dest, 0));
  }
  EXPECT_EQ(d88.ReadSectors(0, 0, 0, 1, 0, dest.data(), 128), 128);
}

TEST_F(ReaderTest, SizeCodeTwentyThreeReadsWholeLengthInOnePiece) {
  Disk d;
  d.tracks[0] = {MakeRecord(0, 0, 1, 23, 1, Bytes(1000, 9))};
  OpenDisk(d.Build());
  Bytes dest = Guarded(1200);
  EXPECT_EQ(d88.ReadSectors(0, 0, 0, 1, 23, dest.data(), 1000), 1000);
  EXPECT_EQ(d88.ReadSectors(0, 0, 0, 1, 23, dest.data(), 1100), 0);
  EXPECT_TRUE(GuardIntact(dest, 1000));
}

}  // namespace

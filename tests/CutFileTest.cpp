// CutFile: a slice of a sector run, written to a named file.
#ifndef _WIN32
#include <unistd.h>
#endif

#include <climits>
#include <cstring>

#include <gtest/gtest.h>

#include "kit/ImageBuilder.h"
#include "kit/TestUtil.h"
#include "tests/ImageNames.h"
#include "tool/Tool.h"

namespace {

// What g_buffer holds before each cut, so that bytes no run delivered show.
uint8_t Previous(size_t i) { return static_cast<uint8_t>(0xC3 ^ (i * 7) ^ (i >> 8)); }

Bytes PreviousBytes(size_t from, size_t size) {
  Bytes out(size);
  for (size_t i = 0; i < size; ++i) out[i] = Previous(from + i);
  return out;
}

// Track 0 of the test image: sectors 1, 2, then a third sector of
// `thirdSize` bytes (none when negative), then sector 4.
Bytes ImageWithThird(int thirdSize) {
  Disk d;
  std::vector<testimage::Record>& t = d.tracks[0];
  t.push_back(MakeRecord(0, 0, 1, 1, 4, SectorData(0, 1, 256)));
  t.push_back(MakeRecord(0, 0, 2, 1, 4, SectorData(0, 2, 256)));
  if (thirdSize >= 0) t.push_back(MakeRecord(0, 0, 3, 1, 4, SectorData(0, 3, static_cast<size_t>(thirdSize))));
  t.push_back(MakeRecord(0, 0, 4, 1, thirdSize >= 0 ? 4 : 3, SectorData(0, 4, 256)));
  return d.Build();
}

struct CutCase {
  const char* what;
  Bytes image;
  int32_t r, offset, length;
  bool result;
  bool created;
  Bytes contents;  // of the file, when created
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.what; }

class CutFileTest : public ::testing::TestWithParam<CutCase> {
 protected:
  void SetUp() override {
    for (size_t i = 0; i < sizeof g_buffer; ++i) g_buffer[i] = Previous(i);
  }
  void TearDown() override { g_d88.Open(nullptr); }

  void OpenImage(const Bytes& image) {
    testutil::WriteFile(dir.File("image.d88"), image);
    ASSERT_TRUE(g_d88.Open(dir.File("image.d88").c_str()));
    g_d88.SelectDisk(0);
    g_d88.SetSectorRange(1, 26);
  }

  testutil::TempDir dir;
};

TEST_P(CutFileTest, WritesTheSliceOrNothing) {
  const CutCase& cc = GetParam();
  OpenImage(cc.image);
  const std::string out = dir.File("OUT");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(CutFile(out.c_str(), 0, 0, 0, cc.r, 1, cc.offset, cc.length), cc.result);
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed, cc.created ? "cutting ... " + out + "\n" : "");
  Bytes contents;
  EXPECT_EQ(testutil::ReadFile(out, &contents), cc.created);
  if (cc.created) {
    EXPECT_EQ(contents, cc.contents);
  }
  EXPECT_EQ(g_out, nullptr);
}

const Bytes kFull = ImageWithThird(256);
const Bytes kNoThird = ImageWithThird(-1);
const Bytes kShortThird = ImageWithThird(128);
const Bytes kFullRun = Concat({SectorData(0, 1, 256), SectorData(0, 2, 256), SectorData(0, 3, 256), SectorData(0, 4, 256)});

INSTANTIATE_TEST_SUITE_P(
    Cases, CutFileTest,
    ::testing::Values(
        CutCase{"nothing asked", kFull, 1, 0, 0, false, false, {}},
        CutCase{"empty slice after two sectors", kFull, 1, 512, 0, true, true, {}},
        CutCase{"middle of the run", kFull, 1, 300, 500, true, true, Slice(kFullRun, 300, 500)},
        CutCase{"missing first sector", kFull, 9, 0, 256, false, false, {}},
        CutCase{"missing third sector", kNoThird, 1, 256, 768, true, true,
                Concat({SectorData(0, 2, 256), PreviousBytes(512, 512)})},
        CutCase{"short third sector", kShortThird, 1, 256, 768, true, true,
                Concat({SectorData(0, 2, 256), SectorData(0, 3, 128), PreviousBytes(640, 384)})},
        CutCase{"negative offset", kFull, 1, -1, 256, false, false, {}},
        CutCase{"negative length", kFull, 1, 0, -1, false, false, {}},
        CutCase{"negative length after an offset", kFull, 1, 512, -1, false, false, {}},
        // 1,024 sectors from track 0 fill the buffer exactly; the last is R 10 of track 39.
        CutCase{"slice ending at the buffer end", testimage::Standard2HD(77).Build(), 1, 262144 - 256, 256, true, true,
                SectorData(39, 10, 256)},
        CutCase{"one byte past the buffer", kFull, 1, 262144 - 255, 256, false, false, {}},
        CutCase{"length past the buffer", kFull, 1, 0, 262145, false, false, {}},
        CutCase{"sum overflows", kFull, 1, INT32_MAX, 1, false, false, {}},
        CutCase{"sum overflows the other way", kFull, 1, 1, INT32_MAX, false, false, {}},
        CutCase{"both at the limit", kFull, 1, INT32_MAX, INT32_MAX, false, false, {}}));

TEST_F(CutFileTest, ExistingLongerFileIsTruncated) {
  OpenImage(kFull);
  const std::string out = dir.File("OUT");
  testutil::WriteFile(out, Bytes(5000, 0xFF));
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(CutFile(out.c_str(), 0, 0, 0, 1, 1, 0, 256));
  ::testing::internal::GetCapturedStdout();
  Bytes contents;
  ASSERT_TRUE(testutil::ReadFile(out, &contents));
  EXPECT_EQ(contents, SectorData(0, 1, 256));
}

TEST_F(CutFileTest, OutputThatCannotBeWrittenFailsAfterTheProgressLine) {
  OpenImage(kFull);
  // A folder cannot be created as a file; 256 bytes to a full device fit the
  // stream's buffer and fail only when it is flushed at close.
  ASSERT_TRUE(testutil::MakeDir(dir.File("FOLDER")));
  std::vector<const char*> names = {"FOLDER"};
#ifndef _WIN32  // Windows has no /dev/full
  ASSERT_EQ(symlink("/dev/full", dir.File("FULL").c_str()), 0);
  names.push_back("FULL");
#endif
  for (const char* name : names) {
    const std::string out = dir.File(name);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(CutFile(out.c_str(), 0, 0, 0, 1, 1, 0, 256)) << name;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "cutting ... " + out + "\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(g_out, nullptr);
  }
}

}  // namespace

// What the commands share: text made safe for XML, file names, whole-file
// reads and renamed writes.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include "common/Files.h"
#include "common/Json.h"
#include "common/Text.h"
#include "kit/TestUtil.h"

namespace {

TEST(XmlText, AnyBytesGiveAsciiThatXmlReads) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"plain text 0x1F", "plain text 0x1F"},
      {"a&b <c> \"d\" 'e'", "a&amp;b &lt;c&gt; &quot;d&quot; &apos;e&apos;"},
      {"\xE9\x9F\xB3", "&#x97F3;"},                   // U+97F3 in UTF-8
      {"\xF0\x9F\x8E\xB5", "&#x1F3B5;"},              // beyond the BMP
      {"tab\tline\n", "tab&#x9;line&#xA;"},
      {"\x01\x7F", "&#xFFFD;&#x7F;"},                 // a control character XML forbids; DEL it allows
      {"\x83\x41", "&#xFFFD;A"},                      // Shift_JIS bytes are no UTF-8
      {"\xEF\xBF\xBE", "&#xFFFD;"},                   // U+FFFE, no character
      {"\xC0\xAF", "&#xFFFD;&#xFFFD;"},               // an overlong form
  };
  for (const auto& c : cases) EXPECT_EQ(XmlText(c.in), c.out) << c.in;
}

TEST(JsonWriter, FixedNumbersNeverCarryASignOnZero) {
  testutil::TempDir dir;
  const struct {
    double value;
    int32_t decimals;
    const char* text;
  } cases[] = {{0.6, 3, "0.600"}, {-8.64, 1, "-8.6"}, {-0.0004, 3, "0.000"}, {-0.0, 1, "0.0"}, {-0.05, 1, "-0.1"},
               {32.8211, 3, "32.821"}};
  for (const auto& c : cases) {
    std::FILE* f = std::fopen(dir.File("j").c_str(), "w+b");
    ASSERT_NE(f, nullptr);
    JsonWriter json(f);
    json.Fixed(c.value, c.decimals);
    std::fclose(f);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadWholeFile(dir.File("j").c_str(), &bytes), 0);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.text) << c.value;
  }
}

TEST(FileName, IsThePathsLastPart) {
  const struct {
    const char* path;
    const char* name;
  } cases[] = {
      {"ADPCM", "ADPCM"},
      {"disks/game.d88", "game.d88"},
      {"/a/b/", ""},
#ifdef _WIN32
      {"C:\\disks\\game.d88", "game.d88"},
      {"C:game.d88", "game.d88"},
#else
      {"back\\slash", "back\\slash"},
#endif
  };
  for (const auto& c : cases) EXPECT_EQ(FileName(c.path), c.name) << c.path;
}

TEST(WholeFiles, WrittenUnderATemporaryNameAndRenamed) {
  testutil::TempDir dir;
  const std::vector<uint8_t> bytes = {1, 2, 3};
  ASSERT_EQ(WriteWholeFile(dir.File("out"), bytes.data(), bytes.size()), 0);
  std::vector<uint8_t> back;
  ASSERT_EQ(ReadWholeFile(dir.File("out").c_str(), &back), 0);
  EXPECT_EQ(back, bytes);
  EXPECT_FALSE(testutil::Exists(dir.File("out") + kPartSuffix));
  // An existing file is replaced whole.
  ASSERT_EQ(WriteWholeFile(dir.File("out"), bytes.data(), 1), 0);
  ASSERT_EQ(ReadWholeFile(dir.File("out").c_str(), &back), 0);
  EXPECT_EQ(back, std::vector<uint8_t>{1});

  // A folder in the way: nothing is left behind, the folder stays.
  ASSERT_TRUE(testutil::MakeDir(dir.File("folder")));
  EXPECT_NE(WriteWholeFile(dir.File("folder"), bytes.data(), bytes.size()), 0);
  EXPECT_FALSE(testutil::Exists(dir.File("folder") + kPartSuffix));
  EXPECT_EQ(ReadWholeFile(dir.File("folder").c_str(), &back), EISDIR);
  EXPECT_TRUE(back.empty());
  EXPECT_EQ(ReadWholeFile(dir.File("missing").c_str(), &back), ENOENT);
  EXPECT_EQ(WriteWholeFile(dir.File("missing/out"), bytes.data(), bytes.size()), ENOENT);
}

#ifndef _WIN32
// Under a file-size limit of 0 the stream takes the bytes into its buffer,
// and the write to the file, refused, happens only when it is closed: a
// failure that shows at close alone must still fail the whole write and
// leave the file that was there.
TEST(WholeFiles, AWriteThatFailsOnlyAtCloseLeavesTheOldFile) {
  testutil::TempDir dir;
  const std::string out = dir.File("out");
  const std::vector<uint8_t> old = {1, 2, 3}, bytes(100, 7);
  ASSERT_EQ(WriteWholeFile(out, old.data(), old.size()), 0);

  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit none = saved;
  none.rlim_cur = 0;
  void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
  const int error = WriteWholeFile(out, bytes.data(), bytes.size());
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);

  EXPECT_EQ(error, EFBIG);
  std::vector<uint8_t> back;
  ASSERT_EQ(ReadWholeFile(out.c_str(), &back), 0);
  EXPECT_EQ(back, old);
  EXPECT_FALSE(testutil::Exists(out + kPartSuffix));
}
#endif

}  // namespace

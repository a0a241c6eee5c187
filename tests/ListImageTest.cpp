// The listing's wording, its warnings and its JSON, from ListImage and
// friends run in the test's own process on images built in code.
#include <string>
#include <vector>

#include "common/Json.h"
#include "common/ShiftJis.h"
#include "d88ls/ListCommand.h"
#include "kit/Shapes.h"
#include "tests/ImageNames.h"
#include "tests/ProgramRun.h"
#include "tests/ReaderTestSupport.h"

namespace {

class ListImageTest : public ReaderTest {
 protected:
  // What the walk of `image` gives a listing: the text, or the JSON of an
  // image named image.d88.
  std::string Render(const Bytes& image, bool json) {
    if (!OpenImage(image)) return "(cannot open)";
    const ImageFacts facts = DescribeImage(d88);
    return Captured(dir.File("out.txt"), [&](std::FILE* f) {
      Renderings what;
      (json ? what.json : what.text) = f;
      what.path = "image.d88";
      what.warnings = WarningLines(facts);
      RenderImage(d88, facts, what);
    });
  }
  std::string Listing(const Bytes& image) { return Render(image, false); }
  std::string Json(const Bytes& image) { return Render(image, true); }
  // The warnings as d88ls writes them on standard error.
  std::string Warning(const Bytes& image) {
    if (!OpenImage(image)) return "(cannot open)";
    std::string err;
    for (const std::string& line : WarningLines(DescribeImage(d88))) err += line + "\n";
    return err;
  }
  static std::vector<std::string> WarningLines(const ImageFacts& facts) {
    std::vector<std::string> lines;
    for (const std::string& text : facts.warnings) lines.push_back("d88ls: image.d88: " + text);
    return lines;
  }
};

// The lines of `text` that begin with `prefix`.
std::vector<std::string> LinesWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

std::string TrackLine(int t) {
  return "  track " + std::to_string(t) + ": 26 records: C" + std::to_string(t >> 1) + " H" + std::to_string(t & 1) +
         " R1-26 N1";
}

// ---------------------------------------------------------------- where the file ends

TEST_F(ListImageTest, TheFileEndIsToldByWhereItFalls) {
  Disk d = Standard2HD(2);  // tracks 0 to 3
  const Bytes whole = d.Build();
  const size_t track1 = GetLE32(&whole[kTrackTableOffset + 4 * 1]);
  constexpr size_t kRecord = kSectorHeaderSize + 256;
  Disk gap = Standard2HD(3);  // tracks 0 to 5 without 3
  gap.tracks.erase(3);
  const Bytes gapped = gap.Build();
  const struct {
    const char* what;
    Bytes image;
    std::vector<std::string> lines;
  } cases[] = {
      {"right after record 5", Slice(whole, 0, track1 + 5 * kRecord),
       {TrackLine(0), "  track 1: 5 records: C0 H1 R1-5 N1; file ends after record 5",
        "  tracks 2-3: past the end of the file"}},
      {"inside the header of record 6", Slice(whole, 0, track1 + 5 * kRecord + 7),
       {TrackLine(0), "  track 1: 5 records: C0 H1 R1-5 N1; file ends inside the header of record 6",
        "  tracks 2-3: past the end of the file"}},
      {"inside the data of record 6", Slice(whole, 0, track1 + 5 * kRecord + kSectorHeaderSize + 10),
       {TrackLine(0), "  track 1: 6 records: C0 H1 R1-6 N1; file ends inside the data of record 6",
        "  tracks 2-3: past the end of the file"}},
      {"a byte short of the track's last record", Slice(whole, 0, track1 + 26 * kRecord - 1),
       {TrackLine(0), "  track 1: 26 records: C0 H1 R1-26 N1; file ends inside the data of record 26",
        "  tracks 2-3: past the end of the file"}},
      {"inside the header of record 1", Slice(whole, 0, track1 + 3),
       {TrackLine(0), "  track 1: file ends inside the header of record 1", "  tracks 2-3: past the end of the file"}},
      {"where track 1 begins", Slice(whole, 0, track1), {TrackLine(0), "  tracks 1-3: past the end of the file"}},
      {"where the last track begins", Slice(whole, 0, GetLE32(&whole[kTrackTableOffset + 4 * 3])),
       {TrackLine(0), TrackLine(1), TrackLine(2), "  track 3: past the end of the file"}},
      // An absent track parts the runs: track 3 is not past the end, it is not there.
      {"where track 1 begins, track 3 absent", Slice(gapped, 0, GetLE32(&gapped[kTrackTableOffset + 4 * 1])),
       {TrackLine(0), "  tracks 1-2: past the end of the file", "  tracks 4-5: past the end of the file"}},
  };
  for (const auto& c : cases) {
    const std::string listing = Listing(c.image);
    EXPECT_EQ(LinesWith(listing, "  track"), c.lines) << c.what << "\n" << listing;
  }
}

// ---------------------------------------------------------------- names and marks

TEST_F(ListImageTest, NamesAndRecordsAreShownAsTheyAre) {
  Disk spaced = Standard2HD(1, "MY DISK 1");
  Disk empty;  // N 25: nominally 128 << 25 bytes, here none at all
  empty.tracks[0] = {MakeRecord(0, 0, 1, 25, 1, Bytes())};
  const struct {
    const char* what;
    Bytes image;
    std::string line;
  } cases[] = {
      {"a name with spaces", spaced.Build(), "disk 0: \"MY DISK 1\", media type 0x20 (2HD)"},
      {"N 25 and no data", empty.Build(), "  track 0: 1 record: C0 H0 R1 N25 (0 bytes)"},
  };
  for (const auto& c : cases) {
    const std::string listing = Listing(c.image);
    EXPECT_NE(listing.find("\n" + c.line + "\n"), std::string::npos) << c.what << "\n" << listing;
  }
}

// ---------------------------------------------------------------- the extraction summary

TEST_F(ListImageTest, SummaryWritesRunsOfNeighbouringTracksThatYieldAlike) {
  Disk d;
  for (int t = 72; t <= 148; t += 2) d.tracks[t] = StandardTrack(t, 26);
  for (int t : {74, 76, 80}) d.tracks[t] = StandardTrack(t, 12);  // 74 and 76 neighbours, 80 alone
  d.tracks.erase(84);
  d.tracks.erase(86);
  d.tracks[148] = StandardTrack(148, 5);
  Disk whole;
  for (int t = 72; t <= 148; t += 2) whole.tracks[t] = StandardTrack(t, 26);
  const struct {
    const char* what;
    Bytes image;
    std::vector<std::string> lines;
  } cases[] = {
      {"runs", d.Build(),
       {"disk 0: d88adpcm tracks 72-148: incomplete: 74-76 (12 of 26), 80 (12 of 26), 84-86 (0 of 26), "
        "148 (5 of 26)"}},
      {"nothing there", Disk{}.Build(), {"disk 0: d88adpcm tracks 72-148: incomplete: 72-148 (0 of 26)"}},
      // Only disk 0 is read: the others say so, whatever they hold.
      {"a whole second disk", Concat({Disk{}.Build(), whole.Build(), d.Build()}),
       {"disk 0: d88adpcm tracks 72-148: incomplete: 72-148 (0 of 26)",
        "disk 1: d88adpcm reads disk 0 only; were this disk first, tracks 72-148 would be complete",
        "disk 2: d88adpcm reads disk 0 only; were this disk first, tracks 72-148 would be incomplete: "
        "74-76 (12 of 26), 80 (12 of 26), 84-86 (0 of 26), 148 (5 of 26)"}},
  };
  for (const auto& c : cases) {
    const std::string listing = Listing(c.image);
    std::vector<std::string> summary;
    for (const std::string& line : LinesWith(listing, "disk ")) {
      if (line.find(": d88adpcm ") != std::string::npos) summary.push_back(line);
    }
    EXPECT_EQ(summary, c.lines) << c.what;
  }
}

// ---------------------------------------------------------------- warnings

// `count` disks of one small track each, back to back.
Bytes SmallDisks(int count) {
  Disk small;
  small.tracks[0] = {MakeRecord(0, 0, 1, 0, 1, Bytes(128, 1))};
  return Concat(std::vector<Bytes>(static_cast<size_t>(count), small.Build()));
}

TEST_F(ListImageTest, WarnsWhenTheImageIsNotWhatItSeems) {
  const Bytes standard = Standard2HD(1).Build();
  Bytes cut = Slice(standard, 0, standard.size() - 100);
  Disk oddMedia = Standard2HD(1);
  oddMedia.mediaType = 0x55;
  Disk tiny = Standard2HD(1);
  tiny.SetSize(100);
  Disk everything;
  everything.mediaType = 0xFF;
  everything.SetSize(0xFFFFFFFFu);
  Disk oddSecond = oddMedia;
  const std::string prefix = "d88ls: image.d88: warning: disk 0 does not look like a D88 disk: ";
  const struct {
    const char* what;
    Bytes image;
    std::string err;
  } cases[] = {
      {"a D88 disk", standard, ""},
      {"two disks, the second odd", Concat({standard, oddSecond.Build()}), ""},
      {"an empty file", Bytes(), "d88ls: image.d88: no disk found\n"},
      {"a header cut short", Slice(standard, 0, kDiskHeaderSize - 1), "d88ls: image.d88: no disk found\n"},
      {"a header of zero bytes", Bytes(kDiskHeaderSize, 0),
       prefix + "its size field says 0 bytes, the file holds 688 from it; no track entry points inside it\n"},
      // A D88 disk all the same, cut short.
      {"a file cut short", cut,
       "d88ls: image.d88: warning: the file is cut short: disk 0's size field says " + std::to_string(standard.size()) +
           " bytes, the file holds " + std::to_string(cut.size()) + " from it\n"},
      {"a file cut short inside its second disk", Concat({standard, cut}),
       "d88ls: image.d88: warning: the file is cut short: disk 1's size field says " + std::to_string(standard.size()) +
           " bytes, the file holds " + std::to_string(cut.size()) + " from it\n"},
      {"a file cut short whose disk is odd besides", Slice(oddMedia.Build(), 0, cut.size()),
       prefix + "its size field says " + std::to_string(standard.size()) + " bytes, the file holds " +
           std::to_string(cut.size()) + " from it; media type 0x55 is none of the five known\n"},
      {"a size smaller than a header", tiny.Build(),
       prefix + "its size field says 100 bytes, the file holds " + std::to_string(standard.size()) +
           " from it; no track entry points inside it\n"},
      {"no tracks", Disk{}.Build(), prefix + "no track entry points inside it\n"},
      {"every entry at or past the disk's end, or in its header", [] {
         Disk d = Standard2HD(1);
         const uint32_t size = static_cast<uint32_t>(d.Build().size());
         d.entryOverride[0] = size;  // the disk's end: a blank track, not one inside
         d.entryOverride[1] = size + 100;
         d.entryOverride[2] = 0x10;  // inside the header: the table ends at entry 3
         return d.Build();
       }(), prefix + "no track entry points inside it\n"},
      {"a file a byte short", Slice(standard, 0, standard.size() - 1),
       "d88ls: image.d88: warning: the file is cut short: disk 0's size field says " + std::to_string(standard.size()) +
           " bytes, the file holds " + std::to_string(standard.size() - 1) + " from it\n"},
      // The reader takes 64 disks; the file going on past them is said.
      {"64 disks", SmallDisks(64), ""},
      {"64 disks and less than a header", Concat({SmallDisks(64), Bytes(kDiskHeaderSize - 1, 0)}), ""},
      {"65 disks", SmallDisks(65),
       "d88ls: image.d88: warning: the file goes on past disk 63, the last of the 64 disks d88ls reads\n"},
      {"64 disks and a header", Concat({SmallDisks(64), Bytes(kDiskHeaderSize, 0)}),
       "d88ls: image.d88: warning: the file goes on past disk 63, the last of the 64 disks d88ls reads\n"},
      // A size of 0 finds the first header 64 times: nothing goes on.
      {"a size of 0", [] {
         Disk d = Standard2HD(1);
         d.SetSize(0);
         return d.Build();
       }(), prefix + "its size field says 0 bytes, the file holds 14832 from it; no track entry points inside it\n"},
      {"an unknown media byte", oddMedia.Build(), prefix + "media type 0x55 is none of the five known\n"},
      {"all three", everything.Build(),
       prefix + "its size field says 4294967295 bytes, the file holds 688 from it; no track entry points inside it; "
                "media type 0xFF is none of the five known\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Warning(c.image), c.err) << c.what;
}

// ---------------------------------------------------------------- JSON

TEST_F(ListImageTest, JsonNamesKeepTheirBytesAndDecodeFromShiftJis) {
  const struct {
    const char* what;
    std::string name;
    std::string json;  // the name's two keys as written
  } cases[] = {
      {"ASCII", "SAMPLE", "\"name\": \"SAMPLE\",\n      \"name_bytes\": \"53414d504c45\""},
      {"Shift_JIS", "\x83\x7B\x83\x43\x83\x58", "\"name\": \"\\u30DC\\u30A4\\u30B9\",\n      \"name_bytes\": \"837b83438358\""},
      {"half-width katakana", "\xB1\xB2", "\"name\": \"\\uFF71\\uFF72\",\n      \"name_bytes\": \"b1b2\""},
      {"quote, backslash, control", "A\"\\\x01", "\"name\": \"A\\\"\\\\\\u0001\",\n      \"name_bytes\": \"41225c01\""},
      {"a pair cut off by the end", "AB\x83", "\"name\": null,\n      \"name_bytes\": \"414283\""},
      {"a pair with no character", "\x85\x40", "\"name\": null,\n      \"name_bytes\": \"8540\""},
      {"no name", "", "\"name\": \"\",\n      \"name_bytes\": \"\""},
  };
  for (const auto& c : cases) {
    const std::string json = Json(Standard2HD(1, c.name).Build());
    EXPECT_NE(json.find(c.json), std::string::npos) << c.what << "\n" << json.substr(0, 300);
  }
}

TEST_F(ListImageTest, JsonTellsTheEndingsAndRecordFields) {
  Disk d;
  testimage::Record odd = MakeRecord(1, 2, 3, 25, 7, Bytes(40, 1));
  odd.density = 0x40;
  odd.deleted = 0x10;
  odd.status = 0xB0;
  d.tracks[0] = {odd};
  d.tracks[0][0].count = 1;
  d.rawTracks[1] = testimage::Unformatted(16);
  d.tracks[2] = StandardTrack(2, 3);
  const Bytes whole = d.Build();
  const std::string json = Json(Slice(whole, 0, whole.size() - 10));  // inside track 2's last record
  const char* expected[] = {
      "{\"offset\": 688, \"c\": 1, \"h\": 2, \"r\": 3, \"n\": 25, \"count\": 1, \"data_size\": 40, \"density\": 64, "
      "\"deleted\": 16, \"status\": 176, \"data_present\": 40}",
      "\"track\": 1,\n          \"entry\": 744,\n          \"offset\": 744,\n          \"end\": \"count_zero\",\n"
      "          \"records\": []",
      "\"end\": \"file_ends_in_data\"",
      "\"data_size\": 256, \"density\": 0, \"deleted\": 0, \"status\": 0, \"data_present\": 246}",
      "\"extracted_disk\": 0,",
      "\"warnings\": [\n    \"d88ls: image.d88: warning: the file is cut short: disk 0's size field says",
  };
  for (const char* part : expected) EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  const std::string none = Json(Bytes());
  EXPECT_EQ(none, "{\n  \"image\": \"image.d88\",\n  \"file_size\": 0,\n  \"disks\": [],\n  \"extracted_disk\": null,\n"
                  "  \"warnings\": [\n    \"d88ls: image.d88: no disk found\"\n  ]\n}\n");
}

TEST_F(ListImageTest, JsonTrackEntriesAreFromTheirDisksStartAndOffsetsFromTheFiles) {
  const Bytes first = Standard2HD(1).Build();
  const std::string json = Json(Concat({first, Standard2HD(1).Build()}));
  const uint32_t entry = GetLE32(&first[kTrackTableOffset + 4]);  // track 1
  const std::string second = json.substr(json.find("\"index\": 1,"));
  const std::string track1 = "\"track\": 1,\n          \"entry\": " + std::to_string(entry) +
                             ",\n          \"offset\": " + std::to_string(first.size() + entry) + ",";
  EXPECT_NE(second.find(track1), std::string::npos) << track1 << "\n" << second.substr(0, 600);
}

// ---------------------------------------------------------------- the JSON writer and the decoder

TEST(JsonWriter, StringsAreAsciiAndValidWhateverTheBytes) {
  testutil::TempDir dir;
  const struct {
    const char* what;
    std::string text;
    std::string json;
  } cases[] = {
      {"plain", "abc ~", "\"abc ~\""},
      {"escapes", "\"\\\b\f\n\r\t\x01\x1F\x7F", "\"\\\"\\\\\\b\\f\\n\\r\\t\\u0001\\u001F\\u007F\""},
      {"two-byte UTF-8", "\xC3\xA9", "\"\\u00E9\""},
      {"three-byte UTF-8", "\xE3\x83\x9C", "\"\\u30DC\""},
      {"four-byte UTF-8: a surrogate pair", "\xF0\x9F\x8E\xB5", "\"\\uD83C\\uDFB5\""},
      {"U+FFFF, the last without a pair", "\xEF\xBF\xBF", "\"\\uFFFF\""},
      {"U+10000, the first with a pair", "\xF0\x90\x80\x80", "\"\\uD800\\uDC00\""},
      {"U+10FFFF, the last of all", "\xF4\x8F\xBF\xBF", "\"\\uDBFF\\uDFFF\""},
      {"a stray continuation byte", "a\x80" "b", "\"a\\uFFFDb\""},
      {"a sequence cut short", "a\xE3\x83", "\"a\\uFFFD\\uFFFD\""},
      {"a sequence broken off", "\xE3" "A", "\"\\uFFFDA\""},
      {"an overlong form", "\xC0\xAF", "\"\\uFFFD\\uFFFD\""},
      {"an overlong three-byte form", "\xE0\x80\xAF", "\"\\uFFFD\\uFFFD\\uFFFD\""},
      {"an encoded surrogate", "\xED\xA0\x80", "\"\\uFFFD\\uFFFD\\uFFFD\""},
      {"past U+10FFFF", "\xF4\x90\x80\x80", "\"\\uFFFD\\uFFFD\\uFFFD\\uFFFD\""},
      {"a zero byte", std::string("a\0b", 3), "\"a\\u0000b\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Captured(dir.File("s.json"), [&](std::FILE* f) { WriteJsonString(f, c.text.data(), c.text.size()); }),
              c.json)
        << c.what;
  }
}

TEST(JsonWriter, LinesAndOneLineContainers) {
  testutil::TempDir dir;
  const std::string json = Captured(dir.File("w.json"), [](std::FILE* f) {
    JsonWriter w(f);
    w.BeginObject(true);
    w.Key("a");
    w.BeginArray(true);
    w.Int(-1);
    w.BeginObject();
    w.Key("x");
    w.Bool(true);
    w.Key("y");
    w.BeginArray(true);  // inside a one-line container: one line too
    w.Null();
    w.Int(9000000000);
    w.EndArray();
    w.EndObject();
    w.BeginArray(true);
    w.EndArray();
    w.EndArray();
    w.Key("b");
    const uint8_t bytes[] = {0x00, 0xAB, 0xFF};
    w.HexString(bytes, 3);
    w.EndObject();
    w.Finish();
  });
  EXPECT_EQ(json, "{\n  \"a\": [\n    -1,\n    {\"x\": true, \"y\": [null, 9000000000]},\n    []\n  ],\n"
                  "  \"b\": \"00abff\"\n}\n");
}

TEST(ShiftJis, DecodesCodePage932) {
  const struct {
    const char* what;
    std::string bytes;
    int64_t length;     // -1: not Shift_JIS
    std::string utf8;
  } cases[] = {
      {"ASCII", "AZ az~", 6, "AZ az~"},
      {"0x5C is a backslash, as cp932 has it", "\x5C", 1, "\\"},
      {"half-width katakana", "\xA1\xDF", 6, "\xEF\xBD\xA1\xEF\xBE\x9F"},
      {"kana", "\x83\x7B\x83\x43\x83\x58", 9, "\xE3\x83\x9C\xE3\x82\xA4\xE3\x82\xB9"},
      {"a kanji", "\x88\x9F", 3, "\xE4\xBA\x9C"},
      {"NEC's circled digit", "\x87\x40", 3, "\xE2\x91\xA0"},
      {"IBM's small roman numeral", "\xFA\x40", 3, "\xE2\x85\xB0"},
      {"a control byte", "\x01", 1, "\x01"},
      {"a first byte at the end", "A\x81", -1, ""},
      {"a second byte out of range", "\x81\x20", -1, ""},
      {"second byte 0x7F", "\x81\x7F", -1, ""},
      {"a second byte past 0xFC", "\x88\xFD", -1, ""},
      {"a pair with no character", "\x85\x40", -1, ""},
      {"0x80 alone, as the browsers read it", "\x80", 2, "\xC2\x80"},
      {"0xA0 alone: undefined, though cp932 maps it", "A\xA0", -1, ""},
      {"0xFD alone", "\xFD", -1, ""},
      {"0xFF alone", "\xFF", -1, ""},
  };
  for (const auto& c : cases) {
    char out[64];
    const int64_t length =
        DecodeShiftJis(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), out, sizeof out);
    EXPECT_EQ(length, c.length) << c.what;
    if (length >= 0) {
      EXPECT_EQ(std::string(out, static_cast<size_t>(length)), c.utf8) << c.what;
    }
  }
  // Too little room is a failure, never a cut character.
  char small[4];
  const uint8_t kana[] = {0x83, 0x7B, 0x83, 0x43};
  EXPECT_EQ(DecodeShiftJis(kana, 4, small, sizeof small), -1);
  EXPECT_EQ(DecodeShiftJis(kana, 2, small, 3), 3);
}

}  // namespace

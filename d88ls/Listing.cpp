#include "d88ls/Listing.h"

#include <cinttypes>
#include <cstring>
#include <string>
#include <vector>

#include "common/Json.h"
#include "common/ShiftJis.h"
#include "plan/AdpcmPlan.h"

const char* MediaName(int32_t type) {
  switch (type) {
    case 0x00: return "2D";
    case 0x10: return "2DD";
    case 0x20: return "2HD";
    case 0x30: return "1D";
    case 0x40: return "1DD";
    default: return nullptr;
  }
}

const char* StatusName(uint8_t status) {
  switch (status) {
    case 0x10: return "deleted data mark";
    case 0xA0: return "ID CRC error";
    case 0xB0: return "data CRC error";
    case 0xC0: return "sector not found";
    case 0xE0: return "no address mark";
    case 0xF0: return "no data mark";
    default: return nullptr;
  }
}

std::vector<std::string> RecordMarks(const SectorRecord& rec) {
  std::vector<std::string> marks;
  char text[32];
  if (rec.density == 0x40) {
    marks.push_back("FM");
  } else if (rec.density != 0) {
    std::snprintf(text, sizeof text, "density 0x%02X", rec.density);
    marks.push_back(text);
  }
  if (rec.deleted == 0x10) {
    marks.push_back("deleted");
  } else if (rec.deleted != 0) {
    std::snprintf(text, sizeof text, "deleted mark 0x%02X", rec.deleted);
    marks.push_back(text);
  }
  if (rec.status != 0) {
    const char* name = StatusName(rec.status);
    if (name == nullptr) {
      std::snprintf(text, sizeof text, "status 0x%02X", rec.status);
      name = text;
    }
    marks.push_back(name);
  }
  if (rec.n > 7 || rec.dataSize != (128u << rec.n)) {
    std::snprintf(text, sizeof text, "%u bytes", static_cast<unsigned>(rec.dataSize));
    marks.push_back(text);
  }
  return marks;
}

namespace {

// Every walk ends after kMaxRecordsPerTrack records.
SectorRecord g_records[kMaxRecordsPerTrack];
// One track of the extraction plan.
uint8_t g_track[kPlanSlotSize];

// Names are raw bytes: printable ASCII and bytes above 0x7F (Shift_JIS text)
// pass through; control characters, quote and backslash are escaped so that
// every disk stays on one line.
void PrintName(std::FILE* out, const char* name) {
  std::fputc('"', out);
  for (const char* p = name; *p != '\0'; ++p) {
    const unsigned char b = static_cast<unsigned char>(*p);
    if (b == '"' || b == '\\') {
      std::fprintf(out, "\\%c", b);
    } else if (b < 0x20 || b == 0x7F) {
      std::fprintf(out, "\\x%02X", b);
    } else {
      std::fputc(b, out);
    }
  }
  std::fputc('"', out);
}


// True when the two records differ in nothing the listing marks.
bool SameMarks(const SectorRecord& a, const SectorRecord& b) {
  return a.density == b.density && a.deleted == b.deleted && a.status == b.status && a.dataSize == b.dataSize;
}

// The marks, in brackets after the ID.
void PrintMarks(std::FILE* out, const SectorRecord& rec) {
  const std::vector<std::string> marks = RecordMarks(rec);
  for (size_t i = 0; i < marks.size(); ++i) std::fprintf(out, "%s%s", i == 0 ? " (" : ", ", marks[i].c_str());
  if (!marks.empty()) std::fputc(')', out);
}

// The records of a track, with runs where R counts up by one under the same
// C, H, N and marks written as one item: "C36 H0 R1-26 N1".
void PrintRecords(std::FILE* out, const SectorRecord* recs, int32_t count) {
  for (int32_t i = 0; i < count;) {
    const SectorRecord& first = recs[i];
    int32_t j = i + 1;
    while (j < count && recs[j].c == first.c && recs[j].h == first.h && recs[j].n == first.n &&
           recs[j].r == first.r + (j - i) && SameMarks(recs[j], first)) {
      ++j;
    }
    std::fprintf(out, "%sC%u H%u R%u", i == 0 ? "" : ", ", first.c, first.h, first.r);
    if (j - i > 1) std::fprintf(out, "-%u", recs[j - 1].r);
    std::fprintf(out, " N%u", first.n);
    PrintMarks(out, first);
    i = j;
  }
}

// How the listing of a track ends. The walk's own reasons, with the end of
// the file told apart by where it falls: a track that begins at or past it
// holds nothing at all, and a track it cuts is cut after a whole record,
// inside a record's header, or inside a record's data.
enum class Ending {
  kLastRecord,
  kCountZero,
  kNextTrack,
  kDiskEnd,
  kWalkBound,
  kFull,  // not met here: the room holds a whole walk
  kPastFileEnd,
  kFileEndsAfterRecord,
  kFileEndsInHeader,
  kFileEndsInData,
};

// The names the JSON listing gives the endings.
const char* EndingName(Ending ending) {
  switch (ending) {
    case Ending::kLastRecord: return "last_record";
    case Ending::kCountZero: return "count_zero";
    case Ending::kNextTrack: return "next_track";
    case Ending::kDiskEnd: return "disk_end";
    case Ending::kWalkBound: return "walk_bound";
    case Ending::kFull: return "full";
    case Ending::kPastFileEnd: return "past_file_end";
    case Ending::kFileEndsAfterRecord: return "file_ends_after_record";
    case Ending::kFileEndsInHeader: return "file_ends_in_header";
    case Ending::kFileEndsInData: return "file_ends_in_data";
  }
  return "";
}

// One track of the table as it is listed: its records are in g_records.
struct TrackListing {
  int64_t start = 0;  // file offset of its first record
  int32_t records = 0;
  Ending ending = Ending::kLastRecord;
};

// The file offset where `track` of the current disk begins, as the reader
// forms it: the disk's offset plus the entry, modulo 2^32.
int64_t TrackStartOffset(const D88File& d88, int32_t track) {
  return static_cast<uint32_t>(d88.diskOffset + d88.trackOffsets[track]);
}

// Walks `track` into g_records; false when the track is absent.
bool ListTrack(D88File& d88, int32_t track, uint64_t fileSize, TrackListing* out) {
  const RecordListing listing = d88.ReadRecords(track, g_records, kMaxRecordsPerTrack);
  if (listing.end == WalkEnd::kNoTrack) return false;
  out->start = TrackStartOffset(d88, track);
  out->records = listing.records;
  switch (listing.end) {
    case WalkEnd::kLastRecord: out->ending = Ending::kLastRecord; break;
    case WalkEnd::kCountZero: out->ending = Ending::kCountZero; break;
    case WalkEnd::kTrackEnd: out->ending = Ending::kNextTrack; break;
    case WalkEnd::kDiskEnd: out->ending = Ending::kDiskEnd; break;
    case WalkEnd::kWalkBound: out->ending = Ending::kWalkBound; break;
    case WalkEnd::kFull: out->ending = Ending::kFull; break;
    case WalkEnd::kNoTrack: return false;
    case WalkEnd::kFileEnd: {
      const int32_t n = listing.records;
      if (n == 0) {
        // No header arrived in full: none at all, or a part of the first.
        out->ending = static_cast<uint64_t>(out->start) >= fileSize ? Ending::kPastFileEnd : Ending::kFileEndsInHeader;
      } else if (g_records[n - 1].dataPresent < g_records[n - 1].dataSize) {
        out->ending = Ending::kFileEndsInData;
      } else {
        // The last record is whole: the next header is missing or cut.
        const SectorRecord& last = g_records[n - 1];
        const uint64_t next = static_cast<uint64_t>(last.offset) + kSectorHeaderSize + last.dataSize;
        out->ending = next >= fileSize ? Ending::kFileEndsAfterRecord : Ending::kFileEndsInHeader;
      }
      break;
    }
  }
  return true;
}

// One line for a track of the table: its records, or "unformatted" when it
// has none, and how the walk ended when that was not at the track's own last
// record. Tracks past the end of the file are not written here: a run of
// them shares one line (PrintPastEnd).
void PrintTrack(std::FILE* out, int32_t track, const TrackListing& listing) {
  std::fprintf(out, "  track %d: ", track);
  const int32_t records = listing.records;
  if (records == 0 && listing.ending == Ending::kCountZero) {
    std::fputs("unformatted\n", out);
    return;
  }
  if (records > 0) {
    std::fprintf(out, "%d record%s: ", records, records == 1 ? "" : "s");
    PrintRecords(out, g_records, records);
    if (listing.ending != Ending::kLastRecord) std::fputs("; ", out);
  }
  switch (listing.ending) {
    case Ending::kLastRecord: break;
    case Ending::kCountZero: std::fputs("then a header saying 0 records", out); break;
    case Ending::kNextTrack: std::fputs("counts run on into the next track", out); break;
    case Ending::kDiskEnd: std::fputs("counts run on past the disk's end", out); break;
    case Ending::kWalkBound: std::fprintf(out, "stopped after %d records", kMaxRecordsPerTrack); break;
    case Ending::kFull: std::fputs("more records may follow", out); break;
    case Ending::kPastFileEnd: std::fputs("past the end of the file", out); break;
    case Ending::kFileEndsAfterRecord: std::fprintf(out, "file ends after record %d", records); break;
    case Ending::kFileEndsInHeader: std::fprintf(out, "file ends inside the header of record %d", records + 1); break;
    case Ending::kFileEndsInData: std::fprintf(out, "file ends inside the data of record %d", records); break;
  }
  std::fputc('\n', out);
}

// The tracks first to last, consecutive, all past the end of the file.
void PrintPastEnd(std::FILE* out, int32_t first, int32_t last) {
  if (first == last) {
    std::fprintf(out, "  track %d: past the end of the file\n", first);
  } else {
    std::fprintf(out, "  tracks %d-%d: past the end of the file\n", first, last);
  }
}

// What d88adpcm reads of the current disk: the whole sectors of each
// planned track, by the very reads it makes. True when every one is whole.
bool ReadPlan(D88File& d88, int32_t (&sectors)[kPlanTracks]) {
  d88.SetSectorRange(1, kPlanSectors);
  bool complete = true;
  for (int32_t i = 0; i < kPlanTracks; ++i) {
    sectors[i] = ReadPlannedTrack(d88, i, g_track) / (kPlanSlotSize / kPlanSectors);
    if (sectors[i] != kPlanSectors) complete = false;
  }
  return complete;
}

// The planned tracks that would not be whole, in runs of neighbouring
// planned tracks that yield as many sectors: "80 (1 of 26), 82-148 (0 of 26)".
void PrintHoles(std::FILE* out, const int32_t (&sectors)[kPlanTracks]) {
  bool first = true;
  for (int32_t i = 0; i < kPlanTracks;) {
    if (sectors[i] == kPlanSectors) {
      ++i;
      continue;
    }
    int32_t j = i + 1;
    while (j < kPlanTracks && sectors[j] == sectors[i]) ++j;
    std::fprintf(out, "%s%d", first ? "" : ", ", PlannedTrack(i));
    if (j - i > 1) std::fprintf(out, "-%d", PlannedTrack(j - 1));
    std::fprintf(out, " (%d of %d)", sectors[i], kPlanSectors);
    first = false;
    i = j;
  }
}

// The summary line of disk `disk`, the current disk. d88adpcm reads disk 0
// only: its line says what d88adpcm gets; any other disk's says that, and
// what d88adpcm would get were the disk the first.
void PrintSummary(std::FILE* out, D88File& d88, int32_t disk) {
  int32_t sectors[kPlanTracks];
  const bool complete = ReadPlan(d88, sectors);
  if (disk == 0) {
    std::fprintf(out, "disk 0: d88adpcm tracks %d-%d: ", PlannedTrack(0), PlannedTrack(kPlanTracks - 1));
    std::fputs(complete ? "complete" : "incomplete: ", out);
  } else {
    std::fprintf(out, "disk %d: d88adpcm reads disk 0 only; were this disk first, tracks %d-%d would be ", disk,
                 PlannedTrack(0), PlannedTrack(kPlanTracks - 1));
    std::fputs(complete ? "complete" : "incomplete: ", out);
  }
  if (!complete) PrintHoles(out, sectors);
  std::fputc('\n', out);
}

// ---------------------------------------------------------------- JSON

void JsonRecord(JsonWriter& json, const SectorRecord& rec) {
  json.BeginObject();
  json.Key("offset");
  json.Int(rec.offset);
  const struct {
    const char* key;
    int64_t value;
  } fields[] = {{"c", rec.c},
                {"h", rec.h},
                {"r", rec.r},
                {"n", rec.n},
                {"count", rec.count},
                {"data_size", rec.dataSize},
                {"density", rec.density},
                {"deleted", rec.deleted},
                {"status", rec.status},
                {"data_present", rec.dataPresent}};
  for (const auto& field : fields) {
    json.Key(field.key);
    json.Int(field.value);
  }
  json.EndObject();
}

void JsonDisk(JsonWriter& json, D88File& d88, int32_t disk, uint64_t fileSize) {
  d88.SelectDisk(disk);
  json.BeginObject(true);
  json.Key("index");
  json.Int(disk);
  json.Key("offset");
  json.Int(d88.diskOffsets[disk]);
  // The name as the reader keeps it: its bytes up to the first zero byte.
  const char* name = d88.GetDiskName();
  const size_t length = std::strlen(name);
  char decoded[kDiskNameSize * kUtf8PerShiftJisByte];
  const int64_t decodedLength =
      DecodeShiftJis(reinterpret_cast<const uint8_t*>(name), length, decoded, sizeof decoded);
  json.Key("name");
  if (decodedLength >= 0) {
    json.String(decoded, static_cast<size_t>(decodedLength));
  } else {
    json.Null();
  }
  json.Key("name_bytes");
  json.HexString(reinterpret_cast<const uint8_t*>(name), length);
  json.Key("media_type");
  json.Int(d88.GetMediaType());
  json.Key("media");
  const char* media = MediaName(d88.GetMediaType());
  if (media != nullptr) {
    json.String(media);
  } else {
    json.Null();
  }
  json.Key("write_protected");
  json.Bool(d88.IsWriteProtected());
  json.Key("size");
  json.Int(d88.diskSize);
  json.Key("table_entries");
  json.Int(d88.GetTableEntries());

  json.Key("tracks");
  json.BeginArray(true);
  for (int32_t t = 0; t < d88.GetTableEntries(); ++t) {
    TrackListing listing;
    if (!ListTrack(d88, t, fileSize, &listing)) continue;
    json.BeginObject(true);
    json.Key("track");
    json.Int(t);
    json.Key("entry");
    json.Int(d88.trackOffsets[t]);
    json.Key("offset");
    json.Int(listing.start);
    json.Key("end");
    json.String(EndingName(listing.ending));
    json.Key("records");
    json.BeginArray(true);
    for (int32_t i = 0; i < listing.records; ++i) JsonRecord(json, g_records[i]);
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();

  int32_t sectors[kPlanTracks];
  const bool complete = ReadPlan(d88, sectors);
  json.Key("plan");
  json.BeginObject(true);
  json.Key("read_by_d88adpcm");
  json.Bool(disk == 0);
  json.Key("complete");
  json.Bool(complete);
  json.Key("sectors_per_track");
  json.Int(kPlanSectors);
  json.Key("tracks");
  json.BeginArray(true);
  for (int32_t i = 0; i < kPlanTracks; ++i) {
    json.BeginObject();
    json.Key("track");
    json.Int(PlannedTrack(i));
    json.Key("sectors");
    json.Int(sectors[i]);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  json.EndObject();
}

// Room for the reasons: the warning's text less its opening words.
constexpr size_t kReasonsSize = kWarningSize - 64;

// The reasons disk 0 does not look like a D88 disk, joined by "; ".
void DiskDoubts(D88File& d88, uint64_t fileSize, char (&text)[kReasonsSize]) {
  text[0] = '\0';
  size_t used = 0;
  auto add = [&](const char* reason) {
    used += static_cast<size_t>(std::snprintf(text + used, sizeof text - used, "%s%s", used == 0 ? "" : "; ", reason));
    if (used >= sizeof text) used = sizeof text - 1;
  };
  char reason[128];
  // A disk is at least its header, and no more than the file holds from its start.
  const uint64_t held = fileSize - d88.diskOffsets[0];
  if (d88.diskSize < static_cast<uint32_t>(kDiskHeaderSize) || d88.diskSize > held) {
    std::snprintf(reason, sizeof reason, "its size field says %" PRIu32 " bytes, the file holds %" PRIu64 " from it",
                  d88.diskSize, held);
    add(reason);
  }
  // A track's records begin after the table and before the disk's end.
  const uint32_t tableEnd = static_cast<uint32_t>(kTrackTableOffset + 4 * d88.GetTableEntries());
  bool inside = false;
  for (int32_t t = 0; t < d88.GetTableEntries(); ++t) {
    if (d88.trackOffsets[t] >= tableEnd && d88.trackOffsets[t] < d88.diskSize) inside = true;
  }
  if (!inside) add("no track entry points inside it");
  if (MediaName(d88.GetMediaType()) == nullptr) {
    std::snprintf(reason, sizeof reason, "media type 0x%02X is none of the five known",
                  static_cast<unsigned>(d88.GetMediaType()));
    add(reason);
  }
}

}  // namespace

uint64_t ImageFileSize(D88File& d88) {
  const int64_t size = d88.GetFileSize();
  return size > 0 ? static_cast<uint64_t>(size) : 0;
}

void ListImage(D88File& d88, std::FILE* out) {
  const uint64_t fileSize = ImageFileSize(d88);
  const int32_t disks = d88.GetDiskCount();
  std::fprintf(out, "%d disk%s\n", disks, disks == 1 ? "" : "s");
  for (int32_t disk = 0; disk < disks; ++disk) {
    d88.SelectDisk(disk);
    std::fprintf(out, "disk %d: ", disk);
    PrintName(out, d88.GetDiskName());
    const char* media = MediaName(d88.GetMediaType());
    std::fprintf(out, ", media type 0x%02X", static_cast<unsigned>(d88.GetMediaType()));
    if (media != nullptr) std::fprintf(out, " (%s)", media);
    std::fputs(d88.IsWriteProtected() ? ", write-protected\n" : "\n", out);
    if (d88.GetTableEntries() < kMaxTracks) std::fprintf(out, "  track table: %d entries\n", d88.GetTableEntries());
    // A run of consecutive tracks past the end of the file, not yet written.
    int32_t pastFirst = -1, pastLast = -1;
    for (int32_t t = 0; t < d88.GetTableEntries(); ++t) {
      TrackListing listing;
      if (!ListTrack(d88, t, fileSize, &listing)) continue;
      const bool past = listing.ending == Ending::kPastFileEnd;
      if (pastFirst >= 0 && (!past || t != pastLast + 1)) {
        PrintPastEnd(out, pastFirst, pastLast);
        pastFirst = -1;
      }
      if (past) {
        if (pastFirst < 0) pastFirst = t;
        pastLast = t;
      } else {
        PrintTrack(out, t, listing);
      }
    }
    if (pastFirst >= 0) PrintPastEnd(out, pastFirst, pastLast);
  }

  for (int32_t disk = 0; disk < disks; ++disk) {
    d88.SelectDisk(disk);
    PrintSummary(out, d88, disk);
  }
}

void ListImageJson(D88File& d88, const char* path, uint64_t fileSize, std::FILE* out) {
  char doubt[kWarningSize];
  const bool warned = DescribeImageDoubt(d88, fileSize, doubt);
  JsonWriter json(out);
  json.BeginObject(true);
  json.Key("image");
  json.String(path);
  json.Key("file_size");
  json.Int(static_cast<int64_t>(fileSize));
  json.Key("disks");
  json.BeginArray(true);
  for (int32_t disk = 0; disk < d88.GetDiskCount(); ++disk) JsonDisk(json, d88, disk, fileSize);
  json.EndArray();
  json.Key("extracted_disk");
  if (d88.GetDiskCount() > 0) {
    json.Int(0);
  } else {
    json.Null();
  }
  json.Key("warnings");
  json.BeginArray(true);
  if (warned) {
    // The very line written on standard error, without its line end.
    char line[kWarningSize + 4096];
    std::snprintf(line, sizeof line, "d88ls: %s: %s", path, doubt);
    json.String(line);
  }
  json.EndArray();
  json.EndObject();
  json.Finish();
}

bool DescribeImageDoubt(D88File& d88, uint64_t fileSize, char (&text)[kWarningSize]) {
  text[0] = '\0';
  if (d88.GetDiskCount() == 0 || !d88.SelectDisk(0)) {
    std::snprintf(text, sizeof text, "no disk found");
    return true;
  }
  char reasons[kReasonsSize];
  DiskDoubts(d88, fileSize, reasons);
  if (reasons[0] == '\0') return false;
  std::snprintf(text, sizeof text, "warning: disk 0 does not look like a D88 disk: %s", reasons);
  return true;
}

void WarnAboutImage(D88File& d88, const char* path, uint64_t fileSize, std::FILE* err) {
  char text[kWarningSize];
  if (DescribeImageDoubt(d88, fileSize, text)) std::fprintf(err, "d88ls: %s: %s\n", path, text);
}

#include "d88ls/DiskPicture.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/Command.h"
#include "common/Files.h"
#include "common/ShiftJis.h"
#include "common/Text.h"
#include "d88ls/ListCommand.h"
#include "d88ls/Listing.h"
#include "plan/AdpcmPlan.h"

namespace {

// Layout, in pixels. Every record is a cell of kCell - 1 by kRowHeight on a
// grid of kCell by kPitch.
constexpr int kCell = 9;
constexpr int kPitch = 12;
constexpr int kRowHeight = 10;
constexpr int kLeft = 10 * kCell;  // room for "tracks 100-163"
constexpr int kMaxCells = 64;      // cells drawn in a row; the rest are counted
constexpr int kNotes = kLeft + kMaxCells * kCell + 14;
constexpr int kWidth = kNotes + 300;

// Every walk ends after kMaxRecordsPerTrack records.
SectorRecord g_records[kMaxRecordsPerTrack];
uint8_t g_track[kPlanSlotSize];

// What a cell shows, most telling first: a record has one kind, the first
// that applies.
enum class Kind { kError, kShort, kOther, kDeleted, kFm, kPresent, kMissing };

struct KindStyle {
  const char* name;   // the class, and the legend's words
  const char* label;
  const char* fill;
};
const KindStyle kStyles[] = {
    {"error", "CRC or status error", "#d62728"}, {"short", "short data", "#ff7f0e"},
    {"other", "other ID", "#e6c229"},            {"deleted", "deleted data", "#9467bd"},
    {"fm", "single density (FM)", "#1f77b4"},    {"present", "present", "#55a868"},
    {"missing", "missing", "#ffffff"},
};
const KindStyle& Style(Kind kind) { return kStyles[static_cast<int>(kind)]; }

// A disk's name as the listing quotes it, but decoded from Shift_JIS where
// it decodes, so that a person reads it: control characters, quote and
// backslash escaped, and where it does not decode, every byte above 0x7E
// too.
std::string QuotedName(const char* name) {
  const size_t length = std::strlen(name);
  char decoded[kDiskNameSize * kUtf8PerShiftJisByte];
  const int64_t utf8 = DecodeShiftJis(reinterpret_cast<const uint8_t*>(name), length, decoded, sizeof decoded);
  const std::string text = utf8 >= 0 ? std::string(decoded, static_cast<size_t>(utf8)) : std::string(name, length);
  std::string out = "\"";
  for (const char ch : text) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if (b == '"' || b == '\\') {
      out += '\\';
      out += ch;
    } else if (b < 0x20 || b == 0x7F || (b > 0x7F && utf8 < 0)) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}


bool IsPlanned(int32_t track) {
  return track >= PlannedTrack(0) && track <= PlannedTrack(kPlanTracks - 1) && (track - PlannedTrack(0)) % 2 == 0;
}

// The ID a record of `track` should carry: C = track / 2, H = track % 2.
bool OwnId(int32_t track, const SectorRecord& rec) {
  return rec.c == (track >> 1) && rec.h == (track & 1) && (!IsPlanned(track) || rec.n == kPlanSizeCode);
}

int64_t NominalSize(const SectorRecord& rec) { return rec.n > 7 ? -1 : int64_t{128} << rec.n; }

Kind KindOf(int32_t track, const SectorRecord& rec) {
  if (rec.status != 0 && rec.status != 0x10) return Kind::kError;
  const int64_t nominal = NominalSize(rec);
  if (rec.dataPresent < rec.dataSize || (nominal >= 0 && rec.dataSize < nominal)) return Kind::kShort;
  if (!OwnId(track, rec)) return Kind::kOther;
  if (rec.deleted != 0 || rec.status == 0x10) return Kind::kDeleted;
  if (rec.density != 0) return Kind::kFm;
  return Kind::kPresent;
}

// Everything the listing marks on a record, in its words, and where the
// file ends inside its data.
std::string Marks(const SectorRecord& rec) {
  std::vector<std::string> marks = RecordMarks(rec);
  if (rec.dataPresent < rec.dataSize) {
    marks.push_back("file ends after " + std::to_string(rec.dataPresent) + " of them");
  }
  std::string text;
  for (size_t i = 0; i < marks.size(); ++i) text += (i == 0 ? " (" : ", ") + marks[i];
  return marks.empty() ? text : text + ")";
}

// One thing drawn in a row: a run of ordinary sectors, a record, or a
// sector the track lacks. `record` is the place in the track's walk (from
// 1) of its first record, 0 for a sector the track lacks.
struct Cell {
  Kind kind = Kind::kPresent;
  int32_t cells = 1;
  int32_t record = 0;
  std::string title;
};

// The attributes that tie a cell to what it stands for: the disk, the
// track, and for a record its place in the track's walk, so that a page can
// open the very record (d88ls --sector DISK:TRACK:RECORD).
void AppendPlace(std::string& svg, int32_t disk, int32_t track, int32_t record) {
  AppendFormat(svg, " data-disk=\"%d\" data-track=\"%d\"", disk, track);
  if (record > 0) AppendFormat(svg, " data-record=\"%d\"", record);
}

// A cell of one record (or of a sector the track lacks), its fill left to
// the run's group with `inGroup`.
void AppendRect(std::string& svg, Kind kind, int y, int x, bool inGroup, int32_t disk, int32_t track, int32_t record) {
  const KindStyle& style = Style(kind);
  if (kind == Kind::kMissing) {
    AppendFormat(svg, "<rect class=\"missing\" x=\"%d.5\" y=\"%d.5\" width=\"%d\" height=\"%d\" fill=\"#ffffff\" "
                "stroke=\"#888888\" stroke-dasharray=\"2 1\"", x, y, kCell - 2, kRowHeight - 1);
  } else {
    AppendFormat(svg, "<rect class=\"%s\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\"", style.name, x, y, kCell - 1,
                 kRowHeight);
    if (!inGroup) AppendFormat(svg, " fill=\"%s\"", style.fill);
  }
  AppendPlace(svg, disk, track, record);
}

// Every record is an element of its own; a run shares one title and one
// fill, on the group that holds its records.
void AddCell(std::string& svg, int y, int x, int32_t disk, int32_t track, const Cell& cell) {
  if (cell.cells == 1) {
    AppendRect(svg, cell.kind, y, x, false, disk, track, cell.record);
    svg += "><title>" + XmlText(cell.title) + "</title></rect>\n";
    return;
  }
  AppendFormat(svg, "<g class=\"run\" fill=\"%s\"><title>", Style(cell.kind).fill);
  svg += XmlText(cell.title) + "</title>";
  for (int32_t i = 0; i < cell.cells; ++i) {
    AppendRect(svg, cell.kind, y, x + i * kCell, true, disk, track, cell.record + i);
    svg += "/>";
  }
  svg += "</g>\n";
}

std::string Id(int c, int h, int r, int n) {
  char text[48];
  std::snprintf(text, sizeof text, "C%d H%d R%d N%d", c, h, r, n);
  return text;
}

// The cells of one track: its records in file order, ordinary runs joined,
// then the sectors it lacks.
std::vector<Cell> TrackCells(int32_t track, const SectorRecord* recs, int32_t count) {
  std::vector<Cell> cells;
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "track %d: ", track);
  for (int32_t i = 0; i < count;) {
    const SectorRecord& first = recs[i];
    const Kind kind = KindOf(track, first);
    int32_t j = i + 1;
    if (kind == Kind::kPresent) {
      while (j < count && KindOf(track, recs[j]) == Kind::kPresent && recs[j].c == first.c && recs[j].h == first.h &&
             recs[j].n == first.n && recs[j].r == first.r + (j - i)) {
        ++j;
      }
    }
    Cell cell;
    cell.kind = kind;
    cell.cells = j - i;
    cell.record = i + 1;
    cell.title = prefix;
    if (j - i > 1) {
      char run[96];
      std::snprintf(run, sizeof run, "C%u H%u R%u-%u N%u: %d sectors of %d bytes", first.c, first.h, first.r,
                    recs[j - 1].r, first.n, j - i, 128 << first.n);
      cell.title += run;
    } else {
      cell.title += "record " + std::to_string(i + 1) + ": " + Id(first.c, first.h, first.r, first.n) + Marks(first);
      if (kind == Kind::kOther) cell.title += ", not this track's ID";
    }
    cells.push_back(cell);
    i = j;
  }

  // The sectors a track lacks: among those of its own C and H (and for the
  // tracks d88adpcm reads, N = 1), the numbers from 1 to the highest, or to
  // 26 where d88adpcm reads.
  bool seen[256] = {};
  int32_t highest = IsPlanned(track) ? kPlanSectors : 0;
  for (int32_t i = 0; i < count; ++i) {
    if (!OwnId(track, recs[i])) continue;
    seen[recs[i].r] = true;
    if (recs[i].r > highest) highest = recs[i].r;
  }
  const int n = IsPlanned(track) ? kPlanSizeCode : (count > 0 ? recs[0].n : kPlanSizeCode);
  for (int32_t r = 1; r <= highest; ++r) {
    if (seen[r]) continue;
    Cell cell;
    cell.kind = Kind::kMissing;
    cell.title = std::string(prefix) + Id(track >> 1, track & 1, r, n) + " missing";
    cells.push_back(cell);
  }
  return cells;
}

// Why a walk ended, when that was not at the track's own last record.
const char* WalkNote(WalkEnd end) {
  switch (end) {
    case WalkEnd::kFileEnd: return "the file ends in this track";
    case WalkEnd::kCountZero: return "then a header saying 0 records";
    case WalkEnd::kTrackEnd: return "counts run on into the next track";
    case WalkEnd::kDiskEnd: return "counts run on past the disk's end";
    case WalkEnd::kWalkBound: return "stopped after 65535 records";
    default: return nullptr;
  }
}

}  // namespace

std::string DrawDisk(D88File& d88, const std::string& title) {
  const int32_t disks = d88.GetDiskCount();

  std::string body;
  int row = 4;  // the title and the legend take the first rows
  d88.SetSectorRange(1, kPlanSectors);
  for (int32_t disk = 0; disk < disks; ++disk) {
    d88.SelectDisk(disk);
    const char* media = MediaName(d88.GetMediaType());
    std::string heading = "disk " + std::to_string(disk) + ": " + QuotedName(d88.GetDiskName());
    char type[48];
    std::snprintf(type, sizeof type, ", media type 0x%02X%s%s%s", static_cast<unsigned>(d88.GetMediaType()),
                  media != nullptr ? " (" : "", media != nullptr ? media : "", media != nullptr ? ")" : "");
    heading += type;
    if (d88.IsWriteProtected()) heading += ", write-protected";
    if (d88.GetTableEntries() < kMaxTracks) heading += ", track table: " + std::to_string(d88.GetTableEntries()) + " entries";

    // What d88adpcm would make of the disk, with the very reads it makes.
    int32_t planned[kMaxTracks];
    std::string summary = "d88adpcm tracks " + std::to_string(PlannedTrack(0)) + "-" +
                          std::to_string(PlannedTrack(kPlanTracks - 1)) + ": ";
    int holes = 0;
    for (int32_t i = 0; i < kPlanTracks; ++i) {
      const int32_t sectors = ReadPlannedTrack(d88, i, g_track) / (kPlanSlotSize / kPlanSectors);
      planned[PlannedTrack(i)] = sectors;
      if (sectors == kPlanSectors) continue;
      summary += (holes++ == 0 ? "incomplete: " : ", ") + std::to_string(PlannedTrack(i)) + " (" +
                 std::to_string(sectors) + " of " + std::to_string(kPlanSectors) + ")";
    }
    if (holes == 0) summary += "complete";

    AppendFormat(body, "<g class=\"disk\" id=\"disk-%d\">\n", disk);
    AppendFormat(body, "<text x=\"4\" y=\"%d\" font-size=\"13\" font-weight=\"bold\">", row * kPitch + 10);
    body += XmlText(heading) + "</text>\n";
    ++row;
    // The summary, broken after a comma where it would run past the picture.
    for (size_t from = 0; from < summary.size(); ++row) {
      size_t to = summary.size();
      if (to - from > 150) {
        to = summary.rfind(", ", from + 150);
        to = to == std::string::npos || to <= from ? from + 150 : to + 2;
      }
      AppendFormat(body, "<text x=\"%d\" y=\"%d\" fill=\"%s\">", from == 0 ? 4 : 24, row * kPitch + 9,
             holes == 0 ? "#1f3b73" : "#c00000");
      body += XmlText(summary.substr(from, to - from)) + "</text>\n";
      from = to;
    }

    // Rows for every track up to the last that is there or that d88adpcm
    // reads.
    int32_t last = PlannedTrack(kPlanTracks - 1);
    for (int32_t t = 0; t < d88.GetTableEntries(); ++t) {
      if (d88.ReadRecords(t, g_records, 1).end != WalkEnd::kNoTrack && t > last) last = t;
    }
    auto absent = [&d88](int32_t t) {
      return !IsPlanned(t) && (t >= d88.GetTableEntries() || d88.ReadRecords(t, g_records, 1).end == WalkEnd::kNoTrack);
    };
    for (int32_t t = 0; t <= last; ++t, ++row) {
      const int y = row * kPitch;
      // Three or more absent tracks in a row, none of them read by
      // d88adpcm, share one row.
      int32_t to = t;
      while (to < last && absent(t) && absent(to + 1)) ++to;
      if (to - t >= 2) {
        AppendFormat(body, "<g class=\"track\" data-track=\"%d-%d\"><text x=\"%d\" y=\"%d\" text-anchor=\"end\" "
                     "fill=\"#999999\">tracks %d-%d</text><text x=\"%d\" y=\"%d\" fill=\"#999999\">absent</text></g>\n",
               t, to, kLeft - 5, y + 9, t, to, kLeft, y + 9);
        t = to;
        continue;
      }
      const RecordListing listing =
          t < d88.GetTableEntries() ? d88.ReadRecords(t, g_records, kMaxRecordsPerTrack) : RecordListing{};
      AppendFormat(body, "<g class=\"track\" data-track=\"%d\"><text x=\"%d\" y=\"%d\" text-anchor=\"end\" fill=\"%s\">track %d</text>\n",
             t, kLeft - 5, y + 9, listing.end == WalkEnd::kNoTrack ? "#999999" : "#333333", t);
      const std::vector<Cell> cells = TrackCells(t, g_records, listing.records);
      int x = kLeft;
      int drawn = 0, hidden = 0;
      for (const Cell& cell : cells) {
        if (drawn + cell.cells > kMaxCells) {
          hidden += cell.cells;
          continue;
        }
        AddCell(body, y, x, disk, t, cell);
        x += cell.cells * kCell;
        drawn += cell.cells;
      }
      std::string note;
      auto addNote = [&note](const std::string& text) { note += (note.empty() ? "" : "; ") + text; };
      if (listing.end == WalkEnd::kNoTrack) {
        addNote("absent");
      } else if (listing.records == 0 && listing.end != WalkEnd::kFileEnd) {
        addNote("unformatted");
      }
      if (hidden > 0) addNote("and " + std::to_string(hidden) + " more not drawn");
      const char* walk = WalkNote(listing.end);
      if (walk != nullptr && !(listing.records == 0 && listing.end == WalkEnd::kCountZero)) addNote(walk);
      bool incomplete = false;
      if (IsPlanned(t)) {
        incomplete = planned[t] != kPlanSectors;
        const int width = (drawn > kPlanSectors ? drawn : kPlanSectors) * kCell + 3;
        AppendFormat(body, "<rect class=\"%s\" x=\"%d.5\" y=\"%d.5\" width=\"%d\" height=\"%d\" fill=\"none\" stroke=\"%s\" "
                     "stroke-width=\"%d\"/>\n",
               incomplete ? "plan incomplete" : "plan", kLeft - 3, y - 2, width, kRowHeight + 3,
               incomplete ? "#c00000" : "#1f3b73", incomplete ? 2 : 1);
        if (incomplete) addNote("d88adpcm reads " + std::to_string(planned[t]) + " of " + std::to_string(kPlanSectors));
      }
      if (!note.empty()) {
        const int at = x > kLeft + kPlanSectors * kCell ? x + 8 : kLeft + kPlanSectors * kCell + 8;
        AppendFormat(body, "<text x=\"%d\" y=\"%d\" fill=\"%s\">", at, y + 9,
               incomplete ? "#c00000" : (listing.end == WalkEnd::kNoTrack ? "#999999" : "#333333"));
        body += XmlText(note) + "</text>\n";
      }
      body += "</g>\n";
    }
    body += "</g>\n";
    ++row;
  }

  const int height = row * kPitch + 4;
  std::string svg;
  AppendFormat(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
              "font-family=\"sans-serif\" font-size=\"10\">\n", kWidth, height, kWidth, height);
  AppendFormat(svg, "<rect width=\"%d\" height=\"%d\" fill=\"#ffffff\"/>\n", kWidth, height);
  svg += "<text x=\"4\" y=\"18\" font-size=\"14\">" + XmlText(title) + "</text>\n";

  // The legend: one cell of each kind, then the two outlines.
  int x = 4;
  const int y = 2 * kPitch + 2;
  for (const KindStyle& style : kStyles) {
    if (&style == &kStyles[static_cast<int>(Kind::kMissing)]) {
      AppendFormat(svg, "<rect x=\"%d.5\" y=\"%d.5\" width=\"9\" height=\"9\" fill=\"#ffffff\" stroke=\"#888888\" "
                  "stroke-dasharray=\"2 1\"/>", x, y);
    } else {
      AppendFormat(svg, "<rect x=\"%d\" y=\"%d\" width=\"10\" height=\"10\" fill=\"%s\"/>", x, y, style.fill);
    }
    AppendFormat(svg, "<text x=\"%d\" y=\"%d\">%s</text>\n", x + 14, y + 9, style.label);
    x += 14 + 6 * static_cast<int>(std::string(style.label).size()) + 12;
  }
  AppendFormat(svg, "<rect x=\"%d.5\" y=\"%d.5\" width=\"16\" height=\"10\" fill=\"none\" stroke=\"#1f3b73\"/>"
              "<text x=\"%d\" y=\"%d\">read by d88adpcm</text>\n", x, y - 1, x + 22, y + 9);
  x += 22 + 6 * 16 + 12;
  AppendFormat(svg, "<rect x=\"%d.5\" y=\"%d.5\" width=\"16\" height=\"10\" fill=\"none\" stroke=\"#c00000\" stroke-width=\"2\"/>"
              "<text x=\"%d\" y=\"%d\">incomplete there</text>\n", x, y - 1, x + 22, y + 9);
  return svg + body + "</svg>\n";
}

int WriteDiskPicture(D88File& d88, const char* image, const char* path, std::FILE* err) {
  const int32_t disks = d88.GetDiskCount();
  const std::string svg = DrawDisk(d88, FileName(image) + ": " + std::to_string(disks) + (disks == 1 ? " disk" : " disks"));
  if (const int error = WriteWholeFile(path, reinterpret_cast<const uint8_t*>(svg.data()), svg.size())) {
    return FileError(kD88ls, path, error, err);
  }
  return kExitDone;
}

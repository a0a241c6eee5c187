#include "d88ls/DiskPicture.h"

#include "common/Text.h"

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
// Where a row's note begins at the earliest: past the plan's 26 cells.
constexpr int kNoteColumn = kLeft + kPlanSectors * kCell + 8;
constexpr size_t kSummaryWidth = 150;  // characters of the summary a line

struct KindStyle {
  const char* name;  // the class
  const char* label;  // the legend's words
  const char* fill;
};
// By RecordKind, then the style of a sector the track lacks.
const KindStyle kStyles[] = {
    {"error", "CRC or status error", "#d62728"}, {"short", "short data", "#ff7f0e"},
    {"other", "other ID", "#e6c229"},            {"deleted", "deleted data", "#9467bd"},
    {"fm", "single density (FM)", "#1f77b4"},    {"present", "present", "#55a868"},
    {"missing", "missing", "#ffffff"},
};
const KindStyle& Style(RecordKind kind) { return kStyles[static_cast<int>(kind)]; }
const KindStyle& kMissing = kStyles[6];

// The cells of one row, written with the attributes they share made once:
// a picture of many disks has a quarter of a million of them. Every cell
// carries what ties it to what it stands for: the disk, the track, and for
// a record its place in the track's walk, so that a page can open the very
// record (d88ls --sector DISK:TRACK:RECORD).
class RowCells {
 public:
  RowCells(int32_t disk, int32_t track, int y) {
    AppendFormat(place_, " data-disk=\"%d\" data-track=\"%d\"", disk, track);
    AppendFormat(record_, "\" y=\"%d\" width=\"%d\" height=\"%d\"", y, kCell - 1, kRowHeight);
    AppendFormat(missing_, ".5\" y=\"%d.5\" width=\"%d\" height=\"%d\" fill=\"%s\" stroke=\"#888888\" stroke-dasharray=\"2 1\"",
                 y, kCell - 2, kRowHeight - 1, kMissing.fill);
  }

  // Record `record`'s cell at `x`, left open for a title or a close; its
  // fill is its run's group's unless `ownFill`.
  void Record(std::string& svg, RecordKind kind, int x, bool ownFill, int32_t record) const {
    const KindStyle& style = Style(kind);
    svg.append("<rect class=\"").append(style.name).append("\" x=\"").append(std::to_string(x)).append(record_);
    if (ownFill) svg.append(" fill=\"").append(style.fill).append("\"");
    svg.append(place_).append(" data-record=\"").append(std::to_string(record)).append("\"");
  }

  // A sector the track lacks, at `x`, left open for its title.
  void Missing(std::string& svg, int x) const {
    svg.append("<rect class=\"missing\" x=\"").append(std::to_string(x)).append(missing_).append(place_);
  }

 private:
  std::string place_, record_, missing_;
};

void AppendTitle(std::string& svg, const std::string& title) { svg += "><title>" + XmlText(title) + "</title></rect>"; }

// What a record's title says past its ID and marks.
std::string Belonging(RecordKind kind) { return kind == RecordKind::kOther ? ", not this track's ID" : ""; }

std::string RecordTitle(const TrackFacts& track, int32_t index) {
  const SectorRecord& rec = track.records[index];
  return "track " + std::to_string(track.track) + ": record " + std::to_string(index + 1) + ": " + RecordText(rec) +
         Belonging(KindOf(track.track, rec));
}

// A run's title: its item as the listing writes it, and its sectors' size
// as recorded (never 128 << N, which a size code past 7 cannot give).
std::string RunTitle(const TrackFacts& track, const RecordRun& run) {
  const SectorRecord& first = track.records[run.first];
  return "track " + std::to_string(track.track) + ": records " + std::to_string(run.first + 1) + "-" +
         std::to_string(run.first + run.count) + ": " + RunText(track, run) + ": " + std::to_string(run.count) +
         " sectors of " + std::to_string(first.dataSize) + " bytes" + Belonging(KindOf(track.track, first));
}

}  // namespace

DiskPicture::DiskPicture(const std::string& title, std::string* svg) : title_(title), svg_(svg) {}

void DiskPicture::Take(const WalkStep& step) {
  switch (step.kind) {
    case WalkStep::Kind::kImage:
      break;
    case WalkStep::Kind::kDisk:
      Heading(*step.disk);
      break;
    case WalkStep::Kind::kTrack:
      Row(*step.disk, *step.track);
      break;
    case WalkStep::Kind::kDiskEnd:
      // Absent tracks after the last one drawn are not drawn.
      absentFirst_ = -1;
      body_ += "</g>\n";
      ++row_;
      break;
    case WalkStep::Kind::kImageEnd:
      Finish();
      break;
  }
}

void DiskPicture::Heading(const DiskFacts& disk) {
  std::string heading = DiskHeading(disk, NameForm::kUtf8);
  const std::string table = TableNote(disk);
  if (!table.empty()) heading += ", " + table;
  AppendFormat(body_, "<g class=\"disk\" id=\"disk-%d\">\n", disk.index);
  AppendFormat(body_, "<text x=\"4\" y=\"%d\" font-size=\"13\" font-weight=\"bold\">", row_ * kPitch + 10);
  body_ += XmlText(heading) + "</text>\n";
  ++row_;
  // The summary, broken after a comma where it would run past the picture.
  const std::string summary = PlanSummary(disk);
  const char* color = !disk.read ? "#555555" : disk.plan.complete ? "#1f3b73" : "#c00000";
  for (size_t from = 0; from < summary.size(); ++row_) {
    size_t to = summary.size();
    if (to - from > kSummaryWidth) {
      to = summary.rfind(", ", from + kSummaryWidth);
      to = to == std::string::npos || to <= from ? from + kSummaryWidth : to + 2;
    }
    AppendFormat(body_, "<text x=\"%d\" y=\"%d\" fill=\"%s\">", from == 0 ? 4 : 24, row_ * kPitch + 9, color);
    body_ += XmlText(summary.substr(from, to - from)) + "</text>\n";
    from = to;
  }
}

void DiskPicture::Row(const DiskFacts& disk, const TrackFacts& track) {
  // Absent tracks wait, so that three or more in a row share a row, and so
  // that those after the last track drawn are not drawn at all; a track
  // d88adpcm reads always has a row of its own.
  if (!track.present && !(disk.read && PlanSlot(track.track) >= 0)) {
    if (absentFirst_ < 0) absentFirst_ = track.track;
    absentLast_ = track.track;
    return;
  }
  EndAbsent(disk);
  DrawTrack(disk, track);
}

void DiskPicture::EndAbsent(const DiskFacts& disk) {
  if (absentFirst_ < 0) return;
  const int32_t first = absentFirst_, last = absentLast_;
  absentFirst_ = -1;
  if (last - first < 2) {
    for (int32_t t = first; t <= last; ++t) {
      TrackFacts absent;
      absent.track = t;
      DrawTrack(disk, absent);
    }
    return;
  }
  const int y = row_++ * kPitch + 9;
  AppendFormat(body_, "<g class=\"track\" data-track=\"%d-%d\"><text x=\"%d\" y=\"%d\" text-anchor=\"end\" "
               "fill=\"#666666\">tracks %d-%d</text><text x=\"%d\" y=\"%d\" fill=\"#666666\">absent</text></g>\n",
               first, last, kLeft - 5, y, first, last, kLeft, y);
}

void DiskPicture::DrawTrack(const DiskFacts& disk, const TrackFacts& track) {
  const int32_t t = track.track;
  const int y = row_++ * kPitch;
  // Tracks with nothing in the file are grey: absent, or past its end.
  const bool empty = !track.present || track.ending == TrackEnding::kPastFileEnd;
  const char* ink = empty ? "#666666" : "#333333";
  AppendFormat(body_, "<g class=\"track\" data-track=\"%d\"><text x=\"%d\" y=\"%d\" text-anchor=\"end\" fill=\"%s\">track %d</text>\n",
               t, kLeft - 5, y + 9, ink, t);
  const RowCells cells(disk.index, t, y);
  int x = kLeft;
  int32_t drawn = 0, hidden = 0;
  // The records, a run of the listing at a time, as far as the row has room.
  for (int32_t k = 0; k < track.runCount; ++k) {
    const RecordRun& run = track.runs[k];
    const int32_t fits = run.count < kMaxCells - drawn ? run.count : kMaxCells - drawn;
    hidden += run.count - fits;
    if (fits <= 0) continue;
    const RecordKind kind = KindOf(t, track.records[run.first]);
    if (run.count == 1) {
      cells.Record(body_, kind, x, true, run.first + 1);
      AppendTitle(body_, RecordTitle(track, run.first));
    } else {
      AppendFormat(body_, "<g class=\"run\" fill=\"%s\"><title>", Style(kind).fill);
      body_ += XmlText(RunTitle(track, run)) + "</title>";
      for (int32_t i = run.first; i < run.first + fits; ++i) {
        // A record of the run the file cuts is another kind: its own fill and title.
        const RecordKind own = KindOf(t, track.records[i]);
        cells.Record(body_, own, x + (i - run.first) * kCell, own != kind, i + 1);
        if (own != kind) {
          AppendTitle(body_, RecordTitle(track, i));
        } else {
          body_ += "/>";
        }
      }
      body_ += "</g>";
    }
    body_ += "\n";
    x += fits * kCell;
    drawn += fits;
  }

  // The sectors the track lacks: among those of its own C and H, the
  // numbers from 1 to the highest; on a track d88adpcm reads, to 26 where
  // its records are of d88adpcm's size or it has none.
  const bool planned = disk.read && PlanSlot(t) >= 0;
  bool seen[256] = {};
  int32_t highest = 0, n = -1;
  bool planSize = false;
  for (int32_t i = 0; i < track.count; ++i) {
    const SectorRecord& rec = track.records[i];
    if (!OwnId(t, rec)) continue;
    seen[rec.r] = true;
    if (rec.r > highest) highest = rec.r;
    if (n < 0) n = rec.n;
    if (rec.n == kPlanSizeCode) planSize = true;
  }
  if (planned && (n < 0 || planSize)) {
    if (highest < kPlanSectors) highest = kPlanSectors;
    n = kPlanSizeCode;
  }
  for (int32_t r = 1; r <= highest; ++r) {
    if (seen[r]) continue;
    if (drawn == kMaxCells) {
      ++hidden;
      continue;
    }
    cells.Missing(body_, x);
    AppendTitle(body_, "track " + std::to_string(t) + ": C" + std::to_string(t >> 1) + " H" + std::to_string(t & 1) +
                           " R" + std::to_string(r) + " N" + std::to_string(n) + " missing");
    body_ += "\n";
    x += kCell;
    ++drawn;
  }

  // The note: what the listing says of the walk's end, what was not drawn,
  // what d88adpcm reads of it.
  std::string note = track.present ? EndingWords(track) : "absent";
  auto addNote = [&note](const std::string& text) { note += (note.empty() ? "" : "; ") + text; };
  if (hidden > 0) addNote("and " + std::to_string(hidden) + " more not drawn");
  bool incomplete = false;
  if (planned) {
    const int32_t sectors = disk.plan.sectors[PlanSlot(t)];
    incomplete = sectors != kPlanSectors;
    const int width = (drawn > kPlanSectors ? drawn : kPlanSectors) * kCell + 3;
    AppendFormat(body_, "<rect class=\"%s\" x=\"%d.5\" y=\"%d.5\" width=\"%d\" height=\"%d\" fill=\"none\" stroke=\"%s\" "
                 "stroke-width=\"%d\"/>\n",
                 incomplete ? "plan incomplete" : "plan", kLeft - 3, y - 2, width, kRowHeight + 3,
                 incomplete ? "#c00000" : "#1f3b73", incomplete ? 2 : 1);
    if (incomplete) addNote("d88adpcm reads " + std::to_string(sectors) + " of " + std::to_string(kPlanSectors));
  }
  if (!note.empty()) {
    AppendFormat(body_, "<text x=\"%d\" y=\"%d\" fill=\"%s\">", x + 8 > kNoteColumn ? x + 8 : kNoteColumn, y + 9,
                 incomplete ? "#c00000" : ink);
    body_ += XmlText(note) + "</text>\n";
  }
  body_ += "</g>\n";
}

void DiskPicture::Finish() {
  // The head, known only now that the height is; the rows, drawn already,
  // are not copied but moved out, the head put before them.
  const int height = row_ * kPitch + 4;
  std::string svg;
  AppendFormat(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
               "font-family=\"sans-serif\" font-size=\"10\">\n", kWidth, height, kWidth, height);
  AppendFormat(svg, "<rect width=\"%d\" height=\"%d\" fill=\"#ffffff\"/>\n", kWidth, height);
  svg += "<text x=\"4\" y=\"18\" font-size=\"14\">" + XmlText(title_) + "</text>\n";

  // The legend: one cell of each kind, then the two outlines.
  int x = 4;
  const int y = 2 * kPitch + 2;
  for (const KindStyle& style : kStyles) {
    if (&style == &kMissing) {
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
  body_.insert(0, svg);
  body_ += "</svg>\n";
  svg_->swap(body_);
}

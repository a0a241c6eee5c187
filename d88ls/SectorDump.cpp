#include "d88ls/SectorDump.h"

#include <vector>

#include "common/ShiftJis.h"
#include "d88ls/Listing.h"

namespace {

constexpr size_t kBytesPerLine = 16;

// Every walk ends after kMaxRecordsPerTrack records.
SectorRecord g_records[kMaxRecordsPerTrack];
// A record's data: its size is 16 bits wide.
uint8_t g_data[0xFFFF];

// Whether a decoded character is written as itself: not a control
// character (C0, DEL or C1).
bool Shown(int32_t code) { return code >= 0x20 && code != 0x7F && !(code >= 0x80 && code < 0xA0); }

std::string Plural(int32_t count, const char* thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

}  // namespace

void DumpBytes(const uint8_t* data, size_t size, std::FILE* out) {
  size_t carried = 0;  // bytes of this line already written with the last line's character
  for (size_t line = 0; line < size; line += kBytesPerLine) {
    const size_t end = line + kBytesPerLine < size ? line + kBytesPerLine : size;
    std::fprintf(out, "%04x ", static_cast<unsigned>(line));
    for (size_t i = line; i < line + kBytesPerLine; ++i) {
      if (i < end) {
        std::fprintf(out, " %02x", data[i]);
      } else {
        std::fputs("   ", out);
      }
    }
    std::fputs("  ", out);
    for (size_t i = 0; i < carried; ++i) std::fputc(' ', out);
    size_t at = line + carried;
    while (at < end) {
      const size_t from = at;
      const int32_t code = NextShiftJisCharacter(data, size, &at);
      if (code >= 0 && Shown(code)) {
        std::fwrite(data + from, 1, at - from, out);
      } else {
        std::fputc('.', out);
        at = from + 1;
      }
    }
    carried = at - end;
    std::fputc('\n', out);
  }
}

std::string PrintSector(D88File& d88, const SectorChoice& choice, std::FILE* out) {
  if (choice.disk < 0 || choice.disk >= d88.GetDiskCount() || !d88.SelectDisk(choice.disk)) {
    return "no disk " + std::to_string(choice.disk) + "; the image holds " + Plural(d88.GetDiskCount(), "disk");
  }
  const std::string where = "disk " + std::to_string(choice.disk) + ", track " + std::to_string(choice.track);
  const RecordListing listing = d88.ReadRecords(choice.track, g_records, kMaxRecordsPerTrack);
  if (listing.end == WalkEnd::kNoTrack) return "disk " + std::to_string(choice.disk) + " has no track " + std::to_string(choice.track);
  if (choice.record < 1 || choice.record > listing.records) {
    return where + ": no record " + std::to_string(choice.record) + "; the track holds " +
           Plural(listing.records, "record");
  }
  const SectorRecord& rec = g_records[choice.record - 1];
  std::vector<std::string> marks = RecordMarks(rec);
  if (rec.dataPresent < rec.dataSize) marks.push_back("file ends after " + std::to_string(rec.dataPresent) + " of them");
  std::fprintf(out, "C%u H%u R%u N%u", rec.c, rec.h, rec.r, rec.n);
  for (size_t i = 0; i < marks.size(); ++i) std::fprintf(out, "%s%s", i == 0 ? " (" : ", ", marks[i].c_str());
  std::fprintf(out, "%s: %u bytes\n", marks.empty() ? "" : ")", static_cast<unsigned>(rec.dataSize));
  const int32_t got = d88.ReadRecordData(rec, g_data, static_cast<int32_t>(sizeof g_data));
  DumpBytes(g_data, static_cast<size_t>(got), out);
  return "";
}

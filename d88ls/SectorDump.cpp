#include "d88ls/SectorDump.h"

#include "common/ShiftJis.h"
#include "d88ls/ImageWalk.h"

namespace {

constexpr size_t kBytesPerLine = 16;

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

std::string PrintSector(D88File& d88, const SectorChoice& choice, uint64_t fileSize, std::FILE* out) {
  if (choice.disk < 0 || choice.disk >= d88.GetDiskCount() || !d88.SelectDisk(choice.disk)) {
    return "no disk " + std::to_string(choice.disk) + "; the image holds " + Plural(d88.GetDiskCount(), "disk");
  }
  const TrackFacts track = WalkTrack(d88, choice.track, fileSize);
  const std::string disk = "disk " + std::to_string(choice.disk);
  if (!track.present) return disk + " has no track " + std::to_string(choice.track);
  if (choice.record < 1 || choice.record > track.count) {
    return disk + ", track " + std::to_string(choice.track) + ": no record " + std::to_string(choice.record) +
           "; the track holds " + Plural(track.count, "record");
  }
  const SectorRecord& rec = track.records[choice.record - 1];
  std::fprintf(out, "%s: %u bytes\n", RecordText(rec).c_str(), static_cast<unsigned>(rec.dataSize));
  const int32_t got = d88.ReadRecordData(rec, g_data, static_cast<int32_t>(sizeof g_data));
  DumpBytes(g_data, static_cast<size_t>(got), out);
  return "";
}

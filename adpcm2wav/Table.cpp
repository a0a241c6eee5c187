#include "adpcm2wav/Table.h"

#include <cmath>
#include <cstdlib>

#include "adpcm/AdpcmB.h"
#include "common/Json.h"

namespace {

// The file column's width: as wide as the sample's names, so that the last
// column lines up for them; longer names push it out.
constexpr int kFileColumn = 12;

}  // namespace

int32_t PeakLevel(const int16_t* samples, size_t count) {
  int32_t peak = 0;
  for (size_t i = 0; i < count; ++i) {
    const int32_t level = samples[i] < 0 ? -static_cast<int32_t>(samples[i]) : samples[i];
    if (level > peak) peak = level;
  }
  return peak;
}

std::string PeakText(int32_t peak) {
  if (peak <= 0) return "-inf";
  double db = 20.0 * std::log10(peak / 32768.0);
  // 32,767 is -0.0003 dB: printed to one decimal it would carry a sign.
  if (db > -0.05) db = 0.0;
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", db);
  return text;
}

void PrintUnitLine(std::FILE* out, size_t unit, bool given) {
  std::fprintf(out, "address unit: %zu bytes (%s)\n", unit, given ? "given" : "inferred");
}

void PrintTableHeading(std::FILE* out) {
  std::fprintf(out, "%5s  %-9s %-9s %8s %9s %10s  %-*s  %s\n", "sound", "start", "end", "bytes", "seconds", "peak dBFS",
               kFileColumn, "file", "ended by");
}

void PrintTableRow(std::FILE* out, const TableRow& row, uint32_t rate) {
  char start[24], end[24];
  std::snprintf(start, sizeof start, "0x%05zX", row.span.start);
  std::snprintf(end, sizeof end, "0x%05zX", row.span.end);
  const double seconds = static_cast<double>(row.span.size() * kSamplesPerByte) / rate;
  std::fprintf(out, "%5s  %-9s %-9s %8zu %9.3f %10s  %-*s  %s\n", row.label.c_str(), start, end, row.span.size(),
               seconds, PeakText(row.peak).c_str(), kFileColumn, row.file.c_str(), row.ending.c_str());
}

void PrintLeftOut(std::FILE* out, size_t notSoundBytes) {
  std::fprintf(out, "left out as not sound: %zu bytes\n", notSoundBytes);
}

void PrintTableJson(std::FILE* out, const std::string& image, size_t imageSize, uint32_t rate,
                    const std::vector<TableRow>& rows, const SoundSearch& found) {
  JsonWriter json(out);
  json.BeginObject(true);
  json.Key("image");
  json.String(image.c_str());
  json.Key("file_size");
  json.Int(static_cast<int64_t>(imageSize));
  json.Key("rate");
  json.Int(rate);
  json.Key("unit");
  json.Int(static_cast<int64_t>(found.unit));
  json.Key("unit_inferred");
  json.Bool(!found.unitGiven);
  json.Key("sounds");
  json.BeginArray(true);
  for (const TableRow& row : rows) {
    json.BeginObject();
    json.Key("sound");
    json.Int(std::atoi(row.label.c_str()));
    json.Key("start");
    json.Int(static_cast<int64_t>(row.span.start));
    json.Key("end");
    json.Int(static_cast<int64_t>(row.span.end));
    json.Key("bytes");
    json.Int(static_cast<int64_t>(row.span.size()));
    json.Key("seconds");
    json.Fixed(static_cast<double>(row.span.size() * kSamplesPerByte) / rate, 3);
    json.Key("peak");
    json.Int(row.peak);
    json.Key("peak_dbfs");
    const std::string peak = PeakText(row.peak);
    if (row.peak > 0) {
      json.Fixed(std::atof(peak.c_str()), 1);
    } else {
      json.Null();
    }
    json.Key("file");
    json.String(row.file.c_str());
    json.Key("ended_by");
    json.String(row.ending.c_str());
    json.EndObject();
  }
  json.EndArray();
  json.Key("not_sound");
  json.BeginArray(true);
  for (const ByteSpan& span : found.notSound) {
    json.BeginObject();
    json.Key("start");
    json.Int(static_cast<int64_t>(span.start));
    json.Key("end");
    json.Int(static_cast<int64_t>(span.end));
    json.EndObject();
  }
  json.EndArray();
  json.Key("not_sound_bytes");
  json.Int(static_cast<int64_t>(found.notSoundBytes));
  json.EndObject();
  json.Finish();
}

#include "adpcm2wav/Table.h"

#include <cmath>

#include "adpcm/AdpcmB.h"

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

void PrintTableHeading(std::FILE* out) {
  std::fprintf(out, "%5s  %-9s %-9s %8s %9s %10s  %s\n", "sound", "start", "end", "bytes", "seconds", "peak dBFS",
               "file");
}

void PrintTableRow(std::FILE* out, const TableRow& row, uint32_t rate) {
  char start[24], end[24];
  std::snprintf(start, sizeof start, "0x%05zX", row.span.start);
  std::snprintf(end, sizeof end, "0x%05zX", row.span.end);
  const double seconds = static_cast<double>(row.span.size() * kSamplesPerByte) / rate;
  std::fprintf(out, "%5s  %-9s %-9s %8zu %9.3f %10s  %s\n", row.label.c_str(), start, end, row.span.size(), seconds,
               PeakText(row.peak).c_str(), row.file.c_str());
}

#include "adpcm2wav/Picture.h"

#include <cstdio>

#include "adpcm/AdpcmB.h"
#include "common/Text.h"

namespace {

// Layout, in pixels. A row holds kColumns columns of equal byte counts;
// 256 KiB fills 16 rows of 16 bytes a column.
constexpr int kColumns = 1024;
constexpr int kLeft = 80;      // room for the row's address
constexpr int kTop = 36;       // room for the title
constexpr int kRowHeight = 64;
constexpr int kRowGap = 10;
constexpr int kRight = 16;
constexpr size_t kTargetRows = 16;
const char* const kColors[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#17becf"};

}  // namespace

std::string DrawImage(const uint8_t* image, size_t size, const SoundSearch& found, const std::string& title) {
  std::vector<ByteSpan> sounds;
  for (const FoundSound& sound : found.sounds) sounds.push_back(sound.span);
  const size_t perColumn = size <= kColumns * kTargetRows ? 1 : (size + kColumns * kTargetRows - 1) / (kColumns * kTargetRows);
  const size_t perRow = perColumn * kColumns;
  const size_t rows = size == 0 ? 1 : (size + perRow - 1) / perRow;
  const int width = kLeft + kColumns + kRight;
  const int height = kTop + static_cast<int>(rows) * (kRowHeight + kRowGap);
  auto rowTop = [](size_t row) { return kTop + static_cast<int>(row) * (kRowHeight + kRowGap); };

  std::string svg;
  AppendFormat(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
              "font-family=\"sans-serif\" font-size=\"11\">\n", width, height, width, height);
  AppendFormat(svg, "<rect width=\"%d\" height=\"%d\" fill=\"#ffffff\"/>\n", width, height);
  svg += "<text x=\"" + std::to_string(kLeft) + "\" y=\"22\" font-size=\"14\">" + XmlText(title) + "</text>\n";

  // Rows: a frame, the address of their first byte, a centre line. Every
  // byte not in a sound is gap, shaded first so that sounds draw over it.
  for (size_t row = 0; row < rows; ++row) {
    const int top = rowTop(row);
    const size_t first = row * perRow;
    const size_t last = first + perRow < size ? first + perRow : size;
    const int used = static_cast<int>((last - first + perColumn - 1) / perColumn);
    AppendFormat(svg, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\" fill=\"#555555\">0x%05zX</text>\n", kLeft - 6,
           top + kRowHeight / 2 + 4, first);
    AppendFormat(svg, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#d9d9d9\"/>\n", kLeft, top, used, kRowHeight);
  }
  // A span's stretch of each row it covers, as a rectangle of `fill`.
  auto shade = [&](const ByteSpan& s, const char* attributes) {
    for (size_t row = s.start / perRow; row * perRow < s.end; ++row) {
      const size_t from = s.start > row * perRow ? s.start : row * perRow;
      const size_t to = s.end < (row + 1) * perRow ? s.end : (row + 1) * perRow;
      const size_t x0 = (from - row * perRow) / perColumn, x1 = (to - row * perRow + perColumn - 1) / perColumn;
      AppendFormat(svg, "<rect x=\"%zu\" y=\"%d\" width=\"%zu\" height=\"%d\" %s/>\n", kLeft + x0, rowTop(row), x1 - x0,
             kRowHeight, attributes);
    }
  };
  if (!found.notSound.empty()) {
    svg += "<defs><pattern id=\"not-sound\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\">"
           "<rect width=\"6\" height=\"6\" fill=\"#f6d5d5\"/><path d=\"M0 6L6 0\" stroke=\"#d62728\" stroke-width=\"1\"/>"
           "</pattern></defs>\n";
  }
  for (const ByteSpan& s : found.notSound) shade(s, "class=\"not-sound\" fill=\"url(#not-sound)\"");
  for (const ByteSpan& s : sounds) shade(s, "fill=\"#ffffff\"");
  for (size_t row = 0; row < rows; ++row) {
    AppendFormat(svg, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"#bbbbbb\" stroke-width=\"0.5\"/>\n", kLeft,
           rowTop(row) + kRowHeight / 2, kLeft + kColumns, rowTop(row) + kRowHeight / 2);
  }

  // Each sound: the lowest and highest sample of every column it covers, as
  // one vertical stroke a column, then its number and start offset.
  std::vector<int16_t> samples;
  for (size_t k = 0; k < sounds.size(); ++k) {
    const ByteSpan& s = sounds[k];
    samples.resize(s.size() * kSamplesPerByte);
    DecodeAdpcmB(image + s.start, s.size(), samples.data());
    AppendFormat(svg, "<path fill=\"none\" stroke=\"%s\" stroke-width=\"1\" d=\"", kColors[k % (sizeof kColors / sizeof kColors[0])]);
    size_t at = s.start;
    while (at < s.end) {
      const size_t column = at / perColumn;
      const size_t next = (column + 1) * perColumn < s.end ? (column + 1) * perColumn : s.end;
      int lo = 32767, hi = -32768;
      for (size_t i = (at - s.start) * kSamplesPerByte; i < (next - s.start) * kSamplesPerByte; ++i) {
        if (samples[i] < lo) lo = samples[i];
        if (samples[i] > hi) hi = samples[i];
      }
      const size_t row = column / kColumns;
      const double middle = rowTop(row) + kRowHeight / 2.0, scale = (kRowHeight / 2.0 - 1) / 32768.0;
      AppendFormat(svg, "M%zu.5 %.1fV%.1f", kLeft + column % kColumns, middle - hi * scale, middle - lo * scale + 0.5);
      at = next;
    }
    svg += "\"/>\n";
    const size_t row = s.start / perRow;
    AppendFormat(svg, "<text x=\"%zu\" y=\"%d\" fill=\"%s\">#%zu 0x%05zX</text>\n", kLeft + (s.start % perRow) / perColumn + 2,
           rowTop(row) + 11, kColors[k % (sizeof kColors / sizeof kColors[0])], k + 1, s.start);
  }
  svg += "</svg>\n";
  return svg;
}

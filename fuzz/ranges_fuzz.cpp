// adpcm2wav --ranges FILE on any text, against the rule the list keeps:
// a list taken whole is text (no control byte but tabs and line ends), its
// ranges non-empty, within the image and disjoint, one for each line that
// holds one; and a list is refused at its first wrong line: cut before that
// line it is taken, cut after it it is refused there for the same reason.
//
// Input: two bytes of the image's size in 16-byte units, then the text.
#include <algorithm>
#include <string>
#include <vector>

#include "adpcm2wav/Ranges.h"
#include "fuzz/FuzzSupport.h"

namespace {

using fuzzing::Check;

// The first `lines` lines of `text`, each with its line feed.
std::string FirstLines(const std::string& text, size_t lines) {
  size_t at = 0;
  for (size_t k = 0; k < lines; ++k) at = text.find('\n', at) + 1;
  return text.substr(0, at);
}

bool IsTextByte(const std::string& text, size_t i) {
  const unsigned char byte = static_cast<unsigned char>(text[i]);
  if (byte == '\r') return i + 1 == text.size() || text[i + 1] == '\n';
  return (byte >= 0x20 && byte != 0x7F) || byte == '\t' || byte == '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t imageSize = 16u * (data[0] | (data[1] << 8));
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
  const RangeList list = ParseRanges(text, imageSize);
  const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;

  if (list.badLine == 0) {
    Check(list.problem.empty());
    for (size_t i = 0; i < text.size(); ++i) Check(IsTextByte(text, i) || (i < 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0));
    std::vector<ByteSpan> spans = list.spans;
    std::sort(spans.begin(), spans.end(), [](const ByteSpan& a, const ByteSpan& b) { return a.start < b.start; });
    for (size_t k = 0; k < spans.size(); ++k) {
      Check(spans[k].start < spans[k].end && spans[k].end <= imageSize);
      if (k > 0) Check(spans[k - 1].end <= spans[k].start);
    }
    Check(list.spans.size() <= lines);
    return 0;
  }
  Check(list.spans.empty() && !list.problem.empty() && list.badLine <= lines);
  // Taken up to the wrong line; refused at it, and for the same reason,
  // once it is there.
  const RangeList before = ParseRanges(FirstLines(text, list.badLine - 1), imageSize);
  Check(before.badLine == 0);
  if (list.badLine < lines) {
    const RangeList upTo = ParseRanges(FirstLines(text, list.badLine), imageSize);
    Check(upTo.badLine == list.badLine && upTo.problem == list.problem);
  }
  return 0;
}

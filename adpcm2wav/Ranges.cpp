#include "adpcm2wav/Ranges.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "adpcm2wav/Options.h"

namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; }

std::string Trim(const std::string& text) {
  size_t from = 0, to = text.size();
  while (from < to && IsBlank(text[from])) ++from;
  while (to > from && IsBlank(text[to - 1])) --to;
  return text.substr(from, to - from);
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%" PRIX64, value);
  return text;
}

}  // namespace

RangeList ParseRanges(const std::string& text, size_t imageSize) {
  RangeList list;
  std::vector<size_t> lines;  // the line of each span
  size_t lineNumber = 0;
  for (size_t at = 0; at <= text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    line = Trim(line);
    if (line.empty()) continue;
    auto fail = [&](const std::string& problem) {
      list.spans.clear();
      list.badLine = lineNumber;
      list.problem = problem;
      return list;
    };
    const size_t colon = line.find(':');
    uint64_t start = 0, stop = 0;
    if (colon == std::string::npos || !ParseCount(Trim(line.substr(0, colon)).c_str(), &start) ||
        !ParseCount(Trim(line.substr(colon + 1)).c_str(), &stop)) {
      return fail("not a range START:END: " + line);
    }
    const std::string range = Hex(start) + ":" + Hex(stop);
    if (start >= stop) return fail("range " + range + " is empty or reversed");
    if (stop > imageSize) {
      return fail("range " + range + " is not within the file's " + std::to_string(imageSize) + " bytes");
    }
    list.spans.push_back({static_cast<size_t>(start), static_cast<size_t>(stop)});
    lines.push_back(lineNumber);
  }
  // Overlaps, found among neighbours in address order; the later line of a
  // pair is the one reported.
  std::vector<size_t> order(list.spans.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return list.spans[a].start < list.spans[b].start || (list.spans[a].start == list.spans[b].start && a < b);
  });
  size_t worst = 0, other = 0;
  size_t reach = 0;  // of the spans so far in address order, the one reaching furthest
  for (size_t k = 1; k < order.size(); ++k) {
    if (list.spans[order[k - 1]].end > list.spans[order[reach]].end) reach = k - 1;
    const size_t here = order[k], there = order[reach];
    if (list.spans[here].start < list.spans[there].end) {
      const size_t later = std::max(lines[here], lines[there]), earlier = std::min(lines[here], lines[there]);
      if (worst == 0 || later < worst) {
        worst = later;
        other = earlier;
      }
    }
  }
  if (worst != 0) {
    list.spans.clear();
    list.badLine = worst;
    list.problem = "overlaps line " + std::to_string(other);
  }
  return list;
}

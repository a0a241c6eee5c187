#include "adpcm2wav/Ranges.h"

#include <cinttypes>
#include <cstdio>
#include <iterator>
#include <map>
#include <utility>

#include "adpcm2wav/Options.h"

namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

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

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

bool ParseRange(const std::string& text, uint64_t* start, uint64_t* end) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  uint64_t first = 0, last = 0;
  if (!ParseCount(Trim(text.substr(0, colon)), &first) || !ParseCount(Trim(text.substr(colon + 1)), &last)) return false;
  *start = first;
  *end = last;
  return true;
}

std::string RangeProblem(uint64_t start, uint64_t end, size_t imageSize) {
  const std::string range = "range " + Hex(start) + ":" + Hex(end);
  if (start >= end) return range + " is empty or reversed";
  if (end > imageSize) return range + " is not within the file's " + std::to_string(imageSize) + " bytes";
  return "";
}

RangeList ParseRanges(const std::string& text, size_t imageSize) {
  RangeList list;
  // The ranges so far, by start: disjoint, since the first overlap ends the
  // list. Each with its end and its line.
  std::map<uint64_t, std::pair<uint64_t, size_t>> taken;
  size_t lineNumber = 0;
  const size_t bom = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
  for (size_t at = bom; at <= text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    auto fail = [&](const std::string& problem) {
      list.spans.clear();
      list.badLine = lineNumber;
      list.problem = problem;
      return list;
    };
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (const char ch : line) {
      const unsigned char byte = static_cast<unsigned char>(ch);
      if ((byte < 0x20 && ch != '\t') || byte == 0x7F) {
        char problem[48];
        std::snprintf(problem, sizeof problem, "byte 0x%02X is not text", byte);
        return fail(problem);
      }
    }
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    line = Trim(line);
    if (line.empty()) continue;
    uint64_t start = 0, stop = 0;
    if (!ParseRange(line, &start, &stop)) return fail("not a range START:END: " + line);
    const std::string problem = RangeProblem(start, stop, imageSize);
    if (!problem.empty()) return fail(problem);
    // The earlier ranges this one overlaps: the one before its start that
    // reaches into it, and those that start inside it.
    size_t other = 0;
    auto it = taken.lower_bound(start);
    if (it != taken.begin() && std::prev(it)->second.first > start) other = std::prev(it)->second.second;
    for (; it != taken.end() && it->first < stop; ++it) {
      if (other == 0 || it->second.second < other) other = it->second.second;
    }
    if (other != 0) return fail("overlaps line " + std::to_string(other));
    taken[start] = {stop, lineNumber};
    list.spans.push_back({static_cast<size_t>(start), static_cast<size_t>(stop)});
  }
  return list;
}

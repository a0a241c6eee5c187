#include "adpcm2wav/Convert.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "adpcm/Wav.h"
#include "adpcm2wav/Picture.h"
#include "adpcm2wav/Ranges.h"
#include "adpcm2wav/Table.h"
#include "common/Files.h"

namespace {

// One WAV file of a run: the stretches decoded into it, each from the
// decoder's reset state at its own place, everything else silence.
struct WavJob {
  TableRow row;
  std::vector<ByteSpan> pieces;
};

// NAME-01.wav, NAME-02.wav, ...: one file a sound, numbered from 1.
std::vector<WavJob> NumberedFiles(const std::string& name, const std::vector<ByteSpan>& spans) {
  std::vector<WavJob> jobs;
  for (size_t k = 0; k < spans.size(); ++k) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "-%02zu.wav", k + 1);
    jobs.push_back({{std::to_string(k + 1), spans[k], 0, name + suffix, "-"}, {spans[k]}});
  }
  return jobs;
}

// The files the run writes (with --list, would write), in order. `ranges`
// is the list of --ranges.
std::vector<WavJob> PlanFiles(const Adpcm2WavOptions& options, size_t imageSize, const std::vector<ByteSpan>& sounds,
                              const std::vector<ByteSpan>& ranges) {
  const std::string name = options.prefix.empty() ? FileName(options.image) : options.prefix;
  std::vector<WavJob> jobs;
  switch (options.mode) {
    case WavMode::kRange: {
      const ByteSpan span = {static_cast<size_t>(options.rangeStart), static_cast<size_t>(options.rangeEnd)};
      jobs.push_back({{"range", span, 0, name + ".wav", "-"}, {span}});
      break;
    }
    case WavMode::kWhole:
      // A time in the file is an address: every byte outside a sound is two
      // silent samples.
      jobs.push_back({{"whole", {0, imageSize}, 0, name + ".wav", "-"}, sounds});
      break;
    case WavMode::kRanges:
      jobs = NumberedFiles(name, ranges);
      break;
    default:
      jobs = NumberedFiles(name, sounds);
  }
  return jobs;
}

// The ranges of --ranges FILE, checked against an image of `imageSize`
// bytes. Returns 0, or the exit code of the error it printed.
int ReadRanges(const std::string& path, size_t imageSize, std::vector<ByteSpan>* ranges, std::FILE* out,
               std::FILE* err) {
  std::vector<uint8_t> bytes;
  const int error = path == "-" ? ReadWholeStream(stdin, &bytes) : ReadWholeFile(path.c_str(), &bytes);
  if (error != 0) return FileError(kAdpcm2Wav, path, error, err);
  const RangeList list = ParseRanges(std::string(bytes.begin(), bytes.end()), imageSize);
  if (list.badLine != 0) {
    return EndWithoutRun(kAdpcm2Wav, CommandAction::kUsageError,
                         path + ":" + std::to_string(list.badLine) + ": " + list.problem, out, err);
  }
  if (list.spans.empty()) {
    return EndWithoutRun(kAdpcm2Wav, CommandAction::kUsageError, path + " holds no range", out, err);
  }
  *ranges = list.spans;
  return 0;
}

}  // namespace

int ConvertImage(const Adpcm2WavOptions& options, std::FILE* out, std::FILE* err) {
  std::vector<uint8_t> image;
  if (const int error = ReadWholeFile(options.image.c_str(), &image)) {
    return FileError(kAdpcm2Wav, options.image, error, err);
  }
  if (options.mode == WavMode::kRange) {
    const std::string problem = RangeProblem(options.rangeStart, options.rangeEnd, image.size());
    if (!problem.empty()) return EndWithoutRun(kAdpcm2Wav, CommandAction::kUsageError, problem, out, err);
  }
  std::vector<ByteSpan> ranges;
  if (options.mode == WavMode::kRanges) {
    if (const int code = ReadRanges(options.rangesFile, image.size(), &ranges, out, err)) return code;
  }
  // The search serves the sounds, the table, --whole and the picture; a
  // range or a list of ranges given needs none of it.
  const bool searched = options.mode == WavMode::kSounds || options.mode == WavMode::kList;
  SoundSearch found;
  if (searched || options.mode == WavMode::kWhole || !options.svg.empty()) {
    SearchOptions search;
    search.fillRun = options.minGap;
    search.unit = options.unit;
    found = FindSounds(image.data(), image.size(), search);
  }
  std::vector<ByteSpan> sounds;
  for (const FoundSound& sound : found.sounds) sounds.push_back(sound.span);

  if (!options.svg.empty()) {
    char title[256];
    std::snprintf(title, sizeof title, "%s: %zu bytes, %zu sound%s, %zu bytes left out as not sound",
                  FileName(options.image).c_str(), image.size(), sounds.size(), sounds.size() == 1 ? "" : "s",
                  found.notSoundBytes);
    const std::string svg = DrawImage(image.data(), image.size(), found, title);
    if (const int error = WriteWholeFile(options.svg, reinterpret_cast<const uint8_t*>(svg.data()), svg.size())) {
      return FileError(kAdpcm2Wav, options.svg, error, err);
    }
  }

  std::vector<WavJob> jobs = PlanFiles(options, image.size(), sounds, ranges);
  if (searched) {
    for (size_t k = 0; k < jobs.size(); ++k) jobs[k].row.ending = SoundEndName(found.sounds[k].end);
  }
  // The text table is printed a row at a time, so that what was done before
  // a failure shows; the JSON one (--list --json, nothing written) whole.
  if (!options.json) {
    if (jobs.empty()) {
      std::fprintf(out, "no sound found in %s\n", options.image.c_str());
      if (searched) PrintLeftOut(out, found.notSoundBytes);
      return kExitDone;
    }
    if (searched || options.mode == WavMode::kWhole) PrintUnitLine(out, found.unit, found.unitGiven);
    PrintTableHeading(out);
  }
  std::vector<TableRow> rows;
  std::vector<int16_t> samples;
  for (const WavJob& job : jobs) {
    const ByteSpan& span = job.row.span;
    if (span.size() * kSamplesPerByte > kMaxWavSamples) {
      return EndWithoutRun(kAdpcm2Wav, CommandAction::kUsageError, job.row.file + " would be too long for one WAV file",
                           out, err);
    }
    samples.assign(span.size() * kSamplesPerByte, 0);
    for (const ByteSpan& piece : job.pieces) {
      DecodeAdpcmB(image.data() + piece.start, piece.size(), samples.data() + (piece.start - span.start) * kSamplesPerByte);
    }
    TableRow row = job.row;
    row.peak = PeakLevel(samples.data(), samples.size());
    if (options.mode != WavMode::kList) {
      const std::vector<uint8_t> wav = WavFile(options.rate, samples.data(), samples.size());
      if (const int error = WriteWholeFile(row.file, wav.data(), wav.size())) {
        std::fflush(out);
        return FileError(kAdpcm2Wav, row.file, error, err);
      }
    }
    if (options.json) {
      rows.push_back(row);
    } else {
      PrintTableRow(out, row, options.rate);
    }
  }
  if (options.json) {
#ifdef _WIN32
    // ASCII with line feeds, the same bytes on every platform.
    std::fflush(out);
    _setmode(_fileno(out), _O_BINARY);
#endif
    PrintTableJson(out, options.image, image.size(), options.rate, rows, found);
  } else if (searched) {
    PrintLeftOut(out, found.notSoundBytes);
  }
  return kExitDone;
}

int RunAdpcm2Wav(int argc, char** argv) {
  const Adpcm2WavCommandLine line = ParseAdpcm2WavOptions(argc, argv);
  if (line.action != CommandAction::kRun) return EndWithoutRun(kAdpcm2Wav, line.action, line.problem);
  return ConvertImage(line.options, stdout, stderr);
}

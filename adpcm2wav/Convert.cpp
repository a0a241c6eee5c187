#include "adpcm2wav/Convert.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "adpcm/Wav.h"
#include "adpcm2wav/Picture.h"

namespace {

constexpr const char* kUsage =
    "Usage: adpcm2wav [-r HZ | --delta-n N] [--min-gap BYTES] [-o PREFIX] [--list | --range START:END | --whole] "
    "[--svg FILE] IMAGE\n";
// Most programs set delta-N 0x49BA: 15,974 Hz, their "16 kHz".
constexpr uint32_t kDefaultRate = 15974;
constexpr uint64_t kMaxRate = 1000000;

enum class Mode { kSounds, kList, kRange, kWhole };

struct Options {
  uint32_t rate = kDefaultRate;
  size_t minGap = kDefaultFillRun;
  Mode mode = Mode::kSounds;
  uint64_t rangeStart = 0, rangeEnd = 0;
  std::string prefix;  // empty: IMAGE's file name
  const char* svg = nullptr;
  const char* image = nullptr;
};

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "adpcm2wav: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

int FileError(const std::string& path, int error) {
  std::fprintf(stderr, "adpcm2wav: %s: %s\n", path.c_str(), std::strerror(error));
  return 1;
}

// A count in decimal or, after 0x, hexadecimal; nothing else, no sign.
bool ParseNumber(const char* text, uint64_t* value) {
  int base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
  }
  if (*text == '\0') return false;
  uint64_t v = 0;
  for (; *text != '\0'; ++text) {
    const char ch = *text;
    int digit;
    if (ch >= '0' && ch <= '9') {
      digit = ch - '0';
    } else if (base == 16 && ch >= 'a' && ch <= 'f') {
      digit = ch - 'a' + 10;
    } else if (base == 16 && ch >= 'A' && ch <= 'F') {
      digit = ch - 'A' + 10;
    } else {
      return false;
    }
    if (v > (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) return false;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  *value = v;
  return true;
}

// Reads the command line into `options`; an empty string, or what is wrong.
std::string ParseOptions(int argc, char** argv, Options* options) {
  bool rateGiven = false, modeGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const char* value = nullptr;
    // Long options take their value as --name=VALUE or as the next word.
    const size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = argv[i] + equals + 1;
      arg.resize(equals);
    }
    auto takesValue = [&]() -> bool {
      if (value != nullptr) return true;
      if (i + 1 >= argc) return false;
      value = argv[++i];
      return true;
    };
    auto setMode = [&](Mode mode) {
      if (modeGiven) return false;
      modeGiven = true;
      options->mode = mode;
      return true;
    };
    uint64_t number = 0;
    if (arg == "-r" || arg == "--rate" || arg == "--delta-n") {
      if (!takesValue()) return arg + " needs a value";
      if (rateGiven) return "give the rate once, with -r or --delta-n";
      rateGiven = true;
      if (!ParseNumber(value, &number)) return std::string("not a number: ") + value;
      if (arg == "--delta-n") {
        if (number < 1 || number > 0xFFFF) return std::string("delta-N must be 1 to 65535: ") + value;
        number = RateForDeltaN(static_cast<uint32_t>(number));
      }
      if (number < 1 || number > kMaxRate) return "the rate must be 1 to 1000000 Hz";
      options->rate = static_cast<uint32_t>(number);
    } else if (arg == "--min-gap") {
      if (!takesValue()) return arg + " needs a value";
      if (!ParseNumber(value, &number) || number < 1 || number > SIZE_MAX) return std::string("not a gap length: ") + value;
      options->minGap = static_cast<size_t>(number);
    } else if (arg == "-o") {
      if (!takesValue()) return arg + " needs a value";
      if (*value == '\0') return "-o needs a prefix";
      options->prefix = value;
    } else if (arg == "--svg") {
      if (!takesValue()) return arg + " needs a value";
      options->svg = value;
    } else if (arg == "--list" || arg == "--whole") {
      if (value != nullptr) return arg + " takes no value";
      if (!setMode(arg == "--list" ? Mode::kList : Mode::kWhole)) return "choose one of --list, --range and --whole";
    } else if (arg == "--range") {
      if (!takesValue()) return arg + " needs a value";
      if (!setMode(Mode::kRange)) return "choose one of --list, --range and --whole";
      const char* colon = std::strchr(value, ':');
      if (colon == nullptr) return std::string("not a range START:END: ") + value;
      const std::string start(value, static_cast<size_t>(colon - value));
      if (!ParseNumber(start.c_str(), &options->rangeStart) || !ParseNumber(colon + 1, &options->rangeEnd)) {
        return std::string("not a range START:END: ") + value;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return "unknown option " + arg;
    } else if (options->image != nullptr) {
      return "one IMAGE only";
    } else {
      options->image = argv[i];
    }
  }
  if (options->image == nullptr) return "no IMAGE";
  return "";
}

// The whole file, in one read where its size is known beforehand.
bool ReadImage(const char* path, std::vector<uint8_t>* image, int* error) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    *error = errno;
    return false;
  }
  std::setvbuf(f, nullptr, _IONBF, 0);
  struct stat info;
  bool ok = fstat(fileno(f), &info) == 0;
  if (ok && S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    ok = false;
  }
  if (ok && S_ISREG(info.st_mode)) {
    image->resize(static_cast<size_t>(info.st_size));
    ok = image->empty() || std::fread(image->data(), 1, image->size(), f) == image->size();
  } else if (ok) {
    // A pipe or a device: read until it ends.
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) image->insert(image->end(), chunk, chunk + got);
    ok = !std::ferror(f);
  }
  if (!ok) *error = errno != 0 ? errno : EIO;
  std::fclose(f);
  return ok;
}

// Writes `bytes` to `path` under a temporary name in the same folder, then
// renames it, so that no half-written file ever carries the final name.
bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes, int* error) {
  const std::string temporary = path + ".part";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr) {
    *error = errno;
    return false;
  }
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (!ok) *error = errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    *error = errno;
  }
#ifdef _WIN32
  // rename() will not replace an existing file on Windows.
  if (ok && !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ok = false;
    *error = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  }
#else
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    *error = errno;
  }
#endif
  if (!ok) std::remove(temporary.c_str());
  return ok;
}

// A WAV file of `samples`.
std::vector<uint8_t> WavFile(uint32_t rate, const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(kWavHeaderSize + 2 * samples.size());
  uint8_t header[kWavHeaderSize];
  WavHeader(rate, static_cast<uint32_t>(samples.size()), header);
  std::memcpy(bytes.data(), header, kWavHeaderSize);
  WavSamples(samples.data(), samples.size(), bytes.data() + kWavHeaderSize);
  return bytes;
}

// The loudest sample relative to full scale, as the table prints it.
std::string PeakText(const std::vector<int16_t>& samples, size_t from, size_t to) {
  int32_t peak = 0;
  for (size_t i = from; i < to; ++i) {
    const int32_t level = samples[i] < 0 ? -static_cast<int32_t>(samples[i]) : samples[i];
    if (level > peak) peak = level;
  }
  if (peak == 0) return "-inf";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(peak / 32768.0));
  return text;
}

void PrintHeading() { std::printf("%5s  %-9s %-9s %8s %9s %10s  %s\n", "sound", "start", "end", "bytes", "seconds", "peak dBFS", "file"); }

void PrintRow(const char* number, const ByteSpan& span, uint32_t rate, const std::string& peak, const std::string& file) {
  char start[24], end[24];
  std::snprintf(start, sizeof start, "0x%05zX", span.start);
  std::snprintf(end, sizeof end, "0x%05zX", span.end);
  const double seconds = static_cast<double>(span.size() * kSamplesPerByte) / rate;
  std::printf("%5s  %-9s %-9s %8zu %9.3f %10s  %s\n", number, start, end, span.size(), seconds, peak.c_str(), file.c_str());
}

// IMAGE's file name without its folders.
std::string BaseName(const char* path) {
  std::string name = path;
#ifdef _WIN32
  const size_t slash = name.find_last_of("/\\:");
#else
  const size_t slash = name.find_last_of('/');
#endif
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

int RunAdpcm2Wav(int argc, char** argv) {
  Options options;
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::string problem = ParseOptions(argc, argv, &options);
  if (!problem.empty()) return UsageError(problem);

  std::vector<uint8_t> image;
  int error = 0;
  if (!ReadImage(options.image, &image, &error)) return FileError(options.image, error);
  if (options.mode == Mode::kRange &&
      (options.rangeStart >= options.rangeEnd || options.rangeEnd > image.size())) {
    char text[96];
    std::snprintf(text, sizeof text, "range 0x%llX:0x%llX is not within the file's %zu bytes",
                  static_cast<unsigned long long>(options.rangeStart), static_cast<unsigned long long>(options.rangeEnd),
                  image.size());
    return UsageError(text);
  }
  const std::string name = options.prefix.empty() ? BaseName(options.image) : options.prefix;
  SearchOptions search;
  search.fillRun = options.minGap;
  std::vector<ByteSpan> sounds;
  for (const FoundSound& found : FindSounds(image.data(), image.size(), search).sounds) sounds.push_back(found.span);

  if (options.svg != nullptr) {
    char title[256];
    std::snprintf(title, sizeof title, "%s: %zu bytes, %zu sound%s (gaps of %zu or more 0x00 or 0xFF bytes)",
                  BaseName(options.image).c_str(), image.size(), sounds.size(), sounds.size() == 1 ? "" : "s",
                  options.minGap);
    const std::string svg = DrawImage(image.data(), image.size(), sounds, title);
    if (!WriteWhole(options.svg, std::vector<uint8_t>(svg.begin(), svg.end()), &error)) {
      return FileError(options.svg, error);
    }
  }

  std::vector<int16_t> samples;
  if (options.mode == Mode::kRange || options.mode == Mode::kWhole) {
    // One file: a range as one sound, or the whole image with the decoder
    // reset at each sound's start and every gap byte as two silent samples,
    // so that a time in it is an address.
    ByteSpan span;
    if (options.mode == Mode::kRange) {
      span = {static_cast<size_t>(options.rangeStart), static_cast<size_t>(options.rangeEnd)};
      samples.resize(span.size() * kSamplesPerByte);
      DecodeAdpcmB(image.data() + span.start, span.size(), samples.data());
    } else {
      span = {0, image.size()};
      samples.assign(image.size() * kSamplesPerByte, 0);
      for (const ByteSpan& s : sounds) DecodeAdpcmB(image.data() + s.start, s.size(), samples.data() + s.start * kSamplesPerByte);
    }
    if (samples.size() > kMaxWavSamples) return UsageError("too long for one WAV file");
    const std::string file = name + ".wav";
    if (!WriteWhole(file, WavFile(options.rate, samples), &error)) return FileError(file, error);
    PrintHeading();
    PrintRow(options.mode == Mode::kRange ? "range" : "whole", span, options.rate, PeakText(samples, 0, samples.size()), file);
    return 0;
  }

  if (sounds.empty()) {
    std::printf("no sound found in %s\n", options.image);
    return 0;
  }
  PrintHeading();
  for (size_t k = 0; k < sounds.size(); ++k) {
    const ByteSpan& s = sounds[k];
    samples.resize(s.size() * kSamplesPerByte);
    DecodeAdpcmB(image.data() + s.start, s.size(), samples.data());
    char number[24], suffix[32];
    std::snprintf(number, sizeof number, "%zu", k + 1);
    std::snprintf(suffix, sizeof suffix, "-%02zu.wav", k + 1);
    const std::string file = name + suffix;
    if (samples.size() > kMaxWavSamples) return UsageError("sound " + std::string(number) + " is too long for one WAV file");
    if (options.mode == Mode::kSounds && !WriteWhole(file, WavFile(options.rate, samples), &error)) {
      return FileError(file, error);
    }
    PrintRow(number, s, options.rate, PeakText(samples, 0, samples.size()), file);
  }
  return 0;
}

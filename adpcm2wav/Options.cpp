#include "adpcm2wav/Options.h"

#include "adpcm2wav/Ranges.h"

const CommandInfo kAdpcm2Wav = {
    "adpcm2wav",
    "Usage: adpcm2wav [-r HZ | --delta-n N] [--min-gap BYTES] [--unit 4|32|256] [-o PREFIX]\n"
    "                 [--list [--json] | --range START:END | --ranges FILE | --whole] [--svg FILE] IMAGE\n",
    "Turns a YM2608 ADPCM-B sample RAM image (the ADPCM file d88adpcm writes) into WAV files.\n"
    "  -r HZ              playback rate, 1 to 1000000 (default 15974: delta-N 0x49BA)\n"
    "  --delta-n N        the rate as the chip's delta-N register, 1 to 65535\n"
    "  --min-gap BYTES    the fewest equal 0x00 or 0xFF bytes that are unused RAM (default 16;\n"
    "                     other values need at least 32)\n"
    "  --unit 4|32|256    the address unit sounds start on (default: read from the image)\n"
    "  -o PREFIX          name the files PREFIX-01.wav, ... (or PREFIX.wav)\n"
    "  --list             print the table only; write nothing\n"
    "  --json             with --list: the table as one JSON document\n"
    "  --range START:END  decode bytes START to END-1 as one sound into NAME.wav\n"
    "  --ranges FILE      a WAV per START:END line of FILE (- for standard input)\n"
    "  --whole            the whole image into NAME.wav, each sound at its own address\n"
    "  --svg FILE         also draw where the sounds lie, as SVG\n"
    "  -h, --help         this text\n"
    "  --version          the version\n"
    "Numbers are decimal or, after 0x, hexadecimal.\n"};

namespace {

constexpr uint64_t kMaxRate = 1000000;

}  // namespace

bool ParseCount(const std::string& text, uint64_t* value) {
  uint64_t base = 10;
  size_t at = 0;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    at = 2;
  }
  if (at == text.size()) return false;
  uint64_t v = 0;
  for (; at < text.size(); ++at) {
    const char ch = text[at];
    uint64_t digit;
    if (ch >= '0' && ch <= '9') {
      digit = static_cast<uint64_t>(ch - '0');
    } else if (base == 16 && ch >= 'a' && ch <= 'f') {
      digit = static_cast<uint64_t>(ch - 'a' + 10);
    } else if (base == 16 && ch >= 'A' && ch <= 'F') {
      digit = static_cast<uint64_t>(ch - 'A' + 10);
    } else {
      return false;
    }
    if (v > (UINT64_MAX - digit) / base) return false;
    v = v * base + digit;
  }
  *value = v;
  return true;
}

Adpcm2WavCommandLine ParseAdpcm2WavOptions(int argc, char** argv) {
  Adpcm2WavCommandLine line;
  Adpcm2WavOptions& o = line.options;
  auto fail = [&line](const std::string& problem) { return line.Fail(problem); };
  bool rateGiven = false, modeGiven = false, imageGiven = false;
  ArgReader args(argc, argv);
  while (args.Next()) {
    if (!args.IsOption()) {
      if (imageGiven) return fail("one IMAGE only");
      imageGiven = true;
      o.image = args.word();
      continue;
    }
    const CommandAction common = args.CommonOption();
    if (common != CommandAction::kRun) {
      line.action = common;
      return line;
    }
    const std::string& name = args.option();
    const bool takesValue = name == "-r" || name == "--rate" || name == "--delta-n" || name == "--min-gap" ||
                            name == "--unit" || name == "-o" || name == "--svg" || name == "--range" || name == "--ranges";
    if (name == "--json") {
      if (args.HasInlineValue()) return fail("--json takes no value");
      o.json = true;
      continue;
    }
    const bool isMode = name == "--list" || name == "--whole" || name == "--range" || name == "--ranges";
    if (!takesValue && !isMode) return fail("unknown option " + name);
    const char* value = nullptr;
    if (takesValue) {
      value = args.TakeValue();
      if (value == nullptr) return fail(name + " needs a value");
    } else if (args.HasInlineValue()) {
      return fail(name + " takes no value");
    }
    if (isMode) {
      if (modeGiven) return fail("choose one of --list, --range, --ranges and --whole");
      modeGiven = true;
    }
    uint64_t number = 0;
    if (name == "-r" || name == "--rate" || name == "--delta-n") {
      if (rateGiven) return fail("give the rate once, with -r or --delta-n");
      rateGiven = true;
      if (!ParseCount(value, &number)) return fail(std::string("not a number: ") + value);
      if (name == "--delta-n") {
        if (number < 1 || number > 0xFFFF) return fail(std::string("delta-N must be 1 to 65535: ") + value);
        number = RateForDeltaN(static_cast<uint32_t>(number));
      }
      if (number < 1 || number > kMaxRate) return fail("the rate must be 1 to 1000000 Hz");
      o.rate = static_cast<uint32_t>(number);
    } else if (name == "--min-gap") {
      if (!ParseCount(value, &number) || number < 1 || number > SIZE_MAX) {
        return fail(std::string("not a gap length: ") + value);
      }
      o.minGap = static_cast<size_t>(number);
    } else if (name == "--unit") {
      if (!ParseCount(value, &number) || !IsSoundUnit(number)) return fail(std::string("the unit must be 4, 32 or 256: ") + value);
      o.unit = static_cast<size_t>(number);
    } else if (name == "-o") {
      if (*value == '\0') return fail("-o needs a prefix");
      o.prefix = value;
    } else if (name == "--svg") {
      if (*value == '\0') return fail("--svg needs a file name");
      o.svg = value;
    } else if (name == "--list") {
      o.mode = WavMode::kList;
    } else if (name == "--whole") {
      o.mode = WavMode::kWhole;
    } else if (name == "--ranges") {
      if (*value == '\0') return fail("--ranges needs a file name");
      o.mode = WavMode::kRanges;
      o.rangesFile = value;
    } else {  // --range
      o.mode = WavMode::kRange;
      if (!ParseRange(value, &o.rangeStart, &o.rangeEnd)) return fail(std::string("not a range START:END: ") + value);
    }
  }
  if (!imageGiven) return fail("no IMAGE");
  // --list promises that nothing is written.
  if (o.mode == WavMode::kList && !o.svg.empty()) return fail("--list writes nothing; leave out --svg");
  if (o.json && o.mode != WavMode::kList) return fail("--json goes with --list");
  return line;
}

#include "d88ls/ListCommand.h"

#include <sys/stat.h>

#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <optional>
#include <vector>

#include "common/Files.h"
#include "d88/D88File.h"
#include "d88ls/DiskPicture.h"
#include "d88ls/ImageWalk.h"
#include "d88ls/Listing.h"

const CommandInfo kD88ls = {
    "d88ls",
    "Usage: d88ls [--json] [--svg FILE] IMAGE\n"
    "       d88ls --sector DISK:TRACK:RECORD IMAGE\n",
    "Lists the disks, tracks and sector IDs of a D88 floppy-disk image, and what d88adpcm would extract.\n"
    "  --json      the listing as one JSON document\n"
    "  --svg FILE  also draw every track of every disk as SVG, its damage marked\n"
    "  --sector DISK:TRACK:RECORD\n"
    "              instead, that one record and its bytes (RECORD from 1, in the track's order)\n"
    "  -h, --help  this text\n"
    "  --version   the version\n"};

namespace {

// Why `path` does not open as an image, as an error number: the reader says
// only that it failed.
int OpenFailure(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return errno;
  if (S_ISDIR(info.st_mode)) return EISDIR;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return errno;
  std::fclose(f);
  return EIO;
}

// A decimal number of at most 9 digits, which any int32_t holds.
bool ParseDecimal(const std::string& text, int32_t* value) {
  if (text.empty() || text.size() > 9) return false;
  int32_t v = 0;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
  }
  *value = v;
  return true;
}

// DISK:TRACK:RECORD, three decimal numbers.
bool ParseSectorChoice(const std::string& text, SectorChoice* choice) {
  const size_t first = text.find(':');
  const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  return second != std::string::npos && ParseDecimal(text.substr(0, first), &choice->disk) &&
         ParseDecimal(text.substr(first + 1, second - first - 1), &choice->track) &&
         ParseDecimal(text.substr(second + 1), &choice->record);
}

}  // namespace

ListCommandLine ParseListOptions(int argc, char** argv) {
  ListCommandLine line;
  auto fail = [&line](const std::string& problem) { return line.Fail(problem); };
  bool imageGiven = false;
  ArgReader args(argc, argv);
  while (args.Next()) {
    if (!args.IsOption()) {
      if (imageGiven) return fail("one IMAGE only");
      imageGiven = true;
      line.options.image = args.word();
      continue;
    }
    const CommandAction common = args.CommonOption();
    if (common != CommandAction::kRun) {
      line.action = common;
      return line;
    }
    if (args.option() == "--json") {
      if (args.HasInlineValue()) return fail("--json takes no value");
      line.options.json = true;
    } else if (args.option() == "--svg") {
      const char* value = args.TakeValue();
      if (value == nullptr) return fail("--svg needs a value");
      if (*value == '\0') return fail("--svg needs a file name");
      line.options.svg = value;
    } else if (args.option() == "--sector") {
      const char* value = args.TakeValue();
      if (value == nullptr) return fail("--sector needs a value");
      if (!ParseSectorChoice(value, &line.options.choice)) {
        return fail(std::string("not a sector DISK:TRACK:RECORD: ") + value);
      }
      if (line.options.choice.record == 0) return fail(std::string("records count from 1: ") + value);
      line.options.sector = true;
    } else {
      return fail("unknown option " + args.option());
    }
  }
  if (!imageGiven) return fail("no IMAGE");
  if (line.options.sector && (line.options.json || !line.options.svg.empty())) {
    return fail("--sector prints one record; leave out --json and --svg");
  }
  return line;
}

namespace {

// A renderer that may be left out: the walk's calls reach it when it is
// there.
template <typename Renderer>
class Maybe {
 public:
  explicit Maybe(std::optional<Renderer>& renderer) : renderer_(renderer) {}
  void Take(const WalkStep& step) {
    if (renderer_) renderer_->Take(step);
  }

 private:
  std::optional<Renderer>& renderer_;
};

}  // namespace

void RenderImage(D88File& d88, const ImageFacts& image, const Renderings& what) {
  std::optional<TextListing> text;
  std::optional<JsonListing> json;
  std::optional<DiskPicture> picture;
  if (what.text != nullptr) text.emplace(what.text);
  if (what.json != nullptr) json.emplace(what.json, what.path, what.warnings);
  if (what.svg != nullptr) picture.emplace(what.title, what.svg);
  WalkImage(d88, image, Maybe<TextListing>(text), Maybe<JsonListing>(json), Maybe<DiskPicture>(picture));
}

int ListFile(const ListOptions& options, std::FILE* out, std::FILE* err) {
  D88File d88;
  const char* path = options.image.c_str();
  if (!d88.Open(path)) return FileError(kD88ls, options.image, OpenFailure(options.image), err);
  // An image that does not look like one is still listed: the warning says
  // what is odd, the listing what is there.
  const ImageFacts image = DescribeImage(d88);
  std::vector<std::string> warnings;
  for (const std::string& text : image.warnings) {
    warnings.push_back(std::string(kD88ls.name) + ": " + options.image + ": " + text);
    std::fprintf(err, "%s\n", warnings.back().c_str());
  }
  if (options.sector) {
    const std::string problem = PrintSector(d88, options.choice, image.fileSize, out);
    if (problem.empty()) return kExitDone;
    std::fprintf(err, "%s: %s: %s\n", kD88ls.name, path, problem.c_str());
    return kExitFileError;
  }
#ifdef _WIN32
  if (options.json) {
    // The JSON is ASCII with line feeds, the same bytes on every platform.
    std::fflush(out);
    _setmode(_fileno(out), _O_BINARY);
  }
#endif
  Renderings what;
  (options.json ? what.json : what.text) = out;
  what.path = options.image;
  what.warnings = warnings;
  std::string svg;
  if (!options.svg.empty()) {
    what.svg = &svg;
    what.title = FileName(options.image) + ": " + std::to_string(image.disks) + (image.disks == 1 ? " disk" : " disks");
  }
  RenderImage(d88, image, what);
  if (options.svg.empty()) return kExitDone;
  if (const int error = WriteWholeFile(options.svg, reinterpret_cast<const uint8_t*>(svg.data()), svg.size())) {
    return FileError(kD88ls, options.svg, error, err);
  }
  return kExitDone;
}

int RunList(int argc, char** argv) {
  const ListCommandLine line = ParseListOptions(argc, argv);
  if (line.action != CommandAction::kRun) return EndWithoutRun(kD88ls, line.action, line.problem);
  return ListFile(line.options, stdout, stderr);
}

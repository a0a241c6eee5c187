#include "d88ls/ListCommand.h"

#include <sys/stat.h>

#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "d88/D88File.h"
#include "d88ls/DiskPicture.h"
#include "d88ls/Listing.h"

const CommandInfo kD88ls = {
    "d88ls",
    "Usage: d88ls [--json] [--svg FILE] IMAGE\n",
    "Lists the disks, tracks and sector IDs of a D88 floppy-disk image, and what d88adpcm would extract.\n"
    "  --json      the listing as one JSON document\n"
    "  --svg FILE  also draw every track of every disk as SVG, its damage marked\n"
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
    } else {
      return fail("unknown option " + args.option());
    }
  }
  if (!imageGiven) return fail("no IMAGE");
  return line;
}

int ListFile(const ListOptions& options, std::FILE* out, std::FILE* err) {
  D88File d88;
  const char* path = options.image.c_str();
  if (!d88.Open(path)) return FileError(kD88ls, options.image, OpenFailure(options.image), err);
  const uint64_t fileSize = ImageFileSize(d88);
  // An image that does not look like one is still listed: the warning says
  // what is odd, the listing what is there.
  WarnAboutImage(d88, path, fileSize, err);
  if (options.json) {
#ifdef _WIN32
    // The JSON is ASCII with line feeds, the same bytes on every platform.
    std::fflush(out);
    _setmode(_fileno(out), _O_BINARY);
#endif
    ListImageJson(d88, path, fileSize, out);
  } else {
    ListImage(d88, out);
  }
  if (!options.svg.empty()) return WriteDiskPicture(d88, path, options.svg.c_str(), err);
  return kExitDone;
}

int RunList(int argc, char** argv) {
  const ListCommandLine line = ParseListOptions(argc, argv);
  if (line.action != CommandAction::kRun) return EndWithoutRun(kD88ls, line.action, line.problem);
  return ListFile(line.options, stdout, stderr);
}

// d88ls's command line: options read into a struct, and the run.
#ifndef D88LS_LISTCOMMAND_H_
#define D88LS_LISTCOMMAND_H_

#include <cstdio>
#include <string>
#include <vector>

#include "common/Command.h"
#include "d88/D88File.h"
#include "d88ls/ImageWalk.h"
#include "d88ls/SectorDump.h"

extern const CommandInfo kD88ls;

struct ListOptions {
  bool json = false;  // --json: the listing as one JSON document
  std::string svg;    // --svg FILE: also draw the disks; empty: no picture
  bool sector = false;  // --sector DISK:TRACK:RECORD: that one record instead of the listing
  SectorChoice choice;
  std::string image;
};

using ListCommandLine = CommandLine<ListOptions>;

// What one walk of an image renders, each left out where null.
struct Renderings {
  std::FILE* text = nullptr;  // the text listing
  std::FILE* json = nullptr;  // the JSON document, of the image at `path`, with `warnings`
  std::string path;
  std::vector<std::string> warnings;
  std::string* svg = nullptr;  // the picture, headed `title`
  std::string title;
};

// Walks the open image `d88`, whose facts are `image`, once, rendering
// each of `what`. Changes the current disk and the sector range.
void RenderImage(D88File& d88, const ImageFacts& image, const Renderings& what);

// Reads argv[1..argc-1].
ListCommandLine ParseListOptions(int argc, char** argv);

// Lists the image `options.image` to `out`; failures and warnings go to
// `err`. Returns the exit code.
int ListFile(const ListOptions& options, std::FILE* out, std::FILE* err);

// The d88ls command: options, messages and exit code (0 listed, 1 the
// image cannot be read, a file cannot be written or the image holds no
// such record, 2 a usage error).
int RunList(int argc, char** argv);

#endif  // D88LS_LISTCOMMAND_H_

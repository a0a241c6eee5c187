// The page's module: the three commands in one program, so that one
// runtime serves them all. The first argument names the command; the rest
// is its command line, the name included, as a shell would hand it over:
//   d88web d88ls [--svg FILE] IMAGE
//   d88web d88adpcm IMAGE
//   d88web adpcm2wav [options] ADPCM
// The page makes a fresh instance for every run: the commands keep state in
// globals (d88adpcm's buffer above all) that a second run would inherit.
#include <cstdio>
#include <cstring>

#include "adpcm2wav/Convert.h"
#include "d88ls/ListCommand.h"
#include "tool/Tool.h"

int main(int argc, char** argv) {
  if (argc >= 2) {
    const char* command = argv[1];
    if (std::strcmp(command, "d88ls") == 0) return RunList(argc - 1, argv + 1);
    if (std::strcmp(command, "d88adpcm") == 0) return RunAdpcm(argc - 1, argv + 1);
    if (std::strcmp(command, "adpcm2wav") == 0) return RunAdpcm2Wav(argc - 1, argv + 1);
  }
  std::fputs("Usage: d88web d88ls|d88adpcm|adpcm2wav ARGUMENTS...\n", stderr);
  return 2;
}

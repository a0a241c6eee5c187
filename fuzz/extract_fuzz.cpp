// The extraction plan of d88adpcm on any image: the ADPCM file must be
// exactly 262,144 bytes, its last 2,560 zero, and each slot what the plain
// model of the format reads for that track.
#include <unistd.h>

#include <cstring>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "kit/ReferenceReader.h"
#include "tool/Tool.h"

namespace {

using fuzzing::Check;

bool Init() {
  // The tool writes ADPCM into the current folder and prints a progress line.
  if (chdir(fuzzing::ScratchDir().c_str()) != 0 || std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = Init();
  (void)ready;
  const std::string path = fuzzing::WriteImage(data, size);
  // As at the start of a fresh process.
  std::memset(g_buffer, 0, sizeof g_buffer);
  char name[] = "d88adpcm";
  std::vector<char> pathArg(path.begin(), path.end());
  pathArg.push_back('\0');
  char* argv[] = {name, pathArg.data(), nullptr};
  Check(RunAdpcm(2, argv) == 0);

  std::vector<uint8_t> out(kBufferSize + 1);
  std::FILE* f = std::fopen("ADPCM", "rb");
  Check(f != nullptr);
  const size_t got = std::fread(out.data(), 1, out.size(), f);
  std::fclose(f);
  Check(got == static_cast<size_t>(kBufferSize));
  for (size_t i = kBufferSize - 2560; i < static_cast<size_t>(kBufferSize); ++i) Check(out[i] == 0);

  const std::vector<uint8_t> image(data, data + size);
  ReferenceReader model(image);
  std::vector<uint8_t> expected(kBufferSize, 0);
  model.SelectDisk(0);
  model.firstSector = 1;
  model.lastSector = 26;
  for (int32_t i = 0; i < 39; ++i) {
    const int32_t t = 72 + 2 * i;
    model.ReadSectors(t, t >> 1, t & 1, 1, 1, expected.data() + i * 6656, 6656);
  }
  out.resize(kBufferSize);
  Check(out == expected);
  return 0;
}

// CutFile on any image with any offset and length: a request outside the
// buffer is refused without creating anything; otherwise the file, when
// made, holds exactly `length` bytes of g_buffer from `offset`.
//
// Input: kArgBytes of arguments, then the image.
#include <unistd.h>

#include <cstring>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "tool/Tool.h"

namespace {

constexpr size_t kArgBytes = 32;

void Check(bool ok) {
  if (!ok) std::abort();
}

bool Init() {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return true;
}

int32_t Span(fuzzing::Args& args) {
  // Mostly within the buffer, sometimes at or across its edges.
  switch (args.Byte() % 8) {
    case 0: return args.Int32();
    case 1: return kBufferSize - args.Byte() * 2;
    default: return args.Length(64);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = Init();
  (void)ready;
  const size_t argBytes = size < kArgBytes ? size : kArgBytes;
  fuzzing::Args args(data, argBytes);
  const std::string image = fuzzing::WriteImage(data + argBytes, size - argBytes);
  const std::string out = fuzzing::ScratchDir() + "/OUT";
  unlink(out.c_str());

  g_d88.Open(image.c_str());
  g_d88.SelectDisk(args.Near(3));
  g_d88.SetSectorRange(args.Near(30), args.Near(30));
  const int32_t track = args.Near(kMaxTracks);
  const int32_t c = args.Near(256), h = args.Near(2), r = args.Near(32), n = args.Near(4);
  const int32_t offset = Span(args), length = Span(args);
  const bool inside = offset >= 0 && length >= 0 && static_cast<int64_t>(offset) + length <= kBufferSize;

  // Bytes the run must not touch: everything past offset + length.
  static uint8_t before[kBufferSize];
  std::memcpy(before, g_buffer, sizeof before);
  const bool cut = CutFile(out.c_str(), track, c, h, r, n, offset, length);
  Check(!cut || inside);
  Check(access(out.c_str(), F_OK) == (cut ? 0 : -1));
  if (inside) {
    const size_t end = static_cast<size_t>(offset) + static_cast<size_t>(length);
    Check(std::memcmp(before + end, g_buffer + end, sizeof before - end) == 0);
  } else {
    Check(std::memcmp(before, g_buffer, sizeof before) == 0);
  }
  if (cut) {
    std::vector<uint8_t> written(static_cast<size_t>(length) + 1);
    std::FILE* f = std::fopen(out.c_str(), "rb");
    Check(f != nullptr);
    const size_t got = std::fread(written.data(), 1, written.size(), f);
    std::fclose(f);
    Check(got == static_cast<size_t>(length));
    Check(std::memcmp(written.data(), g_buffer + offset, got) == 0);
  }
  Check(g_out == nullptr);
  g_d88.Open(nullptr);
  return 0;
}

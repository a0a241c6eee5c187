// CutFile on any image with any offset and length: a request outside the
// buffer is refused without creating anything or touching g_buffer;
// otherwise g_buffer holds what the plain model of the format reads over its
// earlier contents, and the file, made exactly when the run delivered
// something, holds `length` bytes of it from `offset`.
//
// Input: kArgBytes of arguments, then the image.
#include <unistd.h>

#include <cstring>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "kit/ReferenceReader.h"
#include "tool/Tool.h"

namespace {

using fuzzing::Check;

constexpr size_t kArgBytes = 32;

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
  const std::vector<uint8_t> bytes(data + argBytes, data + size);
  ReferenceReader model(bytes);
  const int32_t disk = args.Near(3);
  g_d88.SelectDisk(disk);
  model.SelectDisk(disk);
  const int32_t first = args.Near(30), last = args.Near(30);
  g_d88.SetSectorRange(first, last);
  model.firstSector = first;
  model.lastSector = last;
  const int32_t track = args.Near(kMaxTracks);
  const int32_t c = args.Near(256), h = args.Near(2), r = args.Near(32), n = args.Near(4);
  const int32_t offset = Span(args), length = Span(args);
  const bool inside = offset >= 0 && length >= 0 && static_cast<int64_t>(offset) + length <= kBufferSize;

  // The buffer as the cut must leave it: the model's run over what was there.
  static uint8_t expected[kBufferSize];
  std::memcpy(expected, g_buffer, sizeof expected);
  const int32_t delivered = inside ? model.ReadSectors(track, c, h, r, n, expected, offset + length) : 0;
  const bool cut = CutFile(out.c_str(), track, c, h, r, n, offset, length);
  Check(cut == (delivered > 0));
  Check(access(out.c_str(), F_OK) == (cut ? 0 : -1));
  Check(std::memcmp(expected, g_buffer, sizeof expected) == 0);
  if (cut) {
    std::vector<uint8_t> written(static_cast<size_t>(length) + 1);
    std::FILE* f = std::fopen(out.c_str(), "rb");
    Check(f != nullptr);
    const size_t got = std::fread(written.data(), 1, written.size(), f);
    std::fclose(f);
    Check(got == static_cast<size_t>(length));
    Check(std::memcmp(written.data(), expected + offset, got) == 0);
  }
  Check(g_out == nullptr);
  g_d88.Open(nullptr);
  return 0;
}

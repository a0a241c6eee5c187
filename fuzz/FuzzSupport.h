// Shared pieces of the fuzz targets: a scratch folder, the image file in
// it, and a stream of arguments drawn from the input.
#ifndef FUZZ_FUZZSUPPORT_H_
#define FUZZ_FUZZSUPPORT_H_

#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzing {

// The reader target's input: this many bytes of arguments, then the image.
// The seeds are laid out to match.
constexpr size_t kReaderArgBytes = 192;

// A broken promise: abort, so that libFuzzer keeps the input that did it.
inline void Check(bool ok) {
  if (!ok) std::abort();
}

// A folder of this process's own, made once and used for every input.
inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/d88fuzz.XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern);
  }();
  return dir;
}

inline std::string WriteImage(const uint8_t* data, size_t size) {
  const std::string path = ScratchDir() + "/image.d88";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) std::abort();
  return path;
}

// Arguments taken from a fixed-size prefix of the input; past its end the
// stream gives zeros. Values are mapped so that most land near valid ones
// and some well outside (negative, past a table, past a byte).
class Args {
 public:
  Args(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  int32_t Int32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return static_cast<int32_t>(v);
  }
  // Mostly 0..span-1, sometimes a value far outside.
  int32_t Near(int32_t span) {
    const uint8_t b = Byte();
    if (b < 240) return b % span;
    switch (b) {
      case 240: return -1;
      case 241: return span;
      case 242: return 256;
      case 243: return INT32_MIN;
      case 244: return INT32_MAX;
      default: return Int32();
    }
  }
  // A byte count: mostly whole and partial sectors up to `pieces` x 256,
  // sometimes negative or huge.
  int32_t Length(int32_t pieces) {
    const uint8_t b = Byte();
    if (b < 248) return (Byte() % pieces) * 256 + Byte();
    const int32_t odd[] = {0, -1, -256, INT32_MIN, INT32_MAX, INT32_MAX - 255, 1 << 30, 262144};
    return odd[b - 248];
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace fuzzing

#endif  // FUZZ_FUZZSUPPORT_H_

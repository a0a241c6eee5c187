// Images for the page's tests, beside those of make_images: a large image
// of 64 disks, one that goes on past the 64th, a disk named in Shift_JIS,
// and bytes that are no image at all.
#ifndef KIT_WEBIMAGES_H_
#define KIT_WEBIMAGES_H_

#include <string>
#include <utility>
#include <vector>

#include "kit/ImageBuilder.h"
#include "kit/RandomImage.h"
#include "kit/SampleDisks.h"

namespace testimage {

// "音声サンプル" (sound sample) in Shift_JIS: two kanji and four katakana,
// none of whose trail bytes is 0x5C, the backslash in ASCII.
inline std::string ShiftJisName() {
  return "\x89\xB9\x90\xBA\x83\x54\x83\x93\x83\x76\x83\x8B";
}

// The most disks a reader takes, kMaxDisks, each a whole 2HD disk: about
// 70 MB. The first is the sample, so that its sounds come out; the others
// are named "DISK 01" and on.
inline Bytes ManyDisksImage() {
  std::vector<Bytes> disks;
  disks.push_back(SampleDisk().Build());
  for (int k = 1; k < kMaxDisks; ++k) {
    std::string name = "DISK " + std::string(k < 10 ? "0" : "") + std::to_string(k);
    disks.push_back(Standard2HD(77, name, k).Build());
  }
  return Concat(disks);
}

// The sample, then 64 small disks of four sectors each: one disk more than
// a reader takes, so the file goes on past the last disk it reads.
inline Bytes PastLastDiskImage() {
  std::vector<Bytes> disks;
  disks.push_back(SampleDisk().Build());
  for (int k = 1; k <= kMaxDisks; ++k) {
    Disk small;
    small.name = "SMALL " + std::to_string(k);
    small.tracks[k % 160] = StandardTrack(k % 160, 4);
    disks.push_back(small.Build());
  }
  return Concat(disks);
}

inline std::vector<std::pair<std::string, Bytes>> WebImages() {
  std::vector<std::pair<std::string, Bytes>> out;
  out.emplace_back("sjis-name.d88", SampleDisk(ShiftJisName()).Build());
  out.emplace_back("many-disks.d88", ManyDisksImage());
  out.emplace_back("past-64-disks.d88", PastLastDiskImage());
  // Bytes that are no disk image: their first 688 count as a disk header all
  // the same.
  RandomImages noise(2024);
  Bytes random(20000);
  for (uint8_t& b : random) b = static_cast<uint8_t>(noise.Uniform(0, 255));
  out.emplace_back("random-bytes.bin", random);
  return out;
}

}  // namespace testimage

#endif  // KIT_WEBIMAGES_H_

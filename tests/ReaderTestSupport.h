// A fixture that writes an image built in memory to a temporary file and
// opens it with a D88File.
#ifndef TESTS_READERTESTSUPPORT_H_
#define TESTS_READERTESTSUPPORT_H_

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "d88/D88File.h"
#include "kit/ImageBuilder.h"
#include "kit/TestUtil.h"
#include "tests/ImageNames.h"

class ReaderTest : public ::testing::Test {
 protected:
  // Writes `image` and opens it; the reader's Open result.
  bool OpenImage(const Bytes& image) {
    testutil::WriteFile(ImagePath(), image);
    return d88.Open(ImagePath().c_str());
  }
  // Opens `image` and selects its first disk, failing the test otherwise.
  void OpenDisk(const Bytes& image) {
    ASSERT_TRUE(OpenImage(image));
    ASSERT_TRUE(d88.SelectDisk(0));
  }
  std::string ImagePath() const { return dir.File("image.d88"); }

  testutil::TempDir dir;
  D88File d88;
};

// A destination whose bytes past what a read delivered must stay untouched.
constexpr uint8_t kGuard = 0xEE;

inline Bytes Guarded(size_t size) { return Bytes(size, kGuard); }

// True when `dest[from, end)` still holds the guard pattern.
inline bool GuardIntact(const Bytes& dest, size_t from) {
  for (size_t i = from; i < dest.size(); ++i) {
    if (dest[i] != kGuard) return false;
  }
  return true;
}

// A readable test name made of a case's description.
inline std::string CaseName(const char* what) {
  std::string name;
  for (const char* p = what; *p != '\0'; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

#endif  // TESTS_READERTESTSUPPORT_H_

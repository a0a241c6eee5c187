// The programs as a user meets them: the built executable run in a fresh
// temporary folder, with both output streams and the exit code captured.
#ifndef TESTS_PROGRAMRUN_H_
#define TESTS_PROGRAMRUN_H_

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "kit/ImageBuilder.h"
#include "kit/TestUtil.h"

class ProgramRun : public ::testing::Test {
 protected:
  // Runs `program` with `args` in the folder, argv[0] being `name`. With
  // `oneStream`, standard error goes where standard output goes.
  testutil::ProcessResult Run(const char* program, const std::string& name, const std::vector<std::string>& args,
                              bool oneStream = false) {
    std::vector<std::string> argv = {name};
    argv.insert(argv.end(), args.begin(), args.end());
    return testutil::RunProcess(program, argv, dir.path(), oneStream);
  }
  testutil::ProcessResult D88adpcm(const std::vector<std::string>& args) { return Run(D88ADPCM_PATH, D88ADPCM_PATH, args); }
  testutil::ProcessResult D88ls(const std::vector<std::string>& args) { return Run(D88LS_PATH, "d88ls", args); }
  testutil::ProcessResult Adpcm2wav(const std::vector<std::string>& args) {
    return Run(ADPCM2WAV_PATH, "adpcm2wav", args);
  }

  // Files of the folder, by name.
  void Write(const std::string& name, const testimage::Bytes& bytes) { testutil::WriteFile(dir.File(name), bytes); }
  testimage::Bytes Read(const std::string& name) {
    testimage::Bytes bytes;
    EXPECT_TRUE(testutil::ReadFile(dir.File(name), &bytes)) << name;
    return bytes;
  }
  bool Exists(const std::string& name) const { return testutil::Exists(dir.File(name)); }

  testutil::TempDir dir;
};

// A stream for a command run in-process to print to, read back as text.
class CapturedStream {
 public:
  explicit CapturedStream(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "w+b")) {}
  ~CapturedStream() {
    if (file_ != nullptr) std::fclose(file_);
  }
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;
  std::FILE* get() const { return file_; }
  // Everything printed so far.
  std::string Text() const {
    std::fflush(file_);
    testimage::Bytes bytes;
    testutil::ReadFile(path_, &bytes);
    return std::string(bytes.begin(), bytes.end());
  }

 private:
  std::string path_;
  std::FILE* file_;
};

// What `write` prints into a stream (a file at `path`), as text.
template <typename Write>
std::string Captured(const std::string& path, Write write) {
  CapturedStream stream(path);
  if (stream.get() == nullptr) return "(cannot open " + path + ")";
  write(stream.get());
  return stream.Text();
}

#endif  // TESTS_PROGRAMRUN_H_

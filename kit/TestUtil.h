// Files, folders and processes for tests, on Linux and on Windows.
#ifndef KIT_TESTUTIL_H_
#define KIT_TESTUTIL_H_

#include <cstdint>
#include <string>
#include <vector>

namespace testutil {

// A fresh folder under the system's temporary directory, removed with all
// its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes `bytes` to `path` in place (created or truncated); aborts on failure.
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
// False when the file cannot be read.
bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes);
bool Exists(const std::string& path);
// False when the folder could not be made.
bool MakeDir(const std::string& path);
// Cuts or extends the file to `size` bytes; false on failure.
bool Resize(const std::string& path, uint64_t size);

// What the C library says when a folder is opened or replaced as a file:
// Linux names the folder, Windows denies the access.
#ifdef _WIN32
constexpr const char* kFolderReason = "Permission denied";
#else
constexpr const char* kFolderReason = "Is a directory";
#endif

// `text` with its line feeds as a text stream writes them on this platform:
// "\n" on Linux, "\r\n" on Windows.
std::string Text(const std::string& text);

struct ProcessResult {
  int exitCode = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` with `args` (args[0] is the program's name as invoked) in
// the folder `cwd`, with no standard input, capturing both output streams.
// With `oneStream`, standard error goes where standard output goes, as in a
// terminal or `2>&1`, and `out` holds both in the order they were written.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                         bool oneStream = false);

#ifdef _WIN32
// Keeps `path` open with no sharing while the object lives, as another
// program holding a file does on Windows: nobody else can open it.
class LockedFile {
 public:
  explicit LockedFile(const std::string& path);
  ~LockedFile();
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  bool locked() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};
#endif

}  // namespace testutil

#endif  // KIT_TESTUTIL_H_

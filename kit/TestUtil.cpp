#include "kit/TestUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace testutil {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/d88test.XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  if (std::fclose(f) != 0) std::abort();
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  bytes->clear();
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

namespace {

std::string Slurp(int fd) {
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char chunk[4096];
  ssize_t got;
  while ((got = read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(got));
  return text;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                         bool oneStream) {
  // Output goes to unlinked temporary files rather than pipes, so that a
  // chatty child can never block on a full pipe.
  char outName[] = "/tmp/d88out.XXXXXX";
  char errName[] = "/tmp/d88err.XXXXXX";
  const int outFd = mkstemp(outName);
  const int errFd = mkstemp(errName);
  if (outFd < 0 || errFd < 0) std::abort();
  unlink(outName);
  unlink(errName);

  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  ProcessResult result;
  const pid_t pid = fork();
  if (pid == 0) {
    const int nullFd = open("/dev/null", O_RDONLY);
    if (nullFd < 0 || dup2(nullFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(oneStream ? outFd : errFd, 2) < 0 || chdir(cwd.c_str()) != 0) _exit(127);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.out = Slurp(outFd);
  result.err = Slurp(errFd);
  close(outFd);
  close(errFd);
  return result;
}

}  // namespace testutil

#include "kit/TestUtil.h"

#include "common/Files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testutil {

namespace fs = std::filesystem;

namespace {

// Paths here are UTF-8 strings, as the programs take them; a std::string
// alone would be read in the C library's narrow encoding on Windows.
fs::path Path(const std::string& utf8) { return fs::u8path(utf8); }

}  // namespace

TempDir::TempDir() {
  // A random name, tried until it is new.
  std::random_device seed;
  std::mt19937_64 rng((static_cast<uint64_t>(seed()) << 32) ^ seed());
  std::error_code error;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "d88test.%08llx", static_cast<unsigned long long>(rng() & 0xFFFFFFFFu));
    const fs::path candidate = fs::temp_directory_path() / name;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.generic_u8string();
      return;
    }
  }
  std::abort();
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(Path(path_), ignored);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  // In place, not renamed over: a reader that holds the file open must see
  // the new bytes.
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  if (std::fclose(f) != 0) std::abort();
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) { return ReadWholeFile(path.c_str(), bytes) == 0; }

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(Path(path), error));
}

bool MakeDir(const std::string& path) {
  std::error_code error;
  return fs::create_directory(Path(path), error);
}

bool Resize(const std::string& path, uint64_t size) {
  std::error_code error;
  fs::resize_file(Path(path), size, error);
  return !error;
}

std::string Text(const std::string& text) {
#ifdef _WIN32
  std::string out;
  for (char ch : text) {
    if (ch == '\n') out += '\r';
    out += ch;
  }
  return out;
#else
  return text;
#endif
}

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

// One argument as the C runtime splits a command line: quoted when it holds
// a space, a tab or a quote (or is empty), with backslashes doubled before
// a quote.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t ch : arg) {
    if (ch == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(ch == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += ch;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

// A temporary file that goes when it is closed, inheritable by a child.
HANDLE CaptureFile() {
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"d88", 0, name) == 0) std::abort();
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) std::abort();
  return h;
}

std::string Slurp(HANDLE h) {
  std::string text;
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  char chunk[4096];
  DWORD got = 0;
  while (::ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  return text;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                         bool oneStream) {
  // The program's path is made absolute here, before the child's folder
  // changes what a relative or rootless path would mean.
  const std::wstring exe = fs::absolute(fs::path(Wide(program))).wstring();
  std::wstring commandLine;
  for (const std::string& a : args) commandLine += (commandLine.empty() ? L"" : L" ") + Quote(Wide(a));
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  HANDLE out = CaptureFile(), err = CaptureFile();
  STARTUPINFOW start = {};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = in;
  start.hStdOutput = out;
  start.hStdError = oneStream ? out : err;
  PROCESS_INFORMATION process = {};
  ProcessResult result;
  const std::wstring folder = Wide(cwd);
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &start,
                     &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) result.exitCode = static_cast<int>(code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  result.out = Slurp(out);
  result.err = Slurp(err);
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  return result;
}

LockedFile::LockedFile(const std::string& path) {
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  handle_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
}

LockedFile::~LockedFile() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

#else

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
    if (nullFd < 0 || dup2(nullFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(oneStream ? outFd : errFd, 2) < 0 ||
        chdir(cwd.c_str()) != 0) {
      _exit(127);
    }
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

#endif

}  // namespace testutil

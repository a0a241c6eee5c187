#include "common/Files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

int ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
  bytes->clear();
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    const int error = errno != 0 ? errno : EIO;
    // Windows refuses to open a directory as "Permission denied"; say what
    // it is, as Linux does.
    struct stat info;
    if (stat(path, &info) == 0 && S_ISDIR(info.st_mode)) return EISDIR;
    return error;
  }
  // One read of our own; a stdio buffer would only add a copy.
  std::setvbuf(f, nullptr, _IONBF, 0);
  int error = 0;
  struct stat info;
  if (fstat(fileno(f), &info) != 0) {
    error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    // glibc opens a directory for reading and fails only at the first read.
    error = EISDIR;
  } else if (S_ISREG(info.st_mode)) {
    bytes->resize(static_cast<size_t>(info.st_size));
    if (!bytes->empty() && std::fread(bytes->data(), 1, bytes->size(), f) != bytes->size()) {
      error = errno != 0 ? errno : EIO;
    }
  } else {
    // A pipe or a device: read until it ends.
    error = ReadWholeStream(f, bytes);
  }
  std::fclose(f);
  if (error != 0) bytes->clear();
  return error;
}

int ReadWholeStream(std::FILE* stream, std::vector<uint8_t>* bytes) {
  bytes->clear();
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
  if (!std::ferror(stream)) return 0;
  bytes->clear();
  return errno != 0 ? errno : EIO;
}

int WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
  const std::string temporary = path + kPartSuffix;
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr) return errno != 0 ? errno : EIO;
  int error = 0;
  if (size > 0 && std::fwrite(data, 1, size, f) != size) error = errno != 0 ? errno : EIO;
  // A full disk may only show when the stream's buffer is flushed at close.
  if (std::fclose(f) != 0 && error == 0) error = errno != 0 ? errno : EIO;
#ifdef _WIN32
  // rename() will not replace an existing file on Windows.
  if (error == 0 && !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  }
#else
  if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
#endif
  if (error != 0) std::remove(temporary.c_str());
  return error;
}

std::string FileName(const std::string& path) {
#ifdef _WIN32
  const size_t slash = path.find_last_of("/\\:");
#else
  const size_t slash = path.find_last_of('/');
#endif
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

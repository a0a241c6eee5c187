// Whole files in and out, the way d88ls and adpcm2wav read and write them.
// Results are the C library's error numbers (errno values), 0 for success,
// so that a caller can print the system's own reason.
#ifndef COMMON_FILES_H_
#define COMMON_FILES_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Reads all of `path` into `bytes`: in one read when it is a regular file,
// until its end when it is a pipe or a device. A directory is refused with
// EISDIR, on every platform (Windows itself would say EACCES).
int ReadWholeFile(const char* path, std::vector<uint8_t>* bytes);

// Reads what is left of an open stream (standard input, say) into `bytes`.
int ReadWholeStream(std::FILE* stream, std::vector<uint8_t>* bytes);

// Writes `size` bytes to `path`: first to `path` + ".part" in the same
// folder, then renamed over `path` once closed, so that no half-written file
// ever carries the final name and an existing file (or a symbolic link) of
// that name is replaced, never written through. On failure the temporary
// file is removed and `path` is left as it was.
int WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);

// The last part of `path`, without its folders (on Windows '\\' and a drive's
// ':' part folders too).
std::string FileName(const std::string& path);

// The suffix of the temporary name.
constexpr const char* kPartSuffix = ".part";

#endif  // COMMON_FILES_H_

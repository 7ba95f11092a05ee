#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

// Whole-file reads with a size limit and atomic whole-file writes. Every save goes through
// WriteFileAtomically, so a failed or interrupted save never destroys the previous file.
namespace plat {

enum class ReadFileResult { kOk, kNotFound, kTooLarge, kError };

// Reads the whole regular file into out (replacing its contents). A file larger than maxBytes is
// not read (kTooLarge, out empty).
[[nodiscard]] ReadFileResult ReadWholeFile(const std::string& path, size_t maxBytes, std::string& out);

// Writes all bytes to fd, retrying after EINTR and short writes. False on any other error.
[[nodiscard]] bool WriteAllToFd(int fd, const void* bytes, size_t size);
// The same at a file offset (pwrite; the file position does not move). `written`, when given, is
// how many bytes reached the file, also after a failure.
[[nodiscard]] bool WriteAllAt(int fd, const void* bytes, size_t size, uint64_t offset,
                              size_t* written = nullptr);

// How WriteFileAtomically sets the new file's permission bits.
struct AtomicWriteOptions {
    // Permission bits of the new file.
    mode_t mode = 0644;
    // When set and the file exists, its permission bits are kept instead of mode.
    bool keepExistingMode = false;
    // Creates missing parent folders (with folderMode) first.
    bool makeFolders = false;
    mode_t folderMode = 0700;
};

// Writes the bytes to a temporary file in the same folder, flushes it to disk, renames it over path
// and flushes the folder. On failure the temporary file is removed and path keeps its old contents.
[[nodiscard]] bool WriteFileAtomically(const std::string& path, const void* bytes, size_t size,
                                       const AtomicWriteOptions& options = {});

// mkdir -p with the given mode for each folder made. True when the folder exists afterwards.
[[nodiscard]] bool MakeFolders(const std::string& folder, mode_t mode = 0700);

}  // namespace plat

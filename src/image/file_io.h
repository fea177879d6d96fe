// Whole files read and written safely. Only regular files are opened for reading: a FIFO or
// a device could block the open or never end. A file is replaced whole or not at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rw::image {

// Empty when `path` names a regular file (links followed); otherwise why it is not one, as
// a phrase that follows the file's name ("is a FIFO", "is a directory") or the system's
// reason ("No such file or directory", "Too many levels of symbolic links").
std::string notARegularFile(const std::string& path);

struct FileStart {
    std::string bytes;      // the first bytes of the file, at most as many as were asked for
    std::uint64_t size = 0; // the whole file's size
};
// The first `maxBytes` bytes of a regular file; nothing, with the reason in `error`, for
// anything else or a file that cannot be read.
std::optional<FileStart> readFileStart(const std::string& path, std::size_t maxBytes,
                                       std::string* error = nullptr);

// Replaces the file at `path` by `data`: written beside it, every write, the flush and the
// sync to disk checked, then renamed over it. On any failure the old file stays as it was
// and `error` says why.
bool writeFileWhole(const std::string& path, std::string_view data, std::string* error = nullptr);

} // namespace rw::image

#include "sim/sim_files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace rw::sim {

namespace {

std::string describe(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::optional<E2Image> loadImage(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = describe("cannot open", path);
        return std::nullopt;
    }
    E2Image image;
    image.fill(0xFF);
    std::size_t size = 0;
    char extra = 0;
    while (true) {
        ssize_t n = size < kE2Size ? ::read(fd, image.data() + size, kE2Size - size)
                                   : ::read(fd, &extra, 1); // only to notice an oversized file
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = describe("cannot read", path);
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        if (size == kE2Size) {
            error = path + ": larger than " + std::to_string(kE2Size) + " bytes";
            ::close(fd);
            return std::nullopt;
        }
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return image;
}

bool saveImageAtomically(const std::string& path, const E2Image& image, std::string& error) {
    const std::string temp = path + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = describe("cannot create", temp);
        return false;
    }
    bool ok = writeAll(fd, reinterpret_cast<const char*>(image.data()), image.size());
    if (!ok) error = describe("cannot write", temp);
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = describe("cannot write", temp);
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = describe("cannot rename to", path);
    }
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

TraceLog::~TraceLog() {
    if (fd_ >= 0) ::close(fd_);
}

bool TraceLog::open(const std::string& path, std::string& error) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) error = describe("cannot open", path);
    return fd_ >= 0;
}

void TraceLog::append(const std::vector<std::string>& lines) {
    if (fd_ < 0 || lines.empty()) return;
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    // One write per batch keeps lines whole even if several simulators share a file.
    writeAll(fd_, text.data(), text.size());
}

} // namespace rw::sim

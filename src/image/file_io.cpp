#include "image/file_io.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace rw::image {

namespace {

namespace fs = std::filesystem;

fs::path nativePath(const std::string& path) {
#ifdef _WIN32
    // Our paths are UTF-8; the narrow path of Windows is in the ANSI code page.
    return fs::path(std::u8string(path.begin(), path.end()));
#else
    return fs::path(path);
#endif
}

void setError(std::string* error, const std::string& why) {
    if (error) *error = why;
}

// The bytes written so far reach the disk, or the reason they did not.
bool syncToDisk(QSaveFile& file, std::string* error) {
#ifndef _WIN32
    if (::fsync(file.handle()) != 0) {
        setError(error, std::error_code(errno, std::generic_category()).message());
        return false;
    }
#else
    (void)file;
    (void)error;
#endif
    return true;
}

} // namespace

std::string notARegularFile(const std::string& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(nativePath(path), ec);
    switch (st.type()) {
    case fs::file_type::regular:
        return {};
    case fs::file_type::directory:
        return "is a directory";
    case fs::file_type::fifo:
        return "is a FIFO";
    case fs::file_type::character:
        return "is a character device";
    case fs::file_type::block:
        return "is a block device";
    case fs::file_type::socket:
        return "is a socket";
    default:
        return ec ? ec.message() : "is not a regular file";
    }
}

std::optional<FileStart> readFileStart(const std::string& path, std::size_t maxBytes,
                                       std::string* error) {
    if (path.empty()) {
        setError(error, "no file name");
        return std::nullopt;
    }
    if (const std::string why = notARegularFile(path); !why.empty()) {
        setError(error, why);
        return std::nullopt;
    }
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) {
        setError(error, f.errorString().toStdString());
        return std::nullopt;
    }
    FileStart start;
    start.size = static_cast<std::uint64_t>(std::max<qint64>(f.size(), 0));
    start.bytes.resize(maxBytes);
    const qint64 n = f.read(start.bytes.data(), static_cast<qint64>(maxBytes));
    if (n < 0) {
        setError(error, f.errorString().toStdString());
        return std::nullopt;
    }
    start.bytes.resize(static_cast<std::size_t>(n));
    return start;
}

bool writeFileWhole(const std::string& path, std::string_view data, std::string* error) {
    QSaveFile f(QString::fromStdString(path));
    // Unbuffered: a write that fails says so at once. Through Qt's buffer the bytes would
    // only reach the file inside commit(), which renames even when that last write failed.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        setError(error, f.errorString().toStdString());
        return false;
    }
    qint64 done = 0;
    const auto size = static_cast<qint64>(data.size());
    while (done < size) {
        // A short write (the disk filled up) is followed by one that fails with the reason.
        const qint64 n = f.write(data.data() + done, size - done);
        if (n <= 0) {
            setError(error, f.errorString().toStdString());
            f.cancelWriting();
            return false;
        }
        done += n;
    }
    if (!f.flush() || !syncToDisk(f, error)) {
        if (f.error() != QFileDevice::NoError) setError(error, f.errorString().toStdString());
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        setError(error, f.errorString().toStdString());
        return false;
    }
    return true;
}

} // namespace rw::image

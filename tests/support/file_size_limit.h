// A full disk for a test, injected (POSIX only): while a FileSizeLimit lives, no regular
// file of this process grows beyond `bytes`. A write that crosses the limit is cut short
// and the next one fails, as they do on a file system that has run out of room.
#pragma once

#include <csignal>

#include <sys/resource.h>

namespace rw::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        // The write fails with EFBIG instead of the signal ending the process.
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*handler_)(int) = SIG_DFL;
};

} // namespace rw::test

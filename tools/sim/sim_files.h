// Files the simulator reads and writes: E2PROM images and the command trace.
#pragma once

#include "sim/sim_modem.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rw::sim {

// Reads an image of at most kE2Size bytes; shorter files are padded with FFh (erased cells).
std::optional<E2Image> loadImage(const std::string& path, std::string& error);

// Replaces path via a temporary file and rename(), so a reader never sees half an image.
bool saveImageAtomically(const std::string& path, const E2Image& image, std::string& error);

// Appends lines unbuffered, so a test can read the trace while the simulator runs.
class TraceLog {
public:
    TraceLog() = default;
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return fd_ >= 0; }
    void append(const std::vector<std::string>& lines);

private:
    int fd_ = -1;
};

} // namespace rw::sim

#include "support/temp_dir.h"

#include <QDir>

#include <fstream>
#include <iterator>

namespace rw::test {

TempDir::TempDir()
    : dir_(QDir::tempPath() + "/romwright-test-XXXXXX"), path_(dir_.path().toStdString()) {}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

} // namespace rw::test

// A scratch folder for one test, removed with everything in it when the test ends, and the
// whole-file reads and writes the tests do in it.
#pragma once

#include <QTemporaryDir>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace rw::test {

class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    QTemporaryDir dir_;
    std::filesystem::path path_;
};

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readBytes(const std::string& path);
void writeText(const std::string& path, const std::string& text);

} // namespace rw::test

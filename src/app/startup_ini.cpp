#include "app/startup_ini.h"

#include "app/run_state.h"
#include "image/file_io.h"

#include <cctype>
#include <sstream>

namespace rw::app {

namespace {

// Far more than four short lines: a huge or endless file costs nothing.
constexpr std::size_t kMaxIniBytes = 4096;

std::string lower(std::string v) {
    for (auto& c : v)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return v;
}

} // namespace

std::string startupIniPath(const std::string& dir) {
#ifdef _WIN32
    const char sep = '\\';
#else
    const char sep = '/';
#endif
    if (dir.empty()) return "startup.ini";
    if (isPathSeparator(dir.back())) return dir + "startup.ini";
    return dir + sep + "startup.ini";
}

std::optional<std::vector<std::string>> readIniFields(const std::string& path, std::size_t max) {
    // Only a regular file is opened, and only its start read: a FIFO, a device or a huge
    // file costs nothing.
    const auto start = image::readFileStart(path, kMaxIniBytes);
    if (!start) return std::nullopt;
    const std::string& text = start->bytes;

    std::vector<std::string> fields;
    std::istringstream lines(text);
    std::string line;
    while (fields.size() < max && std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::stringstream ss(line);
        std::string f;
        bool any = false;
        while (fields.size() < max && std::getline(ss, f, ',')) {
            fields.push_back(f);
            any = true;
        }
        if (!any) fields.emplace_back();
    }
    return fields;
}

std::string iniValue(const std::string& line) {
    const auto q = line.find('"');
    const std::size_t start = q == std::string::npos ? 0 : q + 1;
    if (line.empty() || start >= line.size()) return {};
    return line.substr(start, line.size() - 1 - start);
}

StartupSettings readStartupIni(const std::string& dir) {
    StartupSettings s;
    const auto fields = readIniFields(startupIniPath(dir), 4);
    if (!fields || fields->size() < 4) return s;
    s.expertMode = lower(iniValue((*fields)[2])) == "expert";
    s.watchdogOn = lower(iniValue((*fields)[3])) != "disabled";
    return s;
}

std::string StartupIniPortStore::defaultPort() {
    const auto fields = readIniFields(startupIniPath(dir_), 2);
    if (!fields || fields->size() < 2) return {};
    return iniValue((*fields)[1]);
}

void StartupIniPortStore::saveDefaultPort(const std::string& name) {
    save(name);
}

bool StartupIniPortStore::save(const std::string& name) {
    const std::string path = startupIniPath(dir_);
    const auto fields = readIniFields(path, 4);
    if (!fields || fields->size() < 2) return false;
    std::string text = (*fields)[0] + "\r\n" + "defaultcom = \"" + name + "\"\r\n";
    for (std::size_t i = 2; i < fields->size(); ++i)
        text += (*fields)[i] + "\r\n";
    return image::writeFileWhole(path, text);
}

} // namespace rw::app

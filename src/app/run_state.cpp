#include "app/run_state.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace rw::app {

const std::array<Product, 4> kProducts{{
    {1, "KRX22822  V1.2", "MII_B", false, false, "E2MB", "Kestrel ",
     "Kestrel-D VER 1.1/1.2 Romwright", "Kestrel E2 software  ", "Kestrel E2 Configurations"},
    {2, "KRB22812  V2.1", "ATM_B", true, false, "E2UB", "ATM ", "VDSL-D VER 1.1 Romwright",
     "VDSL E2 software  ", "ATM E2 Configurations"},
    {3, "KRX22822  V2.2", "MII_BP", false, true, "E2MP", "Kestrel ",
     "Kestrel-D VER 2.1/2.2 Romwright", "Kestrel E2 software  ", "Kestrel E2 Configurations"},
    {4, "KRX22812  V2.2", "ATM_BP", true, true, "E2UP", "ATM ", "VDSL-D VER 2.2 Romwright",
     "VDSL E2 software  ", "ATM E2 Configurations"},
}};

const Product* productForMode(int mode) {
    if (mode < 1 || mode > 4) return nullptr;
    return &kProducts[static_cast<std::size_t>(mode - 1)];
}

bool isPathSeparator(char c) {
#ifdef _WIN32
    return c == '\\';
#else
    return c == '\\' || c == '/';
#endif
}

static bool isSeparator(char c) {
    return isPathSeparator(c);
}

int Last_Dir(const std::string& InputString) {
    // i and j are 1-based positions, as in the window's own routine.
    const int len = static_cast<int>(InputString.size());
    int i = 1;
    int j = 0;
    for (;;) {
        if (!(i < len)) return -1;
        j = i;
        int next = 0;
        for (int k = i + 1; k <= len; ++k) {
            if (isSeparator(InputString[static_cast<std::size_t>(k - 1)])) {
                next = k;
                break;
            }
        }
        i = next;
        if (i == 0) return j;
    }
}

std::string iniValue(const std::string& line) {
    const auto q = line.find('"');
    const std::size_t start = q == std::string::npos ? 0 : q + 1;
    if (line.empty() || start >= line.size()) return {};
    return line.substr(start, line.size() - 1 - start);
}

std::string startupIniPath(const std::string& dir) {
#ifdef _WIN32
    const char sep = '\\';
#else
    const char sep = '/';
#endif
    if (dir.empty()) return "startup.ini";
    if (isSeparator(dir.back())) return dir + "startup.ini";
    return dir + sep + "startup.ini";
}

StartupSettings ReadStartupIni(const std::string& dir) {
    StartupSettings s;
    std::ifstream in(startupIniPath(dir), std::ios::binary);
    if (!in) return s;
    // Four comma- or line-separated fields; CR LF or LF line ends.
    std::vector<std::string> fields;
    std::string line;
    while (fields.size() < 4 && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::stringstream ss(line);
        std::string f;
        bool any = false;
        while (std::getline(ss, f, ',')) {
            fields.push_back(f);
            any = true;
        }
        if (!any) fields.emplace_back();
    }
    if (fields.size() < 4) return s;
    auto lower = [](std::string v) {
        for (auto& c : v)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return v;
    };
    s.ExpertMode = lower(iniValue(fields[2])) == "expert";
    s.WatchdogEnabled = lower(iniValue(fields[3])) != "disabled";
    return s;
}

int modeFromCommandLine(const std::string& commandLine) {
    if (commandLine.empty()) return 0;
    // Positions p+1..p+4 (1-based) are the first four characters of the file name; a text
    // too short or ending in a separator (Last_Dir -1) names no file.
    const int p = Last_Dir(commandLine);
    if (p < 0) return 0;
    const std::size_t i3 = static_cast<std::size_t>(p) + 2;
    const std::size_t i4 = i3 + 1;
    if (i4 >= commandLine.size()) return 0;
    const char c3 = static_cast<char>(std::toupper(static_cast<unsigned char>(commandLine[i3])));
    const char c4 = static_cast<char>(std::toupper(static_cast<unsigned char>(commandLine[i4])));
    if (c3 == 'M' && c4 == 'B') return 1;
    if (c3 == 'U' && c4 == 'B') return 2;
    if (c3 == 'M' && c4 == 'P') return 3;
    if (c3 == 'U' && c4 == 'P') return 4;
    return 0;
}

std::string commandLineFromArgs(const std::vector<std::string>& args,
                                const std::string& currentDir) {
    std::string line;
    for (const auto& a : args) {
        if (!line.empty()) line += ' ';
        line += a;
    }
    if (line.empty()) return line;
    namespace fs = std::filesystem;
    const fs::path p(line);
    if (p.is_absolute() || currentDir.empty()) return line;
    return (fs::path(currentDir) / p).string();
}

bool pathHasModeCode(const std::string& path, const std::string& modeCode) {
    for (std::size_t i = 0; i < path.size(); ++i)
        if (isPathSeparator(path[i]) && path.compare(i + 1, modeCode.size(), modeCode) == 0)
            return true;
    return false;
}

} // namespace rw::app

#include "app/run_state.h"

#include <cctype>
#include <filesystem>
#include <vector>

namespace rw::app {

bool isPathSeparator(char c) {
#ifdef _WIN32
    return c == '\\';
#else
    return c == '\\' || c == '/';
#endif
}

int lastSeparatorPosition(const std::string& input) {
    // i and j are 1-based positions, as in the window's own routine.
    const int len = static_cast<int>(input.size());
    int i = 1;
    int j = 0;
    for (;;) {
        if (!(i < len)) return -1;
        j = i;
        int next = 0;
        for (int k = i + 1; k <= len; ++k) {
            if (isPathSeparator(input[static_cast<std::size_t>(k - 1)])) {
                next = k;
                break;
            }
        }
        i = next;
        if (i == 0) return j;
    }
}

int modeFromCommandLine(const std::string& commandLine) {
    if (commandLine.empty()) return 0;
    // Positions p+1..p+4 (1-based) are the first four characters of the file name; a text
    // too short or ending in a separator (lastSeparatorPosition -1) names no file.
    const int p = lastSeparatorPosition(commandLine);
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

// Text conversions between the windows' conventions and Qt's. Plain C++ (no Qt), so the
// tests check them without a display.
#pragma once

#include <string>
#include <string_view>

namespace rw::ui {

inline std::string trimBlanks(std::string_view s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
}

// The window's filter "Patch File (E2MB*.bin) |E2MB*.bin" (description|pattern pairs) in
// Qt's form "Patch File (E2MB*.bin)", pairs joined by ";;". Patterns separated by ';' become
// blank-separated. A description that already shows its patterns in parentheses is kept.
inline std::string qtFilterFromWindowFilter(const std::string& filter) {
    std::string out;
    std::size_t pos = 0;
    while (pos <= filter.size()) {
        auto bar = filter.find('|', pos);
        const std::string desc = trimBlanks(std::string_view(filter).substr(
            pos, bar == std::string::npos ? std::string::npos : bar - pos));
        std::string pattern;
        if (bar != std::string::npos) {
            const auto next = filter.find('|', bar + 1);
            pattern = trimBlanks(std::string_view(filter).substr(
                bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1));
            pos = next == std::string::npos ? filter.size() + 1 : next + 1;
        } else {
            pos = filter.size() + 1;
        }
        for (auto& ch : pattern)
            if (ch == ';') ch = ' ';
        if (desc.empty() && pattern.empty()) continue;
        // Qt wants "Description (pattern)": add the pattern unless the description shows it.
        const bool showsPattern =
            pattern.empty() ||
            (!desc.empty() && desc.find("(" + pattern + ")") != std::string::npos);
        std::string entry = desc.empty() ? pattern : desc;
        if (!showsPattern) entry.append(" (").append(pattern).append(")");
        if (!out.empty()) out += ";;";
        out += entry;
    }
    return out;
}

// Message texts break lines with CR or CR LF; Qt wants LF.
inline std::string qtLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace rw::ui

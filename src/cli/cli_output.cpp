#include "cli/cli_output.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace rw::cli {

namespace {

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not a valid one.
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4;
    else
        return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

void appendEscaped(std::string& out, unsigned char c) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[c >> 4];
    out += kDigits[c & 0xF];
}

// Each CR, CR LF or LF as `lineBreak`.
std::string withLineBreaks(std::string_view text, char lineBreak) {
    std::string r;
    r.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        r += text[i] == '\r' || text[i] == '\n' ? lineBreak : text[i];
    }
    return r;
}

void writeEvent(std::ostream& err, const QJsonObject& event) {
    err << QJsonDocument(event).toJson(QJsonDocument::Compact).toStdString() << '\n';
    err.flush();
}

QString qtext(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

std::string formatTable(const std::vector<std::vector<std::string>>& rows,
                        const std::vector<std::size_t>& rightAligned) {
    std::vector<std::size_t> widths;
    std::vector<std::vector<std::string>> shown;
    for (const auto& row : rows) {
        auto& cells = shown.emplace_back();
        for (std::size_t c = 0; c < row.size(); ++c) {
            cells.push_back(printable(row[c]));
            if (widths.size() <= c) widths.push_back(0);
            widths[c] = std::max(widths[c], cells.back().size());
        }
    }
    std::string table;
    for (const auto& cells : shown) {
        std::string line;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const std::string pad(widths[c] - cells[c].size(), ' ');
            const bool right =
                std::find(rightAligned.begin(), rightAligned.end(), c) != rightAligned.end();
            line += (c ? "  " : "") + (right ? pad + cells[c] : cells[c] + pad);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        table += line + '\n';
    }
    return table;
}

std::string printable(std::string_view text) {
    std::string r;
    r.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = c < 0x80 ? 1 : utf8Length(text, i);
        const std::size_t step = n > 0 ? n : 1;
        // C1 controls (U+0080..U+009F) steer terminals as C0 ones do.
        const bool c1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (n == 0 || c1 || c < 0x20 || c == 0x7F) {
            for (std::size_t k = 0; k < step; ++k)
                appendEscaped(r, static_cast<unsigned char>(text[i + k]));
        } else {
            r.append(text.substr(i, n));
        }
        i += step;
    }
    return r;
}

std::string messageLine(const std::string& title, const std::string& text) {
    return printable(title + ": " + withLineBreaks(text, ' '));
}

std::vector<std::string> messageLines(const ShownMessage& m) {
    std::vector<std::string> lines{messageLine(m.title, m.text)};
    if (m.detail.empty()) return lines;
    // Line ends of any platform become this stream's.
    std::string detail = withLineBreaks(m.detail, '\n');
    while (!detail.empty() && detail.back() == '\n')
        detail.pop_back();
    const std::string_view all(detail);
    for (std::size_t start = 0; start <= all.size();) {
        const std::size_t end = std::min(all.find('\n', start), all.size());
        lines.push_back(printable(all.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

void Console::clearBar() {
    if (barWidth_ == 0) return;
    err_ << '\r' << std::string(barWidth_, ' ') << '\r';
    barWidth_ = 0;
    line_.clear();
}

void Console::message(const std::string& title, const std::string& text,
                      const std::string& detail) {
    messages_.push_back({title, text, detail});
    if (eventLines_) {
        writeEvent(err_, {{"event", "message"},
                          {"title", qtext(title)},
                          {"text", qtext(text)},
                          {"detail", qtext(detail)}});
        return;
    }
    clearBar();
    for (const std::string& line : messageLines({title, text, detail}))
        err_ << line << '\n';
    err_.flush();
}

void Console::error(const std::string& text) {
    if (eventLines_)
        return writeEvent(err_, {{"event", "note"}, {"text", qtext("romwright-cli: " + text)}});
    clearBar();
    err_ << "romwright-cli: " << printable(text) << '\n';
    err_.flush();
}

void Console::note(const std::string& text) {
    if (eventLines_) return writeEvent(err_, {{"event", "note"}, {"text", qtext(text)}});
    clearBar();
    err_ << printable(text) << '\n';
    err_.flush();
}

void Console::progress(const std::string& phase, const std::string& line) {
    // Nobody reads a stream that failed (its reader went away): the run goes on without it.
    if (quiet_ || eventLines_ || !err_) return;
    if (!terminal_) {
        if (!phase.empty() && phase != phase_) {
            err_ << phase << '\n';
            err_.flush();
        }
        phase_ = phase;
        return;
    }
    if (line == line_ && barWidth_ > 0) return;
    // A shorter line overwrites the end of the longer one before it.
    const std::size_t pad = line.size() < barWidth_ ? barWidth_ - line.size() : 0;
    err_ << '\r' << line << std::string(pad, ' ');
    err_.flush();
    line_ = line;
    barWidth_ = std::max<std::size_t>(line.size() + pad, 1);
}

void Console::endProgress() {
    if (terminal_ && barWidth_ > 0) {
        err_ << '\n';
        err_.flush();
        barWidth_ = 0;
    }
    phase_.clear();
    line_.clear();
}

} // namespace rw::cli

#include "sim/sim_modem.h"

#include "image/hex.h"

#include <utility>

namespace rw::sim {

namespace {

constexpr std::size_t kAddressSpace = 0x10000;
// The monitor's line buffer is short; further characters are dropped without echo.
constexpr std::size_t kMaxLine = 64;
constexpr std::size_t kBytesPerLine = 8;

constexpr std::string_view kNewLine = "\r\n";
constexpr std::string_view kSyntaxError = "Syntax error\r\n";
constexpr std::string_view kRangeError = "Range error\r\n";
constexpr std::string_view kReadError = "Read error\r\n";
constexpr std::string_view kUnknownCommand = "Unknown command\r\n";

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
        if (up(a[i]) != up(b[i])) return false;
    }
    return true;
}

} // namespace

SimModem::SimModem(ModemConfig config) : config_(std::move(config)), ram_(kAddressSpace, 0) {
    if (config_.image)
        e2_ = *config_.image;
    else
        e2_.fill(0xFF);
    watchdog_ = config_.watchdogOn ? kWatchdogOnValue : kWatchdogOffValue;
    silent_ = config_.silentAfter && *config_.silentAfter == 0;
}

std::uint16_t SimModem::e2Base() const {
    return config_.generation == Generation::B ? kE2BaseB : kE2BaseBPlus;
}

bool SimModem::inE2(std::uint16_t addr) const {
    return addr >= e2Base() && addr - e2Base() < static_cast<int>(kE2Size);
}

std::uint8_t SimModem::read(std::uint16_t addr) const {
    if (inE2(addr)) return e2_[addr - e2Base()];
    switch (addr) {
    case kRegInterface:
        return config_.interfaceByte;
    case kRegRevision:
        return static_cast<std::uint8_t>(config_.revision);
    case kRegModeKey:
        if (config_.generation == Generation::BPlus) return config_.modeKey;
        break;
    case kRegWatchdog:
        return watchdog_;
    default:
        break;
    }
    return ram_[addr];
}

void SimModem::write(std::uint16_t addr, std::uint8_t value) {
    if (inE2(addr)) {
        // In "L>" the monitor acknowledges the write but the E2PROM stays write-protected.
        if (!writeMode_) return;
        const std::size_t offset = addr - e2Base();
        const bool flips = config_.flipOffsets.count(static_cast<std::uint16_t>(offset)) != 0;
        e2_[offset] = flips ? static_cast<std::uint8_t>(value ^ 0x01) : value;
        ++e2Writes_;
        return;
    }
    switch (addr) {
    case kRegInterface:
    case kRegRevision:
        return; // read-only
    case kRegModeKey:
        if (config_.generation == Generation::BPlus) return; // read-only on B+
        break;
    case kRegMode: {
        const std::uint8_t key =
            config_.generation == Generation::B ? kModeKeyB : read(kRegModeKey);
        if (value == key && !config_.neverM)
            writeMode_ = true;
        else if (value == kModeLeave)
            writeMode_ = false;
        break;
    }
    case kRegUnlock:
        unlocked_ = value == kUnlockValue;
        break;
    case kRegWatchdog: {
        // Stopping a running watchdog takes the unlock write first; one unlock covers one write.
        std::uint8_t next = value;
        const bool stopping = (watchdog_ & kWatchdogRunning) && !(value & kWatchdogRunning);
        if (stopping && (!unlocked_ || config_.stuckWatchdog)) next |= kWatchdogRunning;
        watchdog_ = next;
        unlocked_ = false;
        return;
    }
    default:
        break;
    }
    ram_[addr] = value;
}

std::string SimModem::feed(std::string_view received) {
    std::string out;
    for (char c : received) {
        if (c == kEsc) {
            onEscape(out);
        } else if (c == '\r') {
            onLineEnd(out);
        } else if (c == '\n') {
            // A terminal may send CR LF; the CR already ended the line.
        } else if (c == '\b' || c == '\x7F') {
            if (!line_.empty()) {
                line_.pop_back();
                if (config_.echo && !silent_) out += "\b \b";
            }
        } else if (c >= 0x20 && c < 0x7F) {
            if (line_.size() >= kMaxLine) continue;
            line_ += c;
            if (config_.echo && !silent_) out += c;
        }
    }
    return out;
}

// Counts a command; true if it is to be answered.
bool SimModem::countCommand() {
    if (silent_) return false;
    ++commands_;
    if (config_.silentAfter && commands_ >= *config_.silentAfter) silent_ = true;
    return true;
}

void SimModem::onEscape(std::string& out) {
    trace_.emplace_back("<ESC>");
    line_.clear();
    if (!countCommand()) return;
    out += kNewLine;
    out += prompt();
}

void SimModem::onLineEnd(std::string& out) {
    std::string line = std::exchange(line_, {});
    trace_.push_back(line);
    if (!countCommand()) return;
    out += kNewLine;
    execute(line, out);
    out += prompt();
}

void SimModem::execute(std::string_view line, std::string& out) {
    if (line.empty()) return;
    const std::size_t blank = line.find(' ');
    const std::string_view keyword = line.substr(0, blank);
    const std::string_view args =
        blank == std::string_view::npos ? std::string_view{} : line.substr(blank + 1);
    if (equalsIgnoreCase(keyword, "RD")) {
        if (blank == std::string_view::npos)
            out += kSyntaxError;
        else
            commandRead(args, out);
    } else if (equalsIgnoreCase(keyword, "WR")) {
        if (blank == std::string_view::npos)
            out += kSyntaxError;
        else
            commandWrite(args, out);
    } else {
        out += kUnknownCommand;
    }
}

// "RD addr,count": rows of eight bytes, each row "AAAA : " then "BB " per byte, then CR LF.
void SimModem::commandRead(std::string_view args, std::string& out) {
    const std::size_t comma = args.find(',');
    if (comma == std::string_view::npos) {
        out += kSyntaxError;
        return;
    }
    const auto addr = image::parseHex(args.substr(0, comma), 4);
    const auto count = image::parseHex(args.substr(comma + 1), 4);
    if (!addr || !count || *count == 0) {
        out += kSyntaxError;
        return;
    }
    if (*addr + *count > kAddressSpace) {
        out += kRangeError;
        return;
    }
    if (config_.noData) {
        out += kReadError;
        return;
    }
    std::string dump;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto at = static_cast<std::uint16_t>(*addr + i);
        if (i % kBytesPerLine == 0) {
            dump += image::hex(at, 4);
            dump += " : ";
        }
        dump += image::hex(read(at), 2);
        dump += ' ';
        if (i % kBytesPerLine == kBytesPerLine - 1 || i + 1 == *count) dump += kNewLine;
    }
    if (*count > kBytesPerLine) garble(dump);
    out += dump;
}

// The garbled character sits in the middle row, in its first entry's second digit.
void SimModem::garble(std::string& dump) {
    ++longDumps_;
    if (!config_.garble || config_.garble->dump != longDumps_) return;
    constexpr std::size_t kRowLength = 33;
    const std::size_t rows = (dump.size() + kRowLength - 1) / kRowLength;
    const std::size_t at = rows / 2 * kRowLength + 8;
    switch (config_.garble->kind) {
    case GarbleKind::Insert:
        dump.insert(at, 1, '5');
        break;
    case GarbleKind::Drop:
        dump.erase(at, 1);
        break;
    case GarbleKind::Replace:
        dump[at] = 'G';
        break;
    }
}

// "WR addr value", one blank between.
void SimModem::commandWrite(std::string_view args, std::string& out) {
    const std::size_t blank = args.find(' ');
    if (blank == std::string_view::npos) {
        out += kSyntaxError;
        return;
    }
    const auto addr = image::parseHex(args.substr(0, blank), 4);
    const auto value = image::parseHex(args.substr(blank + 1), 2);
    if (!addr || !value) {
        out += kSyntaxError;
        return;
    }
    write(static_cast<std::uint16_t>(*addr), static_cast<std::uint8_t>(*value));
}

} // namespace rw::sim

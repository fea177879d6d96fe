// Serial monitor of a Kestrel modem, as seen over its RS-232 line.
//
// Pure logic: received bytes go in, the bytes the monitor would send come out. The pseudo-terminal,
// pacing and files live elsewhere so that this part can be tested without a terminal.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace rw::sim {

enum class Generation { B, BPlus };

// Register addresses of the monitor's address space.
inline constexpr std::uint16_t kRegInterface = 0x8085;
inline constexpr std::uint16_t kRegWatchdog = 0x8C01;
inline constexpr std::uint16_t kRegModeKey = 0x8C72;
inline constexpr std::uint16_t kRegRevision = 0x8C73;
inline constexpr std::uint16_t kRegMode = 0x8D00;
inline constexpr std::uint16_t kRegUnlock = 0x8D39;

inline constexpr std::uint8_t kModeKeyB = 0xB2;
inline constexpr std::uint8_t kModeLeave = 0x00;
inline constexpr std::uint8_t kUnlockValue = 0xC3;
inline constexpr std::uint8_t kWatchdogRunning = 0x04;
inline constexpr std::uint8_t kWatchdogOnValue = 0x4C;
inline constexpr std::uint8_t kWatchdogOffValue = 0x48;

inline constexpr std::size_t kE2Size = 8192;
inline constexpr std::uint16_t kE2BaseB = 0x9000;
inline constexpr std::uint16_t kE2BaseBPlus = 0xC000;

inline constexpr char kEsc = '\x1B';

using E2Image = std::array<std::uint8_t, kE2Size>;

// A noisy line's mark on one dump: a character inserted, dropped or replaced.
enum class GarbleKind { Insert, Drop, Replace };
struct DumpGarble {
    GarbleKind kind = GarbleKind::Replace;
    std::uint64_t dump = 1; // the Nth dump of more than one row, counted from 1
};

struct ModemConfig {
    Generation generation = Generation::B;
    int revision = 44;
    std::uint8_t interfaceByte = 0x10;
    std::uint8_t modeKey = 0x5A; // B+ only: the value at 8C72h that opens "M>"
    bool watchdogOn = false;
    bool echo = true;

    // Faults a real unit can show; all off by default.
    bool stuckWatchdog = false;
    std::optional<std::uint64_t> silentAfter; // commands answered before the line goes dead
    bool noData = false;                      // RD answers with an error instead of a dump
    std::set<std::uint16_t> flipOffsets;      // E2PROM offsets that store value ^ 01h
    bool neverM = false;                      // the mode register never opens "M>"
    std::optional<DumpGarble> garble;         // one dump arrives with one character wrong

    std::optional<E2Image> image; // initial E2PROM; erased (all FFh) when absent
};

class SimModem {
public:
    explicit SimModem(ModemConfig config);

    // Processes received bytes; returns everything the monitor sends in reply (echo included).
    std::string feed(std::string_view received);

    const E2Image& e2prom() const { return e2_; }
    std::uint16_t e2Base() const;
    bool writeMode() const { return writeMode_; }
    std::string_view prompt() const { return writeMode_ ? "M>" : "L>"; }
    bool silent() const { return silent_; }
    std::uint64_t commandCount() const { return commands_; }
    // Bumped on every write that reached the E2PROM; lets the caller save only when needed.
    std::uint64_t e2WriteCount() const { return e2Writes_; }

    // Received command lines, ESC as "<ESC>", oldest first, since the last clearTrace().
    const std::vector<std::string>& trace() const { return trace_; }
    void clearTrace() { trace_.clear(); }

    // Bus access as the monitor's RD/WR see it.
    std::uint8_t read(std::uint16_t addr) const;
    void write(std::uint16_t addr, std::uint8_t value);

private:
    void onEscape(std::string& out);
    void onLineEnd(std::string& out);
    void execute(std::string_view line, std::string& out);
    void commandRead(std::string_view args, std::string& out);
    void garble(std::string& dump);
    void commandWrite(std::string_view args, std::string& out);
    bool inE2(std::uint16_t addr) const;
    bool countCommand();

    ModemConfig config_;
    E2Image e2_{};
    std::vector<std::uint8_t> ram_;
    std::string line_;
    std::vector<std::string> trace_;
    std::uint8_t watchdog_ = kWatchdogOffValue;
    bool unlocked_ = false;
    bool writeMode_ = false;
    bool silent_ = false;
    std::uint64_t commands_ = 0;
    std::uint64_t e2Writes_ = 0;
    std::uint64_t longDumps_ = 0;
};

} // namespace rw::sim

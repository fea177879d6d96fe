#include "sim/sim_options.h"

#include <array>
#include <cctype>
#include <charconv>

namespace rw::sim {

namespace {

constexpr int kDefaultRevisionB = 44;
constexpr int kDefaultRevisionBPlus = 49;
constexpr int kRevisionWatchdogOn = 50;

struct InterfaceEntry {
    unsigned type;
    unsigned variant;
    std::string_view name;
};

constexpr std::array<InterfaceEntry, 12> kInterfaces{{
    {0, 0, "Utopia Master"},
    {1, 0, "Utopia Phy"},
    {2, 0, "MII MAC"},
    {2, 1, "RMII MAC"},
    {3, 0, "Unknown"},
    {3, 1, "7wire MAC"},
    {4, 0, "TC"},
    {5, 0, "T1/E1 repeater"},
    {6, 0, "MII Phy"},
    {6, 1, "RMII Phy"},
    {7, 0, "SMII Phy"},
    {7, 1, "7wire Phy"},
}};

constexpr std::uint8_t interfaceByte(unsigned type, unsigned variant) {
    return static_cast<std::uint8_t>(type * 8 + variant * 4);
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

template <typename T> std::optional<T> parseNumber(std::string_view text, int base) {
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    T value{};
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
    return value;
}

std::optional<std::uint8_t> parseByte(std::string_view text) {
    auto v = parseNumber<unsigned>(text, 16);
    if (!v || *v > 0xFF) return std::nullopt;
    return static_cast<std::uint8_t>(*v);
}

} // namespace

std::optional<std::uint8_t> interfaceByteForName(std::string_view name) {
    for (const auto& e : kInterfaces)
        if (sameName(name, e.name)) return interfaceByte(e.type, e.variant);
    return std::nullopt;
}

std::string interfaceName(std::uint8_t byte) {
    const unsigned type = (byte >> 3) & 7;
    const unsigned variant = (byte >> 2) & 1;
    // A type with one name only has that name for either variant.
    std::string_view name;
    for (const auto& e : kInterfaces) {
        if (e.type != type) continue;
        if (e.variant == variant) return std::string(e.name);
        if (e.variant == 0) name = e.name;
    }
    return std::string(name);
}

std::optional<Generation> generationForRevision(int revision) {
    switch (revision) {
    case 41:
    case 44:
        return Generation::B;
    case 49:
    case 50:
        return Generation::BPlus;
    default:
        return std::nullopt;
    }
}

std::string usageText() {
    return "Usage: romwright-sim [options]\n"
           "Simulates the serial monitor of a Kestrel modem on a pseudo-terminal.\n"
           "The first line on stdout is the terminal device to open.\n"
           "\n"
           "Modem:\n"
           "  --generation B|B+        chip generation (default: from --revision, else B)\n"
           "  --revision N             chip revision, decimal (default 44 for B, 49 for B+)\n"
           "  --interface NAME         interface type by name, e.g. \"RMII MAC\"\n"
           "                           (default: MII MAC for B, RMII MAC for B+)\n"
           "  --interface-byte HEX     interface type byte as read at 8085h\n"
           "  --m-key HEX              B+: value at 8C72h that opens M> (default 5A)\n"
           "  --watchdog on|off        watchdog running at start (default: on for revision 50)\n"
           "  --image FILE             initial E2PROM, up to 8192 bytes, padded with FF\n"
           "  --no-echo                do not echo typed characters\n"
           "\n"
           "Files and line:\n"
           "  --write-back FILE        save the E2PROM to FILE after each write to it\n"
           "  --trace FILE             append every received command line to FILE\n"
           "  --link PATH              symlink PATH to the terminal device while running\n"
           "  --no-throttle            send at full speed instead of 960 characters/s\n"
           "\n"
           "Faults:\n"
           "  --silent-after N         stop answering after N commands (lines and ESCs)\n"
           "  --no-data                RD answers with an error instead of a dump\n"
           "  --flip OFF[,OFF...]      E2PROM offsets (hex) that store value XOR 01\n"
           "  --never-m                the mode register never opens M>\n"
           "  --stuck-watchdog         the watchdog cannot be stopped\n"
           "\n"
           "  --help                   this text\n";
}

ParseResult parseOptions(const std::vector<std::string>& args) {
    SimOptions opts;
    std::optional<Generation> generation;
    std::optional<int> revision;
    std::optional<std::uint8_t> iface;
    std::optional<bool> watchdog;

    auto fail = [](std::string message) { return ParseResult{std::nullopt, std::move(message)}; };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        auto noValue = [&]() { return !inlineValue; };

        if (name == "--help" || name == "-h") {
            opts.help = true;
        } else if (name == "--no-echo" && noValue()) {
            opts.modem.echo = false;
        } else if (name == "--no-throttle" && noValue()) {
            opts.throttle = false;
        } else if (name == "--stuck-watchdog" && noValue()) {
            opts.modem.stuckWatchdog = true;
        } else if (name == "--no-data" && noValue()) {
            opts.modem.noData = true;
        } else if (name == "--never-m" && noValue()) {
            opts.modem.neverM = true;
        } else if (name == "--generation") {
            auto v = value();
            if (v == "B" || v == "b")
                generation = Generation::B;
            else if (v == "B+" || v == "b+")
                generation = Generation::BPlus;
            else
                return fail("--generation takes B or B+");
        } else if (name == "--revision") {
            auto v = value();
            auto n = v ? parseNumber<int>(*v, 10) : std::nullopt;
            if (!n || *n < 0 || *n > 0xFF) return fail("--revision takes a number 0..255");
            revision = *n;
        } else if (name == "--interface") {
            auto v = value();
            iface = v ? interfaceByteForName(*v) : std::nullopt;
            if (!iface) return fail("--interface: unknown interface name '" + v.value_or("") + "'");
        } else if (name == "--interface-byte") {
            auto v = value();
            iface = v ? parseByte(*v) : std::nullopt;
            if (!iface) return fail("--interface-byte takes a hex byte");
        } else if (name == "--m-key") {
            auto v = value();
            auto key = v ? parseByte(*v) : std::nullopt;
            // 00 leaves M>, so it cannot also be the key that opens it.
            if (!key || *key == kModeLeave) return fail("--m-key takes a hex byte 01..FF");
            opts.modem.modeKey = *key;
        } else if (name == "--watchdog") {
            auto v = value();
            if (v == "on")
                watchdog = true;
            else if (v == "off")
                watchdog = false;
            else
                return fail("--watchdog takes on or off");
        } else if (name == "--silent-after") {
            auto v = value();
            auto n = v ? parseNumber<std::uint64_t>(*v, 10) : std::nullopt;
            if (!n) return fail("--silent-after takes a number");
            opts.modem.silentAfter = *n;
        } else if (name == "--flip") {
            auto v = value();
            if (!v) return fail("--flip takes hex offsets separated by commas");
            std::string_view rest = *v;
            while (true) {
                const auto comma = rest.find(',');
                auto off = parseNumber<unsigned>(rest.substr(0, comma), 16);
                if (!off || *off >= kE2Size)
                    return fail("--flip: offsets are hex, below 2000 (" + *v + ")");
                opts.modem.flipOffsets.insert(static_cast<std::uint16_t>(*off));
                if (comma == std::string_view::npos) break;
                rest.remove_prefix(comma + 1);
            }
        } else if (name == "--image" || name == "--write-back" || name == "--trace" ||
                   name == "--link") {
            auto v = value();
            if (!v || v->empty()) return fail(name + " takes a path");
            (name == "--image"        ? opts.imagePath
             : name == "--write-back" ? opts.writeBackPath
             : name == "--trace"      ? opts.tracePath
                                      : opts.linkPath) = *v;
        } else {
            return fail("unknown option '" + args[i] + "'");
        }
    }

    if (!generation) generation = revision ? generationForRevision(*revision) : std::nullopt;
    opts.modem.generation = generation.value_or(Generation::B);
    opts.modem.revision = revision.value_or(
        opts.modem.generation == Generation::B ? kDefaultRevisionB : kDefaultRevisionBPlus);
    opts.modem.interfaceByte = iface.value_or(
        *interfaceByteForName(opts.modem.generation == Generation::B ? "MII MAC" : "RMII MAC"));
    opts.modem.watchdogOn = watchdog.value_or(opts.modem.revision == kRevisionWatchdogOn);
    return ParseResult{opts, {}};
}

} // namespace rw::sim

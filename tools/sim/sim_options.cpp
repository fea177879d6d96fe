#include "sim/sim_options.h"

#include <array>
#include <cctype>
#include <charconv>

namespace rw::sim {

namespace {

constexpr int kDefaultRevisionB = 44;
constexpr int kDefaultRevisionBPlus = 49;
constexpr int kRevisionWatchdogOn = 50;
constexpr int kMaxModems = 64;

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
           "Bench:\n"
           "  --count N                N modems, one device path per line; each has its own\n"
           "                           E2PROM (from --image) and its own write-back, trace and\n"
           "                           link names: -K before the extension (trace-2.txt)\n"
           "  --fault-on K             the faults below apply to modem K only (default: all)\n"
           "\n"
           "Faults:\n"
           "  --silent-after N         stop answering after N commands (lines and ESCs)\n"
           "  --no-data                RD answers with an error instead of a dump\n"
           "  --flip OFF[,OFF...]      E2PROM offsets (hex) that store value XOR 01\n"
           "  --never-m                the mode register never opens M>\n"
           "  --stuck-watchdog         the watchdog cannot be stopped\n"
           "  --garble KIND[,N]        one character inside the Nth dump of more than one\n"
           "                           row (default the first): KIND insert (an extra digit),\n"
           "                           drop (one missing) or replace (by a non-hex one)\n"
           "\n"
           "  --help                   this text\n";
}

namespace {

// What the options say, before the defaults that depend on each other are settled.
struct Parsed {
    SimOptions opts;
    std::optional<Generation> generation;
    std::optional<int> revision;
    std::optional<std::uint8_t> iface;
    std::optional<bool> watchdog;
};

// An option's work on its value (empty for a flag); returns an error text, empty when fine.
using Handler = std::string (*)(Parsed&, const std::string& value);

struct OptionRow {
    std::string_view name;
    bool takesValue;
    Handler handle;
};

std::string setFlag(bool& flag, bool value) {
    flag = value;
    return {};
}

std::string parseFlips(Parsed& p, const std::string& v) {
    std::string_view rest = v;
    while (true) {
        const auto comma = rest.find(',');
        auto off = parseNumber<unsigned>(rest.substr(0, comma), 16);
        if (!off || *off >= kE2Size) return "--flip: offsets are hex, below 2000 (" + v + ")";
        p.opts.modem.flipOffsets.insert(static_cast<std::uint16_t>(*off));
        if (comma == std::string_view::npos) return {};
        rest.remove_prefix(comma + 1);
    }
}

std::string parseGarble(Parsed& p, const std::string& v) {
    const std::string error = "--garble takes insert, drop or replace, then ,N for the Nth dump";
    const auto comma = v.find(',');
    const std::string kind = v.substr(0, comma);
    DumpGarble g;
    if (kind == "insert")
        g.kind = GarbleKind::Insert;
    else if (kind == "drop")
        g.kind = GarbleKind::Drop;
    else if (kind == "replace")
        g.kind = GarbleKind::Replace;
    else
        return error;
    if (comma != std::string::npos) {
        const auto n = parseNumber<std::uint64_t>(std::string_view(v).substr(comma + 1), 10);
        if (!n || *n == 0) return error;
        g.dump = *n;
    }
    p.opts.modem.garble = g;
    return {};
}

std::string parseGeneration(Parsed& p, const std::string& v) {
    if (v == "B" || v == "b")
        p.generation = Generation::B;
    else if (v == "B+" || v == "b+")
        p.generation = Generation::BPlus;
    else
        return "--generation takes B or B+";
    return {};
}

std::string parseRevision(Parsed& p, const std::string& v) {
    const auto n = parseNumber<int>(v, 10);
    if (!n || *n < 0 || *n > 0xFF) return "--revision takes a number 0..255";
    p.revision = *n;
    return {};
}

std::string parseModeKey(Parsed& p, const std::string& v) {
    const auto key = parseByte(v);
    // 00 leaves M>, so it cannot also be the key that opens it.
    if (!key || *key == kModeLeave) return "--m-key takes a hex byte 01..FF";
    p.opts.modem.modeKey = *key;
    return {};
}

std::string parseWatchdog(Parsed& p, const std::string& v) {
    if (v != "on" && v != "off") return "--watchdog takes on or off";
    p.watchdog = v == "on";
    return {};
}

std::string setPath(std::string& path, const char* name, const std::string& v) {
    if (v.empty()) return std::string(name) + " takes a path";
    path = v;
    return {};
}

const OptionRow kOptionRows[] = {
    {"--help", false, [](Parsed& p, const std::string&) { return setFlag(p.opts.help, true); }},
    {"-h", false, [](Parsed& p, const std::string&) { return setFlag(p.opts.help, true); }},
    {"--no-echo", false,
     [](Parsed& p, const std::string&) { return setFlag(p.opts.modem.echo, false); }},
    {"--no-throttle", false,
     [](Parsed& p, const std::string&) { return setFlag(p.opts.throttle, false); }},
    {"--stuck-watchdog", false,
     [](Parsed& p, const std::string&) { return setFlag(p.opts.modem.stuckWatchdog, true); }},
    {"--no-data", false,
     [](Parsed& p, const std::string&) { return setFlag(p.opts.modem.noData, true); }},
    {"--never-m", false,
     [](Parsed& p, const std::string&) { return setFlag(p.opts.modem.neverM, true); }},
    {"--generation", true, parseGeneration},
    {"--revision", true, parseRevision},
    {"--interface", true,
     [](Parsed& p, const std::string& v) {
         p.iface = interfaceByteForName(v);
         return p.iface ? std::string() : "--interface: unknown interface name '" + v + "'";
     }},
    {"--interface-byte", true,
     [](Parsed& p, const std::string& v) {
         p.iface = parseByte(v);
         return p.iface ? std::string() : std::string("--interface-byte takes a hex byte");
     }},
    {"--m-key", true, parseModeKey},
    {"--watchdog", true, parseWatchdog},
    {"--silent-after", true,
     [](Parsed& p, const std::string& v) {
         const auto n = parseNumber<std::uint64_t>(v, 10);
         if (n) p.opts.modem.silentAfter = *n;
         return n ? std::string() : std::string("--silent-after takes a number");
     }},
    {"--flip", true, parseFlips},
    {"--garble", true, parseGarble},
    {"--image", true,
     [](Parsed& p, const std::string& v) { return setPath(p.opts.imagePath, "--image", v); }},
    {"--write-back", true,
     [](Parsed& p, const std::string& v) {
         return setPath(p.opts.writeBackPath, "--write-back", v);
     }},
    {"--trace", true,
     [](Parsed& p, const std::string& v) { return setPath(p.opts.tracePath, "--trace", v); }},
    {"--link", true,
     [](Parsed& p, const std::string& v) { return setPath(p.opts.linkPath, "--link", v); }},
    {"--count", true,
     [](Parsed& p, const std::string& v) {
         const auto n = parseNumber<int>(v, 10);
         if (!n || *n < 1 || *n > kMaxModems) return std::string("--count takes 1..64");
         p.opts.count = *n;
         return std::string();
     }},
    {"--fault-on", true,
     [](Parsed& p, const std::string& v) {
         const auto k = parseNumber<int>(v, 10);
         if (!k || *k < 1) return std::string("--fault-on takes a modem 1..N");
         p.opts.faultOn = *k;
         return std::string();
     }},
};

const OptionRow* findRow(std::string_view name) {
    for (const OptionRow& row : kOptionRows)
        if (row.name == name) return &row;
    return nullptr;
}

// The defaults that depend on other options: generation from revision and the reverse,
// the interface and the watchdog from the generation and revision.
SimOptions settle(Parsed& p) {
    SimOptions& opts = p.opts;
    if (!p.generation)
        p.generation = p.revision ? generationForRevision(*p.revision) : std::nullopt;
    opts.modem.generation = p.generation.value_or(Generation::B);
    const bool b = opts.modem.generation == Generation::B;
    opts.modem.revision = p.revision.value_or(b ? kDefaultRevisionB : kDefaultRevisionBPlus);
    opts.modem.interfaceByte = p.iface.value_or(*interfaceByteForName(b ? "MII MAC" : "RMII MAC"));
    opts.modem.watchdogOn = p.watchdog.value_or(opts.modem.revision == kRevisionWatchdogOn);
    return opts;
}

} // namespace

ModemConfig modemConfig(const SimOptions& options, int k) {
    ModemConfig c = options.modem;
    if (options.faultOn == 0 || options.faultOn == k) return c;
    const ModemConfig sound;
    c.stuckWatchdog = sound.stuckWatchdog;
    c.silentAfter = sound.silentAfter;
    c.noData = sound.noData;
    c.flipOffsets = sound.flipOffsets;
    c.neverM = sound.neverM;
    c.garble = sound.garble;
    return c;
}

std::string pathFor(const std::string& path, int k, int count) {
    if (count <= 1 || path.empty()) return path;
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    const bool extension =
        dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1);
    const std::size_t at = extension ? dot : path.size();
    return path.substr(0, at) + "-" + std::to_string(k) + path.substr(at);
}

ParseResult parseOptions(const std::vector<std::string>& args) {
    Parsed parsed;
    auto fail = [](std::string message) { return ParseResult{std::nullopt, std::move(message)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const OptionRow* row = findRow(name);
        // A flag given a value is no option of ours.
        if (!row || (!row->takesValue && value)) return fail("unknown option '" + args[i] + "'");
        if (row->takesValue && !value && i + 1 < args.size()) value = args[++i];
        if (row->takesValue && !value) return fail(name + " needs a value");
        const std::string error = row->handle(parsed, value.value_or(std::string()));
        if (!error.empty()) return fail(error);
    }
    if (parsed.opts.faultOn > parsed.opts.count)
        return fail("--fault-on " + std::to_string(parsed.opts.faultOn) + ": there are only " +
                    std::to_string(parsed.opts.count) + " modems (--count)");
    return ParseResult{settle(parsed), {}};
}

} // namespace rw::sim

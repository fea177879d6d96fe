#include "cli/cli_args.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <charconv>
#include <optional>

namespace rw::cli {

namespace {

// An option whose values have rules of their own, or that may be given several times:
// reads them all into Arguments; returns why they are refused (empty when fine).
using ValueParser = std::string (*)(Arguments& a, const std::vector<std::string>& values);

// Every option of the command line. A new option is one row here, its name in the commands
// that take it, and its field in Arguments.
struct OptionInfo {
    const char* name;
    const char* shortName;                  // "" : none
    const char* valueName;                  // "" : a flag
    bool Arguments::*flag = nullptr;        // a flag's field
    std::string Arguments::*text = nullptr; // a name's field (the last one given counts)
    ValueParser parse = nullptr;
};

// 1 or more.
std::optional<int> positiveNumber(const std::string& text) {
    int v = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || stop != end || v < 1) return std::nullopt;
    return v;
}

std::string parseProduct(Arguments& a, const std::vector<std::string>& values) {
    const std::string& value = values.back();
    if (value.size() != 1 || value[0] < '1' || value[0] > '4')
        return "--product takes 1, 2, 3 or 4, not '" + value + "'";
    a.product = value[0] - '0';
    return {};
}

std::string parseReserved(Arguments& a, const std::vector<std::string>& values) {
    for (const std::string& v : values) {
        const auto eq = v.find('=');
        if (eq == std::string::npos)
            return "--reserved takes ADDRESS=VALUE in hexadecimal, not '" + v + "'";
        a.reserved.push_back({v.substr(0, eq), v.substr(eq + 1)});
    }
    return {};
}

std::string parsePorts(Arguments& a, const std::vector<std::string>& values) {
    for (const std::string& v : values) {
        if (v.empty()) return "--port needs PORT";
        a.ports.push_back(v);
    }
    return {};
}

std::string parseJobs(Arguments& a, const std::vector<std::string>& values) {
    const auto n = positiveNumber(values.back());
    if (!n) return "--jobs takes how many runs go at once (1 or more), not '" + values.back() + "'";
    a.jobs = *n;
    return {};
}

std::string parseLast(Arguments& a, const std::vector<std::string>& values) {
    const auto n = positiveNumber(values.back());
    if (!n) return "--last takes a number of runs (1 or more), not '" + values.back() + "'";
    a.last = *n;
    return {};
}

const OptionInfo kOptions[] = {
    {"product", "", "N", nullptr, nullptr, parseProduct},
    {"output", "o", "OUT", nullptr, &Arguments::output},
    {"port", "", "PORT", nullptr, nullptr, parsePorts},
    {"jobs", "", "N", nullptr, nullptr, parseJobs},
    {"last", "", "N", nullptr, nullptr, parseLast},
    {"backup", "", "FILE", nullptr, &Arguments::backupFile},
    {"reserved", "", "A=V", nullptr, nullptr, parseReserved},
    {"json", "", "", &Arguments::json},
    {"quiet", "q", "", &Arguments::quiet},
    {"defaults", "", "", &Arguments::defaults},
    {"dry-run", "", "", &Arguments::dryRun},
    {"force", "", "", &Arguments::force},
    {"event-lines", "", "", &Arguments::eventLines},
};

struct CommandInfo {
    Command command;
    const char* name;
    std::vector<std::string> options; // long names in kOptions
    std::size_t files;                // FILE, or A and B
    bool edits;                       // NAME=VALUE after the files
    bool needsOutput;                 // -o OUT
    bool severalPorts = false;        // --port given more than once: a run on each
};

const std::vector<CommandInfo>& commands() {
    // clang-format off
    static const std::vector<CommandInfo> table = {
        {Command::Show, "show", {"product", "json"}, 1, false, false},
        {Command::Edit, "edit", {"output", "force", "product", "defaults", "reserved"},
         1, true, true},
        {Command::Program, "program", {"port", "jobs", "product", "dry-run", "backup", "force",
         "quiet", "json", "event-lines"}, 1, true, false, true},
        {Command::Restore, "restore", {"port", "jobs", "product", "backup", "force", "quiet",
         "json", "event-lines"}, 1, false, false, true},
        {Command::Read, "read", {"port", "product", "output", "force", "quiet", "json"}, 0, false,
         true},
        {Command::Verify, "verify", {"port", "jobs", "product", "quiet", "json", "event-lines"},
         1, true, false, true},
        {Command::Diff, "diff", {"product"}, 2, false, false},
        {Command::Log, "log", {"last", "json"}, 0, false, false},
    };
    // clang-format on
    return table;
}

const CommandInfo* findCommand(const std::string& name) {
    for (const auto& c : commands())
        if (name == c.name) return &c;
    return nullptr;
}

// By its long or short name.
const OptionInfo* findOption(const std::string& name) {
    for (const auto& o : kOptions)
        if (name == o.name || name == o.shortName) return &o;
    return nullptr;
}

std::string shownName(const std::string& name) {
    return (name.size() == 1 ? "-" : "--") + name;
}

// Arguments are bytes of no known encoding (file names): each byte travels through the
// parser as one character and comes back unchanged.
QString toQt(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
std::string fromQt(const QString& s) {
    const QByteArray b = s.toLatin1();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

std::string parseError(const QCommandLineParser& parser, const CommandInfo* command) {
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty()) return fromQt(parser.errorText());
    const std::string name = fromQt(unknown.front());
    if (command && findOption(name))
        return "option '" + shownName(name) + "' is not known to '" + command->name + "'";
    return "unknown option '" + shownName(name) + "'";
}

const QCommandLineOption& helpOption() {
    static const QCommandLineOption help(QStringList{"h", "help"});
    return help;
}

// Before the command only --help and --version; all after it is the command's and is left
// in `rest`, the program's name first. `info` is null when there is no command.
std::string parseTop(const std::vector<std::string>& argv, Arguments& a, QStringList& rest,
                     const CommandInfo*& info) {
    const QCommandLineOption version("version");
    QCommandLineParser top;
    top.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    top.addOption(helpOption());
    top.addOption(version);
    QStringList all{QStringLiteral("romwright-cli")};
    for (const std::string& s : argv)
        all << toQt(s);
    if (!top.parse(all)) return parseError(top, nullptr);
    a.help = top.isSet(helpOption());
    a.version = top.isSet(version);
    rest = top.positionalArguments();
    if (rest.isEmpty()) return a.help || a.version ? std::string() : "no command given";
    info = findCommand(fromQt(rest.front()));
    if (!info) return "unknown command '" + fromQt(rest.front()) + "'";
    a.command = info->command;
    rest.front() = all.front(); // the parser skips the program's name
    return {};
}

// The values of the command's options into Arguments.
std::string readOptions(const QCommandLineParser& parser, const CommandInfo& info, Arguments& a) {
    for (const std::string& name : info.options) {
        const OptionInfo& o = *findOption(name);
        const QString key = QString::fromLatin1(o.name);
        if (o.flag) a.*o.flag = parser.isSet(key);
        if (!parser.isSet(key) || !*o.valueName) continue;
        std::vector<std::string> values;
        for (const QString& each : parser.values(key))
            values.push_back(fromQt(each));
        if (o.parse) {
            if (std::string why = o.parse(a, values); !why.empty()) return why;
        } else if (values.back().empty()) {
            return shownName(*o.shortName ? o.shortName : o.name) + " needs " + o.valueName;
        } else {
            a.*o.text = values.back();
        }
    }
    return {};
}

// FILE (or A and B), then NAME=VALUE edits where the command takes them.
std::string readPositionals(const QStringList& positionals, const CommandInfo& info, Arguments& a) {
    for (const QString& each : positionals) {
        const std::string p = fromQt(each);
        if (a.files.size() < info.files) {
            if (p.empty()) return "an empty file name was given";
            a.files.push_back(p);
            continue;
        }
        const auto eq = p.find('=');
        if (!info.edits || eq == std::string::npos) return "unexpected argument '" + p + "'";
        if (eq == 0) return "field edit '" + p + "' has no field name";
        a.edits.push_back({p.substr(0, eq), p.substr(eq + 1)});
    }
    if (a.files.size() < info.files)
        return std::string(info.name) + (info.files == 2 ? " needs two files" : " needs a FILE");
    return {};
}

std::string checkCombinations(const CommandInfo& info, const Arguments& a) {
    if (info.needsOutput && a.output.empty()) return std::string(info.name) + " needs -o OUT";
    if (a.dryRun && !a.backupFile.empty())
        return "--backup with --dry-run: a dry run writes nothing, so it backs up nothing";
    if (a.ports.size() > 1 && !info.severalPorts)
        return std::string(info.name) + " takes one --port";
    if (a.ports.size() > 1 && !a.backupFile.empty())
        return "--backup FILE with several ports: each run keeps its own backup in the backups "
               "folder";
    return {};
}

} // namespace

std::string commandName(Command c) {
    for (const auto& info : commands())
        if (info.command == c) return info.name;
    return {};
}

std::optional<int> parseHexByte(const std::string& text) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    unsigned v = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, v, 16);
    if (ec != std::errc() || stop != end) return std::nullopt;
    return static_cast<int>(v);
}

ParseOutcome parseArguments(const std::vector<std::string>& argv) {
    ParseOutcome r;
    Arguments& a = r.args;
    QStringList rest;
    const CommandInfo* info = nullptr;
    r.error = parseTop(argv, a, rest, info);
    if (!r.error.empty() || !info) return r;

    QCommandLineParser parser;
    parser.addOption(helpOption());
    for (const std::string& name : info->options) {
        const OptionInfo& o = *findOption(name);
        QStringList names{QString::fromLatin1(o.name)};
        if (*o.shortName) names.prepend(QString::fromLatin1(o.shortName));
        parser.addOption(QCommandLineOption(names, QString(), QString::fromLatin1(o.valueName)));
    }
    if (!parser.parse(rest)) {
        r.error = parseError(parser, info);
        return r;
    }
    a.help = a.help || parser.isSet(helpOption());
    if (a.help) return r;
    r.error = readOptions(parser, *info, a);
    if (r.error.empty()) r.error = readPositionals(parser.positionalArguments(), *info, a);
    if (r.error.empty()) r.error = checkCombinations(*info, a);
    return r;
}

std::string usageText() {
    return "Usage: romwright-cli COMMAND [OPTIONS]\n"
           "Edits and programs the configuration E2PROM of Kestrel VDSL modems without a\n"
           "display, through the same window models and routines as the Romwright window.\n"
           "\n"
           "Commands:\n"
           "  show FILE [--product N] [--json]\n"
           "  edit FILE -o OUT [--force] [--product N] [--defaults] [--reserved A=V]...\n"
           "                   [NAME=VALUE]...\n"
           "  program FILE --port PORT... [--jobs N] [--product N] [--dry-run]\n"
           "               [--backup FILE [--force]] [NAME=VALUE]...\n"
           "  restore FILE --port PORT... [--jobs N] [--product N] [--backup FILE [--force]]\n"
           "  read --port PORT --product N -o OUT [--force]\n"
           "  verify FILE --port PORT... [--jobs N] [--product N] [NAME=VALUE]...\n"
           "  diff A B [--product N]\n"
           "  log [--last N] [--json]\n"
           "\n"
           "  romwright-cli COMMAND --help   describes a command and every option of it\n"
           "  romwright-cli --version        prints the version\n"
           "\n"
           "Products (--product N): 1 MII B (E2MB), 2 UTOPIA B (E2UB), 3 MII B+ (E2MP),\n"
           "4 UTOPIA B+ (E2UP). Without --product the third and fourth characters of the\n"
           "file name choose the product (M or U, then B or P; any case).\n"
           "PORT: COM1..COM6 or a device path (/dev/ttyUSB0). On POSIX systems COMn is\n"
           "/dev/ttyS<n-1> unless the environment variable ROMWRIGHT_COMn names another\n"
           "device. Without --port the default port of startup.ini is used.\n"
           "startup.ini is read from the current directory (expert layout, watchdog, port).\n"
           "program, restore, read and verify take -q/--quiet and --json as well.\n"
           "program, restore and verify take --port more than once: a run on each port at\n"
           "the same time, then a table of the results.\n"
           "\n"
           "Every message the window would show is printed on stderr as TITLE: TEXT.\n"
           "edit and read keep an existing OUT, program and restore an existing --backup\n"
           "FILE (exit 2), unless --force is given.\n"
           "Every modem run is logged in runs.jsonl in the application's data folder.\n"
           "Exit status: 0 success; 1 the modem work failed (programming or communication\n"
           "error, mismatch, abort; with several ports: on any of them); 2 bad usage or bad\n"
           "input (nothing is written then).\n";
}

std::string helpText(Command c) {
    const std::string common =
        "  --product N        product 1..4 (1 MII B, 2 UTOPIA B, 3 MII B+, 4 UTOPIA B+);\n"
        "                     default: the file name's third and fourth characters\n";
    const std::string port =
        "  --port PORT        COM1..COM6 or a device path; default: startup.ini's port\n";
    const std::string ports =
        "  --port PORT        COM1..COM6 or a device path; default: startup.ini's port.\n"
        "                     Given more than once, a run goes on each port at the same\n"
        "                     time, each on its own; on a terminal one progress line per\n"
        "                     port, otherwise a line per port and phase; at the end a\n"
        "                     table of port, device, interface and generation found,\n"
        "                     result, bytes written and verified, seconds and backup.\n"
        "                     Exit 0 when every run completed, 1 when any did not\n"
        "  --jobs N           with several ports, at most N runs at once (default: all)\n";
    const std::string run =
        "  -q, --quiet        no progress: only the messages and the result\n"
        "  --json             print one JSON object on stdout at the end: result, exit\n"
        "                     status, product, port and device, interface and generation\n"
        "                     found, bytes read, written and verified, offsets that failed\n"
        "                     (wanted and found), backup path, seconds, messages shown\n";
    const std::string edits =
        "  NAME=VALUE         a field edit, applied in order as a user makes it: a text\n"
        "                     box is emptied, VALUE typed key by key, then left; a\n"
        "                     drop-down gets the item VALUE picked (exact item text); a\n"
        "                     check box is clicked when its state differs from VALUE (0\n"
        "                     or 1); DownCarrierScroll=up|down and UpCarrierScroll=up|down\n"
        "                     click that arrow. Field names as 'show' prints them.\n";
    switch (c) {
    case Command::Show:
        return "Usage: romwright-cli show FILE [--product N] [--json]\n"
               "Loads FILE as the Open command does and prints every field of the\n"
               "configuration window as NAME=TEXT, one per line (check boxes 0 or 1).\n"
               "\n"
               "Options:\n" +
               common +
               "  --json             print one JSON object of names and texts instead\n"
               "                     (its keys in name order)\n";
    case Command::Edit:
        return "Usage: romwright-cli edit FILE -o OUT [--force] [--product N] [--defaults]\n"
               "                         [--reserved A=V]... [NAME=VALUE]...\n"
               "Loads FILE, edits the configuration as a user would, runs the window's\n"
               "\"Done\" check and saves the result as a new patch file OUT. OUT's file name\n"
               "must begin with the product's mode code (E2MB, E2UB, E2MP or E2UP).\n"
               "\n"
               "Options:\n"
               "  -o, --output OUT   the patch file to write; an existing one is kept (exit 2)\n"
               "                     unless --force is given\n"
               "  --force            overwrite OUT when it exists\n" +
               common +
               "  --defaults         press \"Default\" first (factory values)\n"
               "  --reserved A=V     set byte A of the reserved area to V (both hexadecimal,\n"
               "                     00..FF; products 3 and 4 only); may be repeated\n" +
               edits;
    case Command::Program:
        return "Usage: romwright-cli program FILE --port PORT... [--jobs N] [--product N]\n"
               "                    [--dry-run] [--backup FILE [--force]] [NAME=VALUE]...\n"
               "Loads FILE, applies the edits (then the \"Done\" check), and programs the\n"
               "modem on PORT: checks its interface and generation, backs up its E2PROM,\n"
               "writes only the bytes that differ and verifies them. Progress is shown on\n"
               "stderr: on a terminal one line with the phase, a bar, the percentage, the\n"
               "bytes done and to do and the time left; otherwise a line per phase. Ctrl-C,\n"
               "SIGTERM and SIGHUP abort the run as the Abort button does (the third ends\n"
               "the program at once); with several ports they abort every run. Exit 0 only\n"
               "after \"Programming completed.\".\n"
               "\n"
               "Options:\n" +
               ports + common + run +
               "  --dry-run          read the modem and print each byte that would be\n"
               "                     written as OFFSET MODEM -> WANTED (hex), then a count;\n"
               "                     nothing is written to the modem (and no backup made)\n"
               "  --backup FILE      save the E2PROM as it was, before the first write, to\n"
               "                     FILE (default: a new file in the backups folder of the\n"
               "                     application's data folder; its path is printed). FILE\n"
               "                     must not be the file being programmed\n"
               "  --force            overwrite the --backup FILE when it exists\n" +
               edits;
    case Command::Restore:
        return "Usage: romwright-cli restore FILE --port PORT... [--jobs N] [--product N]\n"
               "                    [--backup FILE [--force]]\n"
               "Programs FILE into the modem on PORT byte for byte: no configuration\n"
               "window overrides, no watchdog or PHY byte rules; the modem gets exactly\n"
               "the file's bytes 1..8191 and the validity mark. Use it with a backup to\n"
               "bring a modem back after a failed run.\n"
               "\n"
               "Options:\n" +
               ports + common +
               "  --backup FILE      save the E2PROM as it was before writing, to FILE (not\n"
               "                     the file being restored)\n"
               "  --force            overwrite the --backup FILE when it exists\n" +
               run;
    case Command::Read:
        return "Usage: romwright-cli read --port PORT --product N -o OUT [--force]\n"
               "Reads the whole E2PROM of the modem on PORT (after the interface and\n"
               "generation checks) into OUT, 8192 bytes. Writes nothing to the modem, not\n"
               "even to switch its watchdog off.\n"
               "\n"
               "Options:\n" +
               port +
               "  --product N        product 1..4 (default: OUT's file name)\n"
               "  -o, --output OUT   the file to write; an existing one is kept (exit 2)\n"
               "                     unless --force is given\n"
               "  --force            overwrite OUT when it exists\n" +
               run;
    case Command::Verify:
        return "Usage: romwright-cli verify FILE --port PORT... [--jobs N] [--product N]\n"
               "                    [NAME=VALUE]...\n"
               "Reads the E2PROM of the modem on PORT and compares it with the bytes that\n"
               "programming FILE with these edits would leave there (the window's values,\n"
               "the watchdog and PHY byte rules, offset 0 as 55h). Exit 0 when the modem\n"
               "holds them; 1 otherwise, with each differing offset printed as\n"
               "OFFSET MODEM -> WANTED (hex), then a count. Writes nothing to the modem.\n"
               "\n"
               "Options:\n" +
               ports + common + run + edits;
    case Command::Diff:
        return "Usage: romwright-cli diff A B [--product N]\n"
               "Compares two patch files: prints each differing offset as\n"
               "OFFSET A -> B (hex), then each configuration field whose shown text\n"
               "differs as NAME: TEXT_A -> TEXT_B. Exit 0 when identical, 1 when not.\n"
               "\n"
               "Options:\n"
               "  --product N        product 1..4 (default: A's file name, else B's)\n";
    case Command::Log:
        return "Usage: romwright-cli log [--last N] [--json]\n"
               "Prints the run log, runs.jsonl in the application's data folder, as a\n"
               "table: time, command, port, result, bytes written, seconds, patch file and\n"
               "the SHA-256 of the modem's image after the run (its first 12 digits). Every\n"
               "modem run of the window and of the command line adds one line to it: time,\n"
               "host, user, product, command, port and device, the patch file and its\n"
               "SHA-256, the modem's image SHA-256 before and after, bytes written, result\n"
               "and message, seconds and backup.\n"
               "\n"
               "Options:\n"
               "  --last N           only the newest N runs\n"
               "  --json             print the log's lines as they are, one JSON object each\n";
    case Command::None:
        break;
    }
    return usageText();
}

} // namespace rw::cli

#include "cli/cli_args.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <charconv>

namespace rw::cli {

namespace {

// Every option of the command line. A new option is one row here, its name in the commands
// that take it, and its field in Arguments.
struct OptionInfo {
    const char* name;
    const char* shortName;                  // "" : none
    const char* valueName;                  // "" : a flag
    bool Arguments::*flag = nullptr;        // a flag's field
    std::string Arguments::*text = nullptr; // a name's field (the last one given counts)
};

const OptionInfo kOptions[] = {
    {"product", "", "N"},
    {"output", "o", "OUT", nullptr, &Arguments::output},
    {"port", "", "PORT", nullptr, &Arguments::port},
    {"backup", "", "FILE", nullptr, &Arguments::backupFile},
    {"reserved", "", "A=V"},
    {"json", "", "", &Arguments::json},
    {"quiet", "q", "", &Arguments::quiet},
    {"defaults", "", "", &Arguments::defaults},
    {"dry-run", "", "", &Arguments::dryRun},
    {"force", "", "", &Arguments::force},
};

struct CommandInfo {
    Command command;
    const char* name;
    std::vector<std::string> options; // long names in kOptions
    std::size_t files;                // FILE, or A and B
    bool edits;                       // NAME=VALUE after the files
    bool needsOutput;                 // -o OUT
};

const std::vector<CommandInfo>& commands() {
    // clang-format off
    static const std::vector<CommandInfo> table = {
        {Command::Show, "show", {"product", "json"}, 1, false, false},
        {Command::Edit, "edit", {"output", "force", "product", "defaults", "reserved"},
         1, true, true},
        {Command::Program, "program",
         {"port", "product", "dry-run", "backup", "force", "quiet", "json"}, 1, true, false},
        {Command::Restore, "restore", {"port", "product", "backup", "force", "quiet", "json"}, 1,
         false, false},
        {Command::Read, "read", {"port", "product", "output", "force", "quiet", "json"}, 0, false,
         true},
        {Command::Verify, "verify", {"port", "product", "quiet", "json"}, 1, true, false},
        {Command::Diff, "diff", {"product"}, 2, false, false},
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

} // namespace

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
    auto fail = [&r](std::string msg) {
        r.error = std::move(msg);
        return r;
    };

    // Before the command only --help and --version; all after it is the command's.
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version("version");
    QCommandLineParser top;
    top.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    top.addOption(help);
    top.addOption(version);
    QStringList all{QStringLiteral("romwright-cli")};
    for (const std::string& s : argv)
        all << toQt(s);
    if (!top.parse(all)) return fail(parseError(top, nullptr));
    a.help = top.isSet(help);
    a.version = top.isSet(version);
    QStringList rest = top.positionalArguments();
    if (rest.isEmpty()) return a.help || a.version ? r : fail("no command given");
    const CommandInfo* info = findCommand(fromQt(rest.front()));
    if (!info) return fail("unknown command '" + fromQt(rest.front()) + "'");
    a.command = info->command;

    QCommandLineParser parser;
    parser.addOption(help);
    for (const std::string& name : info->options) {
        const OptionInfo& o = *findOption(name);
        QStringList names{QString::fromLatin1(o.name)};
        if (*o.shortName) names.prepend(QString::fromLatin1(o.shortName));
        parser.addOption(QCommandLineOption(names, QString(), QString::fromLatin1(o.valueName)));
    }
    rest.front() = all.front(); // the parser skips the program's name
    if (!parser.parse(rest)) return fail(parseError(parser, info));
    a.help = a.help || parser.isSet(help);
    if (a.help) return r;

    for (const std::string& name : info->options) {
        const OptionInfo& o = *findOption(name);
        const QString key = QString::fromLatin1(o.name);
        if (o.flag) a.*o.flag = parser.isSet(key);
        if (!parser.isSet(key) || !*o.valueName) continue;
        const std::string value = fromQt(parser.value(key));
        const std::string shown = shownName(*o.shortName ? o.shortName : o.name);
        if (o.text) {
            if (value.empty()) return fail(shown + " needs " + o.valueName);
            a.*o.text = value;
        } else if (name == "product") {
            if (value.size() != 1 || value[0] < '1' || value[0] > '4')
                return fail("--product takes 1, 2, 3 or 4, not '" + value + "'");
            a.product = value[0] - '0';
        } else if (name == "reserved") {
            for (const QString& each : parser.values(key)) {
                const std::string v = fromQt(each);
                const auto eq = v.find('=');
                if (eq == std::string::npos)
                    return fail("--reserved takes ADDRESS=VALUE in hexadecimal, not '" + v + "'");
                a.reserved.push_back({v.substr(0, eq), v.substr(eq + 1)});
            }
        }
    }

    for (const QString& each : parser.positionalArguments()) {
        const std::string p = fromQt(each);
        if (a.files.size() < info->files) {
            if (p.empty()) return fail("an empty file name was given");
            a.files.push_back(p);
            continue;
        }
        const auto eq = p.find('=');
        if (info->edits && eq != std::string::npos) {
            if (eq == 0) return fail("field edit '" + p + "' has no field name");
            a.edits.push_back({p.substr(0, eq), p.substr(eq + 1)});
            continue;
        }
        return fail("unexpected argument '" + p + "'");
    }
    if (a.files.size() < info->files)
        return fail(info->files == 2 ? std::string(info->name) + " needs two files"
                                     : std::string(info->name) + " needs a FILE");
    if (info->needsOutput && a.output.empty())
        return fail(std::string(info->name) + " needs -o OUT");
    if (a.dryRun && !a.backupFile.empty())
        return fail("--backup with --dry-run: a dry run writes nothing, so it backs up nothing");
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
           "  program FILE --port PORT [--product N] [--dry-run] [--backup FILE [--force]]\n"
           "                           [NAME=VALUE]...\n"
           "  restore FILE --port PORT [--product N] [--backup FILE [--force]]\n"
           "  read --port PORT --product N -o OUT [--force]\n"
           "  verify FILE --port PORT [--product N] [NAME=VALUE]...\n"
           "  diff A B [--product N]\n"
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
           "\n"
           "Every message the window would show is printed on stderr as TITLE: TEXT.\n"
           "edit and read keep an existing OUT, program and restore an existing --backup\n"
           "FILE (exit 2), unless --force is given.\n"
           "Exit status: 0 success; 1 the modem work failed (programming or communication\n"
           "error, mismatch, abort); 2 bad usage or bad input (nothing is written then).\n";
}

std::string helpText(Command c) {
    const std::string common =
        "  --product N        product 1..4 (1 MII B, 2 UTOPIA B, 3 MII B+, 4 UTOPIA B+);\n"
        "                     default: the file name's third and fourth characters\n";
    const std::string port =
        "  --port PORT        COM1..COM6 or a device path; default: startup.ini's port\n";
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
        return "Usage: romwright-cli program FILE --port PORT [--product N] [--dry-run]\n"
               "                            [--backup FILE [--force]] [NAME=VALUE]...\n"
               "Loads FILE, applies the edits (then the \"Done\" check), and programs the\n"
               "modem on PORT: checks its interface and generation, backs up its E2PROM,\n"
               "writes only the bytes that differ and verifies them. Progress is shown on\n"
               "stderr: on a terminal one line with the phase, a bar, the percentage, the\n"
               "bytes done and to do and the time left; otherwise a line per phase. Ctrl-C,\n"
               "SIGTERM and SIGHUP abort the run as the Abort button does (the third ends\n"
               "the program at once). Exit 0 only after \"Programming completed.\".\n"
               "\n"
               "Options:\n" +
               port + common + run +
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
        return "Usage: romwright-cli restore FILE --port PORT [--product N]\n"
               "                            [--backup FILE [--force]]\n"
               "Programs FILE into the modem on PORT byte for byte: no configuration\n"
               "window overrides, no watchdog or PHY byte rules; the modem gets exactly\n"
               "the file's bytes 1..8191 and the validity mark. Use it with a backup to\n"
               "bring a modem back after a failed run.\n"
               "\n"
               "Options:\n" +
               port + common +
               "  --backup FILE      save the E2PROM as it was before writing, to FILE (not\n"
               "                     the file being restored)\n"
               "  --force            overwrite the --backup FILE when it exists\n" + run;
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
        return "Usage: romwright-cli verify FILE --port PORT [--product N] [NAME=VALUE]...\n"
               "Reads the E2PROM of the modem on PORT and compares it with the bytes that\n"
               "programming FILE with these edits would leave there (the window's values,\n"
               "the watchdog and PHY byte rules, offset 0 as 55h). Exit 0 when the modem\n"
               "holds them; 1 otherwise, with each differing offset printed as\n"
               "OFFSET MODEM -> WANTED (hex), then a count. Writes nothing to the modem.\n"
               "\n"
               "Options:\n" +
               port + common + run + edits;
    case Command::Diff:
        return "Usage: romwright-cli diff A B [--product N]\n"
               "Compares two patch files: prints each differing offset as\n"
               "OFFSET A -> B (hex), then each configuration field whose shown text\n"
               "differs as NAME: TEXT_A -> TEXT_B. Exit 0 when identical, 1 when not.\n"
               "\n"
               "Options:\n"
               "  --product N        product 1..4 (default: A's file name, else B's)\n";
    case Command::None:
        break;
    }
    return usageText();
}

} // namespace rw::cli

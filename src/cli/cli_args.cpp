#include "cli/cli_args.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace rw::cli {

namespace {

struct CommandInfo {
    Command command;
    const char* name;
    std::set<std::string> options; // long names allowed with it
    int minFiles;
    int maxFiles;
    bool edits; // NAME=VALUE after FILE
};

const std::vector<CommandInfo>& commands() {
    static const std::vector<CommandInfo> table = {
        {Command::Show, "show", {"--product", "--json"}, 1, 1, false},
        {Command::Edit, "edit", {"--output", "--product", "--defaults", "--reserved"}, 1, 1, true},
        {Command::Program, "program", {"--port", "--product", "--dry-run", "--backup"}, 1, 1, true},
        {Command::Restore, "restore", {"--port", "--product", "--backup"}, 1, 1, false},
        {Command::Read, "read", {"--port", "--product", "--output", "--force"}, 0, 0, false},
        {Command::Diff, "diff", {"--product"}, 2, 2, false},
    };
    return table;
}

const CommandInfo* findCommand(const std::string& name) {
    for (const auto& c : commands())
        if (name == c.name) return &c;
    return nullptr;
}

const CommandInfo& infoOf(Command c) {
    for (const auto& i : commands())
        if (i.command == c) return i;
    return commands().front();
}

bool takesValue(const std::string& opt) {
    return opt == "--product" || opt == "--output" || opt == "--port" || opt == "--backup" ||
           opt == "--reserved";
}

} // namespace

std::string commandName(Command c) {
    if (c == Command::None) return {};
    return infoOf(c).name;
}

std::optional<int> parseHexByte(const std::string& text) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    int v = 0;
    for (unsigned char ch : text) {
        if (!std::isxdigit(ch)) return std::nullopt;
        v = v * 16 + (std::isdigit(ch) ? ch - '0' : std::toupper(ch) - 'A' + 10);
    }
    return v;
}

ParseOutcome parseArguments(const std::vector<std::string>& argv) {
    ParseOutcome r;
    Arguments& a = r.args;
    auto fail = [&r](std::string msg) {
        r.error = std::move(msg);
        return r;
    };

    std::size_t i = 0;
    // Options before the command: only help and version.
    for (; i < argv.size(); ++i) {
        const std::string& s = argv[i];
        if (s == "--help" || s == "-h") {
            a.help = true;
        } else if (s == "--version") {
            a.version = true;
        } else if (!s.empty() && s[0] == '-') {
            return fail("unknown option '" + s + "'");
        } else {
            break;
        }
    }
    if (i == argv.size()) {
        if (a.help || a.version) return r;
        return fail("no command given");
    }
    const CommandInfo* info = findCommand(argv[i]);
    if (!info) return fail("unknown command '" + argv[i] + "'");
    a.command = info->command;
    ++i;

    bool optionsEnded = false;
    std::vector<std::string> positional;
    for (; i < argv.size(); ++i) {
        std::string s = argv[i];
        if (optionsEnded || s.size() < 2 || s[0] != '-') {
            positional.push_back(s);
            continue;
        }
        if (s == "--") {
            optionsEnded = true;
            continue;
        }
        if (s == "--help" || s == "-h") {
            a.help = true;
            continue;
        }
        std::string name = s;
        std::optional<std::string> inlineValue;
        if (s.rfind("--", 0) == 0) {
            if (const auto eq = s.find('='); eq != std::string::npos) {
                name = s.substr(0, eq);
                inlineValue = s.substr(eq + 1);
            }
        } else if (s.rfind("-o", 0) == 0) {
            name = "--output";
            if (s.size() > 2) inlineValue = s.substr(2);
        } else {
            return fail("unknown option '" + s + "'");
        }
        if (!info->options.count(name))
            return fail("option '" + name + "' is not known to '" + info->name + "'");
        std::string value;
        if (takesValue(name)) {
            if (inlineValue) {
                value = *inlineValue;
            } else {
                if (i + 1 >= argv.size()) return fail("option '" + name + "' needs a value");
                value = argv[++i];
            }
        } else if (inlineValue) {
            return fail("option '" + name + "' takes no value");
        }

        if (name == "--product") {
            if (value.size() != 1 || value[0] < '1' || value[0] > '4')
                return fail("--product takes 1, 2, 3 or 4, not '" + value + "'");
            a.product = value[0] - '0';
        } else if (name == "--output") {
            if (value.empty()) return fail("-o needs a file name");
            a.output = value;
        } else if (name == "--port") {
            if (value.empty()) return fail("--port needs a port");
            a.port = value;
        } else if (name == "--backup") {
            if (value.empty()) return fail("--backup needs a file name");
            a.backupFile = value;
        } else if (name == "--reserved") {
            const auto eq = value.find('=');
            if (eq == std::string::npos)
                return fail("--reserved takes ADDRESS=VALUE in hexadecimal, not '" + value + "'");
            a.reserved.push_back({value.substr(0, eq), value.substr(eq + 1)});
        } else if (name == "--json") {
            a.json = true;
        } else if (name == "--defaults") {
            a.defaults = true;
        } else if (name == "--dry-run") {
            a.dryRun = true;
        } else if (name == "--force") {
            a.force = true;
        }
    }
    if (a.help) return r;

    for (const std::string& p : positional) {
        const int files = static_cast<int>(a.files.size());
        if (files < info->maxFiles) {
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
    if (static_cast<int>(a.files.size()) < info->minFiles) {
        if (info->command == Command::Diff) return fail("diff needs two files");
        return fail(std::string(info->name) + " needs a FILE");
    }
    for (const std::string& f : a.files)
        if (f.empty()) return fail("an empty file name was given");

    if (a.dryRun && !a.backupFile.empty())
        return fail("--backup with --dry-run: a dry run writes nothing, so it backs up nothing");
    switch (a.command) {
    case Command::Edit:
        if (a.output.empty()) return fail("edit needs -o OUT");
        break;
    case Command::Read:
        if (a.output.empty()) return fail("read needs -o OUT");
        break;
    default:
        break;
    }
    return r;
}

std::string usageText() {
    return "Usage: romwright-cli COMMAND [OPTIONS]\n"
           "Edits and programs the configuration E2PROM of Kestrel VDSL modems without a\n"
           "display, through the same window models and routines as the Romwright window.\n"
           "\n"
           "Commands:\n"
           "  show FILE [--product N] [--json]\n"
           "  edit FILE -o OUT [--product N] [--defaults] [--reserved A=V]... [NAME=VALUE]...\n"
           "  program FILE --port PORT [--product N] [--dry-run] [--backup FILE] [NAME=VALUE]...\n"
           "  restore FILE --port PORT [--product N] [--backup FILE]\n"
           "  read --port PORT --product N -o OUT [--force]\n"
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
           "\n"
           "Every message the window would show is printed on stderr as TITLE: TEXT.\n"
           "Exit status: 0 success; 1 the modem work failed (programming or communication\n"
           "error, mismatch, abort); 2 bad usage or bad input (nothing is written then).\n";
}

std::string helpText(Command c) {
    const std::string common =
        "  --product N        product 1..4 (1 MII B, 2 UTOPIA B, 3 MII B+, 4 UTOPIA B+);\n"
        "                     default: the file name's third and fourth characters\n";
    const std::string port =
        "  --port PORT        COM1..COM6 or a device path; default: startup.ini's port\n";
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
               common + "  --json             print one JSON object of names and texts instead\n";
    case Command::Edit:
        return "Usage: romwright-cli edit FILE -o OUT [--product N] [--defaults]\n"
               "                         [--reserved A=V]... [NAME=VALUE]...\n"
               "Loads FILE, edits the configuration as a user would, runs the window's\n"
               "\"Done\" check and saves the result as a new patch file OUT. OUT's file name\n"
               "must begin with the product's mode code (E2MB, E2UB, E2MP or E2UP).\n"
               "\n"
               "Options:\n"
               "  -o, --output OUT   the patch file to write\n" +
               common +
               "  --defaults         press \"Default\" first (factory values)\n"
               "  --reserved A=V     set byte A of the reserved area to V (both hexadecimal,\n"
               "                     00..FF; products 3 and 4 only); may be repeated\n" +
               edits;
    case Command::Program:
        return "Usage: romwright-cli program FILE --port PORT [--product N] [--dry-run]\n"
               "                            [--backup FILE] [NAME=VALUE]...\n"
               "Loads FILE, applies the edits (then the \"Done\" check), and programs the\n"
               "modem on PORT: checks its interface and generation, backs up its E2PROM,\n"
               "writes only the bytes that differ and verifies them. Progress is shown on\n"
               "stderr; Ctrl-C aborts the run as the Abort button does (the third Ctrl-C\n"
               "ends the program at once). Exit 0 only after \"Programming completed.\".\n"
               "\n"
               "Options:\n" +
               port + common +
               "  --dry-run          read the modem and print each byte that would be\n"
               "                     written as OFFSET MODEM -> WANTED (hex), then a count;\n"
               "                     nothing is written to the modem (and no backup made)\n"
               "  --backup FILE      save the E2PROM as read, before the first write, to\n"
               "                     FILE (default: a new file in the backups folder of the\n"
               "                     application's data folder; its path is printed)\n" +
               edits;
    case Command::Restore:
        return "Usage: romwright-cli restore FILE --port PORT [--product N] [--backup FILE]\n"
               "Programs FILE into the modem on PORT byte for byte: no configuration\n"
               "window overrides, no watchdog or PHY byte rules; the modem gets exactly\n"
               "the file's bytes 1..8191 and the validity mark. Use it with a backup to\n"
               "bring a modem back after a failed run.\n"
               "\n"
               "Options:\n" +
               port + common +
               "  --backup FILE      save the E2PROM as read before writing, to FILE\n";
    case Command::Read:
        return "Usage: romwright-cli read --port PORT --product N -o OUT [--force]\n"
               "Reads the whole E2PROM of the modem on PORT (after the interface and\n"
               "generation checks) into OUT, 8192 bytes. Writes nothing to the modem.\n"
               "\n"
               "Options:\n" +
               port +
               "  --product N        product 1..4 (default: OUT's file name)\n"
               "  -o, --output OUT   the file to write\n"
               "  --force            overwrite OUT when it exists\n";
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

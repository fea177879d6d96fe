#include "cli/cli.h"

#include "cli/cli_args.h"
#include "cli/cli_events.h"
#include "cli/cli_interrupt.h"
#include "cli/cli_output.h"
#include "cli/cli_ports.h"
#include "cli/cli_progress.h"
#include "cli/cli_session.h"
#include "cli/cli_summary.h"
#include "config/band_plan.h"
#include "image/config_module.h"
#include "image/hex.h"
#include "modem/backup.h"
#include "modem/modem_module.h"
#include "modem/programming_run.h"
#include "modem/run_log.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string_view>

namespace rw::cli {

namespace {

namespace fs = std::filesystem;

// The one reading of COM port names: COMn (any case, n digits only) gives n when it is 1..6
// and 0 for any other n; nothing when the text is no COM name (a device path).
std::optional<int> comNumber(const std::string& port) {
    if (port.size() < 4) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(port[i])) != "COM"[i]) return std::nullopt;
    const std::string_view digits = std::string_view(port).substr(3);
    if (!std::all_of(digits.begin(), digits.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; }))
        return std::nullopt;
    return digits.size() == 1 && digits[0] >= '1' && digits[0] <= '6' ? digits[0] - '0' : 0;
}

// edit's and read's OUT, program's and restore's --backup FILE alike: an existing file (a
// dangling link too) is kept unless --force.
void refuseExisting(const std::string& given, bool force) {
    std::error_code ec;
    if (!force && fs::exists(fs::symlink_status(absolutePath(given), ec)))
        throw CommandFailure{2, "'" + given + "' exists; give --force to overwrite it"};
}

// --backup FILE, before the port opens: never the file being programmed (whatever --force
// says), no folder, and a folder of its own that takes a file.
void checkBackupFile(const Arguments& args, const std::string& input) {
    if (args.backupFile.empty()) return;
    const std::string what = "--backup " + args.backupFile;
    const std::string backup = absolutePath(args.backupFile);
    std::error_code ec;
    if (fs::equivalent(backup, absolutePath(input), ec))
        throw CommandFailure{2, what + ": that is the file being programmed"};
    if (fs::is_directory(backup, ec)) throw CommandFailure{2, what + ": is a folder"};
    refuseExisting(args.backupFile, args.force);
    std::string why;
    if (!modem::backupFolderWritable(modem::parentFolder(backup), &why))
        throw CommandFailure{2, what + ": its folder cannot be written (" + why + ")"};
}

class Runner {
public:
    Runner(Console& console, const Arguments& args) : console_(console), args_(args) {}

    int dispatch() {
        switch (args_.command) {
        case Command::Show:
            return show();
        case Command::Edit:
            return edit();
        case Command::Program:
            return program(false);
        case Command::Restore:
            return program(true);
        case Command::Read:
            return read();
        case Command::Verify:
            return verify();
        case Command::Diff:
            return diff();
        case Command::Log:
            return showLog();
        case Command::None:
            break;
        }
        return 2;
    }

    // Several ports: what every run would refuse before its port opens is found here, once.
    void checkPorts() {
        std::vector<std::string> devices;
        for (const std::string& port : args_.ports) {
            const std::string dev = deviceForPort(port);
            if (dev.empty())
                throw CommandFailure{2, "--port " + port + ": COM ports are COM1..COM6"};
            if (std::find(devices.begin(), devices.end(), dev) != devices.end())
                throw CommandFailure{2, "--port " + port + ": its device is given twice"};
            devices.push_back(dev);
        }
        Session s(console_, productFor(args_, {args_.files.at(0)}));
        s.main().wireProgramming();
        prepareFile(s, args_.command == Command::Restore);
    }

    bool modemWorkStarted() const { return modemWorkStarted_; }
    // Set for the commands that talk to a modem.
    const std::optional<RunSummary>& summary() const { return summary_; }

private:
    int show() {
        const std::string& file = args_.files.at(0);
        Session s(console_, productFor(args_, {file}));
        s.open(file);
        const auto fields = s.shownFields();
        std::ostream& out = console_.out();
        if (args_.json) {
            QJsonObject object;
            for (const auto& [name, text] : fields)
                object.insert(QString::fromStdString(name), QString::fromStdString(text));
            out << QJsonDocument(object).toJson().toStdString();
        } else {
            for (const auto& [name, text] : fields)
                out << name << '=' << text << '\n';
        }
        out.flush();
        // A band plan the modem cannot use is worth a word; the listing stands as it is.
        const std::string warning = config::bandPlanOf(s.form()).warning;
        if (!warning.empty()) console_.note(warning);
        return 0;
    }

    void checkReservedArguments(int mode) {
        for (const ReservedEdit& r : args_.reserved) {
            const std::string what = "--reserved " + r.address + "=" + r.value;
            if (!image::isBPlus(mode))
                throw CommandFailure{2, what + ": products 1 and 2 have no reserved area to edit"};
            if (!parseHexByte(r.address))
                throw CommandFailure{2, what + ": the address must be 00..FF (hexadecimal)"};
            if (!parseHexByte(r.value))
                throw CommandFailure{2, what + ": the value must be 00..FF (hexadecimal)"};
        }
    }

    int edit() {
        const std::string& file = args_.files.at(0);
        const int mode = productFor(args_, {file});
        checkReservedArguments(mode);
        refuseExisting(args_.output, args_.force);
        Session s(console_, mode);
        s.open(file);
        if (args_.defaults) s.pressDefault();
        for (const FieldEdit& e : args_.edits)
            s.applyEdit(e);
        for (const ReservedEdit& r : args_.reserved)
            s.applyReserved(r);
        s.done();
        s.save(args_.output);
        return 0;
    }

    // How the modem's messages name the port: the number for COMn, as the window does.
    std::string portText() const {
        const int n = comNumber(port_).value_or(0);
        return n ? " " + std::to_string(n) : std::string();
    }

    // The device of --port, or of startup.ini's default port.
    std::string device(Session& s) {
        std::string port = args_.ports.empty() ? std::string() : args_.ports.front();
        if (port.empty()) {
            port = s.main().modem()->readDefaultCom();
            if (comNumber(port).value_or(0) == 0)
                throw CommandFailure{2, "no port: give --port COM1..COM6 or a device path"};
        }
        std::string dev = deviceForPort(port);
        if (dev.empty()) throw CommandFailure{2, "--port " + port + ": COM ports are COM1..COM6"};
        port_ = port;
        summary_->port = port;
        summary_->device = dev;
        return dev;
    }

    // FILE as the window holds it after the edits, and the backup file checked: all that
    // program, restore and verify find out before the port opens.
    void prepareFile(Session& s, bool raw) {
        const std::string& file = args_.files.at(0);
        s.open(file);
        if (!raw) {
            if (!args_.edits.empty()) {
                for (const FieldEdit& e : args_.edits)
                    s.applyEdit(e);
                s.done();
            }
            s.confirmStorable();
        }
        checkBackupFile(args_, file);
    }

    // program, restore and verify: the prepared file, then the run on the port.
    modem::RunReport runFile(bool raw, modem::RunOptions options) {
        const int mode = productFor(args_, {args_.files.at(0)});
        summary_->product = mode;
        Session s(console_, mode);
        s.main().wireProgramming();
        options.device = device(s);
        prepareFile(s, raw);
        options.portText = portText();
        options.portName = port_;
        options.raw = raw;
        return runModem(s, options);
    }

    // OFFSET MODEM -> WANTED lines and a count, unless the JSON object carries them.
    void listBytes(const std::vector<modem::ByteMismatch>& list, const char* countText) {
        if (args_.json) return;
        std::ostream& out = console_.out();
        for (const modem::ByteMismatch& m : list)
            out << image::hex(static_cast<unsigned>(m.offset), 4) << ' ' << image::hex(m.found, 2)
                << " -> " << image::hex(m.wanted, 2) << '\n';
        out << list.size() << (list.size() == 1 ? " byte " : " bytes ") << countText << ".\n";
        out.flush();
    }

    int program(bool raw) {
        summary_.emplace().command = raw ? "restore" : "program";
        summary_->dryRun = args_.dryRun;
        modem::RunOptions options;
        options.dryRun = args_.dryRun;
        options.backupFile =
            args_.backupFile.empty() ? std::string() : absolutePath(args_.backupFile);
        options.backup = !args_.dryRun;
        const modem::RunReport report = runFile(raw, options);
        if (args_.dryRun && report.completed) listBytes(report.planned, "would be written");
        if (!report.completed && !report.failure.empty()) console_.error(report.failure);
        return report.completed ? 0 : 1;
    }

    int verify() {
        summary_.emplace().command = "verify";
        modem::RunOptions options;
        options.verifyOnly = true;
        options.backup = false;
        const modem::RunReport report = runFile(false, options);
        // Compared: the differing offsets are the answer; otherwise say why there is none.
        if (report.bytesVerified > 0)
            listBytes(report.mismatches, "differ");
        else if (!report.failure.empty())
            console_.error(report.failure);
        return report.completed ? 0 : 1;
    }

    int read() {
        summary_.emplace().command = "read";
        const std::string out = absolutePath(args_.output);
        const int mode = productFor(args_, {args_.output});
        summary_->product = mode;
        refuseExisting(args_.output, args_.force);
        std::error_code ec;
        if (fs::is_directory(out, ec))
            throw CommandFailure{2, "'" + args_.output + "' is a folder"};
        const fs::path folder = fs::path(out).parent_path();
        if (!folder.empty() && !fs::is_directory(folder, ec))
            throw CommandFailure{2, "the folder of '" + args_.output + "' does not exist"};
        Session s(console_, mode);
        s.main().wireProgramming();
        modem::RunOptions options;
        options.device = device(s);
        options.portText = portText();
        options.portName = port_;
        options.readOnly = true;
        options.backup = false;
        const modem::RunReport report = runModem(s, options);
        if (!report.completed) {
            if (!report.failure.empty()) console_.error(report.failure);
            return 1;
        }
        std::string why;
        if (!image::writePatchFile(out, report.modemImage, &why))
            throw CommandFailure{2, "'" + args_.output + "' could not be written: " + why};
        summary_->output = out;
        console_.note("E2PROM read into " + out);
        return 0;
    }

    int diff() {
        const std::string& a = args_.files.at(0);
        const std::string& b = args_.files.at(1);
        const int mode = productFor(args_, {a, b});
        // One product reads both files; a file named for another one is read all the same.
        for (const std::string& f : {a, b}) {
            const int named = app::modeFromCommandLine(absolutePath(f));
            if (named != 0 && named != mode)
                console_.error("warning: '" + f + "' is named for product " +
                               std::to_string(named) + ", but both files are read as product " +
                               std::to_string(mode));
        }
        std::string why;
        const auto fileA = image::readPatchFile(absolutePath(a), &why);
        if (!fileA) throw CommandFailure{2, "cannot read '" + a + "': " + why};
        const auto fileB = image::readPatchFile(absolutePath(b), &why);
        if (!fileB) throw CommandFailure{2, "cannot read '" + b + "': " + why};

        Session sa(console_, mode);
        sa.open(a);
        Session sb(console_, mode);
        sb.open(b);

        std::ostream& out = console_.out();
        bool different = false;
        for (int k = 0; k < image::kImageSize; ++k) {
            const auto i = static_cast<std::size_t>(k);
            if (fileA->bytes[i] == fileB->bytes[i]) continue;
            different = true;
            out << image::hex(static_cast<unsigned>(k), 4) << ' ' << image::hex(fileA->bytes[i], 2)
                << " -> " << image::hex(fileB->bytes[i], 2) << '\n';
        }
        for (const std::string& name : sa.fieldNames()) {
            const std::string ta = sa.shownText(name);
            const std::string tb = sb.shownText(name);
            if (ta == tb) continue;
            different = true;
            out << name << ": " << ta << " -> " << tb << '\n';
        }
        out.flush();
        return different ? 1 : 0;
    }

    modem::RunReport runModem(Session& s, const modem::RunOptions& options) {
        app::MainForm& m = s.main();
        modem::ModemModule* modem = m.modem();
        ProgressLine progressLine(console_);
        EventWriter eventLines(console_.err());
        modem::RunObserver& progress =
            args_.eventLines ? static_cast<modem::RunObserver&>(eventLines) : progressLine;
        InterruptGuard interrupts;
        // Ctrl-C acts as the Abort button: the run sees it at its next checkpoint.
        s.platform().loop->onProcessEvents = [&m] {
            if (InterruptGuard::count() > 0) m.run.stopRequested = true;
        };
        modemWorkStarted_ = true;
        modem::ProgrammingRun programmingRun(s.platform(),
                                             {*image::productForMode(s.mode()), m.run.pathOfFile,
                                              m.run.watchdogOn, m.run.stopRequested, m.portIsOpen,
                                              m.portIsSelected},
                                             m.cm, *modem, s.form(), progress);
        modem::RunReport report = programmingRun.run(options);
        s.platform().loop->onProcessEvents = nullptr;
        if (InterruptGuard::count() > 0) report.completed = false;
        summary_->report = report;
        std::string why;
        if (!modem::logRun(options, *image::productForMode(s.mode()), m.run.pathOfFile, report,
                           &why))
            console_.error("the run could not be logged in " + modem::runLogPath() + ": " + why);
        return report;
    }

    int showLog() {
        const std::string path = modem::runLogPath();
        std::string why;
        const auto log = modem::readRunLog(path, &why);
        if (!log) throw CommandFailure{2, "the run log " + path + " cannot be read: " + why};
        const std::size_t count = log->lines.size();
        const std::size_t from =
            args_.last > 0 && count > static_cast<std::size_t>(args_.last) ? count - args_.last : 0;
        std::ostream& out = console_.out();
        if (args_.json) {
            for (std::size_t i = from; i < count; ++i)
                out << log->lines[i] << '\n';
        } else if (count == 0) {
            console_.note("No run has been logged yet (" + path + ").");
        } else {
            out << runLogTable(
                {log->entries.begin() + static_cast<std::ptrdiff_t>(from), log->entries.end()});
        }
        out.flush();
        if (log->unreadable > 0)
            console_.error(std::to_string(log->unreadable) + " line(s) of " + path +
                           " are no JSON object and were left out");
        return 0;
    }

    Console& console_;
    const Arguments& args_;
    std::string port_; // as given (COM3) or taken from startup.ini
    bool modemWorkStarted_ = false;
    std::optional<RunSummary> summary_;
};

// Several ports: the checks, then a run on each port.
int runOnSeveralPorts(const Arguments& args, std::ostream& out, std::ostream& err,
                      bool errIsTerminal) {
    // The checks' own messages are shown only when they refuse: each run shows them again.
    std::ostringstream checks;
    Console checking(out, checks, false);
    std::string failure;
    int status = 0;
    try {
        Runner(checking, args).checkPorts();
    } catch (const CommandFailure& f) {
        failure = f.message;
        status = f.exitCode;
    } catch (const std::exception& e) {
        failure = std::string("internal error: ") + e.what();
        status = 2;
    }
    if (status == 0) return runOnPorts(args, out, err, errIsTerminal);
    err << checks.str();
    Console console(out, err, errIsTerminal);
    if (!failure.empty()) console.error(failure);
    if (args.json) out << severalRunsJson(commandName(args.command), status, 0, {}, failure);
    out.flush();
    return status;
}

} // namespace

std::string deviceForPort(const std::string& port) {
    const std::optional<int> n = comNumber(port);
    if (!n) return port;
    return *n ? modem::comDeviceName(*n) : std::string();
}

int run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
        bool errIsTerminal) {
    Console console(out, err, errIsTerminal);
    const ParseOutcome parsed = parseArguments(argv);
    if (!parsed.error.empty()) {
        console.error(parsed.error);
        err << '\n' << usageText();
        err.flush();
        return 2;
    }
    const Arguments& args = parsed.args;
    if (args.help) {
        out << (args.command == Command::None ? usageText() : helpText(args.command));
        out.flush();
        return 0;
    }
    if (args.version) {
        out << "romwright-cli " << ROMWRIGHT_VERSION << '\n';
        out.flush();
        return 0;
    }
    if (args.ports.size() > 1) return runOnSeveralPorts(args, out, err, errIsTerminal);
    console.setQuiet(args.quiet);
    console.setEventLines(args.eventLines);
    Runner runner(console, args);
    const auto start = std::chrono::steady_clock::now();
    int status = 2;
    std::string failure;
    try {
        status = runner.dispatch();
    } catch (const CommandFailure& f) {
        if (!f.message.empty()) console.error(f.message);
        failure = f.message;
        status = f.exitCode;
    } catch (const std::exception& e) {
        failure = std::string("internal error: ") + e.what();
        console.error(failure);
        status = runner.modemWorkStarted() ? 1 : 2;
    }
    if (args.json && runner.summary()) {
        const auto& summary = *runner.summary();
        if (failure.empty() && status != 0 && summary.report) failure = summary.report->failure;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        out << summaryJson(summary, status, failure, seconds, console.messages());
        out.flush();
    }
    return status;
}

} // namespace rw::cli

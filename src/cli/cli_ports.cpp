#include "cli/cli_ports.h"

#include "cli/cli_events.h"
#include "cli/cli_interrupt.h"
#include "cli/cli_output.h"
#include "cli/cli_progress.h"
#include "cli/cli_summary.h"
#include "ui/qt_serial_port.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace rw::cli {

namespace {

// A terminal is redrawn at most this often: a run writes a byte every few milliseconds.
constexpr double kRedrawSeconds = 0.1;
constexpr int kBarWidth = 12;
constexpr int kTickMs = 50;

double steadyNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Bytes of no known encoding, as the system will hand them to the child.
QString argument(const std::string& s) {
    return QFile::decodeName(QByteArray::fromStdString(s));
}

// Every run's progress on stderr: on a terminal a block of one line per port, redrawn in
// place; otherwise a line per port and phase. Messages go above the block.
class View {
public:
    View(std::ostream& err, bool terminal, bool quiet, const std::vector<std::string>& ports)
        : err_(err), terminal_(terminal), quiet_(quiet), ports_(ports),
          lines_(ports.size(), "waiting"), phases_(ports.size()) {
        std::size_t width = 0;
        for (const std::string& p : ports)
            width = std::max(width, printable(p).size());
        for (const std::string& p : ports)
            labels_.push_back(printable(p) + std::string(width - printable(p).size(), ' '));
    }

    bool block() const { return terminal_ && !quiet_; }

    void show(std::size_t i, const std::string& phase, const std::string& line) {
        if (quiet_) return;
        if (!terminal_) {
            if (!phase.empty() && phase != phases_[i])
                err_ << printable(ports_[i]) << ": " << phase << '\n' << std::flush;
            phases_[i] = phase;
            return;
        }
        lines_[i] = line;
        dirty_ = true;
    }

    void print(std::size_t i, const std::vector<std::string>& lines) {
        if (block() && drawn_) err_ << "\x1b[" << lines_.size() << 'A';
        drawn_ = false;
        for (const std::string& l : lines)
            err_ << (block() ? "\r" : "") << printable(ports_[i]) << ": " << l
                 << (block() ? "\x1b[K\n" : "\n");
        if (block()) draw();
        err_.flush();
    }

    void refresh(bool now) {
        if (block() && (now || (dirty_ && steadyNow() - drawnAt_ >= kRedrawSeconds))) draw();
    }

private:
    void draw() {
        if (drawn_) err_ << "\x1b[" << lines_.size() << 'A';
        for (std::size_t i = 0; i < lines_.size(); ++i)
            err_ << '\r' << labels_[i] << "  " << lines_[i] << "\x1b[K\n";
        err_.flush();
        drawn_ = true;
        dirty_ = false;
        drawnAt_ = steadyNow();
    }

    std::ostream& err_;
    bool terminal_;
    bool quiet_;
    std::vector<std::string> ports_;
    std::vector<std::string> labels_; // the ports, padded to one width
    std::vector<std::string> lines_;
    std::vector<std::string> phases_; // the phase last printed for each port
    bool drawn_ = false;
    bool dirty_ = false;
    double drawnAt_ = 0;
};

// The run on one port: its process, what it printed, and its progress line.
struct PortRun : ProgressSink {
    PortRun(View& v, std::size_t i, std::string p)
        : view(v), index(i), port(std::move(p)), bar(*this, {}, kBarWidth) {}
    void progress(const std::string& phase, const std::string& line) override {
        view.show(index, phase, line);
    }
    void endProgress() override {}

    enum class State { Waiting, Running, Done };
    View& view;
    std::size_t index;
    std::string port;
    ProgressLine bar;
    std::unique_ptr<QProcess> process;
    QByteArray err; // stderr not yet read as lines
    QByteArray out;
    State state = State::Waiting;
    QJsonObject result; // the run's final JSON object
};

class PortRuns {
public:
    PortRuns(const Arguments& args, std::ostream& out, std::ostream& err, bool terminal)
        : args_(args), out_(out), view_(err, terminal, args.quiet, args.ports) {
        for (std::size_t i = 0; i < args.ports.size(); ++i)
            runs_.push_back(std::make_unique<PortRun>(view_, i, args.ports[i]));
    }

    int run() {
        ui::ensureApplication();
        const double started = steadyNow();
        InterruptGuard interrupts;
        QTimer tick; // wakes the loop to look at the signals and redraw
        tick.start(kTickMs);
        view_.refresh(true);
        while (std::any_of(runs_.begin(), runs_.end(),
                           [](const auto& r) { return r->state != PortRun::State::Done; })) {
            if (InterruptGuard::count() > 0 && !aborted_) abortAll();
            startWaiting();
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            for (const auto& r : runs_)
                if (r->state == PortRun::State::Running) poll(*r);
            view_.refresh(false);
        }
        view_.refresh(true);
        return report(steadyNow() - started);
    }

private:
    void startWaiting() {
        const auto running = std::count_if(runs_.begin(), runs_.end(), [](const auto& r) {
            return r->state == PortRun::State::Running;
        });
        const std::size_t limit = args_.jobs > 0 ? static_cast<std::size_t>(args_.jobs) : 0;
        auto n = static_cast<std::size_t>(running);
        for (const auto& r : runs_)
            if (!aborted_ && r->state == PortRun::State::Waiting && (limit == 0 || n < limit)) {
                start(*r);
                ++n;
            }
    }

    void start(PortRun& r) {
        r.process = std::make_unique<QProcess>();
        r.process->setProgram(QCoreApplication::applicationFilePath());
        QStringList arguments;
        for (const std::string& a : childArguments(args_, r.port))
            arguments << argument(a);
        r.process->setArguments(arguments);
        r.process->setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
        // Its own process group: a Ctrl-C at the terminal reaches this process only, which
        // passes it on once, so no run counts two presses where the user made one.
        r.process->setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
        r.state = PortRun::State::Running;
        r.process->start();
    }

    void poll(PortRun& r) {
        r.out += r.process->readAllStandardOutput();
        r.err += r.process->readAllStandardError();
        readLines(r);
        if (r.process->state() != QProcess::NotRunning) return;
        r.out += r.process->readAllStandardOutput();
        r.err += r.process->readAllStandardError();
        if (!r.err.isEmpty() && !r.err.endsWith('\n')) r.err += '\n';
        readLines(r);
        finish(r);
    }

    void readLines(PortRun& r) {
        for (qsizetype end = r.err.indexOf('\n'); end >= 0; end = r.err.indexOf('\n')) {
            const std::string line = r.err.left(end).toStdString();
            r.err.remove(0, end + 1);
            const ChildLine c = readChildLine(line, r.bar);
            if (c.kind == ChildLine::Kind::Message)
                view_.print(r.index, messageLines(c.message));
            else if (c.kind != ChildLine::Kind::Event && !c.text.empty())
                view_.print(r.index, {printable(c.text)});
        }
    }

    void finish(PortRun& r) {
        const QJsonDocument doc = QJsonDocument::fromJson(r.out);
        r.result = doc.object();
        if (!doc.isObject() || !r.result.contains("result")) {
            const bool started = r.process->error() != QProcess::FailedToStart;
            r.result = {{"port", QString::fromStdString(r.port)},
                        {"result", "failed"},
                        {"exitStatus", started ? r.process->exitCode() : 1},
                        {"failure", started ? "the run ended without a result"
                                            : "romwright-cli could not be started: " +
                                                  r.process->errorString()}};
        }
        r.state = PortRun::State::Done;
        r.process.reset();
        r.progress("", r.result.value("result").toString().toStdString());
    }

    // Every run started is told once, as a Ctrl-C at its own terminal would; those not
    // started stay so.
    void abortAll() {
        aborted_ = true;
        for (const auto& r : runs_) {
            if (r->state == PortRun::State::Running) r->process->terminate();
            if (r->state != PortRun::State::Waiting) continue;
            r->state = PortRun::State::Done;
            r->result = {{"port", QString::fromStdString(r->port)},
                         {"result", "not started"},
                         {"exitStatus", 1},
                         {"failure", "not started: the runs were aborted"}};
            r->progress("", "not started");
        }
    }

    int report(double seconds) {
        std::vector<QJsonObject> results;
        bool all = true;
        for (const auto& r : runs_) {
            results.push_back(r->result);
            all = all && r->result.value("exitStatus").toInt(1) == 0;
        }
        const int status = all ? 0 : 1;
        if (args_.json)
            out_ << severalRunsJson(commandName(args_.command), status, seconds, results);
        else
            out_ << severalRunsText(results);
        out_.flush();
        return status;
    }

    const Arguments& args_;
    std::ostream& out_;
    View view_;
    std::vector<std::unique_ptr<PortRun>> runs_;
    bool aborted_ = false;
};

} // namespace

std::vector<std::string> childArguments(const Arguments& args, const std::string& port) {
    std::vector<std::string> list{commandName(args.command), "--port", port, "--json",
                                  "--event-lines"};
    if (args.product) list.insert(list.end(), {"--product", std::to_string(*args.product)});
    if (args.dryRun) list.emplace_back("--dry-run");
    // Files and edits after "--", so none is taken for an option.
    list.emplace_back("--");
    list.insert(list.end(), args.files.begin(), args.files.end());
    for (const FieldEdit& e : args.edits)
        list.push_back(e.name + "=" + e.value);
    return list;
}

int runOnPorts(const Arguments& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    return PortRuns(args, out, err, errIsTerminal).run();
}

} // namespace rw::cli

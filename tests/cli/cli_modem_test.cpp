// program, read, restore, verify and the dry run against romwright-sim over a
// pseudo-terminal. The simulator runs unthrottled unless a test needs a run that lasts.
#include "cli_test_support.h"
#include "modem/run_log.h"
#include "support/sim_process.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace rw::clitest {
namespace {

constexpr auto kRunLimit = 240s;

std::vector<std::string> traceLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) {
        while (!l.empty() && (l.back() == '\r' || l.back() == '\n'))
            l.pop_back();
        lines.push_back(l);
    }
    return lines;
}

// A write into the E2PROM window: C000h.. for B+, 9000h..AFFFh for B.
bool isE2Write(const std::string& line, bool bplus) {
    if (line.rfind("WR ", 0) != 0 || line.size() < 4) return false;
    return bplus ? line[3] == 'C' : (line[3] == '9' || line[3] == 'A');
}

bool isBlockRead(const std::string& line) {
    return line.rfind("RD ", 0) == 0 && line.size() > 4 && line.substr(line.size() - 4) == ",100";
}

// How many lines of the trace file satisfy `pred`.
template <class Pred> int countTrace(const std::string& path, Pred pred) {
    const auto lines = traceLines(path);
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), pred));
}

int e2Writes(const std::string& trace, bool bplus) {
    return countTrace(trace, [bplus](const std::string& l) { return isE2Write(l, bplus); });
}

void writeIni(const ScratchDir& dir, const std::string& port, const std::string& watchdog) {
    std::ofstream ini(dir / "startup.ini", std::ios::binary);
    ini << "[settings]\r\ndefaultcom = \"" << port << "\"\r\nmode = \"normal\"\r\nwatchdog = \""
        << watchdog << "\"\r\n";
}

image::Image imageOf(const std::vector<std::uint8_t>& bytes) {
    image::Image img{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), img.size()), img.begin());
    return img;
}

// What the window stores for a file: the file saved by `edit` without edits.
image::Image windowImage(const ScratchDir& dir, const std::string& file, const std::string& code) {
    const std::string out = dir / (code + "_window.bin");
    const auto r = runIn(dir, {"edit", file, "-o", out});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return imageOf(readBytes(out));
}

TEST(CliProgram, CompletesAndTheModemHoldsTheWindowsImage) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_sample.bin");
    const image::Image wanted = windowImage(dir, file, "E2MP");
    image::Image before = wanted;
    for (int k : {5, 0x123, 0x124, 0x1F00, 0x1FFF})
        before[static_cast<std::size_t>(k)] ^= 0x3C;
    const std::string modemFile = writeImage(dir, before, "modem.bin");
    rw::test::SimProcess sim({"--no-throttle", "--generation", "B+", "--image", modemFile,
                              "--write-back", dir / "after.bin", "--trace", dir / "trace.txt"});
    ASSERT_TRUE(sim.ok()) << sim.error();

    const std::string backup = dir / "E2MP_backup_test.bin";
    const auto r =
        runIn(dir, {"program", file, "--port", sim.device(), "--backup", backup}, kRunLimit);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.errHasLine("Programming completed: Programming completed.")) << r.err;
    // Plain phase lines when stderr is no terminal.
    for (const char* phase : {"Connecting", "Reading", "Writing", "Checking"})
        EXPECT_TRUE(r.errHasLine(phase)) << phase << "\n" << r.err;
    EXPECT_NE(r.err.find(backup), std::string::npos) << "the backup's path is printed";

    image::Image expected = wanted;
    expected[0] = 0x55;
    EXPECT_EQ(readBytes(dir / "after.bin"), toVector(expected));
    // The backup is the E2PROM as it was before the run, offset 0 included.
    EXPECT_EQ(readBytes(backup), toVector(before));
}

// A refusal after connecting: nothing is written to the E2PROM.
TEST(CliProgram, InterfaceMismatchIsExit1BeforeAnyWrite) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_sample.bin");
    rw::test::SimProcess sim({"--no-throttle", "--generation", "B+", "--interface", "Utopia Phy",
                              "--write-back", dir / "after.bin", "--trace", dir / "trace.txt"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const auto r = runIn(dir, {"program", file, "--port", sim.device()}, kRunLimit);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(
        r.errHasLine("Modem interface type mismatch: The modem you have selected (Utopia Phy) "
                     "does not match this application.Please switch modem or exit and change to "
                     "ATM mode."))
        << r.err;
    EXPECT_FALSE(fs::exists(dir / "after.bin"));
    EXPECT_EQ(e2Writes(dir / "trace.txt", true), 0);
}

// A --backup FILE that would overwrite the master image, an older file or a folder, or that
// has no folder to go to, is refused before the port opens (no port is there to open: a
// refusal that came later would be exit 1, "no modem answered").
TEST(CliProgram, BackupFileRefusalsAreExit2BeforeThePortOpens) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_job.bin");
    const auto master = readBytes(file);
    std::ofstream(dir / "E2MP_old.bin") << "an older backup";
    std::ofstream(dir / "blocker") << "a file where a folder should be";
    fs::create_directory(dir / "folder");
    const struct {
        const char* command;
        std::string backup;
        bool force;
        std::string refusal;
    } cases[] = {
        {"program", "E2MP_job.bin", true,
         "--backup E2MP_job.bin: that is the file being programmed"},
        {"restore", "./E2MP_job.bin", false,
         "--backup ./E2MP_job.bin: that is the file being programmed"},
        {"program", "E2MP_old.bin", false, "'E2MP_old.bin' exists; give --force to overwrite it"},
        {"restore", "folder", true, "--backup folder: is a folder"},
        {"program", "blocker/E2MP_bk.bin", false,
         "--backup blocker/E2MP_bk.bin: its folder cannot"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.backup);
        std::vector<std::string> args = {c.command,           file,       "--port",
                                         dir / "no-such-tty", "--backup", c.backup};
        if (c.force) args.emplace_back("--force");
        const auto r = runIn(dir, args, 20s);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        ASSERT_FALSE(r.errLines().empty());
        EXPECT_EQ(r.errLines().back().rfind("romwright-cli: " + c.refusal, 0), 0u) << r.err;
    }
    EXPECT_EQ(readBytes(file), master);
    EXPECT_EQ(readBytes(dir / "E2MP_old.bin").size(), 15u);
}

TEST(CliProgram, NoModemOnThePortIsExit1NamingThePort) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 1, "E2MB_sample.bin");
    const std::string device = dir / "no-such-tty";
    // A device path stands where the window writes the port number; a COM port by its number.
    for (auto [port, shown] :
         {std::pair{device, device}, {std::string("COM3"), std::string("3")}}) {
        const auto r =
            runIn(dir, {"program", file, "--port", port}, kRunLimit, {{"ROMWRIGHT_COM3", device}});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_TRUE(r.errHasLine("Port Unavailable: Com  " + shown +
                                 " is Invalid. Would you like to try different port ?  "))
            << r.err;
    }
}

TEST(CliProgram, EditsThatFailTheDoneCheckSendNothing) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 1, "E2MB_sample.bin");
    rw::test::SimProcess sim({"--no-throttle", "--trace", dir / "trace.txt"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const auto r =
        runIn(dir, {"program", file, "--port", sim.device(), "UTOPIAAddress=G"}, kRunLimit);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_TRUE(r.errHasLine("Error input: Please check your input values")) << r.err;
    EXPECT_TRUE(traceLines(dir / "trace.txt").empty()) << "nothing was sent to the modem";
}

// Where Qt keeps the lock file of a port (the first of these folders it may write to).
bool portLockFileExists(const std::string& device) {
    std::string name = device.substr(std::string("/dev/").size());
    std::replace(name.begin(), name.end(), '/', '_');
    for (const fs::path& folder :
         {fs::path("/var/lock"), fs::path("/run/lock"), fs::temp_directory_path()})
        if (fs::exists(folder / ("LCK.." + name))) return true;
    return false;
}

// A B+ modem whose run was stopped in its write phase: offset 0 stays invalid, the writes
// stopped early, and the run left the M> state after its last write and checked nothing.
void expectStoppedWhileWriting(const std::string& afterFile, const std::string& traceFile) {
    const auto after = readBytes(afterFile);
    ASSERT_EQ(after.size(), 8192u);
    EXPECT_EQ(after[0], 0x00) << "offset 0 stays invalid";
    const auto trace = traceLines(traceFile);
    int writes = 0;
    std::size_t lastE2Write = 0;
    for (std::size_t i = 0; i < trace.size(); ++i)
        if (isE2Write(trace[i], true)) {
            ++writes;
            lastE2Write = i;
        }
    EXPECT_GT(writes, 1);
    EXPECT_LT(writes, 8000) << "the write phase stopped early";
    bool left = false;
    for (std::size_t i = lastE2Write + 1; i < trace.size(); ++i) {
        if (trace[i] == "WR 8D00 0") left = true;
        EXPECT_FALSE(isBlockRead(trace[i])) << "the check phase reads nothing: " << trace[i];
    }
    EXPECT_TRUE(left);
}

// Ctrl-C, and the signals that mean the same to a run (`timeout` and supervisors send
// SIGTERM, a closed terminal SIGHUP), abort it as the Abort button does.
class CliSignal : public ::testing::TestWithParam<int> {};

TEST_P(CliSignal, DuringTheWritePhaseAbortsLeavesMAndReleasesThePort) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_sample.bin");
    // A modem whose every byte differs, so the write phase is long.
    image::Image blank{};
    blank.fill(0x00);
    blank[0] = 0x55;
    const std::string modemFile = writeImage(dir, blank, "modem.bin");
    rw::test::SimProcess sim({"--no-throttle", "--generation", "B+", "--image", modemFile,
                              "--write-back", dir / "after.bin", "--trace", dir / "trace.txt"});
    ASSERT_TRUE(sim.ok()) << sim.error();

    bool sent = false;
    bool locked = false;
    const auto onStderr = [&](pid_t pid, const std::string& err) {
        if (!sent && err.find("\nWriting\n") != std::string::npos) {
            // Let a few bytes go out first.
            std::this_thread::sleep_for(300ms);
            locked = portLockFileExists(sim.device());
            ::kill(pid, GetParam());
            sent = true;
        }
    };
    const auto r =
        runIn(dir, {"program", file, "--port", sim.device(), "--backup", dir / "E2MP_backup.bin"},
              kRunLimit, {}, onStderr);
    ASSERT_TRUE(sent) << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(r.errHasLine("Progrming Error: An error occurred while programming the E2."))
        << r.err;
    if (locked) {
        EXPECT_FALSE(portLockFileExists(sim.device())) << "the port's lock was released";
    }

    expectStoppedWhileWriting(dir / "after.bin", dir / "trace.txt");
}

INSTANTIATE_TEST_SUITE_P(SigintSigtermSighup, CliSignal,
                         ::testing::Values(SIGINT, SIGTERM, SIGHUP));

// ---- several ports ----------------------------------------------------------------------

// The ports of a bench served by one simulator started with --count and --link `link`.
std::vector<std::string> benchPorts(const std::string& link, int count) {
    std::vector<std::string> ports;
    for (int k = 1; k <= count; ++k)
        ports.push_back(link + "-" + std::to_string(k));
    return ports;
}

std::vector<std::string> withPorts(std::vector<std::string> args,
                                   const std::vector<std::string>& ports) {
    for (const std::string& p : ports)
        args.insert(args.end(), {"--port", p});
    return args;
}

// The row of the end table that begins with `port`.
std::string tableRow(const CliResult& r, const std::string& port) {
    for (const std::string& line : r.outLines())
        if (line.rfind(port + " ", 0) == 0) return line;
    return {};
}

// A bench of four with one faulty modem: the other three complete, the faulty one fails
// alone, and the table, the exit status, every modem's image and mark and the log say so.
TEST(CliSeveralPorts, OneFaultyModemFailsAloneAndEveryRunIsLogged) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_sample.bin");
    const image::Image wanted = windowImage(dir, file, "E2MP");
    image::Image before = wanted;
    for (int k : {5, 0x123, 0x1F00})
        before[static_cast<std::size_t>(k)] ^= 0x3C;
    before[0] = 0x55;
    const std::string modemFile = writeImage(dir, before, "modem.bin");
    image::Image done = wanted;
    done[0] = 0x55;
    image::Image silent = before;
    silent[0] = 0x00;
    image::Image flipped = done;
    flipped[0] = 0x00;
    flipped[0x123] ^= 0x01;
    const struct {
        const char* fault;
        std::vector<std::string> onModem2; // a fault of the bench's modem 2
        std::vector<std::string> ownSim;   // modem 2 is a simulator of its own instead
        std::optional<image::Image> left;  // what modem 2 holds after; none: never written
    } cases[] = {
        {"silent line", {"--fault-on", "2", "--silent-after", "40"}, {}, silent},
        {"wrong generation", {}, {"--generation", "B"}, std::nullopt},
        {"byte that does not store", {"--fault-on", "2", "--flip", "123"}, {}, flipped},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const std::string sub = dir / ("bench" + std::to_string(++n));
        fs::create_directory(sub);
        std::vector<std::string> simArgs = {"--no-throttle", "--count",      "4",
                                            "--generation",  "B+",           "--image",
                                            modemFile,       "--write-back", sub + "/after.bin",
                                            "--link",        sub + "/modem"};
        simArgs.insert(simArgs.end(), c.onModem2.begin(), c.onModem2.end());
        rw::test::SimProcess bench(simArgs);
        ASSERT_TRUE(bench.ok()) << bench.error();
        std::vector<std::string> ports = benchPorts(sub + "/modem", 4);
        std::vector<std::string> ownArgs = {"--no-throttle", "--image",        modemFile,
                                            "--write-back",  sub + "/odd.bin", "--link",
                                            sub + "/odd"};
        ownArgs.insert(ownArgs.end(), c.ownSim.begin(), c.ownSim.end());
        std::optional<rw::test::SimProcess> own;
        if (!c.ownSim.empty()) {
            own.emplace(ownArgs);
            ASSERT_TRUE(own->ok()) << own->error();
            ports[1] = sub + "/odd";
        }

        const auto r = runIn(dir, withPorts({"program", file}, ports), kRunLimit);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        for (std::size_t k = 0; k < 4; ++k) {
            const std::string row = tableRow(r, ports[k]);
            EXPECT_NE(row.find(k == 1 ? " failed " : " completed "), std::string::npos)
                << ports[k] << "\n"
                << r.out;
            if (k != 1) {
                EXPECT_EQ(readBytes(sub + "/after-" + std::to_string(k + 1) + ".bin"),
                          toVector(done));
            }
        }
        if (c.left)
            EXPECT_EQ(readBytes(sub + "/after-2.bin"), toVector(*c.left));
        else
            EXPECT_FALSE(fs::exists(sub + "/odd.bin")) << "nothing written to modem 2";

        // One line for each run, with the modem's image before and after.
        const auto log = runIn(dir, {"log", "--last", "4", "--json"}, 20s);
        ASSERT_EQ(log.outLines().size(), 4u) << log.out;
        for (const std::string& line : log.outLines()) {
            const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
            const bool faulty = o["port"].toString().toStdString() == ports[1];
            EXPECT_EQ(o["result"].toString(), faulty ? "failed" : "completed") << line;
            EXPECT_EQ(o["patchSha256"].toString().toStdString(),
                      modem::sha256Hex(imageOf(readBytes(file))));
            if (faulty) continue;
            EXPECT_EQ(o["imageBefore"].toString().toStdString(), modem::sha256Hex(before));
            EXPECT_EQ(o["imageAfter"].toString().toStdString(), modem::sha256Hex(done));
        }
    }
}

// Ctrl-C reaches every run, each ends its own way, and the command waits for them all.
TEST(CliSeveralPorts, CtrlCInTheWritePhaseAbortsEveryRun) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_sample.bin");
    image::Image blank{};
    blank[0] = 0x55;
    const std::string modemFile = writeImage(dir, blank, "modem.bin");
    rw::test::SimProcess sim({"--no-throttle", "--count", "4", "--generation", "B+", "--image",
                              modemFile, "--write-back", dir / "after.bin", "--trace",
                              dir / "trace.txt", "--link", dir / "modem"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const auto ports = benchPorts(dir / "modem", 4);
    bool sent = false;
    const auto onStderr = [&](pid_t pid, const std::string& err) {
        const auto lines = splitLines(err);
        const auto writing = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.size() > 9 && l.substr(l.size() - 9) == ": Writing";
        });
        if (sent || writing < 4) return;
        std::this_thread::sleep_for(300ms); // a few bytes go out first
        ::kill(pid, SIGINT);
        sent = true;
    };
    const auto r = runIn(dir, withPorts({"program", file}, ports), kRunLimit, {}, onStderr);
    ASSERT_TRUE(sent) << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    for (std::size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(ports[k]);
        EXPECT_NE(tableRow(r, ports[k]).find(" failed "), std::string::npos) << r.out;
        const std::string n = std::to_string(k + 1);
        expectStoppedWhileWriting(dir / ("after-" + n + ".bin"), dir / ("trace-" + n + ".txt"));
    }
}

// Ctrl-C pressed `presses` times as soon as the read phase has begun.
CliResult interruptWhileReading(const ScratchDir& dir, const std::string& device, int presses) {
    const std::string file = writeSample(dir, 1, "E2MB_sample.bin");
    bool sent = false;
    const auto onStderr = [&sent, presses](pid_t pid, const std::string& err) {
        if (sent || err.find("\nReading\n") == std::string::npos) return;
        for (int i = 0; i < presses; ++i) {
            ::kill(pid, SIGINT);
            std::this_thread::sleep_for(50ms);
        }
        sent = true;
    };
    // The presses must land while the first block is still on its way (a paced line).
    const auto r =
        runIn(dir, {"program", file, "--port", device, "--backup", dir / "E2MB_backup.bin"},
              kRunLimit, {}, onStderr);
    EXPECT_TRUE(sent) << r.err;
    return r;
}

TEST(CliProgram, SecondCtrlCWhileEndingIsIgnored) {
    ScratchDir dir;
    rw::test::SimProcess sim({"--trace", dir / "trace.txt"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const auto r = interruptWhileReading(dir, sim.device(), 2);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    // The run ended its own way: final message, and the M> state left after invalidating.
    EXPECT_TRUE(r.errHasLine("Progrming Error: An error occurred while programming the E2."))
        << r.err;
    EXPECT_LT(countTrace(dir / "trace.txt", isBlockRead), 32) << "the read phase stopped early";
    EXPECT_FALSE(fs::exists(dir / "E2MB_backup.bin")) << "no backup of an incomplete read";
}

TEST(CliProgram, ThirdCtrlCEndsTheProgramAtOnce) {
    ScratchDir dir;
    rw::test::SimProcess sim({});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const auto r = interruptWhileReading(dir, sim.device(), 3);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_FALSE(r.errHasLine("Progrming Error: An error occurred while programming the E2."))
        << r.err;
}

TEST(CliProgram, DryRunListsExactlyTheDifferingOffsetsAndWritesNothing) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 4, "E2UP_sample.bin");
    const image::Image wanted = windowImage(dir, file, "E2UP");
    image::Image modem = wanted;
    const std::vector<int> changed = {0x002, 0x0FF, 0x100, 0x1234, 0x1FFF};
    for (int k : changed)
        modem[static_cast<std::size_t>(k)] ^= 0x81;
    modem[0] = 0x55;
    const std::string modemFile = writeImage(dir, modem, "modem.bin");
    rw::test::SimProcess sim({"--no-throttle", "--generation", "B+", "--interface", "Utopia Phy",
                              "--image", modemFile, "--write-back", dir / "after.bin", "--trace",
                              dir / "trace.txt"});
    ASSERT_TRUE(sim.ok()) << sim.error();

    const auto r = runIn(dir, {"program", file, "--port", sim.device(), "--dry-run"}, kRunLimit);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> expected;
    for (int k : changed) {
        char line[32];
        std::snprintf(line, sizeof line, "%04X %02X -> %02X", k, modem[static_cast<std::size_t>(k)],
                      wanted[static_cast<std::size_t>(k)]);
        expected.emplace_back(line);
    }
    expected.emplace_back("5 bytes would be written.");
    EXPECT_EQ(r.outLines(), expected);
    EXPECT_EQ(countTrace(dir / "trace.txt", [](auto& l) { return l.rfind("WR", 0) == 0; }), 0);
    EXPECT_FALSE(fs::exists(dir / "after.bin"));
    EXPECT_FALSE(fs::exists(dir / "data/Romwright/backups")) << "no backup without writes";
}

TEST(CliRead, GivesTheModemsImageByteForByteThroughStartupIniPort) {
    ScratchDir dir;
    image::Image img;
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<std::uint8_t>((i * 31 + (i >> 8)) & 0xFF);
    const std::string modemFile = writeImage(dir, img, "modem.bin");
    rw::test::SimProcess sim(
        {"--no-throttle", "--generation", "B", "--image", modemFile, "--trace", dir / "trace.txt"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    // No --port: startup.ini's default port, mapped to the simulator's terminal.
    writeIni(dir, "COM2", "enabled");
    const std::string out = dir / "read.bin";
    const auto r = runIn(dir, {"read", "--product", "1", "-o", out}, kRunLimit,
                         {{"ROMWRIGHT_COM2", sim.device()}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readBytes(out), toVector(img));
    EXPECT_EQ(e2Writes(dir / "trace.txt", false), 0);
    EXPECT_EQ(countTrace(dir / "trace.txt", isBlockRead), 32);

    // An existing OUT is kept unless --force is given.
    const auto again =
        runIn(dir, {"read", "--port", sim.device(), "--product", "1", "-o", out}, 20s);
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_EQ(readBytes(out), toVector(img));
}

TEST(CliRead, ProgressIsOneLineOnATerminal) {
    ScratchDir dir;
    rw::test::SimProcess sim({"--no-throttle"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const auto r =
        runIn(dir, {"read", "--port", sim.device(), "--product", "1", "-o", dir / "E2MB_r.bin"},
              kRunLimit, {}, {}, true);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Redrawn in place: the phase, the bar, the percentage, the bytes, the time left.
    EXPECT_NE(r.err.find("\rReading   [##############################] 100%  8192/8192 bytes  "
                         "0:00 left"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("\nReading"), std::string::npos) << r.err;
}

TEST(CliVerify, MatchingAndDifferingModemAsTextAndAsJson) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 2, "E2UB_sample.bin");
    image::Image modem = windowImage(dir, file, "E2UB");
    modem[0] = 0x55;
    const struct {
        const char* name;
        std::vector<int> wrong;
    } cases[] = {{"matching", {}}, {"differing", {0, 0x2A, 0x1FFF}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        image::Image held = modem;
        std::vector<std::string> listing;
        for (int k : c.wrong) {
            held[static_cast<std::size_t>(k)] ^= 0x11;
            char line[32];
            std::snprintf(line, sizeof line, "%04X %02X -> %02X", k,
                          held[static_cast<std::size_t>(k)], modem[static_cast<std::size_t>(k)]);
            listing.emplace_back(line);
        }
        listing.push_back(std::to_string(c.wrong.size()) + " bytes differ.");
        const std::string modemFile = writeImage(dir, held, "modem.bin");
        rw::test::SimProcess sim({"--no-throttle", "--interface", "Utopia Phy", "--image",
                                  modemFile, "--trace", dir / "trace.txt"});
        ASSERT_TRUE(sim.ok()) << sim.error();
        const int status = c.wrong.empty() ? 0 : 1;

        const auto text = runIn(dir, {"verify", file, "--port", sim.device()}, kRunLimit);
        EXPECT_EQ(text.exitCode, status) << text.err;
        EXPECT_EQ(text.outLines(), listing);

        const auto json =
            runIn(dir, {"verify", file, "--port", sim.device(), "--json", "-q"}, kRunLimit);
        EXPECT_EQ(json.exitCode, status) << json.err;
        EXPECT_EQ(json.err.find("Reading"), std::string::npos) << "quiet: no progress";
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
        EXPECT_EQ(o["result"].toString(), status ? "differs" : "completed") << json.out;
        EXPECT_EQ(o["exitStatus"].toInt(), status);
        EXPECT_EQ(o["product"].toInt(), 2);
        EXPECT_EQ(o["device"].toString().toStdString(), sim.device());
        EXPECT_EQ(o["interface"].toString(), "Utopia Phy");
        EXPECT_EQ(o["generation"].toString(), "B");
        EXPECT_EQ(o["bytesRead"].toInt(), 8192);
        EXPECT_EQ(o["bytesWritten"].toInt(), 0);
        EXPECT_EQ(o["bytesVerified"].toInt(), 8192);
        EXPECT_EQ(o["backup"].isNull(), true);
        const QJsonArray failed = o["failed"].toArray();
        ASSERT_EQ(failed.size(), static_cast<qsizetype>(c.wrong.size()));
        if (!c.wrong.empty()) {
            EXPECT_EQ(failed[1].toObject()["offset"].toString(), "002A");
            EXPECT_EQ(o["messages"].toArray().size(), 1);
            EXPECT_NE(o["failure"].toString().toStdString().find("3 byte(s) differ"),
                      std::string::npos);
        }
        EXPECT_EQ(countTrace(dir / "trace.txt", [](auto& l) { return l.rfind("WR", 0) == 0; }), 0);
    }
}

TEST(CliRestore, BringsTheFilesBytesBackExactly) {
    ScratchDir dir;
    // A backup whose watchdog byte has bit 2 clear while startup.ini disables the watchdog:
    // an ordinary run would set the bit, a restore must not.
    image::Image backup = image::makeSampleImage(3);
    backup[0] = 0x00;
    backup[597] = 0x10;
    backup[0x0ABC] = 0x77;
    const std::string file = writeImage(dir, backup, "E2MP_backup_20240101-000000.bin");
    writeIni(dir, "COM1", "disabled");
    image::Image modem = backup;
    for (std::size_t i = 1; i < modem.size(); i += 97)
        modem[i] ^= 0xFF;
    modem[597] = 0x14;
    const std::string modemFile = writeImage(dir, modem, "modem.bin");
    rw::test::SimProcess sim({"--no-throttle", "--generation", "B+", "--image", modemFile,
                              "--write-back", dir / "after.bin"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    // No --backup: the backup goes to the data folder and its path is printed.
    const auto r = runIn(dir, {"restore", file, "--port", sim.device()}, kRunLimit);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.errHasLine("Programming completed: Programming completed.")) << r.err;
    image::Image expected = backup;
    expected[0] = 0x55;
    EXPECT_EQ(readBytes(dir / "after.bin"), toVector(expected));

    // In the data folder the window uses too, and what the modem held before.
    std::vector<std::string> backups;
    for (const auto& e : fs::recursive_directory_iterator(dir / "data"))
        if (e.is_regular_file() && e.path().filename().string().rfind("E2MP_backup_", 0) == 0)
            backups.push_back(e.path().string());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(fs::path(backups[0]).parent_path(), fs::path(dir / "data/Romwright/backups"));
    EXPECT_NE(r.err.find(backups[0]), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(backups[0]), toVector(modem));
}

// A reader that goes away (`program ... 2>&1 | head -2`) does not end the run: its output is
// dropped and the modem is programmed to the end.
TEST(CliRestore, ClosedOutputDoesNotCutTheRunShort) {
    ScratchDir dir;
    image::Image file = image::makeSampleImage(1);
    image::Image modem = file;
    for (std::size_t i = 1; i < modem.size(); i += 301)
        modem[i] ^= 0x5A;
    const std::string path = writeImage(dir, file, "E2MB_image.bin");
    const std::string modemFile = writeImage(dir, modem, "modem.bin");
    rw::test::SimProcess sim(
        {"--no-throttle", "--image", modemFile, "--write-back", dir / "after.bin"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    CliRun run;
    run.args = {"restore", path, "--port", sim.device(), "--backup", dir / "E2MB_bk.bin"};
    run.cwd = dir.path();
    run.limit = kRunLimit;
    run.closeStderrEarly = true;
    const auto r = runCli(run);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    file[0] = 0x55;
    EXPECT_EQ(readBytes(dir / "after.bin"), toVector(file));
}

TEST(CliProgram, BytesThatDoNotReadBackAreListedWithWantedAndFound) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_sample.bin");
    const image::Image wanted = windowImage(dir, file, "E2MP");
    image::Image modem = wanted;
    modem[0x123] ^= 0xF0; // must be written, and the modem stores it with bit 0 flipped
    const std::string modemFile = writeImage(dir, modem, "modem.bin");
    rw::test::SimProcess sim({"--no-throttle", "--generation", "B+", "--image", modemFile,
                              "--write-back", dir / "after.bin", "--flip", "123"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const auto r = runIn(dir, {"program", file, "--port", sim.device(), "--backup", dir / "bk.bin"},
                         kRunLimit);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const auto lines = r.errLines();
    const auto it = std::find(lines.begin(), lines.end(),
                              "Progrming Error: An error occurred while programming the E2.");
    ASSERT_NE(it, lines.end()) << r.err;
    char report[64];
    std::snprintf(report, sizeof report, "0123: wanted %02X, found %02X", wanted[0x123],
                  wanted[0x123] ^ 0x01);
    ASSERT_NE(it + 1, lines.end());
    EXPECT_EQ(*(it + 1), report) << r.err;
    EXPECT_EQ(readBytes(dir / "after.bin").at(0), 0x00) << "not validated";
}

} // namespace
} // namespace rw::clitest

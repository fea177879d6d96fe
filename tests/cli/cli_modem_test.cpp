// The modem commands against romwright-sim: one run of each end to end, and what only the command
// line adds (exit status, output, signals, several ports); run steps are on the scripted port.
#include "image/sample_image.h"
#include "modem/run_log.h"
#include "support/cli_run.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>
#include <tuple>

#include <csignal>
#include <filesystem>
#include <regex>
#include <thread>

namespace rw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int traceCount(const std::string& path, const char* pattern) {
    const std::regex re(pattern);
    int n = 0;
    for (const std::string& line : splitLines(readText(path)))
        n += std::regex_search(line, re);
    return n;
}

// Writes into the E2PROM window (C000h.. on B+, 9000h..AFFFh on B), any write, a block read.
const char *const kE2WriteBPlus = "^WR C", *const kE2WriteB = "^WR [9A]", *const kWrite = "^WR",
                  *const kBlockRead = "^RD .*,100$";

void writeIni(const TempDir& dir, const std::string& port, const std::string& watchdog) {
    writeText(dir.file("startup.ini"), "[settings]\r\ndefaultcom = \"" + port +
                                           "\"\r\nmode = \"normal\"\r\nwatchdog = \"" + watchdog +
                                           "\"\r\n");
}

// What the window stores for a file: the file saved by `edit` without edits.
image::Image windowImage(const TempDir& dir, const std::string& file, const std::string& code) {
    const std::string out = dir.file(code + "_window.bin");
    const auto r = runCli(dir, {{"edit", file, "-o", out}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto saved = image::readPatchFile(out);
    return saved ? saved->bytes : image::Image{};
}

TEST(CliProgram, CompletesAndTheModemHoldsTheWindowsImage) {
    TempDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_sample.bin");
    const image::Image wanted = windowImage(dir, file, "E2MP");
    image::Image before = wanted;
    for (int k : {5, 0x123, 0x124, 0x1F00, 0x1FFF})
        before[static_cast<std::size_t>(k)] ^= 0x3C;
    SimProcess sim({"--no-throttle", "--generation", "B+", "--image",
                    writeImage(dir, before, "modem.bin"), "--write-back", dir.file("after.bin")});
    ASSERT_TRUE(sim.ok()) << sim.error();

    const std::string backup = dir.file("E2MP_backup_test.bin");
    const auto r = runCli(dir, {{"program", file, "--port", sim.device(), "--backup", backup}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.errHasLine("Programming completed: Programming completed.")) << r.err;
    // Plain phase lines when stderr is no terminal.
    for (const char* phase : {"Connecting", "Reading", "Writing", "Checking"})
        EXPECT_TRUE(r.errHasLine(phase)) << phase << "\n" << r.err;
    EXPECT_NE(r.err.find(backup), std::string::npos) << "the backup's path is printed";
    image::Image expected = wanted;
    expected[0] = 0x55;
    EXPECT_EQ(readBytes(dir.file("after.bin")), toVector(expected));
    // The backup is the E2PROM as it was before the run, offset 0 included.
    EXPECT_EQ(readBytes(backup), toVector(before));
}

// Refused before the port opens: exit 2 (no port here to open, so a later refusal would be exit 1);
// a port without a modem: exit 1 naming the port as the window does (a path, or a COM number).
TEST(CliProgram, RefusalsBeforeThePortOpensAndAPortWithoutModem) {
    TempDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_job.bin");
    writeSample(dir, 1, "E2MB_job.bin");
    const auto master = readBytes(file);
    writeText(dir.file("E2MP_old.bin"), "an older backup");
    writeText(dir.file("blocker"), "a file where a folder should be");
    fs::create_directory(dir.file("folder"));
    const std::string none = dir.file("no-such-tty");
    const std::string unavailable = " is Invalid. Would you like to try different port ?  ";
    // args: with --port no-such-tty unless they give a port
    const std::tuple<std::string, int, std::string> cases[] = {
        {"program E2MP_job.bin --backup E2MP_job.bin --force", 2,
         "that is the file being programmed"},
        {"restore E2MP_job.bin --backup ./E2MP_job.bin", 2,
         "./E2MP_job.bin: that is the file being"},
        {"program E2MP_job.bin --backup E2MP_old.bin", 2, "'E2MP_old.bin' exists; give --force"},
        {"restore E2MP_job.bin --backup folder --force", 2, "--backup folder: is a folder"},
        {"program E2MP_job.bin --backup blocker/E2MP_bk.bin", 2, "bk.bin: its folder cannot"},
        // Edits that fail the "Done" check, or a value the image cannot hold, send nothing.
        {"program E2MB_job.bin UTOPIAAddress=G", 2, "Error input: Please check your input values"},
        {"program E2MB_job.bin Baund=115200 FText(0)=10 FText(1)=00", 2,
         "Illegal Parameter: UART_Rate does not fit in one byte."},
        {"program E2MB_job.bin", 1, "Port Unavailable: Com  " + none + unavailable},
        {"verify E2MB_job.bin --port COM3", 1, "Port Unavailable: Com  3" + unavailable}};
    for (const auto& [args, exitCode, line] : cases) {
        SCOPED_TRACE(args);
        const auto port = args.find("--port") == std::string::npos ? " --port " + none : "";
        const auto r = runCli(dir, {words(args + port), {{"ROMWRIGHT_COM3", none}}});
        EXPECT_EQ(r.exitCode, exitCode) << r.err;
        EXPECT_NE(r.err.find(line), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Port Unavailable") == std::string::npos, exitCode == 2) << r.err;
    }
    EXPECT_EQ(readBytes(file), master);
    EXPECT_EQ(readBytes(dir.file("E2MP_old.bin")).size(), 15u);
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

// What a B+ modem holds and was sent when its run was stopped in the write phase.
void expectStoppedWhileWriting(const std::string& afterFile, const std::string& traceFile) {
    const auto after = readBytes(afterFile);
    ASSERT_EQ(after.size(), 8192u);
    EXPECT_EQ(after[0], 0x00) << "offset 0 stays invalid";
    const int writes = traceCount(traceFile, kE2WriteBPlus);
    EXPECT_GT(writes, 1);
    EXPECT_LT(writes, 8000) << "the write phase stopped early";
    const std::string trace = readText(traceFile);
    const std::string end = trace.substr(trace.rfind("\nWR C") + 1); // from the last E2 write
    EXPECT_NE(end.find("\nWR 8D00 0\n"), std::string::npos) << "the M> state was left";
    EXPECT_EQ(end.find(",100\n"), std::string::npos) << "nothing was checked";
}

// A modem whose every byte differs from the sample, so that the write phase is long.
std::string blankModem(const TempDir& dir) {
    image::Image blank{};
    blank[0] = 0x55;
    return writeImage(dir, blank, "modem.bin");
}

// Ctrl-C, SIGTERM (`timeout`, supervisors) and SIGHUP (a closed terminal) abort as Abort does.
class CliSignal : public ::testing::TestWithParam<int> {};

TEST_P(CliSignal, DuringTheWritePhaseAbortsLeavesMAndReleasesThePort) {
    TempDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_sample.bin");
    SimProcess sim({"--no-throttle", "--generation", "B+", "--image", blankModem(dir),
                    "--write-back", dir.file("after.bin"), "--trace", dir.file("trace.txt")});
    ASSERT_TRUE(sim.ok()) << sim.error();
    bool sent = false, locked = false;
    const auto onStderr = [&](pid_t pid, const std::string& err) {
        if (sent || err.find("\nWriting\n") == std::string::npos) return;
        std::this_thread::sleep_for(300ms); // a few bytes go out first
        locked = portLockFileExists(sim.device());
        ::kill(pid, GetParam());
        sent = true;
    };
    const auto r = runCli(dir, {{"program", file, "--port", sim.device()}, {}, onStderr});
    ASSERT_TRUE(sent) << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(r.errHasLine("Progrming Error: An error occurred while programming the E2."))
        << r.err;
    EXPECT_FALSE(locked && portLockFileExists(sim.device())) << "the port's lock was released";
    expectStoppedWhileWriting(dir.file("after.bin"), dir.file("trace.txt"));
}

INSTANTIATE_TEST_SUITE_P(SigintSigtermSighup, CliSignal,
                         ::testing::Values(SIGINT, SIGTERM, SIGHUP));

// Ctrl-C pressed twice while the run ends its own way is ignored: the final message, no
// backup of an incomplete read; pressed three times, the program ends at once.
TEST(CliProgram, SecondCtrlCIsIgnoredAThirdEndsAtOnce) {
    for (const int presses : {2, 3}) {
        SCOPED_TRACE(presses);
        TempDir dir;
        SimProcess sim({"--trace", dir.file("trace.txt")}); // paced: the presses land in time
        ASSERT_TRUE(sim.ok()) << sim.error();
        bool sent = false;
        const auto onStderr = [&](pid_t pid, const std::string& err) {
            if (sent || err.find("\nReading\n") == std::string::npos) return;
            for (int i = 0; i < presses; ++i) {
                ::kill(pid, SIGINT);
                std::this_thread::sleep_for(50ms);
            }
            sent = true;
        };
        const std::string backup = dir.file("E2MB_backup.bin");
        const auto r = runCli(dir, {{"program", writeSample(dir, 1, "E2MB_sample.bin"), "--port",
                                     sim.device(), "--backup", backup},
                                    {},
                                    onStderr});
        ASSERT_TRUE(sent) << r.err;
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.errHasLine("Progrming Error: An error occurred while programming the E2."),
                  presses == 2)
            << r.err;
        EXPECT_LT(traceCount(dir.file("trace.txt"), kBlockRead), 32) << "the read stopped early";
        EXPECT_FALSE(fs::exists(backup)) << "no backup of an incomplete read";
    }
}

// `args` with the ports of a bench served by one simulator started with --count 4 --link `link`.
std::vector<std::string> onBench(std::vector<std::string> args, const std::string& link) {
    for (int k = 1; k <= 4; ++k)
        args.insert(args.end(), {"--port", link + "-" + std::to_string(k)});
    return args;
}

std::string rowOf(const std::string& text, const std::string& port) {
    for (const std::string& line : splitLines(text))
        if (line.rfind(port + " ", 0) == 0) return line;
    return {};
}

// A bench of four whose modem 2 stores one byte wrong: it fails alone, as the table, exit status,
// images and log say; how a run fails for each fault is tested on the modem layer.
TEST(CliSeveralPorts, OneFaultyModemFailsAloneAndEveryRunIsLogged) {
    TempDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_sample.bin");
    const image::Image wanted = windowImage(dir, file, "E2MP");
    image::Image before = wanted;
    for (int k : {5, 0x123, 0x1F00})
        before[static_cast<std::size_t>(k)] ^= 0x3C;
    image::Image done = wanted, flipped = wanted;
    before[0] = done[0] = 0x55;
    flipped[0] = 0x00;
    flipped[0x123] ^= 0x01;
    const std::string link = dir.file("modem"), faulty = link + "-2";
    SimProcess bench(words("--no-throttle --count 4 --generation B+ --fault-on 2 --flip 123 "
                           "--image " +
                           writeImage(dir, before, "modem.bin") + " --write-back " +
                           dir.file("after.bin") + " --link " + link));
    ASSERT_TRUE(bench.ok()) << bench.error();
    const auto r = runCli(dir, {onBench({"program", file}, link)});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    for (int k = 1; k <= 4; ++k) {
        const std::string n = std::to_string(k);
        EXPECT_NE(rowOf(r.out, link + "-" + n).find(k == 2 ? " failed " : " completed "),
                  std::string::npos)
            << n << "\n"
            << r.out;
        EXPECT_EQ(readBytes(dir.file("after-" + n + ".bin")), toVector(k == 2 ? flipped : done));
    }
    const auto log = runCli(dir, {{"log", "--last", "4", "--json"}});
    ASSERT_EQ(log.outLines().size(), 4u) << log.out;
    for (const std::string& line : log.outLines()) {
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        const bool failed = o["port"].toString().toStdString() == faulty;
        EXPECT_EQ(o["result"].toString(), failed ? "failed" : "completed") << line;
        EXPECT_EQ(o["patchSha256"].toString().toStdString(),
                  modem::sha256Hex(image::makeSampleImage(3)));
        if (failed) continue;
        EXPECT_EQ(std::tuple(o["imageBefore"].toString().toStdString(),
                             o["imageAfter"].toString().toStdString()),
                  std::tuple(modem::sha256Hex(before), modem::sha256Hex(done)));
    }
    const auto table = runCli(dir, {{"log", "--last", "4"}});
    EXPECT_EQ(table.outLines().size(), 5u) << table.out;
    EXPECT_NE(table.out.find(faulty + " "), std::string::npos) << table.out;
    EXPECT_NE(table.out.find(link + "-4 "), std::string::npos) << table.out;
}

// Ctrl-C reaches every run, each ends its own way, and the command waits for them all.
TEST(CliSeveralPorts, CtrlCInTheWritePhaseAbortsEveryRun) {
    TempDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_sample.bin");
    SimProcess sim({"--no-throttle", "--count", "4", "--generation", "B+", "--image",
                    blankModem(dir), "--write-back", dir.file("after.bin"), "--trace",
                    dir.file("trace.txt"), "--link", dir.file("modem")});
    ASSERT_TRUE(sim.ok()) << sim.error();
    bool sent = false;
    const auto onStderr = [&](pid_t pid, const std::string& err) {
        const auto lines = splitLines(err);
        if (sent || std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
                        return l.size() > 9 && l.substr(l.size() - 9) == ": Writing";
                    }) < 4)
            return;
        std::this_thread::sleep_for(300ms); // a few bytes go out first
        ::kill(pid, SIGINT);
        sent = true;
    };
    const auto r = runCli(dir, {onBench({"program", file}, dir.file("modem")), {}, onStderr});
    ASSERT_TRUE(sent) << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    for (int k = 1; k <= 4; ++k) {
        const std::string n = std::to_string(k);
        SCOPED_TRACE(n);
        EXPECT_NE(rowOf(r.out, dir.file("modem-" + n)).find(" failed "), std::string::npos)
            << r.out;
        expectStoppedWhileWriting(dir.file("after-" + n + ".bin"), dir.file("trace-" + n + ".txt"));
    }
}

TEST(CliProgram, DryRunListsExactlyTheDifferingOffsetsAndWritesNothing) {
    TempDir dir;
    const std::string file = writeSample(dir, 4, "E2UP_sample.bin");
    const image::Image wanted = windowImage(dir, file, "E2UP");
    image::Image modem = wanted;
    std::vector<std::string> expected;
    for (int k : {0x002, 0x0FF, 0x100, 0x1234, 0x1FFF}) {
        modem[std::size_t(k)] ^= 0x81;
        expected.push_back(offsetLine(k, modem[std::size_t(k)], wanted[std::size_t(k)]));
    }
    expected.emplace_back("5 bytes would be written.");
    modem[0] = 0x55;
    SimProcess sim({"--no-throttle", "--generation", "B+", "--interface", "Utopia Phy", "--image",
                    writeImage(dir, modem, "modem.bin"), "--write-back", dir.file("after.bin"),
                    "--trace", dir.file("trace.txt")});
    ASSERT_TRUE(sim.ok()) << sim.error();

    // A reader of stderr that goes away (`2>&1 | head -2`) does not cut the run short.
    CliRun run{{"program", file, "--port", sim.device(), "--dry-run"}};
    run.closeStderrEarly = true;
    const auto r = runCli(dir, run);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.outLines(), expected);
    EXPECT_EQ(traceCount(dir.file("trace.txt"), kWrite), 0);
    EXPECT_FALSE(fs::exists(dir.file("after.bin")));
    EXPECT_FALSE(fs::exists(dir.file("data/Romwright/backups"))) << "no backup without writes";
}

// Through startup.ini's default port, with the progress redrawn in place on a terminal; an
// existing OUT is kept unless --force is given.
TEST(CliRead, GivesTheModemsImageByteForByte) {
    TempDir dir;
    image::Image img;
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<std::uint8_t>((i * 31 + (i >> 8)) & 0xFF);
    SimProcess sim({"--no-throttle", "--generation", "B", "--image",
                    writeImage(dir, img, "modem.bin"), "--trace", dir.file("trace.txt")});
    ASSERT_TRUE(sim.ok()) << sim.error();
    writeIni(dir, "COM2", "enabled");
    const std::string out = dir.file("read.bin");
    const auto r = runCli(
        dir, {{"read", "--product", "1", "-o", out}, {{"ROMWRIGHT_COM2", sim.device()}}, {}, true});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readBytes(out), toVector(img));
    EXPECT_EQ(traceCount(dir.file("trace.txt"), kE2WriteB), 0);
    EXPECT_EQ(traceCount(dir.file("trace.txt"), kBlockRead), 32);
    EXPECT_NE(r.err.find("\rReading   [##############################] 100%  8192/8192 bytes  "
                         "0:00 left"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("\nReading"), std::string::npos) << r.err;

    const auto again = runCli(dir, {{"read", "--port", sim.device(), "--product", "1", "-o", out}});
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_EQ(readBytes(out), toVector(img));
}

TEST(CliVerify, MatchingAndDifferingModemAsTextAndAsJson) {
    TempDir dir;
    const std::string file = writeSample(dir, 2, "E2UB_sample.bin");
    image::Image modem = windowImage(dir, file, "E2UB");
    modem[0] = 0x55;
    for (const std::vector<int>& wrong : {std::vector<int>{}, {0, 0x2A, 0x1FFF}}) {
        SCOPED_TRACE(wrong.size());
        image::Image held = modem;
        std::vector<std::string> listing;
        for (int k : wrong) {
            held[std::size_t(k)] ^= 0x11;
            listing.push_back(offsetLine(k, held[std::size_t(k)], modem[std::size_t(k)]));
        }
        listing.push_back(std::to_string(wrong.size()) + " bytes differ.");
        SimProcess sim({"--no-throttle", "--interface", "Utopia Phy", "--image",
                        writeImage(dir, held, "modem.bin"), "--trace", dir.file("trace.txt")});
        ASSERT_TRUE(sim.ok()) << sim.error();
        const int status = wrong.empty() ? 0 : 1;

        const auto text = runCli(dir, {{"verify", file, "--port", sim.device()}});
        EXPECT_EQ(text.exitCode, status) << text.err;
        EXPECT_EQ(text.outLines(), listing);

        const auto json = runCli(dir, {{"verify", file, "--port", sim.device(), "--json", "-q"}});
        EXPECT_EQ(json.exitCode, status) << json.err;
        EXPECT_EQ(json.err.find("Reading"), std::string::npos) << "quiet: no progress";
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
        std::string fields;
        for (const char* key :
             {"result", "exitStatus", "product", "device", "interface", "generation", "bytesRead",
              "bytesWritten", "bytesVerified", "backup"})
            fields += o[key].toVariant().toString().toStdString() + ";";
        EXPECT_EQ(fields, (status ? "differs;1;2;" : "completed;0;2;") + sim.device() +
                              ";Utopia Phy;B;8192;0;8192;;")
            << json.out;
        const QJsonArray failed = o["failed"].toArray();
        ASSERT_EQ(failed.size(), static_cast<qsizetype>(wrong.size()));
        if (status) {
            EXPECT_EQ(failed[1].toObject()["offset"].toString(), "002A");
            EXPECT_EQ(o["messages"].toArray().size(), 1);
            EXPECT_NE(o["failure"].toString().toStdString().find("3 byte(s) differ"),
                      std::string::npos);
        }
        EXPECT_EQ(traceCount(dir.file("trace.txt"), kWrite), 0);
    }
}

TEST(CliRestore, BringsTheFilesBytesBackExactly) {
    TempDir dir;
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
    SimProcess sim({"--no-throttle", "--generation", "B+", "--image",
                    writeImage(dir, modem, "modem.bin"), "--write-back", dir.file("after.bin")});
    ASSERT_TRUE(sim.ok()) << sim.error();
    // No --backup: the backup goes to the data folder and its path is printed.
    const auto r = runCli(dir, {{"restore", file, "--port", sim.device()}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.errHasLine("Programming completed: Programming completed.")) << r.err;
    backup[0] = 0x55;
    EXPECT_EQ(readBytes(dir.file("after.bin")), toVector(backup));

    // In the data folder the window uses too, and what the modem held before.
    const fs::path folder = dir.file("data/Romwright/backups");
    ASSERT_TRUE(fs::is_directory(folder));
    ASSERT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
    const fs::path made = fs::directory_iterator(folder)->path();
    EXPECT_NE(r.err.find(made.string()), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(made.string()), toVector(modem));
}

} // namespace
} // namespace rw::test

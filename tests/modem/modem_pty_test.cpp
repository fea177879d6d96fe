// The link end to end: the Qt serial port on a pseudo-terminal served by romwright-sim.
#include "modem/modem_module.h"
#include "support/sim_process.h"
#include "ui/qt_serial_port.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

using namespace std::chrono_literals;
namespace ui = rw::ui;
namespace fs = std::filesystem;
using rw::test::SimProcess;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// COM1 is `device`; COM2..COM6 lead nowhere. Restores the environment afterwards.
class ComOne {
public:
    explicit ComOne(const std::string& device) {
        for (int n = 1; n <= 6; ++n) {
            const std::string var = "ROMWRIGHT_COM" + std::to_string(n);
            if (const char* v = std::getenv(var.c_str())) saved_[n] = v;
            const std::string dev = n == 1 ? device : "/dev/romwright-absent-" + std::to_string(n);
            setenv(var.c_str(), dev.c_str(), 1);
        }
    }
    ~ComOne() {
        for (int n = 1; n <= 6; ++n) {
            const std::string var = "ROMWRIGHT_COM" + std::to_string(n);
            if (saved_.count(n))
                setenv(var.c_str(), saved_[n].c_str(), 1);
            else
                unsetenv(var.c_str());
        }
    }

private:
    std::map<int, std::string> saved_;
};

class Pty : public ::testing::Test {
protected:
    void startSim(std::vector<std::string> args) {
        args.insert(args.begin(), "--no-throttle");
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->ok()) << sim->error();
    }
    void openDirect() {
        platform.serialPort().setPortName(sim->device());
        platform.serialPort().setSettings(rw::modem::kLineSettings);
        ASSERT_EQ(platform.serialPort().open(), ui::OpenResult::Opened);
    }
    template <class F> double wallSeconds(F&& f) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    Pty() { platform.port = std::make_unique<ui::QtSerialPort>(); }

    std::unique_ptr<SimProcess> sim;
    ui::ScriptedPlatform platform{false}; // real clock, real sleeping
    rw::app::RunState run;
    rw::modem::ModemModule modem{platform, run};
};

} // namespace

TEST_F(Pty, WaitPromptForMAgainstLFailsThenLSucceeds) {
    startSim({});
    openDirect();
    bool m = true;
    const double s = wallSeconds([&] { m = modem.WaitPrompt("M"); });
    EXPECT_FALSE(m);
    EXPECT_GT(s, 3.0);
    EXPECT_LT(s, 4.0);
    bool l = false;
    const double t = wallSeconds([&] { l = modem.WaitPrompt("L"); });
    EXPECT_TRUE(l);
    EXPECT_LT(t, 1.0);
}

TEST_F(Pty, ReadsRegistersAndTheE2prom) {
    const fs::path image =
        fs::temp_directory_path() / ("romwright-pty-image-" + std::to_string(::getpid()));
    {
        std::ofstream out(image, std::ios::binary);
        for (int i = 0; i < 8192; ++i)
            out.put(static_cast<char>((i * 7 + 3) & 0xFF));
    }
    startSim({"--generation", "B", "--revision", "44", "--image", image.string()});
    fs::remove(image);
    openDirect();
    ASSERT_TRUE(modem.WaitPrompt("L"));
    EXPECT_EQ(modem.ReadModem(0x8C73, 1)[0], 44);
    const auto block = modem.ReadModem(0x9100, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(block[i], ((256 + i) * 7 + 3) & 0xFF) << i;
    const auto nine = modem.ReadModem(0x9008, 9);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(nine[i], ((8 + i) * 7 + 3) & 0xFF) << i;
    const auto sixteen = modem.ReadModem(0x9010, 16);
    EXPECT_EQ(sixteen[8], ((24) * 7 + 3) & 0xFF);
    EXPECT_EQ(sixteen[15], ((31) * 7 + 3) & 0xFF);
    EXPECT_FALSE(run.StopRunning);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Pty, WritesReachTheE2promOnlyInTheWriteState) {
    startSim({"--generation", "B"});
    openDirect();
    ASSERT_TRUE(modem.WaitPrompt("L"));
    modem.WriteModem(0x9005, 0x12);
    EXPECT_EQ(modem.ReadModem(0x9005, 1)[0], 0xFF); // acknowledged, not stored
    modem.WriteModem(0x8D00, 0xB2);
    EXPECT_TRUE(modem.WaitPrompt("M"));
    modem.WriteModem(0x9005, 0x12);
    modem.WriteModem(0x9006, 0);
    const auto r = modem.ReadModem(0x9005, 2);
    EXPECT_EQ(r[0], 0x12);
    EXPECT_EQ(r[1], 0x00);
    modem.WriteModem(0x8D00, 0);
    EXPECT_TRUE(modem.WaitPrompt("L"));
    EXPECT_FALSE(run.StopRunning);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Pty, ReadWithoutDataFails) {
    startSim({"--no-data"});
    openDirect();
    ASSERT_TRUE(modem.WaitPrompt("L"));
    modem.ReadModem(0x9000, 8);
    ASSERT_NE(platform.boxes.last(), nullptr);
    EXPECT_EQ(platform.boxes.last()->text, "Could not communicate with local modem properly.");
    EXPECT_TRUE(run.StopRunning);
    EXPECT_EQ(modem.lastFailedCommand(), "RD 9000,8");
}

TEST_F(Pty, OpenModemFindsThePresentModem) {
    startSim({});
    ComOne com(sim->device());
    const fs::path dir =
        fs::temp_directory_path() / ("romwright-pty-dir-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    run.Dir = dir.string();
    int r = -1;
    const double s = wallSeconds([&] { r = modem.OpenModem(1); });
    EXPECT_EQ(r, 2);
    EXPECT_GT(s, 3.0); // the "M" probe ran out first
    EXPECT_LT(s, 5.0);
    EXPECT_TRUE(platform.serialPort().isOpen());
    EXPECT_EQ(modem.comPortForm().ComPort.items(), (std::vector<std::string>{"COM1"}));
    EXPECT_TRUE(platform.boxes.shown.empty());
    EXPECT_TRUE(modem.WaitPrompt("L")); // still open and talking
    modem.closePort();
    EXPECT_FALSE(platform.serialPort().isOpen());
    fs::remove_all(dir);
}

TEST_F(Pty, OpenModemOnASilentLineAsks) {
    startSim({"--silent-after", "0"});
    ComOne com(sim->device());
    platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_EQ(modem.OpenModem(1), 0);
    ASSERT_NE(platform.boxes.last(), nullptr);
    EXPECT_EQ(platform.boxes.last()->text,
              "Modem is unavailable on com  1. Would you like to try different com ?  ");
    EXPECT_EQ(platform.boxes.last()->title, "Modem Unavailable");
    EXPECT_FALSE(platform.serialPort().isOpen());
}

TEST_F(Pty, OpenModemOnAMissingPortAsks) {
    ComOne com("/dev/romwright-no-such-port");
    platform.boxes.answers = {ui::Answer::Retry};
    EXPECT_EQ(modem.OpenModem(1), 1);
    ASSERT_NE(platform.boxes.last(), nullptr);
    EXPECT_EQ(platform.boxes.last()->text,
              "Com  1 is Invalid. Would you like to try different port ?  ");
    EXPECT_EQ(platform.boxes.last()->title, "Port Unavailable");
    EXPECT_TRUE(modem.comPortForm().ComPort.items().empty());
}

TEST_F(Pty, OpenModemOnALockedPortAsks) {
    startSim({});
    ComOne com(sim->device());
    ui::QtSerialPort holder; // another user of the port
    holder.setPortName(sim->device());
    holder.setSettings(rw::modem::kLineSettings);
    ASSERT_EQ(holder.open(), ui::OpenResult::Opened);
    platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_EQ(modem.OpenModem(1), 0);
    ASSERT_NE(platform.boxes.last(), nullptr);
    EXPECT_EQ(platform.boxes.last()->text,
              "Com  1 is Already Open. Would you like to try different port ?  ");
    EXPECT_EQ(platform.boxes.last()->title, "Port Unavailable");
    // A busy port is still listed.
    EXPECT_EQ(modem.comPortForm().ComPort.items(), (std::vector<std::string>{"COM1"}));
    holder.close();
    platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_EQ(modem.OpenModem(1), 2);
}

TEST_F(Pty, OpenModemDeviceUsesThePath) {
    startSim({});
    EXPECT_EQ(modem.OpenModemDevice(sim->device()), 2);
    EXPECT_TRUE(platform.serialPort().isOpen());
    EXPECT_EQ(platform.serialPort().portName(), sim->device());
}

// ---- the Qt port itself ------------------------------------------------------------------

TEST(QtPort, MissingDeviceIsNoSuchPort) {
    ui::QtSerialPort p;
    p.setPortName("/dev/romwright-no-such-port");
    p.setSettings("9600,N,8,1");
    EXPECT_EQ(p.open(), ui::OpenResult::NoSuchPort);
    EXPECT_FALSE(p.isOpen());
}

TEST(QtPort, ANonTerminalCountsAsOpenedButCarriesNothing) {
    // /dev/null opens but is no serial line: reported opened, yet unusable.
    ui::QtSerialPort p;
    p.setPortName("/dev/null");
    p.setSettings("9600,N,8,1");
    ASSERT_EQ(p.open(), ui::OpenResult::Opened);
    EXPECT_TRUE(p.isOpen());
    EXPECT_FALSE(p.usable());
    p.send("\x1B"); // quietly nothing
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(p.waitForData(300ms));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 290ms);
    EXPECT_LT(cpuSeconds() - cpu0, 0.1);
    EXPECT_EQ(p.takeReceived(), "");
}

TEST_F(Pty, WaitOnALineWhoseModemWentAwaySleeps) {
    startSim({});
    openDirect();
    ASSERT_TRUE(modem.WaitPrompt("L"));
    sim->stop();
    const double cpu0 = cpuSeconds();
    bool got = true;
    const double s = wallSeconds([&] { got = modem.WaitPrompt("L"); });
    EXPECT_FALSE(got);
    EXPECT_GT(s, 3.0);
    EXPECT_LT(cpuSeconds() - cpu0, 0.3) << "the wait spun";
}

TEST_F(Pty, TimedOutWaitCostsLittleCpu) {
    startSim({"--silent-after", "0"});
    openDirect();
    const double cpu0 = cpuSeconds();
    EXPECT_FALSE(modem.WaitPrompt("L"));
    EXPECT_LT(cpuSeconds() - cpu0, 0.1);
}

// The link end to end: the Qt serial port on a pseudo-terminal served by romwright-sim.
#include "modem/modem_module.h"
#include "modem/programming_run.h"
#include "modem/test_env.h"
#include "support/sim_process.h"
#include "ui/qt_serial_port.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

using namespace std::chrono_literals;
namespace ui = rw::ui;
namespace fs = std::filesystem;
using rw::test::cpuSeconds;
using rw::test::SimProcess;

namespace {

int pattern(int i) {
    return (i * 7 + 3) & 0xFF;
}

class Pty : public ::testing::Test {
protected:
    Pty() { platform.port = std::make_unique<ui::QtSerialPort>(); }
    void startSim(std::vector<std::string> args) {
        args.insert(args.begin(), "--no-throttle");
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->ok()) << sim->error();
    }
    // Starts the simulator and opens its line without openModem; `prompt`: wait for "L>".
    void openDirect(std::vector<std::string> args = {}, bool prompt = true) {
        ASSERT_NO_FATAL_FAILURE(startSim(std::move(args)));
        platform.serialPort().setPortName(sim->device());
        platform.serialPort().setSettings(rw::modem::kLineSettings);
        ASSERT_EQ(platform.serialPort().open(), ui::OpenResult::Opened);
        if (prompt) {
            ASSERT_TRUE(modem.waitForPrompt("L"));
        }
    }
    // COM1 is the simulator (or `device`); COM2..COM6 lead nowhere.
    void comOne(const std::string& device) {
        env.emplace([device](int n) {
            return n == 1 ? device : "/dev/romwright-absent-" + std::to_string(n);
        });
    }
    template <class F> double wallSeconds(F&& f) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    void expectLastBox(const std::string& text, const std::string& title) {
        ASSERT_NE(platform.boxes.last(), nullptr);
        EXPECT_EQ(platform.boxes.last()->text, text);
        EXPECT_EQ(platform.boxes.last()->title, title);
    }

    std::unique_ptr<SimProcess> sim;
    std::optional<rw::test::ComEnvironment> env;
    ui::ScriptedPlatform platform{false}; // real clock, real sleeping
    bool stop = false;
    rw::modem::ModemModule modem{platform};
    rw::modem::MonitorCommands link{modem, platform, stop};
};

} // namespace

TEST_F(Pty, ReadsRegistersAndTheE2prom) {
    const fs::path image =
        fs::temp_directory_path() / ("romwright-pty-image-" + std::to_string(::getpid()));
    {
        std::ofstream out(image, std::ios::binary);
        for (int i = 0; i < 8192; ++i)
            out.put(static_cast<char>(pattern(i)));
    }
    openDirect({"--generation", "B", "--revision", "44", "--image", image.string()});
    fs::remove(image);
    EXPECT_EQ(link.read(0x8C73, 1)[0], 44);
    const auto block = link.read(0x9100, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(block[i], pattern(256 + i)) << i;
    const auto nine = link.read(0x9008, 9);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(nine[i], pattern(8 + i)) << i;
    const auto sixteen = link.read(0x9010, 16);
    EXPECT_EQ(sixteen[8], pattern(24));
    EXPECT_EQ(sixteen[15], pattern(31));
    EXPECT_FALSE(stop);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Pty, WritesReachTheE2promOnlyInTheWriteState) {
    openDirect({"--generation", "B"});
    link.write(0x9005, 0x12);
    EXPECT_EQ(link.read(0x9005, 1)[0], 0xFF); // acknowledged, not stored
    link.write(0x8D00, 0xB2);
    EXPECT_TRUE(modem.waitForPrompt("M"));
    link.write(0x9005, 0x12);
    link.write(0x9006, 0);
    const auto r = link.read(0x9005, 2);
    EXPECT_EQ(r[0], 0x12);
    EXPECT_EQ(r[1], 0x00);
    link.write(0x8D00, 0);
    EXPECT_TRUE(modem.waitForPrompt("L"));
    EXPECT_FALSE(stop);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Pty, ReadWithoutDataFails) {
    openDirect({"--no-data"});
    modem.readLimit = 1;
    link.read(0x9000, 8);
    ASSERT_NE(platform.boxes.last(), nullptr);
    EXPECT_EQ(platform.boxes.last()->text, "Could not communicate with local modem properly.");
    EXPECT_TRUE(stop);
    EXPECT_EQ(modem.lastFailedCommand(), "RD 9000,8");
}

TEST_F(Pty, OpenModemFindsThePresentModem) {
    startSim({});
    comOne(sim->device());
    const fs::path dir =
        fs::temp_directory_path() / ("romwright-pty-dir-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    rw::modem::OpenOutcome r = rw::modem::OpenOutcome::GiveUp;
    const double s = wallSeconds([&] { r = modem.openModem(1); });
    EXPECT_EQ(r, rw::modem::OpenOutcome::Ready);
    EXPECT_LT(s, 1.0); // one wake-up, answered at once
    EXPECT_TRUE(platform.serialPort().isOpen());
    EXPECT_EQ(modem.comPortForm().ComPort.items(), (std::vector<std::string>{"COM1"}));
    EXPECT_TRUE(platform.boxes.shown.empty());
    EXPECT_TRUE(modem.waitForPrompt("L")); // still open and talking
    modem.closePort();
    EXPECT_FALSE(platform.serialPort().isOpen());
    fs::remove_all(dir);
}

TEST_F(Pty, OpenModemOnASilentOrMissingPortAsks) {
    startSim({"--silent-after", "0"});
    comOne(sim->device());
    platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_EQ(modem.openModem(1), rw::modem::OpenOutcome::GiveUp);
    expectLastBox("Modem is unavailable on com  1. Would you like to try different com ?  ",
                  "Modem Unavailable");
    EXPECT_FALSE(platform.serialPort().isOpen());

    comOne("/dev/romwright-no-such-port");
    platform.boxes.answers = {ui::Answer::Retry};
    EXPECT_EQ(modem.openModem(1), rw::modem::OpenOutcome::Retry);
    expectLastBox("Com  1 is Invalid. Would you like to try different port ?  ",
                  "Port Unavailable");
    EXPECT_TRUE(modem.comPortForm().ComPort.items().empty());
}

TEST_F(Pty, OpenModemOnALockedPortAsks) {
    startSim({});
    comOne(sim->device());
    ui::QtSerialPort holder; // another user of the port
    holder.setPortName(sim->device());
    holder.setSettings(rw::modem::kLineSettings);
    ASSERT_EQ(holder.open(), ui::OpenResult::Opened);
    platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_EQ(modem.openModem(1), rw::modem::OpenOutcome::GiveUp);
    expectLastBox("Com  1 is Already Open. Would you like to try different port ?  ",
                  "Port Unavailable");
    // A busy port is still listed.
    EXPECT_EQ(modem.comPortForm().ComPort.items(), (std::vector<std::string>{"COM1"}));
    holder.close();
    platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_EQ(modem.openModem(1), rw::modem::OpenOutcome::Ready);
}

TEST_F(Pty, OpenModemDeviceUsesThePath) {
    startSim({});
    EXPECT_EQ(modem.openModemDevice(sim->device()), rw::modem::OpenOutcome::Ready);
    EXPECT_TRUE(platform.serialPort().isOpen());
    EXPECT_EQ(platform.serialPort().portName(), sim->device());
}

// ---- the Qt port itself ------------------------------------------------------------------

TEST(QtPort, MissingDeviceIsNoSuchPortAndANonTerminalOpensButCarriesNothing) {
    ui::QtSerialPort p;
    p.setSettings("9600,N,8,1");
    // A name too long for a lock file is no port either, not one in use.
    for (const std::string& name :
         {std::string("/dev/romwright-no-such-port"), "/dev/" + std::string(5000, 'a')}) {
        p.setPortName(name);
        EXPECT_EQ(p.open(), ui::OpenResult::NoSuchPort) << name.size();
        EXPECT_FALSE(p.isOpen());
    }
    // /dev/null opens but is no serial line: reported opened, yet unusable.
    p.setPortName("/dev/null");
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

TEST_F(Pty, TimedOutWaitsSleep) {
    // A line that never answers, and one whose modem went away.
    for (bool goneAway : {false, true}) {
        SCOPED_TRACE(goneAway ? "modem went away" : "silent line");
        openDirect(goneAway ? std::vector<std::string>{}
                            : std::vector<std::string>{"--silent-after", "0"},
                   goneAway);
        if (goneAway) sim->stop();
        const double cpu0 = cpuSeconds();
        bool got = true;
        const double s = wallSeconds([&] { got = modem.waitForPrompt("L"); });
        EXPECT_FALSE(got);
        EXPECT_GT(s, 3.0);
        EXPECT_LT(cpuSeconds() - cpu0, goneAway ? 0.3 : 0.1) << "the wait spun";
        platform.serialPort().close();
    }
}

// What only a real line shows: the Qt serial port on a pseudo-terminal served by
// romwright-sim, on the real clock. Opening fails for missing, silent and locked ports, and
// a timed-out wait sleeps instead of spinning. The exchanges themselves are the protocol
// tests'; whole runs over a pseudo-terminal are the CLI tests'.
#include "modem/modem_module.h"
#include "support/fake_port.h"
#include "support/platform_checks.h"
#include "support/sim_process.h"
#include "ui/qt_serial_port.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <optional>
#include <tuple>

using namespace std::chrono_literals;
namespace ui = rw::ui;
using rw::test::SimProcess;
using Names = std::vector<std::string>;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class Pty : public ::testing::Test {
protected:
    Pty() { platform.port = std::make_unique<ui::QtSerialPort>(); }
    void startSim(std::vector<std::string> args) {
        args.insert(args.begin(), "--no-throttle");
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->ok()) << sim->error();
    }
    // COM1 is the simulator (or `device`); COM2..COM6 lead nowhere.
    void comOne(const std::string& device) {
        env.emplace([device](int n) {
            return n == 1 ? device : "/dev/romwright-absent-" + std::to_string(n);
        });
    }
    void expectLastBox(const std::string& text, const std::string& title) {
        EXPECT_TRUE(rw::test::lastBoxIs(platform, text, title, ui::Buttons::RetryCancel,
                                        ui::Icon::Question));
    }

    std::unique_ptr<SimProcess> sim;
    std::optional<rw::test::ComEnvironment> env;
    ui::ScriptedPlatform platform{false}; // real clock, real sleeping
    rw::modem::ModemModule modem{platform};
};

} // namespace

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

TEST_F(Pty, OpenModemOnALockedPortAsksAndOpensOnceItIsFree) {
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
    EXPECT_EQ(modem.comPortForm().ComPort.items(), Names{"COM1"});
    holder.close();
    platform.boxes.shown.clear();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(modem.openModem(1), rw::modem::OpenOutcome::Ready);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s); // one wake-up, answered at once
    EXPECT_TRUE(platform.boxes.shown.empty());
    EXPECT_TRUE(modem.waitForPrompt("L")); // still open and talking
    modem.closePort();
    EXPECT_FALSE(platform.serialPort().isOpen());
}

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
    EXPECT_EQ(std::tuple(p.isOpen(), p.usable()), std::tuple(true, false));
    p.send("\x1B"); // quietly nothing
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(p.waitForData(300ms));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 290ms);
    EXPECT_LT(cpuSeconds() - cpu0, 0.1);
    EXPECT_EQ(p.takeReceived(), "");
}

TEST_F(Pty, TimedOutWaitsSleep) {
    for (bool goneAway : {false, true}) {
        SCOPED_TRACE(goneAway ? "modem went away" : "silent line");
        ASSERT_NO_FATAL_FAILURE(startSim(goneAway ? Names{} : Names{"--silent-after", "0"}));
        platform.serialPort().setPortName(sim->device());
        platform.serialPort().setSettings(rw::modem::kLineSettings);
        ASSERT_EQ(platform.serialPort().open(), ui::OpenResult::Opened);
        if (goneAway) {
            ASSERT_TRUE(modem.waitForPrompt("L"));
            sim->stop();
        }
        const double cpu0 = cpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(modem.waitForPrompt("L"));
        EXPECT_GT(std::chrono::steady_clock::now() - t0, 3s);
        EXPECT_LT(cpuSeconds() - cpu0, goneAway ? 0.3 : 0.1) << "the wait spun";
        platform.serialPort().close();
    }
}

// Costs of the link against romwright-sim, for bench/modem_link.sh. Runs only when
// ROMWRIGHT_BENCH is set (it takes about 20 seconds), and then fails when a wait spins or a
// block read takes much longer than its transfer.
#include "modem/modem_module.h"
#include "modem/test_env.h"
#include "support/sim_process.h"
#include "ui/qt_serial_port.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace ui = rw::ui;
using rw::test::SimProcess;

namespace {

struct Cost {
    double wall;
    double cpu;
};

template <class F> Cost measure(F&& f) {
    const double c0 = rw::test::cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
            rw::test::cpuSeconds() - c0};
}

struct Bench {
    explicit Bench(std::vector<std::string> args) : sim(args) {
        platform.port = std::make_unique<ui::QtSerialPort>();
        platform.boxes.defaultAnswer = [](const ui::RecordedBox&) { return ui::Answer::OK; };
    }
    bool open() {
        if (!sim.ok()) return false;
        platform.serialPort().setPortName(sim.device());
        platform.serialPort().setSettings(rw::modem::kLineSettings);
        return platform.serialPort().open() == ui::OpenResult::Opened;
    }
    SimProcess sim;
    ui::ScriptedPlatform platform{false};
    rw::modem::ModemModule modem{platform};
};

void report(const char* what, const Cost& c) {
    std::printf("BENCH %-34s wall %7.3f s  cpu %7.4f s  share %6.3f %%\n", what, c.wall, c.cpu,
                100.0 * c.cpu / c.wall);
}

} // namespace

TEST(LinkBenchmark, Measure) {
    if (!std::getenv("ROMWRIGHT_BENCH")) GTEST_SKIP() << "set ROMWRIGHT_BENCH=1 to measure";

    {
        Bench b({"--silent-after", "0"});
        ASSERT_TRUE(b.open()) << b.sim.error();
        const Cost wp = measure([&] { EXPECT_FALSE(b.modem.waitForPrompt("L")); });
        report("WaitPrompt, timed out", wp);
        const Cost rd = measure([&] { b.modem.readModem(0x9000, 256); });
        report("ReadModem(9000h, 256), timed out", rd);
        const Cost wr = measure([&] { EXPECT_FALSE(b.modem.writeModem(0x9000, 1)); });
        report("WriteModem, timed out", wr);
        EXPECT_LT(wp.cpu / wp.wall, 0.01);
        EXPECT_LT(rd.cpu / rd.wall, 0.01);
        EXPECT_LT(wr.cpu / wr.wall, 0.01);
    }
    {
        Bench b({}); // paced at 960 characters a second, like the real line
        ASSERT_TRUE(b.open()) << b.sim.error();
        ASSERT_TRUE(b.modem.waitForPrompt("L"));
        // Echo of the command, 32 rows of 33 characters, line end and prompt.
        const double chars = 11 + 2 + 32 * 33 + 2;
        const double transfer = chars / 960.0;
        double best = 1e9;
        bool allRead = true;
        for (int i = 0; i < 3; ++i) {
            const Cost c = measure([&] {
                allRead &= b.modem.readModem(static_cast<std::uint16_t>(0x9000 + 256 * i), 256).ok;
            });
            report("ReadModem(256), 9600 pacing", c);
            best = std::min(best, c.wall);
        }
        std::printf("BENCH dump transfer %.3f s (%.0f chars at 960/s); best read %.3f s\n",
                    transfer, chars, best);
        EXPECT_TRUE(allRead);
        // The read ends when its dump is complete: its transfer and little more.
        EXPECT_GE(best, transfer - 0.05);
        EXPECT_LT(best, transfer + 0.1);
        const Cost one = measure([&] { b.modem.readModem(0x8C73, 1); });
        report("ReadModem(8C73h, 1), 9600 pacing", one);
        const Cost w = measure([&] { EXPECT_TRUE(b.modem.writeModem(0x8000, 1)); });
        report("WriteModem, 9600 pacing", w);
    }
}

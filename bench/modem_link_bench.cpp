// Costs of the modem link against romwright-sim, for bench/modem_link.sh: the CPU share of
// timed-out exchanges (they must sleep, not spin) and the wall time of a 256-byte read at
// 9600-baud pacing beside its floor (the dump's transfer at 960 characters a second).
//
//   modem_link_bench SIM
//
// Prints one BENCH line per measurement; exits 1 when a wait spins or a block read takes
// much longer than its transfer. POSIX only; takes about 20 seconds.
#include "modem/modem_module.h"
#include "support/sim_process.h"
#include "ui/qt_serial_port.h"
#include "ui/scripted_platform.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace ui = rw::ui;

namespace {

bool allGood = true;

void check(bool ok, const char* what) {
    if (!ok) std::printf("BENCH FAILED: %s\n", what);
    allGood &= ok;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Cost {
    double wall;
    double cpu;
};

template <class F> Cost measure(const char* what, F&& f) {
    const double c0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    f();
    const Cost c{std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
                 cpuSeconds() - c0};
    std::printf("BENCH %-34s wall %7.3f s  cpu %7.4f s  share %6.3f %%\n", what, c.wall, c.cpu,
                100.0 * c.cpu / c.wall);
    return c;
}

struct Link {
    explicit Link(std::vector<std::string> args) : sim(args) {
        platform.port = std::make_unique<ui::QtSerialPort>();
        platform.boxes.defaultAnswer = [](const ui::RecordedBox&) { return ui::Answer::OK; };
    }
    bool open() {
        if (!sim.ok()) return false;
        platform.serialPort().setPortName(sim.device());
        platform.serialPort().setSettings(rw::modem::kLineSettings);
        return platform.serialPort().open() == ui::OpenResult::Opened;
    }
    rw::test::SimProcess sim;
    ui::ScriptedPlatform platform{false};
    rw::modem::ModemModule modem{platform};
};

} // namespace

int main() {
    {
        Link l({"--silent-after", "0"});
        if (!l.open()) return std::printf("BENCH FAILED: %s\n", l.sim.error().c_str()), 1;
        bool got = true;
        const Cost wp = measure("WaitPrompt, timed out", [&] { got = l.modem.waitForPrompt("L"); });
        check(!got, "a silent line gave a prompt");
        const Cost rd =
            measure("ReadModem(9000h, 256), timed out", [&] { l.modem.readModem(0x9000, 256); });
        const Cost wr =
            measure("WriteModem, timed out", [&] { got = l.modem.writeModem(0x9000, 1); });
        check(!got, "a silent line took a write");
        for (const Cost& c : {wp, rd, wr})
            check(c.cpu / c.wall < 0.01, "a timed-out wait spun");
    }
    {
        Link l({}); // paced at 960 characters a second, like the real line
        if (!l.open() || !l.modem.waitForPrompt("L"))
            return std::printf("BENCH FAILED: no paced modem\n"), 1;
        // Echo of the command, 32 rows of 33 characters, line end and prompt.
        const double chars = 11 + 2 + 32 * 33 + 2;
        const double transfer = chars / 960.0;
        double best = 1e9;
        for (int i = 0; i < 3; ++i) {
            const Cost c = measure("ReadModem(256), 9600 pacing", [&] {
                check(l.modem.readModem(static_cast<std::uint16_t>(0x9000 + 256 * i), 256).ok,
                      "a paced block read failed");
            });
            best = std::min(best, c.wall);
        }
        std::printf("BENCH dump transfer %.3f s (%.0f chars at 960/s); best read %.3f s\n",
                    transfer, chars, best);
        // The read ends when its dump is complete: its transfer and little more.
        check(best >= transfer - 0.05 && best < transfer + 0.1, "a block read missed its floor");
        measure("ReadModem(8C73h, 1), 9600 pacing", [&] { l.modem.readModem(0x8C73, 1); });
        measure("WriteModem, 9600 pacing",
                [&] { check(l.modem.writeModem(0x8000, 1), "a paced write failed"); });
    }
    std::printf(allGood ? "BENCH PASSED\n" : "BENCH FAILED\n");
    return allGood ? 0 : 1;
}

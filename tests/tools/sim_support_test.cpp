// Command line, output pacing and files of the simulator.
#include "sim/sim_files.h"
#include "sim/sim_options.h"
#include "sim/sim_pacer.h"

#include "support/cli_run.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>

using namespace rw::sim;
namespace fs = std::filesystem;

using rw::test::readText;
using rw::test::TempDir;

std::string describe(const SimOptions& o) {
    const ModemConfig& m = o.modem;
    std::ostringstream s;
    s << (m.generation == Generation::B ? "B" : "B+") << " rev " << m.revision << std::hex << " if "
      << int(m.interfaceByte) << " key " << int(m.modeKey) << (m.watchdogOn ? " watchdog" : "")
      << (m.echo ? "" : " no-echo") << (o.throttle ? "" : " unpaced")
      << (m.stuckWatchdog ? " stuck" : "") << (m.noData ? " no-data" : "")
      << (m.neverM ? " never-m" : "");
    if (m.silentAfter) s << " silent " << *m.silentAfter;
    for (const auto f : m.flipOffsets)
        s << " flip " << f;
    if (m.garble) s << " garble " << int(m.garble->kind) << "," << m.garble->dump;
    for (const auto& p : {o.imagePath, o.writeBackPath, o.tracePath, o.linkPath})
        s << (p.empty() ? "" : " ") << p;
    if (o.count != 1) s << std::dec << " count " << o.count << " on " << o.faultOn;
    return s.str();
}

TEST(SimOptions, WhatEachOptionSetsForEachModemOfABenchAndWhatIsRejected) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "B rev 44 if 10 key 5a"},
        {{"--generation", "B+"}, "B+ rev 49 if 14 key 5a"},
        {{"--revision", "50"}, "B+ rev 50 if 14 key 5a watchdog"},
        {{"--revision", "41"}, "B rev 41 if 10 key 5a"},
        {{"--revision=49"}, "B+ rev 49 if 14 key 5a"},
        // An explicit generation or watchdog wins, so odd pairings can be simulated too.
        {{"--revision", "50", "--generation", "B"}, "B rev 50 if 10 key 5a watchdog"},
        {{"--revision", "50", "--watchdog", "off"}, "B+ rev 50 if 14 key 5a"},
        {{"--watchdog=on"}, "B rev 44 if 10 key 5a watchdog"},
        {{"--interface", "7wire Phy"}, "B rev 44 if 3c key 5a"},
        {{"--interface", "rmii mac"}, "B rev 44 if 14 key 5a"},
        {{"--interface-byte", "2C"}, "B rev 44 if 2c key 5a"},
        {{"--silent-after", "3", "--no-data", "--flip", "10,1fff", "--never-m", "--garble=drop,3",
          "--stuck-watchdog", "--no-echo", "--no-throttle", "--m-key", "6E", "--image", "a.bin",
          "--write-back=b.bin", "--trace", "t.log", "--link", "/tmp/x"},
         "B rev 44 if 10 key 6e no-echo unpaced stuck no-data never-m silent 3 flip 10 flip 1fff "
         "garble 1,3 a.bin b.bin t.log /tmp/x"},
        {{"--count", "3", "--fault-on", "2"}, "B rev 44 if 10 key 5a count 3 on 2"}};
    for (const auto& [args, want] : cases) {
        const ParseResult r = parseOptions(args);
        ASSERT_TRUE(r.options) << r.error;
        EXPECT_EQ(describe(*r.options), want);
    }
    EXPECT_TRUE(parseOptions({"--help"}).options->help);
    // The faults go to the one modem of a bench they are meant for; its files are its own.
    const SimOptions o =
        *parseOptions({"--count", "3", "--fault-on", "2", "--flip", "10", "--silent-after", "3",
                       "--no-data", "--never-m", "--garble=drop,3", "--stuck-watchdog"})
             .options;
    for (const int k : {1, 2}) {
        SimOptions one = o;
        one.modem = modemConfig(o, k);
        EXPECT_EQ(describe(one), k == 2 ? describe(o) : "B rev 44 if 10 key 5a count 3 on 2");
    }
    EXPECT_EQ(pathFor("t/trace.txt", 2, 3) + " " + pathFor("trace.txt", 1, 1) + " " +
                  pathFor("t.d/trace", 2, 3),
              "t/trace-2.txt trace.txt t.d/trace-2");
    // Bad input is rejected with a reason.
    for (const std::string& line : rw::test::splitLines(
             "--bogus\n--generation C\n--revision 4x\n--revision 300\n--flip 2000\n"
             "--flip 10,\n--m-key 00\n--watchdog maybe\n--silent-after -1\n--image\n"
             "--no-echo=1\n--garble swap\n--garble drop,0\n--count 0\n"
             "--count 2 --fault-on 3\n--interface MII")) {
        const ParseResult r = parseOptions(rw::test::words(line));
        EXPECT_FALSE(r.options || r.error.empty()) << line;
    }
    EXPECT_NE(parseOptions({"--interface", "MII"}).error.find("MII"), std::string::npos);
}

TEST(SimPacer, KeepsTo960CharactersPerSecondWaitingOneCharacterTimeWithNoBurstUnlessUnpaced) {
    EXPECT_EQ(Pacer(0).allowance(Pacer::Clock::now(), 5000), 5000u);
    const auto t0 = Pacer::Clock::time_point{} + std::chrono::hours(1);
    Pacer w;
    EXPECT_EQ(w.allowance(t0, 10), 1u);
    w.sent(t0, 1);
    EXPECT_EQ(w.allowance(t0, 10), 0u);
    const auto wait = w.untilNext(t0);
    EXPECT_GT(wait, std::chrono::microseconds(1000));
    EXPECT_LT(wait, std::chrono::microseconds(1100));
    EXPECT_EQ(w.allowance(t0 + wait, 10), 1u);
    EXPECT_LE(w.allowance(t0 + std::chrono::seconds(5), 100000), 21u) << "an idle line";
    Pacer p;
    auto t = t0;
    std::size_t total = 0;
    // Uneven wake-ups, as poll() gives them.
    for (int i = 0; i < 1000; ++i) {
        const std::size_t n = p.allowance(t, 100000);
        p.sent(t, n);
        total += n;
        t += std::chrono::microseconds(i % 3 == 0 ? 2500 : 250);
    }
    // 1000 wake-ups span 1.0 s (334 * 2.5 ms + 666 * 0.25 ms).
    EXPECT_GE(total, 958u);
    EXPECT_LE(total, 962u);
}

// A short image is padded with FFh (the process test shows it); a longer one is refused. A save
// replaces the file whole and leaves no temporary; a trace appends across runs.
TEST(SimFiles, LoadRefusesLongOrMissingImagesSaveReplacesWholeTraceAppends) {
    TempDir dir;
    rw::test::writeText(dir.file("big.bin"), std::string(kE2Size + 1, 'x'));
    for (const char* bad : {"big.bin", "missing.bin"}) {
        std::string error;
        EXPECT_FALSE(loadImage(dir.file(bad), error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    TempDir saveDir;
    const fs::path target = saveDir / "e2.bin";
    rw::test::writeText(target.string(), "old");
    E2Image image;
    image.fill(0xFF);
    image[0] = 0x42;
    std::string error;
    ASSERT_TRUE(saveImageAtomically(target.string(), image, error)) << error;
    const std::string saved = readText(target.string());
    ASSERT_EQ(saved.size(), kE2Size);
    EXPECT_EQ(saved[0], '\x42');
    EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), {}), 1);
    EXPECT_FALSE(saveImageAtomically((dir / "no/such/dir.bin").string(), image, error));
    const std::string path = (dir / "trace.log").string();
    {
        TraceLog log;
        ASSERT_TRUE(log.open(path, error)) << error;
        log.append({"<ESC>", "RD 8C73,1"});
        EXPECT_EQ(readText(path), "<ESC>\nRD 8C73,1\n") << "written at once, not at close";
    }
    TraceLog log;
    ASSERT_TRUE(log.open(path, error)) << error;
    log.append({""});
    EXPECT_EQ(readText(path), "<ESC>\nRD 8C73,1\n\n");
}

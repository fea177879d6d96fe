// Command line, output pacing and files of the simulator.
#include "sim/sim_files.h"
#include "sim/sim_options.h"
#include "sim/sim_pacer.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace rw::sim;
namespace fs = std::filesystem;

namespace {

SimOptions parseOk(const std::vector<std::string>& args) {
    const ParseResult r = parseOptions(args);
    EXPECT_TRUE(r.options.has_value()) << r.error;
    return r.options.value_or(SimOptions{});
}

std::string parseError(const std::vector<std::string>& args) {
    const ParseResult r = parseOptions(args);
    EXPECT_FALSE(r.options.has_value());
    return r.error;
}

using rw::sim::test::TempDir;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

} // namespace

// --- Options -------------------------------------------------------------------------------------

TEST(SimOptions, DefaultsToAGenerationBUnit) {
    const SimOptions o = parseOk({});
    EXPECT_EQ(o.modem.generation, Generation::B);
    EXPECT_EQ(o.modem.revision, 44);
    EXPECT_EQ(o.modem.interfaceByte, 0x10);
    EXPECT_FALSE(o.modem.watchdogOn);
    EXPECT_TRUE(o.modem.echo);
    EXPECT_TRUE(o.throttle);
    EXPECT_FALSE(o.modem.silentAfter.has_value());
}

TEST(SimOptions, GenerationAndRevisionImplyEachOther) {
    const SimOptions bPlus = parseOk({"--generation", "B+"});
    EXPECT_EQ(bPlus.modem.revision, 49);
    EXPECT_EQ(bPlus.modem.interfaceByte, 0x14);

    const SimOptions rev50 = parseOk({"--revision", "50"});
    EXPECT_EQ(rev50.modem.generation, Generation::BPlus);
    EXPECT_TRUE(rev50.modem.watchdogOn);

    EXPECT_EQ(parseOk({"--revision", "41"}).modem.generation, Generation::B);
    EXPECT_EQ(parseOk({"--revision=49"}).modem.generation, Generation::BPlus);
    // An explicit generation wins, so odd pairings can be simulated too.
    EXPECT_EQ(parseOk({"--revision", "50", "--generation", "B"}).modem.generation, Generation::B);
    // So does an explicit watchdog over the revision's default.
    EXPECT_FALSE(parseOk({"--revision", "50", "--watchdog", "off"}).modem.watchdogOn);
    EXPECT_TRUE(parseOk({"--watchdog=on"}).modem.watchdogOn);
}

TEST(SimOptions, InterfaceByNameOrByte) {
    EXPECT_EQ(parseOk({"--interface", "7wire Phy"}).modem.interfaceByte, 0x3C);
    EXPECT_EQ(parseOk({"--interface", "rmii mac"}).modem.interfaceByte, 0x14);
    EXPECT_EQ(parseOk({"--interface-byte", "2C"}).modem.interfaceByte, 0x2C);
    EXPECT_NE(parseError({"--interface", "MII"}).find("MII"), std::string::npos);
}

TEST(SimOptions, FaultsFlagsAndPaths) {
    const SimOptions o = parseOk({"--silent-after", "3", "--no-data", "--flip", "10,1fff",
                                  "--never-m", "--garble=drop,3", "--stuck-watchdog", "--no-echo",
                                  "--no-throttle", "--m-key", "6E", "--image", "a.bin",
                                  "--write-back=b.bin", "--trace", "t.log", "--link", "/tmp/x"});
    EXPECT_EQ(o.modem.silentAfter, 3u);
    EXPECT_TRUE(o.modem.noData && o.modem.neverM && o.modem.stuckWatchdog);
    EXPECT_EQ(o.modem.flipOffsets, (std::set<std::uint16_t>{0x10, 0x1FFF}));
    ASSERT_TRUE(o.modem.garble);
    EXPECT_EQ(o.modem.garble->kind, GarbleKind::Drop);
    EXPECT_EQ(o.modem.garble->dump, 3u);
    EXPECT_FALSE(o.modem.echo || o.throttle);
    EXPECT_EQ(o.modem.modeKey, 0x6E);
    EXPECT_EQ(o.imagePath + " " + o.writeBackPath + " " + o.tracePath + " " + o.linkPath,
              "a.bin b.bin t.log /tmp/x");
}

TEST(SimOptions, BadInputIsRejectedWithAReason) {
    const std::vector<std::vector<std::string>> bad{{"--bogus"},
                                                    {"--generation", "C"},
                                                    {"--revision", "4x"},
                                                    {"--revision", "300"},
                                                    {"--flip", "2000"},
                                                    {"--flip", "10,"},
                                                    {"--m-key", "00"},
                                                    {"--watchdog", "maybe"},
                                                    {"--silent-after", "-1"},
                                                    {"--image"},
                                                    {"--no-echo=1"},
                                                    {"--garble", "swap"},
                                                    {"--garble", "drop,0"},
                                                    {"--count", "0"},
                                                    {"--count", "2", "--fault-on", "3"}};
    for (const auto& args : bad)
        EXPECT_FALSE(parseError(args).empty()) << args.front() << " " << args.back();
    EXPECT_TRUE(parseOk({"--help"}).help);
    EXPECT_NE(usageText().find("--silent-after"), std::string::npos);
}

TEST(SimInterfaceNames, TypeAndVariantBits) {
    const std::pair<const char*, int> byName[] = {{"Utopia Master", 0x00},  {"Utopia Phy", 0x08},
                                                  {"MII MAC", 0x10},        {"7wire MAC", 0x1C},
                                                  {"T1/E1 repeater", 0x28}, {"RMII Phy", 0x34}};
    for (const auto& [name, b] : byName)
        EXPECT_EQ(interfaceByteForName(name), b) << name;
    // Types with a single name ignore the variant bit; only bits 5..2 count.
    const std::pair<int, const char*> byByte[] = {{0x18, "Unknown"},
                                                  {0x3C | 0xC3, "7wire Phy"},
                                                  {0x04, "Utopia Master"},
                                                  {0x0C, "Utopia Phy"},
                                                  {0x24, "TC"},
                                                  {0x2C, "T1/E1 repeater"}};
    for (const auto& [b, name] : byByte)
        EXPECT_EQ(interfaceName(static_cast<std::uint8_t>(b)), name) << b;
    for (std::uint8_t b : {0x00, 0x08, 0x10, 0x14, 0x18, 0x1C, 0x20, 0x28, 0x30, 0x34, 0x38, 0x3C})
        EXPECT_EQ(interfaceByteForName(interfaceName(b)), b) << int(b);
}

// --- Pacing --------------------------------------------------------------------------------------

TEST(SimPacer, KeepsTo960CharactersPerSecond) {
    Pacer p;
    auto t = Pacer::Clock::time_point{} + std::chrono::hours(1);
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

TEST(SimPacer, IdleLineDoesNotSaveUpABurstUnlessUnpaced) {
    EXPECT_EQ(Pacer(0).allowance(Pacer::Clock::now(), 5000), 5000u);
    Pacer p;
    auto t = Pacer::Clock::time_point{} + std::chrono::hours(1);
    p.sent(t, p.allowance(t, 1));
    t += std::chrono::seconds(5);
    EXPECT_LE(p.allowance(t, 100000), 21u);
}

TEST(SimPacer, WaitsOneCharacterTimeAfterSending) {
    Pacer p;
    auto t = Pacer::Clock::time_point{} + std::chrono::hours(1);
    EXPECT_EQ(p.allowance(t, 10), 1u);
    p.sent(t, 1);
    EXPECT_EQ(p.allowance(t, 10), 0u);
    const auto wait = p.untilNext(t);
    EXPECT_GT(wait, std::chrono::microseconds(1000));
    EXPECT_LT(wait, std::chrono::microseconds(1100));
    EXPECT_EQ(p.allowance(t + wait, 10), 1u);
}

// --- Files ---------------------------------------------------------------------------------------

TEST(SimFiles, LoadPadsShortImagesWithFFAndRefusesLongOrMissingOnes) {
    TempDir dir;
    std::string full(kE2Size, '\x5A');
    full.back() = '\x11';
    writeFile(dir / "short.bin", std::string("\x01\x02\x03", 3));
    writeFile(dir / "full.bin", full);
    writeFile(dir / "big.bin", full + "x");
    std::string error;
    const auto shortImage = loadImage((dir / "short.bin").string(), error);
    ASSERT_TRUE(shortImage) << error;
    EXPECT_EQ((*shortImage)[0], 0x01);
    EXPECT_EQ((*shortImage)[2], 0x03);
    EXPECT_EQ((*shortImage)[3], 0xFF);
    EXPECT_EQ((*shortImage)[kE2Size - 1], 0xFF);
    const auto image = loadImage((dir / "full.bin").string(), error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ((*image)[kE2Size - 1], 0x11);
    for (const char* bad : {"big.bin", "missing.bin"}) {
        error.clear();
        EXPECT_FALSE(loadImage((dir / bad).string(), error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(SimFiles, SaveReplacesTheFileWholeAndLeavesNoTemporary) {
    TempDir dir;
    const fs::path target = dir / "e2.bin";
    writeFile(target, "old");
    E2Image image;
    image.fill(0xFF);
    image[0] = 0x42;
    std::string error;
    ASSERT_TRUE(saveImageAtomically(target.string(), image, error)) << error;
    const std::string saved = readFile(target);
    ASSERT_EQ(saved.size(), kE2Size);
    EXPECT_EQ(saved[0], '\x42');
    EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), {}), 1);
    EXPECT_FALSE(saveImageAtomically((dir / "no/such/dir.bin").string(), image, error));
}

TEST(SimFiles, TraceAppendsAcrossRuns) {
    TempDir dir;
    const std::string path = (dir / "trace.log").string();
    std::string error;
    {
        TraceLog log;
        ASSERT_TRUE(log.open(path, error)) << error;
        log.append({"<ESC>", "RD 8C73,1"});
        EXPECT_EQ(readFile(path), "<ESC>\nRD 8C73,1\n") << "written at once, not at close";
    }
    TraceLog log;
    ASSERT_TRUE(log.open(path, error)) << error;
    log.append({""});
    EXPECT_EQ(readFile(path), "<ESC>\nRD 8C73,1\n\n");
}

// The programming run end to end: the Qt serial port on a pseudo-terminal served by
// romwright-sim, a scripted platform on the real clock, and a small configuration window
// whose overrides the test chooses.
#include "image/sample_image.h"
#include "modem/backup.h"
#include "modem/programming_run.h"
#include "support/sim_process.h"
#include "ui/qt_serial_port.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
namespace ui = rw::ui;
namespace image = rw::image;
using namespace rw::modem;
using rw::test::SimProcess;

namespace {

// ---- a configuration window whose overrides the test sets ----------------------------------

class FakeForm : public rw::config::ConfigForm {
public:
    FakeForm(rw::config::FormContext& ctx, int mode)
        : ConfigForm(ctx, variantOf(mode), "FakeForm", "Fake"), mode_(mode) {}

    std::map<int, std::uint8_t> overrides; // position (offset + 1) -> byte
    std::array<std::uint8_t, 5> phy{};
    std::string storeProblem;
    int sends = 0;

    void SendDigToModem() override {
        ++sends;
        auto& cm = context().cm;
        cm.ClearOverrides();
        for (const auto& [pos, v] : overrides)
            cm.OverrideTable[static_cast<std::size_t>(pos)] = v;
        if (mode_ == 3) cm.PhyBytes = phy;
    }
    void SendDigToFile(image::Image&) override {}
    bool LoadFromPatch() override { return true; }
    void FieldsToBytes() override {}
    void SetDefaults() override {}
    bool CheckInputs() override { return true; }
    std::string StoreProblem() override { return storeProblem; }
    bool Done() override { return true; }
    void SetExpertLayout(bool) override {}
    void ShowWatchdogLabels(bool) override {}
    std::vector<std::string> boundFieldNames() const override { return {}; }

private:
    static rw::config::Variant variantOf(int mode) {
        using rw::config::Variant;
        return mode == 1   ? Variant::MII_B
               : mode == 2 ? Variant::ATM_B
               : mode == 3 ? Variant::MII_BP
                           : Variant::ATM_BP;
    }
    int mode_;
};

// ---- files -----------------------------------------------------------------------------------

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> readLines(const fs::path& p) {
    std::vector<std::string> lines;
    std::ifstream in(p, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void writeImage(const fs::path& p, const image::Image& img, std::size_t size = image::kImageSize) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(size));
}

std::optional<image::Image> readImage(const fs::path& p) {
    const std::string s = readText(p);
    if (s.size() != image::kImageSize) return std::nullopt;
    image::Image img{};
    std::copy(s.begin(), s.end(), img.begin());
    return img;
}

image::Image randomImage(unsigned seed) {
    std::mt19937 gen(seed);
    image::Image img{};
    for (auto& b : img)
        b = static_cast<std::uint8_t>(gen() & 0xFF);
    return img;
}

// `count` distinct offsets in 1..8191 changed, spread by the seed.
image::Image changed(image::Image img, int count, unsigned seed, std::set<int>* where = nullptr) {
    std::mt19937 gen(seed);
    std::set<int> picked;
    while (static_cast<int>(picked.size()) < count)
        picked.insert(1 + static_cast<int>(gen() % (image::kImageSize - 1)));
    for (int k : picked)
        img[static_cast<std::size_t>(k)] ^= static_cast<std::uint8_t>(1 + gen() % 255);
    if (where) *where = picked;
    return img;
}

std::string hex(unsigned v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", width, v);
    return buf;
}

// ---- the trace -------------------------------------------------------------------------------

struct TraceWrite {
    unsigned address;
    unsigned value;
};

std::vector<TraceWrite> writesIn(const std::vector<std::string>& trace) {
    std::vector<TraceWrite> out;
    for (const auto& line : trace) {
        unsigned a = 0, v = 0;
        if (std::sscanf(line.c_str(), "WR %X %X", &a, &v) == 2) out.push_back({a, v});
    }
    return out;
}

// E2PROM offsets (1..8191) written, in order.
std::vector<int> e2Writes(const std::vector<std::string>& trace, unsigned base) {
    std::vector<int> out;
    for (const auto& w : writesIn(trace))
        if (w.address > base && w.address < base + image::kImageSize)
            out.push_back(static_cast<int>(w.address - base));
    return out;
}

long countLine(const std::vector<std::string>& trace, const std::string& line) {
    return std::count(trace.begin(), trace.end(), line);
}

bool anyWrite(const std::vector<std::string>& trace) {
    return std::any_of(trace.begin(), trace.end(),
                       [](const std::string& l) { return l.rfind("WR", 0) == 0; });
}

// ---- the rig ---------------------------------------------------------------------------------

std::vector<std::string> productArgs(int mode) {
    switch (mode) {
    case 1:
        return {"--generation", "B", "--revision", "44", "--interface", "MII MAC"};
    case 2:
        return {"--generation", "B", "--revision", "41", "--interface", "Utopia Phy"};
    case 3:
        return {"--generation", "B+", "--revision", "49", "--interface", "RMII MAC"};
    default:
        return {"--generation", "B+", "--revision", "49", "--interface", "Utopia Master"};
    }
}

class ProgrammingRunSim : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "romwright-run-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        backupDir = dir / "backups";
    }
    void TearDown() override {
        sim.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Starts the simulator with the modem's image and the product's chip; `extra` comes
    // last, so it may change the chip.
    void startSim(int m, const image::Image& modemImage, std::vector<std::string> extra = {},
                  bool throttle = false) {
        mode = m;
        // What refers to the platform goes before the platform.
        modem.reset();
        window.reset();
        form.reset();
        ctx.reset();
        sim.reset();
        platform.reset();
        writeImage(dir / "modem.bin", modemImage);
        std::vector<std::string> args;
        if (!throttle) args.push_back("--no-throttle");
        for (auto& a : productArgs(m))
            args.push_back(a);
        for (auto& a : std::vector<std::string>{"--image", (dir / "modem.bin").string(), "--trace",
                                                (dir / "trace.txt").string(), "--write-back",
                                                (dir / "after.bin").string()})
            args.push_back(a);
        for (auto& a : extra)
            args.push_back(a);
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->ok()) << sim->error();

        platform = std::make_unique<ui::ScriptedPlatform>(false);
        platform->port = std::make_unique<ui::QtSerialPort>();
        run.CurrentMode = m;
        run.WatchdogEnabled = true;
        run.PathOfFile = (dir / "patch.bin").string();
        ctx = std::make_unique<rw::config::FormContext>(
            rw::config::FormContext{run, cm, *platform, nullptr});
        form = std::make_unique<FakeForm>(*ctx, m);
        modem = std::make_unique<ModemModule>(*platform, run);
        if (!throttle) {
            // The simulator answers at once: keep the waits short so failures cost little.
            modem->ReadingTimer().setInterval(20);
            modem->waitPromptLimit = 1;
            modem->readLimit = 1;
            modem->writeLimit = 1;
        }
        Abort.setVisible(false);
        Bar.stateChanged.connect([this] { maxProgress = std::max(maxProgress, Bar.value()); });
        Status.stateChanged.connect([this] {
            if (statuses.empty() || statuses.back() != Status.caption())
                statuses.push_back(Status.caption());
        });
    }

    void setPatch(const image::Image& img, std::size_t size = image::kImageSize) {
        writeImage(dir / "patch.bin", img, size);
    }

    RunReport go(RunOptions options = {}) {
        if (options.device.empty() && useDevice) options.device = sim->device();
        if (options.backupDir.empty()) options.backupDir = backupDir.string();
        RunControls controls{Dump,
                             Abort,
                             Status,
                             Bar,
                             [this] {
                                 Bar.setVisible(true);
                                 Status.setVisible(true);
                                 Status.setCaption("Connecting");
                                 platform->events().processEvents();
                             },
                             [this] {
                                 Bar.setVisible(false);
                                 Bar.setValue(0);
                                 Status.setVisible(false);
                             },
                             PortOpened,
                             PortSelected};
        ProgrammingRun pr(*platform, run, cm, *modem, window ? *window : *form, controls);
        return pr.run(options);
    }

    // Ends the simulator so its files are complete.
    void finish() { sim->stop(); }
    std::vector<std::string> trace() { return readLines(dir / "trace.txt"); }
    std::optional<image::Image> after() { return readImage(dir / "after.bin"); }
    const std::vector<ui::RecordedBox>& boxes() { return platform->boxes.shown; }

    void expectFinalError() {
        ASSERT_FALSE(boxes().empty());
        EXPECT_EQ(boxes().back().text, "An error occurred while programming the E2.");
        EXPECT_EQ(boxes().back().title, "Progrming Error");
        EXPECT_EQ(boxes().back().icon, ui::Icon::Critical);
        EXPECT_EQ(boxes().back().buttons, ui::Buttons::OK);
    }
    void expectCompleted() {
        ASSERT_FALSE(boxes().empty());
        EXPECT_EQ(boxes().back().text, "Programming completed.");
        EXPECT_EQ(boxes().back().title, "Programming completed");
        EXPECT_EQ(boxes().back().icon, ui::Icon::Information);
    }
    // The state every run leaves behind, whatever its outcome.
    void expectReleased() {
        EXPECT_TRUE(Dump.enabled());
        EXPECT_FALSE(PortOpened);
        EXPECT_FALSE(platform->serialPort().isOpen());
        EXPECT_FALSE(Bar.visible());
        EXPECT_EQ(Bar.value(), 0);
    }

    // What the modem must hold at each offset for the product, as the run decides it.
    image::Image decided(const image::Image& file) {
        image::Image d{};
        for (int k = 0; k < image::kImageSize; ++k) {
            std::uint8_t f = image::wantedByte(cm, file, k);
            if (k == image::kWatchdogOffset && (mode == 3 || mode == 4) && !(f & 4) &&
                !run.WatchdogEnabled)
                f |= 4;
            if (mode == 3 && k >= 612 && k <= 616)
                f = cm.PhyBytes[static_cast<std::size_t>(k - 612)];
            d[static_cast<std::size_t>(k)] = f;
        }
        return d;
    }

    fs::path dir;
    fs::path backupDir;
    int mode = 1;
    bool useDevice = true;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<ui::ScriptedPlatform> platform;
    rw::app::RunState run;
    image::ConfigModule cm;
    std::unique_ptr<rw::config::FormContext> ctx;
    std::unique_ptr<FakeForm> form;
    std::unique_ptr<rw::config::ConfigForm> window; // the product's real window, when set
    std::unique_ptr<ModemModule> modem;
    ui::Form main{"MainForm", "Romwright"};
    ui::Button& Dump = main.add<ui::Button>("Dump");
    ui::Button& Abort = main.add<ui::Button>("Abort");
    ui::Label& Status = main.add<ui::Label>("Status");
    ui::ProgressBar& Bar = main.add<ui::ProgressBar>("ProgressBar");
    bool PortOpened = false;
    bool PortSelected = false;
    int maxProgress = 0;
    std::vector<std::string> statuses;
};

} // namespace

// ---- complete runs ---------------------------------------------------------------------------

TEST_F(ProgrammingRunSim, DifferingImageIsProgrammedAndVerified) {
    const image::Image modemImage = randomImage(1);
    image::Image file = changed(modemImage, 300, 2);
    file[0] = 0x12;
    startSim(1, modemImage);
    // An override of the window that differs from the file reaches the modem.
    form->overrides[5] = static_cast<std::uint8_t>(file[4] ^ 0xA5);
    // An old backup beyond the number to keep goes; other files stay.
    fs::create_directories(backupDir);
    std::ofstream(backupDir / "E2MB_backup_20000101-000000.bin") << "old";
    std::ofstream(backupDir / "E2MB_backup_20000102-000000.bin") << "old";
    std::ofstream(backupDir / "notes.txt") << "keep";
    setPatch(file);

    RunOptions options;
    options.keepBackups = 2;
    const RunReport report = go(options);
    finish();

    ASSERT_TRUE(report.completed) << report.failure;
    EXPECT_EQ(form->sends, 1);
    expectCompleted();
    EXPECT_EQ(boxes().size(), 1u);
    expectReleased();
    EXPECT_FALSE(Abort.visible());
    EXPECT_EQ(maxProgress, 100);
    EXPECT_EQ(statuses,
              (std::vector<std::string>{"Connecting", "Reading", "Writing", "Checking", ""}));

    image::Image want = decided(file);
    std::set<int> differing;
    for (int k = 1; k < image::kImageSize; ++k)
        if (want[static_cast<std::size_t>(k)] != modemImage[static_cast<std::size_t>(k)])
            differing.insert(k);
    EXPECT_EQ(differing.count(4), 1u);
    want[0] = 0x55;
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_TRUE(*result == want);

    // Only the differing bytes went out, each once, in ascending order.
    const auto t = trace();
    const auto written = e2Writes(t, 0x9000);
    EXPECT_EQ(std::set<int>(written.begin(), written.end()), differing);
    EXPECT_EQ(written.size(), differing.size());
    EXPECT_TRUE(std::is_sorted(written.begin(), written.end()));
    EXPECT_EQ(report.bytesWritten, static_cast<int>(differing.size()));
    EXPECT_EQ(countLine(t, "WR 9000 0"), 1);
    EXPECT_EQ(countLine(t, "WR 9000 55"), 1);

    // The backup is the E2PROM as read: the modem's image with offset 0 already cleared.
    ASSERT_FALSE(report.backupPath.empty());
    EXPECT_EQ(fs::path(report.backupPath).parent_path(), backupDir);
    EXPECT_TRUE(isBackupFileName(fs::path(report.backupPath).filename().string()));
    EXPECT_EQ(fs::path(report.backupPath).filename().string().rfind("E2MB_backup_", 0), 0u);
    image::Image asRead = modemImage;
    asRead[0] = 0x00;
    const auto backup = readImage(report.backupPath);
    ASSERT_TRUE(backup);
    EXPECT_TRUE(*backup == asRead);
    EXPECT_TRUE(report.modemImage == asRead);
    EXPECT_NE(boxes().back().detail.find(report.backupPath), std::string::npos);
    EXPECT_EQ(std::set<std::string>({fs::path(report.backupPath).filename().string(),
                                     "E2MB_backup_20000102-000000.bin", "notes.txt"}),
              [&] {
                  std::set<std::string> s;
                  for (auto& e : fs::directory_iterator(backupDir))
                      s.insert(e.path().filename().string());
                  return s;
              }());
}

TEST_F(ProgrammingRunSim, IdenticalImageWritesOnlyTheMark) {
    image::Image modemImage = randomImage(3);
    modemImage[0] = 0x55;
    startSim(2, modemImage);
    setPatch(modemImage); // offset 0 of the file is 55h: block 0 differs from the cleared mark

    const RunReport report = go();
    finish();

    ASSERT_TRUE(report.completed) << report.failure;
    expectCompleted();
    EXPECT_EQ(maxProgress, 100);
    EXPECT_EQ(report.bytesWritten, 0);
    const auto t = trace();
    std::vector<std::string> writes;
    for (const auto& l : t)
        if (l.rfind("WR", 0) == 0) writes.push_back(l);
    EXPECT_EQ(writes,
              (std::vector<std::string>{"WR 8D00 B2", "WR 9000 0", "WR 8D00 0", // invalidate
                                        "WR 8D00 B2", "WR 8D00 0",              // write phase
                                        "WR 8D00 B2", "WR 9000 55", "WR 8D00 0"}));
    // Block 0 is read twice (read and check), every other block once.
    EXPECT_EQ(countLine(t, "RD 9000,100"), 2);
    EXPECT_EQ(countLine(t, "RD 9100,100"), 1);
    EXPECT_EQ(countLine(t, "RD 9F00,100"), 1);
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_TRUE(*result == modemImage);
}

TEST_F(ProgrammingRunSim, ShortPatchFileReadsFFBeyondItsEnd) {
    image::Image modemImage{};
    modemImage.fill(0xFF);
    modemImage[200] = 0x00;
    modemImage[5000] = 0x12;
    image::Image file = randomImage(4);
    startSim(1, modemImage);
    setPatch(file, 100);

    const RunReport report = go();
    finish();

    ASSERT_TRUE(report.completed) << report.failure;
    image::Image want{};
    want.fill(0xFF);
    std::copy(file.begin(), file.begin() + 100, want.begin());
    want[0] = 0x55;
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_TRUE(*result == want);
}

TEST_F(ProgrammingRunSim, RealWindowLoadedFromTheFileChangesNothing) {
    for (int m : {2, 3}) {
        SCOPED_TRACE(m);
        const image::Image sample = image::makeSampleImage(m);
        startSim(m, sample);
        setPatch(sample);
        image::fillPatchBytes(cm, sample, m);
        window = rw::config::ConfigForm::create(m, *ctx);
        ASSERT_TRUE(window);
        ASSERT_TRUE(window->LoadFromPatch());
        const RunReport report = go();
        finish();
        ASSERT_TRUE(report.completed) << report.failure;
        EXPECT_EQ(report.bytesWritten, 0);
        const auto result = after();
        ASSERT_TRUE(result);
        EXPECT_TRUE(*result == sample);
        window.reset();
        platform->boxes.shown.clear();
    }
}

// ---- the modem checks ------------------------------------------------------------------------

TEST_F(ProgrammingRunSim, MiiProductRejectsATcModem) {
    startSim(1, randomImage(5), {"--interface", "TC"});
    setPatch(randomImage(6));
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    EXPECT_TRUE(report.started);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "The modem you have selected (TC) does not match this "
                               "application.Please switch modem or exit and change to ATM mode.");
    EXPECT_EQ(boxes()[0].title, "Modem interface type mismatch");
    EXPECT_EQ(boxes()[0].icon, ui::Icon::Critical);
    EXPECT_EQ(boxes()[0].buttons, ui::Buttons::OK);
    expectReleased();
    EXPECT_FALSE(anyWrite(trace()));
    EXPECT_FALSE(fs::exists(dir / "after.bin"));
    EXPECT_EQ(form->sends, 0);
}

TEST_F(ProgrammingRunSim, UtopiaProductRejectsAnMiiModem) {
    startSim(4, randomImage(5), {"--interface", "MII MAC"});
    setPatch(randomImage(6));
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "The modem you have selected does not match this "
                               "application.Please switch modem or exit and change to MII mode.");
    EXPECT_EQ(boxes()[0].title, "Modem interface type mismatch");
    EXPECT_EQ(boxes()[0].icon, ui::Icon::Critical);
    expectReleased();
    EXPECT_FALSE(anyWrite(trace()));
}

TEST_F(ProgrammingRunSim, UtopiaProductAcceptsARepeater) {
    const image::Image modemImage = randomImage(7);
    startSim(2, modemImage, {"--interface", "T1/E1 repeater"});
    RunOptions options;
    options.readOnly = true;
    const RunReport report = go(options);
    finish();
    EXPECT_TRUE(report.completed) << report.failure;
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ProgrammingRunSim, WrongGenerationIsRejected) {
    startSim(3, randomImage(8), {"--generation", "B", "--revision", "41"});
    setPatch(randomImage(9));
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "The modem you have selected does not match this application.");
    EXPECT_EQ(boxes()[0].title, "Modem type mismatch");
    EXPECT_EQ(boxes()[0].icon, ui::Icon::Critical);
    expectReleased();
    EXPECT_FALSE(anyWrite(trace()));
}

TEST_F(ProgrammingRunSim, Revision50TurnsTheWatchdogOffFirst) {
    const image::Image modemImage = randomImage(10);
    const image::Image file = changed(modemImage, 20, 11);
    startSim(4, modemImage, {"--revision", "50"});
    setPatch(file);
    const RunReport report = go();
    finish();

    ASSERT_TRUE(report.completed) << report.failure;
    const auto t = trace();
    const auto unlock = std::find(t.begin(), t.end(), "WR 8D39 C3");
    ASSERT_NE(unlock, t.end());
    ASSERT_NE(unlock + 1, t.end());
    EXPECT_EQ(*(unlock + 1), "WR 8C01 48");
    // Both before the E2PROM is touched.
    EXPECT_LT(unlock - t.begin(), std::find(t.begin(), t.end(), "WR C000 0") - t.begin());
}

TEST_F(ProgrammingRunSim, Revision49HasNoWatchdogStep) {
    const image::Image modemImage = randomImage(10);
    startSim(4, modemImage, {"--revision", "49"});
    setPatch(modemImage);
    const RunReport report = go();
    finish();
    ASSERT_TRUE(report.completed) << report.failure;
    for (const auto& l : trace())
        EXPECT_EQ(l.find("8C01"), std::string::npos) << l;
}

TEST_F(ProgrammingRunSim, StuckWatchdogEndsTheRunUntouched) {
    startSim(3, randomImage(12), {"--revision", "50", "--stuck-watchdog"});
    setPatch(randomImage(13));
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Program could not turn off the watch dog.");
    EXPECT_EQ(boxes()[0].title, "Watch dog error");
    EXPECT_EQ(boxes()[0].icon, ui::Icon::Critical);
    expectReleased();
    EXPECT_TRUE(e2Writes(trace(), 0xC000).empty());
    EXPECT_EQ(countLine(trace(), "WR C000 0"), 0);
    EXPECT_FALSE(fs::exists(dir / "after.bin"));
}

// ---- the rules for 597 and 612..616, verified --------------------------------------------------

TEST_F(ProgrammingRunSim, WatchdogBitIsWrittenAndVerified) {
    image::Image modemImage = randomImage(14);
    modemImage[597] = 0x10;
    image::Image file = modemImage;
    file[597] = 0x10; // the only difference in block 2 is the rule's
    file[3000] ^= 0xFF;
    startSim(4, modemImage);
    run.WatchdogEnabled = false;
    setPatch(file);
    const RunReport report = go();
    finish();

    ASSERT_TRUE(report.completed) << report.failure;
    const auto t = trace();
    EXPECT_EQ(countLine(t, "WR C255 14"), 1);
    EXPECT_EQ(countLine(t, "RD C200,100"), 2); // block 2 is reread
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[597], 0x14);
}

TEST_F(ProgrammingRunSim, WatchdogBitThatDoesNotStoreFails) {
    image::Image modemImage = randomImage(15);
    modemImage[597] = 0x10;
    image::Image file = modemImage;
    startSim(3, modemImage, {"--flip", "255"});
    run.WatchdogEnabled = false;
    form->phy = {modemImage[612], modemImage[613], modemImage[614], modemImage[615],
                 modemImage[616]};
    setPatch(file);
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    expectFinalError();
    ASSERT_EQ(report.mismatches.size(), 1u);
    EXPECT_EQ(report.mismatches[0].offset, 597);
    EXPECT_EQ(report.mismatches[0].wanted, 0x14);
    EXPECT_EQ(report.mismatches[0].found, 0x15);
    EXPECT_EQ(boxes().back().detail.substr(0, 26), "0255: wanted 14, found 15\n");
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[0], 0x00);
}

TEST_F(ProgrammingRunSim, PhyBytesComeFromTheWindowAndAreVerified) {
    image::Image modemImage = randomImage(16);
    const std::array<std::uint8_t, 5> phy{0x11, 0x22, 0x33, 0x44, 0x55};
    modemImage[612] = 0x11; // already what the window wants
    for (int k = 613; k <= 616; ++k)
        modemImage[static_cast<std::size_t>(k)] = 0x00;
    image::Image file = modemImage;
    for (int k = 612; k <= 616; ++k)
        file[static_cast<std::size_t>(k)] = 0xA0;
    startSim(3, modemImage);
    form->phy = phy;
    setPatch(file);
    const RunReport report = go();
    finish();

    ASSERT_TRUE(report.completed) << report.failure;
    const auto t = trace();
    EXPECT_EQ(e2Writes(t, 0xC000), (std::vector<int>{613, 614, 615, 616}));
    EXPECT_EQ(countLine(t, "RD C200,100"), 2);
    const auto result = after();
    ASSERT_TRUE(result);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ((*result)[static_cast<std::size_t>(612 + i)], phy[static_cast<std::size_t>(i)]);
}

TEST_F(ProgrammingRunSim, PhyByteThatDoesNotStoreFails) {
    image::Image modemImage = randomImage(17);
    modemImage[613] = 0x00;
    startSim(3, modemImage, {"--flip", "265"});
    form->phy = {modemImage[612], 0x22, modemImage[614], modemImage[615], modemImage[616]};
    setPatch(modemImage);
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    expectFinalError();
    ASSERT_EQ(report.mismatches.size(), 1u);
    EXPECT_EQ(report.mismatches[0].offset, 613);
    EXPECT_EQ(report.mismatches[0].wanted, 0x22);
    EXPECT_EQ(report.mismatches[0].found, 0x23);
    EXPECT_NE(boxes().back().detail.find("0265: wanted 22, found 23"), std::string::npos);
}

// ---- failures during the run -------------------------------------------------------------------

TEST_F(ProgrammingRunSim, ByteThatStoresWronglyStopsTheCheckAfterItsBlock) {
    const image::Image modemImage = randomImage(18);
    image::Image file = modemImage;
    file[0x510] ^= 0x5A; // block 5, stores wrongly
    file[0x620] ^= 0x5A; // block 6, written but no longer checked
    startSim(1, modemImage, {"--flip", "510"});
    setPatch(file);
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    expectFinalError();
    ASSERT_EQ(report.mismatches.size(), 1u);
    EXPECT_EQ(boxes().back().detail.rfind(
                  "0510: wanted " + hex(file[0x510], 2) + ", found " + hex(file[0x510] ^ 1u, 2), 0),
              0u)
        << boxes().back().detail;
    const auto t = trace();
    EXPECT_EQ(countLine(t, "RD 9500,100"), 2);
    EXPECT_EQ(countLine(t, "RD 9600,100"), 1); // checking stopped after block 5
    EXPECT_EQ(countLine(t, "WR 9000 55"), 0);
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[0], 0x00);
    EXPECT_LT(maxProgress, 100);
    expectReleased();
}

TEST_F(ProgrammingRunSim, SilentLineInTheWritePhase) {
    const image::Image modemImage = randomImage(19);
    startSim(1, modemImage, {"--silent-after", "50"});
    setPatch(changed(modemImage, 64, 20));
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    expectFinalError();
    const auto comm = std::count_if(boxes().begin(), boxes().end(), [](const ui::RecordedBox& b) {
        return b.title == "Communication Error" &&
               b.text == "Could not communicate with timer local device properly.";
    });
    EXPECT_GE(comm, 1);
    EXPECT_EQ(boxes().back().detail.rfind("No proper answer to: WR 9", 0), 0u)
        << boxes().back().detail;
    EXPECT_GT(report.bytesWritten, 0);
    EXPECT_LT(report.bytesWritten, 64);
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[0], 0x00);
    expectReleased();
}

TEST_F(ProgrammingRunSim, SilentLineInTheReadPhase) {
    const image::Image modemImage = randomImage(21);
    startSim(1, modemImage, {"--silent-after", "20"});
    setPatch(changed(modemImage, 64, 22));
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    expectFinalError();
    ASSERT_GE(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].text, "Could not communicate with local modem properly.");
    EXPECT_EQ(boxes()[0].title, "Communication Error");
    EXPECT_EQ(boxes().back().detail.rfind("No proper answer to: RD 9", 0), 0u)
        << boxes().back().detail;
    EXPECT_EQ(report.bytesWritten, 0);
    EXPECT_TRUE(report.backupPath.empty());
    const auto t = trace();
    EXPECT_TRUE(e2Writes(t, 0x9000).empty());
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[0], 0x00);
}

TEST_F(ProgrammingRunSim, AbortInTheWritePhase) {
    const image::Image modemImage = randomImage(23);
    std::set<int> where;
    const image::Image file = changed(modemImage, 200, 24, &where);
    startSim(1, modemImage);
    setPatch(file);
    int writingEvents = 0;
    platform->loop->onProcessEvents = [&] {
        if (Status.caption() == "Writing" && ++writingEvents == 3000) run.StopRunning = true;
    };
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    expectFinalError();
    EXPECT_EQ(boxes().size(), 1u); // no communication failure
    EXPECT_GT(report.bytesWritten, 0);
    EXPECT_LT(report.bytesWritten, 200);
    const auto t = trace();
    const auto written = e2Writes(t, 0x9000);
    EXPECT_EQ(static_cast<int>(written.size()), report.bytesWritten);
    // After the last byte only the leave write: no checking, no validation.
    std::size_t last = 0;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (t[i].rfind("WR 9", 0) == 0) last = i;
    EXPECT_EQ(std::vector<std::string>(t.begin() + static_cast<long>(last) + 1, t.end()),
              std::vector<std::string>{"WR 8D00 0"});
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[0], 0x00);
    EXPECT_LT(maxProgress, 100);
    expectReleased();
}

TEST_F(ProgrammingRunSim, NoMPromptStopsBeforeTheEPROM) {
    startSim(1, randomImage(25), {"--never-m"});
    setPatch(randomImage(26));
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].text, "Program could not change the modem prompt to M.");
    EXPECT_EQ(boxes()[0].title, "Progrming Error");
    expectFinalError();
    EXPECT_EQ(countLine(trace(), "WR 9000 0"), 0);
    EXPECT_EQ(countLine(trace(), "RD 9000,100"), 0);
}

TEST_F(ProgrammingRunSim, MissingPatchFileEndsWithTheErrorMessage) {
    startSim(1, randomImage(27));
    run.PathOfFile = (dir / "gone.bin").string();
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.completed);
    expectFinalError();
    EXPECT_NE(boxes().back().detail.find("gone.bin"), std::string::npos);
    EXPECT_TRUE(e2Writes(trace(), 0x9000).empty());
    EXPECT_EQ(countLine(trace(), "RD 9000,100"), 0);
    expectReleased();
}

TEST_F(ProgrammingRunSim, UnstorableValueSendsNothing) {
    startSim(1, randomImage(28));
    setPatch(randomImage(29));
    form->storeProblem = "UART_Rate does not fit in one byte.";
    const RunReport report = go();
    finish();

    EXPECT_FALSE(report.started);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "UART_Rate does not fit in one byte.");
    EXPECT_EQ(boxes()[0].title, "Illegal Parameter");
    EXPECT_TRUE(trace().empty());
    EXPECT_TRUE(Dump.enabled());
    EXPECT_FALSE(Bar.visible());
}

// ---- backup, dry run, raw restore, read --------------------------------------------------------

TEST_F(ProgrammingRunSim, UnwritableBackupFolderWritesNothing) {
    startSim(1, randomImage(30));
    setPatch(changed(randomImage(30), 10, 31));
    std::ofstream(dir / "plain") << "x";
    RunOptions options;
    options.backupDir = (dir / "plain" / "backups").string();
    const RunReport report = go(options);
    finish();

    EXPECT_FALSE(report.completed);
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].title, "Romwright");
    EXPECT_EQ(boxes()[0].icon, ui::Icon::Critical);
    EXPECT_NE(boxes()[0].text.find(options.backupDir), std::string::npos) << boxes()[0].text;
    expectFinalError();
    EXPECT_FALSE(anyWrite(trace()));
    EXPECT_FALSE(fs::exists(dir / "after.bin"));
    expectReleased();
}

TEST_F(ProgrammingRunSim, BackupFileThatCannotBeWrittenStopsBeforeTheWritePhase) {
    const image::Image modemImage = randomImage(32);
    startSim(1, modemImage);
    setPatch(changed(modemImage, 10, 33));
    fs::create_directories(dir / "taken");
    RunOptions options;
    options.backupFile = (dir / "taken").string(); // a folder: the file cannot be made
    const RunReport report = go(options);
    finish();

    EXPECT_FALSE(report.completed);
    EXPECT_TRUE(report.backupPath.empty());
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].title, "Romwright");
    EXPECT_NE(boxes()[0].text.find(options.backupFile), std::string::npos);
    expectFinalError();
    const auto t = trace();
    EXPECT_EQ(countLine(t, "RD 9F00,100"), 1); // all blocks were read
    EXPECT_TRUE(e2Writes(t, 0x9000).empty());
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[0], 0x00); // invalidated, nothing else
}

TEST_F(ProgrammingRunSim, DryRunListsTheDifferencesAndWritesNothing) {
    image::Image modemImage = randomImage(34);
    modemImage[597] = 0x10;
    std::set<int> where;
    image::Image file = changed(modemImage, 40, 35, &where);
    file[597] = 0x10;
    file[0] = static_cast<std::uint8_t>(modemImage[0] ^ 1);
    startSim(3, modemImage);
    run.WatchdogEnabled = false;
    form->phy = {0x01, 0x02, 0x03, 0x04, 0x05};
    setPatch(file);
    RunOptions options;
    options.dryRun = true;
    const RunReport report = go(options);
    finish();

    ASSERT_TRUE(report.completed) << report.failure;
    EXPECT_TRUE(boxes().empty());
    const image::Image want = decided(file);
    std::vector<ByteMismatch> expected;
    for (int k = 1; k < image::kImageSize; ++k) {
        const auto at = static_cast<std::size_t>(k);
        if (want[at] != modemImage[at]) expected.push_back({k, want[at], modemImage[at]});
    }
    ASSERT_EQ(report.planned.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(report.planned[i].offset, expected[i].offset);
        EXPECT_EQ(report.planned[i].wanted, expected[i].wanted);
        EXPECT_EQ(report.planned[i].found, expected[i].found);
    }
    EXPECT_TRUE(
        std::any_of(report.planned.begin(), report.planned.end(),
                    [](const ByteMismatch& m) { return m.offset == 597 && m.wanted == 0x14; }));
    EXPECT_FALSE(anyWrite(trace()));
    EXPECT_FALSE(fs::exists(dir / "after.bin"));
    EXPECT_TRUE(report.backupPath.empty());
    EXPECT_FALSE(fs::exists(backupDir));
    EXPECT_TRUE(report.modemImage == modemImage);
    expectReleased();
}

TEST_F(ProgrammingRunSim, RawRestoreOfABackupBringsTheModemBack) {
    image::Image original = randomImage(36);
    original[0] = 0x55;
    startSim(3, original);
    run.WatchdogEnabled = false;
    form->phy = {0x01, 0x02, 0x03, 0x04, 0x05};
    form->overrides[40] = 0x99;
    setPatch(changed(original, 100, 37));
    const RunReport first = go();
    ASSERT_TRUE(first.completed) << first.failure;
    ASSERT_FALSE(first.backupPath.empty());

    // Restore the backup as it is: no window, no watchdog bit, no PHY bytes.
    run.PathOfFile = first.backupPath;
    form->storeProblem = "not consulted for a restore";
    const int sends = form->sends;
    RunOptions options;
    options.raw = true;
    options.backup = false;
    const RunReport restore = go(options);
    finish();

    ASSERT_TRUE(restore.completed) << restore.failure;
    EXPECT_EQ(form->sends, sends);
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_TRUE(*result == original);
}

TEST_F(ProgrammingRunSim, ReadOnlyReadsEverythingAndWritesNothing) {
    const image::Image modemImage = randomImage(38);
    startSim(2, modemImage);
    RunOptions options;
    options.readOnly = true;
    const RunReport report = go(options);
    finish();

    ASSERT_TRUE(report.completed) << report.failure;
    EXPECT_TRUE(report.modemImage == modemImage);
    EXPECT_FALSE(anyWrite(trace()));
    EXPECT_EQ(form->sends, 0);
    EXPECT_TRUE(boxes().empty());
}

// ---- the port as the main window opens it ----------------------------------------------------

TEST_F(ProgrammingRunSim, ChosenPortIsRememberedForTheNextRun) {
    startSim(2, randomImage(39));
    std::map<int, std::string> saved;
    for (int n = 1; n <= 6; ++n) {
        const std::string var = "ROMWRIGHT_COM" + std::to_string(n);
        if (const char* v = std::getenv(var.c_str())) saved[n] = v;
        ::setenv(var.c_str(),
                 n == 1 ? sim->device().c_str() : (dir / ("absent" + std::to_string(n))).c_str(),
                 1);
    }
    run.Dir = dir.string();
    useDevice = false;
    int dialogs = 0;
    platform->loop->onProcessEvents = [&] {
        auto& dialog = modem->comPortForm();
        if (dialog.visible() && modem->ComNumber == 0) {
            ++dialogs;
            dialog.ComPort.setText("COM1");
            dialog.OKCommand.click();
        }
    };
    RunOptions options;
    options.readOnly = true;
    const RunReport first = go(options);
    EXPECT_TRUE(first.completed) << first.failure;
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(PortSelected);
    EXPECT_EQ(modem->ComNumber, 1);
    const RunReport second = go(options);
    EXPECT_TRUE(second.completed) << second.failure;
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(PortOpened);
    for (int n = 1; n <= 6; ++n) {
        const std::string var = "ROMWRIGHT_COM" + std::to_string(n);
        if (saved.count(n))
            ::setenv(var.c_str(), saved[n].c_str(), 1);
        else
            ::unsetenv(var.c_str());
    }
}

// ---- benchmark driver (bench/program_run.sh) ----------------------------------------------------

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Line time the protocol cannot avoid at 960 characters/s, from the commands the modem got:
// each 256-byte read costs its 1800 ms pause (the dump arrives within it); every other
// exchange costs the characters the monitor sends back (echo, line end, reply, prompt).
double protocolFloor(const std::vector<std::string>& trace, double probeSeconds) {
    double seconds = probeSeconds;
    for (const auto& line : trace) {
        if (line == "<ESC>") {
            seconds += 4 / 960.0;
            continue;
        }
        unsigned a = 0, n = 0;
        if (std::sscanf(line.c_str(), "RD %X,%X", &a, &n) == 2) {
            const double dump = (7.0 * ((n + 7) / 8) + 3.0 * n + 2.0 * ((n + 7) / 8));
            const double chars = static_cast<double>(line.size()) + 2 + dump + 2;
            seconds += n > 10 ? std::max(1.8, chars / 960.0) : chars / 960.0;
            continue;
        }
        seconds += (static_cast<double>(line.size()) + 4) / 960.0;
    }
    return seconds;
}

} // namespace

TEST_F(ProgrammingRunSim, DISABLED_BenchThrottled) {
    const char* env = std::getenv("ROMWRIGHT_BENCH_DIFFS");
    const int diffs = env ? std::atoi(env) : 0;
    image::Image modemImage = randomImage(100);
    modemImage[0] = 0x55;
    image::Image file = changed(modemImage, diffs, 101);
    file[0] = 0x00; // block 0 is reread only when something in it changed
    startSim(1, modemImage, {}, true);
    setPatch(file);
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const RunReport report = go();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - cpu0;
    finish();
    ASSERT_TRUE(report.completed) << report.failure;
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const auto t = trace();
    // The first probe waits for an "M>" that a monitor in its normal state never sends;
    // 3 s is the least the protocol allows for it.
    const double floor = protocolFloor(t, 3.0);
    long reads = 0;
    for (const auto& l : t)
        if (l.size() > 4 && l.compare(l.size() - 4, 4, ",100") == 0) ++reads;
    std::printf("BENCH diffs=%d written=%d reads256=%ld wall=%.2f floor=%.2f ratio=%.3f "
                "cpu=%.3f cpu_pct=%.2f maxrss_kb=%ld\n",
                diffs, report.bytesWritten, reads, wall, floor, wall / floor, cpu,
                100.0 * cpu / wall, u.ru_maxrss);
}

// The programming run end to end: the Qt serial port on a pseudo-terminal served by
// romwright-sim, a scripted platform on the real clock, and a small configuration window
// whose overrides the test chooses.
#include "app/run_state.h"
#include "image/sample_image.h"
#include "modem/backup.h"
#include "modem/programming_run.h"
#include "support/fake_port.h"
#include "support/file_size_limit.h"
#include "support/sim_process.h"
#include "ui/qt_serial_port.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
namespace ui = rw::ui;
namespace image = rw::image;
using namespace rw::modem;
using rw::test::SimProcess;
using Lines = std::vector<std::string>;

namespace {

// A configuration window whose overrides the test sets.
class FakeForm : public rw::config::ConfigForm {
public:
    FakeForm(rw::config::FormContext& ctx, int mode)
        : ConfigForm(ctx, variantOf(mode), "FakeForm", "Fake"), mode_(mode) {}

    std::map<int, std::uint8_t> overrides; // position (offset + 1) -> byte
    std::array<std::uint8_t, 5> phy{};
    std::string storeProblem;
    int sends = 0;

    void sendDigToModem() override {
        ++sends;
        auto& cm = context().cm;
        cm.clearOverrides();
        for (const auto& [pos, v] : overrides)
            cm.overrideTable[static_cast<std::size_t>(pos)] = v;
        if (mode_ == 3) cm.phyBytes = phy;
    }
    void sendDigToFile(image::Image&) override {}
    bool loadFromPatch() override { return true; }
    void fieldsToBytes() override {}
    void setDefaults() override {}
    bool checkInputs() override { return true; }
    std::string storageProblem() override { return storeProblem; }
    bool Done() override { return true; }
    void setExpertLayout(bool) override {}
    void showWatchdogLabels(bool) override {}
    std::vector<std::string> boundFieldNames() const override { return {}; }

private:
    static rw::config::Variant variantOf(int mode) {
        using rw::config::Variant;
        const Variant v[] = {Variant::MII_B, Variant::ATM_B, Variant::MII_BP, Variant::ATM_BP};
        return v[mode - 1];
    }
    int mode_;
};

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

Lines readLines(const fs::path& p) {
    Lines lines;
    std::istringstream in(readText(p));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void writeImage(const fs::path& p, const image::Image& img, std::size_t size = image::kImageSize) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(size));
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
image::Image changed(image::Image img, int count, unsigned seed) {
    std::mt19937 gen(seed);
    std::set<int> picked;
    while (static_cast<int>(picked.size()) < count)
        picked.insert(1 + static_cast<int>(gen() % (image::kImageSize - 1)));
    for (int k : picked)
        img[static_cast<std::size_t>(k)] ^= static_cast<std::uint8_t>(1 + gen() % 255);
    return img;
}

std::string hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", v);
    return buf;
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.rfind(prefix, 0) == 0;
}

// E2PROM offsets (1..8191) written, in order.
std::vector<int> e2Writes(const Lines& trace, unsigned base) {
    std::vector<int> out;
    for (const auto& line : trace) {
        unsigned a = 0, v = 0;
        if (std::sscanf(line.c_str(), "WR %X %X", &a, &v) == 2 && a > base &&
            a < base + image::kImageSize)
            out.push_back(static_cast<int>(a - base));
    }
    return out;
}

long countLine(const Lines& trace, const std::string& line) {
    return std::count(trace.begin(), trace.end(), line);
}

Lines writeLines(const Lines& trace) {
    Lines out;
    std::copy_if(trace.begin(), trace.end(), std::back_inserter(out),
                 [](const std::string& l) { return startsWith(l, "WR"); });
    return out;
}

const Lines kProductArgs[] = {
    {"--generation", "B", "--revision", "44", "--interface", "MII MAC"},
    {"--generation", "B", "--revision", "41", "--interface", "Utopia Phy"},
    {"--generation", "B+", "--revision", "49", "--interface", "RMII MAC"},
    {"--generation", "B+", "--revision", "49", "--interface", "Utopia Master"}};

const char* const kFinalError = "An error occurred while programming the E2.";

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
    void startSim(int m, const image::Image& modemImage, const Lines& extra = {},
                  bool throttle = false) {
        mode = m;
        // What refers to the platform goes before the platform.
        modem.reset();
        window.reset();
        form.reset();
        ctx.reset();
        sim.reset();
        platform.reset();
        fs::remove(dir / "trace.txt"); // the simulator appends to it
        fs::remove(dir / "after.bin");
        writeImage(dir / "modem.bin", modemImage);
        Lines args;
        if (!throttle) args.push_back("--no-throttle");
        args.insert(args.end(), kProductArgs[m - 1].begin(), kProductArgs[m - 1].end());
        args.insert(args.end(),
                    {"--image", (dir / "modem.bin").string(), "--trace",
                     (dir / "trace.txt").string(), "--write-back", (dir / "after.bin").string()});
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->ok()) << sim->error();

        platform = std::make_unique<ui::ScriptedPlatform>(false);
        platform->port = std::make_unique<ui::QtSerialPort>();
        run.currentMode = m;
        run.watchdogOn = true;
        run.pathOfFile = (dir / "patch.bin").string();
        ctx = std::make_unique<rw::config::FormContext>(
            rw::config::FormContext{run.formChanged, cm, *platform, nullptr});
        form = std::make_unique<FakeForm>(*ctx, m);
        modem = std::make_unique<ModemModule>(*platform);
        if (!throttle) {
            // The simulator answers at once: keep the waits short so failures cost little.
            modem->longReadExtraMs = 0;
            modem->waitPromptLimit = modem->readLimit = modem->writeLimit = 1;
        }
        Abort.setVisible(false);
        barWatch =
            Bar.stateChanged.connect([this] { maxProgress = std::max(maxProgress, Bar.value()); });
        statusWatch = Status.stateChanged.connect([this] {
            if (statuses.empty() || statuses.back() != Status.caption())
                statuses.push_back(Status.caption());
        });
    }

    ui::Connection barWatch, statusWatch;

    void setPatch(const image::Image& img, std::size_t size = image::kImageSize) {
        writeImage(dir / "patch.bin", img, size);
    }

    RunReport go(RunOptions options = {}) {
        if (options.device.empty() && useDevice) options.device = sim->device();
        if (options.backupDir.empty()) options.backupDir = backupDir.string();
        ControlsDisplay display(Dump, Abort, Status, Bar, showProgress, hideProgress);
        ProgrammingRun pr(*platform,
                          {*rw::image::productForMode(mode), run.pathOfFile, run.watchdogOn,
                           run.stopRequested, portIsOpen, portIsSelected},
                          cm, *modem, window ? *window : *form, display);
        return pr.run(options);
    }
    std::function<void()> showProgress = [this] {
        Bar.setVisible(true);
        Status.setVisible(true);
        Status.setCaption("Connecting");
        platform->events().processEvents();
    };
    std::function<void()> hideProgress = [this] {
        Bar.setVisible(false);
        Bar.setValue(0);
        Status.setVisible(false);
    };
    // The patch file written, one run, and the simulator ended so its files are complete.
    RunReport finishRun(const std::optional<image::Image>& file, RunOptions options = {}) {
        if (file) setPatch(*file);
        RunReport r = go(options);
        finish();
        return r;
    }
    RunReport program(int m, const image::Image& modemImage, const image::Image& file,
                      const Lines& extra = {}, RunOptions options = {}) {
        startSim(m, modemImage, extra);
        return finishRun(file, options);
    }

    void finish() { sim->stop(); }
    Lines trace() { return readLines(dir / "trace.txt"); }
    std::optional<image::Image> after() { return readImage(dir / "after.bin"); }
    // Offset 0 of the modem's E2PROM after the run (0xEE when it was not written back).
    int markAfter() {
        const auto a = after();
        EXPECT_TRUE(a);
        return a ? (*a)[0] : 0xEE;
    }
    const std::vector<ui::RecordedBox>& boxes() { return platform->boxes.shown; }

    void expectBox(std::size_t i, const std::string& text, const std::string& title,
                   ui::Icon icon = ui::Icon::Critical) {
        ASSERT_GT(boxes().size(), i);
        EXPECT_EQ(boxes()[i].text, text);
        EXPECT_EQ(boxes()[i].title, title);
        EXPECT_EQ(boxes()[i].icon, icon);
        EXPECT_EQ(boxes()[i].buttons, ui::Buttons::OK);
    }
    void expectFinalError() {
        ASSERT_FALSE(boxes().empty());
        expectBox(boxes().size() - 1, kFinalError, "Progrming Error");
    }
    // The state every run leaves behind, whatever its outcome.
    void expectReleased() {
        EXPECT_TRUE(Dump.enabled());
        EXPECT_FALSE(portIsOpen);
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
                !run.watchdogOn)
                f |= 4;
            if (mode == 3 && k >= 612 && k <= 616)
                f = cm.phyBytes[static_cast<std::size_t>(k - 612)];
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
    bool portIsOpen = false;
    bool portIsSelected = false;
    int maxProgress = 0;
    Lines statuses;
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
    for (const char* name :
         {"E2MB_backup_20000101-000000.bin", "E2MB_backup_20000102-000000.bin", "notes.txt"})
        std::ofstream(backupDir / name) << "old";
    RunOptions options;
    options.keepBackups = 2;
    const RunReport report = finishRun(file, options);

    ASSERT_TRUE(report.completed) << report.failure;
    EXPECT_EQ(form->sends, 1);
    ASSERT_EQ(boxes().size(), 1u);
    expectBox(0, "Programming completed.", "Programming completed", ui::Icon::Information);
    expectReleased();
    EXPECT_FALSE(Abort.visible());
    EXPECT_EQ(maxProgress, 100);
    EXPECT_EQ(statuses, (Lines{"Connecting", "Reading", "Writing", "Checking", ""}));

    image::Image want = decided(file);
    std::set<int> differing;
    for (int k = 1; k < image::kImageSize; ++k)
        if (want[static_cast<std::size_t>(k)] != modemImage[static_cast<std::size_t>(k)])
            differing.insert(k);
    EXPECT_EQ(differing.count(4), 1u);
    want[0] = 0x55;
    EXPECT_TRUE(after() == want);

    // Only the differing bytes went out, each once, in ascending order.
    const auto t = trace();
    const auto written = e2Writes(t, 0x9000);
    EXPECT_EQ(std::set<int>(written.begin(), written.end()), differing);
    EXPECT_EQ(written.size(), differing.size());
    EXPECT_TRUE(std::is_sorted(written.begin(), written.end()));
    EXPECT_EQ(report.bytesWritten, static_cast<int>(differing.size()));
    EXPECT_EQ(countLine(t, "WR 9000 0"), 1);
    EXPECT_EQ(countLine(t, "WR 9000 55"), 1);

    // The backup is the E2PROM as it was, offset 0 from before the invalidation; the read
    // phase saw offset 0 cleared.
    const fs::path backup = report.backupPath;
    EXPECT_EQ(backup.parent_path(), backupDir);
    EXPECT_TRUE(isBackupFileName(backup.filename().string()));
    EXPECT_TRUE(startsWith(backup.filename().string(), "E2MB_backup_"));
    EXPECT_TRUE(readImage(backup) == modemImage);
    image::Image asRead = modemImage;
    asRead[0] = 0x00;
    EXPECT_TRUE(report.modemImage == asRead);
    // What the log keeps of it: the modem before and after, and the time the run took.
    EXPECT_TRUE(report.imagesKnown && report.imageBefore == modemImage &&
                report.imageAfter == want);
    EXPECT_GT(report.seconds, 0);
    EXPECT_NE(boxes().back().detail.find(report.backupPath), std::string::npos);
    std::set<std::string> kept;
    for (auto& e : fs::directory_iterator(backupDir))
        kept.insert(e.path().filename().string());
    EXPECT_EQ(kept, (std::set<std::string>{backup.filename().string(),
                                           "E2MB_backup_20000102-000000.bin", "notes.txt"}));
}

TEST_F(ProgrammingRunSim, IdenticalImageWritesOnlyTheMark) {
    image::Image modemImage = randomImage(3);
    modemImage[0] = 0x55; // block 0 differs from the cleared mark
    const RunReport report = program(2, modemImage, modemImage);

    ASSERT_TRUE(report.completed) << report.failure;
    expectBox(0, "Programming completed.", "Programming completed", ui::Icon::Information);
    EXPECT_EQ(maxProgress, 100);
    EXPECT_EQ(report.bytesWritten, 0);
    const auto t = trace();
    EXPECT_EQ(writeLines(t), (Lines{"WR 8D00 B2", "WR 9000 0", "WR 8D00 0", // invalidate
                                    "WR 8D00 B2", "WR 8D00 0",              // write phase
                                    "WR 8D00 B2", "WR 9000 55", "WR 8D00 0"}));
    // Block 0 is read twice (read and check), every other block once.
    EXPECT_EQ(countLine(t, "RD 9000,100"), 2);
    EXPECT_EQ(countLine(t, "RD 9100,100"), 1);
    EXPECT_EQ(countLine(t, "RD 9F00,100"), 1);
    EXPECT_TRUE(after() == modemImage);
}

TEST_F(ProgrammingRunSim, RealWindowLoadedFromTheFileChangesNothing) {
    for (int m : {2, 3}) {
        SCOPED_TRACE(m);
        const image::Image sample = image::makeSampleImage(m);
        startSim(m, sample);
        image::fillPatchBytes(cm, sample, m);
        window = rw::config::ConfigForm::create(m, *ctx);
        ASSERT_TRUE(window);
        ASSERT_TRUE(window->loadFromPatch());
        const RunReport report = finishRun(sample);
        ASSERT_TRUE(report.completed) << report.failure;
        EXPECT_EQ(report.bytesWritten, 0);
        EXPECT_TRUE(after() == sample);
        window.reset();
    }
}

// ---- the modem checks ------------------------------------------------------------------------

TEST_F(ProgrammingRunSim, ModemThatDoesNotFitTheProductIsRejectedUntouched) {
    const struct {
        int mode;
        Lines extra;
        const char* text;
        const char* title;
    } cases[] = {
        {1,
         {"--interface", "TC"},
         "The modem you have selected (TC) does not match this application.Please switch modem "
         "or exit and change to ATM mode.",
         "Modem interface type mismatch"},
        {4,
         {"--interface", "MII MAC"},
         "The modem you have selected does not match this application.Please switch modem or "
         "exit and change to MII mode.",
         "Modem interface type mismatch"},
        {3,
         {"--generation", "B", "--revision", "41"},
         "The modem you have selected does not match this application.",
         "Modem type mismatch"},
        {3,
         {"--revision", "50", "--stuck-watchdog"},
         "Program could not turn off the watch dog.",
         "Watch dog error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title + (" " + c.extra[1]));
        const RunReport report = program(c.mode, randomImage(5), randomImage(6), c.extra);
        EXPECT_FALSE(report.completed);
        EXPECT_TRUE(report.started);
        ASSERT_EQ(boxes().size(), 1u);
        expectBox(0, c.text, c.title);
        expectReleased();
        EXPECT_EQ(form->sends, 0);
        const auto t = trace();
        EXPECT_TRUE(e2Writes(t, c.mode >= 3 ? 0xC000 : 0x9000).empty());
        EXPECT_EQ(countLine(t, c.mode >= 3 ? "WR C000 0" : "WR 9000 0"), 0);
        if (c.extra[1] != "50") {
            EXPECT_TRUE(writeLines(t).empty());
        }
        EXPECT_FALSE(fs::exists(dir / "after.bin"));
    }
}

TEST_F(ProgrammingRunSim, OnlyRevision50TurnsTheWatchdogOffFirst) {
    const image::Image modemImage = randomImage(10);
    ASSERT_TRUE(
        program(4, modemImage, changed(modemImage, 20, 11), {"--revision", "50"}).completed);
    auto t = trace();
    const auto unlock = std::find(t.begin(), t.end(), "WR 8D39 C3");
    ASSERT_NE(unlock, t.end());
    ASSERT_NE(unlock + 1, t.end());
    EXPECT_EQ(*(unlock + 1), "WR 8C01 48");
    // Both before the E2PROM is touched.
    EXPECT_LT(unlock, std::find(t.begin(), t.end(), "WR C000 0"));

    ASSERT_TRUE(program(4, modemImage, modemImage, {"--revision", "49"}).completed);
    for (const auto& l : trace())
        EXPECT_EQ(l.find("8C01"), std::string::npos) << l;
}

// ---- the rules for 597 and 612..616, verified --------------------------------------------------

TEST_F(ProgrammingRunSim, WatchdogBitIsWrittenAndVerified) {
    image::Image modemImage = randomImage(14);
    modemImage[597] = 0x10;
    image::Image file = modemImage; // the only difference in block 2 is the rule's
    file[3000] ^= 0xFF;
    startSim(4, modemImage);
    run.watchdogOn = false;
    ASSERT_TRUE(finishRun(file).completed);
    const auto t = trace();
    EXPECT_EQ(countLine(t, "WR C255 14"), 1);
    EXPECT_EQ(countLine(t, "RD C200,100"), 2); // block 2 is reread
    EXPECT_EQ(after().value_or(image::Image{})[597], 0x14);
}

TEST_F(ProgrammingRunSim, PhyBytesComeFromTheWindowAndAreVerified) {
    image::Image modemImage = randomImage(16);
    const std::array<std::uint8_t, 5> phy{0x11, 0x22, 0x33, 0x44, 0x55};
    modemImage[612] = 0x11; // already what the window wants
    std::fill(modemImage.begin() + 613, modemImage.begin() + 617, 0x00);
    image::Image file = modemImage;
    std::fill(file.begin() + 612, file.begin() + 617, 0xA0);
    startSim(3, modemImage);
    form->phy = phy;
    ASSERT_TRUE(finishRun(file).completed);
    const auto t = trace();
    EXPECT_EQ(e2Writes(t, 0xC000), (std::vector<int>{613, 614, 615, 616}));
    EXPECT_EQ(countLine(t, "RD C200,100"), 2);
    const auto result = after();
    ASSERT_TRUE(result);
    EXPECT_TRUE(std::equal(phy.begin(), phy.end(), result->begin() + 612));
}

TEST_F(ProgrammingRunSim, RuleByteThatDoesNotStoreFails) {
    // The watchdog bit of 597 (at C255h) and a PHY byte (613, at C265h).
    const struct {
        const char* flip;
        int offset, wanted, found;
    } cases[] = {{"255", 597, 0x14, 0x15}, {"265", 613, 0x22, 0x23}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        image::Image modemImage = randomImage(15);
        modemImage[597] = 0x10;
        modemImage[613] = 0x00;
        startSim(3, modemImage, {"--flip", c.flip});
        run.watchdogOn = c.offset != 597;
        std::copy(modemImage.begin() + 612, modemImage.begin() + 617, form->phy.begin());
        if (c.offset == 613) form->phy[1] = 0x22;
        const RunReport report = finishRun(modemImage);
        EXPECT_FALSE(report.completed);
        expectFinalError();
        ASSERT_EQ(report.mismatches.size(), 1u);
        EXPECT_EQ(report.mismatches[0].offset, c.offset);
        EXPECT_EQ(report.mismatches[0].wanted, c.wanted);
        EXPECT_EQ(report.mismatches[0].found, c.found);
        EXPECT_TRUE(startsWith(boxes().back().detail, std::string("0") + c.flip + ": wanted " +
                                                          hex2(c.wanted) + ", found " +
                                                          hex2(c.found) + "\n"))
            << boxes().back().detail;
        EXPECT_EQ(markAfter(), 0x00);
    }
}

// ---- failures during the run -------------------------------------------------------------------

TEST_F(ProgrammingRunSim, ByteThatStoresWronglyStopsTheCheckAfterItsBlock) {
    const image::Image modemImage = randomImage(18);
    image::Image file = modemImage;
    file[0x510] ^= 0x5A; // block 5, stores wrongly
    file[0x620] ^= 0x5A; // block 6, written but no longer checked
    const RunReport report = program(1, modemImage, file, {"--flip", "510"});

    EXPECT_FALSE(report.completed);
    expectFinalError();
    ASSERT_EQ(report.mismatches.size(), 1u);
    EXPECT_TRUE(startsWith(boxes().back().detail, "0510: wanted " + hex2(file[0x510]) + ", found " +
                                                      hex2(file[0x510] ^ 1u)))
        << boxes().back().detail;
    const auto t = trace();
    EXPECT_EQ(countLine(t, "RD 9500,100"), 2);
    EXPECT_EQ(countLine(t, "RD 9600,100"), 1); // checking stopped after block 5
    EXPECT_EQ(countLine(t, "WR 9000 55"), 0);
    EXPECT_EQ(markAfter(), 0x00);
    EXPECT_LT(maxProgress, 100);
    expectReleased();
}

TEST_F(ProgrammingRunSim, SilentLineInTheWriteOrReadPhase) {
    // Answers to 50 commands reach into the write phase; to 20, not beyond the reading.
    const struct {
        const char* after;
        const char* text;
        const char* command;
    } cases[] = {{"50", "Could not communicate with timer local device properly.", "WR 9"},
                 {"20", "Could not communicate with local modem properly.", "RD 9"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const image::Image modemImage = randomImage(19);
        const RunReport report =
            program(1, modemImage, changed(modemImage, 64, 20), {"--silent-after", c.after});
        EXPECT_FALSE(report.completed);
        expectFinalError();
        ASSERT_GE(boxes().size(), 2u);
        expectBox(0, c.text, "Communication Error");
        EXPECT_TRUE(
            startsWith(boxes().back().detail, std::string("No proper answer to: ") + c.command))
            << boxes().back().detail;
        if (c.command[0] == 'W') {
            EXPECT_GT(report.bytesWritten, 0);
            EXPECT_LT(report.bytesWritten, 64);
            expectReleased();
        } else {
            EXPECT_EQ(report.bytesWritten, 0);
            EXPECT_TRUE(report.backupPath.empty());
            EXPECT_TRUE(e2Writes(trace(), 0x9000).empty());
        }
        EXPECT_EQ(markAfter(), 0x00);
    }
}

TEST_F(ProgrammingRunSim, AbortInTheWritePhase) {
    const image::Image modemImage = randomImage(23);
    startSim(1, modemImage);
    int writingEvents = 0;
    platform->loop->onProcessEvents = [&] {
        if (Status.caption() == "Writing" && ++writingEvents == 3000) run.stopRequested = true;
    };
    const RunReport report = finishRun(changed(modemImage, 200, 24));

    EXPECT_FALSE(report.completed);
    ASSERT_EQ(boxes().size(), 1u); // no communication failure
    expectFinalError();
    EXPECT_GT(report.bytesWritten, 0);
    EXPECT_LT(report.bytesWritten, 200);
    const auto t = trace();
    EXPECT_EQ(static_cast<int>(e2Writes(t, 0x9000).size()), report.bytesWritten);
    // After the last byte only the leave write: no checking, no validation.
    const auto last = std::find_if(t.rbegin(), t.rend(),
                                   [](const std::string& l) { return startsWith(l, "WR 9"); });
    EXPECT_EQ(Lines(last.base(), t.end()), Lines{"WR 8D00 0"});
    EXPECT_EQ(markAfter(), 0x00);
    EXPECT_LT(maxProgress, 100);
    expectReleased();
}

TEST_F(ProgrammingRunSim, NoMPromptStopsBeforeTheEPROM) {
    EXPECT_FALSE(program(1, randomImage(25), randomImage(26), {"--never-m"}).completed);
    ASSERT_EQ(boxes().size(), 2u);
    expectBox(0, "Program could not change the modem prompt to M.", "Progrming Error");
    expectFinalError();
    EXPECT_EQ(countLine(trace(), "WR 9000 0"), 0);
    EXPECT_EQ(countLine(trace(), "RD 9000,100"), 0);
}

// A patch file gone or cut short since it was opened: no byte is made up for it, and the
// modem is not touched, not even invalidated.
TEST_F(ProgrammingRunSim, PatchFileThatCannotBeReadStopsBeforeThePortOpens) {
    const struct {
        const char* name;
        int size; // written with this many bytes; -1: not there
        const char* why;
    } cases[] = {{"gone.bin", -1, ""},
                 {"short.bin", 100, "is 100 bytes, an image is 8192"},
                 {"empty.bin", 0, "is 0 bytes, an image is 8192"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startSim(1, randomImage(27));
        run.pathOfFile = (dir / c.name).string();
        if (c.size >= 0) writeImage(dir / c.name, randomImage(4), static_cast<std::size_t>(c.size));
        const RunReport report = finishRun(std::nullopt);
        EXPECT_FALSE(report.started);
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].title, "Romwright");
        EXPECT_EQ(boxes()[0].icon, ui::Icon::Critical);
        const std::string text = "Error Loading Patch File : \r" + run.pathOfFile + "\r";
        EXPECT_TRUE(startsWith(boxes()[0].text, text)) << boxes()[0].text;
        if (*c.why) {
            EXPECT_EQ(boxes()[0].text, text + c.why);
        }
        EXPECT_TRUE(trace().empty());
        expectReleased();
    }
}

TEST_F(ProgrammingRunSim, UnstorableValueSendsNothing) {
    startSim(1, randomImage(28));
    form->storeProblem = "UART_Rate does not fit in one byte.";
    EXPECT_FALSE(finishRun(randomImage(29)).started);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "UART_Rate does not fit in one byte.");
    EXPECT_EQ(boxes()[0].title, "Illegal Parameter");
    EXPECT_TRUE(trace().empty());
    EXPECT_TRUE(Dump.enabled());
    EXPECT_FALSE(Bar.visible());
}

// ---- backup, dry run, raw restore, read --------------------------------------------------------

TEST_F(ProgrammingRunSim, BackupThatCannotBeMadeWritesNothing) {
    // A folder under a plain file, or one on a full disk, stops the run before the port
    // opens; a backup file that is a folder stops it after the reading, with the E2PROM
    // only invalidated.
    enum class Case { Folder, FullDisk, File };
    for (Case c : {Case::Folder, Case::FullDisk, Case::File}) {
        SCOPED_TRACE(static_cast<int>(c));
        const image::Image modemImage = randomImage(30);
        startSim(1, modemImage);
        std::ofstream(dir / "plain") << "x";
        fs::create_directories(dir / "taken");
        RunOptions options;
        if (c == Case::Folder) options.backupDir = (dir / "plain" / "backups").string();
        if (c == Case::File) options.backupFile = (dir / "taken").string();
        setPatch(changed(modemImage, 10, 31));
        RunReport report;
        {
            std::optional<rw::test::FileSizeLimit> full;
            if (c == Case::FullDisk) full.emplace(4096);
            report = go(options);
        }
        finish();
        EXPECT_FALSE(report.completed);
        EXPECT_TRUE(report.backupPath.empty());
        EXPECT_EQ(report.started, c == Case::File);
        ASSERT_EQ(boxes().size(), c == Case::File ? 2u : 1u);
        EXPECT_EQ(boxes()[0].title, "Romwright");
        EXPECT_EQ(boxes()[0].icon, ui::Icon::Critical);
        const std::string named = c == Case::File     ? options.backupFile
                                  : c == Case::Folder ? options.backupDir
                                                      : backupDir.string();
        EXPECT_NE(boxes()[0].text.find(named), std::string::npos) << boxes()[0].text;
        expectReleased();
        const auto t = trace();
        if (c == Case::File) {
            expectFinalError();
            EXPECT_TRUE(e2Writes(t, 0x9000).empty());
            EXPECT_EQ(countLine(t, "RD 9F00,100"), 1); // all blocks were read
            EXPECT_EQ(markAfter(), 0x00);              // invalidated, nothing else
        } else {
            EXPECT_TRUE(t.empty());
            EXPECT_FALSE(fs::exists(dir / "after.bin"));
        }
    }
}

TEST_F(ProgrammingRunSim, DryRunListsTheDifferencesAndWritesNothing) {
    image::Image modemImage = randomImage(34);
    modemImage[597] = 0x10;
    image::Image file = changed(modemImage, 40, 35);
    file[597] = 0x10;
    file[0] = static_cast<std::uint8_t>(modemImage[0] ^ 1);
    startSim(3, modemImage);
    run.watchdogOn = false;
    form->phy = {0x01, 0x02, 0x03, 0x04, 0x05};
    RunOptions options;
    options.dryRun = true;
    const RunReport report = finishRun(file, options);

    ASSERT_TRUE(report.completed) << report.failure;
    EXPECT_TRUE(boxes().empty());
    const image::Image want = decided(file);
    using Row = std::tuple<int, int, int>; // offset, wanted, found
    std::vector<Row> expected, planned;
    for (int k = 1; k < image::kImageSize; ++k) {
        const auto at = static_cast<std::size_t>(k);
        if (want[at] != modemImage[at]) expected.emplace_back(k, want[at], modemImage[at]);
    }
    for (const auto& m : report.planned)
        planned.emplace_back(m.offset, m.wanted, m.found);
    EXPECT_EQ(planned, expected);
    EXPECT_TRUE(
        std::any_of(report.planned.begin(), report.planned.end(),
                    [](const ByteMismatch& m) { return m.offset == 597 && m.wanted == 0x14; }));
    EXPECT_TRUE(writeLines(trace()).empty());
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
    run.watchdogOn = false;
    form->phy = {0x01, 0x02, 0x03, 0x04, 0x05};
    form->overrides[40] = 0x99;
    setPatch(changed(original, 100, 37));
    const RunReport first = go();
    ASSERT_TRUE(first.completed) << first.failure;
    ASSERT_FALSE(first.backupPath.empty());

    // Restore the backup as it is: no window, no watchdog bit, no PHY bytes.
    run.pathOfFile = first.backupPath;
    form->storeProblem = "not consulted for a restore";
    RunOptions options;
    options.raw = true;
    options.backup = false;
    const RunReport restore = finishRun(std::nullopt, options);
    ASSERT_TRUE(restore.completed) << restore.failure;
    EXPECT_EQ(form->sends, 1);
    EXPECT_TRUE(after() == original);
}

TEST_F(ProgrammingRunSim, ReadOnlyReadsEverythingAndWritesNothing) {
    // A Utopia product accepts a repeater; the revision whose watchdog a run switches off
    // keeps it running: a read sends no WR at all.
    const image::Image modemImage = randomImage(38);
    startSim(4, modemImage, {"--interface", "T1/E1 repeater", "--revision", "50"});
    RunOptions options;
    options.readOnly = true;
    const RunReport report = finishRun(std::nullopt, options);
    ASSERT_TRUE(report.completed) << report.failure;
    EXPECT_TRUE(report.modemImage == modemImage);
    EXPECT_EQ(report.bytesRead, image::kImageSize);
    EXPECT_EQ(report.interfaceName, "T1/E1 repeater");
    EXPECT_EQ(report.generation, "B+");
    EXPECT_TRUE(writeLines(trace()).empty());
    EXPECT_EQ(form->sends, 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ProgrammingRunSim, VerifyComparesWithWhatARunWouldLeaveAndWritesNothing) {
    // What a run leaves: the file with the window's override, the watchdog bit, the PHY
    // bytes, and 55h at offset 0.
    const image::Image file = randomImage(40);
    const struct {
        const char* name;
        std::vector<int> wrong; // offsets where the modem differs from what a run leaves
    } cases[] = {{"matching", {}}, {"differing", {0, 5, 597, 614, 0x1FFF}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::array<std::uint8_t, 5> phy{0x01, 0x02, 0x03, 0x04, 0x05};
        const auto override5 = static_cast<std::uint8_t>(file[5] ^ 0x0F);
        mode = 3;
        run.watchdogOn = false;
        cm.clearOverrides();
        cm.overrideTable[6] = override5;
        cm.phyBytes = phy;
        image::Image modemImage = decided(file);
        modemImage[0] = 0x55;
        for (int k : c.wrong)
            modemImage[static_cast<std::size_t>(k)] ^= 0x40;
        startSim(3, modemImage);
        run.watchdogOn = false;
        form->phy = phy;
        form->overrides[6] = override5;
        RunOptions options;
        options.verifyOnly = true;
        const RunReport report = finishRun(file, options);
        EXPECT_EQ(report.completed, c.wrong.empty()) << report.failure;
        std::vector<int> found;
        for (const ByteMismatch& m : report.mismatches) {
            found.push_back(m.offset);
            EXPECT_EQ(m.found, m.wanted ^ 0x40) << m.offset;
        }
        EXPECT_EQ(found, c.wrong);
        EXPECT_EQ(report.bytesVerified, image::kImageSize);
        EXPECT_TRUE(writeLines(trace()).empty());
        if (c.wrong.empty()) {
            EXPECT_TRUE(boxes().empty());
        } else {
            ASSERT_EQ(boxes().size(), 1u);
            expectBox(0,
                      "The modem's E2PROM differs at 5 offset(s) from what programming the "
                      "file would leave there.",
                      "Romwright");
        }
        expectReleased();
    }
}

TEST_F(ProgrammingRunSim, GarbledDumpFailsTheReadInsteadOfGivingAWrongByte) {
    // One character inserted, dropped or replaced in the tenth block's dump.
    for (const char* kind : {"insert,10", "drop,10", "replace,10"}) {
        SCOPED_TRACE(kind);
        startSim(1, randomImage(41), {"--garble", kind});
        RunOptions options;
        options.readOnly = true;
        const RunReport report = finishRun(std::nullopt, options);
        EXPECT_FALSE(report.completed);
        EXPECT_EQ(report.bytesRead, 9 * image::kBlockSize);
        // What failed is said, not "programming": nothing was programmed.
        ASSERT_EQ(boxes().size(), 2u);
        expectBox(0, "Could not communicate with local modem properly.", "Communication Error");
        expectBox(1, "Reading the modem's E2PROM failed: no proper answer to RD 9900,100.",
                  "Romwright");
        EXPECT_TRUE(writeLines(trace()).empty());
    }
}

// ---- the port as the main window opens it ----------------------------------------------------

TEST_F(ProgrammingRunSim, ChosenPortIsRememberedForTheNextRun) {
    startSim(2, randomImage(39));
    const rw::test::ComEnvironment env([&](int n) {
        return n == 1 ? sim->device() : (dir / ("absent" + std::to_string(n))).string();
    });
    run.workDir = dir.string();
    useDevice = false;
    int dialogs = 0;
    platform->loop->onProcessEvents = [&] {
        auto& dialog = modem->comPortForm();
        if (dialog.visible() && modem->chosenCom == 0) {
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
    EXPECT_TRUE(portIsSelected);
    EXPECT_EQ(modem->chosenCom, 1);
    const RunReport second = go(options);
    EXPECT_TRUE(second.completed) << second.failure;
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(portIsOpen);
}

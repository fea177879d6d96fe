// The programming run against the simulator's monitor, in process on the scripted port: every
// phase, rule and failure. Each command runs end to end over a pseudo-terminal in the CLI tests.
#include "app/run_state.h"
#include "image/hex.h"
#include "modem/programming_run.h"
#include "sim/sim_modem.h"
#include "sim/sim_options.h"
#include "support/app_bench.h"
#include "support/fake_port.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <tuple>

namespace fs = std::filesystem;
namespace ui = rw::ui;
namespace image = rw::image;
using namespace rw::modem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct FakeForm : rw::test::FakeConfigForm {
    using FakeConfigForm::FakeConfigForm;
    std::map<int, std::uint8_t> overrides; // position (offset + 1) -> byte
    std::array<std::uint8_t, 5> phy{};
    int sends = 0;
    void sendDigToModem() override {
        ++sends;
        context().cm.clearOverrides();
        for (const auto& [pos, v] : overrides)
            context().cm.overrideTable[static_cast<std::size_t>(pos)] = v;
        if (mode == 3) context().cm.phyBytes = phy;
    }
};

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

RunOptions with(bool RunOptions::*flag) {
    RunOptions o;
    o.*flag = true;
    return o;
}

long countLine(const Lines& trace, const std::string& line) {
    return std::count(trace.begin(), trace.end(), line);
}

Lines writeLines(Lines t) {
    std::erase_if(t, [](const std::string& l) { return !l.starts_with("WR"); });
    return t;
}

const Lines kProductArgs[] = {
    {"--generation", "B", "--revision", "44", "--interface", "MII MAC"},
    {"--generation", "B", "--revision", "41", "--interface", "Utopia Phy"},
    {"--generation", "B+", "--revision", "49", "--interface", "RMII MAC"},
    {"--generation", "B+", "--revision", "49", "--interface", "Utopia Master"}};

struct Box {
    std::string text, title;
    ui::Icon icon = ui::Icon::Critical;
};

class ProgrammingRunSim : public ::testing::Test {
protected:
    // A modem with `modemImage` and the product's chip, given as the simulator's options;
    // `extra` comes last, so it may change the chip.
    void startSim(int m, const image::Image& modemImage, const Lines& extra = {}) {
        mode = m;
        statuses.clear();
        maxProgress = 0;
        fs::remove_all(backupDir);
        // What refers to the platform goes before the platform.
        modem.reset(), form.reset(), ctx.reset(), platform.reset();
        Lines args = kProductArgs[m - 1];
        args.insert(args.end(), extra.begin(), extra.end());
        const auto parsed = rw::sim::parseOptions(args);
        ASSERT_TRUE(parsed.options) << parsed.error;
        rw::sim::ModemConfig config = rw::sim::modemConfig(*parsed.options, 1);
        config.image = modemImage;
        sim = std::make_unique<rw::sim::SimModem>(config);
        platform = std::make_unique<ui::ScriptedPlatform>(true);
        auto port = std::make_unique<rw::test::FakePort>(platform->manual);
        port->devices["modem"] = ui::OpenResult::Opened;
        port->onSend = [this, p = port.get()](const std::string& s) {
            if (const std::string out = sim->feed(s); !out.empty()) p->reply(out, 1ms);
        };
        platform->port = std::move(port);
        run.currentMode = m;
        run.watchdogOn = true;
        run.pathOfFile = tmp.file("patch.bin");
        ctx = std::make_unique<rw::config::FormContext>(
            rw::config::FormContext{run.formChanged, cm, *platform, nullptr});
        form = std::make_unique<FakeForm>(*ctx, m);
        modem = std::make_unique<ModemModule>(*platform);
        Abort.setVisible(false);
        barWatch =
            Bar.stateChanged.connect([this] { maxProgress = std::max(maxProgress, Bar.value()); });
        statusWatch = Status.stateChanged.connect([this] {
            if (statuses.empty() ? !Status.caption().empty() : statuses.back() != Status.caption())
                statuses.push_back(Status.caption());
        });
    }

    ui::Connection barWatch, statusWatch;

    void setPatch(const image::Image& img) {
        rw::test::writeBytes(run.pathOfFile, {img.begin(), img.end()});
    }
    RunReport go(RunOptions options = {}, const std::optional<image::Image>& file = {}) {
        if (file) setPatch(*file);
        if (options.device.empty() && useDevice) options.device = "modem";
        if (options.backupDir.empty()) options.backupDir = backupDir.string();
        ControlsDisplay display(Dump, Abort, Status, Bar, showProgress, hideProgress);
        ProgrammingRun pr(*platform,
                          {*rw::image::productForMode(mode), run.pathOfFile, run.watchdogOn,
                           run.stopRequested, portIsOpen, portIsSelected},
                          cm, *modem, *form, display);
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
    const std::vector<ui::RecordedBox>& boxes() { return platform->boxes.shown; }

    // Exactly these boxes, all with OK only; a "*" in a text stands for the system's reason.
    void expectBoxes(const std::vector<Box>& want) {
        ASSERT_EQ(boxes().size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            const std::string& w = want[i].text;
            const std::string& got = boxes()[i].text;
            const std::size_t star = std::min(w.find('*'), w.size());
            EXPECT_TRUE(star == w.size() ? got == w
                                         : got.starts_with(w.substr(0, star)) &&
                                               got.ends_with(w.substr(star + 1)))
                << got;
            EXPECT_EQ(boxes()[i].title, want[i].title);
            EXPECT_EQ(boxes()[i].icon, want[i].icon);
            EXPECT_EQ(boxes()[i].buttons, ui::Buttons::OK);
        }
    }
    // The state every run leaves behind, whatever its outcome.
    void expectReleased() {
        EXPECT_EQ(std::tuple(Dump.enabled(), portIsOpen, platform->serialPort().isOpen(),
                             Bar.visible(), Bar.value()),
                  std::tuple(true, false, false, false, 0));
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

    rw::test::TempDir tmp;
    fs::path backupDir = tmp / "backups";
    int mode = 1;
    bool useDevice = true;
    std::unique_ptr<rw::sim::SimModem> sim;
    std::unique_ptr<ui::ScriptedPlatform> platform;
    rw::app::RunState run;
    image::ConfigModule cm;
    std::unique_ptr<rw::config::FormContext> ctx;
    std::unique_ptr<FakeForm> form;
    std::unique_ptr<ModemModule> modem;
    ui::Form main{"MainForm", "Romwright"};
    ui::Button& Dump = main.add<ui::Button>("Dump");
    ui::Button& Abort = main.add<ui::Button>("Abort");
    ui::Label& Status = main.add<ui::Label>("Status");
    ui::ProgressBar& Bar = main.add<ui::ProgressBar>("ProgressBar");
    bool portIsOpen = false, portIsSelected = false;
    int maxProgress = 0;
    Lines statuses;
};

} // namespace

TEST_F(ProgrammingRunSim, RunThatCompletesLeavesWhatTheRunDecided) {
    const std::array<std::uint8_t, 5> phy{0x11, 0x22, 0x33, 0x44, 0x55};
    const struct {
        const char* name;
        int mode = 1;
        Lines sim{};
        int changes = 20;
        std::function<void(image::Image& modem, image::Image& file)> images{};
        std::function<void(RunOptions&)> arrange{};
        std::vector<std::pair<std::string, long>> lines{}; // times each line was sent
        std::optional<Lines> writes{};                     // every WR line, in order
    } cases[] = {
        // An override of the window that differs from the file reaches the modem; of the
        // old backups beyond the number to keep the oldest goes, other files stay.
        {.name = "program",
         .changes = 300,
         .images = [](image::Image&, image::Image& f) { f[0] = 0x12; },
         .arrange =
             [&](RunOptions& o) {
                 form->overrides[5] = static_cast<std::uint8_t>(sim->e2prom()[4] ^ 0xA5);
                 fs::create_directories(backupDir);
                 for (const char* name : {"E2MB_backup_20000101-000000.bin",
                                          "E2MB_backup_20000102-000000.bin", "notes.txt"})
                     rw::test::writeText((backupDir / name).string(), "old");
                 o.keepBackups = 2;
             }},
        // Block 0 differs only by the cleared mark: it is read twice (read and check), every
        // other block once.
        {.name = "identical",
         .mode = 2,
         .changes = 0,
         .images = [](image::Image& m, image::Image& f) { f = (m[0] = 0x55, m); },
         .lines = {{"RD 9000,100", 2}, {"RD 9100,100", 1}, {"RD 9F00,100", 1}},
         .writes = Lines{"WR 8D00 B2", "WR 9000 0", "WR 8D00 0", // invalidate
                         "WR 8D00 B2", "WR 8D00 0",              // write phase
                         "WR 8D00 B2", "WR 9000 55", "WR 8D00 0"}},
        // The watchdog bit of 597 and the window's PHY bytes 612..616; block 2 differs only
        // by them and is reread.
        {.name = "rule bytes",
         .mode = 3,
         .images =
             [](image::Image& m, image::Image& f) {
                 m[597] = 0x10, m[612] = 0x11;
                 std::fill(m.begin() + 613, m.begin() + 617, 0x00);
                 f = m;
                 std::fill(f.begin() + 612, f.begin() + 617, 0xA0);
                 f[3000] ^= 0xFF;
             },
         .lines = {{"WR C255 14", 1}, {"RD C200,100", 2}}},
        {.name = "dry run",
         .mode = 3,
         .changes = 40,
         .images = [](image::Image& m, image::Image& f) { m[597] = f[597] = 0x10, f[0] ^= 1; },
         .arrange = [](RunOptions& o) { o.dryRun = true; }},
        // A restore writes the file as it is: no window, no watchdog bit, no PHY bytes.
        {.name = "restore",
         .mode = 3,
         .changes = 100,
         .images = [](image::Image&, image::Image& f) { f[0] = 0x55; },
         .arrange =
             [&](RunOptions& o) {
                 form->overrides[40] = 0x99;
                 form->storeProblem = "not consulted for a restore";
                 o.raw = true;
                 o.backup = false;
             }},
        // A Utopia product accepts a repeater; the revision whose watchdog a run switches
        // off keeps it running: a read sends no WR at all.
        {.name = "read",
         .mode = 4,
         .sim = {"--interface", "T1/E1 repeater", "--revision", "50"},
         .arrange = [](RunOptions& o) { o.readOnly = true; }},
        {.name = "verify",
         .images = [](image::Image& m, image::Image& f) { m = (f[0] = 0x55, f); },
         .arrange = [](RunOptions& o) { o.verifyOnly = true; }},
    };
    const auto filesIn = [&] {
        std::set<std::string> names;
        for (auto& e : fs::directory_iterator(backupDir))
            names.insert(e.path().filename().string());
        return names;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        image::Image modemImage = randomImage(1);
        image::Image file = changed(modemImage, c.changes, 2);
        if (c.images) c.images(modemImage, file);
        startSim(c.mode, modemImage, c.sim);
        if (c.mode == 3) run.watchdogOn = false, form->phy = phy; // so that both rules apply
        RunOptions o;
        if (c.arrange) c.arrange(o);
        const std::size_t before = fs::exists(backupDir) ? filesIn().size() : 0;
        const RunReport report = go(o, file);
        ASSERT_TRUE(report.completed) << report.failure;
        expectReleased();
        EXPECT_FALSE(Abort.visible());
        EXPECT_EQ(form->sends, o.raw || o.readOnly ? 0 : 1);
        const Lines t = sim->trace();
        for (const auto& [line, times] : c.lines)
            EXPECT_EQ(countLine(t, line), times) << line;
        EXPECT_EQ(c.writes ? writeLines(t) : Lines{}, c.writes.value_or(Lines{}));
        image::Image want = o.raw ? file : decided(file);
        want[0] = 0x55;
        std::vector<int> differing;
        for (int k = 1; k < image::kImageSize; ++k)
            if (want[static_cast<std::size_t>(k)] != modemImage[static_cast<std::size_t>(k)])
                differing.push_back(k);
        image::Image asRead = modemImage;
        const auto* product = rw::image::productForMode(c.mode);
        if (!o.readOnly && !o.verifyOnly && !o.dryRun) {
            asRead[0] = 0x00; // the read phase saw offset 0 cleared
            expectBoxes(
                {{"Programming completed.", "Programming completed", ui::Icon::Information}});
            EXPECT_EQ(std::tuple(maxProgress, statuses),
                      std::tuple(100, Lines{"Connecting", "Reading", "Writing", "Checking", ""}));
            EXPECT_TRUE(sim->e2prom() == want);
            // Only the differing bytes went out, each once, in ascending order; offset 0
            // cleared first and marked valid last.
            EXPECT_EQ(std::tuple(e2Writes(t, product->e2Base), report.bytesWritten),
                      std::tuple(differing, static_cast<int>(differing.size())));
            const std::string wr0 = "WR " + rw::image::hex(product->e2Base);
            EXPECT_EQ(std::tuple(countLine(t, wr0 + " 0"), countLine(t, wr0 + " 55")),
                      std::tuple(1, 1));
            // Offset 0 as it was is known only from the backup.
            EXPECT_TRUE(report.imagesKnown && report.imageAfter == want &&
                        report.imageBefore == (o.backup ? modemImage : asRead));
            EXPECT_GT(report.seconds, 0);
        } else {
            EXPECT_EQ(std::tuple(writeLines(t), sim->e2WriteCount(), boxes().size(),
                                 report.backupPath, fs::exists(backupDir)),
                      std::tuple(Lines{}, 0u, 0u, "", false));
            EXPECT_EQ(o.readOnly ? report.bytesRead : image::kImageSize, image::kImageSize);
            EXPECT_EQ(o.verifyOnly ? report.bytesVerified : image::kImageSize, image::kImageSize);
            std::vector<int> planned;
            for (const ByteMismatch& m : report.planned) {
                planned.push_back(m.offset);
                EXPECT_EQ(m.wanted, want[static_cast<std::size_t>(m.offset)]);
                EXPECT_EQ(m.found, modemImage[static_cast<std::size_t>(m.offset)]);
            }
            EXPECT_EQ(planned, o.dryRun ? differing : std::vector<int>{});
        }
        EXPECT_TRUE(report.modemImage == asRead);
        if (!report.backupPath.empty()) {
            // The E2PROM as it was, offset 0 from before the invalidation, in a file of its
            // own; of the older ones the newest keepBackups - 1 stay, other files too.
            const fs::path backup = report.backupPath;
            EXPECT_EQ(backup.parent_path(), backupDir);
            EXPECT_TRUE(backup.filename().string().starts_with(std::string(product->modeCode) +
                                                               "_backup_"));
            EXPECT_EQ(rw::test::readBytes(backup.string()),
                      Bytes(modemImage.begin(), modemImage.end()));
            EXPECT_NE(boxes().back().detail.find(report.backupPath), std::string::npos);
            const std::set<std::string> kept = filesIn();
            EXPECT_EQ(kept.count(backup.filename().string()), 1u);
            const std::size_t others = kept.count("notes.txt");
            EXPECT_EQ(kept.size() - others,
                      std::min<std::size_t>(o.keepBackups, before - others + 1));
        }
    }
}

TEST_F(ProgrammingRunSim, OnlyRevision50TurnsTheWatchdogOffFirst) {
    const image::Image modemImage = randomImage(10);
    startSim(4, modemImage, {"--revision", "50"});
    ASSERT_TRUE(go({}, changed(modemImage, 20, 11)).completed);
    const Lines t = sim->trace();
    const auto unlock = std::find(t.begin(), t.end(), "WR 8D39 C3");
    ASSERT_TRUE(unlock != t.end() && unlock + 1 != t.end());
    EXPECT_EQ(*(unlock + 1), "WR 8C01 48");
    // Both before the E2PROM is touched.
    EXPECT_LT(unlock, std::find(t.begin(), t.end(), "WR C000 0"));

    startSim(4, modemImage, {"--revision", "49"});
    ASSERT_TRUE(go({}, modemImage).completed);
    for (const auto& l : sim->trace())
        EXPECT_EQ(l.find("8C01"), std::string::npos) << l;
}

// Every way a run can fail, one row each: the modem's E2PROM is left untouched or only
// invalidated (never marked valid), the port is released, the boxes say what went wrong.
TEST_F(ProgrammingRunSim, RunThatFailsSaysWhyAndNeverMarksTheE2promValid) {
    const Box final{"An error occurred while programming the E2.", "Progrming Error"};
    const Box noRead{"Could not communicate with local modem properly.", "Communication Error"};
    const Box noWrite{"Could not communicate with timer local device properly.",
                      "Communication Error"};
    const std::string backupError = "The backup of the E2PROM could not be saved to ";
    const std::string nothing = "Nothing was written to the modem.";
    const std::string patchError = "Error Loading Patch File : \r" + tmp.file("patch.bin") + "\r";
    const struct {
        const char* name;
        int mode = 1;
        Lines sim{};      // the simulator's options: faults, another chip
        int changes = 10; // bytes the file differs in from the modem
        std::function<void(image::Image& modem, image::Image& file)> images{};
        std::function<void(RunOptions&)> arrange{}; // after the modem is started
        std::vector<Box> boxes{};
        bool started = true;
        bool invalidated = false; // offset 0 written as 00h; otherwise nothing reached it
        int written = 0;          // E2PROM bytes written; -1: some, fewer than the changes
        Lines mismatches{};
        std::vector<std::pair<std::string, long>> lines{}; // times each line was sent
        std::string detail{};                              // the last box's detail starts so
        int bytesRead = -1;
        bool fullDisk = false;
    } cases[] = {
        // The modem does not fit the product: the window is not even asked.
        {.name = "MII product, TC modem",
         .sim = {"--interface", "TC"},
         .boxes = {{"The modem you have selected (TC) does not match this application.Please "
                    "switch modem or exit and change to ATM mode.",
                    "Modem interface type mismatch"}},
         .lines = {{"WR 8D00 B2", 0}}},
        {.name = "UTOPIA product, MII modem",
         .mode = 4,
         .sim = {"--interface", "MII MAC"},
         .boxes = {{"The modem you have selected does not match this application.Please switch "
                    "modem or exit and change to MII mode.",
                    "Modem interface type mismatch"}},
         .lines = {{"WR 8D00 B2", 0}}},
        {.name = "B+ product, B modem",
         .mode = 3,
         .sim = {"--generation", "B", "--revision", "41"},
         .boxes = {{"The modem you have selected does not match this application.",
                    "Modem type mismatch"}},
         .lines = {{"WR 8D00 B2", 0}}},
        {.name = "stuck watchdog",
         .mode = 3,
         .sim = {"--revision", "50", "--stuck-watchdog"},
         .boxes = {{"Program could not turn off the watch dog.", "Watch dog error"}},
         .lines = {{"WR 8D00 B2", 0}}},
        {.name = "no M prompt",
         .sim = {"--never-m"},
         .boxes = {{"Program could not change the modem prompt to M.", "Progrming Error"}, final},
         .lines = {{"RD 9000,100", 0}}},
        // Answers to 20 commands do not reach beyond the reading; to 50, into the writing.
        {.name = "silent while reading",
         .sim = {"--silent-after", "20"},
         .boxes = {noRead, final},
         .invalidated = true,
         .detail = "No proper answer to: RD 9"},
        {.name = "silent while writing",
         .sim = {"--silent-after", "50"},
         .changes = 64,
         .boxes = {noWrite, noWrite, final}, // the byte's write and the leave write
         .invalidated = true,
         .written = -1,
         .detail = "No proper answer to: WR 9"},
        {.name = "abort while writing",
         .changes = 200,
         .arrange =
             [&](RunOptions&) {
                 platform->loop->onProcessEvents = [this, n = 0]() mutable {
                     if (Status.caption() == "Writing" && ++n == 3000) run.stopRequested = true;
                 };
             },
         .boxes = {final},
         .invalidated = true,
         .written = -1,
         .lines = {{"RD 9000,100", 1}}}, // no checking after the abort
        // Block 5 stores wrongly; block 6 is written but no longer checked.
        {.name = "byte that stores wrongly",
         .sim = {"--flip", "510"},
         .images = [](image::Image& m,
                      image::Image& f) { m[0x510] = 0, (f = m)[0x510] = 0x5A, f[0x620] ^= 0x5A; },
         .boxes = {final},
         .invalidated = true,
         .written = 2,
         .mismatches = {"0510: wanted 5A, found 5B"},
         .lines = {{"RD 9500,100", 2}, {"RD 9600,100", 1}}},
        // The rules' bytes: the watchdog bit of 597 (at C255h) and a PHY byte (613, C265h).
        {.name = "watchdog bit that does not store",
         .mode = 3,
         .sim = {"--flip", "255"},
         .images = [](image::Image& m, image::Image& f) { m[597] = 0x10, f = m; },
         .arrange = [&](RunOptions&) { run.watchdogOn = false; },
         .boxes = {final},
         .invalidated = true,
         .written = 1,
         .mismatches = {"0255: wanted 14, found 15"}},
        {.name = "PHY byte that does not store",
         .mode = 3,
         .sim = {"--flip", "265"},
         .images = [](image::Image& m, image::Image& f) { m[613] = 0x00, f = m; },
         .arrange = [&](RunOptions&) { form->phy[1] = 0x22; },
         .boxes = {final},
         .invalidated = true,
         .written = 1,
         .mismatches = {"0265: wanted 22, found 23"}},
        {.name = "garbled last dump",
         .sim = {"--garble", "replace,32"},
         .arrange = [](RunOptions& o) { o.readOnly = true; },
         // What failed is said, not "programming": nothing was programmed.
         .boxes = {noRead,
                   {"Reading the modem's E2PROM failed: no proper answer to RD AF00,100.",
                    "Romwright"}},
         .bytesRead = 31 * image::kBlockSize},
        // A patch file gone or cut short since it was opened: no byte is made up for it.
        {.name = "patch file gone",
         .arrange = [&](RunOptions&) { fs::remove(run.pathOfFile); },
         .boxes = {{patchError + "*", "Romwright"}},
         .started = false},
        {.name = "patch file cut short",
         .arrange = [&](RunOptions&) { rw::test::writeBytes(run.pathOfFile, Bytes(100)); },
         .boxes = {{patchError + "is 100 bytes, an image is 8192", "Romwright"}},
         .started = false},
        {.name = "unstorable value",
         .arrange = [&](RunOptions&) { form->storeProblem = "UART_Rate does not fit."; },
         .boxes = {{"UART_Rate does not fit.", "Illegal Parameter", ui::Icon::Exclamation}},
         .started = false},
        // No backup, no writing; a backup file that is a folder shows only after the reading.
        {.name = "backup folder under a file",
         .arrange =
             [&](RunOptions& o) {
                 rw::test::writeText(tmp.file("plain"), "x");
                 o.backupDir = (tmp / "plain" / "backups").string();
             },
         .boxes = {{backupError + (tmp / "plain" / "backups").string() + " (*). " + nothing,
                    "Romwright"}},
         .started = false},
        {.name = "backup on a full disk",
         .boxes = {{backupError + backupDir.string() + " (*). " + nothing, "Romwright"}},
         .started = false,
         .fullDisk = true},
        {.name = "backup file that is a folder",
         .arrange =
             [&](RunOptions& o) {
                 fs::create_directories(tmp / "taken");
                 o.backupFile = tmp.file("taken");
             },
         .boxes = {{backupError + tmp.file("taken") +
                        " (*). No byte of the image was written; the E2PROM stays marked invalid.",
                    "Romwright"},
                   final},
         .invalidated = true,
         .lines = {{"RD AF00,100", 1}}}, // all blocks were read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        image::Image modemImage = randomImage(5);
        image::Image file = changed(modemImage, c.changes, 6);
        if (c.images) c.images(modemImage, file);
        startSim(c.mode, modemImage, c.sim);
        setPatch(file);
        // The window's PHY bytes as the modem holds them: only a row's own change differs.
        std::copy(sim->e2prom().begin() + 612, sim->e2prom().begin() + 617, form->phy.begin());
        RunOptions options;
        if (c.arrange) c.arrange(options);
        std::optional<rw::test::FileSizeLimit> full;
        if (c.fullDisk) full.emplace(4096);
        const RunReport report = go(options);
        full.reset();
        EXPECT_EQ(std::tuple(report.completed, report.started), std::tuple(false, c.started));
        ASSERT_NO_FATAL_FAILURE(expectBoxes(c.boxes));
        expectReleased();
        EXPECT_LT(maxProgress, 100);
        const Lines t = sim->trace();
        EXPECT_TRUE(c.started || t.empty());
        // The window is asked only for a modem that fits.
        EXPECT_TRUE(c.invalidated || countLine(t, "WR 8D00 B2") > 0 || form->sends == 0);
        const unsigned base = rw::image::productForMode(c.mode)->e2Base;
        const std::string wr0 = "WR " + rw::image::hex(base);
        EXPECT_EQ(std::tuple(countLine(t, wr0 + " 55"), countLine(t, wr0 + " 0")),
                  std::tuple(0, c.invalidated ? 1 : 0));
        EXPECT_EQ(sim->e2WriteCount() > 0, c.invalidated);
        EXPECT_TRUE(!c.invalidated || sim->e2prom()[0] == 0x00);
        EXPECT_EQ(static_cast<int>(e2Writes(t, base).size()), report.bytesWritten);
        const int n = report.bytesWritten;
        EXPECT_TRUE(c.written >= 0 ? n == c.written : n > 0 && n < c.changes) << n;
        EXPECT_EQ(mismatchLines(report.mismatches), c.mismatches);
        for (const auto& [line, times] : c.lines)
            EXPECT_EQ(countLine(t, line), times) << line;
        // A byte that read back wrong is named first in the detail.
        const std::string detail = c.mismatches.empty() ? c.detail : c.mismatches[0] + "\n";
        EXPECT_TRUE(boxes().back().detail.starts_with(detail)) << boxes().back().detail;
        EXPECT_TRUE(c.bytesRead < 0 || report.bytesRead == c.bytesRead) << report.bytesRead;
    }
}

// What a run would leave: the file with the window's override, the watchdog bit, the PHY
// bytes and 55h at offset 0; every offset where the modem differs from it is listed.
TEST_F(ProgrammingRunSim, VerifyListsWhereTheModemDiffersFromWhatARunWouldLeave) {
    const image::Image file = randomImage(40);
    const std::vector<int> wrong{0, 5, 597, 614, 0x1FFF};
    const std::array<std::uint8_t, 5> phy{0x01, 0x02, 0x03, 0x04, 0x05};
    const auto override5 = static_cast<std::uint8_t>(file[5] ^ 0x0F);
    mode = 3;
    run.watchdogOn = false;
    cm.clearOverrides();
    cm.overrideTable[6] = override5;
    cm.phyBytes = phy;
    image::Image modemImage = decided(file);
    modemImage[0] = 0x55;
    for (int k : wrong)
        modemImage[static_cast<std::size_t>(k)] ^= 0x40;
    startSim(3, modemImage);
    run.watchdogOn = false;
    form->phy = phy;
    form->overrides[6] = override5;
    const RunReport report = go(with(&RunOptions::verifyOnly), file);
    std::vector<int> found;
    for (const ByteMismatch& m : report.mismatches) {
        found.push_back(m.offset);
        EXPECT_EQ(m.found, m.wanted ^ 0x40) << m.offset;
    }
    EXPECT_EQ(std::tuple(report.completed, found, report.bytesVerified, writeLines(sim->trace())),
              std::tuple(false, wrong, image::kImageSize, Lines{}));
    expectBoxes({{"The modem's E2PROM differs at 5 offset(s) from what programming the file "
                  "would leave there.",
                  "Romwright"}});
    expectReleased();
}

TEST_F(ProgrammingRunSim, ChosenPortIsRememberedForTheNextRun) {
    startSim(2, randomImage(39));
    const rw::test::ComEnvironment env(
        [&](int n) { return n == 1 ? std::string("modem") : "absent" + std::to_string(n); });
    run.workDir = tmp.str();
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
    EXPECT_TRUE(go(with(&RunOptions::readOnly)).completed);
    EXPECT_EQ(std::tuple(portIsSelected, modem->chosenCom), std::tuple(true, 1));
    EXPECT_TRUE(go(with(&RunOptions::readOnly)).completed);
    EXPECT_EQ(std::tuple(dialogs, portIsOpen), std::tuple(1, false));
}

// What only the main window does: its start for a product, its buttons and the windows they
// show, the run panel, and leaving. The configuration window is a stand-in here.
#include "support/app_bench.h"
#include "support/platform_checks.h"

#include "image/sample_image.h"

#include <algorithm>
#include <filesystem>

using namespace rw;
using rw::test::AppBench;

TEST(MainWindowStart, ProductStartupIniAndFirstState) {
    // ini nullptr: none; watchdogLabels -1: not asked, which generation B never is
    const std::tuple<int, const char*, const char*, bool, bool, int> rows[] = {
        {1, nullptr, "Kestrel E2 Utility", false, true, -1},
        {2, nullptr, "ATM E2 Utility", false, true, -1},
        {3, nullptr, "Kestrel E2 Utility", false, true, 0},
        {4, "a\nb\n\"expert\"\n\"disabled\"\n", "ATM E2 Utility", true, false, 1},
        {1, "a\nb\n\"expert\"\n\"disabled\"\n", "Kestrel E2 Utility", true, false, -1}};
    for (const auto& [mode, ini, caption, expert, watchdog, watchdogLabels] : rows) {
        SCOPED_TRACE(std::to_string(mode) + (ini ? " with startup.ini" : ""));
        AppBench h;
        if (ini) test::writeText(h.dir.file("startup.ini"), ini);
        h.welcome.move(123, 45);
        h.startMode(mode);
        ASSERT_TRUE(h.started);
        auto& m = *h.main;
        const image::Product& p = *image::productForMode(mode);
        EXPECT_EQ(
            std::tuple(m.caption(), m.MainLabel.caption(), m.about().ModeLabel.caption()),
            std::tuple(caption, p.mainLabel, p.aboutText + std::string(image::kSoftwareVersion)));
        EXPECT_EQ(std::tuple(m.run.fileModeCode, m.run.currentMode, m.run.expertMode,
                             m.run.watchdogOn, h.factoryCalls, h.quits),
                  std::tuple(std::string(p.modeCode), mode, expert, watchdog, 1, 0));
        ASSERT_EQ(m.configForm(), h.form);
        EXPECT_EQ(std::tuple(h.form->loadingAtLayout, h.form->isLoading, h.form->expertLayout,
                             h.form->watchdogLabels),
                  std::tuple(true, false, expert ? 1 : 0, watchdogLabels));
        EXPECT_EQ(h.state(), "buttons 1000 changed 0 file - source - loads 0 writes 0 boxes 0");
        EXPECT_FALSE(m.Abort.visible() || m.Status.visible() || m.ProgressBar.visible());
        EXPECT_EQ(m.ProgressBar.value(), 0);
        EXPECT_FALSE(m.portIsOpen || m.portIsSelected);
        EXPECT_TRUE(m.visible() && !h.welcome.visible());
        EXPECT_EQ(std::pair(m.left(), m.top()), std::pair(123, 45)); // where the welcome stood
        EXPECT_EQ(m.run.workDir, h.dir.str());
        EXPECT_TRUE(std::ranges::all_of(m.cm.reservedArea, [](auto b) { return b == 0xFF; }));
        EXPECT_TRUE(h.platform.files.calls.empty()); // no Open without a command line
        // The buttons in a column without gaps (User only for B+); Exit apart at the bottom.
        EXPECT_EQ(m.User.visible(), image::isBPlus(mode));
        std::vector<ui::Button*> column{&m.OpenCommand, &m.Create, &m.DigitalCommand, &m.Dump};
        if (m.User.visible()) column.push_back(&m.User);
        column.push_back(&m.AboutCommand);
        for (std::size_t i = 1; i < column.size(); ++i) {
            EXPECT_EQ(column[i]->geometry().x, column[0]->geometry().x);
            EXPECT_EQ(column[i]->geometry().y, column[i - 1]->geometry().y + 40);
        }
        EXPECT_GT(m.ExitCommand.geometry().y, m.AboutCommand.geometry().y + 32);
        EXPECT_LE(m.ExitCommand.geometry().y + m.ExitCommand.geometry().h, m.height());
    }
}

TEST(MainWindowStart, UnknownModeEndsTheProgram) {
    for (int mode : {0, 5}) {
        AppBench h;
        h.welcome.currentMode = mode;
        h.startMain();
        EXPECT_EQ(std::tuple(h.started, h.quits, h.main->quitRequested(), h.boxCount(),
                             h.factoryCalls, h.main->visible()),
                  std::tuple(false, 1, true, std::size_t(1), 0, false));
        EXPECT_TRUE(test::lastBoxIs(h.platform, "Unknown mode", "Romwright", ui::Buttons::OK,
                                    ui::Icon::Critical));
    }
}

TEST(MainWindowButtons, ShowTheirWindowsRunHooksAndTheRunPanel) {
    AppBench h(4);
    auto& m = *h.main;
    int runs = 0;
    m.onProgram = [&] { ++runs; };
    EXPECT_FALSE(m.Dump.userClick());                       // disabled before an Open
    EXPECT_FALSE(m.readModemToFile() || m.restoreBackup()); // no modem wired
    EXPECT_EQ(m.about().EEPROMversion.caption(), "");
    auto img = image::makeSampleImage(4);
    img[1] = 0xED;
    h.open("E2UP_a.bin", img);
    EXPECT_EQ(m.cm.patchVersion, 0xED);
    EXPECT_TRUE(m.Dump.userClick());
    EXPECT_EQ(runs, 1);
    m.DigitalCommand.userClick();
    EXPECT_TRUE(h.form->visible());
    m.AboutCommand.userClick();
    EXPECT_EQ(m.about().EEPROMversion.caption(), "ED");
    m.about().DoneCommand.userClick();
    EXPECT_FALSE(m.about().visible());
    // The About window's rows stand top to bottom, each value on its caption's line.
    const app::AboutForm& a = m.about();
    for (auto [caption, value] :
         {std::pair{&a.Label3, &a.EEPROMversion}, {&a.Label4, &a.Label6}, {&a.Label5, &a.Label7}}) {
        EXPECT_GT(caption->geometry().y, a.ModeLabel.geometry().y) << value->name();
        EXPECT_EQ(value->geometry().y, caption->geometry().y) << value->name();
        EXPECT_GE(value->geometry().x, caption->geometry().x + caption->geometry().w);
    }
    EXPECT_LT(a.Label3.geometry().y, a.Label4.geometry().y);
    EXPECT_LT(a.Label4.geometry().y, a.Label5.geometry().y);
    m.AboutCommand.userClick();
    m.hide();
    m.about().closedByFrame(); // brings the main window back
    EXPECT_EQ(std::tuple(m.about().visible(), m.visible()), std::tuple(false, true));
    // The reserved-area window loads afresh only when it was not up.
    auto& u = m.userForm();
    m.User.userClick();
    u.typeText(u.Addres, "0");
    u.typeText(u.Value, "3");
    u.onApplyClick();
    u.typeText(u.Addres, "44");
    m.User.userClick();
    EXPECT_EQ(u.Addres.text(), "44");
    u.closedByFrame();
    m.User.userClick();
    EXPECT_EQ(std::tuple(u.Addres.text(), u.Value.text()), std::tuple("0", "3"));
    EXPECT_TRUE(u.visible() && m.visible()); // none of them blocks
    m.Abort.setVisible(true);
    m.Abort.userClick();
    EXPECT_EQ(std::tuple(m.run.stopRequested, h.quits), std::tuple(true, 0));
    m.focusSaveButton();
    EXPECT_EQ(m.focused(), &m.Create);
    m.disableFileButtons();
    EXPECT_EQ(h.state(),
              "buttons 1000 changed 1 file E2UP_a.bin source E2UP_a.bin loads 1 writes 0 boxes 0");
    // The run panel: shown (and drawn at once) while connecting, hidden and reset after.
    const int before = h.platform.loop->processCount;
    m.showRunConnecting();
    EXPECT_EQ(std::tuple(m.ProgressBar.visible(), m.Status.visible(), m.Status.caption(),
                         h.platform.loop->processCount),
              std::tuple(true, true, "Connecting", before + 1));
    m.ProgressBar.setValue(40);
    m.hideRunProgress();
    EXPECT_FALSE(m.ProgressBar.visible() || m.Status.visible());
    EXPECT_EQ(m.ProgressBar.value(), 0);
}

// Decision: leaving makes the folder the program started in the process's current directory
// again, whatever a dialog made of it meanwhile.
TEST(MainWindowExit, QuestionByExitButtonAndByFrame) {
    // saveAs "" cancels the Save dialog
    const std::tuple<const char*, bool, bool, std::optional<ui::Answer>, const char*, int, bool>
        cases[] = {{"exit, no changes", false, false, std::nullopt, "", 1, false},
                   {"exit, Cancel", false, true, ui::Answer::Cancel, "", 0, true},
                   {"exit, No", false, true, ui::Answer::No, "", 1, true},
                   {"exit, Yes", false, true, ui::Answer::Yes, "E2MB_saved.bin", 1, false},
                   {"exit, Yes, save cancelled", false, true, ui::Answer::Yes, "", 1, true},
                   {"frame, no changes", true, false, std::nullopt, "", 1, false},
                   {"frame, No", true, true, ui::Answer::No, "", 1, true},
                   {"frame, Yes", true, true, ui::Answer::Yes, "E2MB_closed.bin", 1, false}};
    for (const auto& [name, byFrame, changed, answer, saveAs, quits, changedAfter] : cases) {
        SCOPED_TRACE(name);
        AppBench h(1);
        h.open("E2MB_a.bin", image::makeSampleImage(1));
        h.main->currentDirectory = [] { return std::string("/elsewhere"); };
        h.main->run.formChanged = changed;
        if (answer) h.platform.boxes.answers = {*answer};
        if (*saveAs) h.saveAs(saveAs);
        if (byFrame)
            h.main->closedByFrame();
        else
            EXPECT_EQ(h.main->onExitCommand(), quits == 1);
        // Leaving ends a running programming run, and goes back to the start folder.
        EXPECT_EQ(std::tuple(h.quits, h.main->run.formChanged, h.main->run.stopRequested,
                             h.main->run.workDir),
                  std::tuple(quits, changedAfter, quits == 1, h.dir.str()));
        EXPECT_EQ(h.directoriesSet,
                  std::vector<std::string>(static_cast<std::size_t>(quits), h.dir.str()));
        if (!answer) {
            EXPECT_EQ(h.boxCount(), 0u);
            continue;
        }
        // The frame's close offers Yes and No only.
        EXPECT_EQ(h.boxCount(), 1u);
        EXPECT_TRUE(test::lastBoxIs(h.platform, app::kSaveQuestion, "Program Exit",
                                    byFrame ? ui::Buttons::YesNo : ui::Buttons::YesNoCancel,
                                    ui::Icon::Question));
        EXPECT_EQ(h.platform.files.calls.size(), *answer == ui::Answer::Yes ? 2u : 1u);
        EXPECT_EQ(h.platform.files.calls.back().save, *answer == ui::Answer::Yes);
        EXPECT_TRUE(!*saveAs || std::filesystem::exists(h.dir.file(saveAs)));
        EXPECT_TRUE(*answer != ui::Answer::No || h.form->fileWrites == 0);
    }
}

#include "app_fixture.h"

using namespace rw;
using rw::testing::AppHarness;
using rw::testing::writeText;

TEST(MainFormStart, ControlsCaptionsAndInitialStates) {
    AppHarness h;
    h.welcome.move(123, 45);
    h.startMode(3);
    ASSERT_TRUE(h.started);
    auto& m = *h.main;
    const std::pair<ui::Button*, const char*> captions[] = {{&m.OpenCommand, "&Open File"},
                                                            {&m.Create, "&Save new file"},
                                                            {&m.DigitalCommand, "&Configurations"},
                                                            {&m.Dump, "&Program"},
                                                            {&m.User, "User"},
                                                            {&m.AboutCommand, "&About"},
                                                            {&m.Abort, "Abort"},
                                                            {&m.ExitCommand, "E&xit"}};
    for (auto [button, caption] : captions)
        EXPECT_EQ(button->caption(), caption);
    EXPECT_TRUE(m.OpenCommand.enabled());
    for (ui::Button* b : {&m.Create, &m.DigitalCommand, &m.Dump})
        EXPECT_FALSE(b->enabled()) << b->name();
    for (ui::Control* c : std::initializer_list<ui::Control*>{&m.Abort, &m.Status, &m.ProgressBar})
        EXPECT_FALSE(c->visible()) << c->name();
    EXPECT_EQ(m.ProgressBar.value(), 0);
    EXPECT_TRUE(m.Picture1.visible());
    EXPECT_TRUE(m.MainLabel.visible());
    EXPECT_TRUE(m.visible());
    EXPECT_FALSE(h.welcome.visible());
    EXPECT_FALSE(m.portIsOpen);
    EXPECT_FALSE(m.portIsSelected);
    // The main window takes the welcome window's position.
    EXPECT_EQ(m.left(), 123);
    EXPECT_EQ(m.top(), 45);
    EXPECT_EQ(m.run.workDir, h.dir.str());
    EXPECT_TRUE(m.run.pathOfFile.empty());
    EXPECT_FALSE(m.run.formChanged);
    for (auto b : m.cm.reservedArea)
        EXPECT_EQ(b, 0xFF);
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    EXPECT_TRUE(h.platform.files.calls.empty()); // no Open without a command line
    EXPECT_EQ(h.quitCalls, 0);
}

TEST(MainFormStart, ProductCaptionsPerMode) {
    const struct {
        int mode;
        const char* caption;
        const char* label;
        const char* about;
        bool user;
        const char* code;
    } rows[] = {
        {1, "Kestrel E2 Utility", "Kestrel-D VER 1.1/1.2 Romwright", "Kestrel E2 software  X.0.0.2",
         false, "E2MB"},
        {2, "ATM E2 Utility", "VDSL-D VER 1.1 Romwright", "VDSL E2 software  X.0.0.2", false,
         "E2UB"},
        {3, "Kestrel E2 Utility", "Kestrel-D VER 2.1/2.2 Romwright", "Kestrel E2 software  X.0.0.2",
         true, "E2MP"},
        {4, "ATM E2 Utility", "VDSL-D VER 2.2 Romwright", "VDSL E2 software  X.0.0.2", true,
         "E2UP"},
    };
    for (const auto& r : rows) {
        AppHarness h;
        h.startMode(r.mode);
        ASSERT_TRUE(h.started);
        EXPECT_EQ(h.main->caption(), r.caption);
        EXPECT_EQ(h.main->MainLabel.caption(), r.label);
        EXPECT_EQ(h.main->about().ModeLabel.caption(), r.about);
        EXPECT_EQ(h.main->User.visible(), r.user);
        EXPECT_EQ(h.main->run.fileModeCode, r.code);
        EXPECT_EQ(h.main->run.currentMode, r.mode);
        EXPECT_EQ(h.factoryCalls, 1);
        ASSERT_NE(h.form, nullptr);
        EXPECT_EQ(h.main->configForm(), h.form);
        EXPECT_FALSE(h.form->isLoading);
        EXPECT_TRUE(h.form->loadingAtLayout);
        EXPECT_EQ(h.form->expertLayout, 0);
        EXPECT_EQ(h.form->watchdogLabels, r.user ? 0 : -1); // B+ only
    }
}

TEST(MainFormStart, ExpertAndWatchdogFromStartupIni) {
    // Watchdog labels are never shown for generation B (-1: not asked).
    for (auto [mode, ini, watchdogLabels] :
         {std::tuple{4,
                     "[s]\r\ndefaultcom = \"COM1\"\r\nmode = \"EXPERT\"\r\nwatchdog = "
                     "\"Disabled\"\r\n",
                     1},
          {1, "a\nb\n\"expert\"\n\"disabled\"\n", -1}}) {
        SCOPED_TRACE(mode);
        AppHarness h;
        writeText(h.dir.file("startup.ini"), ini);
        h.startMode(mode);
        EXPECT_TRUE(h.main->run.expertMode);
        EXPECT_FALSE(h.main->run.watchdogOn);
        EXPECT_EQ(h.form->expertLayout, 1);
        EXPECT_EQ(h.form->watchdogLabels, watchdogLabels);
    }
}

TEST(MainFormStart, UnknownModeEndsTheProgram) {
    AppHarness h;
    h.welcome.currentMode = 0;
    h.startMain();
    EXPECT_FALSE(h.started);
    EXPECT_EQ(h.quitCalls, 1);
    EXPECT_TRUE(h.main->quitRequested());
    h.expectOneBox("Unknown mode", "Romwright", ui::Buttons::OK);
    EXPECT_EQ(h.factoryCalls, 0);
    EXPECT_FALSE(h.main->visible());
}

TEST(MainFormButtons, LayoutIsAColumnWithoutGaps) {
    for (int mode : {1, 3}) {
        AppHarness h;
        h.startMode(mode);
        auto& m = *h.main;
        std::vector<ui::Button*> col{&m.OpenCommand, &m.Create, &m.DigitalCommand, &m.Dump};
        if (mode == 3) col.push_back(&m.User);
        col.push_back(&m.AboutCommand);
        for (std::size_t i = 1; i < col.size(); ++i) {
            EXPECT_EQ(col[i]->geometry().x, col[0]->geometry().x);
            EXPECT_EQ(col[i]->geometry().y, col[i - 1]->geometry().y + 40);
        }
        for (auto& c : m.controls()) {
            const auto& g = c->geometry();
            EXPECT_GT(g.w, 0) << c->name();
            EXPECT_LE(g.x + g.w, m.width()) << c->name();
            EXPECT_LE(g.y + g.h, m.height()) << c->name();
        }
        EXPECT_GT(m.ExitCommand.geometry().y, m.AboutCommand.geometry().y + 32);
    }
}

TEST(MainFormButtons, ConfigurationsUserAboutShowWithoutBlocking) {
    AppHarness h;
    h.startMode(4);
    h.openFile("E2UP_a.bin", image::makeSampleImage(4));
    h.main->DigitalCommand.userClick();
    EXPECT_TRUE(h.form->visible());
    EXPECT_EQ(h.form->variant(), config::Variant::ATM_BP);
    h.main->User.userClick();
    EXPECT_TRUE(h.main->userForm().visible());
    h.main->AboutCommand.userClick();
    EXPECT_TRUE(h.main->about().visible());
    EXPECT_TRUE(h.main->visible());
}

TEST(MainFormButtons, ProgramAbortAndFileButtonHooks) {
    AppHarness h;
    h.startMode(1);
    int runs = 0;
    h.main->onProgram = [&] { ++runs; };
    EXPECT_FALSE(h.main->Dump.userClick()); // disabled before an Open
    h.openFile("E2MB_a.bin", image::makeSampleImage(1));
    EXPECT_TRUE(h.main->Dump.userClick());
    EXPECT_EQ(runs, 1);
    // Abort only sets stopRequested.
    h.main->Abort.setVisible(true);
    h.main->Abort.userClick();
    EXPECT_TRUE(h.main->run.stopRequested);
    EXPECT_EQ(h.quitCalls, 0);
    h.main->focusSaveButton();
    EXPECT_EQ(h.main->focused(), &h.main->Create);
    h.main->disableFileButtons();
    EXPECT_FALSE(h.main->Create.enabled());
    EXPECT_FALSE(h.main->Dump.enabled());
    EXPECT_FALSE(h.main->DigitalCommand.enabled());
    EXPECT_TRUE(h.main->OpenCommand.enabled());
}

TEST(MainFormProgress, ShowConnectingAndHideProgress) {
    AppHarness h;
    h.startMode(1);
    auto& m = *h.main;
    const int before = h.platform.loop->processCount;
    m.showRunConnecting();
    EXPECT_TRUE(m.ProgressBar.visible());
    EXPECT_TRUE(m.Status.visible());
    EXPECT_EQ(m.Status.caption(), "Connecting");
    EXPECT_EQ(h.platform.loop->processCount, before + 1);
    m.ProgressBar.setValue(40);
    m.hideRunProgress();
    EXPECT_FALSE(m.ProgressBar.visible());
    EXPECT_FALSE(m.Status.visible());
    EXPECT_EQ(m.ProgressBar.value(), 0);
}

// ---- leaving the program ----

// Decision: leaving makes Dir, the folder the program started in, the process's current
// directory again; Dir itself does not follow a current directory that moved meanwhile.
TEST(ExitQuestion, LeavingRestoresTheStartFolder) {
    for (bool byFrame : {false, true}) {
        SCOPED_TRACE(byFrame ? "frame" : "exit");
        AppHarness h;
        h.startMode(1);
        h.main->currentDirectory = [] { return std::string("/elsewhere"); }; // a dialog moved it
        if (byFrame)
            h.main->closedByFrame();
        else
            h.main->onExitCommand();
        EXPECT_EQ(h.directoriesSet, std::vector<std::string>{h.dir.str()});
        EXPECT_EQ(h.main->run.workDir, h.dir.str());
    }
}

TEST(ExitQuestion, AnswersByExitButtonAndByFrame) {
    const struct {
        const char* name;
        bool byFrame, changed;
        std::optional<ui::Answer> answer;
        const char* saveAs; // "" cancels the Save dialog
        int quits;
        bool formChangeAfter;
    } cases[] = {
        {"exit, no changes", false, false, std::nullopt, "", 1, false},
        {"exit, Cancel", false, true, ui::Answer::Cancel, "", 0, true},
        {"exit, No", false, true, ui::Answer::No, "", 1, true},
        {"exit, Yes", false, true, ui::Answer::Yes, "E2MB_saved.bin", 1, false},
        {"exit, Yes, save cancelled", false, true, ui::Answer::Yes, "", 1, true},
        {"frame, no changes", true, false, std::nullopt, "", 1, false},
        {"frame, No", true, true, ui::Answer::No, "", 1, true},
        {"frame, Yes", true, true, ui::Answer::Yes, "E2MB_closed.bin", 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness h;
        h.startMode(1);
        h.openFile("E2MB_a.bin", image::makeSampleImage(1));
        h.main->run.formChanged = c.changed;
        h.main->run.stopRequested = false;
        h.platform.boxes.shown.clear();
        if (c.answer) h.platform.boxes.answers = {*c.answer};
        if (*c.saveAs) h.save(c.saveAs);
        if (c.byFrame)
            h.main->closedByFrame();
        else
            EXPECT_EQ(h.main->onExitCommand(), c.quits == 1);
        EXPECT_EQ(h.quitCalls, c.quits);
        EXPECT_EQ(h.main->run.formChanged, c.formChangeAfter);
        EXPECT_EQ(h.main->run.workDir, h.dir.str());
        // Leaving ends a running programming run.
        EXPECT_TRUE(c.quits == 0 || h.main->run.stopRequested);
        if (!c.answer) {
            EXPECT_TRUE(h.platform.boxes.shown.empty());
            continue;
        }
        // The frame's close offers Yes and No only.
        h.expectOneBox(
            "The parameters in configuration form have changed.\rDo you wish to save changes ?",
            "Program Exit", c.byFrame ? ui::Buttons::YesNo : ui::Buttons::YesNoCancel,
            ui::Icon::Question);
        // A Save dialog only after Yes.
        EXPECT_EQ(h.platform.files.calls.size(), *c.answer == ui::Answer::Yes ? 2u : 1u);
        EXPECT_EQ(h.platform.files.calls.back().save, *c.answer == ui::Answer::Yes);
        EXPECT_TRUE(!*c.saveAs || std::filesystem::exists(h.dir.file(c.saveAs)));
        EXPECT_TRUE(*c.answer != ui::Answer::No || h.form->fileWrites == 0);
    }
}

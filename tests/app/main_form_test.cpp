#include "app_fixture.h"

using namespace rw;
using rw::testing::AppHarness;
using rw::testing::writeText;

TEST(MainFormStart, ControlsCaptionsAndInitialStates) {
    AppHarness h;
    h.startMode(1);
    ASSERT_TRUE(h.started);
    auto& m = *h.main;
    EXPECT_EQ(m.OpenCommand.caption(), "&Open File");
    EXPECT_EQ(m.Create.caption(), "&Save new file");
    EXPECT_EQ(m.DigitalCommand.caption(), "&Configurations");
    EXPECT_EQ(m.Dump.caption(), "&Program");
    EXPECT_EQ(m.User.caption(), "User");
    EXPECT_EQ(m.AboutCommand.caption(), "&About");
    EXPECT_EQ(m.Abort.caption(), "Abort");
    EXPECT_EQ(m.ExitCommand.caption(), "E&xit");
    EXPECT_TRUE(m.OpenCommand.enabled());
    EXPECT_FALSE(m.Create.enabled());
    EXPECT_FALSE(m.DigitalCommand.enabled());
    EXPECT_FALSE(m.Dump.enabled());
    EXPECT_FALSE(m.User.visible());
    EXPECT_FALSE(m.Abort.visible());
    EXPECT_FALSE(m.Status.visible());
    EXPECT_FALSE(m.ProgressBar.visible());
    EXPECT_EQ(m.ProgressBar.value(), 0);
    EXPECT_TRUE(m.Picture1.visible());
    EXPECT_TRUE(m.MainLabel.visible());
    EXPECT_TRUE(m.visible());
    EXPECT_FALSE(h.welcome.visible());
    EXPECT_FALSE(m.PortOpened);
    EXPECT_FALSE(m.PortSelected);
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
        EXPECT_EQ(h.main->run.FileBegining, r.code);
        EXPECT_EQ(h.main->run.CurrentMode, r.mode);
        EXPECT_EQ(h.factoryCalls, 1);
        ASSERT_NE(h.form, nullptr);
        EXPECT_EQ(h.main->configForm(), h.form);
        EXPECT_FALSE(h.form->Loading);
        EXPECT_TRUE(h.form->loadingAtLayout);
        EXPECT_EQ(h.form->expertLayout, 0);
        EXPECT_EQ(h.form->watchdogLabels, r.user ? 0 : -1); // B+ only
    }
}

TEST(MainFormStart, StateAndReservedArea) {
    AppHarness h;
    h.startMode(3);
    auto& m = *h.main;
    EXPECT_EQ(m.run.Dir, h.dir.str());
    EXPECT_TRUE(m.run.PathOfFile.empty());
    EXPECT_FALSE(m.run.FormChange);
    for (auto b : m.cm.ReservedArea)
        EXPECT_EQ(b, 0xFF);
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    EXPECT_TRUE(h.platform.files.calls.empty()); // no Open without a command line
    EXPECT_EQ(h.quitCalls, 0);
}

TEST(MainFormStart, MainWindowTakesTheWelcomePosition) {
    AppHarness h;
    h.welcome.move(123, 45);
    h.startMode(2);
    EXPECT_EQ(h.main->left(), 123);
    EXPECT_EQ(h.main->top(), 45);
}

TEST(MainFormStart, ExpertAndWatchdogFromStartupIni) {
    AppHarness h;
    writeText(h.dir.file("startup.ini"),
              "[s]\r\ndefaultcom = \"COM1\"\r\nmode = \"EXPERT\"\r\nwatchdog = \"Disabled\"\r\n");
    h.startMode(4);
    EXPECT_TRUE(h.main->run.ExpertMode);
    EXPECT_FALSE(h.main->run.WatchdogEnabled);
    EXPECT_EQ(h.form->expertLayout, 1);
    EXPECT_EQ(h.form->watchdogLabels, 1);
}

TEST(MainFormStart, WatchdogLabelsNeverForGenerationB) {
    AppHarness h;
    writeText(h.dir.file("startup.ini"), "a\nb\n\"expert\"\n\"disabled\"\n");
    h.startMode(1);
    EXPECT_FALSE(h.main->run.WatchdogEnabled);
    EXPECT_EQ(h.form->expertLayout, 1);
    EXPECT_EQ(h.form->watchdogLabels, -1);
}

TEST(MainFormStart, UnknownModeEndsTheProgram) {
    AppHarness h;
    h.welcome.CurrentMode = 0;
    h.startMain();
    EXPECT_FALSE(h.started);
    EXPECT_EQ(h.quitCalls, 1);
    EXPECT_TRUE(h.main->quitRequested());
    ASSERT_EQ(h.boxCount(), 1u);
    EXPECT_EQ(h.lastBox()->text, "Unknown mode");
    EXPECT_EQ(h.lastBox()->title, "Romwright");
    EXPECT_EQ(h.lastBox()->buttons, ui::Buttons::OK);
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

TEST(MainFormButtons, AbortOnlySetsStopRunning) {
    AppHarness h;
    h.startMode(1);
    h.main->Abort.setVisible(true);
    h.main->Abort.userClick();
    EXPECT_TRUE(h.main->run.StopRunning);
    EXPECT_EQ(h.quitCalls, 0);
}

TEST(MainFormButtons, ProgramCallsTheWiredRun) {
    AppHarness h;
    h.startMode(1);
    int runs = 0;
    h.main->onProgram = [&] { ++runs; };
    EXPECT_FALSE(h.main->Dump.userClick()); // disabled before an Open
    h.openFile("E2MB_a.bin", image::makeSampleImage(1));
    EXPECT_TRUE(h.main->Dump.userClick());
    EXPECT_EQ(runs, 1);
}

TEST(MainFormProgress, ShowConnectingAndHideProgress) {
    AppHarness h;
    h.startMode(1);
    auto& m = *h.main;
    const int before = h.platform.loop->processCount;
    m.ShowConnecting();
    EXPECT_TRUE(m.ProgressBar.visible());
    EXPECT_TRUE(m.Status.visible());
    EXPECT_EQ(m.Status.caption(), "Connecting");
    EXPECT_EQ(h.platform.loop->processCount, before + 1);
    m.ProgressBar.setValue(40);
    m.HideProgress();
    EXPECT_FALSE(m.ProgressBar.visible());
    EXPECT_FALSE(m.Status.visible());
    EXPECT_EQ(m.ProgressBar.value(), 0);
}

TEST(MainFormHooks, DisableFileButtonsAndFocusSave) {
    AppHarness h;
    h.startMode(2);
    h.openFile("E2UB_a.bin", image::makeSampleImage(2));
    h.main->focusSaveButton();
    EXPECT_EQ(h.main->focused(), &h.main->Create);
    h.main->disableFileButtons();
    EXPECT_FALSE(h.main->Create.enabled());
    EXPECT_FALSE(h.main->Dump.enabled());
    EXPECT_FALSE(h.main->DigitalCommand.enabled());
    EXPECT_TRUE(h.main->OpenCommand.enabled());
}

// ---- leaving the program ----

class ExitQuestion : public ::testing::Test {
protected:
    AppHarness h;
    std::string opened;
    void SetUp() override {
        h.startMode(1);
        opened = h.openFile("E2MB_a.bin", image::makeSampleImage(1));
        h.main->run.FormChange = true;
        h.platform.boxes.shown.clear();
    }
};

TEST_F(ExitQuestion, NoChangesEndsAtOnceWithoutQuestion) {
    h.main->run.FormChange = false;
    EXPECT_TRUE(h.main->ExitCommand_Click());
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    EXPECT_EQ(h.quitCalls, 1);
    EXPECT_EQ(h.main->run.Dir, h.dir.str());
}

TEST_F(ExitQuestion, CancelKeepsTheWindow) {
    h.platform.boxes.answers = {ui::Answer::Cancel};
    h.main->ExitCommand.userClick();
    ASSERT_EQ(h.boxCount(), 1u);
    EXPECT_EQ(h.lastBox()->text,
              "The parameters in configuration form have changed.\rDo you wish to save changes ?");
    EXPECT_EQ(h.lastBox()->title, "Program Exit");
    EXPECT_EQ(h.lastBox()->icon, ui::Icon::Question);
    EXPECT_EQ(h.lastBox()->buttons, ui::Buttons::YesNoCancel);
    EXPECT_EQ(h.quitCalls, 0);
    EXPECT_TRUE(h.main->run.FormChange);
    EXPECT_TRUE(h.platform.files.calls.size() == 1u); // only the Open dialog
}

TEST_F(ExitQuestion, NoEndsWithoutSaving) {
    h.platform.boxes.answers = {ui::Answer::No};
    EXPECT_TRUE(h.main->ExitCommand_Click());
    EXPECT_EQ(h.quitCalls, 1);
    EXPECT_EQ(h.platform.files.calls.size(), 1u);
    EXPECT_EQ(h.form->fileWrites, 0);
}

TEST_F(ExitQuestion, YesSavesThenEnds) {
    h.platform.boxes.answers = {ui::Answer::Yes};
    h.platform.files.answers.push_back(h.dir.file("E2MB_saved.bin"));
    EXPECT_TRUE(h.main->ExitCommand_Click());
    EXPECT_EQ(h.quitCalls, 1);
    EXPECT_TRUE(std::filesystem::exists(h.dir.file("E2MB_saved.bin")));
    EXPECT_FALSE(h.main->run.FormChange);
}

TEST_F(ExitQuestion, YesWithCancelledSaveStillEnds) {
    h.platform.boxes.answers = {ui::Answer::Yes};
    EXPECT_TRUE(h.main->ExitCommand_Click()); // the dialog queue is empty: cancel
    ASSERT_EQ(h.platform.files.calls.size(), 2u);
    EXPECT_TRUE(h.platform.files.calls.back().save);
    EXPECT_EQ(h.quitCalls, 1);
    EXPECT_TRUE(h.main->run.FormChange);
}

TEST_F(ExitQuestion, CloseByFrameOffersYesNoOnly) {
    h.platform.boxes.answers = {ui::Answer::No};
    h.main->closedByFrame();
    ASSERT_EQ(h.boxCount(), 1u);
    EXPECT_EQ(h.lastBox()->buttons, ui::Buttons::YesNo);
    EXPECT_EQ(h.lastBox()->title, "Program Exit");
    EXPECT_EQ(h.lastBox()->icon, ui::Icon::Question);
    EXPECT_EQ(h.quitCalls, 1);
}

TEST_F(ExitQuestion, CloseByFrameYesSaves) {
    h.platform.boxes.answers = {ui::Answer::Yes};
    h.platform.files.answers.push_back(h.dir.file("E2MB_closed.bin"));
    h.main->closedByFrame();
    EXPECT_TRUE(std::filesystem::exists(h.dir.file("E2MB_closed.bin")));
    EXPECT_EQ(h.quitCalls, 1);
}

TEST_F(ExitQuestion, CloseByFrameWithoutChangesAsksNothing) {
    h.main->run.FormChange = false;
    h.main->closedByFrame();
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    EXPECT_EQ(h.quitCalls, 1);
}

TEST_F(ExitQuestion, ExitStopsARunningProgrammingRun) {
    h.main->run.FormChange = false;
    h.main->run.StopRunning = false;
    h.main->ExitCommand_Click();
    EXPECT_TRUE(h.main->run.StopRunning);
}

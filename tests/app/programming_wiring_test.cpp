// "&Program" wired to the real programming run, without a modem on the line.
#include "app_fixture.h"
#include "modem/modem_module.h"

using namespace rw;

namespace {

struct WiredApp {
    ui::ScriptedPlatform platform;
    app::WelcomeForm welcome;
    std::unique_ptr<app::MainForm> main;
    rw::testing::TempDir dir;
    int quits = 0;

    WiredApp() {
        welcome.onShowMain = [this] {
            main = std::make_unique<app::MainForm>(platform, welcome, app::defaultConfigFactory());
            main->onQuit = [this] { ++quits; };
            const std::string d = dir.str();
            main->currentDirectory = [d] { return d; };
            main->backupDir = dir.file("backups");
            main->Form_Load();
        };
        welcome.Form_Load("");
        welcome.Continue.userClick(); // product 3
        main->wireProgramming();
        const auto src = dir.file("E2MP_sample.bin");
        rw::testing::writeImage(src, image::makeSampleImage(3));
        platform.files.answers.push_back(src);
        main->OpenCommand_Click();
    }
};

} // namespace

TEST(ProgramWiring, CancelledPortDialogEndsTheRunCleanly) {
    WiredApp a;
    ASSERT_NE(a.main->modem(), nullptr);
    int waits = 0;
    a.platform.loop->onProcessEvents = [&] {
        auto& dlg = a.main->modem()->comPortForm();
        if (dlg.visible() || ++waits > 1000) dlg.Cancel.click();
    };
    EXPECT_TRUE(a.main->Dump.userClick());
    EXPECT_LT(waits, 1000);
    EXPECT_TRUE(a.main->Dump.enabled());
    EXPECT_FALSE(a.main->ProgressBar.visible());
    EXPECT_FALSE(a.main->Status.visible());
    EXPECT_FALSE(a.main->PortOpened);
    EXPECT_EQ(a.main->about().LastBackup.caption(), "");
}

TEST(ProgramWiring, ExitWhileThePortDialogWaitsEndsAtOnce) {
    WiredApp a;
    int waits = 0;
    a.platform.loop->onProcessEvents = [&] {
        auto& dlg = a.main->modem()->comPortForm();
        if (++waits == 3) a.main->ExitCommand_Click();
        if (waits > 1000) dlg.Cancel.click(); // never reached when exit ends the wait
    };
    a.main->Dump.userClick();
    EXPECT_EQ(a.quits, 1);
    EXPECT_LT(waits, 1000);
    EXPECT_TRUE(a.main->run.StopRunning);
}

// "&Program" wired to the real programming run, without a modem on the line.
#include "app_fixture.h"
#include "modem/modem_module.h"
#include "modem/run_log.h"

using namespace rw;

namespace {

// Product 3 with its sample opened and "&Program" wired to the real run.
struct WiredApp : rw::testing::RealApp {
    WiredApp() : RealApp(3) {
        main->wireProgramming();
        open("E2MP_sample.bin", image::makeSampleImage(3));
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
    // Logged as every run is, beside the window's backups.
    const auto log = modem::readRunLog(a.dir.file("runs.jsonl"));
    ASSERT_TRUE(log && log->entries.size() == 1u);
    EXPECT_EQ(log->entries[0]["command"].toString(), "program");
    EXPECT_EQ(log->entries[0]["result"].toString(), "failed");
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

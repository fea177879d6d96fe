// "&Program" wired to the real programming run: without a modem on the line, and against the
// simulated modem for what the run's last message offers.
#include "app/run_progress.h"
#include "image/sample_image.h"
#include "modem/backup.h"
#include "modem/modem_module.h"
#include "modem/run_log.h"
#include "support/app_bench.h"
#include "support/fake_port.h"
#include "support/sim_process.h"
#include "ui/qt_serial_port.h"

using namespace rw;

namespace {

struct WiredApp : rw::test::AppBench {
    explicit WiredApp(bool manualClock = true) : AppBench(3, Real, manualClock) {
        main->wireProgramming();
        open("E2MP_sample.bin", image::makeSampleImage(3));
    }
};

} // namespace

TEST(ProgramWiring, AbortFromTheStartEndsThePortDialogAsCancelDoes) {
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "Abort" : "Cancel");
        WiredApp a;
        ASSERT_NE(a.main->modem(), nullptr);
        int waits = 0;
        bool abortOffered = false;
        a.platform.loop->onProcessEvents = [&] {
            auto& dlg = a.main->modem()->comPortForm();
            if (!dlg.visible() && ++waits <= 1000) return;
            abortOffered = a.main->Abort.shown() && a.main->Abort.enabled();
            if (abort)
                a.main->Abort.userClick();
            else
                dlg.Cancel.click();
        };
        EXPECT_TRUE(a.main->Dump.userClick());
        EXPECT_LT(waits, 1000);
        EXPECT_EQ(std::tuple(abortOffered, a.main->modem()->comPortForm().visible(),
                             a.main->Dump.enabled()),
                  std::tuple(true, false, true));
        EXPECT_FALSE(a.main->Abort.visible() || a.main->ProgressBar.visible() ||
                     a.main->Status.visible() || a.main->portIsOpen);
        EXPECT_EQ(a.main->about().LastBackup.caption(), "");
        EXPECT_EQ(a.main->lastResult(), abort ? "Programming stopped by Abort after 0 s"
                                              : "Programming failed: no modem answered");
        // Logged as every run is, beside the window's backups.
        const auto log = modem::readRunLog(a.dir.file("runs.jsonl"));
        ASSERT_TRUE(log && log->entries.size() == 1u);
        EXPECT_EQ(log->entries[0]["command"].toString(), "program");
        EXPECT_EQ(log->entries[0]["result"].toString(), "failed");
    }
}

TEST(ProgramWiring, ExitWhileThePortDialogWaitsEndsAtOnce) {
    WiredApp a;
    EXPECT_FALSE(a.main->restoreBackup()); // its dialog, in the backup folder, cancelled
    EXPECT_EQ(a.platform.files.calls.back().proposedName, a.dir.file("backups") + "/");
    int waits = 0;
    a.platform.loop->onProcessEvents = [&] {
        auto& dlg = a.main->modem()->comPortForm();
        if (++waits == 3) a.main->onExitCommand();
        if (waits > 1000) dlg.Cancel.click(); // never reached when exit ends the wait
    };
    a.main->Dump.userClick();
    EXPECT_EQ(std::tuple(a.quits, a.main->run.stopRequested), std::tuple(1, true));
    EXPECT_LT(waits, 1000);
}

TEST(ProgramWiring, AbortedRunsLastMessageOffersTheBackupAndRestoreBringsTheModemBack) {
    WiredApp a(false);
    image::Image modemImage = image::makeSampleImage(3);
    for (int k = 0; k < 400; ++k)
        modemImage[static_cast<std::size_t>(0x400 + k)] ^= 0x5A;
    const std::string start = a.dir.file("modem.bin"), after = a.dir.file("after.bin");
    image::writePatchFile(start, modemImage);
    rw::test::SimProcess sim({"--no-throttle", "--generation", "B+", "--interface", "MII MAC",
                              "--image", start, "--write-back", after});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const rw::test::ComEnvironment com(
        [&](int n) { return n == 1 ? sim.device() : a.dir.file("absent" + std::to_string(n)); });
    a.platform.port = std::make_unique<ui::QtSerialPort>();
    modem::ModemModule& m = *a.main->modem();
    m.waitPromptLimit = m.readLimit = m.writeLimit = 1;
    std::vector<std::string> folders;
    a.main->openFolder = [&](const std::string& f) { folders.push_back(f); };

    bool aborted = false;
    a.platform.loop->onProcessEvents = [&] {
        if (m.comPortForm().visible() && m.chosenCom == 0) {
            m.comPortForm().ComPort.setText("COM1");
            m.comPortForm().OKCommand.click();
        }
        if (!aborted && a.main->runProgress()->bytesWritten() == 10)
            aborted = a.main->Abort.userClick();
    };
    std::string backup;
    a.platform.boxes.onShow = [&](const ui::RecordedBox& box) {
        if (box.title != "Progrming Error") return;
        EXPECT_EQ(box.text, "An error occurred while programming the E2.");
        EXPECT_NE(box.extras.summary.find("marked invalid"), std::string::npos);
        ASSERT_EQ(box.extras.actions.size(), 2u);
        backup = a.main->runProgress()->report().backupPath;
        box.extras.actions[0].run(); // Open backup folder
        a.platform.files.answers.push_back(backup);
        box.extras.actions[1].run(); // Restore backup...
    };
    a.main->Dump.userClick();
    sim.stop();

    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(folders, std::vector<std::string>{modem::parentFolder(backup)});
    EXPECT_EQ(a.platform.files.calls.back().proposedName, backup);
    ASSERT_EQ(a.platform.boxes.last()->text, "Programming completed.");
    EXPECT_EQ(a.main->lastResult().rfind("Restored E2MP_backup_", 0), 0u) << a.main->lastResult();
    image::Image restored = modemImage;
    restored[0] = 0x55;
    EXPECT_EQ(rw::test::readBytes(after),
              std::vector<std::uint8_t>(restored.begin(), restored.end()));
}

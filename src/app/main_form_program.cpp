// The "&Program" command's wiring, kept apart from the main window so that the window and
// its tests link without the modem link.
#include "app/main_form.h"
#include "app/startup_ini.h"
#include "modem/backup.h"
#include "modem/modem_module.h"
#include "modem/programming_run.h"
#include "modem/run_log.h"

namespace rw::app {

void MainForm::wireProgramming() {
    if (!modem_) {
        portStore_ = std::make_shared<StartupIniPortStore>(run.Dir);
        modem_ = std::make_shared<modem::ModemModule>(platform_, portStore_.get());
        display_ = std::make_shared<modem::ControlsDisplay>(
            Dump, Abort, Status, ProgressBar, [this] { ShowConnecting(); },
            [this] { HideProgress(); });
    }
    // The port dialog's wait ends only with an answer: leaving the program gives it one.
    stopWaits_ = [this] {
        if (modem_ && modem_->comPortForm().visible()) modem_->comPortForm().closedByFrame();
    };
    onProgram = [this] {
        const modem::RunReport report = runModem({});
        if (!report.backupPath.empty()) about_.setLastBackup(report.backupPath);
    };
}

modem::RunReport MainForm::runModem(modem::RunOptions options) {
    const image::Product* product = image::productForMode(run.CurrentMode);
    if (!configForm_ || !modem_ || !product) return {};
    if (options.backupDir.empty()) options.backupDir = backupDir;
    if (options.backupDir.empty()) options.backupDir = modem::defaultBackupDir();
    modem::ProgrammingRun programmingRun(
        platform_,
        {*product, run.PathOfFile, run.WatchdogEnabled, run.StopRunning, PortOpened, PortSelected},
        cm, *modem_, *configForm_, *display_);
    const modem::RunReport report = programmingRun.run(options);
    modem::logRun(options, *product, run.PathOfFile, report);
    return report;
}

} // namespace rw::app

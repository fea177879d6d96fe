// The "&Program" command's wiring, kept apart from the main window so that the window and
// its tests link without the modem link.
#include "app/main_form.h"
#include "app/run_progress.h"
#include "app/startup_ini.h"
#include "modem/backup.h"
#include "modem/modem_module.h"
#include "modem/programming_run.h"
#include "modem/run_log.h"

#include <utility>

namespace rw::app {

namespace {

// The platform as a run sees it: the run's last message carries the summary and commands
// the main window adds under it; every other message and service is the window's own.
class RunPlatform : public ui::Platform, public ui::MessageBoxService {
public:
    RunPlatform(ui::Platform& inner, const RunProgress& progress,
                std::function<ui::MessageExtras()> extras)
        : inner_(inner), progress_(progress), extras_(std::move(extras)) {}
    ui::MessageBoxService& messageBox() override { return *this; }
    ui::FileDialogService& fileDialog() override { return inner_.fileDialog(); }
    ui::EventLoop& events() override { return inner_.events(); }
    ui::Clock& clock() override { return inner_.clock(); }
    ui::SerialPort& serialPort() override { return inner_.serialPort(); }

    ui::Answer show(const std::string& text, ui::Icon icon, ui::Buttons buttons,
                    const std::string& title, const std::string& detail = {},
                    const ui::MessageExtras& extras = {}) override {
        // Once the outcome is decided, the next message is the last one.
        if (progress_.outcomeKnown() && !summarised_) {
            summarised_ = true;
            return inner_.messageBox().show(text, icon, buttons, title, detail, extras_());
        }
        return inner_.messageBox().show(text, icon, buttons, title, detail, extras);
    }

private:
    ui::Platform& inner_;
    const RunProgress& progress_;
    std::function<ui::MessageExtras()> extras_;
    bool summarised_ = false;
};

} // namespace

void MainForm::wireProgramming() {
    if (!modem_) {
        portStore_ = std::make_shared<StartupIniPortStore>(run.workDir);
        modem_ = std::make_shared<modem::ModemModule>(platform_, portStore_.get());
        display_ = std::make_shared<modem::ControlsDisplay>(
            Dump, Abort, Status, ProgressBar, [this] { showRunConnecting(); },
            [this] { hideRunProgress(); });
        progress_ = std::make_shared<RunProgress>(platform_.clock());
    }
    // The port dialog's wait ends only with an answer: leaving the program gives it one.
    stopWaits_ = [this] {
        if (modem_ && modem_->comPortForm().visible()) modem_->comPortForm().closedByFrame();
    };
    onProgram = [this] {
        const modem::RunReport report = runModem({});
        if (!report.backupPath.empty()) about_.setLastBackup(report.backupPath);
        setResult(programResult(report));
        if (std::exchange(restoreRequested_, false)) restoreBackup(report.backupPath);
    };
}

void MainForm::onAbortClick() {
    run.stopRequested = true;
    abortPressed_ = true;
    if (stopWaits_) stopWaits_();
}

modem::RunReport MainForm::runModem(modem::RunOptions options) {
    const image::Product* product = image::productForMode(run.currentMode);
    if (!configForm_ || !modem_ || !product) return {};
    if (options.backupDir.empty()) options.backupDir = backupDir;
    if (options.backupDir.empty()) options.backupDir = modem::defaultBackupDir();
    abortPressed_ = false;
    restoreRequested_ = false;
    progress_->prepare(!options.readOnly && !options.dryRun);
    modem::ObserverList observers;
    observers.add(*display_);
    observers.add(*progress_);
    RunPlatform runPlatform(platform_, *progress_, [this] { return runSummary(); });
    modem::ProgrammingRun programmingRun(
        runPlatform,
        {*product, run.pathOfFile, run.watchdogOn, run.stopRequested, portIsOpen, portIsSelected},
        cm, *modem_, *configForm_, observers);
    const modem::RunReport report = programmingRun.run(options);
    modem::logRun(options, *product, run.pathOfFile, report);
    return report;
}

ui::MessageExtras MainForm::runSummary() {
    ui::MessageExtras extras;
    extras.summary = progress_->summary(abortPressed_);
    const std::string& backup = progress_->report().backupPath;
    if (!backup.empty() && openFolder)
        extras.actions.push_back(
            {"Open backup folder",
             [this, folder = modem::parentFolder(backup)] { openFolder(folder); }, false});
    if (progress_->leftInvalid())
        extras.actions.push_back({"Restore backup...", [this] { restoreRequested_ = true; }});
    return extras;
}

std::string MainForm::programResult(const modem::RunReport& report) const {
    const std::string took = durationText(progress_->elapsed());
    if (report.completed)
        return "Programmed in " + took + ", " + bytesText(report.bytesWritten) + " written";
    if (abortPressed_) return "Programming stopped by Abort after " + took;
    return "Programming failed: " + report.failure;
}

} // namespace rw::app

// The main window: holds the run state for the whole run, carries the command buttons, the
// status line and the progress bar, and owns the product's configuration window, the
// reserved-area editor and the About box.
#pragma once

#include "app/about_form.h"
#include "app/run_state.h"
#include "app/user_form.h"
#include "app/welcome_form.h"
#include "config/config_form.h"
#include "image/config_module.h"
#include "ui/controls.h"
#include "ui/document_window.h"
#include "ui/platform.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rw::modem {
class ModemModule;
class DefaultPortStore;
class ControlsDisplay;
struct RunOptions;
struct RunReport;
} // namespace rw::modem

namespace rw::app {

class RunProgress;

class MainForm : public ui::Form, public config::MainWindowHooks, public ui::DocumentWindow {
public:
    using ConfigFactory =
        std::function<std::unique_ptr<config::ConfigForm>(int mode, config::FormContext& ctx)>;

    // The product comes from `welcome` (currentMode, patchLoadMode, commandLineText). The
    // factory creates the product's configuration window; see defaultConfigFactory().
    MainForm(ui::Platform& platform, WelcomeForm& welcome, ConfigFactory factory);
    ~MainForm() override;

    ui::Button& OpenCommand;
    ui::Button& Create;
    ui::Button& DigitalCommand;
    ui::Button& Dump;
    ui::Button& User;
    ui::Button& AboutCommand;
    ui::Button& Abort;
    ui::Button& ExitCommand;
    ui::Label& MainLabel;
    ui::Label& Status;
    ui::ProgressBar& ProgressBar;
    ui::Picture& Picture1;

    RunState run;
    image::ConfigModule cm;
    bool portIsOpen = false;
    bool portIsSelected = false;

    // The window's start: the product's set-up, startup.ini, the layouts, then the Open
    // command for a command-line start. False for an invalid product: "Unknown mode" was
    // shown and onQuit was called.
    bool onLoad();

    // Command handlers.
    void onOpenCommand();
    // The Save command; true when a file was written.
    bool onCreateClick();
    void onDigitalCommand();
    void onDumpClick();
    void onUserClick();
    void onAboutCommand();
    // Stops the run at its next step; a run still waiting for its port gives up as Cancel
    // would.
    void onAbortClick();
    // Exit button: false when the user cancelled and the program goes on.
    bool onExitCommand();
    // The window closed by its frame: always ends the program.
    void closedByFrame();

    void showRunConnecting();
    void hideRunProgress();
    static int lastSeparatorPosition(const std::string& path) {
        return app::lastSeparatorPosition(path);
    }

    config::ConfigForm* configForm() const { return configForm_.get(); }
    UserForm& userForm() { return userForm_; }
    AboutForm& about() { return about_; }
    WelcomeForm& welcome() { return welcome_; }
    ui::Platform& platform() { return platform_; }
    // The dialog's filter and proposed name as the Open and Save commands left them.
    const std::string& dialogFilter() const { return dialogFilter_; }
    const std::string& dialogFileName() const { return dialogFileName_; }
    bool quitRequested() const { return quitRequested_; }

    // "Read modem to file...": the modem's whole E2PROM into a new patch file, nothing
    // written to the modem. True when the file was written.
    bool readModemToFile();
    // "Restore backup...": a saved image opened as the Open command opens it, then written
    // into the modem exactly as it is (no window overrides). The dialog proposes `proposed`,
    // or the backup folder. True when the run completed.
    bool restoreBackup(const std::string& proposed = {});
    // The Open command on a file given by the user outside the dialog (dropped, or picked
    // from the recent files): the dialog's filter and the command's own checks apply.
    // True when the file was loaded.
    bool openPath(const std::string& path);

    // Recently opened or saved files, newest first (at most kRecentFiles).
    static constexpr std::size_t kRecentFiles = 8;
    const std::vector<std::string>& recentFiles() const { return recentFiles_; }
    void setRecentFiles(std::vector<std::string> files);
    // The last command's outcome for the status bar ("Saved E2MP_line7.bin").
    const std::string& lastResult() const { return lastResult_; }
    // What the last Open found worth a warning about the file it loaded, as a phrase that
    // follows the file's name ("is 9000 bytes; only its first 8192 are used"); else empty.
    const std::string& openWarning() const { return openWarning_; }

    // ui::DocumentWindow
    std::string documentName() const override;
    ui::Flag& documentModified() override { return run.formChanged; }
    std::vector<std::string> statusTexts() const override;
    std::vector<ui::MenuCommand> menuCommands() override;
    void openDropped(const std::string& path) override { openPath(path); }

    // config::MainWindowHooks
    void disableFileButtons() override;
    void focusSaveButton() override;

    // Ends the program (GUI: the application's quit; tests: a flag).
    std::function<void()> onQuit;
    // "&Program": the programming run. wireProgramming() sets it to the real run.
    std::function<void()> onProgram;
    // The process's current directory, read at start and made current again on leaving
    // (replaceable so that tests use their own folder).
    std::function<std::string()> currentDirectory;
    std::function<void(const std::string&)> setCurrentDirectory;
    // Opens a folder in the desktop's file manager (the GUI sets it; the final message of a
    // run then offers to open the backup's folder).
    std::function<void(const std::string& folder)> openFolder;
    // Where the programming run keeps its backups (wireProgramming's default when empty:
    // the application's data folder).
    std::string backupDir;

    // Sets onProgram to the programming run over a ModemModule owned by this window.
    void wireProgramming();
    // One run on the modem with the main window's controls as its display: "&Program", and
    // the Read and Restore tools with their options.
    modem::RunReport runModem(modem::RunOptions options);
    modem::ModemModule* modem() const { return modem_.get(); }
    // What the window shows of the run under way (wireProgramming makes it).
    RunProgress* runProgress() const { return progress_.get(); }

private:
    void setLoading(bool on);
    void layoutButtons();
    void quit();
    void showError(const std::string& text);
    // The Open command; `given` replaces the dialog's answer.
    bool openFile(const std::optional<std::string>& given);
    void addRecent(const std::string& path);
    void setResult(const std::string& text);
    // A run of the modem link is under way (the progress display is up).
    bool modemBusy() const { return Status.visible(); }
    // What the run's last message carries under its text.
    ui::MessageExtras runSummary();
    // The status bar's line for a programming run.
    std::string programResult(const modem::RunReport& report) const;

    ui::Platform& platform_;
    WelcomeForm& welcome_;
    ConfigFactory factory_;
    // Set by wireProgramming: ends a wait of the programming run (the port dialog) when the
    // program ends.
    std::function<void()> stopWaits_;
    config::FormContext ctx_;
    std::unique_ptr<config::ConfigForm> configForm_;
    UserForm userForm_;
    AboutForm about_;
    std::string dialogFilter_;
    std::string dialogFileName_;
    bool quitRequested_ = false;
    std::vector<std::string> recentFiles_;
    std::string lastResult_;
    std::string openWarning_;
    // Shared so that this file needs no definition of the modem module to destroy it.
    std::shared_ptr<modem::DefaultPortStore> portStore_;
    std::shared_ptr<modem::ModemModule> modem_;
    std::shared_ptr<modem::ControlsDisplay> display_;
    std::shared_ptr<RunProgress> progress_;
    bool abortPressed_ = false;     // in the run under way
    bool restoreRequested_ = false; // by the run's last message
};

// The configuration windows of the product (config::ConfigForm::create).
MainForm::ConfigFactory defaultConfigFactory();

// The question asked before unsaved changes are dropped.
inline constexpr const char* kSaveQuestion =
    "The parameters in configuration form have changed.\rDo you wish to save changes ?";

} // namespace rw::app

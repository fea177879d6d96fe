#include "app/main_form.h"

#include "app/startup_ini.h"
#include "config/general_module.h"

#include <cctype>
#include <filesystem>

namespace rw::app {

namespace {

constexpr const char* kDesignedCaption = "E2 Utility";

std::string processCurrentDirectory() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string() : p.string();
}

// What the Open dialog's filter lets through: the product's code at the start of the name
// and ".bin" at its end, in any case (as the file dialogs of the windows' platform match).
bool matchesPatchFilter(const std::string& path, const std::string& modeCode) {
    const int p = lastSeparatorPosition(path);
    const std::string name = p < 0 ? path : path.substr(static_cast<std::size_t>(p));
    auto startsWithNoCase = [](const std::string& s, std::size_t at, const std::string& what) {
        if (s.size() < at + what.size()) return false;
        for (std::size_t i = 0; i < what.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(s[at + i])) !=
                std::tolower(static_cast<unsigned char>(what[i])))
                return false;
        return true;
    };
    return startsWithNoCase(name, 0, modeCode) && name.size() >= modeCode.size() + 4 &&
           startsWithNoCase(name, name.size() - 4, ".bin");
}

void setProcessCurrentDirectory(const std::string& dir) {
    std::error_code ec;
    std::filesystem::current_path(dir, ec); // a folder that is gone leaves it where it is
}

} // namespace

MainForm::MainForm(ui::Platform& platform, WelcomeForm& welcome, ConfigFactory factory)
    : ui::Form("MainForm", kDesignedCaption), OpenCommand(add<ui::Button>("OpenCommand")),
      Create(add<ui::Button>("Create")), DigitalCommand(add<ui::Button>("DigitalCommand")),
      Dump(add<ui::Button>("Dump")), User(add<ui::Button>("User")),
      AboutCommand(add<ui::Button>("AboutCommand")), Abort(add<ui::Button>("Abort")),
      ExitCommand(add<ui::Button>("ExitCommand")), MainLabel(add<ui::Label>("MainLabel")),
      Status(add<ui::Label>("Status")), ProgressBar(add<ui::ProgressBar>("ProgressBar")),
      Picture1(add<ui::Picture>("Picture1")), platform_(platform), welcome_(welcome),
      factory_(std::move(factory)), ctx_{run.formChanged, cm, platform, this},
      userForm_(cm, run.formChanged) {
    OpenCommand.setCaption("&Open File");
    Create.setCaption("&Save new file");
    Create.setEnabled(false);
    DigitalCommand.setCaption("&Configurations");
    DigitalCommand.setEnabled(false);
    Dump.setCaption("&Program");
    Dump.setEnabled(false);
    User.setCaption("User");
    User.setVisible(false);
    AboutCommand.setCaption("&About");
    Abort.setCaption("Abort");
    Abort.setVisible(false);
    ExitCommand.setCaption("E&xit");
    MainLabel.setBold(true);
    Status.setVisible(false);
    ProgressBar.setVisible(false);
    ProgressBar.setValue(0);

    // A column of buttons on the left; picture, product title, status line and progress
    // bar (with Abort beside it) on the right.
    setSize(500, 330);
    Picture1.setGeometry(170, 16, 314, 130);
    MainLabel.setGeometry(170, 156, 314, 40);
    Status.setGeometry(170, 220, 314, 20);
    ProgressBar.setGeometry(170, 246, 222, 24);
    Abort.setGeometry(400, 243, 84, 30);
    layoutButtons();

    OpenCommand.onClick = [this] { onOpenCommand(); };
    Create.onClick = [this] { onCreateClick(); };
    DigitalCommand.onClick = [this] { onDigitalCommand(); };
    Dump.onClick = [this] { onDumpClick(); };
    User.onClick = [this] { onUserClick(); };
    AboutCommand.onClick = [this] { onAboutCommand(); };
    Abort.onClick = [this] { onAbortClick(); };
    ExitCommand.onClick = [this] { onExitCommand(); };
    about_.onUnload = [this] { show(); };

    currentDirectory = processCurrentDirectory;
    setCurrentDirectory = setProcessCurrentDirectory;
}

MainForm::~MainForm() = default;

void MainForm::layoutButtons() {
    // The hidden User button leaves no gap; Exit stands apart at the bottom.
    int y = 16;
    for (ui::Button* b : {&OpenCommand, &Create, &DigitalCommand, &Dump, &User, &AboutCommand}) {
        b->setGeometry(16, y, 138, 32);
        if (b->visible()) y += 40;
    }
    ExitCommand.setGeometry(16, height() - 48, 138, 32);
}

void MainForm::setLoading(bool on) {
    if (configForm_) configForm_->isLoading = on;
}

void MainForm::showError(const std::string& text) {
    platform_.msgBox(text, ui::Icon::Critical, ui::Buttons::OK, ui::kProgramTitle);
}

bool MainForm::onLoad() {
    move(welcome_.left(), welcome_.top());
    welcome_.hide();
    run.currentMode = welcome_.currentMode;
    const image::Product* product = image::productForMode(run.currentMode);
    if (product && factory_) configForm_ = factory_(run.currentMode, ctx_);
    setLoading(true);
    run.workDir = currentDirectory ? currentDirectory() : std::string();
    const StartupSettings ini = readStartupIni(run.workDir);
    run.expertMode = ini.expertMode;
    run.watchdogOn = ini.watchdogOn;

    if (!product) {
        platform_.msgBox("Unknown mode", ui::Icon::Critical, ui::Buttons::OK, ui::kProgramTitle);
        quit();
        return false;
    }
    setCaption(std::string(product->captionPrefix) + kDesignedCaption);
    MainLabel.setCaption(product->mainLabel);
    about_.ModeLabel.setCaption(product->aboutText);
    User.setVisible(product->bplus);
    layoutButtons();
    if (configForm_) {
        configForm_->setExpertLayout(run.expertMode);
        if (product->bplus) configForm_->showWatchdogLabels(!run.watchdogOn);
    }
    run.fileModeCode = product->modeCode;

    about_.ModeLabel.setCaption(about_.ModeLabel.caption() + image::kSoftwareVersion);
    cm.fillReservedArea();
    hideRunProgress();
    portIsOpen = false;
    portIsSelected = false;
    setLoading(false);
    show();
    if (welcome_.patchLoadMode) onOpenCommand();
    return true;
}

void MainForm::onOpenCommand() {
    openFile(std::nullopt);
}

bool MainForm::openPath(const std::string& path) {
    return openFile(path);
}

bool MainForm::openFile(const std::optional<std::string>& given) {
    setLoading(true);
    openWarning_.clear();
    const std::string& fb = run.fileModeCode;
    dialogFilter_ = "Patch File (" + fb + "*.bin) |" + fb + "*.bin";

    std::string path;
    if (welcome_.patchLoadMode) {
        // A command-line start: no dialog, no generation check, no save question.
        welcome_.patchLoadMode = false;
        run.formChanged = false;
        path = welcome_.commandLineText;
    } else {
        std::optional<std::string> chosen = given;
        if (!chosen) chosen = platform_.fileDialog().showOpen(dialogFilter_, dialogFileName_);
        if (!chosen) {
            setLoading(false);
            return false;
        }
        path = *chosen;
        // The fourth character of the file name tells the generation. A file that did not
        // come through the dialog must also pass its filter: the product's code and ".bin".
        const int p = lastSeparatorPosition(path);
        const std::size_t i4 = static_cast<std::size_t>(p + 3);
        const bool wrongGeneration = i4 < path.size() && (path[i4] == 'P' || path[i4] == 'p') &&
                                     !image::isBPlus(run.currentMode);
        if (wrongGeneration || (given && !matchesPatchFilter(path, fb))) {
            platform_.msgBox("This patch does not match this application", ui::Icon::Critical,
                             ui::Buttons::OK, "Invalid patch version");
            setLoading(false);
            return false;
        }
        if (run.formChanged) {
            if (platform_.msgBox(kSaveQuestion, ui::Icon::Question, ui::Buttons::YesNo,
                                 "Source file switch") == ui::Answer::Yes)
                onCreateClick();
            run.formChanged = false;
        }
    }

    run.pathOfFile = path;
    run.sourceFile = path;
    dialogFileName_ = fb;
    Create.setEnabled(true);
    DigitalCommand.setEnabled(true);
    Dump.setEnabled(true);

    // The file is read completely once. One shorter than an image is refused: its missing
    // bytes would otherwise be made up and programmed.
    std::string why;
    auto file = image::readPatchFile(run.pathOfFile, &why);
    if (!file) {
        showError("Error Loading Patch File : \r" + run.pathOfFile + "\r" + why);
        setLoading(false);
        setResult("Could not load " + documentName());
        return false;
    }
    openWarning_ = image::extraBytesWarning(*file);
    userForm_.fileOpened(file->bytes);
    const std::uint8_t version = file->bytes[image::kVersionOffset];
    about_.EEPROMversion.setCaption(config::Hex(version));
    image::fillPatchBytes(cm, file->bytes, run.currentMode);
    const bool loaded = !configForm_ || configForm_->loadFromPatch();
    setLoading(false);
    if (loaded) addRecent(path);
    setResult((loaded ? "Opened " : "Could not load ") + documentName() +
              (openWarning_.empty() ? "" : ": it " + openWarning_));
    return loaded;
}

bool MainForm::onCreateClick() {
    const std::string& fb = run.fileModeCode;
    std::string path;
    for (;;) {
        auto chosen = platform_.fileDialog().showSave(dialogFilter_, dialogFileName_);
        if (!chosen) return false;
        if (pathHasModeCode(*chosen, fb)) {
            path = *chosen;
            break;
        }
        platform_.msgBox("The file must begin with : \r\r" + fb, ui::Icon::Exclamation,
                         ui::Buttons::OK, "Mismatch file name");
        dialogFileName_ = fb;
    }

    // Nothing is written when a field cannot be stored as it is.
    if (configForm_ && !configForm_->confirmStorable()) return false;

    // The source is read completely before anything is written, so saving over the opened
    // file itself works.
    std::string reason;
    auto source = image::readPatchFile(run.sourceFile, &reason);
    if (!source) {
        showError("Error Saving Patch File : \r" + path + "\rThe source file " + run.sourceFile +
                  " cannot be read: " + reason);
        return false;
    }
    image::Image out = source->bytes;
    // Only the reserved bytes the user set; the others keep the source file's.
    if (image::isBPlus(run.currentMode))
        for (int i = 0; i < image::kReservedSize; ++i)
            if (userForm_.userSet(i))
                out[static_cast<std::size_t>(image::kReservedOffset + i)] =
                    cm.reservedArea[static_cast<std::size_t>(i)];
    if (configForm_) configForm_->sendDigToFile(out);

    if (!image::writePatchFile(path, out, &reason)) {
        // pathOfFile and formChanged stay, so that leaving still offers to save.
        platform_.msgBox("Error Saving Patch File : \r" + path, ui::Icon::Critical, ui::Buttons::OK,
                         ui::kProgramTitle, reason);
        return false;
    }
    run.formChanged = false;
    run.pathOfFile = path;
    addRecent(path);
    setResult("Saved " + documentName());
    return true;
}

void MainForm::onDigitalCommand() {
    if (configForm_) configForm_->show();
}

void MainForm::onDumpClick() {
    if (onProgram) onProgram();
    // The port may have been chosen meanwhile.
    documentChanged.emit();
}

void MainForm::onUserClick() {
    // A window that is not up loads afresh: address 0 and its byte.
    if (!userForm_.visible()) userForm_.onLoad();
    userForm_.show();
}

void MainForm::onAboutCommand() {
    about_.show();
}

bool MainForm::onExitCommand() {
    if (run.formChanged) {
        const auto a = platform_.msgBox(kSaveQuestion, ui::Icon::Question, ui::Buttons::YesNoCancel,
                                        "Program Exit");
        if (a == ui::Answer::Cancel) return false;
        // A failed or cancelled save does not stop the exit.
        if (a == ui::Answer::Yes) onCreateClick();
    }
    quit();
    return true;
}

void MainForm::closedByFrame() {
    if (run.formChanged && platform_.msgBox(kSaveQuestion, ui::Icon::Question, ui::Buttons::YesNo,
                                            "Program Exit") == ui::Answer::Yes)
        onCreateClick();
    quit();
}

void MainForm::quit() {
    // The folder the program started in (where startup.ini was read) is the process's
    // current directory again, whatever a file dialog made of it meanwhile.
    if (setCurrentDirectory && !run.workDir.empty()) setCurrentDirectory(run.workDir);
    // A programming run that processes events when the program ends stops at its next
    // checkpoint instead of going on with a window that is gone.
    run.stopRequested = true;
    quitRequested_ = true;
    if (stopWaits_) stopWaits_();
    if (onQuit) onQuit();
}

void MainForm::showRunConnecting() {
    ProgressBar.setVisible(true);
    Status.setCaption("Connecting");
    Status.setVisible(true);
    platform_.events().processEvents();
}

void MainForm::hideRunProgress() {
    ProgressBar.setVisible(false);
    ProgressBar.setValue(0);
    Status.setVisible(false);
}

void MainForm::disableFileButtons() {
    Create.setEnabled(false);
    Dump.setEnabled(false);
    DigitalCommand.setEnabled(false);
}

void MainForm::focusSaveButton() {
    setFocus(Create);
}

} // namespace rw::app

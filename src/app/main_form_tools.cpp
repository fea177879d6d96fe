// What the main window shows beyond its buttons (title, status bar, menu bar, recent files)
// and its two modem tools: reading the modem into a file and restoring a backup.
#include "app/main_form.h"
#include "modem/backup.h"
#include "modem/modem_module.h"
#include "modem/programming_run.h"

#include <algorithm>
#include <utility>

namespace rw::app {

namespace {

std::string fileNameOf(const std::string& path) {
    const auto at = path.find_last_of(
#ifdef _WIN32
        "\\/"
#else
        "/\\"
#endif
    );
    return at == std::string::npos ? path : path.substr(at + 1);
}

} // namespace

std::string MainForm::documentName() const {
    return fileNameOf(run.pathOfFile);
}

std::vector<std::string> MainForm::statusTexts() const {
    const image::Product* product = image::productForMode(run.currentMode);
    const std::string productText = product ? product->productCode : "";
    std::string port;
    int n = modem_ ? modem_->chosenCom : 0;
    if (n < 1 || n > 6) {
        // No port chosen in this run yet: the default the port dialog will offer.
        const std::string d = modem_ ? modem_->readDefaultCom() : std::string();
        if (d.size() == 4 && (d.rfind("COM", 0) == 0) && d[3] >= '1' && d[3] <= '6') n = d[3] - '0';
    }
    if (n >= 1 && n <= 6) port = "COM" + std::to_string(n) + " -> " + modem::comDeviceName(n);
    return {productText, run.pathOfFile.empty() ? "No file open" : run.pathOfFile,
            port.empty() ? "No port chosen" : port, lastResult_};
}

std::vector<ui::MenuCommand> MainForm::menuCommands() {
    auto idle = [this] { return !modemBusy(); };
    std::vector<ui::MenuCommand> m;
    m.push_back(
        {.menu = "&File", .text = "&Open File...", .button = &OpenCommand, .shortcut = "Ctrl+O"});
    m.push_back({.menu = "&File",
                 .text = "Open &Recent",
                 .items = [this] { return recentFiles_; },
                 .pick =
                     [this](int i) {
                         if (i >= 0 && static_cast<std::size_t>(i) < recentFiles_.size())
                             openPath(recentFiles_[static_cast<std::size_t>(i)]);
                     }});
    m.push_back(
        {.menu = "&File", .text = "&Save new file...", .button = &Create, .shortcut = "Ctrl+S"});
    m.push_back({.menu = "&File"});
    m.push_back({.menu = "&File", .text = "E&xit", .button = &ExitCommand, .shortcut = "Ctrl+Q"});
    m.push_back({.menu = "&Modem", .text = "&Program", .button = &Dump});
    m.push_back({.menu = "&Modem", .text = "&Abort", .button = &Abort});
    m.push_back({.menu = "&Modem"});
    m.push_back({.menu = "&Modem",
                 .text = "&Read modem to file...",
                 .run = [this] { readModemToFile(); },
                 .enabled = [this, idle] { return modem_ && configForm_ && idle(); }});
    m.push_back({.menu = "&Modem",
                 .text = "R&estore backup...",
                 .run = [this] { restoreBackup(); },
                 .enabled = [this, idle] { return modem_ && configForm_ && idle(); }});
    m.push_back({.menu = "&Tools", .text = "&Configurations", .button = &DigitalCommand});
    m.push_back(
        {.menu = "&Tools", .text = "&Reserved area", .button = &User, .hiddenWithButton = true});
    m.push_back({.menu = "&Help", .text = "&About", .button = &AboutCommand});
    return m;
}

void MainForm::setRecentFiles(std::vector<std::string> files) {
    recentFiles_.clear();
    for (std::string& f : files)
        if (!f.empty() &&
            std::find(recentFiles_.begin(), recentFiles_.end(), f) == recentFiles_.end() &&
            recentFiles_.size() < kRecentFiles)
            recentFiles_.push_back(std::move(f));
    documentChanged.emit();
}

void MainForm::addRecent(const std::string& path) {
    std::vector<std::string> files{path};
    files.insert(files.end(), recentFiles_.begin(), recentFiles_.end());
    setRecentFiles(std::move(files));
}

void MainForm::setResult(const std::string& text) {
    lastResult_ = text;
    documentChanged.emit();
}

bool MainForm::readModemToFile() {
    if (!modem_ || !configForm_ || modemBusy()) return false;
    const std::string& fb = run.fileModeCode;
    const std::string filter = "Patch File (" + fb + "*.bin) |" + fb + "*.bin";
    std::string path;
    for (;;) {
        auto chosen = platform_.fileDialog().showSave(filter, fb + "_modem.bin");
        if (!chosen) return false;
        if (pathHasModeCode(*chosen, fb)) {
            path = *chosen;
            break;
        }
        platform_.msgBox("The file must begin with : \r\r" + fb, ui::Icon::Exclamation,
                         ui::Buttons::OK, "Mismatch file name");
    }
    modem::RunOptions options;
    options.readOnly = true;
    options.backup = false;
    const modem::RunReport report = runModem(options);
    if (!report.completed) {
        setResult("Reading the modem failed");
        return false;
    }
    std::string why;
    if (!image::writePatchFile(path, report.modemImage, &why)) {
        showError("Error Saving Patch File : \r" + path + "\r" + why);
        setResult("Reading the modem failed");
        return false;
    }
    addRecent(path);
    setResult("Read the modem into " + fileNameOf(path));
    return true;
}

bool MainForm::restoreBackup(const std::string& proposed) {
    if (!modem_ || !configForm_ || modemBusy()) return false;
    const std::string& fb = run.fileModeCode;
    const std::string folder = backupDir.empty() ? modem::defaultBackupDir() : backupDir;
    auto chosen = platform_.fileDialog().showOpen("Patch File (" + fb + "*.bin) |" + fb + "*.bin",
                                                  proposed.empty() ? folder + "/" : proposed);
    if (!chosen || !openPath(*chosen)) return false;
    modem::RunOptions options;
    options.raw = true;
    const modem::RunReport report = runModem(options);
    setResult(report.completed ? "Restored " + documentName() + ", " +
                                     std::to_string(report.bytesWritten) + " bytes written"
                               : "Restoring " + documentName() + " failed");
    // Asked again by the failed run's message: the same file (this run's own backup holds
    // the E2 as the failure left it).
    if (std::exchange(restoreRequested_, false)) return restoreBackup(*chosen);
    return report.completed;
}

} // namespace rw::app

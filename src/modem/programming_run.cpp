#include "modem/programming_run.h"

#include "image/hex.h"
#include "modem/backup.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <utility>
#include <vector>

namespace rw::modem {

namespace {

constexpr std::uint16_t kInterfaceReg = 0x8085;
constexpr std::uint16_t kWatchdogReg = 0x8C01;
constexpr std::uint16_t kModeKeyReg = 0x8C72;
constexpr std::uint16_t kRevisionReg = 0x8C73;
constexpr std::uint16_t kModeReg = 0x8D00;
constexpr std::uint16_t kUnlockReg = 0x8D39;

constexpr std::uint8_t kModeKeyB = 0xB2;
constexpr std::uint8_t kModeLeave = 0x00;
constexpr std::uint8_t kUnlockValue = 0xC3;
constexpr std::uint8_t kWatchdogStop = 0x48;
constexpr std::uint8_t kWatchdogBit = 0x04;
constexpr std::uint8_t kInvalidMark = 0x00;
constexpr std::uint8_t kValidMark = 0x55;
constexpr std::uint8_t kRevisionWithWatchdog = 50;

constexpr int kBlockCount = image::kBlockCount;
constexpr int kBlockSize = image::kBlockSize;
constexpr int kImageSize = image::kImageSize;

const char* const kMismatchText = "The modem you have selected does not match this application.";
const char* const kInterfaceTitle = "Modem interface type mismatch";
const char* const kErrorTitle = "Progrming Error";
const char* const kReadFailure = "Could not communicate with local modem properly.";
const char* const kWriteFailure = "Could not communicate with timer local device properly.";
const char* const kCommunicationError = "Communication Error";

// Runs its function when the scope ends, however it ends.
template <class F> class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ~ScopeExit() { f_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F f_;
};

} // namespace

// ---- register tables ----------------------------------------------------------------

std::string interfaceNameOf(std::uint8_t b) {
    static const char* const names[8][2] = {{"Utopia Master", "Utopia Master"},
                                            {"Utopia Phy", "Utopia Phy"},
                                            {"MII MAC", "RMII MAC"},
                                            {"Unknown", "7wire MAC"},
                                            {"TC", "TC"},
                                            {"T1/E1 repeater", "T1/E1 repeater"},
                                            {"MII Phy", "RMII Phy"},
                                            {"SMII Phy", "7wire Phy"}};
    const int t = (b & 0x38) / 8;
    const int v = (b & 0x04) != 0 ? 1 : 0;
    return names[t][v];
}

bool interfaceAccepted(const image::Product& product, const std::string& name) {
    if (product.utopia) return name.find("Utopia") != std::string::npos || name == "T1/E1 repeater";
    return name.find("7wire") != std::string::npos || name.find("MII") != std::string::npos;
}

std::string generationName(std::uint8_t revision) {
    if (revision == 41 || revision == 44) return "B";
    if (revision == 49 || revision == 50) return "B+";
    return "NotBorB+";
}

std::vector<std::string> mismatchLines(const std::vector<ByteMismatch>& mismatches,
                                       std::size_t maxLines) {
    std::vector<std::string> lines;
    if (maxLines == 0) return lines;
    const bool all = mismatches.size() <= maxLines;
    const std::size_t shown = all ? mismatches.size() : maxLines - 1;
    for (std::size_t i = 0; i < shown; ++i) {
        const ByteMismatch& m = mismatches[i];
        lines.push_back(image::hex(static_cast<unsigned>(m.offset), 4) + ": wanted " +
                        image::hex(m.wanted, 2) + ", found " + image::hex(m.found, 2));
    }
    if (!all) lines.push_back("... and " + std::to_string(mismatches.size() - shown) + " more");
    return lines;
}

// ---- the exchanges of a run --------------------------------------------------------------

void MonitorCommands::failed(const std::string& message) {
    if (firstFailure_.empty()) firstFailure_ = modem_.lastFailedCommand();
    platform_.msgBox(message, ui::Icon::Critical, ui::Buttons::OK, kCommunicationError);
    stop_ = true;
}

ReadReply MonitorCommands::read(std::uint16_t address, int count) {
    ReadReply r = modem_.readModem(address, count);
    if (!r.ok) failed(kReadFailure);
    return r;
}

bool MonitorCommands::write(std::uint16_t address, std::uint8_t value) {
    const bool ok = modem_.writeModem(address, value);
    if (!ok) failed(kWriteFailure);
    return ok;
}

std::string MonitorCommands::readInterfaceType() {
    return interfaceNameOf(read(kInterfaceReg, 1)[0]);
}

std::string MonitorCommands::readGeneration() {
    return generationName(read(kRevisionReg, 1)[0]);
}

bool MonitorCommands::watchdogOff() {
    std::uint8_t b = read(kWatchdogReg, 1)[0];
    if ((b & kWatchdogBit) == 0) return true;
    write(kUnlockReg, kUnlockValue);
    write(kWatchdogReg, kWatchdogStop);
    b = read(kWatchdogReg, 1)[0];
    return (b & kWatchdogBit) == 0;
}

void MonitorCommands::enterPromptM() {
    const std::string g = readGeneration();
    if (g == "B") {
        write(kModeReg, kModeKeyB);
    } else if (g == "B+") {
        const std::uint8_t v = read(kModeKeyReg, 1)[0];
        write(kModeReg, v);
    }
}

void MonitorCommands::leavePromptM() {
    write(kModeReg, kModeLeave);
}

// ---- the run -----------------------------------------------------------------------------

ProgrammingRun::ProgrammingRun(ui::Platform& platform, RunContext context, image::ConfigModule& cm,
                               ModemModule& modem, config::ConfigForm& form, RunObserver& observer)
    : platform_(platform), ctx_(std::move(context)), cm_(cm), modem_(modem), form_(form),
      observer_(observer), link_(modem, platform, ctx_.stopRunning) {}

void ProgrammingRun::fail(const std::string& why) {
    if (errorCount_ == 0) errorCount_ = 1;
    if (failure_.empty()) failure_ = why;
}

bool ProgrammingRun::refuse(const std::string& text, const std::string& title,
                            const std::string& why) {
    platform_.msgBox(text, ui::Icon::Critical, ui::Buttons::OK, title);
    report_.failure = why;
    return false;
}

void ProgrammingRun::backupFailed(const std::string& where, const std::string& why) {
    const bool invalidated = report_.started;
    platform_.msgBox("The backup of the E2PROM could not be saved to " + where + " (" + why +
                         (invalidated ? "). No byte of the image was written; the E2PROM stays "
                                        "marked invalid."
                                      : "). Nothing was written to the modem."),
                     ui::Icon::Critical, ui::Buttons::OK);
    const std::string reason = "the backup could not be saved to " + where + ": " + why;
    if (invalidated)
        fail(reason);
    else
        report_.failure = reason;
}

std::string ProgrammingRun::backupDir() const {
    return options_.backupDir.empty() ? defaultBackupDir() : options_.backupDir;
}

RunReport ProgrammingRun::run(const RunOptions& options) {
    options_ = options;
    report_ = RunReport{};
    errorCount_ = 0;
    failure_.clear();
    readComplete_ = false;
    markBefore_ = 0;
    blockChanged_.fill(false);
    writeList_.assign(image::kImageSize + 1, -1);
    link_.forgetFailures();

    ctx_.stopRunning = false;
    observer_.phaseStarted(RunPhase::Connect, true);
    const auto start = std::chrono::steady_clock::now();
    {
        // Whatever ends the run releases the port: nothing may keep it, or "&Program"
        // disabled. Its time is taken once the port is released.
        const ScopeExit release([this, start] {
            modem_.closePort();
            ctx_.portOpened = false;
            report_.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            observer_.finished(report_);
        });
        runPhases();
    }
    return report_;
}

void ProgrammingRun::runPhases() {
    // Values the window cannot store would be programmed as something else: stop first.
    if (rules() && !options_.readOnly && !form_.confirmStorable()) {
        report_.failure = form_.storageProblem();
        return;
    }
    // What can be found out without the modem is, before its port opens: nothing on the
    // modem is touched for a file that cannot be read or a backup that cannot be written.
    if (!checkPatchFile()) return;
    if (writes() && options_.backup && !checkBackupFolder()) return;
    if (!connect() || !checkModem()) return;
    invalidate();
    readAndPlan();
    backUp();
    writeBytes();
    verify();
    validate();
    reportOutcome();
}

bool ProgrammingRun::connect() {
    OpenOutcome r = OpenOutcome::Ready;
    if (!options_.device.empty()) {
        report_.device = options_.device;
        report_.port = options_.portName.empty() ? options_.device : options_.portName;
        do
            r = modem_.openModemDevice(options_.device, options_.portText);
        while (r == OpenOutcome::Retry);
        if (r != OpenOutcome::Ready) {
            report_.failure = "no modem answered on " + options_.device;
            return false;
        }
    } else if (ctx_.portSelected || !ctx_.portOpened) {
        // A port chosen in an earlier run is tried first; every retry asks anew.
        r = modem_.openModem(ctx_.portSelected ? modem_.chosenCom : 0);
        while (r == OpenOutcome::Retry)
            r = modem_.openModem(0);
        if (r == OpenOutcome::GiveUp) {
            report_.failure = "no modem answered";
            ctx_.portSelected = false;
            return false;
        }
        ctx_.portSelected = true;
    }
    ctx_.portOpened = true;
    report_.started = true;
    if (options_.device.empty()) {
        report_.device = comDeviceName(modem_.chosenCom);
        report_.port = "COM" + std::to_string(modem_.chosenCom);
    }
    return true;
}

bool ProgrammingRun::checkModem() {
    observer_.phaseStarted(RunPhase::Identify, !ctx_.stopRunning);
    const image::Product& product = ctx_.product;
    std::string name;
    if (!ctx_.stopRunning) {
        name = link_.readInterfaceType();
        if (!interfaceAccepted(product, name)) {
            const std::string text =
                product.utopia ? std::string(kMismatchText) +
                                     "Please switch modem or exit and change to MII mode."
                               : "The modem you have selected (" + name +
                                     ") does not match this application." +
                                     "Please switch modem or exit and change to ATM mode.";
            return refuse(text, kInterfaceTitle,
                          "the modem's interface (" + name + ") does not match the product");
        }
    }
    const std::string generation = link_.readGeneration();
    if (generation != (product.bplus ? "B+" : "B") && !ctx_.stopRunning)
        return refuse(kMismatchText, "Modem type mismatch",
                      "the modem's generation (" + generation + ") does not match the product");
    observer_.modemIdentified(name, generation);
    report_.interfaceName = name;
    report_.generation = generation;
    // A run that only reads leaves the modem as it found it, its watchdog included.
    if (!writes()) return true;

    // The watchdog of the one revision that has it running.
    const std::uint8_t revision = link_.read(kRevisionReg, 1)[0];
    if (revision == kRevisionWithWatchdog && product.bplus && !link_.watchdogOff() &&
        !ctx_.stopRunning)
        return refuse("Program could not turn off the watch dog.", "Watch dog error",
                      "the watchdog could not be turned off");
    return true;
}

bool ProgrammingRun::checkPatchFile() {
    if (options_.readOnly) return true;
    std::string why;
    if (image::readPatchFile(ctx_.patchPath, &why)) return true;
    platform_.msgBox("Error Loading Patch File : \r" + ctx_.patchPath + "\r" + why,
                     ui::Icon::Critical, ui::Buttons::OK, ui::kProgramTitle);
    report_.failure = "the patch file " + ctx_.patchPath + " could not be read: " + why;
    return false;
}

bool ProgrammingRun::checkBackupFolder() {
    // The folder must take a whole image: a full disk is found before the modem is touched.
    const std::string folder =
        options_.backupFile.empty() ? backupDir() : parentFolder(options_.backupFile);
    std::string why;
    if (backupFolderWritable(folder, &why, image::kImageSize)) return true;
    backupFailed(options_.backupFile.empty() ? folder : options_.backupFile, why);
    return false;
}

void ProgrammingRun::invalidate() {
    const bool working = writes() && going();
    observer_.phaseStarted(RunPhase::Invalidate, working);
    if (!working) return;
    // The validity mark as the modem holds it, for the backup: it is cleared next.
    if (options_.backup) {
        markBefore_ = link_.read(address(0), 1)[0];
        if (ctx_.stopRunning) return;
    }
    link_.enterPromptM();
    if (link_.waitPrompt("M")) {
        link_.write(address(0), kInvalidMark);
    } else {
        fail("the modem did not change its prompt to M>");
        platform_.msgBox("Program could not change the modem prompt to M.", ui::Icon::Critical,
                         ui::Buttons::OK, kErrorTitle);
    }
    link_.leavePromptM();
}

void ProgrammingRun::decideWanted() {
    if (rules())
        form_.sendDigToModem();
    else
        cm_.clearOverrides();
    // Read once, completely: the check must compare against the same image.
    std::string why;
    if (auto loaded = image::readPatchFile(ctx_.patchPath, &why))
        file_ = loaded->bytes;
    else
        fail("the patch file " + ctx_.patchPath + " could not be read: " + why);
    // The MII B+ window programs its vendor PHY bytes over the file's.
    const bool phy = ctx_.product.bplus && !ctx_.product.utopia;
    for (int k = 0; k < kImageSize; ++k) {
        const std::uint8_t f = image::wantedByte(cm_, file_, k);
        std::uint8_t d = f;
        if (rules() && k == image::kWatchdogOffset && ctx_.product.bplus &&
            (f & kWatchdogBit) == 0 && !ctx_.watchdogEnabled)
            d = static_cast<std::uint8_t>(f | kWatchdogBit);
        if (rules() && phy && k >= image::kPhyOffset && k < image::kPhyOffset + 5)
            d = cm_.phyBytes[static_cast<std::size_t>(k - image::kPhyOffset)];
        decided_[static_cast<std::size_t>(k)] = d;
    }
}

void ProgrammingRun::readAndPlan() {
    observer_.phaseStarted(RunPhase::Read, going());
    file_ = {};
    decided_ = {};
    if (!options_.readOnly) decideWanted();
    auto events = [this] { platform_.events().processEvents(); };
    int blocksRead = 0;
    for (int b = 0; b < kBlockCount && going(); ++b) {
        const int block = kBlockSize * b;
        const ReadReply modemBlock = link_.read(address(block), kBlockSize);
        events();
        for (int i = 0; i < kBlockSize; ++i) {
            const auto at = static_cast<std::size_t>(block + i);
            const std::uint8_t m = modemBlock[static_cast<std::size_t>(i)];
            report_.modemImage[at] = m;
            if (!options_.readOnly) {
                // A block is reread when its modem bytes differ from the file, whatever the
                // rules then decide to write.
                if (m != image::wantedByte(cm_, file_, block + i))
                    blockChanged_[static_cast<std::size_t>(b)] = true;
                if (m != decided_[at]) {
                    writeList_[at] = decided_[at];
                    blockChanged_[static_cast<std::size_t>(b)] = true;
                } else {
                    writeList_[at] = -1;
                }
            }
            events();
        }
        observer_.blockDone(RunPhase::Read, b);
        if (modemBlock.ok) ++blocksRead;
    }
    report_.bytesRead = blocksRead * kBlockSize;
    readComplete_ = blocksRead == kBlockCount && going();
    if (!readComplete_) return;
    report_.imagesKnown = true;
    report_.imageBefore = report_.modemImage;
    // The mark from before the invalidation, when it was read for the backup.
    if (writes() && options_.backup) report_.imageBefore[0] = markBefore_;
    report_.imageAfter = report_.modemImage;
    if (options_.readOnly) return;
    if (options_.verifyOnly)
        compareWithModem();
    else
        plan();
}

void ProgrammingRun::plan() {
    int planned = 0;
    for (int k = 1; k < kImageSize; ++k) {
        const auto at = static_cast<std::size_t>(k);
        if (writeList_[at] == -1) continue;
        ++planned;
        if (options_.dryRun)
            report_.planned.push_back(
                {k, static_cast<std::uint8_t>(writeList_[at]), report_.modemImage[at]});
    }
    observer_.bytesPlanned(planned);
    if (!writes()) return;
    std::vector<int> check;
    for (int b = 0; b < kBlockCount; ++b)
        if (blockChanged_[static_cast<std::size_t>(b)]) check.push_back(b);
    observer_.checkPlanned(check);
}

void ProgrammingRun::compareWithModem() {
    // What a run would leave there: the bytes it decides, and the validity mark.
    for (int k = 0; k < kImageSize; ++k) {
        const auto at = static_cast<std::size_t>(k);
        const std::uint8_t wanted = k == 0 ? kValidMark : decided_[at];
        if (report_.modemImage[at] != wanted)
            report_.mismatches.push_back({k, wanted, report_.modemImage[at]});
    }
    report_.bytesVerified = kImageSize;
    if (!report_.mismatches.empty())
        fail(std::to_string(report_.mismatches.size()) +
             " byte(s) differ from what programming the file would leave");
}

void ProgrammingRun::backUp() {
    // The E2PROM as it was, saved before the first byte of the image is written.
    if (!writes() || !readComplete_ || !options_.backup) return;
    observer_.phaseStarted(RunPhase::Backup, true);
    const std::string path = options_.backupFile.empty()
                                 ? newBackupPath(backupDir(), ctx_.product.modeCode)
                                 : options_.backupFile;
    // The modem's content as it was before the run: offset 0 from before the invalidation.
    image::Image content = report_.modemImage;
    content[0] = markBefore_;
    std::string why;
    if (!saveBackup(path, content, &why)) {
        // No empty file that looks like a backup is left behind.
        std::error_code ec;
        if (options_.backupFile.empty()) std::filesystem::remove(path, ec);
        backupFailed(path, why);
        return;
    }
    report_.backupPath = path;
    if (options_.backupFile.empty()) pruneBackups(backupDir(), options_.keepBackups, path);
}

void ProgrammingRun::writeBytes() {
    // Offsets 1..8191 only: offset 0 is the validity mark.
    if (!writes()) return;
    const bool working = going();
    observer_.phaseStarted(RunPhase::Write, working);
    if (!working) return;
    link_.enterPromptM();
    for (int k = 0; k < kImageSize; ++k) {
        if (ctx_.stopRunning) break;
        const std::int16_t v = writeList_[static_cast<std::size_t>(k)];
        if (k != 0 && v != -1) {
            if (link_.write(address(k), static_cast<std::uint8_t>(v)))
                report_.imageAfter[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v);
            ++report_.bytesWritten;
            observer_.byteWritten(k);
        }
        if (k % kBlockSize == 0) observer_.blockDone(RunPhase::Write, k / kBlockSize);
        platform_.events().processEvents();
    }
    link_.leavePromptM();
}

void ProgrammingRun::verify() {
    // Only the blocks that received bytes are read back.
    if (!writes()) return;
    observer_.phaseStarted(RunPhase::Verify, going());
    for (int b = 0; b < kBlockCount && going(); ++b) {
        const int block = kBlockSize * b;
        if (blockChanged_[static_cast<std::size_t>(b)]) {
            const ReadReply modemBlock = link_.read(address(block), kBlockSize);
            if (modemBlock.ok) {
                report_.bytesVerified += kBlockSize;
                std::copy(modemBlock.bytes.begin(), modemBlock.bytes.end(),
                          report_.imageAfter.begin() + block);
            }
            // A reply that failed holds nothing worth comparing; the run fails anyway.
            for (int i = 0; i < kBlockSize && !ctx_.stopRunning; ++i) {
                const int k = block + i;
                const auto at = static_cast<std::size_t>(k);
                const std::uint8_t m = modemBlock[static_cast<std::size_t>(i)];
                if (m == decided_[at] || k == 0) {
                    writeList_[at] = -1;
                } else {
                    writeList_[at] = decided_[at];
                    ++errorCount_;
                    report_.mismatches.push_back({k, decided_[at], m});
                }
            }
        }
        observer_.blockDone(RunPhase::Verify, b);
    }
}

void ProgrammingRun::validate() {
    if (!writes() || !going()) return;
    observer_.phaseStarted(RunPhase::Validate, true);
    link_.enterPromptM();
    link_.write(address(0), kValidMark);
    link_.leavePromptM();
    const ReadReply mark = link_.read(address(0), 1);
    const std::uint8_t b = mark[0];
    if (mark.ok) report_.imageAfter[0] = b;
    if (b != kValidMark) {
        errorCount_ = 1;
        if (!ctx_.stopRunning) report_.mismatches.push_back({0, kValidMark, b});
    }
}

std::string ProgrammingRun::failureReason() const {
    if (!failure_.empty()) return failure_;
    if (!report_.mismatches.empty())
        return std::to_string(report_.mismatches.size()) + " byte(s) did not read back as written";
    if (!link_.firstFailure().empty()) return "no proper answer to " + link_.firstFailure();
    return "the run was stopped";
}

std::string ProgrammingRun::failureDetail() const {
    const RunReport& r = report_;
    std::vector<std::string> lines;
    if (!r.completed) {
        if (!r.mismatches.empty())
            lines = mismatchLines(r.mismatches);
        else if (!link_.firstFailure().empty() && failure_.empty())
            lines.push_back("No proper answer to: " + link_.firstFailure());
        else
            lines.push_back(r.failure);
    }
    if (!r.backupPath.empty()) lines.push_back("Backup of the E2PROM as read: " + r.backupPath);
    std::string detail;
    for (const std::string& line : lines)
        detail += (detail.empty() ? "" : "\n") + line;
    return detail;
}

std::string ProgrammingRun::readFailureText() const {
    if (options_.verifyOnly && readComplete_ && !report_.mismatches.empty())
        return "The modem's E2PROM differs at " + std::to_string(report_.mismatches.size()) +
               " offset(s) from what programming the file would leave there.";
    if (report_.bytesRead == 0 && !failure_.empty())
        return "Nothing was read from the modem: " + failure_ + ".";
    return "Reading the modem's E2PROM failed: " + report_.failure + ".";
}

void ProgrammingRun::reportOutcome() {
    observer_.progressEnded();
    RunReport& r = report_;
    r.completed = going();
    if (!r.completed) r.failure = failureReason();
    if (writes()) r.detail = failureDetail();
    observer_.outcomeDecided(r);
    if (!writes()) {
        // Nothing was programmed, so the message says what failed instead.
        if (!r.completed) platform_.msgBox(readFailureText(), ui::Icon::Critical, ui::Buttons::OK);
        return;
    }
    if (!r.completed)
        platform_.msgBox("An error occurred while programming the E2.", ui::Icon::Critical,
                         ui::Buttons::OK, kErrorTitle, r.detail);
    else
        platform_.msgBox("Programming completed.", ui::Icon::Information, ui::Buttons::OK,
                         "Programming completed", r.detail);
}

} // namespace rw::modem

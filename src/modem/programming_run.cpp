#include "modem/programming_run.h"

#include "modem/backup.h"

#include <cstdio>
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

std::string hex(unsigned value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", width, value);
    return buf;
}

} // namespace

// ---- register routines -------------------------------------------------------------------

std::string InterfaceName(std::uint8_t b) {
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

bool InterfaceAccepted(int mode, const std::string& name) {
    if (mode == 2 || mode == 4)
        return name.find("Utopia") != std::string::npos || name == "T1/E1 repeater";
    if (mode == 1 || mode == 3)
        return name.find("7wire") != std::string::npos || name.find("MII") != std::string::npos;
    return false;
}

std::string GenerationName(std::uint8_t revision) {
    if (revision == 41 || revision == 44) return "B";
    if (revision == 49 || revision == 50) return "B+";
    return "NotBorB+";
}

std::string ReadInterfaceType(ModemModule& modem) {
    return InterfaceName(modem.ReadModem(kInterfaceReg, 1)[0]);
}

std::string ReadGeneration(ModemModule& modem) {
    return GenerationName(modem.ReadModem(kRevisionReg, 1)[0]);
}

bool WatchdogOff(ModemModule& modem) {
    std::uint8_t b = modem.ReadModem(kWatchdogReg, 1)[0];
    if ((b & kWatchdogBit) == 0) return true;
    modem.WriteModem(kUnlockReg, kUnlockValue);
    modem.WriteModem(kWatchdogReg, kWatchdogStop);
    b = modem.ReadModem(kWatchdogReg, 1)[0];
    return (b & kWatchdogBit) == 0;
}

void EnterPromptM(ModemModule& modem) {
    const std::string g = ReadGeneration(modem);
    if (g == "B") {
        modem.WriteModem(kModeReg, kModeKeyB);
    } else if (g == "B+") {
        const std::uint8_t v = modem.ReadModem(kModeKeyReg, 1)[0];
        modem.WriteModem(kModeReg, v);
    }
}

void LeavePromptM(ModemModule& modem) {
    modem.WriteModem(kModeReg, kModeLeave);
}

std::uint16_t E2Base(int mode) {
    return app::isBPlus(mode) ? 0xC000 : 0x9000;
}

std::vector<std::string> mismatchLines(const std::vector<ByteMismatch>& mismatches,
                                       std::size_t maxLines) {
    std::vector<std::string> lines;
    if (maxLines == 0) return lines;
    const bool all = mismatches.size() <= maxLines;
    const std::size_t shown = all ? mismatches.size() : maxLines - 1;
    for (std::size_t i = 0; i < shown; ++i) {
        const ByteMismatch& m = mismatches[i];
        lines.push_back(hex(static_cast<unsigned>(m.offset), 4) + ": wanted " + hex(m.wanted, 2) +
                        ", found " + hex(m.found, 2));
    }
    if (!all) lines.push_back("... and " + std::to_string(mismatches.size() - shown) + " more");
    return lines;
}

// ---- the run -----------------------------------------------------------------------------

ProgrammingRun::ProgrammingRun(ui::Platform& platform, app::RunState& run, image::ConfigModule& cm,
                               ModemModule& modem, config::ConfigForm& form, RunControls controls)
    : platform_(platform), run_(run), cm_(cm), modem_(modem), form_(form), c_(std::move(controls)) {
}

void ProgrammingRun::track() {
    const std::string& now = modem_.lastFailedCommand();
    if (now == seenFailure_) return;
    seenFailure_ = now;
    if (failedCommand_.empty()) failedCommand_ = now;
}

void ProgrammingRun::hideProgress() {
    if (c_.HideProgress) c_.HideProgress();
}

RunReport ProgrammingRun::run(const RunOptions& options) {
    RunReport report;
    failedCommand_.clear();
    const int mode = run_.CurrentMode;
    const bool bplus = app::isBPlus(mode);
    const std::uint16_t base = E2Base(mode);
    // Dry runs and reads leave the E2PROM exactly as it is, validity mark included.
    const bool writes = !options.dryRun && !options.readOnly;
    const bool rules = !options.raw;
    auto events = [this] { platform_.events().processEvents(); };

    // 1. Connecting.
    c_.Dump.setEnabled(false);
    run_.StopRunning = false;
    if (c_.ShowConnecting) c_.ShowConnecting();

    // Values the window cannot store would be programmed as something else: stop first.
    if (rules && !options.readOnly && !form_.ConfirmStorable()) {
        report.failure = form_.StoreProblem();
        c_.Dump.setEnabled(true);
        hideProgress();
        return report;
    }

    // 2. The port.
    if (!options.device.empty()) {
        int r = modem_.OpenModemDevice(options.device, options.portText);
        while (r == 1)
            r = modem_.OpenModemDevice(options.device, options.portText);
        if (r != 2) {
            report.failure = "no modem answered on " + options.device;
            c_.Dump.setEnabled(true);
            hideProgress();
            return report;
        }
    } else if (c_.PortSelected) {
        int r = modem_.OpenModem(modem_.ComNumber);
        while (r == 1)
            r = modem_.OpenModem(0);
        if (r == 0) {
            report.failure = "no modem answered";
            c_.PortSelected = false;
            c_.Dump.setEnabled(true);
            hideProgress();
            return report;
        }
    } else if (!c_.PortOpened) {
        int r = modem_.OpenModem(0);
        while (r == 1)
            r = modem_.OpenModem(0);
        if (r == 0) {
            report.failure = "no modem answered";
            c_.Dump.setEnabled(true);
            hideProgress();
            return report;
        }
        if (r == 2) c_.PortSelected = true;
    }
    c_.PortOpened = true;
    report.started = true;
    // Failures of the port probes belong to the opening, not to this run's exchanges.
    seenFailure_ = modem_.lastFailedCommand();

    auto endRun = [&](const std::string& why) {
        report.failure = why;
        modem_.closePort();
        c_.PortOpened = false;
        c_.Dump.setEnabled(true);
        hideProgress();
        return report;
    };

    // 3. Interface type.
    if (!run_.StopRunning) {
        const std::string name = ReadInterfaceType(modem_);
        track();
        if (!InterfaceAccepted(mode, name)) {
            const std::string text =
                (mode == 2 || mode == 4)
                    ? std::string(kMismatchText) +
                          "Please switch modem or exit and change to MII mode."
                    : "The modem you have selected (" + name +
                          ") does not match this application." +
                          "Please switch modem or exit and change to ATM mode.";
            platform_.msgBox(text, ui::Icon::Critical, ui::Buttons::OK, kInterfaceTitle);
            return endRun("the modem's interface (" + name + ") does not match the product");
        }
    }

    // 4. Generation.
    const std::string generation = ReadGeneration(modem_);
    track();
    const bool wrongGeneration =
        (app::isGenerationB(mode) && generation != "B") || (bplus && generation != "B+");
    if (wrongGeneration && !run_.StopRunning) {
        platform_.msgBox(kMismatchText, ui::Icon::Critical, ui::Buttons::OK, "Modem type mismatch");
        return endRun("the modem's generation (" + generation + ") does not match the product");
    }

    // 5. Watchdog of the one revision that has it running.
    const std::uint8_t revision = modem_.ReadModem(kRevisionReg, 1)[0];
    track();
    if (revision == kRevisionWithWatchdog && bplus) {
        const bool off = WatchdogOff(modem_);
        track();
        if (!off && !run_.StopRunning) {
            platform_.msgBox("Program could not turn off the watch dog.", ui::Icon::Critical,
                             ui::Buttons::OK, "Watch dog error");
            return endRun("the watchdog could not be turned off");
        }
    }

    int ErrorCount = 0;
    std::string failure;
    auto fail = [&](const std::string& why) {
        if (ErrorCount == 0) ErrorCount = 1;
        if (failure.empty()) failure = why;
    };

    // A backup folder that cannot take the file stops the run before anything is written.
    const std::string backupDir =
        options.backupDir.empty() ? defaultBackupDir() : options.backupDir;
    auto backupFailed = [&](const std::string& where, const std::string& why) {
        platform_.msgBox("The backup of the E2PROM could not be saved to " + where + " (" + why +
                             "). Nothing was written to the modem.",
                         ui::Icon::Critical, ui::Buttons::OK);
        fail("the backup could not be saved to " + where + ": " + why);
    };
    if (!run_.StopRunning && writes && options.backup) {
        const std::string folder =
            options.backupFile.empty() ? backupDir : parentFolder(options.backupFile);
        std::string why;
        if (!backupFolderWritable(folder, &why))
            backupFailed(options.backupFile.empty() ? folder : options.backupFile, why);
    }

    // 6. Invalidate.
    if (!run_.StopRunning && writes && ErrorCount == 0) {
        EnterPromptM(modem_);
        track();
        if (modem_.WaitPrompt("M")) {
            modem_.WriteModem(base, kInvalidMark);
        } else {
            fail("the modem did not change its prompt to M>");
            platform_.msgBox("Program could not change the modem prompt to M.", ui::Icon::Critical,
                             ui::Buttons::OK, kErrorTitle);
        }
        LeavePromptM(modem_);
        track();
    }

    // 7a. Read phase set-up.
    c_.ProgressBar.setValue(4);
    c_.Status.setCaption("Reading");
    c_.Abort.setVisible(true);
    std::array<bool, kBlockCount> BlockChanged{};
    std::vector<std::int16_t> WriteList(kImageSize + 1, -1);
    // The byte the modem must hold at each offset once the run is through; the check
    // compares against it, so every byte the rules decide is also verified.
    image::Image decided{};
    image::Image file{};
    if (!options.readOnly) {
        if (rules)
            form_.SendDigToModem();
        else
            cm_.ClearOverrides();
        // Read once, completely: the check must compare against the same image.
        std::string why;
        if (auto loaded = image::readPatchFile(run_.PathOfFile, &why)) {
            file = loaded->bytes;
        } else {
            fail("the patch file " + run_.PathOfFile + " could not be read: " + why);
        }
        for (int k = 0; k < kImageSize; ++k) {
            const std::uint8_t f = image::wantedByte(cm_, file, k);
            std::uint8_t d = f;
            if (rules && k == image::kWatchdogOffset && bplus && (f & kWatchdogBit) == 0 &&
                !run_.WatchdogEnabled)
                d = static_cast<std::uint8_t>(f | kWatchdogBit);
            if (rules && mode == 3 && k >= image::kPhyOffset && k < image::kPhyOffset + 5)
                d = cm_.PhyBytes[static_cast<std::size_t>(k - image::kPhyOffset)];
            decided[static_cast<std::size_t>(k)] = d;
        }
    }

    // 7b-d. Read every block and decide what to write.
    int blocksRead = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        if (run_.StopRunning || ErrorCount != 0) break;
        const int block = kBlockSize * b;
        const auto ModemBlock =
            modem_.ReadModem(static_cast<std::uint16_t>(base + block), kBlockSize);
        track();
        events();
        for (int i = 0; i < kBlockSize; ++i) {
            const int k = block + i;
            const auto at = static_cast<std::size_t>(k);
            const std::uint8_t m = ModemBlock[static_cast<std::size_t>(i)];
            report.modemImage[at] = m;
            if (!options.readOnly) {
                const std::uint8_t f = image::wantedByte(cm_, file, k);
                const std::uint8_t d = decided[at];
                if (m != f) BlockChanged[static_cast<std::size_t>(b)] = true;
                if (m != d) {
                    WriteList[at] = d;
                    BlockChanged[static_cast<std::size_t>(b)] = true;
                } else {
                    WriteList[at] = -1;
                }
            }
            events();
        }
        c_.ProgressBar.step();
        ++blocksRead;
    }
    const bool readComplete = blocksRead == kBlockCount && !run_.StopRunning && ErrorCount == 0;

    if (options.dryRun && readComplete) {
        for (int k = 1; k < kImageSize; ++k) {
            const auto at = static_cast<std::size_t>(k);
            if (WriteList[at] != -1)
                report.planned.push_back(
                    {k, static_cast<std::uint8_t>(WriteList[at]), report.modemImage[at]});
        }
    }

    // Backup of the E2PROM as read, before the first byte is written.
    if (writes && readComplete && options.backup) {
        const app::Product* product = app::productForMode(mode);
        const std::string path = options.backupFile.empty()
                                     ? newBackupPath(backupDir, product ? product->modeCode : "E2")
                                     : options.backupFile;
        std::string why;
        if (saveBackup(path, report.modemImage, &why)) {
            report.backupPath = path;
            if (options.backupFile.empty()) pruneBackups(backupDir, options.keepBackups);
        } else {
            backupFailed(path, why);
        }
    }

    // 8. Write phase, offsets 1..8191 only: offset 0 is the validity mark.
    if (writes) {
        c_.Status.setCaption("Writing");
        if (!run_.StopRunning && ErrorCount == 0) {
            EnterPromptM(modem_);
            track();
            for (int k = 0; k < kImageSize; ++k) {
                if (run_.StopRunning) break;
                const auto at = static_cast<std::size_t>(k);
                if (k != 0 && WriteList[at] != -1) {
                    modem_.WriteModem(static_cast<std::uint16_t>(base + k),
                                      static_cast<std::uint8_t>(WriteList[at]));
                    track();
                    ++report.bytesWritten;
                }
                if (k % kBlockSize == 0) c_.ProgressBar.step();
                events();
            }
            LeavePromptM(modem_);
            track();
        }
    }

    // 9. Check phase: reread the changed blocks.
    if (writes) {
        c_.Status.setCaption("Checking");
        for (int b = 0; b < kBlockCount; ++b) {
            if (run_.StopRunning || ErrorCount != 0) break;
            const int block = kBlockSize * b;
            if (BlockChanged[static_cast<std::size_t>(b)]) {
                const auto ModemBlock =
                    modem_.ReadModem(static_cast<std::uint16_t>(base + block), kBlockSize);
                track();
                // A reply that failed holds nothing worth comparing; the run fails anyway.
                if (!run_.StopRunning) {
                    for (int i = 0; i < kBlockSize; ++i) {
                        const int k = block + i;
                        const auto at = static_cast<std::size_t>(k);
                        const std::uint8_t m = ModemBlock[static_cast<std::size_t>(i)];
                        if (m == decided[at] || k == 0) {
                            WriteList[at] = -1;
                        } else {
                            WriteList[at] = decided[at];
                            ++ErrorCount;
                            report.mismatches.push_back({k, decided[at], m});
                        }
                    }
                }
            }
            c_.ProgressBar.step();
        }
    }

    // 10. Validate.
    if (writes && !run_.StopRunning && ErrorCount == 0) {
        EnterPromptM(modem_);
        track();
        modem_.WriteModem(base, kValidMark);
        track();
        LeavePromptM(modem_);
        track();
        const std::uint8_t b = modem_.ReadModem(base, 1)[0];
        track();
        if (b != kValidMark) {
            ErrorCount = 1;
            if (!run_.StopRunning) report.mismatches.push_back({0, kValidMark, b});
        }
    }

    // 11. Progress away.
    c_.Abort.setVisible(false);
    hideProgress();
    c_.Status.setCaption("");

    // 12. The outcome.
    report.completed = !run_.StopRunning && ErrorCount == 0;
    if (!report.completed) {
        if (!failure.empty())
            report.failure = failure;
        else if (!report.mismatches.empty())
            report.failure =
                std::to_string(report.mismatches.size()) + " byte(s) did not read back as written";
        else if (!failedCommand_.empty())
            report.failure = "no proper answer to " + failedCommand_;
        else
            report.failure = "the run was stopped";
    }
    std::vector<std::string> lines;
    if (!report.completed) {
        if (!report.mismatches.empty())
            lines = mismatchLines(report.mismatches);
        else if (!failedCommand_.empty() && failure.empty())
            lines.push_back("No proper answer to: " + failedCommand_);
        else
            lines.push_back(report.failure);
    }
    if (!report.backupPath.empty())
        lines.push_back("Backup of the E2PROM as read: " + report.backupPath);
    for (const std::string& line : lines)
        report.detail += (report.detail.empty() ? "" : "\n") + line;

    if (!report.completed) {
        platform_.msgBox("An error occurred while programming the E2.", ui::Icon::Critical,
                         ui::Buttons::OK, kErrorTitle, report.detail);
    } else if (writes) {
        platform_.msgBox("Programming completed.", ui::Icon::Information, ui::Buttons::OK,
                         "Programming completed", report.detail);
    }

    // 13. Release the port.
    modem_.closePort();
    c_.PortOpened = false;
    c_.Dump.setEnabled(true);
    return report;
}

} // namespace rw::modem

// The programming run: check the modem on the line, then bring its E2PROM into agreement
// with the current patch file as the configuration window overrides it, writing only the
// bytes that differ and verifying every byte written.
#pragma once

#include "app/run_state.h"
#include "config/config_form.h"
#include "image/config_module.h"
#include "modem/modem_module.h"
#include "ui/controls.h"
#include "ui/platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rw::modem {

// The main window's controls and state the run works with.
struct RunControls {
    ui::Button& Dump;
    ui::Button& Abort;
    ui::Label& Status;
    ui::ProgressBar& ProgressBar;
    std::function<void()> ShowConnecting;
    std::function<void()> HideProgress;
    bool& PortOpened;
    bool& PortSelected;
};

struct RunOptions {
    // Command line: open this device instead of asking for a port (empty: the GUI way).
    std::string device;
    // How the messages name that port: " 3" for COM3; empty: a blank and the device path.
    std::string portText;
    // Read and list what would be written; write nothing, not even the validity mark.
    bool dryRun = false;
    // Restore: the file's bytes exactly (no window overrides, watchdog or PHY rules).
    bool raw = false;
    // Read the whole E2PROM only (command line "read"); no writes.
    bool readOnly = false;
    // Backup of the E2PROM as read, before the first write. Empty file: a name in backupDir.
    bool backup = true;
    std::string backupFile;
    std::string backupDir;
    int keepBackups = 50;
};

struct ByteMismatch {
    int offset;
    std::uint8_t wanted;
    std::uint8_t found;
};

struct RunReport {
    bool completed = false; // "Programming completed."
    bool started = false;   // the port was opened
    std::string failure;    // why it did not complete (for the command line)
    std::vector<ByteMismatch> mismatches;
    std::vector<ByteMismatch> planned; // dry run: offset, modem (found) -> wanted
    int bytesWritten = 0;
    std::string backupPath;
    image::Image modemImage{}; // as read in the read phase
    std::string detail;        // detail of the final message box
};

class ProgrammingRun {
public:
    ProgrammingRun(ui::Platform& platform, app::RunState& run, image::ConfigModule& cm,
                   ModemModule& modem, config::ConfigForm& form, RunControls controls);
    RunReport run(const RunOptions& options = {});

private:
    // Notes the first exchange of this run that got no proper answer.
    void track();
    void hideProgress();

    ui::Platform& platform_;
    app::RunState& run_;
    image::ConfigModule& cm_;
    ModemModule& modem_;
    config::ConfigForm& form_;
    RunControls c_;
    std::string seenFailure_;
    std::string failedCommand_;
};

// Register routines.
std::string InterfaceName(std::uint8_t b); // from the byte at 8085h
bool InterfaceAccepted(int mode, const std::string& name);
std::string GenerationName(std::uint8_t revision); // "B", "B+" or "NotBorB+"

std::string ReadInterfaceType(ModemModule& modem);
std::string ReadGeneration(ModemModule& modem);
// True when the watchdog is stopped at the end (bit 2 of 8C01h clear).
bool WatchdogOff(ModemModule& modem);
void EnterPromptM(ModemModule& modem);
void LeavePromptM(ModemModule& modem);

// Modem address of E2PROM offset 0 for a product (CurrentMode 1..4).
std::uint16_t E2Base(int mode);

// "0255: wanted 14, found 15" lines for a failure report, at most `maxLines` of them (the
// last one says how many more there were when they do not all fit).
std::vector<std::string> mismatchLines(const std::vector<ByteMismatch>& mismatches,
                                       std::size_t maxLines = 50);

} // namespace rw::modem

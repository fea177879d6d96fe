// The programming run: check the modem on the line, then bring its E2PROM into agreement
// with the current patch file as the configuration window overrides it, writing only the
// bytes that differ and verifying every byte written.
#pragma once

#include "config/config_form.h"
#include "image/config_module.h"
#include "image/product.h"
#include "modem/modem_module.h"
#include "modem/run_observer.h"
#include "ui/platform.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace rw::modem {

// What the run reads of the main window, and the flags it shares with it.
struct RunContext {
    const image::Product& product;
    std::string patchPath; // the current patch file
    bool watchdogEnabled = true;
    bool& stopRunning;  // set by Abort and by every failed exchange; cleared when a run starts
    bool& portOpened;   // the run holds the port open
    bool& portSelected; // a port was chosen; later runs reuse it without asking
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
    // Read and compare with what a run would leave there (offset 0 as 55h); no writes.
    bool verifyOnly = false;
    // How the user named the port, for the report (empty: the device, or COMn of the dialog).
    std::string portName;
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
    bool completed = false;               // "Programming completed."
    bool started = false;                 // the port was opened
    std::string failure;                  // why it did not complete (for the command line)
    std::vector<ByteMismatch> mismatches; // also what a verify-only run found different
    std::vector<ByteMismatch> planned;    // dry run: offset, modem (found) -> wanted
    std::string interfaceName;            // as the modem reported them
    std::string generation;
    int bytesRead = 0; // E2PROM bytes read in the read phase
    int bytesWritten = 0;
    int bytesVerified = 0;     // bytes compared with what they must be
    std::string backupPath;    // the backup: the E2PROM as it was before the run
    image::Image modemImage{}; // as read in the read phase (offset 0 already invalidated)
    std::string detail;        // detail of the final message box
    std::string port;          // the port as the user named it ("COM3", a device path)
    std::string device;        // the device opened
    double seconds = 0;        // from the start of the run until the port was released
    // The modem's E2PROM before the run (the backup's content) and after it, as far as the
    // run saw it: after = before with every acknowledged write, then every block read back.
    // Known once the read phase has read every block.
    bool imagesKnown = false;
    image::Image imageBefore{};
    image::Image imageAfter{};
};

// The exchanges as a run makes them: a failed one shows its message and sets the abort flag,
// since the user is to learn of every exchange that got no proper answer. The register
// routines are built on them.
class MonitorCommands {
public:
    MonitorCommands(ModemModule& modem, ui::Platform& platform, bool& stopRunning)
        : modem_(modem), platform_(platform), stop_(stopRunning) {}

    ReadReply read(std::uint16_t address, int count);
    bool write(std::uint16_t address, std::uint8_t value);
    bool waitPrompt(const std::string& letter) { return modem_.waitForPrompt(letter); }

    std::string readInterfaceType();
    std::string readGeneration(); // "B", "B+" or "NotBorB+"
    // True when the watchdog is stopped at the end (bit 2 of 8C01h clear).
    bool watchdogOff();
    void enterPromptM();
    void leavePromptM();

    // The first exchange that got no proper answer ("RD 9100,100"); empty when none did.
    const std::string& firstFailure() const { return firstFailure_; }
    void forgetFailures() { firstFailure_.clear(); }

private:
    void failed(const std::string& message);
    ModemModule& modem_;
    ui::Platform& platform_;
    bool& stop_;
    std::string firstFailure_;
};

class ProgrammingRun {
public:
    ProgrammingRun(ui::Platform& platform, RunContext context, image::ConfigModule& cm,
                   ModemModule& modem, config::ConfigForm& form, RunObserver& observer);
    RunReport run(const RunOptions& options = {});

private:
    // The phases in order, until one ends the run.
    void runPhases();
    // One function per phase; false ends the run there.
    bool checkPatchFile();
    bool checkBackupFolder();
    bool connect();
    bool checkModem();
    void invalidate();
    void decideWanted();
    void readAndPlan();
    void plan();
    void compareWithModem();
    void backUp();
    void writeBytes();
    void verify();
    void validate();
    void reportOutcome();

    bool writes() const { return !options_.dryRun && !options_.readOnly && !options_.verifyOnly; }
    bool rules() const { return !options_.raw; }
    bool going() const { return !ctx_.stopRunning && errorCount_ == 0; }
    std::uint16_t address(int offset) const {
        return static_cast<std::uint16_t>(ctx_.product.e2Base + offset);
    }
    // The run failed for `why`; the first reason is kept.
    void fail(const std::string& why);
    // A check of the modem failed: its message, then the port is released.
    bool refuse(const std::string& text, const std::string& title, const std::string& why);
    void backupFailed(const std::string& where, const std::string& why);
    std::string failureReason() const;
    std::string failureDetail() const;
    // What a run that writes nothing says when it fails: what failed, not "programming".
    std::string readFailureText() const;
    std::string backupDir() const;

    ui::Platform& platform_;
    RunContext ctx_;
    image::ConfigModule& cm_;
    ModemModule& modem_;
    config::ConfigForm& form_;
    RunObserver& observer_;
    MonitorCommands link_;

    RunOptions options_;
    RunReport report_;
    int errorCount_ = 0;
    std::string failure_;
    bool readComplete_ = false;
    image::Image file_{};
    std::uint8_t markBefore_ = 0; // offset 0 before the invalidation
    // The byte the modem must hold at each offset once the run is through; the check
    // compares against it, so every byte the rules decide is also verified.
    image::Image decided_{};
    std::array<bool, image::kBlockCount> blockChanged_{};
    std::vector<std::int16_t> writeList_;
};

// Register tables.
std::string interfaceNameOf(std::uint8_t b); // from the byte at 8085h
bool interfaceAccepted(const image::Product& product, const std::string& name);
std::string generationName(std::uint8_t revision); // "B", "B+" or "NotBorB+"

// "0255: wanted 14, found 15" lines for a failure report, at most `maxLines` of them (the
// last one says how many more there were when they do not all fit).
std::vector<std::string> mismatchLines(const std::vector<ByteMismatch>& mismatches,
                                       std::size_t maxLines = 50);

} // namespace rw::modem

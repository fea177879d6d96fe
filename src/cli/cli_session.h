// The windows of one product, run headless: the welcome window's choice, the main window
// with its configuration window, and the scripted platform whose message boxes are printed.
// Everything the command line does to a file goes through these windows' own commands.
#pragma once

#include "app/main_form.h"
#include "app/welcome_form.h"
#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "ui/scripted_platform.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rw::cli {

// Thrown to end a command with its exit status; `message` (when not empty) is printed as
// the command line's own error.
struct CommandFailure {
    int exitCode;
    std::string message;
};

class Session {
public:
    // Starts the main window for the product (currentMode 1..4) as the welcome window's
    // "Continue" would; startup.ini is read from the current directory.
    Session(Console& console, int mode);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    app::MainForm& main() { return *main_; }
    config::ConfigForm& form();
    ui::ScriptedPlatform& platform() { return platform_; }
    int mode() const { return mode_; }

    // The Open command with the file dialog answering `path`. Throws exit 2 when the file
    // was refused or did not load.
    void open(const std::string& path);
    // "Default".
    void pressDefault();
    // One NAME=VALUE as a user makes it. Throws exit 2 when the value is not taken.
    void applyEdit(const FieldEdit& edit);
    // An Apply in the reserved-area editor. Throws exit 2 for products 1 and 2 and for an
    // address or value outside 00..FF.
    void applyReserved(const ReservedEdit& edit);
    // The window's "Done". Throws exit 2 when the check fails.
    void done();
    // "Illegal Parameter" for a value that cannot be stored. Throws exit 2.
    void confirmStorable();
    // The Save command with the file dialog answering `path` (and cancelling when it comes
    // back after "Mismatch file name"). Throws exit 2 when nothing was written.
    void save(const std::string& path);

    // Field names in window order and the text each shows (check boxes 0 or 1).
    std::vector<std::string> fieldNames();
    std::string shownText(const std::string& name);
    std::vector<std::pair<std::string, std::string>> shownFields();

    // Titles of the boxes shown since construction.
    const std::vector<ui::RecordedBox>& boxes() const { return platform_.boxes.shown; }

private:
    Console& console_;
    int mode_;
    ui::ScriptedPlatform platform_;
    app::WelcomeForm welcome_;
    std::unique_ptr<app::MainForm> main_;
};

// The product of a command: --product, else the file name's third and fourth characters.
// Throws exit 2 when neither gives one.
int productFor(const Arguments& args, const std::vector<std::string>& namesToTry);

// A path made absolute against the current directory, so that a bare file name still has a
// folder in front of it as the windows expect.
std::string absolutePath(const std::string& path);

} // namespace rw::cli

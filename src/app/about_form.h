// The About box: software and hardware versions, the opened patch file's version byte and
// the last backup taken before programming.
#pragma once

#include "ui/controls.h"

#include <functional>
#include <string>

namespace rw::app {

class AboutForm : public ui::Form {
public:
    AboutForm();

    ui::Label& ModeLabel;
    ui::Label& Label3;
    ui::Label& EEPROMversion;
    ui::Label& Label4;
    ui::Label& Label6;
    ui::Label& Label5;
    ui::Label& Label7;
    ui::Picture& Picture1;
    ui::Label& Label8;     // "Last backup:"
    ui::Label& LastBackup; // path of the last backup; empty until one exists
    ui::Button& DoneCommand;

    void onDoneCommand() { hide(); }
    // Closed by the window frame: hidden, and the main window is told.
    void closedByFrame();
    void setLastBackup(const std::string& path) { LastBackup.setCaption(path); }

    std::function<void()> onUnload;
};

} // namespace rw::app

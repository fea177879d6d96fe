// What a window that edits a file offers beyond its controls: the file's name for the title,
// whether it was edited, status texts, menu commands and the files it accepts by drag and
// drop. Toolkit-free; the Qt layer draws it as title, status bar and menu bar.
#pragma once

#include "ui/controls.h"

#include <functional>
#include <string>
#include <vector>

namespace rw::ui {

// One entry of a menu bar. A command bound to a button clicks it as a user would (the same
// handler, refused when the button is disabled); otherwise `run` is called.
struct MenuCommand {
    std::string menu{}; // "&File"
    std::string text{}; // "&Open File..."; empty: a separator
    Button* button = nullptr;
    std::function<void()> run{};
    std::function<bool()> enabled{}; // commands without a button: when they can be used
    bool hiddenWithButton = false;   // not offered while the button is hidden
    std::string shortcut{};          // "Ctrl+O"
    // A submenu whose entries are these texts (Open Recent); picking one calls `pick`.
    std::function<std::vector<std::string>()> items{};
    std::function<void(int index)> pick{};
};

class DocumentWindow {
public:
    virtual ~DocumentWindow() = default;
    // The open file's name ("E2MP_line7.bin"); empty when none is open.
    virtual std::string documentName() const = 0;
    // Set while the file's contents were edited and not saved.
    virtual Flag& documentModified() = 0;
    // Status bar fields, left to right.
    virtual std::vector<std::string> statusTexts() const = 0;
    virtual std::vector<MenuCommand> menuCommands() = 0;
    // A file dropped on the window.
    virtual void openDropped(const std::string& path) = 0;
    // The name, the status texts or the menus' state changed.
    Signal documentChanged;
};

} // namespace rw::ui

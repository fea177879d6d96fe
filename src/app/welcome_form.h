// The start-up window: the product is chosen here, or taken from the command line.
#pragma once

#include "ui/controls.h"

#include <functional>
#include <string>

namespace rw::app {

class WelcomeForm : public ui::Form {
public:
    WelcomeForm();

    ui::Label& Label1;
    ui::Label& Label2;
    ui::ComboBox& InterfaceOption;
    ui::Button& Continue;

    // True from a command-line selection until the Open command has taken the file over.
    bool patchLoadMode = false;
    // The product chosen here (1..4), handed to the main window; 0 none.
    int currentMode = 0;
    // The whole command line as one text (see commandLineFromArgs); the Open command takes
    // it as the path while patchLoadMode is true.
    std::string commandLineText;

    // The welcome window's load: preselects the default row, then tries the command line.
    // True when the command line chose a product and onShowMain was called; otherwise the
    // welcome window is shown.
    bool onLoad(const std::string& commandLine);
    // Confirms the selected row and hands over to the main window.
    void onContinueClick();

    // The application creates and starts the main window here.
    std::function<void()> onShowMain;
};

// The row preselected when the window opens.
inline constexpr const char* kPreselectedProduct = "KRX22822  V2.2";

} // namespace rw::app

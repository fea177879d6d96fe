// The run-wide state held by the main window, and the product table.
#pragma once

#include "ui/controls.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace rw::app {

struct Product {
    int mode;                  // CurrentMode 1..4
    const char* productCode;   // welcome list row
    const char* window;        // configuration window name
    bool utopia;               // UTOPIA (ATM) interface, else MII
    bool bplus;                // generation B+, else B
    const char* modeCode;      // FileBegining
    const char* captionPrefix; // put in front of "E2 Utility"
    const char* mainLabel;     // MainLabel caption
    const char* aboutText;     // About ModeLabel text, before the version
    const char* configCaption; // configuration window caption
};

extern const std::array<Product, 4> kProducts;
// Nullptr for anything but 1..4.
const Product* productForMode(int mode);
inline bool isBPlus(int mode) {
    return mode == 3 || mode == 4;
}
inline bool isGenerationB(int mode) {
    return mode == 1 || mode == 2;
}

inline constexpr const char* kSoftwareVersion = "X.0.0.2";

struct RunState {
    std::string Dir;          // working directory; startup.ini lives here
    std::string PathOfFile;   // current patch file: last opened or saved
    std::string FileBegining; // mode code
    ui::Flag FormChange;      // configuration edited since the last open or save
    int CurrentMode = 0;      // 1..4, 0 = none
    bool StopRunning = false; // abort request for the programming run
    std::string SourceFile;   // last opened patch file (what saving copies)
    bool ExpertMode = false;
    bool WatchdogEnabled = true;
};

// Position (1-based) of the last path separator, as the window's own Last_Dir: -1 for
// texts shorter than two characters or ending in a separator; 1 when there is none after
// the first character. On POSIX '/' counts as well as '\'.
int Last_Dir(const std::string& InputString);

struct StartupSettings {
    bool ExpertMode = false;
    bool WatchdogEnabled = true;
};
// Reads Dir/startup.ini; any failure gives the defaults.
StartupSettings ReadStartupIni(const std::string& dir);
// The value rule of startup.ini lines: after the first double quote (or from the start),
// up to but not including the line's last character.
std::string iniValue(const std::string& line);
// The path of startup.ini in a folder, with the platform's separator.
std::string startupIniPath(const std::string& dir);

// '\\', and on POSIX also '/'.
bool isPathSeparator(char c);

// The product a command line names: the third and fourth characters of its file name, any
// case ("MB" 1, "UB" 2, "MP" 3, "UP" 4); 0 for none.
int modeFromCommandLine(const std::string& commandLine);

// The command line as one text: the program's arguments joined by single blanks. A relative
// path is made absolute against `currentDir`, so that a bare file name typed in a shell
// still has a folder part in front of its name.
std::string commandLineFromArgs(const std::vector<std::string>& args,
                                const std::string& currentDir);

// The saving name rule: the path holds a separator followed by the mode code (with case).
bool pathHasModeCode(const std::string& path, const std::string& modeCode);

} // namespace rw::app

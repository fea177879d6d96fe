// The run-wide state held by the main window, and the product table.
#pragma once

#include "image/product.h"
#include "ui/controls.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace rw::app {

struct RunState {
    std::string workDir;        // working directory; startup.ini lives here
    std::string pathOfFile;     // current patch file: last opened or saved
    std::string fileModeCode;   // mode code
    ui::Flag formChanged;       // configuration edited since the last open or save
    int currentMode = 0;        // 1..4, 0 = none
    bool stopRequested = false; // abort request for the programming run
    std::string sourceFile;     // last opened patch file (what saving copies)
    bool expertMode = false;
    bool watchdogOn = true;
};

// Position (1-based) of the last path separator, as the window's own routine does: -1 for
// texts shorter than two characters or ending in a separator; 1 when there is none after
// the first character. On POSIX '/' counts as well as '\'.
int lastSeparatorPosition(const std::string& input);

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

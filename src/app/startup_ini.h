// startup.ini in the working folder: four positional lines (comma- or line-separated
// fields). Line 2 names the default COM port, line 3 "expert" turns on the expert layout,
// line 4 "disabled" programs B+ modems with their watchdog switched off.
#pragma once

#include "modem/modem_module.h"

#include <optional>
#include <string>
#include <vector>

namespace rw::app {

// The path of startup.ini in a folder, with the platform's separator.
std::string startupIniPath(const std::string& dir);

// Up to `max` fields of the file at `path`; nothing when it is missing, not a regular file
// or unreadable. Only the first few kilobytes are read: the file has four short lines.
std::optional<std::vector<std::string>> readIniFields(const std::string& path, std::size_t max);

// The value rule of startup.ini lines: after the first double quote (or from the start),
// up to but not including the line's last character.
std::string iniValue(const std::string& line);

struct StartupSettings {
    bool expertMode = false;
    bool watchdogOn = true;
};
// Reads Dir/startup.ini; any failure gives the defaults.
StartupSettings readStartupIni(const std::string& dir);

// The default port kept on line 2 of startup.ini in a folder.
class StartupIniPortStore : public modem::DefaultPortStore {
public:
    explicit StartupIniPortStore(const std::string& dir) : dir_(dir) {}
    // The value of line 2; empty when the file is missing or short.
    std::string defaultPort() override;
    // Rewrites line 2 as defaultcom = "NAME" with lines 1, 3 and 4 as they were (CR LF
    // line ends); a missing or short file is left alone. False when the file could not be
    // replaced (it then stays as it was).
    void saveDefaultPort(const std::string& name) override;
    bool save(const std::string& name);

private:
    const std::string& dir_;
};

} // namespace rw::app

// Backups of the E2PROM as read before a programming run writes to it, so a modem left
// half-programmed can be brought back.
#pragma once

#include "image/config_module.h"

#include <string>

namespace rw::modem {

// The name of the application's data folder, the same for the window and the command line.
inline constexpr const char* kDataFolderName = "Romwright";

// The application's data folder: the platform's data folder + "/Romwright"
// (~/.local/share/Romwright on Linux; a folder in the home directory when the platform names
// none). The backups and the run log live there.
std::string defaultDataDir();

// defaultDataDir() + "/backups".
std::string defaultBackupDir();

// Local time now as yyyyMMdd-hhmmss (24-hour).
std::string backupStamp();

// "<mode code>_backup_<stamp>.bin"
std::string backupFileName(const std::string& modeCode, const std::string& stamp);

// Whether a file name has the form backupFileName gives (with an optional "-N" after the
// stamp, used when two backups fall into the same second).
bool isBackupFileName(const std::string& name);

// A path for a new backup in `dir` that named no file before: it is taken by creating it
// empty, so runs that back up at the same moment never share a name.
std::string newBackupPath(const std::string& dir, const std::string& modeCode);

// The folder a file path lies in.
std::string parentFolder(const std::string& path);

// Whether a file of `room` bytes can be written in `folder` (creating the folder if needed).
bool backupFolderWritable(const std::string& folder, std::string* error = nullptr,
                          std::size_t room = 0);

// Creates the folder if needed and writes the image atomically.
bool saveBackup(const std::string& path, const image::Image& bytes, std::string* error = nullptr);

// Deletes all but `keep` backups in `dir` (keep <= 0 keeps all): `justWritten` (when given)
// and the newest of the others by the stamps in their names. Names that do not parse are
// left alone. Returns how many were deleted.
int pruneBackups(const std::string& dir, int keep, const std::string& justWritten = {});

} // namespace rw::modem

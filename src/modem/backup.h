// Backups of the E2PROM as read before a programming run writes to it, so a modem left
// half-programmed can be brought back.
#pragma once

#include "image/config_module.h"

#include <string>

namespace rw::modem {

// The application's data folder + "/backups" (a folder in the home directory when the
// platform names none).
std::string defaultBackupDir();

// Local time now as yyyyMMdd-hhmmss (24-hour).
std::string backupStamp();

// "<mode code>_backup_<stamp>.bin"
std::string backupFileName(const std::string& modeCode, const std::string& stamp);

// Whether a file name has the form backupFileName gives (with an optional "-N" after the
// stamp, used when two backups fall into the same second).
bool isBackupFileName(const std::string& name);

// A path for a new backup in `dir` that does not name an existing file.
std::string newBackupPath(const std::string& dir, const std::string& modeCode);

// The folder a file path lies in.
std::string parentFolder(const std::string& path);

// Whether a file can be created in `folder` (creating the folder if needed).
bool backupFolderWritable(const std::string& folder, std::string* error = nullptr);

// Creates the folder if needed and writes the image atomically.
bool saveBackup(const std::string& path, const image::Image& bytes, std::string* error = nullptr);

// Deletes all but the newest `keep` backups in `dir` (keep <= 0 keeps all). Returns how
// many were deleted.
int pruneBackups(const std::string& dir, int keep);

} // namespace rw::modem

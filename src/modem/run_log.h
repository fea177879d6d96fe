// The run log: one JSON line for every modem run, GUI or command line, appended to
// runs.jsonl in the application's data folder beside the backups, so a bench can show what
// each modem got and from which file.
#pragma once

#include "image/product.h"
#include "modem/programming_run.h"

#include <QJsonObject>
#include <QJsonValue>

#include <optional>
#include <string>
#include <vector>

namespace rw::modem {

inline constexpr const char* kRunLogName = "runs.jsonl";

// runs.jsonl beside the backup folder `backupDir` (empty: the default one, so the log is in
// the data folder).
std::string runLogPath(const std::string& backupDir = {});

// What a run is called in the log: "program", "restore", "verify", "read" or "dry-run".
std::string runCommandName(const RunOptions& options);

// SHA-256 in lower-case hex.
std::string sha256Hex(const image::Image& bytes);

// A text as a JSON string, or null when empty: what the log and the command line's JSON say
// of a value nobody has.
QJsonValue textOrNull(const std::string& s);
// Of a whole regular file; empty when it is none or cannot be read.
std::string fileSha256Hex(const std::string& path);

// The line of a run: time, host, user, product, command, port, device, the patch file and its
// SHA-256, the modem's image SHA-256 before and after, bytes written, result, message,
// seconds and the backup. Unknown values are null.
QJsonObject runLogEntry(const RunOptions& options, const image::Product& product,
                        const std::string& patchPath, const RunReport& report);

// Appends `entry` as one line, with one write of the whole line to a file opened for
// appending, so runs that end at the same moment neither mix nor lose lines.
bool appendRunLog(const std::string& path, const QJsonObject& entry, std::string* error = nullptr);

// The run's entry appended to runLogPath(options.backupDir).
bool logRun(const RunOptions& options, const image::Product& product, const std::string& patchPath,
            const RunReport& report, std::string* error = nullptr);

struct RunLogContents {
    std::vector<std::string> lines;   // the lines that are JSON objects, oldest first
    std::vector<QJsonObject> entries; // the same, parsed
    int unreadable = 0;               // lines that are not (a line cut off by a crash)
};

// The log at `path`; nothing, with the reason, when it cannot be read. A missing file is an
// empty log.
std::optional<RunLogContents> readRunLog(const std::string& path, std::string* error = nullptr);

} // namespace rw::modem

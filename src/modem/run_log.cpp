#include "modem/run_log.h"

#include "image/file_io.h"
#include "modem/backup.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSysInfo>

#ifdef _WIN32
#include <windows.h>

#include <system_error>
#endif

namespace rw::modem {

namespace {

QString userName() {
    for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
        const QString v = qEnvironmentVariable(name);
        if (!v.isEmpty()) return v;
    }
    return {};
}

// Local time with its offset from UTC, to the second: 2026-12-06T18:15:00+01:00.
QString timeNow() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
}

QString resultOf(const std::string& command, const RunReport& r) {
    if (r.completed) return "completed";
    const bool compared = command == "verify" && r.bytesVerified > 0 && !r.mismatches.empty();
    return compared ? "differs" : "failed";
}

#ifdef _WIN32
// Opened for appending only: each write then lands at the end as one piece, as O_APPEND
// gives elsewhere.
bool appendOnce(const std::string& path, const QByteArray& line, std::string* error) {
    const std::wstring name = QString::fromStdString(path).toStdWString();
    const HANDLE h = CreateFileW(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = std::system_category().message(static_cast<int>(GetLastError()));
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(h, line.constData(), static_cast<DWORD>(line.size()), &written, nullptr) &&
        written == static_cast<DWORD>(line.size()) && FlushFileBuffers(h);
    if (!ok && error) *error = std::system_category().message(static_cast<int>(GetLastError()));
    CloseHandle(h);
    return ok;
}
#else
bool appendOnce(const std::string& path, const QByteArray& line, std::string* error) {
    // Append mode is O_APPEND, unbuffered is one write() of the whole line: the system puts
    // each such write at the end of the file as one piece.
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        if (error) *error = f.errorString().toStdString();
        return false;
    }
    const qint64 n = f.write(line);
    if (n != line.size() || !f.flush()) {
        if (error) *error = n < 0 ? f.errorString().toStdString() : "the line was cut short";
        return false;
    }
    return true;
}
#endif

} // namespace

std::string runLogPath(const std::string& backupDir) {
    const std::string folder = backupDir.empty() ? defaultBackupDir() : backupDir;
    const QString clean = QDir::cleanPath(QString::fromStdString(folder));
    return parentFolder(clean.toStdString()) + "/" + kRunLogName;
}

std::string runCommandName(const RunOptions& options) {
    if (options.readOnly) return "read";
    if (options.verifyOnly) return "verify";
    if (options.dryRun) return "dry-run";
    return options.raw ? "restore" : "program";
}

QJsonValue textOrNull(const std::string& s) {
    return s.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(s));
}

std::string sha256Hex(const image::Image& bytes) {
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().toStdString();
}

std::string fileSha256Hex(const std::string& path) {
    // A FIFO or a device could block or never end.
    if (path.empty() || !image::notARegularFile(path).empty()) return {};
    QFile f(QString::fromStdString(path));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!f.open(QIODevice::ReadOnly) || !hash.addData(&f)) return {};
    return hash.result().toHex().toStdString();
}

QJsonObject runLogEntry(const RunOptions& options, const image::Product& product,
                        const std::string& patchPath, const RunReport& r) {
    const std::string command = runCommandName(options);
    const bool hasFile = !options.readOnly;
    const bool writes = command == "program" || command == "restore";
    const std::string message =
        r.completed ? (writes ? "Programming completed." : std::string()) : r.failure;
    const std::string port = r.port.empty() ? options.portName : r.port;
    const std::string device = r.device.empty() ? options.device : r.device;
    return QJsonObject{
        {"time", timeNow()},
        {"host", QSysInfo::machineHostName()},
        {"user", textOrNull(userName().toStdString())},
        {"product", QString::fromLatin1(product.modeCode)},
        {"command", QString::fromStdString(command)},
        {"port", textOrNull(port.empty() ? device : port)},
        {"device", textOrNull(device)},
        {"patchFile", textOrNull(hasFile ? patchPath : std::string())},
        {"patchSha256", textOrNull(hasFile ? fileSha256Hex(patchPath) : std::string())},
        {"imageBefore", textOrNull(r.imagesKnown ? sha256Hex(r.imageBefore) : std::string())},
        {"imageAfter", textOrNull(r.imagesKnown ? sha256Hex(r.imageAfter) : std::string())},
        {"bytesWritten", r.bytesWritten},
        {"result", resultOf(command, r)},
        {"message", textOrNull(message)},
        {"seconds", static_cast<double>(static_cast<long long>(r.seconds * 100)) / 100},
        {"backup", textOrNull(r.backupPath)},
    };
}

bool appendRunLog(const std::string& path, const QJsonObject& entry, std::string* error) {
    const QString folder = QString::fromStdString(parentFolder(path));
    if (!QDir().mkpath(folder)) {
        if (error) *error = "cannot create the folder " + folder.toStdString();
        return false;
    }
    // Compact JSON has no line end inside, so the line is the whole entry.
    return appendOnce(path, QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n', error);
}

bool logRun(const RunOptions& options, const image::Product& product, const std::string& patchPath,
            const RunReport& report, std::string* error) {
    return appendRunLog(runLogPath(options.backupDir),
                        runLogEntry(options, product, patchPath, report), error);
}

std::optional<RunLogContents> readRunLog(const std::string& path, std::string* error) {
    RunLogContents log;
    QFile f(QString::fromStdString(path));
    if (!f.exists()) return log;
    if (const std::string why = image::notARegularFile(path); !why.empty()) {
        if (error) *error = why;
        return std::nullopt;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString().toStdString();
        return std::nullopt;
    }
    const QByteArray all = f.readAll();
    for (const QByteArray& line : all.split('\n')) {
        if (line.trimmed().isEmpty()) continue;
        QJsonParseError parsed{};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &parsed);
        if (parsed.error != QJsonParseError::NoError || !doc.isObject()) {
            ++log.unreadable;
            continue;
        }
        log.lines.push_back(line.toStdString());
        log.entries.push_back(doc.object());
    }
    return log;
}

} // namespace rw::modem

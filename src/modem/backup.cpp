#include "modem/backup.h"

#include "image/file_io.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>
#include <charconv>
#include <regex>
#include <vector>

namespace rw::modem {

namespace {

const std::regex& backupPattern() {
    static const std::regex re(R"(^[A-Za-z0-9]+_backup_([0-9]{8}-[0-9]{6})(?:-([0-9]+))?\.bin$)");
    return re;
}

bool ensureFolder(const QString& dir, std::string* error) {
    if (dir.isEmpty() || QDir().mkpath(dir)) return true;
    if (error) *error = "cannot create the folder " + dir.toStdString();
    return false;
}

QString folderOf(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).absolutePath();
}

} // namespace

std::string defaultDataDir() {
    // Named here, not by the application object: the window and the command line name
    // theirs differently, yet keep their backups and their log in one place.
    const QString generic = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString base =
        generic.isEmpty() ? QDir::homePath() + "/.romwright" : generic + "/" + kDataFolderName;
    return base.toStdString();
}

std::string defaultBackupDir() {
    return defaultDataDir() + "/backups";
}

std::string backupStamp() {
    return QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss").toStdString();
}

std::string backupFileName(const std::string& modeCode, const std::string& stamp) {
    return modeCode + "_backup_" + stamp + ".bin";
}

bool isBackupFileName(const std::string& name) {
    return std::regex_match(name, backupPattern());
}

std::string newBackupPath(const std::string& dir, const std::string& modeCode) {
    const std::string stamp = backupStamp();
    for (int n = 1;; ++n) {
        std::string path = dir + "/" + modeCode + "_backup_" + stamp;
        if (n > 1) path.append("-").append(std::to_string(n));
        path.append(".bin");
        // Taken by creating it, which fails for a name that exists: runs on other ports that
        // back up in the same second each get a name of their own.
        QFile reserved(QString::fromStdString(path));
        if (reserved.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return path;
        // A folder that takes no file: the backup's own write will say why.
        if (!reserved.exists()) return path;
    }
}

std::string parentFolder(const std::string& path) {
    return folderOf(path).toStdString();
}

bool backupFolderWritable(const std::string& folder, std::string* error, std::size_t room) {
    const QString dir = QString::fromStdString(folder);
    if (!ensureFolder(dir, error)) return false;
    QTemporaryFile probe(dir + "/.romwright-probe-XXXXXX");
    if (!probe.open()) {
        if (error) *error = probe.errorString().toStdString();
        return false;
    }
    probe.close(); // the name stays taken until the probe goes
    // Written as the backup will be, so a full disk fails here with the same reason.
    return room == 0 ||
           image::writeFileWhole(probe.fileName().toStdString(), std::string(room, '\xFF'), error);
}

bool saveBackup(const std::string& path, const image::Image& bytes, std::string* error) {
    if (!ensureFolder(folderOf(path), error)) return false;
    return image::writePatchFile(path, bytes, error);
}

int pruneBackups(const std::string& dir, int keep, const std::string& justWritten) {
    if (keep <= 0) return 0;
    struct Entry {
        std::string stamp;
        unsigned long long serial;
        QString path;
    };
    const QString spared = QFileInfo(QString::fromStdString(justWritten)).absoluteFilePath();
    std::vector<Entry> found;
    const QDir d(QString::fromStdString(dir));
    for (const QFileInfo& fi : d.entryInfoList(QDir::Files)) {
        const std::string name = fi.fileName().toStdString();
        std::smatch m;
        if (!std::regex_match(name, m, backupPattern()) || fi.absoluteFilePath() == spared)
            continue;
        unsigned long long serial = 1;
        if (m[2].matched) {
            // A name whose number does not fit is no backup of ours: left alone.
            const std::string digits = m[2].str();
            const auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), serial);
            if (ec != std::errc() || end != digits.data() + digits.size()) continue;
        }
        found.push_back({m[1].str(), serial, fi.absoluteFilePath()});
    }
    // The backup just written counts among those kept, whatever its name says of its age: a
    // clock that was once wrong must not make it the first to go.
    const std::size_t others = static_cast<std::size_t>(keep) - (justWritten.empty() ? 0 : 1);
    if (found.size() <= others) return 0;
    // Newest first: by the stamp in the name, then by the same-second serial.
    std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
        if (a.stamp != b.stamp) return a.stamp > b.stamp;
        if (a.serial != b.serial) return a.serial > b.serial;
        return a.path > b.path;
    });
    int removed = 0;
    for (std::size_t i = others; i < found.size(); ++i)
        if (QFile::remove(found[i].path)) ++removed;
    return removed;
}

} // namespace rw::modem

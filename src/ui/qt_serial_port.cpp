#include "ui/qt_serial_port.h"

#include <QCoreApplication>
#include <QSerialPort>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

namespace rw::ui {

LineSettings parseLineSettings(const std::string& text) {
    LineSettings s;
    std::vector<std::string> parts;
    std::stringstream ss(text);
    std::string part;
    while (std::getline(ss, part, ',')) {
        part.erase(0, part.find_first_not_of(' '));
        part.erase(part.find_last_not_of(' ') + 1);
        parts.push_back(part);
    }
    try {
        if (parts.size() > 0 && !parts[0].empty()) {
            const int baud = std::stoi(parts[0]);
            if (baud > 0) s.baud = baud;
        }
        if (parts.size() > 1 && parts[1].size() == 1) {
            const char p = static_cast<char>(std::toupper(static_cast<unsigned char>(parts[1][0])));
            if (std::string("NEOMS").find(p) != std::string::npos) s.parity = p;
        }
        if (parts.size() > 2 && !parts[2].empty()) {
            const int bits = std::stoi(parts[2]);
            if (bits >= 5 && bits <= 8) s.dataBits = bits;
        }
        if (parts.size() > 3) {
            if (parts[3] == "1" || parts[3] == "2" || parts[3] == "1.5")
                s.stopBits = std::stod(parts[3]);
        }
    } catch (const std::exception&) {
        // A number that does not read keeps its default.
    }
    return s;
}

static QSerialPort::Parity qtParity(char p) {
    switch (p) {
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

static QSerialPort::StopBits qtStopBits(double s) {
    if (s == 2) return QSerialPort::TwoStop;
    if (s == 1.5) return QSerialPort::OneAndHalfStop;
    return QSerialPort::OneStop;
}

// Whether a device of that name is there. Windows' port names (COM3) are no paths to test.
static bool deviceExists(const std::string& name) {
#ifdef _WIN32
    (void)name;
    return true;
#else
    std::error_code ec;
    return std::filesystem::exists(name, ec);
#endif
}

// Qt's port watches its descriptor through the thread's event dispatcher, which only an
// application object provides. The command line and the tests have none and need no event
// loop, so one is made here and kept for the life of the process.
void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "romwright";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc,
                         argv); // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks): kept on purpose
}

QtSerialPort::QtSerialPort() {
    ensureApplication();
    port_ = std::make_unique<QSerialPort>();
}

QtSerialPort::~QtSerialPort() {
    close();
}

void QtSerialPort::setPortName(const std::string& device) {
    if (open_) close();
    name_ = device;
}

void QtSerialPort::setSettings(const std::string& settings) {
    settings_ = parseLineSettings(settings);
}

OpenResult QtSerialPort::open() {
    if (open_) close();
    port_->setPortName(QString::fromStdString(name_));
    // Settings given before the open are applied by the open itself. Flow control and the
    // modem-control lines are left as the port has them.
    port_->setBaudRate(settings_.baud);
    port_->setParity(qtParity(settings_.parity));
    port_->setDataBits(static_cast<QSerialPort::DataBits>(settings_.dataBits));
    port_->setStopBits(qtStopBits(settings_.stopBits));
    port_->clearError();
    if (port_->open(QIODevice::ReadWrite)) {
        open_ = true;
        usable_ = true;
        return OpenResult::Opened;
    }
    switch (port_->error()) {
    case QSerialPort::DeviceNotFoundError:
        return OpenResult::NoSuchPort;
    case QSerialPort::PermissionError:
        // Qt reports a port locked or held exclusively by another process this way, and
        // also a name it cannot make a lock file for (one too long to be a file's): only a
        // device that is there can be in use.
        return deviceExists(name_) ? OpenResult::AlreadyOpen : OpenResult::NoSuchPort;
    default:
        // Reported as opened; nothing can go through it, so no modem is found on it.
        open_ = true;
        usable_ = false;
        return OpenResult::Opened;
    }
}

void QtSerialPort::close() {
    if (port_->isOpen()) port_->close();
    port_->clearError();
    open_ = false;
    usable_ = false;
}

void QtSerialPort::send(const std::string& text) {
    if (!usable_ || text.empty()) return;
    if (port_->write(text.data(), static_cast<qint64>(text.size())) < 0) return;
    // Without a running event loop the data leaves the port only while we wait here.
    const auto deadline = std::chrono::steady_clock::now() + sendTimeout;
    while (port_->bytesToWrite() > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !port_->waitForBytesWritten(static_cast<int>(left.count()))) break;
    }
}

std::string QtSerialPort::takeReceived() {
    if (!usable_) return {};
    // Pull in what the system holds for us without waiting.
    port_->waitForReadyRead(0);
    port_->clearError();
    const QByteArray data = port_->readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

void QtSerialPort::sleepFor(std::chrono::milliseconds d) {
    if (d.count() > 0) std::this_thread::sleep_for(d);
}

bool QtSerialPort::waitForData(std::chrono::milliseconds timeout) {
    timeout = std::max(timeout, std::chrono::milliseconds(0));
    if (!usable_) {
        // Nothing will come: wait out the time rather than have the caller poll in a loop.
        sleepFor(timeout);
        return false;
    }
    if (port_->bytesAvailable() > 0) return true;
    const auto start = std::chrono::steady_clock::now();
    port_->clearError();
    if (port_->waitForReadyRead(static_cast<int>(std::min<long long>(timeout.count(), 0x7fffffff))))
        return true;
    const auto err = port_->error();
    port_->clearError();
    if (err != QSerialPort::NoError && err != QSerialPort::TimeoutError) {
        // A broken line (the device went away) answers every wait at once; sleep the rest
        // of the time so callers do not spin.
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        sleepFor(timeout - spent);
    }
    return port_->bytesAvailable() > 0;
}

} // namespace rw::ui

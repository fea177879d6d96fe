// The serial port on QSerialPort. Qt Core and SerialPort only, so the command line uses it
// too. It needs no running event loop: every wait blocks in the port itself.
#pragma once

#include "ui/platform.h"

#include <chrono>
#include <memory>
#include <string>

class QSerialPort;

namespace rw::ui {

// Line settings as the windows give them: "9600,N,8,1" (baud, parity N/E/O/M/S, data
// bits 5..8, stop bits 1, 1.5 or 2). Anything unreadable keeps the 9600,N,8,1 value.
struct LineSettings {
    int baud = 9600;
    char parity = 'N';
    int dataBits = 8;
    double stopBits = 1;
};
LineSettings parseLineSettings(const std::string& text);

// Makes a QCoreApplication, kept for the life of the process, when none exists yet: Qt's
// ports and child processes need its event dispatcher.
void ensureApplication();

// Creates a QCoreApplication when none exists yet: a program that wants a QApplication makes
// it before its first port.
class QtSerialPort : public SerialPort {
public:
    QtSerialPort();
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    // Changing the name closes a port that is open.
    void setPortName(const std::string& device) override;
    std::string portName() const override { return name_; }
    void setSettings(const std::string& settings) override;
    const LineSettings& settings() const { return settings_; }
    // No such device: NoSuchPort. Held by another (lock file, exclusive use, or no access):
    // AlreadyOpen. Any other failure still reports Opened, but the port stays unusable:
    // sending does nothing and nothing is ever received.
    OpenResult open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    // Really open and usable (not just reported open).
    bool usable() const { return usable_; }
    void send(const std::string& text) override;
    std::string takeReceived() override;
    bool waitForData(std::chrono::milliseconds timeout) override;

    // Longest time a send may take to leave the port before it is given up.
    std::chrono::milliseconds sendTimeout{2000};

private:
    void sleepFor(std::chrono::milliseconds d);
    std::unique_ptr<QSerialPort> port_;
    std::string name_;
    LineSettings settings_;
    bool open_ = false;
    bool usable_ = false;
};

} // namespace rw::ui

// The platform services on Qt Widgets: message boxes, file dialogs, timers and event
// processing for the GUI. The serial port is injected (QtSerialPort in the real program).
#pragma once

#include "ui/platform.h"
#include "ui/scripted_platform.h"
#include "ui/widgets/text_conversions.h"

#include <memory>
#include <string>

class QTimer;
class QWidget;

namespace rw::ui {

// A box of the active window (or of none before any window is up).
class QtMessageBox : public MessageBoxService {
public:
    Answer show(const std::string& text, Icon icon, Buttons buttons, const std::string& title,
                const std::string& detail = {}, const MessageExtras& extras = {}) override;
};

class QtFileDialog : public FileDialogService {
public:
    std::optional<std::string> showOpen(const std::string& filter,
                                        const std::string& proposedName) override;
    std::optional<std::string> showSave(const std::string& filter,
                                        const std::string& proposedName) override;
    // Where the next dialog starts: the folder of the last chosen path.
    const std::string& lastFolder() const { return lastFolder_; }
    void setLastFolder(const std::string& folder) { lastFolder_ = folder; }

private:
    std::string startPath(const std::string& proposedName) const;
    void remember(const std::string& path);
    std::string lastFolder_;
};

class QtTimer : public Timer {
public:
    QtTimer();
    ~QtTimer() override;
    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;
    void setInterval(int ms) override;
    int interval() const override { return interval_; }
    void setEnabled(bool on) override;
    bool enabled() const override { return enabled_; }

private:
    void apply();
    std::unique_ptr<QTimer> timer_;
    int interval_ = 0;
    bool enabled_ = false;
};

class QtEventLoop : public EventLoop {
public:
    void processEvents() override;
    void waitForEvents(int maxMs) override;
    std::unique_ptr<Timer> createTimer() override;
    // How many long operations are processing events right now (0 in the main loop).
    int depth() const { return depth_; }
    // Handles what keeps the windows drawn (painting, timers), not the user's input, which
    // waits for the next processEvents().
    void keepDrawn();

private:
    int depth_ = 0;
};

class QtPlatform : public Platform {
public:
    // `port`: the serial port to use; null gives a port on which nothing exists. While it
    // waits for data the windows stay drawn.
    explicit QtPlatform(std::unique_ptr<SerialPort> port = nullptr);
    MessageBoxService& messageBox() override { return boxes_; }
    FileDialogService& fileDialog() override { return files_; }
    EventLoop& events() override { return loop_; }
    Clock& clock() override { return clock_; }
    SerialPort& serialPort() override { return port_ ? *port_ : nullPort_; }
    QtFileDialog& files() { return files_; }
    QtEventLoop& loop() { return loop_; }

private:
    QtMessageBox boxes_;
    QtFileDialog files_;
    QtEventLoop loop_;
    SystemClock clock_;
    std::unique_ptr<SerialPort> port_;
    NullSerialPort nullPort_;
};

} // namespace rw::ui

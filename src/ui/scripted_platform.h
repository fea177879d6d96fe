// Scripted platform: queued answers and recorded message boxes for tests, and the
// headless services of the command line (real clock, real sleeping, no windows).
#pragma once

#include "ui/platform.h"

#include <deque>
#include <vector>

namespace rw::ui {

struct RecordedBox {
    std::string text;
    Icon icon;
    Buttons buttons;
    std::string title;
    std::string detail;
    MessageExtras extras;
};

class ScriptedMessageBox : public MessageBoxService {
public:
    Answer show(const std::string& text, Icon icon, Buttons buttons, const std::string& title,
                const std::string& detail = {}, const MessageExtras& extras = {}) override;
    // Answers are taken in order; with none queued, `defaultAnswer` decides (or the first
    // button of the box when it is not set).
    std::deque<Answer> answers;
    std::function<Answer(const RecordedBox&)> defaultAnswer;
    std::function<void(const RecordedBox&)> onShow; // e.g. the command line prints it
    std::vector<RecordedBox> shown;
    const RecordedBox* last() const { return shown.empty() ? nullptr : &shown.back(); }
};

class ScriptedFileDialog : public FileDialogService {
public:
    std::optional<std::string> showOpen(const std::string& filter,
                                        const std::string& proposedName) override;
    std::optional<std::string> showSave(const std::string& filter,
                                        const std::string& proposedName) override;
    // Each entry: a path, or nothing for cancel. An empty queue cancels.
    std::deque<std::optional<std::string>> answers;
    struct Call {
        bool save;
        std::string filter;
        std::string proposedName;
    };
    std::vector<Call> calls;
};

class SystemClock : public Clock {
public:
    std::chrono::steady_clock::time_point now() override {
        return std::chrono::steady_clock::now();
    }
};

// A clock that moves only when told (or when the event loop waits on it).
class ManualClock : public Clock {
public:
    std::chrono::steady_clock::time_point now() override { return now_; }
    void advance(std::chrono::milliseconds d) { now_ += d; }

private:
    std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
};

class ScriptedEventLoop;

class ScriptedTimer : public Timer {
public:
    ScriptedTimer(ScriptedEventLoop& loop);
    ~ScriptedTimer() override;
    void setInterval(int ms) override { interval_ = ms; }
    int interval() const override { return interval_; }
    void setEnabled(bool on) override;
    bool enabled() const override { return enabled_; }

private:
    friend class ScriptedEventLoop;
    ScriptedEventLoop& loop_;
    int interval_ = 0;
    bool enabled_ = false;
    std::chrono::steady_clock::time_point due_{};
};

// Timers run off the given clock. With a ManualClock, waiting advances the clock instead of
// sleeping, so tests of pauses take no time.
class ScriptedEventLoop : public EventLoop {
public:
    explicit ScriptedEventLoop(Clock& clock, ManualClock* manual = nullptr)
        : clock_(clock), manual_(manual) {}
    void processEvents() override;
    void waitForEvents(int maxMs) override;
    std::unique_ptr<Timer> createTimer() override;
    // Called on every processEvents: tests press buttons here, the command line checks
    // for Ctrl-C.
    std::function<void()> onProcessEvents;
    int processCount = 0;

private:
    friend class ScriptedTimer;
    Clock& clock_;
    ManualClock* manual_;
    std::vector<ScriptedTimer*> timers_;
};

// A port on which nothing exists: every open reports no such port.
class NullSerialPort : public SerialPort {
public:
    void setPortName(const std::string& device) override { name_ = device; }
    std::string portName() const override { return name_; }
    void setSettings(const std::string&) override {}
    OpenResult open() override { return OpenResult::NoSuchPort; }
    void close() override {}
    bool isOpen() const override { return false; }
    void send(const std::string&) override {}
    std::string takeReceived() override { return {}; }
    bool waitForData(std::chrono::milliseconds) override { return false; }

private:
    std::string name_;
};

class ScriptedPlatform : public Platform {
public:
    // Real clock (command line) unless `manualClock` is set (tests).
    explicit ScriptedPlatform(bool manualClock = true);
    MessageBoxService& messageBox() override { return boxes; }
    FileDialogService& fileDialog() override { return files; }
    EventLoop& events() override { return *loop; }
    Clock& clock() override { return *clockPtr; }
    SerialPort& serialPort() override { return port ? *port : nullPort; }

    ScriptedMessageBox boxes;
    ScriptedFileDialog files;
    ManualClock manual;
    SystemClock system;
    Clock* clockPtr;
    std::unique_ptr<ScriptedEventLoop> loop;
    std::unique_ptr<SerialPort> port; // null: NullSerialPort
    NullSerialPort nullPort;
};

} // namespace rw::ui

// Platform operations the windows use: message box, file dialog, timer, event processing,
// clock and serial port. The Qt implementations drive the real GUI; the scripted ones
// serve the tests and the command line.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rw::ui {

enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Buttons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel };
enum class Answer { OK, Cancel, Yes, No, Retry };

// The program's own title, carried by every message without a title of its own.
inline constexpr const char* kProgramTitle = "Romwright";

// A command of the program's own offered in a message box beside its standard buttons.
struct MessageAction {
    std::string caption; // "Open backup folder"
    std::function<void()> run;
    bool closes = true; // the box closes after the command (the first standard button's answer)
};

// What a message may carry beyond its text: a summary shown under it, and commands.
struct MessageExtras {
    std::string summary;
    std::vector<MessageAction> actions;
};

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // `detail` is extra text shown on request (failure reports); it never replaces `text`.
    virtual Answer show(const std::string& text, Icon icon, Buttons buttons,
                        const std::string& title, const std::string& detail = {},
                        const MessageExtras& extras = {}) = 0;
};

class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    // `filter` is in the window's own form: "Patch File (E2MB*.bin) |E2MB*.bin".
    // Returns the chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> showOpen(const std::string& filter,
                                                const std::string& proposedName) = 0;
    virtual std::optional<std::string> showSave(const std::string& filter,
                                                const std::string& proposedName) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::time_point now() = 0;
};

class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
    std::function<void()> onTick;
};

class EventLoop {
public:
    virtual ~EventLoop() = default;
    // Handle what is pending (user input, due timers) once; never waits.
    virtual void processEvents() = 0;
    // Sleep until an event or a timer is due, at most `maxMs`, then handle what is pending.
    virtual void waitForEvents(int maxMs) = 0;
    virtual std::unique_ptr<Timer> createTimer() = 0;
};

enum class OpenResult { Opened, NoSuchPort, AlreadyOpen };

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // A device name: "COM3" on Windows, "/dev/ttyS2" or a pseudo-terminal on POSIX.
    virtual void setPortName(const std::string& device) = 0;
    virtual std::string portName() const = 0;
    virtual void setSettings(const std::string& settings) = 0; // "9600,N,8,1"
    virtual OpenResult open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Sending on a port that is not really open fails quietly.
    virtual void send(const std::string& text) = 0;
    // Everything received so far; empties the receive buffer.
    virtual std::string takeReceived() = 0;
    // Blocks until something arrives or the time is up; true when data is waiting.
    virtual bool waitForData(std::chrono::milliseconds timeout) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;
    virtual MessageBoxService& messageBox() = 0;
    virtual FileDialogService& fileDialog() = 0;
    virtual EventLoop& events() = 0;
    virtual Clock& clock() = 0;
    virtual SerialPort& serialPort() = 0;

    Answer msgBox(const std::string& text, Icon icon, Buttons buttons,
                  const std::string& title = kProgramTitle, const std::string& detail = {}) {
        return messageBox().show(text, icon, buttons, title, detail);
    }
};

} // namespace rw::ui

// The modem link: port choice and opening, and the monitor command protocol (wake-up and
// prompt test, "RD " reads, "WR " writes).
#pragma once

#include "ui/controls.h"
#include "ui/platform.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace rw::modem {

inline constexpr const char* kLineSettings = "9600,N,8,1";

// The device behind COMn: the environment variable ROMWRIGHT_COMn when set, otherwise
// /dev/ttyS<n-1> on POSIX and COMn on Windows.
std::string comDeviceName(int n);

// What a read brought back: entries 0..n-1 of the dump (the rest 0), and whether the reply
// was complete. The entries of a failed read mean nothing.
struct ReadReply {
    std::array<std::uint8_t, 256> bytes{};
    bool ok = false;
    std::uint8_t operator[](std::size_t i) const { return bytes[i]; }
};

// openModem's outcome.
enum class OpenOutcome {
    GiveUp, // the dialog was cancelled, or the user did not want to retry
    Retry,  // the user asked to try another port
    Ready,  // a monitor answered; the port stays open
};

// chosenCom of a cancelled port dialog.
inline constexpr int kDialogCancelled = 11;

// Where the default port is remembered between runs (the application's startup.ini).
class DefaultPortStore {
public:
    virtual ~DefaultPortStore() = default;
    // The remembered port's name, empty when there is none.
    virtual std::string defaultPort() = 0;
    virtual void saveDefaultPort(const std::string& name) = 0;
};

// "Initialize hardware": the port dialog.
class ComPortForm : public ui::Form {
public:
    explicit ComPortForm(int& comNumber);
    ui::Label& Label2;
    ui::Frame& Frame1;
    ui::CheckBox& SaveAsDefault;
    ui::ComboBox& ComPort; // editable
    ui::Button& OKCommand;
    ui::Button& Cancel;
    // Closing the dialog by its frame acts as Cancel.
    void closedByFrame();

private:
    int& comNumber_;
};

class ModemModule {
public:
    // `store` may be null: no default port then, and none is saved.
    ModemModule(ui::Platform& platform, DefaultPortStore* store = nullptr);

    // ---- monitor protocol: failures are reported to the caller, never shown here ----
    bool waitForPrompt(const std::string& letter);
    // Wakes the monitor with one ESC and takes whichever prompt comes back: "L" or "M", or
    // empty when none came within two prompt limits (the time a probe for each once took).
    std::string probePrompt();
    // Waits until the whole dump and a prompt after it have come, processing the window's
    // events meanwhile; a reply whose rows are not laid out as the monitor prints them fails.
    ReadReply readModem(std::uint16_t address, int count);
    // False when no prompt came back in time.
    bool writeModem(std::uint16_t address, std::uint8_t value);

    // ---- port selection ----
    ui::OpenResult openPort(int n);
    void listPorts();
    std::string readDefaultCom();
    void saveDefaultCom(const std::string& name);
    // portNumber 0 asks the user in the port dialog.
    OpenOutcome openModem(int portNumber);
    // The same for a device given by path (command line): no listing, no dialog; the
    // messages name the device where they would name the port number.
    // `portText` is how the messages name the port (" 3" for COM3); empty: " " + device.
    OpenOutcome openModemDevice(const std::string& device, const std::string& portText = {});
    int chosenCom = 0; // 0 none yet, 1..4 chosen, kDialogCancelled
    ComPortForm& comPortForm() { return *comPortForm_; }

    ui::SerialPort& port() { return platform_.serialPort(); }
    void closePort();
    // Text of the last exchange that got no proper answer ("RD 9100,100"), for reports.
    const std::string& lastFailedCommand() const { return lastFailedCommand_; }
    // Time-outs, seconds: an exchange fails N + 0.5 s after it starts.
    int waitPromptLimit = 3;
    int readLimit = 5;
    int writeLimit = 5;
    // A read of more than 10 bytes has this much longer, milliseconds: the pause its dump
    // once had to collect in before the wait began.
    int longReadExtraMs = 1800;

private:
    // Opens a device at the line settings; only "no such port" and "already open" count as
    // failures (the port is closed again then), anything else as opened.
    ui::OpenResult openDevice(const std::string& device);
    // After the open: asks about a failed open, or probes for a monitor; openModem's result.
    OpenOutcome probeModem(ui::OpenResult r, const std::string& portText, bool fromDialog,
                           const std::string& defaultCom);

    ui::Platform& platform_;
    DefaultPortStore* store_;
    std::unique_ptr<ComPortForm> comPortForm_;
    std::string lastFailedCommand_;
};

} // namespace rw::modem

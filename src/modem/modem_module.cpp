#include "modem/modem_module.h"

#include "image/hex.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace rw::modem {

namespace {

constexpr char kEsc = '\x1B';
constexpr int kReadingTimerInterval = 1800;

using Millis = std::chrono::milliseconds;

// An exchange fails N + 0.5 s after it starts: always between N and N + 1 s.
Millis limitOf(int seconds) {
    return Millis(seconds * 1000 + 500);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Two reply characters as a byte: the leading hexadecimal digits count; none reads as 0.
std::uint8_t readTwoHex(const std::string& s, std::size_t pos) {
    int value = 0;
    for (std::size_t k = pos; k < pos + 2 && k < s.size(); ++k) {
        const int d = hexDigit(s[k]);
        if (d < 0) break;
        value = value * 16 + d;
    }
    return static_cast<std::uint8_t>(value);
}

std::size_t findPrompt(const std::string& s, std::size_t from = 0) {
    const auto l = s.find("L>", from);
    const auto m = s.find("M>", from);
    return std::min(l, m);
}

bool hasPrompt(const std::string& s) {
    return findPrompt(s) != std::string::npos;
}

// Appends what arrives to `buffer` until `found` holds or the limit has passed; false on
// time-out. Each poll sleeps in the port until data comes or the time is up. A prompt that
// comes in the poll where the limit passes is too late.
template <class Found>
bool pollReply(ui::SerialPort& port, ui::Clock& clock, std::string& buffer, int limitSeconds,
               Found found) {
    const Millis limit = limitOf(limitSeconds);
    buffer.clear();
    const auto start = clock.now();
    int idlePolls = 0;
    bool shortWait = false;
    for (;;) {
        const std::string got = port.takeReceived();
        buffer += got;
        const bool done = found(buffer);
        const auto elapsed = std::chrono::duration_cast<Millis>(clock.now() - start);
        if (elapsed > limit) return false;
        if (done) return true;
        // A port with nothing behind it that returns at once would otherwise make this loop
        // spin, or never end on a clock that only moves when told.
        if (got.empty() && shortWait && ++idlePolls >= 100) return false;
        const Millis wait = limit - elapsed + Millis(1);
        const auto before = clock.now();
        port.waitForData(wait);
        shortWait = clock.now() - before < wait;
    }
}

} // namespace

std::string comDeviceName(int n) {
    const std::string var = "ROMWRIGHT_COM" + std::to_string(n);
    if (const char* v = std::getenv(var.c_str()); v && *v) return v;
#ifdef _WIN32
    return "COM" + std::to_string(n);
#else
    return "/dev/ttyS" + std::to_string(n - 1);
#endif
}

ModemModule::ModemModule(ui::Platform& platform, DefaultPortStore* store)
    : platform_(platform), store_(store), readingTimer_(platform.events().createTimer()),
      comPortForm_(std::make_unique<ComPortForm>(ComNumber)) {
    readingTimer_->setInterval(kReadingTimerInterval);
    readingTimer_->setEnabled(false);
    readingTimer_->onTick = [this] { ReadingTimer_Timer(); };
}

ModemModule::~ModemModule() {
    readingTimer_->onTick = nullptr;
}

// ---- monitor protocol --------------------------------------------------------------------

bool ModemModule::WaitPrompt(const std::string& letter) {
    port().takeReceived();
    port().send(std::string(1, kEsc));
    const std::string prompt = letter + ">";
    std::string buffer;
    const bool found =
        pollReply(port(), platform_.clock(), buffer, waitPromptLimit,
                  [&](const std::string& b) { return b.find(prompt) != std::string::npos; });
    if (!found) lastFailedCommand_ = "<ESC>";
    return found;
}

ReadReply ModemModule::ReadModem(std::uint16_t address, int count) {
    ReadReply reply;
    auto& result = reply.bytes;
    int n = count;
    if (n % 8 == 1 && n != 1) n = n + 1;
    // Outside 1..256 the result could not hold the reply; keep the request within it.
    n = std::clamp(n, 1, 256);

    const std::string command =
        "RD " + image::hex(address) + "," + image::hex(static_cast<unsigned>(n));
    port().send(command + "\r");

    if (count > 10) {
        // Let a long dump collect before the wait, which stops at the first prompt seen.
        WaitingForTimer = true;
        readingTimer_->setEnabled(true);
        ui::Clock& clock = platform_.clock();
        const auto pauseStart = clock.now();
        // A timer that never ticks must not hold the program forever.
        const auto pauseBound = Millis(readingTimer_->interval()) + Millis(5000);
        while (WaitingForTimer) {
            platform_.events().waitForEvents(50);
            if (WaitingForTimer && clock.now() - pauseStart > pauseBound) ReadingTimer_Timer();
        }
    }

    std::string buffer;
    const bool answered = pollReply(port(), platform_.clock(), buffer, readLimit, hasPrompt);
    const std::string head = image::hex(address) + " : ";
    const std::size_t p = buffer.find(head); // 0-based; the entries are counted from it
    bool complete = answered && p != std::string::npos;
    std::size_t end = buffer.size();
    if (p != std::string::npos) {
        // The dump ends where its prompt begins; nothing after it belongs to this reply.
        end = std::min(end, findPrompt(buffer, p));
        const auto last = static_cast<std::size_t>(n - 1);
        const std::size_t lastPos = p + 7 + 3 * last + 9 * (last / 8);
        // The last byte must come with the blank that follows it, or the row was cut short
        // and its line end would be read as a byte.
        if (lastPos + 3 > end) complete = false;
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            const std::size_t pos = p + 7 + 3 * i + 9 * (i / 8);
            if (pos + 2 > end) break;
            result[i] = readTwoHex(buffer, pos);
        }
    }
    if (!complete) lastFailedCommand_ = command;
    reply.ok = complete;
    platform_.events().processEvents();
    return reply;
}

bool ModemModule::WriteModem(std::uint16_t address, std::uint8_t value) {
    port().takeReceived();
    const std::string command = "WR " + image::hex(address) + " " + image::hex(value);
    port().send(command + "\r");
    std::string buffer;
    if (pollReply(port(), platform_.clock(), buffer, writeLimit, hasPrompt)) return true;
    lastFailedCommand_ = command;
    return false;
}

void ModemModule::ReadingTimer_Timer() {
    WaitingForTimer = false;
    readingTimer_->setEnabled(false);
}

// ---- port selection ----------------------------------------------------------------------

ui::OpenResult ModemModule::OpenPort(int n) {
    return openDevice(comDeviceName(n));
}

ui::OpenResult ModemModule::openDevice(const std::string& device) {
    port().setPortName(device);
    port().setSettings(kLineSettings);
    const ui::OpenResult r = port().open();
    if (r == ui::OpenResult::NoSuchPort || r == ui::OpenResult::AlreadyOpen) {
        port().close();
        return r;
    }
    return ui::OpenResult::Opened;
}

void ModemModule::ListPorts() {
    std::vector<std::string> present;
    for (int n = 1; n <= 6; ++n) {
        if (OpenPort(n) == ui::OpenResult::NoSuchPort) continue;
        present.push_back("COM" + std::to_string(n));
        if (port().isOpen()) port().close();
    }
    comPortForm_->ComPort.clear();
    for (const auto& name : present)
        comPortForm_->ComPort.addItem(name);
}

std::string ModemModule::ReadDefaultCom() {
    return store_ ? store_->defaultPort() : std::string();
}

void ModemModule::SaveDefaultCom(const std::string& name) {
    if (store_) store_->saveDefaultPort(name);
}

OpenOutcome ModemModule::probeModem(ui::OpenResult r, const std::string& portText, bool fromDialog,
                                    const std::string& defaultCom) {
    std::string text;
    std::string title;
    if (r == ui::OpenResult::AlreadyOpen) {
        text = "Com " + portText + " is " + "Already Open" +
               ". Would you like to try different port ?  ";
        title = "Port Unavailable";
    } else if (r == ui::OpenResult::NoSuchPort) {
        text =
            "Com " + portText + " is " + "Invalid" + ". Would you like to try different port ?  ";
        title = "Port Unavailable";
    } else {
        // Both probes always run: a monitor in its normal state answers the second one.
        const bool m = WaitPrompt("M");
        const bool l = WaitPrompt("L");
        if (m || l) {
            if (fromDialog && comPortForm_->SaveAsDefault.checked() &&
                comPortForm_->ComPort.text() != defaultCom)
                SaveDefaultCom(comPortForm_->ComPort.text());
            return OpenOutcome::Ready;
        }
        closePort();
        text =
            "Modem is unavailable on com " + portText + ". Would you like to try different com ?  ";
        title = "Modem Unavailable";
    }
    const ui::Answer a =
        platform_.msgBox(text, ui::Icon::Question, ui::Buttons::RetryCancel, title);
    return a == ui::Answer::Retry ? OpenOutcome::Retry : OpenOutcome::GiveUp;
}

OpenOutcome ModemModule::OpenModem(int portNumber) {
    ListPorts();
    const std::string d = ReadDefaultCom();
    ui::ComboBox& combo = comPortForm_->ComPort;
    if (d.find("com") != std::string::npos || d.find("COM") != std::string::npos)
        combo.setText(d);
    else
        combo.setText(combo.items().empty() ? std::string() : combo.items().front());
    if (portNumber == 0) comPortForm_->show();
    ComNumber = portNumber;
    // The main window stays usable while the user makes up their mind.
    while (ComNumber == 0)
        platform_.events().waitForEvents(50);
    if (ComNumber == kDialogCancelled) return OpenOutcome::GiveUp;
    comPortForm_->hide();
    platform_.events().processEvents();
    const ui::OpenResult r = OpenPort(ComNumber);
    return probeModem(r, " " + std::to_string(ComNumber), true, d);
}

OpenOutcome ModemModule::OpenModemDevice(const std::string& device, const std::string& portText) {
    const ui::OpenResult r = openDevice(device);
    return probeModem(r, portText.empty() ? " " + device : portText, false, {});
}

void ModemModule::closePort() {
    if (port().isOpen()) port().close();
}

} // namespace rw::modem

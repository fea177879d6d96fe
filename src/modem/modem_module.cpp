#include "modem/modem_module.h"

#include "image/hex.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>

namespace rw::modem {

namespace {

constexpr char kEsc = '\x1B';

using Millis = std::chrono::milliseconds;

// While a read waits, the window's events are handled at least this often.
constexpr Millis kEventSlice(50);

// Characters a second on the line: 9600 baud, ten bits a character.
constexpr double kLineRate = 960.0;

// The dump's layout: each row its four-digit address and " : " (7 characters), up to eight
// entries of two digits and a blank, and a two-character line end; a full row is 33.
constexpr std::size_t kHeadLength = 7;
constexpr std::size_t kRowLength = 33;
constexpr std::size_t kRowEntries = 8;

// An exchange fails N + 0.5 s after it starts: always between N and N + 1 s.
Millis limitOf(int seconds) {
    return Millis(seconds * 1000 + 500);
}

std::size_t findPrompt(const std::string& s, std::size_t from = 0) {
    const auto l = s.find("L>", from);
    const auto m = s.find("M>", from);
    return std::min(l, m);
}

bool hasPrompt(const std::string& s) {
    return findPrompt(s) != std::string::npos;
}

// Where entry i lies, counted from the start of the first row's address.
std::size_t entryPos(std::size_t i) {
    return kHeadLength + 3 * i + 9 * (i / kRowEntries);
}

// The reply to a read of n entries has come: the address head, room for every entry and the
// blank after the last, and a prompt after that. A prompt before (left from an earlier
// exchange, or sent before the dump) does not count.
bool dumpComplete(const std::string& s, const std::string& head, std::size_t n) {
    const std::size_t p = s.find(head);
    if (p == std::string::npos) return false;
    const std::size_t end = p + entryPos(n - 1) + 3;
    return end <= s.size() && findPrompt(s, end) != std::string::npos;
}

// Characters the reply must still bring before its dump can be complete: at the least the
// rest of the rows from the head (or from where a head could still begin), the last line end
// and the prompt.
std::size_t dumpStillToCome(const std::string& s, const std::string& head, std::size_t n) {
    std::size_t p = s.find(head);
    if (p == std::string::npos) p = s.size() > head.size() ? s.size() - head.size() + 1 : 0;
    const std::size_t total = p + entryPos(n - 1) + 3 + 4;
    return total > s.size() ? total - s.size() : 0;
}

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Reads the n entries of the rows that begin at p into `bytes`, checking each row as the
// monitor prints it: its own address head, its entries as two hexadecimal digits and a blank,
// its two-character line end. A noisy line shows as a deviation; false at the first one (the
// entries read before it stay, the rest are 0).
bool readRows(const std::string& s, std::size_t p, std::uint16_t address, std::size_t n,
              std::array<std::uint8_t, 256>& bytes) {
    for (std::size_t row = 0; row * kRowEntries < n; ++row) {
        const std::size_t at = p + row * kRowLength;
        const std::size_t entries = std::min(kRowEntries, n - row * kRowEntries);
        const std::size_t lineEnd = at + kHeadLength + 3 * entries;
        if (lineEnd + 2 > s.size()) return false;
        const std::string head = image::hex(address + row * kRowEntries, 4) + " : ";
        if (s.compare(at, kHeadLength, head) != 0) return false;
        for (std::size_t j = 0; j < entries; ++j) {
            const std::size_t e = at + kHeadLength + 3 * j;
            const auto value = image::parseHex(std::string_view(s).substr(e, 2), 2);
            if (!value || s[e + 2] != ' ') return false;
            bytes[row * kRowEntries + j] = static_cast<std::uint8_t>(*value);
        }
        if (!isLineEnd(s[lineEnd]) || !isLineEnd(s[lineEnd + 1])) return false;
    }
    return true;
}

// How a read waits: the window's events handled meanwhile, and a lower bound of the
// characters its reply still needs.
struct ReadWait {
    ui::EventLoop& events;
    std::function<std::size_t(const std::string&)> stillToCome;
};

// The time `count` characters take at the least on the line, halved: waiting that long
// cannot delay a reply, and saves waking for every character of a long one.
Millis gatherTime(std::size_t count) {
    const auto ms = static_cast<long long>(static_cast<double>(count) * 500.0 / kLineRate);
    return ms < 5 ? Millis(0) : std::min(Millis(ms), kEventSlice);
}

// Appends what arrives to `buffer` until `found` holds or the limit has passed; false on
// time-out. Each poll sleeps in the port until data comes or the time is up; a read cuts
// that sleep into slices between which the window's events are handled. A reply that
// completes in the poll where the limit passes is too late.
template <class Found>
bool pollReply(ui::SerialPort& port, ui::Clock& clock, std::string& buffer, Millis limit,
               Found found, const ReadWait* read = nullptr) {
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
        Millis wait = limit - elapsed + Millis(1);
        if (read) {
            const Millis gather = got.empty() ? Millis(0) : gatherTime(read->stillToCome(buffer));
            if (gather.count() > 0) {
                read->events.waitForEvents(static_cast<int>(gather.count()));
                continue;
            }
            read->events.processEvents();
            wait = std::min(wait, kEventSlice);
        }
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
    : platform_(platform), store_(store), comPortForm_(std::make_unique<ComPortForm>(chosenCom)) {}

// ---- monitor protocol --------------------------------------------------------------------

bool ModemModule::waitForPrompt(const std::string& letter) {
    port().takeReceived();
    port().send(std::string(1, kEsc));
    const std::string prompt = letter + ">";
    std::string buffer;
    const bool found =
        pollReply(port(), platform_.clock(), buffer, limitOf(waitPromptLimit),
                  [&](const std::string& b) { return b.find(prompt) != std::string::npos; });
    if (!found) lastFailedCommand_ = "<ESC>";
    return found;
}

std::string ModemModule::probePrompt() {
    port().takeReceived();
    port().send(std::string(1, kEsc));
    std::string buffer;
    if (!pollReply(port(), platform_.clock(), buffer, 2 * limitOf(waitPromptLimit), hasPrompt)) {
        lastFailedCommand_ = "<ESC>";
        return {};
    }
    return buffer.substr(findPrompt(buffer), 1);
}

ReadReply ModemModule::readModem(std::uint16_t address, int count) {
    ReadReply reply;
    int n = count;
    if (n % 8 == 1 && n != 1) n = n + 1;
    // Outside 1..256 the result could not hold the reply; keep the request within it.
    n = std::clamp(n, 1, 256);
    const auto entries = static_cast<std::size_t>(n);

    const std::string command =
        "RD " + image::hex(address) + "," + image::hex(static_cast<unsigned>(n));
    port().send(command + "\r");

    // The wait ends when the dump is complete, so a long one needs no pause before it; it
    // keeps the time that pause gave it.
    Millis limit = limitOf(readLimit);
    if (count > 10) limit += Millis(longReadExtraMs);
    const std::string head = image::hex(address) + " : ";
    const ReadWait wait{platform_.events(),
                        [&](const std::string& b) { return dumpStillToCome(b, head, entries); }};
    std::string buffer;
    const bool answered = pollReply(
        port(), platform_.clock(), buffer, limit,
        [&](const std::string& b) { return dumpComplete(b, head, entries); }, &wait);
    const std::size_t p = buffer.find(head);
    const bool rows = p != std::string::npos && readRows(buffer, p, address, entries, reply.bytes);
    reply.ok = answered && rows;
    if (!reply.ok) lastFailedCommand_ = command;
    platform_.events().processEvents();
    return reply;
}

bool ModemModule::writeModem(std::uint16_t address, std::uint8_t value) {
    port().takeReceived();
    const std::string command = "WR " + image::hex(address) + " " + image::hex(value);
    port().send(command + "\r");
    std::string buffer;
    if (pollReply(port(), platform_.clock(), buffer, limitOf(writeLimit), hasPrompt)) return true;
    lastFailedCommand_ = command;
    return false;
}

// ---- port selection ----------------------------------------------------------------------

ui::OpenResult ModemModule::openPort(int n) {
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

void ModemModule::listPorts() {
    std::vector<std::string> present;
    for (int n = 1; n <= 6; ++n) {
        if (openPort(n) == ui::OpenResult::NoSuchPort) continue;
        present.push_back("COM" + std::to_string(n));
        if (port().isOpen()) port().close();
    }
    comPortForm_->ComPort.clear();
    for (const auto& name : present)
        comPortForm_->ComPort.addItem(name);
}

std::string ModemModule::readDefaultCom() {
    return store_ ? store_->defaultPort() : std::string();
}

void ModemModule::saveDefaultCom(const std::string& name) {
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
        // One wake-up: a monitor answers it with the prompt of whichever state it is in.
        if (!probePrompt().empty()) {
            if (fromDialog && comPortForm_->SaveAsDefault.checked() &&
                comPortForm_->ComPort.text() != defaultCom)
                saveDefaultCom(comPortForm_->ComPort.text());
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

OpenOutcome ModemModule::openModem(int portNumber) {
    listPorts();
    const std::string d = readDefaultCom();
    ui::ComboBox& combo = comPortForm_->ComPort;
    if (d.find("com") != std::string::npos || d.find("COM") != std::string::npos)
        combo.setText(d);
    else
        combo.setText(combo.items().empty() ? std::string() : combo.items().front());
    if (portNumber == 0) comPortForm_->show();
    chosenCom = portNumber;
    // The main window stays usable while the user makes up their mind.
    while (chosenCom == 0)
        platform_.events().waitForEvents(50);
    if (chosenCom == kDialogCancelled) return OpenOutcome::GiveUp;
    comPortForm_->hide();
    platform_.events().processEvents();
    const ui::OpenResult r = openPort(chosenCom);
    return probeModem(r, " " + std::to_string(chosenCom), true, d);
}

OpenOutcome ModemModule::openModemDevice(const std::string& device, const std::string& portText) {
    const ui::OpenResult r = openDevice(device);
    return probeModem(r, portText.empty() ? " " + device : portText, false, {});
}

void ModemModule::closePort() {
    if (port().isOpen()) port().close();
}

} // namespace rw::modem

// Whatever a modem (or line noise) sends back to RD, WR and the wake-up must be read as a
// reply or a failed exchange, never a crash or a hang.
//
// Input: byte 0 chooses the exchange and the high bit of the count, bytes 1-2 the address,
// byte 3 the count; the rest is what the line delivers, one NUL-separated piece per poll.
#include "modem/modem_module.h"
#include "ui/platform.h"
#include "ui/scripted_platform.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace {

using Millis = std::chrono::milliseconds;

// Hands out the fuzz pieces one per poll once a command has gone out; time passes only on
// waits, so time-outs are reached without sleeping.
class FuzzPort : public rw::ui::SerialPort {
public:
    explicit FuzzPort(rw::ui::ManualClock& clock) : clock_(clock) {}
    std::deque<std::string> pieces;

    void setPortName(const std::string& device) override { name_ = device; }
    std::string portName() const override { return name_; }
    void setSettings(const std::string&) override {}
    rw::ui::OpenResult open() override { return rw::ui::OpenResult::Opened; }
    void close() override {}
    bool isOpen() const override { return true; }
    void send(const std::string&) override { sent_ = true; }
    std::string takeReceived() override {
        if (!sent_ || pieces.empty()) return {};
        std::string out = std::move(pieces.front());
        pieces.pop_front();
        return out;
    }
    bool waitForData(Millis timeout) override {
        if (sent_ && !pieces.empty()) {
            clock_.advance(Millis(7));
            return true;
        }
        clock_.advance(timeout);
        return false;
    }

private:
    rw::ui::ManualClock& clock_;
    std::string name_;
    bool sent_ = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const int op = data[0] & 0x03;
    const auto address = static_cast<std::uint16_t>(data[1] << 8 | data[2]);
    // Counts outside 1..256 are asked for too: the reader must keep them in bounds.
    const int count = ((data[0] & 0x80) ? 256 : 0) + data[3] - ((data[0] & 0x40) ? 300 : 0);

    rw::ui::ScriptedPlatform platform(/*manualClock=*/true);
    auto port = std::make_unique<FuzzPort>(platform.manual);
    std::string piece;
    for (std::size_t i = 4; i < size; ++i) {
        if (data[i] == 0) {
            port->pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece.push_back(static_cast<char>(data[i]));
        }
    }
    port->pieces.push_back(std::move(piece));
    platform.port = std::move(port);

    rw::modem::ModemModule modem(platform);
    switch (op) {
    case 0:
        (void)modem.readModem(address, count);
        break;
    case 1:
        (void)modem.waitForPrompt("L");
        break;
    case 2:
        (void)modem.probePrompt();
        break;
    default:
        (void)modem.writeModem(address, static_cast<std::uint8_t>(data[3]));
        break;
    }
    return 0;
}

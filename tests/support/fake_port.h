// A serial port for the protocol tests: replies are scripted, time runs on a ManualClock,
// and a wait advances that clock to the next reply or to the end of the wait. Also the COMn
// environment, pointed at the devices a test chooses.
#pragma once

#include "ui/platform.h"
#include "ui/scripted_platform.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace rw::test {

class FakePort : public ui::SerialPort {
public:
    using Millis = std::chrono::milliseconds;
    explicit FakePort(ui::ManualClock& clock) : clock_(clock) {}

    // ---- the device side ----
    std::map<std::string, ui::OpenResult> devices; // absent names: NoSuchPort
    std::function<void(const std::string& sent)> onSend;
    // Puts text on the line `delay` after now.
    void reply(const std::string& text, Millis delay = Millis(0)) {
        pending_.push_back({clock_.now() + delay, text});
    }

    // ---- what the program did ----
    std::vector<std::string> sent;
    std::vector<std::string> opened; // every open attempt, by device name
    int waits = 0;
    int closes = 0;

    void setPortName(const std::string& device) override { name_ = device; }
    std::string portName() const override { return name_; }
    void setSettings(const std::string& s) override { settings = s; }
    std::string settings;
    ui::OpenResult open() override {
        opened.push_back(name_);
        auto it = devices.find(name_);
        const ui::OpenResult r = it == devices.end() ? ui::OpenResult::NoSuchPort : it->second;
        open_ = r == ui::OpenResult::Opened;
        return r;
    }
    void close() override {
        ++closes;
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    void send(const std::string& text) override {
        sent.push_back(text);
        if (onSend) onSend(text);
    }
    std::string takeReceived() override {
        std::string out;
        const auto now = clock_.now();
        while (!pending_.empty() && pending_.front().at <= now) {
            out += pending_.front().text;
            pending_.pop_front();
        }
        return out;
    }
    bool waitForData(Millis timeout) override {
        ++waits;
        const auto now = clock_.now();
        if (!pending_.empty() && pending_.front().at <= now + timeout) {
            if (pending_.front().at > now)
                clock_.advance(std::chrono::duration_cast<Millis>(pending_.front().at - now));
            return true;
        }
        clock_.advance(timeout);
        return false;
    }

private:
    struct Delivery {
        std::chrono::steady_clock::time_point at;
        std::string text;
    };
    ui::ManualClock& clock_;
    std::deque<Delivery> pending_;
    std::string name_;
    bool open_ = false;
};

// A monitor answering on a FakePort the way the modem does: echo, dump rows of eight
// bytes, the prompt after every reply.
class FakeMonitor {
public:
    explicit FakeMonitor(FakePort& port) : port_(port) {
        port_.onSend = [this](const std::string& s) { onSend(s); };
    }
    std::map<std::uint16_t, std::uint8_t> memory;
    std::string prompt = "L>";
    bool silent = false;
    bool echo = true;
    std::chrono::milliseconds delay{20};
    std::set<std::string> writesSeen;

    static std::string hex(unsigned v, int width) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*X", width, v);
        return buf;
    }
    std::string dump(unsigned addr, unsigned count) const {
        std::string out;
        for (unsigned i = 0; i < count; ++i) {
            const auto at = static_cast<std::uint16_t>(addr + i);
            if (i % 8 == 0) out += hex(at, 4) + " : ";
            auto it = memory.find(at);
            out += hex(it == memory.end() ? 0xFF : it->second, 2) + " ";
            if (i % 8 == 7 || i + 1 == count) out += "\r\n";
        }
        return out;
    }

private:
    void onSend(const std::string& s) {
        if (silent) return;
        if (s == "\x1B") {
            port_.reply("\r\n" + prompt, delay);
            return;
        }
        std::string line = s;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string out = echo ? line + "\r\n" : std::string();
        unsigned a = 0, n = 0;
        if (std::sscanf(line.c_str(), "RD %x,%x", &a, &n) == 2) {
            out += dump(a, n);
        } else if (std::sscanf(line.c_str(), "WR %x %x", &a, &n) == 2) {
            writesSeen.insert(line);
            memory[static_cast<std::uint16_t>(a)] = static_cast<std::uint8_t>(n);
        }
        port_.reply(out + prompt, delay);
    }
    FakePort& port_;
};

// Points ROMWRIGHT_COM1..6 at the devices a test chooses, and restores them afterwards.
class ComEnvironment {
public:
    explicit ComEnvironment(const std::function<std::string(int)>& deviceFor) {
        for (int n = 1; n <= 6; ++n) {
            if (const char* v = std::getenv(var(n).c_str())) saved_[n] = v;
            ::setenv(var(n).c_str(), deviceFor(n).c_str(), 1);
        }
    }
    ~ComEnvironment() {
        for (int n = 1; n <= 6; ++n)
            if (saved_.count(n))
                ::setenv(var(n).c_str(), saved_[n].c_str(), 1);
            else
                ::unsetenv(var(n).c_str());
    }
    ComEnvironment(const ComEnvironment&) = delete;
    ComEnvironment& operator=(const ComEnvironment&) = delete;

private:
    static std::string var(int n) { return "ROMWRIGHT_COM" + std::to_string(n); }
    std::map<int, std::string> saved_;
};

} // namespace rw::test

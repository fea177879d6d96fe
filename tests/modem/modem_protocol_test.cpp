// The monitor exchanges against a scripted line: command texts, the count rule, the dump
// parser, time-outs on an injected clock, the wait that ends with a complete dump, and the
// single wake-up probe.
#include "image/hex.h"
#include "modem/modem_module.h"
#include "modem/programming_run.h"
#include "support/fake_port.h"
#include "support/platform_checks.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace std::chrono_literals;
using rw::test::FakeMonitor;
using rw::test::FakePort;
namespace ui = rw::ui;
using Lines = std::vector<std::string>;

namespace {

const char* const kReadFailure = "Could not communicate with local modem properly.";
const char* const kWriteFailure = "Could not communicate with timer local device properly.";

class Protocol : public ::testing::Test {
protected:
    template <class F> long long timed(F&& f) {
        const auto t0 = platform.manual.now();
        f();
        return std::chrono::duration_cast<std::chrono::milliseconds>(platform.manual.now() - t0)
            .count();
    }
    void answerWith(const std::string& reply, std::chrono::milliseconds delay = 0ms) {
        port->onSend = [this, reply, delay](const std::string&) { port->reply(reply, delay); };
    }
    // The failure box, the stop asked for and, when given, the command that failed.
    void expectFailure(const std::string& text, const std::string& command = "") {
        EXPECT_TRUE(command.empty() || modem.lastFailedCommand() == command)
            << modem.lastFailedCommand();
        EXPECT_TRUE(rw::test::lastBoxIs(platform, text, "Communication Error", ui::Buttons::OK,
                                        ui::Icon::Critical));
        EXPECT_TRUE(stop);
    }
    ui::ScriptedPlatform platform{true};
    bool stop = false;
    FakePort* port =
        static_cast<FakePort*>((platform.port = std::make_unique<FakePort>(platform.manual)).get());
    rw::modem::ModemModule modem{platform};
    rw::modem::MonitorCommands link{modem, platform, stop};
};

} // namespace

// A count of 9 asks for A and fills ten entries.
TEST_F(Protocol, CommandTextsFollowTheCountRule) {
    FakeMonitor mon(*port);
    for (unsigned i = 0; i < 16; ++i)
        mon.memory[static_cast<std::uint16_t>(0x9000 + i)] = static_cast<std::uint8_t>(0x10 + i);
    for (unsigned count : {1, 10, 17, 256})
        link.read(count == 1 ? 0x8C73 : 0x9000, static_cast<int>(count));
    const auto r = link.read(0x9000, 9);
    link.read(0xC010, 8);
    link.write(0x8D00, 178);
    link.write(0x9000, 0);
    EXPECT_TRUE(modem.waitForPrompt("L"));
    EXPECT_EQ(port->sent, (Lines{"RD 8C73,1\r", "RD 9000,A\r", "RD 9000,12\r", "RD 9000,100\r",
                                 "RD 9000,A\r", "RD C010,8\r", "WR 8D00 B2\r", "WR 9000 0\r",
                                 "\x1B"})); // the escape goes alone
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(r[i], i < 10 ? 0x10 + i : 0) << i;
    EXPECT_EQ(mon.memory[0x8D00], 0xB2);
    EXPECT_TRUE(platform.boxes.shown.empty() && !stop);
}

TEST_F(Protocol, SixteenByteReadTakesByteEightAndFifteenFromTheirPositions) {
    // The echo and a leftover line come first, so the head is not at the start.
    std::string reply = "RD 9000,10\r\n";
    const std::size_t p = reply.size();
    reply += "9000 : 00 01 02 03 04 05 06 07 \r\n9008 : A8 09 0A 0B 0C 0D 0E F7 \r\nL>";
    ASSERT_EQ(reply.substr(p + 40, 2) + reply.substr(p + 61, 2), "A8F7");
    answerWith(reply, 5ms);
    const auto r = link.read(0x9000, 16);
    EXPECT_EQ((std::vector<int>{r[0], r[7], r[8], r[14], r[15], r[16]}),
              (std::vector<int>{0x00, 0x07, 0xA8, 0x0E, 0xF7, 0}));
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Protocol, ReplyThatIsNoWholeWellFormedDumpFails) {
    // Two rows as the monitor prints them, then one character changed in each way a noisy
    // line changes it; and replies that never cover the count.
    const std::string good =
        "9000 : 01 02 03 04 05 06 07 08 \r\n9008 : 09 0A 0B 0C 0D 0E 0F 10 \r\nL>";
    ASSERT_EQ(good.substr(19, 3), "05 ");
    const struct {
        const char* name;
        std::string reply;
        int count, good; // good: entries read before the fault; the rest stay zero
    } cases[] = {
        {"inserted digit", good.substr(0, 20) + "5" + good.substr(20), 16, 4},
        {"dropped digit", good.substr(0, 20) + good.substr(21), 16, 4},
        {"replaced by a non-hex character", good.substr(0, 20) + "G" + good.substr(21), 16, 4},
        {"blank missing after an entry", good.substr(0, 9) + "X" + good.substr(10), 16, 0},
        {"line end replaced", good.substr(0, 31) + "\r." + good.substr(33), 16, 8},
        {"second row's head wrong", good.substr(0, 33) + "9009" + good.substr(37), 16, 8},
        {"no address head", "RD 9000,A\r\n?Read error\r\nL>", 10, 0},
        // Sixteen asked for, one row of eight came: nothing is read beyond it.
        {"too short", good.substr(0, 33) + "L>", 16, 8},
        // Two asked for, one came: the second entry's position holds the line end.
        {"row cut short", "9000 : 01 \r\nL>", 2, 0},
        {"rows after the prompt", good.substr(0, 33) + "L>9008 : 09 0A \r\n", 10, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        stop = false;
        answerWith(c.reply);
        const auto r = link.read(0x9000, c.count);
        expectFailure(kReadFailure, "RD 9000," + rw::image::hex(c.count));
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(r[i], i < c.good ? i + 1 : 0) << i;
    }
    // Digits in lower case are digits all the same.
    platform.boxes.shown.clear();
    answerWith("9000 : 0a fF \r\nL>");
    const auto r = link.read(0x9000, 2);
    EXPECT_TRUE(r[0] == 0x0A && r[1] == 0xFF && platform.boxes.shown.empty());
}

TEST_F(Protocol, OnlyAReadKeepsWhatWasAlreadyReceived) {
    port->reply("9000 : 5A \r\nL>");
    EXPECT_EQ(link.read(0x9000, 1)[0], 0x5A);
    EXPECT_TRUE(platform.boxes.shown.empty());

    port->reply("\r\nL>");
    link.write(0x9000, 1); // nobody answers
    expectFailure(kWriteFailure, "WR 9000 1");

    stop = false;
    port->reply("\r\nM>");
    FakeMonitor mon(*port); // answers the escape with "L>"
    EXPECT_FALSE(modem.waitForPrompt("M"));
}

TEST_F(Protocol, EveryFailedExchangeShowsItsOwnMessage) {
    link.read(0x9000, 1);
    link.write(0x9000, 1);
    link.read(0x9000, 1);
    ASSERT_EQ(platform.boxes.shown.size(), 3u);
    EXPECT_EQ(platform.boxes.shown[1].text, kWriteFailure);
}

TEST_F(Protocol, WaitPromptForMAgainstLTimesOutBetweenThreeAndFourSeconds) {
    FakeMonitor mon(*port);
    bool got = true;
    const auto ms = timed([&] { got = modem.waitForPrompt("M"); });
    // The wait sleeps in the port: a handful of waits, not a spin.
    EXPECT_TRUE(!got && ms > 3000 && ms < 4000 && port->waits <= 4) << ms << " " << port->waits;
    // Asked for "L" right afterwards, a fresh escape goes out and the prompt is found.
    EXPECT_TRUE(modem.waitForPrompt("L"));
    EXPECT_EQ(port->sent, (Lines{"\x1B", "\x1B"}));
}

TEST_F(Protocol, PromptJustInsideTheLimitCountsAndJustOutsideDoesNot) {
    answerWith("\r\nL>", 3400ms);
    EXPECT_TRUE(modem.waitForPrompt("L"));
    answerWith("\r\nL>", 3600ms);
    EXPECT_FALSE(modem.waitForPrompt("L"));
}

// A write and a read of up to ten entries wait 5.5 s; a longer read 1.8 s more. The waits
// sleep in the port: a write in one go, a read in slices of 50 ms between which the window is
// served; neither spins.
TEST_F(Protocol, SilentExchangeFailsAfterItsLimit) {
    const struct {
        int count; // 0: a write
        long long ms;
        const char* command;
    } cases[] = {{0, 5500, "WR 8D00 B2"},
                 {1, 5500, "RD 8C73,1"},
                 {10, 5500, "RD 8C73,A"},
                 {11, 7300, "RD 8C73,B"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        stop = false;
        const int waits = port->waits;
        const auto ms = timed(
            [&] { c.count ? (void)link.read(0x8C73, c.count) : (void)link.write(0x8D00, 0xB2); });
        EXPECT_TRUE(ms >= c.ms && ms < c.ms + 100) << ms;
        EXPECT_LE(port->waits - waits, c.count ? c.ms / 50 + 10 : 4);
        expectFailure(c.count ? kReadFailure : kWriteFailure, c.command);
    }
}

TEST_F(Protocol, LongReadEndsWhenItsDumpIsCompleteOrFailsAfterPauseAndLimit) {
    FakeMonitor mon(*port);
    for (unsigned i = 0; i < 256; ++i)
        mon.memory[static_cast<std::uint16_t>(0x9000 + i)] = static_cast<std::uint8_t>(i * 3);
    const std::string dump = "RD 9000,100\r\n" + mon.dump(0x9000, 256);
    const std::size_t half = dump.size() / 2;
    using Piece = std::pair<std::string, std::chrono::milliseconds>;
    const struct {
        const char* name;
        std::string stale; // already received before the command
        std::vector<Piece> pieces;
        bool ok;
        long long ms; // when the read returns
    } cases[] = {
        {"stale prompt in the buffer", "\r\nL>", {{dump + "L>", 1100ms}}, true, 1100},
        {"prompt before the dump", "", {{"\r\nL>", 10ms}, {dump + "M>", 1100ms}}, true, 1100},
        {"dump in slow pieces",
         "",
         {{dump.substr(0, 300), 1000ms},
          {dump.substr(300, 300), 3000ms},
          {dump.substr(600) + "L>", 7000ms}},
         true,
         7000},
        {"stops half-way", "", {{dump.substr(0, half), 500ms}}, false, 7300},
        {"never prompts", "", {{dump, 1100ms}}, false, 7300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        stop = false;
        platform.boxes.shown.clear();
        if (!c.stale.empty()) port->reply(c.stale);
        port->onSend = [&](const std::string&) {
            for (const auto& [text, at] : c.pieces)
                port->reply(text, at);
        };
        rw::modem::ReadReply r;
        const auto ms = timed([&] { r = link.read(0x9000, 256); });
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_TRUE(ms >= c.ms && ms < c.ms + (c.ok ? 60 : 100)) << ms;
        if (c.ok) {
            EXPECT_TRUE(platform.boxes.shown.empty());
            for (int i = 0; i < 256; ++i)
                ASSERT_EQ(r[i], (i * 3) & 0xFF) << i;
        } else {
            expectFailure(kReadFailure);
        }
    }
}

TEST_F(Protocol, AbortDuringALongReadReachesTheRunWhileOnlyReadsHandleEvents) {
    FakeMonitor mon(*port);
    mon.delay = 1100ms; // a whole block's transfer
    int pressedDuringRead = 0;
    platform.loop->onProcessEvents = [&] {
        ++pressedDuringRead;
        stop = true; // Abort pressed
    };
    const auto r = link.read(0x9000, 256);
    // The window was served every slice of the wait; the read itself still completes, and
    // the run stops at its next checkpoint.
    EXPECT_TRUE(pressedDuringRead >= 20 && r.ok) << pressedDuringRead;
    // Writes and wake-ups keep their tight waits.
    const int before = platform.loop->processCount;
    link.write(0x9000, 4);
    modem.waitForPrompt("L");
    modem.probePrompt();
    EXPECT_EQ(platform.loop->processCount, before);
    // Exchanges that succeed never clear the stop asked for.
    EXPECT_TRUE(stop && platform.boxes.shown.empty());
}

TEST_F(Protocol, OneEscapeTakesEitherPromptOrFailsAfterTwoPromptLimits) {
    const struct {
        const char *prompt, *found; // prompt nullptr: a silent line
        long long minMs, maxMs;
    } cases[] = {{"L>", "L", 0, 100}, {"M>", "M", 0, 100}, {nullptr, "", 6000, 8000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.found);
        port->sent.clear();
        port->onSend = nullptr;
        if (c.prompt) answerWith(std::string("\r\n") + c.prompt, 20ms);
        std::string found = "?";
        const auto ms = timed([&] { found = modem.probePrompt(); });
        EXPECT_EQ(std::tuple(found, port->sent), std::tuple(c.found, Lines{"\x1B"}));
        EXPECT_TRUE(ms >= c.minMs && ms < c.maxMs) << ms;
    }
}

TEST(ProtocolWithoutAPort, APortThatNeverWaitsEndsTheExchangeInsteadOfHanging) {
    // Nothing behind the port, and a clock that moves only when told.
    ui::ScriptedPlatform platform{true};
    bool stop = false;
    rw::modem::ModemModule modem{platform};
    rw::modem::MonitorCommands link{modem, platform, stop};
    EXPECT_FALSE(modem.waitForPrompt("L"));
    link.read(0x9000, 4);
    ASSERT_NE(platform.boxes.last(), nullptr);
    EXPECT_EQ(platform.boxes.last()->text, kReadFailure);
    link.write(0x9000, 4);
    EXPECT_EQ(platform.boxes.last()->text, kWriteFailure);
    EXPECT_TRUE(stop);
}

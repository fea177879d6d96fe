// The monitor exchanges against a scripted line: command texts, the count rule, the dump
// parser, time-outs on an injected clock, and the pause before long reads.
#include "modem/modem_module.h"
#include "modem/protocol_fake_port.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using rw::test::FakeMonitor;
using rw::test::FakePort;
namespace ui = rw::ui;

namespace {

class Protocol : public ::testing::Test {
protected:
    Protocol() {
        auto p = std::make_unique<FakePort>(platform.manual);
        port = p.get();
        platform.port = std::move(p);
    }
    // Clock time spent by `f`, in milliseconds.
    template <class F> long long timed(F&& f) {
        const auto t0 = platform.manual.now();
        f();
        return std::chrono::duration_cast<std::chrono::milliseconds>(platform.manual.now() - t0)
            .count();
    }
    ui::ScriptedPlatform platform{true};
    rw::app::RunState run;
    FakePort* port = nullptr;
    rw::modem::ModemModule modem{platform, run};
};

void expectBox(const ui::RecordedBox* box, const std::string& text) {
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text, text);
    EXPECT_EQ(box->title, "Communication Error");
    EXPECT_EQ(box->icon, ui::Icon::Critical);
    EXPECT_EQ(box->buttons, ui::Buttons::OK);
}

const char* const kReadFailure = "Could not communicate with local modem properly.";
const char* const kWriteFailure = "Could not communicate with timer local device properly.";

} // namespace

// ---- texts on the line -------------------------------------------------------------------

TEST(LineHex, UpperCaseWithoutLeadingZeros) {
    EXPECT_EQ(rw::modem::lineHex(0), "0");
    EXPECT_EQ(rw::modem::lineHex(178), "B2");
    EXPECT_EQ(rw::modem::lineHex(256), "100");
    EXPECT_EQ(rw::modem::lineHex(36864), "9000");
    EXPECT_EQ(rw::modem::lineHex(0xDFFF), "DFFF");
}

TEST_F(Protocol, ReadCommandTextsFollowTheCountRule) {
    FakeMonitor mon(*port);
    modem.ReadModem(0x8C73, 1);
    modem.ReadModem(0x9000, 9);
    modem.ReadModem(0x9000, 10);
    modem.ReadModem(0x9000, 17);
    modem.ReadModem(0x9000, 256);
    modem.ReadModem(0xC010, 8);
    const std::vector<std::string> want{"RD 8C73,1\r",  "RD 9000,A\r",   "RD 9000,A\r",
                                        "RD 9000,12\r", "RD 9000,100\r", "RD C010,8\r"};
    EXPECT_EQ(port->sent, want);
    EXPECT_TRUE(platform.boxes.shown.empty());
    EXPECT_FALSE(run.StopRunning);
}

TEST_F(Protocol, CountNineFillsTenEntries) {
    FakeMonitor mon(*port);
    for (unsigned i = 0; i < 16; ++i)
        mon.memory[static_cast<std::uint16_t>(0x9000 + i)] = static_cast<std::uint8_t>(0x10 + i);
    const auto r = modem.ReadModem(0x9000, 9);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(r[i], 0x10 + i) << i;
    for (int i = 10; i < 256; ++i)
        EXPECT_EQ(r[i], 0) << i;
}

TEST_F(Protocol, WriteCommandTexts) {
    FakeMonitor mon(*port);
    modem.WriteModem(0x8D00, 178);
    modem.WriteModem(0x9000, 0);
    const std::vector<std::string> want{"WR 8D00 B2\r", "WR 9000 0\r"};
    EXPECT_EQ(port->sent, want);
    EXPECT_EQ(mon.memory[0x8D00], 0xB2);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Protocol, WaitPromptSendsOneEscapeAlone) {
    FakeMonitor mon(*port);
    EXPECT_TRUE(modem.WaitPrompt("L"));
    ASSERT_EQ(port->sent.size(), 1u);
    EXPECT_EQ(port->sent[0], "\x1B");
}

// ---- the dump parser -------------------------------------------------------------------

TEST_F(Protocol, SixteenByteReadTakesByteEightAndFifteenFromTheirPositions) {
    // The echo and a leftover line come first, so the head is not at the start.
    std::string reply = "RD 9000,10\r\n";
    const std::size_t p = reply.size();
    reply += "9000 : 00 01 02 03 04 05 06 07 \r\n9008 : A8 09 0A 0B 0C 0D 0E F7 \r\nL>";
    ASSERT_EQ(reply.substr(p + 40, 2), "A8");
    ASSERT_EQ(reply.substr(p + 61, 2), "F7");
    port->onSend = [&](const std::string&) { port->reply(reply, 5ms); };
    const auto r = modem.ReadModem(0x9000, 16);
    EXPECT_EQ(r[0], 0x00);
    EXPECT_EQ(r[7], 0x07);
    EXPECT_EQ(r[8], 0xA8);
    EXPECT_EQ(r[14], 0x0E);
    EXPECT_EQ(r[15], 0xF7);
    EXPECT_EQ(r[16], 0);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Protocol, FullBlockReadRoundTrips) {
    FakeMonitor mon(*port);
    for (unsigned i = 0; i < 256; ++i)
        mon.memory[static_cast<std::uint16_t>(0xC100 + i)] = static_cast<std::uint8_t>(255 - i);
    const auto r = modem.ReadModem(0xC100, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(r[i], 255 - i) << i;
    EXPECT_FALSE(run.StopRunning);
}

TEST_F(Protocol, GarbledBytesReadLeniently) {
    port->onSend = [&](const std::string&) { port->reply("9000 : 0G Z1 1Z 7f  5 \r\nL>"); };
    const auto r = modem.ReadModem(0x9000, 5);
    EXPECT_EQ(r[0], 0x0);
    EXPECT_EQ(r[1], 0x0);
    EXPECT_EQ(r[2], 0x1);
    EXPECT_EQ(r[3], 0x7F);
    EXPECT_EQ(r[4], 0x0); // a blank first: no digits lead
    EXPECT_TRUE(platform.boxes.shown.empty());
    EXPECT_FALSE(run.StopRunning);
}

TEST_F(Protocol, ReplyWithoutTheAddressHeadFails) {
    port->onSend = [&](const std::string&) { port->reply("RD 9000,A\r\n?Read error\r\nL>"); };
    const auto r = modem.ReadModem(0x9000, 10);
    expectBox(platform.boxes.last(), kReadFailure);
    EXPECT_TRUE(run.StopRunning);
    EXPECT_EQ(modem.lastFailedCommand(), "RD 9000,A");
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(r[i], 0);
}

TEST_F(Protocol, ReplyTooShortForTheCountFailsWithoutReadingBeyondIt) {
    // Sixteen asked for, one row of eight came.
    port->onSend = [&](const std::string&) {
        port->reply("9000 : 01 02 03 04 05 06 07 08 \r\nL>");
    };
    const auto r = modem.ReadModem(0x9000, 16);
    expectBox(platform.boxes.last(), kReadFailure);
    EXPECT_TRUE(run.StopRunning);
    EXPECT_EQ(r[7], 0x08);
    for (int i = 8; i < 256; ++i)
        EXPECT_EQ(r[i], 0) << i;
}

TEST_F(Protocol, RowCutShortOneByteBeforeItsEndFails) {
    // Two asked for, one came: the second entry's position holds the line end.
    port->onSend = [&](const std::string&) { port->reply("9000 : 01 \r\nL>"); };
    modem.ReadModem(0x9000, 2);
    expectBox(platform.boxes.last(), kReadFailure);
    EXPECT_TRUE(run.StopRunning);
}

TEST_F(Protocol, RowsAfterThePromptAreNoPartOfTheDump) {
    port->onSend = [&](const std::string&) {
        port->reply("9000 : 01 02 03 04 05 06 07 08 \r\nL>9008 : 09 0A \r\n");
    };
    modem.ReadModem(0x9000, 10);
    expectBox(platform.boxes.last(), kReadFailure);
    EXPECT_TRUE(run.StopRunning);
}

TEST_F(Protocol, ReadKeepsWhatWasAlreadyReceived) {
    // Unlike the other two exchanges, a read does not discard the receive buffer first.
    port->reply("9000 : 5A \r\nL>");
    const auto r = modem.ReadModem(0x9000, 1);
    EXPECT_EQ(r[0], 0x5A);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Protocol, WriteDiscardsWhatWasAlreadyReceived) {
    port->reply("\r\nL>");
    modem.WriteModem(0x9000, 1); // nobody answers
    expectBox(platform.boxes.last(), kWriteFailure);
    EXPECT_TRUE(run.StopRunning);
    EXPECT_EQ(modem.lastFailedCommand(), "WR 9000 1");
}

TEST_F(Protocol, WaitPromptDiscardsAnOldPrompt) {
    port->reply("\r\nM>");
    FakeMonitor mon(*port); // answers the escape with "L>"
    EXPECT_FALSE(modem.WaitPrompt("M"));
}

TEST_F(Protocol, FailuresNeverClearStopRunning) {
    FakeMonitor mon(*port);
    run.StopRunning = true;
    modem.ReadModem(0x9000, 4);
    modem.WriteModem(0x9000, 4);
    EXPECT_TRUE(run.StopRunning);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Protocol, EveryFailedExchangeShowsItsOwnMessage) {
    modem.ReadModem(0x9000, 1);
    modem.WriteModem(0x9000, 1);
    modem.ReadModem(0x9000, 1);
    ASSERT_EQ(platform.boxes.shown.size(), 3u);
    EXPECT_EQ(platform.boxes.shown[1].text, kWriteFailure);
}

// ---- time-outs ---------------------------------------------------------------------------

TEST_F(Protocol, WaitPromptForMAgainstLTimesOutBetweenThreeAndFourSeconds) {
    FakeMonitor mon(*port);
    mon.prompt = "L>";
    bool got = true;
    const auto ms = timed([&] { got = modem.WaitPrompt("M"); });
    EXPECT_FALSE(got);
    EXPECT_GT(ms, 3000);
    EXPECT_LT(ms, 4000);
    // The wait sleeps in the port: a handful of waits, not a spin.
    EXPECT_LE(port->waits, 4);
    // Asked for "L" right afterwards, a fresh escape goes out and the prompt is found.
    EXPECT_TRUE(modem.WaitPrompt("L"));
    EXPECT_EQ(port->sent, (std::vector<std::string>{"\x1B", "\x1B"}));
}

TEST_F(Protocol, PromptJustInsideTheLimitCountsAndJustOutsideDoesNot) {
    port->onSend = [&](const std::string&) { port->reply("\r\nL>", 3400ms); };
    EXPECT_TRUE(modem.WaitPrompt("L"));
    port->onSend = [&](const std::string&) { port->reply("\r\nL>", 3600ms); };
    EXPECT_FALSE(modem.WaitPrompt("L"));
}

TEST_F(Protocol, SilentReadFailsBetweenFiveAndSixSeconds) {
    const auto ms = timed([&] { modem.ReadModem(0x8C73, 1); });
    EXPECT_GT(ms, 5000);
    EXPECT_LT(ms, 6000);
    EXPECT_LE(port->waits, 4);
    expectBox(platform.boxes.last(), kReadFailure);
    EXPECT_TRUE(run.StopRunning);
    EXPECT_EQ(modem.lastFailedCommand(), "RD 8C73,1");
}

TEST_F(Protocol, SilentWriteFailsBetweenFiveAndSixSeconds) {
    const auto ms = timed([&] { modem.WriteModem(0x8D00, 0xB2); });
    EXPECT_GT(ms, 5000);
    EXPECT_LT(ms, 6000);
    expectBox(platform.boxes.last(), kWriteFailure);
    EXPECT_TRUE(run.StopRunning);
}

TEST_F(Protocol, SlowDumpWithinTheLimitIsRead) {
    port->onSend = [&](const std::string&) {
        port->reply("9000 : 11 22 ", 1000ms);
        port->reply("33 \r\nL>", 4900ms);
    };
    const auto r = modem.ReadModem(0x9000, 3);
    EXPECT_EQ(r[2], 0x33);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

// ---- the pause before long reads -----------------------------------------------------------

TEST_F(Protocol, TenBytesAreAwaitedAtOnce) {
    FakeMonitor mon(*port);
    mon.delay = 10ms;
    const auto ms = timed([&] { modem.ReadModem(0x9000, 10); });
    EXPECT_LT(ms, 100);
    EXPECT_FALSE(modem.ReadingTimer().enabled());
}

TEST_F(Protocol, ElevenBytesWaitForOneTimerTickFirst) {
    FakeMonitor mon(*port);
    mon.delay = 10ms;
    const int before = port->waits;
    const auto ms = timed([&] { modem.ReadModem(0x9000, 11); });
    EXPECT_GE(ms, 1800);
    EXPECT_LT(ms, 1900);
    EXPECT_EQ(modem.ReadingTimer().interval(), 1800);
    EXPECT_FALSE(modem.WaitingForTimer);
    EXPECT_FALSE(modem.ReadingTimer().enabled());
    EXPECT_TRUE(platform.boxes.shown.empty());
    // The dump was complete before the wait began: no wait in the port was needed.
    EXPECT_EQ(port->waits, before);
}

TEST_F(Protocol, ThePauseLetsTheWindowHandleButtons) {
    FakeMonitor mon(*port);
    int pressedDuringPause = 0;
    platform.loop->onProcessEvents = [&] {
        if (modem.WaitingForTimer) {
            ++pressedDuringPause;
            run.StopRunning = true; // Abort pressed
        }
    };
    modem.ReadModem(0x9000, 256);
    EXPECT_GT(pressedDuringPause, 0);
    EXPECT_TRUE(run.StopRunning);
}

TEST_F(Protocol, EveryReadProcessesEventsOnceAtTheEnd) {
    FakeMonitor mon(*port);
    const int before = platform.loop->processCount;
    modem.ReadModem(0x9000, 4);
    EXPECT_EQ(platform.loop->processCount, before + 1);
    modem.WriteModem(0x9000, 4);
    modem.WaitPrompt("L");
    EXPECT_EQ(platform.loop->processCount, before + 1);
}

TEST_F(Protocol, TimerTickEndsThePause) {
    modem.WaitingForTimer = true;
    modem.ReadingTimer().setEnabled(true);
    modem.ReadingTimer_Timer();
    EXPECT_FALSE(modem.WaitingForTimer);
    EXPECT_FALSE(modem.ReadingTimer().enabled());
}

TEST_F(Protocol, ATimerThatNeverTicksDoesNotHoldTheReadForever) {
    FakeMonitor mon(*port);
    modem.ReadingTimer().onTick = nullptr; // a broken timer
    const auto ms = timed([&] { modem.ReadModem(0x9000, 16); });
    EXPECT_LT(ms, 10000);
    EXPECT_FALSE(modem.WaitingForTimer);
}

TEST(ProtocolWithoutAPort, APortThatNeverWaitsEndsTheExchangeInsteadOfHanging) {
    // Nothing behind the port, and a clock that moves only when told.
    ui::ScriptedPlatform platform{true};
    rw::app::RunState run;
    rw::modem::ModemModule modem{platform, run};
    EXPECT_FALSE(modem.WaitPrompt("L"));
    modem.ReadModem(0x9000, 4);
    ASSERT_NE(platform.boxes.last(), nullptr);
    EXPECT_EQ(platform.boxes.last()->text, kReadFailure);
    modem.WriteModem(0x9000, 4);
    EXPECT_EQ(platform.boxes.last()->text, kWriteFailure);
    EXPECT_TRUE(run.StopRunning);
}

// What the main window shows of a run follows the run's events: steps, share done, bytes,
// time left from the pace so far; and the summary under the last message says what the
// modem's E2 holds.
#include "app/run_progress.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

using namespace rw;
using modem::RunPhase;
using namespace std::chrono_literals;

namespace {

struct Scripted {
    ui::ManualClock clock;
    app::RunProgress p{clock};
    void blocks(RunPhase phase, int from, int to, std::chrono::milliseconds each) {
        for (int b = from; b < to; ++b) {
            clock.advance(each);
            p.blockDone(phase, b);
        }
    }
    std::string current() const {
        for (const app::RunStep& s : p.steps())
            if (s.state == app::StepState::Current)
                return s.text + (s.count.empty() ? "" : " " + s.count);
        return "";
    }
};

modem::RunReport reportOf(bool completed, int written, std::string failure = {}) {
    modem::RunReport r;
    r.completed = completed;
    r.bytesWritten = written;
    r.failure = std::move(failure);
    r.backupPath = "/b/E2MP_backup_1.bin";
    return r;
}

} // namespace

// What the window shows after an event: the current step, the share done, bytes to write and
// written, and the time left in seconds (at least that much, or about).
static void expectShown(const char* what, Scripted& s, const std::string& current, int percent,
                        std::optional<int> toWrite, int written, std::optional<long long> left,
                        bool atLeast) {
    SCOPED_TRACE(what);
    EXPECT_EQ(s.current(), current);
    EXPECT_EQ(s.p.percent(), percent);
    EXPECT_EQ(s.p.bytesToWrite(), toWrite);
    EXPECT_EQ(s.p.bytesWritten(), written);
    bool leftAtLeast = false;
    const auto shownLeft = s.p.remaining(&leftAtLeast);
    EXPECT_EQ(shownLeft ? std::optional<long long>(shownLeft->count()) : std::nullopt, left);
    EXPECT_EQ(leftAtLeast, atLeast);
    EXPECT_EQ(s.p.busy(), percent == 0);
}

TEST(RunProgress, FollowsAScriptedRun) {
    Scripted s;
    s.p.prepare(true);
    // Reading takes 2 s a block, a write 20 ms; the check reads back blocks 0, 1 and 5.
    s.p.phaseStarted(RunPhase::Connect, true);
    expectShown("connect", s, "Connect", 0, {}, 0, {}, false);
    s.clock.advance(5s);
    s.p.phaseStarted(RunPhase::Identify, true);
    s.p.modemIdentified("MII MAC", "B+");
    expectShown("identified", s, "Identify: MII MAC, B+", 0, {}, 0, {}, false);
    s.p.phaseStarted(RunPhase::Invalidate, true);
    s.p.phaseStarted(RunPhase::Read, true);
    s.blocks(RunPhase::Read, 0, 8, 2s);
    expectShown("8 blocks read", s, "Read 32 blocks 8 of 32", 12, {}, 0, 24 * 2 + 2, true);
    s.clock.advance(1s); // half a block later
    expectShown("half a block later", s, "Read 32 blocks 8 of 32", 12, {}, 0, 24 * 2 + 1, true);
    // Left: 12 bytes at a hundredth of a block each, and at least block 0 to check back (the
    // blocks the bytes fall in are known as they are written).
    s.blocks(RunPhase::Read, 8, 9, 1s);
    s.blocks(RunPhase::Read, 9, 32, 2s);
    s.p.phaseStarted(RunPhase::Backup, true);
    s.p.bytesPlanned(12);
    expectShown("read and planned", s, "Read 32 blocks 32 of 32", 36, 12, 0, 3, true);
    s.p.phaseStarted(RunPhase::Write, true);
    for (int k = 0; k < 12; ++k) { // six bytes in block 1, then six in block 5
        s.clock.advance(20ms);
        s.p.byteWritten(k < 6 ? 0x100 + k : 0x500 + k - 6);
        if (k == 5)
            expectShown("6 bytes in block 1", s, "Write 12 bytes 6 of 12", 36, 12, 6, 5, true);
    }
    s.blocks(RunPhase::Write, 0, 32, 0ms);
    expectShown("written", s, "Write 12 bytes 12 of 12", 68, 12, 12, 6, false);
    s.p.phaseStarted(RunPhase::Verify, true);
    s.blocks(RunPhase::Verify, 0, 2, 2s);
    expectShown("blocks 0 and 1 checked", s, "Verify 2 of 32", 70, 12, 12, 2, false);
    s.blocks(RunPhase::Verify, 2, 32, 0ms);
    s.p.phaseStarted(RunPhase::Validate, true);
    expectShown("checked, marked valid", s, "Mark valid", 100, 12, 12, 0, false);
    s.clock.advance(1s);
    s.p.outcomeDecided(reportOf(true, 12));
    s.clock.advance(30s); // the message is up: the time taken stays
    for (const app::RunStep& step : s.p.steps())
        EXPECT_EQ(step.state, app::StepState::Done) << step.text;
    EXPECT_EQ(s.p.elapsed(), 74s);
    EXPECT_FALSE(s.p.leftInvalid());
    EXPECT_EQ(s.p.summary(false), "12 bytes written and verified.\nTime taken: 1 min 14 s.\n"
                                  "Backup: /b/E2MP_backup_1.bin");
    s.p.finished(s.p.report());
    EXPECT_FALSE(s.p.active());
}

TEST(RunProgress, SummaryOfARunThatStoppedSaysWhatTheE2Holds) {
    // writes: a run that programs; planned: the bytes to write were known; summaryStart: what
    // happened, then what the E2 holds
    const std::tuple<const char*, bool, bool, bool, std::string, bool> rows[] = {
        {"abort while writing", true, true, true,
         "The run was stopped by Abort during \"Write 12 bytes\".\nThe modem's E2 is marked "
         "invalid until a programming run completes: program it again, or restore the "
         "backup.\n\n5 of 12 bytes written, not verified.\n",
         true},
        {"read failed", false, false, false,
         "The run failed during \"Read 32 blocks\": no proper answer to RD C100,100.\nNothing "
         "was written to the modem: its E2 is as it was.\n\nTime taken",
         false},
        {"read failed after the mark", true, false, false,
         "The run failed during \"Read 32 blocks\": no proper answer to RD C100,100.\nThe "
         "modem's E2 is marked invalid until a programming run completes: program it again, or "
         "restore the backup.\n\nTime taken",
         true}};
    for (const auto& [what, writes, planned, aborted, summaryStart, invalid] : rows) {
        SCOPED_TRACE(what);
        Scripted s;
        s.p.prepare(writes);
        s.p.phaseStarted(RunPhase::Connect, true);
        s.p.phaseStarted(RunPhase::Identify, true);
        s.p.phaseStarted(RunPhase::Invalidate, writes);
        s.p.phaseStarted(RunPhase::Read, true);
        s.blocks(RunPhase::Read, 0, planned ? 32 : 1, 2s);
        if (planned) {
            s.p.bytesPlanned(12);
            s.p.phaseStarted(RunPhase::Write, true);
            for (int k = 1; k <= 5; ++k)
                s.p.byteWritten(k);
            s.p.phaseStarted(RunPhase::Verify, false);
        }
        s.p.outcomeDecided(
            reportOf(false, planned ? 5 : 0,
                     planned ? "the run was stopped" : "no proper answer to RD C100,100"));
        const std::string summary = s.p.summary(aborted);
        EXPECT_EQ(summary.rfind(summaryStart, 0), 0u) << summary;
        EXPECT_EQ(s.p.leftInvalid(), invalid);
        for (const app::RunStep& step : s.p.steps())
            EXPECT_NE(step.state, app::StepState::Current) << step.text;
    }
}

TEST(RunProgress, DurationAndByteCountTexts) {
    const std::pair<long long, const char*> durations[] = {
        {-5, "0 s"},           {59, "59 s"},        {60, "1 min"},      {61, "1 min 1 s"},
        {3599, "59 min 59 s"}, {3600, "1 h 0 min"}, {7322, "2 h 2 min"}};
    for (auto [seconds, text] : durations)
        EXPECT_EQ(app::durationText(std::chrono::seconds(seconds)), text) << seconds;
    EXPECT_EQ(app::bytesText(1) + ", " + app::bytesText(2), "1 byte, 2 bytes");
}

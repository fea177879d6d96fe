#include "app/run_progress.h"

#include <algorithm>
#include <cmath>

namespace rw::app {

namespace {

using modem::RunPhase;

constexpr int kBlocks = image::kBlockCount;

// Before the first byte goes out, a write is taken to cost this share of a block read (a
// written byte's exchange is a few characters, a block's dump over a thousand).
constexpr double kWritePerRead = 0.01;

std::string ofText(int done, int all) {
    return std::to_string(done) + " of " + std::to_string(all);
}

} // namespace

std::string bytesText(int n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

std::string durationText(std::chrono::seconds s) {
    const long long t = std::max<long long>(0, s.count());
    if (t < 60) return std::to_string(t) + " s";
    if (t < 3600)
        return std::to_string(t / 60) + " min" +
               (t % 60 ? " " + std::to_string(t % 60) + " s" : "");
    return std::to_string(t / 3600) + " h " + std::to_string(t % 3600 / 60) + " min";
}

void RunProgress::prepare(bool writes) {
    s_ = State{};
    s_.writes = writes;
    const RunPhase phases[] = {RunPhase::Connect, RunPhase::Identify, RunPhase::Invalidate,
                               RunPhase::Read,    RunPhase::Write,    RunPhase::Verify,
                               RunPhase::Validate};
    for (RunPhase p : phases) {
        if (!writes && p != RunPhase::Connect && p != RunPhase::Identify && p != RunPhase::Read)
            continue;
        s_.steps.push_back({p, p == RunPhase::Read ? "Read 32 blocks" : modem::phaseName(p), {}});
    }
}

RunStep* RunProgress::stepOf(RunPhase phase) {
    for (RunStep& s : s_.steps)
        if (s.phase == phase) return &s;
    return nullptr;
}

RunStep* RunProgress::current() {
    for (RunStep& s : s_.steps)
        if (s.state == StepState::Current) return &s;
    return nullptr;
}

void RunProgress::phaseStarted(RunPhase phase, bool working) {
    const auto now = clock_.now();
    if (s_.steps.empty()) prepare(s_.writes);
    if (phase == RunPhase::Connect) {
        s_.start = now;
        s_.active = true;
    }
    s_.lastEvent = now;
    // The backup is part of reading: it is made of the blocks read.
    RunStep* step = phase == RunPhase::Backup ? nullptr : stepOf(phase);
    if (!step) return;
    if (RunStep* cur = current()) {
        // A phase entered only to be passed over: the run stopped in the one before.
        cur->state = working ? StepState::Done : StepState::Stopped;
        if (working) cur->count.clear();
    }
    step->state = working ? StepState::Current : StepState::Skipped;
    s_.phase = phase;
    if (phase == RunPhase::Read) {
        s_.readStarted = true;
        s_.readStart = now;
    }
    if (phase == RunPhase::Invalidate && working) s_.invalidated = true;
    if (phase == RunPhase::Write) s_.writeStart = now;
    if (working && (phase == RunPhase::Read || phase == RunPhase::Verify))
        step->count = ofText(0, kBlocks);
    if (working && phase == RunPhase::Write && s_.planned) step->count = ofText(0, *s_.planned);
    changed.emit();
}

void RunProgress::modemIdentified(const std::string& interfaceName, const std::string& generation) {
    if (RunStep* s = stepOf(RunPhase::Identify)) {
        std::string found = interfaceName;
        if (!generation.empty()) found += (found.empty() ? "" : ", ") + generation;
        s->text =
            std::string(modem::phaseName(RunPhase::Identify)) + (found.empty() ? "" : ": " + found);
    }
    changed.emit();
}

void RunProgress::blockDone(RunPhase phase, int block) {
    const auto now = clock_.now();
    ++s_.blocksDone;
    if (phase == RunPhase::Read) {
        ++s_.blocksRead;
        s_.readTime = std::chrono::duration<double>(now - s_.readStart).count();
        if (RunStep* s = stepOf(phase)) s->count = ofText(s_.blocksRead, kBlocks);
    }
    if (phase == RunPhase::Verify) {
        s_.verifiedUpTo = block;
        if (RunStep* s = stepOf(phase)) s->count = ofText(block + 1, kBlocks);
    }
    s_.lastEvent = now;
    changed.emit();
}

void RunProgress::bytesPlanned(int count) {
    s_.planned = count;
    if (RunStep* s = stepOf(RunPhase::Write)) s->text = "Write " + bytesText(count);
    changed.emit();
}

void RunProgress::byteWritten(int offset) {
    const auto now = clock_.now();
    ++s_.written;
    s_.writtenBlocks.set(static_cast<std::size_t>(offset / image::kBlockSize));
    s_.writeTime = std::chrono::duration<double>(now - s_.writeStart).count();
    if (RunStep* s = stepOf(RunPhase::Write)) s->count = ofText(s_.written, s_.planned.value_or(0));
    s_.lastEvent = now;
    changed.emit();
}

void RunProgress::endSteps(bool completed) {
    if (RunStep* cur = current()) {
        cur->state = completed ? StepState::Done : StepState::Stopped;
        if (completed) cur->count.clear();
    }
    for (RunStep& s : s_.steps)
        if (s.state == StepState::Waiting) s.state = StepState::Skipped;
}

void RunProgress::decide(const modem::RunReport& report) {
    s_.report = report;
    s_.decided = true;
    s_.end = clock_.now();
    endSteps(report.completed);
}

void RunProgress::outcomeDecided(const modem::RunReport& report) {
    decide(report);
    changed.emit();
}

void RunProgress::finished(const modem::RunReport& report) {
    // Ended before its work: no port, or the modem was refused.
    if (!s_.decided) decide(report);
    s_.active = false;
    changed.emit();
}

int RunProgress::percent() const {
    if (!s_.readStarted) return 0;
    return std::min(100, 4 + (s_.writes ? 1 : 3) * s_.blocksDone);
}

RunProgress::Seconds RunProgress::elapsed() const {
    if (!s_.active && !s_.decided) return Seconds(0);
    return std::chrono::duration_cast<Seconds>((s_.decided ? s_.end : clock_.now()) - s_.start);
}

double RunProgress::readSeconds() const {
    return s_.blocksRead > 0 ? s_.readTime / s_.blocksRead : 0;
}

double RunProgress::writeSeconds() const {
    return s_.written > 0 ? s_.writeTime / s_.written : readSeconds() * kWritePerRead;
}

int RunProgress::verifyBlocksLeft() const {
    // The check reads back the blocks that received bytes, and block 0, whose mark was
    // cleared. Bytes still to write may add blocks: what is known is the least.
    std::bitset<kBlocks> blocks = s_.writtenBlocks;
    blocks.set(0);
    int left = 0;
    for (int b = s_.verifiedUpTo + 1; b < kBlocks; ++b)
        if (blocks[static_cast<std::size_t>(b)]) ++left;
    return left;
}

std::optional<RunProgress::Seconds> RunProgress::remaining(bool* atLeast) const {
    if (atLeast) *atLeast = false;
    if (s_.decided) return Seconds(0);
    if (s_.blocksRead == 0) return std::nullopt;
    const double read = readSeconds();
    double left = (kBlocks - s_.blocksRead) * read;
    if (s_.writes) {
        const int bytesLeft = std::max(0, s_.planned.value_or(0) - s_.written);
        left += bytesLeft * writeSeconds() + verifyBlocksLeft() * read;
        if (atLeast) *atLeast = !s_.planned || bytesLeft > 0;
    }
    // The block or byte under way has partly passed.
    const double unit = s_.phase == RunPhase::Write ? writeSeconds() : read;
    left -= std::min(std::chrono::duration<double>(clock_.now() - s_.lastEvent).count(), unit);
    return Seconds(static_cast<long long>(std::ceil(std::max(0.0, left))));
}

std::string RunProgress::outcomeLine(bool aborted) const {
    std::string line = aborted ? "The run was stopped by Abort" : "The run failed";
    for (const RunStep& s : s_.steps)
        if (s.state == StepState::Stopped) {
            line += " during \"" + s.text + "\"";
            break;
        }
    if (!aborted && !s_.report.failure.empty()) line += ": " + s_.report.failure;
    return line + ".";
}

std::string RunProgress::summary(bool aborted) const {
    const modem::RunReport& r = s_.report;
    std::vector<std::string> lines;
    if (r.completed) {
        if (!s_.writes)
            lines.emplace_back("All 32 blocks read.");
        else if (r.bytesWritten == 0)
            lines.emplace_back("No byte differed: only the validity mark was written.");
        else
            lines.push_back(bytesText(r.bytesWritten) + " written and verified.");
    } else {
        lines.push_back(outcomeLine(aborted));
        lines.push_back(s_.invalidated
                            ? "The modem's E2 is marked invalid until a programming run "
                              "completes: program it again, or restore " +
                                  std::string(r.backupPath.empty() ? "a" : "the") + " backup."
                            : "Nothing was written to the modem: its E2 is as it was.");
        lines.emplace_back();
        if (s_.writes && s_.planned) {
            const auto verify =
                std::find_if(s_.steps.begin(), s_.steps.end(),
                             [](const RunStep& s) { return s.phase == RunPhase::Verify; });
            std::string line = ofText(r.bytesWritten, *s_.planned) + " bytes written";
            if (!r.mismatches.empty())
                line +=
                    "; " + std::to_string(r.mismatches.size()) + " did not read back as written";
            else if (verify == s_.steps.end() || verify->state != StepState::Done)
                line += ", not verified";
            lines.push_back(line + ".");
        }
    }
    lines.push_back("Time taken: " + durationText(elapsed()) + ".");
    if (!r.backupPath.empty()) lines.push_back("Backup: " + r.backupPath);
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i)
        out += (i ? "\n" : "") + lines[i];
    return out;
}

} // namespace rw::app

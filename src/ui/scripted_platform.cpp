#include "ui/scripted_platform.h"

#include <algorithm>
#include <thread>

namespace rw::ui {

static Answer firstButton(Buttons b) {
    switch (b) {
    case Buttons::OK:
    case Buttons::OKCancel:
        return Answer::OK;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        return Answer::Yes;
    case Buttons::RetryCancel:
        return Answer::Retry;
    }
    return Answer::OK;
}

Answer ScriptedMessageBox::show(const std::string& text, Icon icon, Buttons buttons,
                                const std::string& title, const std::string& detail,
                                const MessageExtras& extras) {
    shown.push_back({text, icon, buttons, title, detail, extras});
    if (onShow) onShow(shown.back());
    if (!answers.empty()) {
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    if (defaultAnswer) return defaultAnswer(shown.back());
    return firstButton(buttons);
}

std::optional<std::string> ScriptedFileDialog::showOpen(const std::string& filter,
                                                        const std::string& proposedName) {
    calls.push_back({false, filter, proposedName});
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<std::string> ScriptedFileDialog::showSave(const std::string& filter,
                                                        const std::string& proposedName) {
    calls.push_back({true, filter, proposedName});
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
}

ScriptedTimer::ScriptedTimer(ScriptedEventLoop& loop) : loop_(loop) {
    loop_.timers_.push_back(this);
}

ScriptedTimer::~ScriptedTimer() {
    std::erase(loop_.timers_, this);
}

void ScriptedTimer::setEnabled(bool on) {
    enabled_ = on;
    if (on) due_ = loop_.clock_.now() + std::chrono::milliseconds(interval_);
}

void ScriptedEventLoop::processEvents() {
    ++processCount;
    const auto now = clock_.now();
    // Copy: a tick handler may create or destroy timers.
    auto timers = timers_;
    for (ScriptedTimer* t : timers) {
        if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) continue;
        if (t->enabled_ && now >= t->due_) {
            t->due_ = now + std::chrono::milliseconds(std::max(t->interval_, 1));
            if (t->onTick) t->onTick();
        }
    }
    if (onProcessEvents) onProcessEvents();
}

void ScriptedEventLoop::waitForEvents(int maxMs) {
    const auto now = clock_.now();
    auto until = now + std::chrono::milliseconds(std::max(maxMs, 0));
    for (ScriptedTimer* t : timers_)
        if (t->enabled_ && t->due_ < until) until = std::max(t->due_, now);
    if (until > now) {
        if (manual_)
            manual_->advance(std::chrono::duration_cast<std::chrono::milliseconds>(until - now));
        else
            std::this_thread::sleep_until(std::chrono::steady_clock::now() + (until - now));
    }
    processEvents();
}

std::unique_ptr<Timer> ScriptedEventLoop::createTimer() {
    return std::make_unique<ScriptedTimer>(*this);
}

ScriptedPlatform::ScriptedPlatform(bool manualClock)
    : clockPtr(manualClock ? static_cast<Clock*>(&manual) : static_cast<Clock*>(&system)),
      loop(std::make_unique<ScriptedEventLoop>(*clockPtr, manualClock ? &manual : nullptr)) {}

} // namespace rw::ui

#include "ui/widgets/qt_platform.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace rw::ui {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QWidget* dialogParent() {
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

QMessageBox::Icon qtIcon(Icon icon) {
    switch (icon) {
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The box's standard buttons, each with its answer; returns what closing the box without a
// button means.
Answer addStandardButtons(QMessageBox& box, Buttons buttons,
                          std::vector<std::pair<QAbstractButton*, Answer>>& map) {
    auto add = [&](QMessageBox::StandardButton b, Answer a) {
        map.emplace_back(box.addButton(b), a);
    };
    switch (buttons) {
    case Buttons::OK:
        add(QMessageBox::Ok, Answer::OK);
        return Answer::OK;
    case Buttons::OKCancel:
        add(QMessageBox::Ok, Answer::OK);
        add(QMessageBox::Cancel, Answer::Cancel);
        break;
    case Buttons::YesNo:
        add(QMessageBox::Yes, Answer::Yes);
        add(QMessageBox::No, Answer::No);
        return Answer::No;
    case Buttons::YesNoCancel:
        add(QMessageBox::Yes, Answer::Yes);
        add(QMessageBox::No, Answer::No);
        add(QMessageBox::Cancel, Answer::Cancel);
        break;
    case Buttons::RetryCancel:
        add(QMessageBox::Retry, Answer::Retry);
        add(QMessageBox::Cancel, Answer::Cancel);
        break;
    }
    return Answer::Cancel;
}

// A serial port whose waits keep the windows drawn: while a run waits for the modem the busy
// bar moves and the times count. What the user does waits for the run's next step, so that no
// dialog opens in the middle of an exchange and makes it late.
class DrawnWhileWaiting : public SerialPort {
public:
    DrawnWhileWaiting(std::unique_ptr<SerialPort> inner, QtEventLoop& loop)
        : inner_(std::move(inner)), loop_(loop) {}
    void setPortName(const std::string& device) override { inner_->setPortName(device); }
    std::string portName() const override { return inner_->portName(); }
    void setSettings(const std::string& settings) override { inner_->setSettings(settings); }
    OpenResult open() override { return inner_->open(); }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    void send(const std::string& text) override { inner_->send(text); }
    std::string takeReceived() override { return inner_->takeReceived(); }
    bool waitForData(std::chrono::milliseconds timeout) override {
        using namespace std::chrono;
        constexpr milliseconds kSlice(40);
        const auto end = steady_clock::now() + timeout;
        for (;;) {
            const auto left = duration_cast<milliseconds>(end - steady_clock::now());
            if (inner_->waitForData(std::clamp(left, milliseconds(0), kSlice))) return true;
            loop_.keepDrawn();
            if (steady_clock::now() >= end) return false;
        }
    }

private:
    std::unique_ptr<SerialPort> inner_;
    QtEventLoop& loop_;
};

} // namespace

Answer QtMessageBox::show(const std::string& text, Icon icon, Buttons buttons,
                          const std::string& title, const std::string& detail,
                          const MessageExtras& extras) {
    QMessageBox box(dialogParent());
    box.setIcon(qtIcon(icon));
    box.setWindowTitle(qs(title));
    // Texts are shown letter for letter: never as rich text.
    box.setTextFormat(Qt::PlainText);
    box.setText(qs(qtLineBreaks(text)));
    if (!extras.summary.empty()) box.setInformativeText(qs(qtLineBreaks(extras.summary)));
    if (!detail.empty()) box.setDetailedText(qs(qtLineBreaks(detail)));

    // The first button is the default one, as in the windows' own message boxes.
    std::vector<std::pair<QAbstractButton*, Answer>> map;
    const Answer closed = addStandardButtons(box, buttons, map);
    if (auto* first = qobject_cast<QPushButton*>(map.front().first)) box.setDefaultButton(first);
    std::vector<std::pair<QAbstractButton*, const MessageAction*>> closing;
    for (const MessageAction& a : extras.actions) {
        QPushButton* b = box.addButton(qs(a.caption), QMessageBox::ActionRole);
        if (a.closes) {
            closing.emplace_back(b, &a);
            continue;
        }
        // A command that keeps the box up: its click no longer reaches the box.
        QObject::disconnect(b, &QAbstractButton::clicked, nullptr, nullptr);
        QObject::connect(b, &QAbstractButton::clicked, &box, [run = a.run] {
            if (run) run();
        });
    }
    box.exec();
    for (auto& [button, action] : closing)
        if (box.clickedButton() == button) {
            if (action->run) action->run();
            return map.front().second;
        }
    for (auto& [button, answer] : map)
        if (box.clickedButton() == button) return answer;
    return closed;
}

std::string QtFileDialog::startPath(const std::string& proposedName) const {
    const QString proposed = qs(proposedName);
    const QFileInfo info(proposed);
    // A proposal with a folder of its own starts there.
    if (!proposed.isEmpty() && info.isAbsolute()) return proposedName;
    const QString folder = lastFolder_.empty() ? QDir::currentPath() : qs(lastFolder_);
    if (proposed.isEmpty()) return folder.toStdString();
    return QDir(folder).filePath(proposed).toStdString();
}

void QtFileDialog::remember(const std::string& path) {
    lastFolder_ = QFileInfo(qs(path)).absolutePath().toStdString();
}

std::optional<std::string> QtFileDialog::showOpen(const std::string& filter,
                                                  const std::string& proposedName) {
    const QString path = QFileDialog::getOpenFileName(dialogParent(), QStringLiteral("Open"),
                                                      qs(startPath(proposedName)),
                                                      qs(qtFilterFromWindowFilter(filter)));
    if (path.isEmpty()) return std::nullopt;
    remember(path.toStdString());
    return QDir::toNativeSeparators(path).toStdString();
}

std::optional<std::string> QtFileDialog::showSave(const std::string& filter,
                                                  const std::string& proposedName) {
    const QString path = QFileDialog::getSaveFileName(dialogParent(), QStringLiteral("Save As"),
                                                      qs(startPath(proposedName)),
                                                      qs(qtFilterFromWindowFilter(filter)));
    if (path.isEmpty()) return std::nullopt;
    remember(path.toStdString());
    return QDir::toNativeSeparators(path).toStdString();
}

QtTimer::QtTimer() : timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        if (onTick) onTick();
    });
}

QtTimer::~QtTimer() = default;

void QtTimer::setInterval(int ms) {
    interval_ = ms;
    apply();
}

void QtTimer::setEnabled(bool on) {
    enabled_ = on;
    apply();
}

void QtTimer::apply() {
    // An interval of 0 never ticks, like the windows' timers (Qt's would tick constantly).
    if (enabled_ && interval_ > 0)
        timer_->start(interval_);
    else
        timer_->stop();
}

void QtEventLoop::processEvents() {
    ++depth_;
    QCoreApplication::processEvents();
    --depth_;
}

void QtEventLoop::waitForEvents(int maxMs) {
    // A single-shot timer bounds the wait; the dispatcher sleeps until it or any other event
    // arrives, then handles what is pending.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(std::max(0, maxMs));
    ++depth_;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    --depth_;
}

void QtEventLoop::keepDrawn() {
    ++depth_;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    --depth_;
}

std::unique_ptr<Timer> QtEventLoop::createTimer() {
    return std::make_unique<QtTimer>();
}

QtPlatform::QtPlatform(std::unique_ptr<SerialPort> port)
    : port_(port ? std::make_unique<DrawnWhileWaiting>(std::move(port), loop_) : nullptr) {}

} // namespace rw::ui

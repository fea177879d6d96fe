#include "ui/widgets/qt_platform.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

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

} // namespace

Answer QtMessageBox::show(const std::string& text, Icon icon, Buttons buttons,
                          const std::string& title, const std::string& detail) {
    QMessageBox box(dialogParent());
    box.setIcon(qtIcon(icon));
    box.setWindowTitle(qs(title));
    // Texts are shown letter for letter: never as rich text.
    box.setTextFormat(Qt::PlainText);
    box.setText(qs(qtLineBreaks(text)));
    if (!detail.empty()) box.setDetailedText(qs(qtLineBreaks(detail)));

    // The first button is the default one, as in the windows' own message boxes.
    std::vector<std::pair<QAbstractButton*, Answer>> map;
    auto add = [&](QMessageBox::StandardButton b, Answer a) {
        map.emplace_back(box.addButton(b), a);
    };
    Answer closed = Answer::Cancel; // what closing the box without a button means
    switch (buttons) {
    case Buttons::OK:
        add(QMessageBox::Ok, Answer::OK);
        closed = Answer::OK;
        break;
    case Buttons::OKCancel:
        add(QMessageBox::Ok, Answer::OK);
        add(QMessageBox::Cancel, Answer::Cancel);
        break;
    case Buttons::YesNo:
        add(QMessageBox::Yes, Answer::Yes);
        add(QMessageBox::No, Answer::No);
        closed = Answer::No;
        break;
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
    if (auto* first = qobject_cast<QPushButton*>(map.front().first)) box.setDefaultButton(first);
    box.exec();
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

std::unique_ptr<Timer> QtEventLoop::createTimer() {
    return std::make_unique<QtTimer>();
}

QtPlatform::QtPlatform(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {}

} // namespace rw::ui

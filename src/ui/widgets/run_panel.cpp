#include "ui/widgets/run_panel.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace rw::ui {

namespace {

using app::StepState;

QString markOf(StepState s) {
    switch (s) {
    case StepState::Done:
        return QStringLiteral("\u2714");
    case StepState::Current:
        return QStringLiteral("\u25B6");
    case StepState::Stopped:
        return QStringLiteral("\u2716");
    case StepState::Skipped:
        return QStringLiteral("\u2013");
    case StepState::Waiting:
        break;
    }
    return {};
}

QColor markColour(StepState s, const QPalette& pal) {
    switch (s) {
    case StepState::Done:
        return {0x1a, 0x8f, 0x3a};
    case StepState::Current:
        return pal.color(QPalette::Highlight);
    case StepState::Stopped:
        return {0xc8, 0x10, 0x10};
    case StepState::Skipped:
    case StepState::Waiting:
        break;
    }
    return pal.color(QPalette::PlaceholderText);
}

// A light shade of the selection colour: the current step stands out, its text stays black.
QColor currentBackground(const QPalette& pal) {
    const QColor h = pal.color(QPalette::Highlight);
    const QColor w = pal.color(QPalette::Window);
    auto mix = [](int a, int b) { return (a + 4 * b) / 5; };
    return {mix(h.red(), w.red()), mix(h.green(), w.green()), mix(h.blue(), w.blue())};
}

QString timeText(std::chrono::seconds s) {
    return QString::fromStdString(app::durationText(s));
}

} // namespace

RunPanel::RunPanel(app::RunProgress& progress, QProgressBar* bar, QWidget* parent)
    : QFrame(parent), progress_(progress), bar_(bar) {
    setObjectName(QStringLiteral("RunPanel"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(16, 0, 16, 10);
    box_ = new QGroupBox(this);
    outer->addWidget(box_);
    auto* columns = new QHBoxLayout(box_);
    columns->setSpacing(16);
    stepsArea_ = new QWidget(box_);
    auto* steps = new QVBoxLayout(stepsArea_);
    steps->setContentsMargins(0, 0, 0, 0);
    steps->setSpacing(1);
    // The columns keep their shares whatever their texts, so that nothing moves as they change.
    stepsArea_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    columns->addWidget(stepsArea_, 5);
    figuresArea_ = new QWidget(box_);
    auto* figures = new QFormLayout(figuresArea_);
    figures->setContentsMargins(0, 0, 0, 0);
    figures->setVerticalSpacing(3);
    figuresArea_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    columns->addWidget(figuresArea_, 4, Qt::AlignTop);
    done_ = addFigure(QStringLiteral("Progress"));
    toWrite_ = addFigure(QStringLiteral("Bytes to write"));
    written_ = addFigure(QStringLiteral("Bytes written"));
    elapsed_ = addFigure(QStringLiteral("Elapsed"));
    left_ = addFigure(QStringLiteral("Time left"));
    // The times move on between the run's events.
    clockTick_.setInterval(250);
    connect(&clockTick_, &QTimer::timeout, this, [this] { refreshFigures(); });
    connection_ = progress_.changed.connect([this] { refresh(); });
    setVisible(false);
    refresh();
}

QLabel* RunPanel::addFigure(const QString& caption) {
    auto* value = new QLabel(figuresArea_);
    value->setObjectName(caption);
    value->setTextFormat(Qt::PlainText);
    static_cast<QFormLayout*>(figuresArea_->layout())->addRow(caption + QStringLiteral(":"), value);
    return value;
}

void RunPanel::refresh() {
    const bool active = progress_.active();
    if (bar_) {
        // Nothing to measure while the port opens and the monitor is probed: the bar moves
        // to show that the program works.
        const bool busy = progress_.busy();
        if (busy && bar_->maximum() != 0) bar_->setRange(0, 0);
        if (!busy && bar_->maximum() == 0) bar_->setRange(0, 100);
        // The window's bar counts the blocks of the three phases of a programming run; a read
        // has one, so its bar shows the read's own share, as the panel does.
        if (!busy && !progress_.writes()) bar_->setValue(progress_.percent());
    }
    box_->setTitle(progress_.writes() ? QStringLiteral("Programming the modem")
                                      : QStringLiteral("Reading the modem"));
    // A read of the modem writes nothing: no byte counts.
    auto* figures = static_cast<QFormLayout*>(figuresArea_->layout());
    for (QLabel* value : {toWrite_, written_}) {
        value->setVisible(progress_.writes());
        figures->labelForField(value)->setVisible(progress_.writes());
    }
    refreshSteps();
    refreshFigures();
    // Shown once filled in: the window takes the panel's size as it comes.
    if (isHidden() == active) setVisible(active);
    if (active && !clockTick_.isActive()) clockTick_.start();
    if (!active) clockTick_.stop();
}

void RunPanel::refreshSteps() {
    const std::vector<app::RunStep>& steps = progress_.steps();
    if (rows_.size() != steps.size()) {
        for (StepRow& r : rows_)
            delete r.row;
        rows_.clear();
        for (std::size_t i = 0; i < steps.size(); ++i) {
            StepRow r;
            r.row = new QWidget(stepsArea_);
            auto* h = new QHBoxLayout(r.row);
            h->setContentsMargins(4, 1, 4, 1);
            h->setSpacing(6);
            r.mark = new QLabel(r.row);
            r.mark->setFixedWidth(fontMetrics().height());
            r.mark->setAlignment(Qt::AlignCenter);
            r.text = new QLabel(r.row);
            r.count = new QLabel(r.row);
            r.count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            h->addWidget(r.mark);
            h->addWidget(r.text, 1);
            h->addWidget(r.count);
            stepsArea_->layout()->addWidget(r.row);
            rows_.push_back(r);
        }
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const app::RunStep& s = steps[i];
        StepRow& r = rows_[i];
        const bool current = s.state == StepState::Current;
        r.mark->setText(markOf(s.state));
        QPalette markPal = r.mark->palette();
        markPal.setColor(QPalette::WindowText, markColour(s.state, palette()));
        r.mark->setPalette(markPal);
        r.text->setText(QString::fromStdString(s.text));
        r.count->setText(QString::fromStdString(s.count));
        QFont f = r.text->font();
        f.setBold(current);
        r.text->setFont(f);
        QPalette rowPal = r.row->palette();
        rowPal.setColor(QPalette::Window, currentBackground(palette()));
        r.row->setPalette(rowPal);
        r.row->setAutoFillBackground(current);
        const bool faded = s.state == StepState::Skipped || s.state == StepState::Waiting;
        QPalette textPal = r.text->palette();
        textPal.setColor(QPalette::WindowText, faded ? palette().color(QPalette::PlaceholderText)
                                                     : palette().color(QPalette::WindowText));
        r.text->setPalette(textPal);
    }
}

void RunPanel::refreshFigures() {
    const bool connecting =
        !progress_.steps().empty() && progress_.steps().front().state == StepState::Current;
    done_->setText(connecting ? QStringLiteral("connecting...")
                              : QStringLiteral("%1 %").arg(progress_.percent()));
    const std::optional<int> planned = progress_.bytesToWrite();
    toWrite_->setText(planned ? QString::number(*planned) : QStringLiteral("after reading"));
    written_->setText(QString::number(progress_.bytesWritten()));
    elapsed_->setText(timeText(progress_.elapsed()));
    bool atLeast = false;
    const std::optional<std::chrono::seconds> left = progress_.remaining(&atLeast);
    if (progress_.outcomeKnown())
        left_->setText(QStringLiteral("\u2013"));
    else if (!left)
        left_->setText(QStringLiteral("estimating..."));
    else
        left_->setText((atLeast ? QStringLiteral("at least ") : QStringLiteral("about ")) +
                       timeText(*left));
}

} // namespace rw::ui

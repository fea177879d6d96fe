// The main window's view of a run on the modem: its steps with the current one marked, the
// share done, the bytes to write and written, the time taken and left. Shown from the run's
// start until its port is released; the window's own progress bar turns into a busy
// indicator while the run connects.
#pragma once

#include "app/run_progress.h"

#include <QFrame>
#include <QPointer>
#include <QTimer>

#include <vector>

class QGroupBox;
class QLabel;
class QProgressBar;

namespace rw::ui {

class RunPanel : public QFrame {
public:
    RunPanel(app::RunProgress& progress, QProgressBar* bar, QWidget* parent = nullptr);

private:
    struct StepRow {
        QWidget* row = nullptr;
        QLabel* mark = nullptr;
        QLabel* text = nullptr;
        QLabel* count = nullptr;
    };
    void refresh();
    void refreshSteps();
    void refreshFigures();
    QLabel* addFigure(const QString& caption);

    app::RunProgress& progress_;
    QPointer<QProgressBar> bar_;
    QGroupBox* box_ = nullptr;
    QWidget* stepsArea_ = nullptr;
    std::vector<StepRow> rows_;
    QWidget* figuresArea_ = nullptr;
    QLabel* done_ = nullptr;
    QLabel* toWrite_ = nullptr;
    QLabel* written_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QLabel* left_ = nullptr;
    QTimer clockTick_;
    Connection connection_;
};

} // namespace rw::ui

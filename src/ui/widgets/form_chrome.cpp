// FormView for a window that edits a file (DocumentWindow): the file's name and modified mark
// in the title, a status bar, a menu bar whose commands click the window's own buttons, and
// files dropped on the window.
#include "ui/widgets/form_view.h"
#include "ui/widgets/form_view_internal.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace rw::ui {

using namespace detail;

namespace {

// The one local file of a drag, or nothing.
QString droppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().front();
    return url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : QString();
}

// A status text shortened with an ellipsis when the bar is narrower than the text.
class StatusText : public QLabel {
public:
    StatusText(QWidget* parent, Qt::TextElideMode mode) : QLabel(parent), mode_(mode) {
        setTextFormat(Qt::PlainText);
        setContentsMargins(4, 0, 4, 0);
    }
    QSize minimumSizeHint() const override {
        return {fontMetrics().horizontalAdvance(QStringLiteral("M...")),
                QLabel::minimumSizeHint().height()};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect r = contentsRect();
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text(), mode_, r.width()));
    }

private:
    Qt::TextElideMode mode_;
};

} // namespace

void FormView::setupDocument(DocumentWindow& doc) {
    document_ = &doc;
    setAcceptDrops(true);
    documentConnection_ = doc.documentChanged.connect([this] {
        refreshTitle();
        refreshStatus();
        refreshMenus();
    });
    modifiedConnection_ = doc.documentModified().changed.connect([this] { refreshTitle(); });

    menuBar_ = new QMenuBar(this);
    outer_->setMenuBar(menuBar_);
    std::map<std::string, QMenu*> menus;
    for (const MenuCommand& cmd : doc.menuCommands()) {
        QMenu*& menu = menus[cmd.menu];
        if (!menu) {
            menu = menuBar_->addMenu(qs(cmd.menu));
            connect(menu, &QMenu::aboutToShow, this, [this] { refreshMenus(); });
        }
        if (cmd.text.empty()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = nullptr;
        if (cmd.items) {
            QMenu* sub = menu->addMenu(qs(cmd.text));
            action = sub->menuAction();
            connect(sub, &QMenu::aboutToShow, this, [sub, items = cmd.items, pick = cmd.pick] {
                sub->clear();
                const std::vector<std::string> texts = items();
                for (std::size_t i = 0; i < texts.size(); ++i) {
                    // "&1 path": the number picks it from the keyboard.
                    QAction* a = sub->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
                        qs(texts[i]).replace('&', QStringLiteral("&&"))));
                    connect(a, &QAction::triggered, sub, [pick, i] {
                        if (pick) pick(static_cast<int>(i));
                    });
                }
            });
        } else {
            action = menu->addAction(qs(cmd.text));
            if (!cmd.shortcut.empty()) action->setShortcut(QKeySequence(qs(cmd.shortcut)));
            connect(action, &QAction::triggered, this, [this, button = cmd.button, run = cmd.run] {
                if (button)
                    clickButton(*button);
                else if (run)
                    run();
            });
            if (cmd.button)
                buttonConnections_.push_back(
                    cmd.button->stateChanged.connect([this] { refreshMenus(); }));
        }
        menuActions_.push_back({cmd, action});
    }
    refreshMenus();

    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    outer_->addWidget(statusBar_);
    refreshStatus();
    fixWindowSize();
}

void FormView::refreshMenus() {
    for (MenuAction& m : menuActions_) {
        const MenuCommand& c = m.command;
        bool on = true;
        if (c.button) {
            on = c.button->enabled() && c.button->shown();
            if (c.hiddenWithButton) m.action->setVisible(c.button->visible());
        }
        if (c.enabled) on = on && c.enabled();
        if (c.items) on = !c.items().empty();
        m.action->setEnabled(on);
    }
}

void FormView::refreshStatus() {
    if (!statusBar_ || !document_) return;
    const std::vector<std::string> texts = document_->statusTexts();
    while (statusLabels_.size() < texts.size()) {
        // The path and the result share what room there is (the path shortened in the
        // middle, where the folders are); the others take what they need.
        const bool path = statusLabels_.size() == 1;
        const bool last = statusLabels_.size() == 3;
        auto* l = new StatusText(statusBar_, path ? Qt::ElideMiddle : Qt::ElideRight);
        l->setObjectName(QStringLiteral("status%1").arg(statusLabels_.size()));
        if (!statusLabels_.empty()) {
            auto* line = new QFrame(statusBar_);
            line->setFrameShape(QFrame::VLine);
            line->setFrameShadow(QFrame::Sunken);
            statusBar_->addWidget(line);
        }
        statusBar_->addWidget(l, path ? 3 : last ? 2 : 0);
        statusLabels_.push_back(l);
    }
    for (std::size_t i = 0; i < statusLabels_.size(); ++i) {
        auto* l = static_cast<QLabel*>(statusLabels_[i]);
        const QString t = i < texts.size() ? qs(texts[i]) : QString();
        l->setText(t);
        l->setToolTip(t);
        l->setVisible(!t.isEmpty());
        // The last result is read in full where it can be; the path gives way (it is shortened
        // in the middle).
        if (i == 3)
            l->setMinimumWidth(
                std::min(l->fontMetrics().horizontalAdvance(t) + 10, width() * 3 / 5));
    }
}

void FormView::refreshTitle() {
    const QString caption = qs(form_.caption());
    const std::string name = document_ ? document_->documentName() : std::string();
    // The file first, with Qt's modified mark, as desktop editors title their windows.
    setWindowTitle(name.empty() ? caption : qs(name) + QStringLiteral("[*] - ") + caption);
    setWindowModified(document_ && !name.empty() && document_->documentModified());
}

void FormView::addPanel(QWidget* panel) {
    // Under the controls, above the status bar.
    const int at = statusBar_ ? outer_->indexOf(statusBar_) : outer_->count();
    outer_->insertWidget(at, panel);
    panels_.push_back(panel);
    panel->installEventFilter(this);
    fixWindowSize();
}

bool FormView::panelShownOrHidden(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::ShowToParent && e->type() != QEvent::HideToParent) return false;
    if (std::find(panels_.begin(), panels_.end(), watched) == panels_.end()) return false;
    // The window grows by the panel and shrinks back; what grows stays on the screen.
    fixWindowSize();
    if (QScreen* s = screen(); s && isVisible()) {
        const QRect avail = s->availableGeometry();
        const int over = frameGeometry().bottom() - avail.bottom();
        if (over > 0) move(x(), std::max(avail.top(), y() - over));
    }
    return true;
}

void FormView::dragEnterEvent(QDragEnterEvent* e) {
    if (document_ && !droppedFile(e->mimeData()).isEmpty())
        e->acceptProposedAction();
    else
        e->ignore();
}

void FormView::dropEvent(QDropEvent* e) {
    const QString file = droppedFile(e->mimeData());
    if (!document_ || file.isEmpty()) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    document_->openDropped(file.toStdString());
}

} // namespace rw::ui

// FormView for windows that describe their arrangement: group boxes for headings, sub-groups
// for sub-headings, rows of a caption and its fields, columns that stand side by side when
// the screen is wide enough and one under the other when not, and a scroll area for what is
// still too tall. The buttons stay in view under it.
#include "ui/widgets/form_view.h"
#include "ui/widgets/form_view_internal.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace rw::ui {

using namespace detail;

namespace {

constexpr int kStackGap = 10;

// A red frame drawn around a control whose value the window refuses.
class ProblemOutline : public QWidget {
public:
    explicit ProblemOutline(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0xd0, 0x10, 0x10), 2));
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
    }
};

bool isField(const Control* c) {
    return c && c->kind() != ControlKind::Label;
}

// The longest text a widget shows, and the room it needs beside the text (frame, mark).
QString shownText(QWidget* w, const QFontMetrics& fm, int& extra) {
    QString text;
    extra = 0;
    if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        text = withoutAccelerator(b->text());
        extra = 10;
    }
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
        text = g->title();
        extra = 12;
    }
    if (auto* cb = qobject_cast<QCheckBox*>(w)) {
        text = cb->text();
        extra = cb->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, cb) +
                cb->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, cb);
    }
    if (auto* le = qobject_cast<QLineEdit*>(w)) {
        text = le->text();
        extra = 8;
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        for (int i = 0; i < combo->count(); ++i)
            if (fm.horizontalAdvance(combo->itemText(i)) > fm.horizontalAdvance(text))
                text = combo->itemText(i);
        extra = 20;
    }
    return text;
}

QString tabKey(const QString& form) {
    return "windows/" + form + "/geometry";
}

} // namespace

// Where the rows of a column go while it is built: the column, the body of the group or
// sub-group that takes rows now, and the grid of captioned rows in it.
struct FormView::PlanCursor {
    Column& col;
    QVBoxLayout* colLayout;
    QWidget* container;           // a group's or sub-group's body, or the column itself
    QWidget* groupBody = nullptr; // the body of the current heading's group
    QGridLayout* grid = nullptr;
    int row = -1;
};

void FormView::buildFromPlan(const LayoutPlan& plan) {
    entries_.reserve(form_.controls().size());
    buildScrollArea();
    for (std::size_t ci = 0; ci < kColumnCount; ++ci)
        buildColumn(plan.columns[ci]);
    buildBottomBar(plan);
    placeUnplanned();
    watchEntries();
    setTabOrderFromPlan(plan);
}

void FormView::buildScrollArea() {
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    content_ = new QWidget;
    columnsRow_ = new QHBoxLayout(content_);
    columnsRow_->setContentsMargins(10, 10, 10, 4);
    columnsRow_->setSpacing(kStackGap);
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        auto* stack = new QVBoxLayout;
        stack->setSpacing(8);
        stack->addStretch(1);
        columnsRow_->addLayout(stack);
        stacks_.push_back(stack);
    }
    columnsRow_->addStretch(1);
    scroll_->setWidget(content_);
    outer_->addWidget(scroll_, 1);
}

QWidget* FormView::placePlanned(Control* c, QWidget* parent) {
    addEntry(c, parent);
    return entries_.back().widget;
}

QGroupBox* FormView::addGroup(Control* heading, QWidget* parent, bool bold) {
    auto* g = new QGroupBox(parent);
    g->setFocusPolicy(Qt::NoFocus);
    g->setObjectName(qs(heading->fullName()));
    QFont f = g->font();
    f.setBold(bold);
    g->setFont(f);
    Entry e;
    e.control = heading;
    e.widget = g;
    entries_.push_back(std::move(e));
    groups_[heading] = g;
    // What the group holds is drawn in the ordinary font.
    auto* body = new QWidget(g);
    QFont normal = body->font();
    normal.setBold(false);
    body->setFont(normal);
    auto* gl = new QVBoxLayout(g);
    gl->setContentsMargins(8, 4, 8, 8);
    gl->addWidget(body);
    auto* bl = new QVBoxLayout(body);
    bl->setContentsMargins(0, 0, 0, 0);
    bl->setSpacing(6);
    return g;
}

void FormView::buildColumn(const std::vector<LayoutRow>& rows) {
    Column col;
    col.widget = new QWidget(content_);
    auto* colLayout = new QVBoxLayout(col.widget);
    colLayout->setContentsMargins(0, 0, 0, 0);
    colLayout->setSpacing(8);
    PlanCursor at{col, colLayout, col.widget};
    for (const LayoutRow& r : rows)
        addPlannedRow(r, at);
    colLayout->addStretch(1);
    columns_.push_back(col);
}

void FormView::addPlannedRow(const LayoutRow& r, PlanCursor& at) {
    auto bodyOf = [](QGroupBox* g) {
        return g->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    };
    switch (r.kind) {
    case LayoutRow::Heading: {
        QGroupBox* g = addGroup(r.caption, at.col.widget, true);
        at.colLayout->addWidget(g);
        at.col.groups.push_back(g);
        at.container = at.groupBody = bodyOf(g);
        at.grid = nullptr;
        break;
    }
    case LayoutRow::SubHeading: {
        QWidget* parent = at.groupBody ? at.groupBody : at.col.widget;
        QGroupBox* g = addGroup(r.caption, parent, false);
        g->setFlat(true);
        static_cast<QBoxLayout*>(parent->layout())->addWidget(g);
        if (!at.groupBody) at.col.groups.push_back(g);
        at.container = bodyOf(g);
        at.grid = nullptr;
        break;
    }
    case LayoutRow::Gap:
        at.container = at.groupBody ? at.groupBody : at.col.widget;
        at.grid = nullptr;
        break;
    case LayoutRow::Row:
    case LayoutRow::Check:
    case LayoutRow::Grid:
        addCaptionedRow(r, at);
        break;
    }
}

void FormView::addCaptionedRow(const LayoutRow& r, PlanCursor& at) {
    if (!at.grid) {
        at.grid = new QGridLayout;
        at.grid->setHorizontalSpacing(8);
        at.grid->setVerticalSpacing(4);
        at.grid->setColumnStretch(4, 1);
        static_cast<QBoxLayout*>(at.container->layout())->addLayout(at.grid);
        at.row = -1;
    }
    // A half row stands beside the row before it.
    const int row = r.kind != LayoutRow::Grid && r.half && at.row >= 0 ? at.row : ++at.row;
    if (r.kind == LayoutRow::Check) {
        at.grid->addWidget(placePlanned(r.caption, at.container), row, r.half ? 2 : 0, 1, 2);
        return;
    }
    QWidget* cap = r.caption ? placePlanned(r.caption, at.container) : nullptr;
    const int base = r.kind == LayoutRow::Row && r.half ? 2 : 0;
    if (cap) at.grid->addWidget(cap, row, base);
    if (r.kind == LayoutRow::Row) {
        at.grid->addLayout(fieldsBox(r.fields, 0, r.fields.size(), at.container), row, base + 1);
    } else {
        const std::size_t half = r.fields.size() / 2;
        at.grid->addLayout(fieldsBox(r.fields, 0, half, at.container), row, 1);
        at.grid->addLayout(fieldsBox(r.fields, half, r.fields.size(), at.container), row, 2, 1, 2);
    }
    // The caption's accelerator focuses the first field it names.
    if (auto* l = qobject_cast<QLabel*>(cap))
        for (Control* f : r.fields)
            if (isField(f) && f->kind() != ControlKind::UpDown) {
                l->setBuddy(widgetFor(f));
                break;
            }
}

QLayout* FormView::fieldsBox(const std::vector<Control*>& fields, std::size_t from, std::size_t to,
                             QWidget* container) {
    auto* h = new QHBoxLayout;
    h->setSpacing(3);
    std::vector<Control*> boxes; // text boxes the next up-down pair steps
    for (std::size_t i = from; i < to; ++i) {
        Control* f = fields[i];
        h->addWidget(placePlanned(f, container));
        if (f->kind() == ControlKind::TextBox) boxes.push_back(f);
        if (f->kind() == ControlKind::UpDown) {
            for (Control* b : boxes)
                steppers_[b] = static_cast<UpDown*>(f);
            boxes.clear();
        }
    }
    h->addStretch(1);
    return h;
}

void FormView::buildBottomBar(const LayoutPlan& plan) {
    // Under the scroll area: notes on the left, the buttons bottom right.
    bottomBar_ = new QHBoxLayout;
    bottomBar_->setContentsMargins(10, 6, 10, 10);
    bottomBar_->setSpacing(8);
    auto* notes = new QVBoxLayout;
    notes->setSpacing(2);
    for (Control* n : plan.notes)
        notes->addWidget(placePlanned(n, this));
    bottomBar_->addLayout(notes);
    bottomBar_->addStretch(1);
    for (Control* b : plan.buttons) {
        QWidget* w = placePlanned(b, this);
        w->setMinimumWidth(88);
        bottomBar_->addWidget(w);
    }
    outer_->addLayout(bottomBar_);
}

void FormView::placeUnplanned() {
    // Frames are drawn as the groups; they still decide what is shown.
    for (const auto& c : form_.controls()) {
        if (c->kind() == ControlKind::Frame) {
            frameConnections_.push_back(c->stateChanged.connect([this] { syncVisibilityAll(); }));
        } else if (!entryOf(c.get())) {
            // Nothing may go missing: a control the plan forgot is drawn at the end of the
            // last column, and the layout check names it.
            unplanned_.push_back(c.get());
            static_cast<QBoxLayout*>(columns_.back().widget->layout())
                ->addWidget(placePlanned(c.get(), columns_.back().widget));
        }
    }
}

void FormView::setTabOrderFromPlan(const LayoutPlan& plan) {
    // Reading order: column by column, row by row, left to right within a row (a row beside
    // another comes after it), then the buttons.
    std::vector<QWidget*> order;
    auto add = [&](Control* c) {
        if (isField(c))
            if (QWidget* w = widgetFor(c)) order.push_back(w);
    };
    for (const auto& column : plan.columns)
        for (const LayoutRow& r : column) {
            if (r.kind == LayoutRow::Check) add(r.caption);
            for (Control* f : r.fields)
                add(f);
        }
    for (Control* b : plan.buttons)
        add(b);
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

QGroupBox* FormView::groupOf(const Control* heading) const {
    const auto it = groups_.find(heading);
    return it == groups_.end() ? nullptr : it->second;
}

void FormView::updateColumns() {
    for (Column& col : columns_) {
        bool any = false;
        for (QGroupBox* g : col.groups)
            if (const Control* c = controlOf(g); !c || c->shown()) any = true;
        col.widget->setVisible(any);
    }
    arrangement_.clear();
    arrangeColumns(arrangeWidth_);
}

void FormView::arrangeColumns(int width) {
    arrangeWidth_ = width;
    std::vector<int> shown;
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (!columns_[i].widget->isHidden()) shown.push_back(static_cast<int>(i));
    if (shown.empty()) return;
    // Nested layouts keep their measures until they are next laid out; fields that changed
    // size since then must count now.
    for (QWidget* w : content_->findChildren<QWidget*>())
        w->updateGeometry();
    for (QLayout* l : content_->findChildren<QLayout*>())
        l->invalidate();
    const QMargins m = columnsRow_->contentsMargins();
    const int room = width - m.left() - m.right();
    // Every split of the columns, in order, into stacks: the most stacks side by side that
    // fit the width, and of those the split with the lowest stack.
    const std::size_t n = shown.size();
    std::vector<std::vector<int>> best;
    int bestStacks = 0, bestHeight = 0;
    for (unsigned cuts = 0; cuts < (1u << (n - 1)); ++cuts) {
        std::vector<std::vector<int>> stacks(1);
        for (std::size_t i = 0; i < n; ++i) {
            if (i > 0 && (cuts & (1u << (i - 1)))) stacks.emplace_back();
            stacks.back().push_back(shown[i]);
        }
        int w = kStackGap * static_cast<int>(stacks.size() - 1), h = 0;
        for (const auto& s : stacks) {
            int sw = 0, sh = 0;
            for (int c : s) {
                const QSize hint = columns_[static_cast<std::size_t>(c)].widget->sizeHint();
                sw = std::max(sw, hint.width());
                sh += hint.height() + 8;
            }
            w += sw;
            h = std::max(h, sh);
        }
        const int k = static_cast<int>(stacks.size());
        const bool fits = w <= room;
        if (best.empty() || (fits && (k > bestStacks || (k == bestStacks && h < bestHeight)))) {
            if (!fits && !best.empty()) continue;
            best = stacks;
            bestStacks = fits ? k : 0;
            bestHeight = h;
        }
    }
    if (best == arrangement_) return;
    arrangement_ = best;
    for (const Column& col : columns_)
        for (QVBoxLayout* s : stacks_)
            s->removeWidget(col.widget);
    for (std::size_t s = 0; s < best.size(); ++s)
        for (int c : best[s])
            stacks_[s]->insertWidget(stacks_[s]->count() - 1,
                                     columns_[static_cast<std::size_t>(c)].widget);
}

void FormView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (plan_) arrangeColumns(e->size().width() - style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void FormView::fitInto(const QRect& available) {
    if (!plan_) return;
    // Room the window frame takes (title bar and borders): as measured once shown, at least
    // a typical frame.
    QMargins frame(4, 30, 4, 4);
    if (isVisible()) {
        const QRect f = frameGeometry(), g = geometry();
        frame = QMargins(std::max(frame.left(), g.left() - f.left()),
                         std::max(frame.top(), g.top() - f.top()),
                         std::max(frame.right(), f.right() - g.right()),
                         std::max(frame.bottom(), f.bottom() - g.bottom()));
    }
    const int maxW = available.width() - frame.left() - frame.right();
    const int maxH = available.height() - frame.top() - frame.bottom();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    arrangeColumns(maxW - bar);
    content_->layout()->activate();
    const QSize hint = content_->sizeHint();
    int chrome = bottomBar_->sizeHint().height();
    if (menuBar_) chrome += menuBar_->sizeHint().height();
    if (statusBar_) chrome += statusBar_->sizeHint().height();
    // The columns are arranged for the width left beside a vertical scroll bar, whether or
    // not it shows, so that the bar coming and going does not rearrange them.
    const int w = std::max(hint.width() + bar, bottomBar_->sizeHint().width());
    const int h = std::min(hint.height() + chrome, maxH);
    resize(std::min(w, maxW), h);
}

void FormView::placeFirstTime() {
    QScreen* screen = anchor_ ? anchor_->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect avail = screen->availableGeometry();
    if (rememberGeometry_) {
        const QVariant saved = QSettings().value(tabKey(objectName()));
        // Qt brings a window restored off the screen back onto it.
        if (saved.isValid() && restoreGeometry(saved.toByteArray())) return;
    }
    fitInto(avail);
    const QSize outer = size() + QSize(8, 34); // with a typical frame
    const int gap = 8;
    QPoint at(avail.x() + (avail.width() - outer.width()) / 2,
              avail.y() + (avail.height() - outer.height()) / 2);
    if (anchor_ && anchor_->isVisible()) {
        QRect a = anchor_->frameGeometry();
        at.setY(a.top());
        if (a.right() + gap + outer.width() <= avail.right()) {
            at.setX(a.right() + gap);
        } else if (a.left() - gap - outer.width() >= avail.left()) {
            at.setX(a.left() - gap - outer.width());
        } else {
            // No room on either side: the main window moves to the left edge and this one
            // takes what is left beside it, as long as its columns fit there one under the
            // other; otherwise it goes to the right edge.
            anchor_->move(avail.left(), a.top());
            a = anchor_->frameGeometry();
            const int room = avail.right() - a.right() - gap;
            int narrowest = 0;
            for (const Column& col : columns_)
                if (!col.widget->isHidden())
                    narrowest = std::max(narrowest, col.widget->sizeHint().width());
            const int need = narrowest + 20 + style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                             (outer.width() - width());
            if (room >= need) {
                fitInto(QRect(a.right() + gap, avail.top(), room, avail.height()));
                at.setX(a.right() + gap);
            } else {
                at.setX(avail.right() + 1 - outer.width());
            }
        }
    }
    const QSize o = size() + QSize(8, 34);
    at.setX(
        std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() + 1 - o.width())));
    at.setY(
        std::clamp(at.y(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - o.height())));
    move(at);
}

void FormView::syncOutline(Entry& e) {
    const std::string& why = e.control->problem();
    QWidget* w = e.widget;
    w->setToolTip(qs(why));
    if (why.empty() || !e.control->shown()) {
        if (e.outline) e.outline->hide();
        return;
    }
    if (!e.outline) e.outline = new ProblemOutline(w->parentWidget());
    e.outline->setGeometry(w->geometry().adjusted(-2, -2, 2, 2));
    e.outline->setToolTip(qs(why));
    e.outline->show();
    e.outline->raise();
}

std::vector<QWidget*> FormView::tabStops() const {
    std::vector<QWidget*> out;
    QWidget* start = nullptr;
    for (const Entry& e : entries_)
        if (e.widget->isVisibleTo(this) && e.widget->isEnabled() &&
            (e.widget->focusPolicy() & Qt::TabFocus)) {
            start = e.widget;
            break;
        }
    if (!start) return out;
    // Qt's own chain, as the Tab key walks it.
    QWidget* w = start;
    std::set<QWidget*> seen;
    do {
        if (const Control* c = controlOf(w)) {
            QWidget* own = widgetFor(c);
            if (own && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(this) &&
                w->isEnabled() && seen.insert(own).second)
                out.push_back(own);
        }
        w = w->nextInFocusChain();
    } while (w && w != start);
    return out;
}

void FormView::planProblems(std::vector<std::string>& out) const {
    for (const Control* c : unplanned_)
        out.push_back(std::string(kindName(c->kind())) + " " + c->fullName() +
                      " is in no row of the window's arrangement");
    struct Drawn {
        const Entry* e;
        QRect r; // in window coordinates
    };
    std::vector<Drawn> drawn;
    for (const Entry& e : entries_) {
        if (!e.control->shown()) continue;
        const std::string name =
            std::string(kindName(e.control->kind())) + " " + e.control->fullName();
        if (!e.widget->isVisibleTo(this)) {
            out.push_back(name + " is not drawn");
            continue;
        }
        const QRect r(e.widget->mapTo(this, QPoint(0, 0)), e.widget->size());
        // Overlaps count where the widget can be seen: the scroll area clips what is
        // scrolled away.
        drawn.push_back({&e, e.widget->visibleRegion().boundingRect().translated(r.topLeft())});
        const QFontMetrics fm(e.widget->font());
        int extra = 0;
        const QString text = shownText(e.widget, fm, extra);
        if (!text.isEmpty() && fm.horizontalAdvance(text) + extra > r.width())
            out.push_back(name + " \"" + text.toStdString() + "\": needs " +
                          std::to_string(fm.horizontalAdvance(text) + extra) + " px wide, has " +
                          std::to_string(r.width()));
        if (!text.isEmpty() && r.height() < fm.height())
            out.push_back(name + ": " + std::to_string(r.height()) + " px high, text needs " +
                          std::to_string(fm.height()));
    }
    for (std::size_t i = 0; i < drawn.size(); ++i)
        for (std::size_t j = i + 1; j < drawn.size(); ++j) {
            const Drawn& a = drawn[i];
            const Drawn& b = drawn[j];
            if (!a.r.intersects(b.r)) continue;
            // A group holds what lies inside it.
            if (a.e->widget->isAncestorOf(b.e->widget) || b.e->widget->isAncestorOf(a.e->widget))
                continue;
            out.push_back(std::string(kindName(a.e->control->kind())) + " " +
                          a.e->control->fullName() + " " + rectText(a.r) + " overlaps " +
                          kindName(b.e->control->kind()) + " " + b.e->control->fullName() + " " +
                          rectText(b.r));
        }
    // Everything fits the width: no sideways scrolling.
    if (content_->width() < content_->minimumSizeHint().width() ||
        (scroll_->horizontalScrollBar()->isVisible()))
        out.push_back("the window is too narrow for its columns: " +
                      std::to_string(scroll_->viewport()->width()) + " px for " +
                      std::to_string(content_->sizeHint().width()));
    // The buttons are in view.
    if (plan_)
        for (Control* b : plan_->buttons)
            if (QWidget* w = widgetFor(b);
                w && b->shown() && !rect().contains(QRect(w->mapTo(this, QPoint()), w->size())))
                out.push_back(std::string("button ") + b->fullName() + " lies outside the window");
}

} // namespace rw::ui

#include "ui/widgets/form_view.h"
#include "ui/widgets/form_view_internal.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

// Focus, click and key tracing for diagnosing input problems: ROMWRIGHT_TRACE=1.
#define TRACE(x)                                                                                   \
    do {                                                                                           \
        static const bool on = qEnvironmentVariableIsSet("ROMWRIGHT_TRACE");                       \
        if (on) qDebug().noquote() << x; /* NOLINT(bugprone-macro-parentheses): a << chain */      \
    } while (0)

namespace rw::ui {

using namespace detail;

namespace {

// 0x00BBGGRR, or a system colour (high bit set) that follows the platform's palette.
QColor qtColour(Colour c, const QPalette& pal) {
    if (c & 0x80000000u) {
        switch (c & 0xFF) {
        case 0x05:
            return pal.color(QPalette::Base); // window background
        case 0x08:
            return pal.color(QPalette::Text); // window text
        case 0x12:
            return pal.color(QPalette::ButtonText); // button text
        default:
            return pal.color(QPalette::Window); // button face and the rest
        }
    }
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

// The key code a typed key gives the windows (the character itself; 8 Backspace, 13 Enter,
// 27 Escape); -1 for keys that type nothing (arrows, Delete, Tab, modifiers).
int typedKey(const QKeyEvent* ke) {
    switch (ke->key()) {
    case Qt::Key_Backspace:
        return kBackspace;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return -1;
    default:
        break;
    }
    // Control combinations are editing commands (select all, copy, paste), not typing:
    // handlers that hand the focus on after a typed character must not see them.
    if (ke->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return -1;
    const QString t = ke->text();
    if (t.size() == 1 && t[0].unicode() >= 32 && t[0].unicode() < 127) return t[0].unicode();
    return -1;
}

// Label texts are plain: '&' stays a character.
QString labelText(const std::string& s) {
    return qs(s);
}

int frameDepth(const Control* c) {
    int d = 0;
    for (const Control* p = c->container(); p; p = p->container())
        ++d;
    return d;
}

// A check box that answers a click anywhere in its box, not only on the mark and caption.
class WholeCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

} // namespace

QPixmap modemPicture(int w, int h) {
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pm(QSize(std::max(w, 1), std::max(h, 1)) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // The drawing keeps its proportions (about 2 : 1) in the middle of whatever box it gets.
    qreal W = w, H = h;
    if (W > 2 * H)
        W = 2 * H;
    else
        H = W / 2;
    p.translate((w - W) / 2, (h - H) / 2);
    // Body: a flat desktop box, seen slightly from above.
    const QRectF body(W * 0.06, H * 0.38, W * 0.88, H * 0.40);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, QColor(0x5a, 0x6f, 0x8c));
    g.setColorAt(1, QColor(0x2c, 0x38, 0x4a));
    QPainterPath top;
    top.moveTo(body.left() + W * 0.06, body.top() - H * 0.12);
    top.lineTo(body.right() - W * 0.06, body.top() - H * 0.12);
    top.lineTo(body.right(), body.top());
    top.lineTo(body.left(), body.top());
    top.closeSubpath();
    p.setPen(QPen(QColor(0x1d, 0x25, 0x31), std::max(1.0, W / 64)));
    p.setBrush(QColor(0x8a, 0x9e, 0xb8));
    p.drawPath(top);
    p.setBrush(g);
    p.drawRoundedRect(body, W * 0.03, W * 0.03);
    // Front lights: power, line, data.
    const QColor lights[] = {QColor(0x4c, 0xe0, 0x5a), QColor(0xff, 0xb3, 0x2e),
                             QColor(0x4c, 0xe0, 0x5a)};
    const qreal r = std::max(1.5, std::min(W, H) * 0.035);
    for (int i = 0; i < 3; ++i) {
        const QPointF c(body.left() + W * (0.14 + 0.1 * i), body.center().y());
        p.setPen(Qt::NoPen);
        p.setBrush(lights[i]);
        p.drawEllipse(c, r, r);
    }
    // Ventilation slots.
    p.setPen(QPen(QColor(0x1d, 0x25, 0x31), std::max(1.0, W / 80)));
    for (int i = 0; i < 5; ++i) {
        const qreal x = body.left() + W * (0.5 + 0.07 * i);
        p.drawLine(QPointF(x, body.top() + H * 0.1), QPointF(x, body.bottom() - H * 0.1));
    }
    // Feet.
    p.setBrush(QColor(0x1d, 0x25, 0x31));
    p.drawRect(QRectF(body.left() + W * 0.08, body.bottom(), W * 0.1, H * 0.04));
    p.drawRect(QRectF(body.right() - W * 0.18, body.bottom(), W * 0.1, H * 0.04));
    // The line: a cable leaving the back with signal arcs above it.
    p.setPen(QPen(QColor(0x33, 0x33, 0x33), std::max(1.5, W / 40), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable;
    cable.moveTo(body.right() - W * 0.1, body.top() - H * 0.1);
    cable.cubicTo(QPointF(W * 0.9, H * 0.08), QPointF(W * 0.98, H * 0.2),
                  QPointF(W * 0.99, H * 0.05));
    p.drawPath(cable);
    p.setPen(QPen(QColor(0x2e, 0x7d, 0xd1), std::max(1.0, W / 50), Qt::SolidLine, Qt::RoundCap));
    for (int i = 1; i <= 3; ++i) {
        const qreal s = W * 0.07 * i;
        p.drawArc(QRectF(W * 0.3 - s / 2, H * 0.2 - s / 2, s, s), 30 * 16, 120 * 16);
    }
    return pm;
}

void applyWindowStyle() {
    // The layouts are drawn for a small dialog font (about 8 points at 96 dpi): a compact
    // sans-serif keeps every caption inside the room the windows give it.
    QFont f = QApplication::font();
    f.setFamilies({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                   QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    QApplication::setFont(f);
}

FormView::FormView(Form& form, QWidget* parent) : QWidget(parent, Qt::Window), form_(form) {
    initWindow();
    canvas_ = new QWidget(this);
    outer_->addWidget(canvas_);
    build();
    if (auto* doc = dynamic_cast<DocumentWindow*>(&form_)) setupDocument(*doc);
    connectEntries();
    syncForm();
}

FormView::FormView(Form& form, const LayoutPlan& plan, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(form), plan_(&plan) {
    initWindow();
    buildFromPlan(plan);
    if (auto* doc = dynamic_cast<DocumentWindow*>(&form_)) setupDocument(*doc);
    connectEntries();
    updateColumns();
    syncForm();
}

FormView::~FormView() {
    if (rememberGeometry_ && isVisible())
        QSettings().setValue("windows/" + objectName() + "/geometry", saveGeometry());
}

void FormView::initWindow() {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setObjectName(qs(form_.name()));
    outer_ = new QVBoxLayout(this);
    outer_->setContentsMargins(0, 0, 0, 0);
    outer_->setSpacing(0);
}

void FormView::fixWindowSize() {
    // A window placed in pixels is as large as its model says, plus its menu bar, panels
    // and status bar; long status texts are shortened, they do not widen it.
    if (!canvas_) return;
    int h = 0;
    for (int i = 0; i < outer_->count(); ++i)
        if (QWidget* w = outer_->itemAt(i)->widget(); w && w != canvas_ && !w->isHidden())
            h += w->sizeHint().height();
    if (menuBar_) h += menuBar_->sizeHint().height();
    setFixedSize(form_.width(), form_.height() + h);
}

void FormView::connectEntries() {
    formConnection_ = form_.stateChanged.connect([this] { syncForm(); });
    focusConnection_ = form_.focusChanged.connect([this] { syncFocus(); });
}

void FormView::addEntry(Control* c, QWidget* parent) {
    Entry e;
    e.control = c;
    e.widget = createWidget(*c, parent);
    entries_.push_back(std::move(e));
}

void FormView::build() {
    // Frames first, outer before inner, so that the controls they hold lie above them; the
    // rest in the window's own order, which is also the order of the Tab key.
    std::vector<Control*> order;
    for (auto& c : form_.controls())
        if (c->kind() == ControlKind::Frame) order.push_back(c.get());
    std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
        return frameDepth(a) < frameDepth(b);
    });
    for (auto& c : form_.controls())
        if (c->kind() != ControlKind::Frame) order.push_back(c.get());

    entries_.reserve(order.size());
    for (Control* c : order)
        addEntry(c, canvas_);
    watchEntries();
}

void FormView::watchEntries() {
    for (auto& e : entries_) {
        watch(e.widget, e.control);
        Control* c = e.control;
        e.connection = c->stateChanged.connect([this, c] {
            if (Entry* en = entryOf(c)) syncControl(*en);
            // A frame's visibility decides that of everything it holds.
            if (c->kind() == ControlKind::Frame) syncVisibilityAll();
        });
        syncControl(e);
    }
}

QWidget* FormView::createWidget(Control& c, QWidget* parent) {
    QWidget* w = nullptr;
    switch (c.kind()) {
    case ControlKind::TextBox:
        w = createTextBox(static_cast<TextBox&>(c), parent);
        break;
    case ControlKind::ComboBox:
        w = createComboBox(static_cast<ComboBox&>(c), parent);
        break;
    case ControlKind::CheckBox:
        w = createCheckBox(static_cast<CheckBox&>(c), parent);
        break;
    case ControlKind::Label: {
        auto* l = new QLabel(parent);
        l->setTextFormat(Qt::PlainText);
        w = l;
        break;
    }
    case ControlKind::Button:
        w = createButton(static_cast<Button&>(c), parent);
        break;
    case ControlKind::UpDown:
        w = createUpDown(static_cast<UpDown&>(c), parent);
        break;
    case ControlKind::Frame: {
        auto* g = new QGroupBox(parent);
        g->setFocusPolicy(Qt::NoFocus);
        w = g;
        break;
    }
    case ControlKind::Picture: {
        auto* l = new QLabel(parent);
        l->setAlignment(Qt::AlignCenter);
        w = l;
        break;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setTextVisible(false);
        w = bar;
        break;
    }
    }
    w->setObjectName(qs(c.fullName()));
    w->setAccessibleName(qs(c.fullName()));
    return w;
}

QWidget* FormView::createTextBox(TextBox& box, QWidget* parent) {
    auto* le = new QLineEdit(parent);
    // The model enforces the length limit on typing; Qt's limit would cut program texts.
    le->setMaxLength(32767);
    QObject::connect(le, &QLineEdit::textEdited, this, [this, &box, le](const QString& t) {
        if (updating_) return;
        const QString before = qs(box.text());
        if (box.maxLength() > 0 && t.size() > box.maxLength() && t.size() > before.size()) {
            // A paste beyond the limit: refused as typing would be.
            ++updating_;
            le->setText(before);
            --updating_;
            return;
        }
        box.setText(t.toStdString());
        if (Entry* e = entryOf(&box)) syncControl(*e);
    });
    return le;
}

QWidget* FormView::createComboBox(ComboBox& combo, QWidget* parent) {
    auto* cb = new QComboBox(parent);
    cb->setEditable(combo.editable());
    cb->setInsertPolicy(QComboBox::NoInsert);
    cb->setMaxVisibleItems(20);
    // Every pick counts, even of the item already selected (activated, not changed).
    QObject::connect(cb, &QComboBox::activated, this, [this, &combo](int i) {
        if (updating_) return;
        combo.userPick(i);
        if (Entry* e = entryOf(&combo)) syncControl(*e);
    });
    connectComboEdit(combo, cb);
    return cb;
}

void FormView::connectComboEdit(ComboBox& combo, QComboBox* cb) {
    if (!cb->lineEdit()) return;
    // Inline completion would show more than the model holds.
    cb->setCompleter(nullptr);
    QObject::connect(cb->lineEdit(), &QLineEdit::textEdited, this,
                     [this, &combo](const QString& t) {
                         if (updating_) return;
                         combo.userType(t.toStdString());
                     });
}

QWidget* FormView::createCheckBox(CheckBox& check, QWidget* parent) {
    auto* box = new WholeCheckBox(parent);
    QObject::connect(box, &QCheckBox::clicked, this, [this, &check] {
        if (updating_) return;
        if (suppressClickOf_ == &check) {
            suppressClickOf_ = nullptr;
        } else {
            check.userClick();
        }
        // The model decides the value (a refused click leaves it as it was).
        if (Entry* e = entryOf(&check)) syncControl(*e);
    });
    return box;
}

QWidget* FormView::createButton(Button& button, QWidget* parent) {
    auto* b = new QPushButton(parent);
    // Enter presses the focused button, as in the windows' own toolkit.
    b->setAutoDefault(true);
    QObject::connect(b, &QPushButton::clicked, this, [this, &button] {
        if (updating_) return;
        if (suppressClickOf_ == &button) {
            suppressClickOf_ = nullptr;
            return;
        }
        button.userClick();
    });
    return b;
}

QWidget* FormView::createUpDown(UpDown& ud, QWidget* parent) {
    auto* pair = new QWidget(parent);
    auto* up = new QToolButton(pair);
    auto* down = new QToolButton(pair);
    // The arrows are worked by the mouse, the wheel and the Up/Down keys of the boxes they
    // step; they are no Tab stops.
    for (auto* t : {up, down}) {
        t->setFocusPolicy(Qt::NoFocus);
        t->setAutoRaise(false);
    }
    pair->setFocusProxy(up);
    QObject::connect(up, &QToolButton::clicked, this, [this, &ud] {
        if (!updating_) ud.userUp();
    });
    QObject::connect(down, &QToolButton::clicked, this, [this, &ud] {
        if (!updating_) ud.userDown();
    });
    return pair;
}

void FormView::watch(QWidget* w, Control* c) {
    owners_[w] = c;
    w->installEventFilter(this);
    for (QWidget* child : w->findChildren<QWidget*>()) {
        if (owners_.count(child)) continue;
        owners_[child] = c;
        child->installEventFilter(this);
    }
}

Control* FormView::controlOf(QObject* o) const {
    auto it = owners_.find(o);
    return it == owners_.end() ? nullptr : it->second;
}

FormView::Entry* FormView::entryOf(const Control* c) {
    for (auto& e : entries_)
        if (e.control == c) return &e;
    return nullptr;
}

const FormView::Entry* FormView::entryOf(const Control* c) const {
    for (auto& e : entries_)
        if (e.control == c) return &e;
    return nullptr;
}

QWidget* FormView::widgetFor(const Control* c) const {
    const Entry* e = entryOf(c);
    return e ? e->widget : nullptr;
}

void FormView::placeText(Entry& e, const QString& text, int extra) {
    // Texts are never clipped: a caption wider than its control gets the room it needs
    // (wrapped when the control is tall enough for more lines, else one longer line).
    const Geometry& g = e.control->geometry();
    QRect r(g.x, g.y, g.w, g.h);
    QFont f = e.widget->font();
    const QFontMetrics fm(f);
    const QRect natural =
        fm.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, text);
    const int needW = natural.width() + extra + 2;
    auto* label = qobject_cast<QLabel*>(e.widget);
    if (label) label->setWordWrap(false);
    grown_.erase(e.control);
    if (text.isEmpty() || needW <= g.w) {
        r.setHeight(std::max(g.h, natural.height()));
    } else {
        const QRect wrapped =
            fm.boundingRect(QRect(0, 0, std::max(1, g.w - extra - 2), 100000),
                            Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        if (label && wrapped.width() + extra + 2 <= g.w && wrapped.height() <= g.h) {
            label->setWordWrap(true);
        } else {
            r.setWidth(needW);
            r.setHeight(std::max(g.h, natural.height()));
            grown_[e.control] = std::string(kindName(e.control->kind())) + " " +
                                e.control->fullName() + " \"" + text.toStdString() + "\": needs " +
                                std::to_string(needW) + " px wide, has " + std::to_string(g.w) +
                                " " + rectText(QRect(g.x, g.y, g.w, g.h));
        }
    }
    if (label) {
        // One line sits in the middle of its box; wrapped text starts at the top.
        const bool oneLine = !label->wordWrap() && natural.height() <= fm.height() + 1;
        Qt::Alignment h = Qt::AlignLeft;
        if (auto* model = dynamic_cast<Label*>(e.control)) {
            if (model->alignment() == Label::Align::Right) h = Qt::AlignRight;
            if (model->alignment() == Label::Align::Center) h = Qt::AlignHCenter;
        }
        label->setAlignment(h | (oneLine ? Qt::AlignVCenter : Qt::AlignTop));
    }
    e.widget->setGeometry(r);
}

void FormView::syncControl(Entry& e) {
    ++updating_;
    Control& c = *e.control;
    QWidget* w = e.widget;
    const Geometry& g = c.geometry();
    bool placed = false;
    switch (c.kind()) {
    case ControlKind::TextBox:
        syncTextBox(static_cast<TextBox&>(c), static_cast<QLineEdit*>(w));
        break;
    case ControlKind::ComboBox:
        syncComboBox(static_cast<ComboBox&>(c), static_cast<QComboBox*>(w));
        break;
    case ControlKind::CheckBox:
        placed = syncCheckBox(e);
        break;
    case ControlKind::Label:
        placed = syncLabel(e);
        break;
    case ControlKind::Button: {
        auto& button = static_cast<Button&>(c);
        static_cast<QPushButton*>(w)->setText(qs(button.caption()));
        break;
    }
    case ControlKind::UpDown:
        syncUpDown(c, w);
        break;
    case ControlKind::Frame: {
        static_cast<QGroupBox*>(w)->setTitle(qs(static_cast<Frame&>(c).caption()));
        break;
    }
    case ControlKind::Picture: {
        auto* l = static_cast<QLabel*>(w);
        if (g.w > 0 && g.h > 0 && (l->pixmap().isNull() || l->size() != QSize(g.w, g.h)))
            l->setPixmap(modemPicture(g.w, g.h));
        break;
    }
    case ControlKind::ProgressBar: {
        static_cast<QProgressBar*>(w)->setValue(static_cast<ProgressBar&>(c).value());
        break;
    }
    }
    if (!placed && !plan_) w->setGeometry(g.x, g.y, g.w, g.h);
    w->setEnabled(c.enabled());
    w->setVisible(c.shown());
    syncOutline(e);
    --updating_;
}

void FormView::syncTextBox(TextBox& box, QLineEdit* le) {
    const QString t = qs(box.text());
    if (le->text() != t) {
        const int pos = le->cursorPosition();
        le->setText(t);
        le->setCursorPosition(std::min<int>(pos, static_cast<int>(t.size())));
    }
    le->setReadOnly(box.readOnly());
    // Read-only boxes can be clicked into (to copy) but are no Tab stops.
    le->setFocusPolicy(box.readOnly() ? Qt::ClickFocus : Qt::StrongFocus);
    if (plan_) {
        // As wide as the longest text the box takes, or shows.
        const QFontMetrics fm(le->font());
        const int chars = std::max(box.maxLength() > 0 ? box.maxLength() : 8, 2);
        const int text = std::max(fm.horizontalAdvance(QString(chars, QLatin1Char('D'))),
                                  fm.horizontalAdvance(t));
        le->setFixedWidth(text + 14);
    }
    QPalette pal = le->palette();
    pal.setColor(QPalette::Base, qtColour(box.backColour(), QApplication::palette()));
    pal.setColor(QPalette::Text, Qt::black);
    le->setPalette(pal);
}

void FormView::syncComboBox(ComboBox& combo, QComboBox* cb) {
    if (cb->isEditable() != combo.editable()) {
        cb->setEditable(combo.editable());
        connectComboEdit(combo, cb);
        watch(cb, &combo);
    }
    QStringList items;
    for (auto& i : combo.items())
        items << qs(i);
    QStringList shown;
    for (int i = 0; i < cb->count(); ++i)
        shown << cb->itemText(i);
    if (items != shown) {
        cb->clear();
        cb->addItems(items);
    }
    if (cb->currentIndex() != combo.listIndex()) cb->setCurrentIndex(combo.listIndex());
    const QString t = qs(combo.text());
    if (combo.editable()) {
        if (cb->currentText() != t) cb->setEditText(t);
    } else {
        // A text that is no item shows with no selection.
        cb->setPlaceholderText(combo.listIndex() < 0 ? t : QString());
    }
    QPalette pal = cb->palette();
    const QColor back = qtColour(combo.backColour(), QApplication::palette());
    pal.setColor(QPalette::Base, back);
    if (combo.backColour() != kWindowWhite)
        pal.setColor(QPalette::Button, back);
    else
        pal.setColor(QPalette::Button, QApplication::palette().color(QPalette::Button));
    pal.setColor(QPalette::Text, Qt::black);
    pal.setColor(QPalette::PlaceholderText, pal.color(QPalette::Text));
    cb->setPalette(pal);
}

bool FormView::syncCheckBox(Entry& e) {
    auto& check = static_cast<CheckBox&>(*e.control);
    auto* box = static_cast<QCheckBox*>(e.widget);
    box->setText(qs(check.caption()));
    box->setTristate(check.value() == 2);
    box->setCheckState(check.value() == 1   ? Qt::Checked
                       : check.value() == 2 ? Qt::PartiallyChecked
                                            : Qt::Unchecked);
    if (plan_) return false;
    const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
                          box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
    placeText(e, withoutAccelerator(box->text()), indicator);
    return true;
}

bool FormView::syncLabel(Entry& e) {
    auto& label = static_cast<Label&>(*e.control);
    if (auto* group = qobject_cast<QGroupBox*>(e.widget)) {
        // A heading drawn as the title of its group.
        group->setTitle(qs(label.caption()));
        return false;
    }
    auto* l = static_cast<QLabel*>(e.widget);
    QFont f = plan_ ? l->font() : font();
    f.setBold(label.bold());
    l->setFont(f);
    l->setText(labelText(label.caption()));
    if (plan_) return false;
    placeText(e, l->text(), 0);
    return true;
}

void FormView::syncUpDown(const Control& c, QWidget* w) {
    const auto parts = upDownParts(w);
    if (!parts.up) return;
    const Geometry& g = c.geometry();
    if (plan_) {
        // Stacked, as tall as the box beside it.
        const int h = QLineEdit().sizeHint().height();
        w->setFixedSize(std::max(18, h * 3 / 4), h);
        parts.up->setArrowType(Qt::UpArrow);
        parts.down->setArrowType(Qt::DownArrow);
        parts.up->setGeometry(0, 0, w->width(), h / 2);
        parts.down->setGeometry(0, h / 2, w->width(), h - h / 2);
    } else {
        // Side by side when the pair is wider than tall.
        const bool across = g.w > g.h;
        parts.up->setArrowType(across ? Qt::RightArrow : Qt::UpArrow);
        parts.down->setArrowType(across ? Qt::LeftArrow : Qt::DownArrow);
        if (across) {
            parts.down->setGeometry(0, 0, g.w / 2, g.h);
            parts.up->setGeometry(g.w / 2, 0, g.w - g.w / 2, g.h);
        } else {
            parts.up->setGeometry(0, 0, g.w, g.h / 2);
            parts.down->setGeometry(0, g.h / 2, g.w, g.h - g.h / 2);
        }
    }
    parts.up->setEnabled(c.enabled());
    parts.down->setEnabled(c.enabled());
}

void FormView::syncVisibilityAll() {
    ++updating_;
    for (auto& e : entries_) {
        e.widget->setVisible(e.control->shown());
        syncOutline(e);
    }
    --updating_;
    if (plan_) updateColumns();
}

void FormView::syncForm() {
    ++updating_;
    refreshTitle();
    if (canvas_ && canvas_->size() != QSize(form_.width(), form_.height())) {
        canvas_->setFixedSize(form_.width(), form_.height());
        fixWindowSize();
    }
    const bool placedByModel = form_.left() != 0 || form_.top() != 0;
    if (placedByModel && pos() != QPoint(form_.left(), form_.top()))
        move(form_.left(), form_.top());
    if (form_.visible() && !isVisible()) {
        if (plan_ && !placed_) {
            // Sized for the screen and put beside the window it belongs to, or where the
            // user left it last time.
            placeFirstTime();
        } else if (!placedByModel && !plan_) {
            // A window the model never placed opens in the middle of the screen; the model
            // learns where (windows opened "at the same place" as another one follow it).
            if (QScreen* s = QGuiApplication::primaryScreen()) {
                const QRect a = s->availableGeometry();
                move(a.x() + (a.width() - width()) / 2, a.y() + (a.height() - height()) / 2);
            }
        }
        placed_ = true;
        show();
        raise();
        activateWindow();
        shownCount_ = form_.showCount();
        --updating_;
        if (!placedByModel || plan_) form_.move(pos().x(), pos().y());
        if (focusOnShow_) form_.setFocus(focusOnShow_);
        syncFocus();
        return;
    }
    if (!form_.visible() && isVisible()) hide();
    if (form_.visible() && isVisible() && form_.showCount() != shownCount_) {
        // Shown again while up: to the front, as the window's own toolkit does.
        raise();
        activateWindow();
        if (focusOnShow_) form_.setFocus(focusOnShow_);
    }
    shownCount_ = form_.showCount();
    --updating_;
}

void FormView::syncFocus() {
    if (inFocusIn_) {
        // Qt is in the middle of giving the focus to a widget: move it once that is done.
        if (!focusSyncQueued_) {
            focusSyncQueued_ = true;
            QTimer::singleShot(0, this, [this] {
                focusSyncQueued_ = false;
                syncFocus();
            });
        }
        return;
    }
    Control* f = form_.focused();
    QWidget* w = widgetFor(f);
    if (!w || !w->isEnabled() || !f->shown()) return;
    if (w->hasFocus() ||
        (QApplication::focusWidget() && controlOf(QApplication::focusWidget()) == f))
        return;
    ++focusSync_;
    w->setFocus(Qt::OtherFocusReason);
    --focusSync_;
    // A box the program hands the focus to is ready to be typed over, as after Tab.
    if (auto* le = qobject_cast<QLineEdit*>(w)) le->selectAll();
}

bool FormView::handleKeyPress(TextBox& box, QWidget* w, QKeyEvent* ke) {
    const int key = typedKey(ke);
    if (key < 0) return false; // editing keys (Delete, arrows): Qt edits, the change follows
    auto* le = qobject_cast<QLineEdit*>(w);
    const QString textBefore = le ? le->text() : QString();
    const int selStart = le ? le->selectionStart() : -1;
    const auto selLength = le ? le->selectedText().size() : 0;
    const int cursor = le ? le->cursorPosition() : 0;
    // Key press first: it may move the focus, but the character still goes into this box
    // (the event stays addressed to it).
    if (box.onKeyPress) box.onKeyPress(key);
    if (!le) return false;
    if (le->text() == textBefore && le->cursorPosition() != cursor && selStart < 0)
        le->setCursorPosition(cursor);
    // Losing the focus dropped the selection; the character still replaces it.
    if (le->text() == textBefore && selStart >= 0 && !le->hasSelectedText())
        le->setSelection(selStart, static_cast<int>(selLength));
    if (key >= 32 && key <= 126 && box.maxLength() > 0) {
        const auto kept = le->text().size() - le->selectedText().size();
        if (kept >= box.maxLength()) return true; // full: the character does not go in
    }
    return false;
}

bool FormView::eventFilter(QObject* watched, QEvent* e) {
    Control* c = controlOf(watched);
    if (!c) {
        panelShownOrHidden(watched, e);
        return QWidget::eventFilter(watched, e);
    }
    switch (e->type()) {
    case QEvent::FocusIn:
        focusIn(c, static_cast<QFocusEvent*>(e)->reason());
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (mousePress(c)) return true;
        break;
    case QEvent::MouseButtonRelease:
        if (swallowRelease_) {
            swallowRelease_ = false;
            return true;
        }
        break;
    case QEvent::Wheel: {
        // The wheel on a carrier box or its arrows steps it, one step a notch.
        const int dy = static_cast<QWheelEvent*>(e)->angleDelta().y();
        if (dy != 0 && stepCarrier(c, dy > 0)) return true;
        // Turning the wheel over a list that the user is not working in does not pick.
        if (c->kind() == ControlKind::ComboBox && !c->hasFocus()) return true;
        break;
    }
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        if (Entry* en = entryOf(c); en && en->widget == watched && en->outline) syncOutline(*en);
        break;
    case QEvent::KeyPress:
        if (keyPress(c, watched, static_cast<QKeyEvent*>(e))) return true;
        break;
    case QEvent::KeyRelease:
        keyRelease(static_cast<QKeyEvent*>(e));
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, e);
}

void FormView::focusIn(Control* c, Qt::FocusReason reason) {
    TRACE("FocusIn " << c->fullName().c_str() << " reason " << reason << " updating " << updating_
                     << " sync " << focusSync_ << " model "
                     << (form_.focused() ? form_.focused()->fullName() : std::string("-")).c_str());
    if (updating_ || focusSync_ || form_.focused() == c || !c->canTakeFocus()) return;
    // Focus moves the handlers make meanwhile are carried out once Qt is done.
    const bool outer = !inFocusIn_;
    inFocusIn_ = true;
    if ((reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) &&
        form_.focused()) {
        // Qt gives back the focus it remembers; the model's own focus is the one that counts.
        syncFocus();
    } else if (!form_.setFocus(c)) {
        // Validation kept the focus where it was: the click that asked for it is void.
        if (reason == Qt::MouseFocusReason) swallowPress_ = true;
        if (reason == Qt::ShortcutFocusReason) suppressClickOf_ = c;
        TRACE("  refused; swallow " << swallowPress_);
    }
    if (form_.focused() != c) syncFocus();
    if (outer) inFocusIn_ = false;
}

bool FormView::mousePress(Control* c) {
    TRACE("Press " << c->fullName().c_str() << " swallow " << swallowPress_);
    bool refuse = swallowPress_;
    swallowPress_ = false;
    // Qt may believe the control has the focus already (it sends no focus-in then), or the
    // control takes no focus by clicking (the up-down arrows): the model is asked here, and
    // a refusal voids the click.
    if (!refuse && form_.focused() != c && c->canTakeFocus() && c->enabled()) {
        const bool outer = !inFocusIn_;
        inFocusIn_ = true;
        refuse = !form_.setFocus(c);
        if (outer) inFocusIn_ = false;
        if (!refuse) syncFocus();
    }
    swallowRelease_ = refuse;
    return refuse;
}

bool FormView::keyPress(Control* c, QObject* watched, QKeyEvent* ke) {
    const bool plain = (ke->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (ke->key() == Qt::Key_Up || ke->key() == Qt::Key_Down) &&
        stepCarrier(c, ke->key() == Qt::Key_Up))
        return true;
    if (plain && (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) && defaultButton_ &&
        c->kind() != ControlKind::Button && c->kind() != ControlKind::TextBox) {
        auto* cb = qobject_cast<QComboBox*>(widgetFor(c));
        if (!cb || !cb->view()->isVisible()) {
            clickButton(*defaultButton_);
            return true;
        }
    }
    TRACE("KeyPress " << c->fullName().c_str() << " key " << typedKey(ke));
    swallowPress_ = false;
    // Only keys that type come up in the model (not Ctrl, arrows or Tab).
    if (const int k = typedKey(ke); k >= 0) pressedKeys_[ke->key()] = k;
    if (c->kind() == ControlKind::TextBox && qobject_cast<QLineEdit*>(watched))
        return handleKeyPress(static_cast<TextBox&>(*c), static_cast<QWidget*>(watched), ke);
    return false;
}

void FormView::keyRelease(QKeyEvent* ke) {
    // Only keys that went down in this window come up in it (not the Enter that closed a
    // message box).
    const auto it = pressedKeys_.find(ke->key());
    if (it == pressedKeys_.end()) return;
    const int key = it->second;
    if (!ke->isAutoRepeat()) pressedKeys_.erase(it);
    // To the box that has the focus now, which after a focus move is the new one.
    if (auto* box = dynamic_cast<TextBox*>(form_.focused()); box && box->onKeyRelease)
        box->onKeyRelease(key);
}

bool FormView::stepCarrier(Control* c, bool up) {
    UpDown* ud = c && c->kind() == ControlKind::UpDown ? static_cast<UpDown*>(c) : nullptr;
    if (!ud) {
        const auto it = steppers_.find(c);
        if (it == steppers_.end()) return false;
        ud = it->second;
    }
    // The same model calls as a click on the arrow; a box that had the focus keeps it, so
    // that the next key steps again.
    const bool hadFocus = c->hasFocus() && c != ud;
    if (!ud->enabled() || !ud->shown()) return true;
    const bool done = up ? ud->userUp() : ud->userDown();
    if (done && hadFocus) form_.setFocus(c);
    return true;
}

void FormView::setDefaultButton(Button& b) {
    defaultButton_ = &b;
    if (auto* pb = qobject_cast<QPushButton*>(widgetFor(&b))) pb->setDefault(true);
}

void FormView::clickButton(Button& b) {
    b.userClick();
}

void FormView::closeEvent(QCloseEvent* e) {
    // The form decides: a question, Cancel, or hiding. The view follows the model.
    e->ignore();
    if (onCloseByFrame)
        onCloseByFrame();
    else
        form_.hide();
}

void FormView::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (rememberGeometry_ && !e->spontaneous())
        QSettings().setValue("windows/" + objectName() + "/geometry", saveGeometry());
}

void FormView::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    // The model knows where the user put the window.
    if (!updating_ && isVisible() && (form_.left() != x() || form_.top() != y())) {
        ++updating_;
        form_.move(x(), y());
        --updating_;
    }
}

std::vector<std::string> FormView::layoutProblems() const {
    std::vector<std::string> out;
    if (plan_) {
        planProblems(out);
        return out;
    }
    for (auto& [control, problem] : grown_)
        out.push_back(problem);
    const QRect client(0, 0, form_.width(), form_.height());
    std::vector<const Entry*> shown;
    for (auto& e : entries_)
        if (e.control->shown() && e.widget->width() > 0 && e.widget->height() > 0)
            shown.push_back(&e);
    for (const Entry* e : shown) {
        const QRect r = e->widget->geometry();
        const std::string name =
            std::string(kindName(e->control->kind())) + " " + e->control->fullName();
        if (!client.contains(r))
            out.push_back(name + " " + rectText(r) + " lies outside the window " +
                          rectText(client));
        if (Control* f = e->control->container()) {
            if (const Entry* fe = entryOf(f); fe && !fe->widget->geometry().contains(r))
                out.push_back(name + " " + rectText(r) + " lies outside its frame " +
                              f->fullName() + " " + rectText(fe->widget->geometry()));
        }
        QString text;
        int extra = 10;
        if (auto* b = qobject_cast<QPushButton*>(e->widget)) text = withoutAccelerator(b->text());
        if (auto* g = qobject_cast<QGroupBox*>(e->widget)) {
            text = g->title();
            extra = 16;
        }
        if (!text.isEmpty()) {
            const int need = e->widget->fontMetrics().horizontalAdvance(text) + extra;
            if (need > r.width())
                out.push_back(name + " \"" + text.toStdString() + "\": needs " +
                              std::to_string(need) + " px wide, has " + std::to_string(r.width()));
        }
        if (qobject_cast<QLineEdit*>(e->widget) || qobject_cast<QComboBox*>(e->widget)) {
            const int need = e->widget->fontMetrics().height() + 4;
            if (r.height() < need)
                out.push_back(name + " " + rectText(r) + ": " + std::to_string(r.height()) +
                              " px high, text needs " + std::to_string(need));
        }
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            const Entry* a = shown[i];
            const Entry* b = shown[j];
            const QRect ra = a->widget->geometry();
            const QRect rb = b->widget->geometry();
            if (!ra.intersects(rb)) continue;
            const bool fa = a->control->kind() == ControlKind::Frame;
            const bool fb = b->control->kind() == ControlKind::Frame;
            // A frame holds what lies inside it; only partial overlaps with frames count.
            if ((fa && ra.contains(rb)) || (fb && rb.contains(ra))) continue;
            if (fa != fb) {
                const QRect inner = fa ? ra : rb;
                const QRect other = fa ? rb : ra;
                if (inner.contains(other)) continue;
            }
            out.push_back(std::string(kindName(a->control->kind())) + " " + a->control->fullName() +
                          " " + rectText(ra) + " overlaps " + kindName(b->control->kind()) + " " +
                          b->control->fullName() + " " + rectText(rb));
        }
    }
    return out;
}

} // namespace rw::ui

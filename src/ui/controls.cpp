#include "ui/controls.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace rw::ui {

struct Connection::Slots {
    std::vector<std::pair<int, Signal::Slot>> list;
    int next = 1;
};

Connection::Connection(Connection&& other) noexcept
    : slots_(std::move(other.slots_)), id_(std::exchange(other.id_, 0)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        disconnect();
        slots_ = std::move(other.slots_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

void Connection::disconnect() {
    if (auto s = slots_.lock())
        std::erase_if(s->list, [this](const auto& p) { return p.first == id_; });
    slots_.reset();
    id_ = 0;
}

Signal::Signal() : slots_(std::make_shared<Connection::Slots>()) {}

Connection Signal::connect(Slot s) {
    const int id = slots_->next++;
    slots_->list.emplace_back(id, std::move(s));
    return Connection(slots_, id);
}

void Signal::emit() const {
    // Copy: a slot may connect or disconnect while we run.
    auto copy = slots_->list;
    for (auto& [id, slot] : copy)
        if (slot) slot();
}

Control::Control(Form& form, ControlKind kind, std::string name, int index)
    : form_(form), kind_(kind), name_(std::move(name)), index_(index) {}

std::string Control::fullName() const {
    return index_ < 0 ? name_ : name_ + "(" + std::to_string(index_) + ")";
}

void Control::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    notify();
}

void Control::setVisible(bool v) {
    if (visible_ == v) return;
    visible_ = v;
    notify();
}

bool Control::shown() const {
    for (const Control* c = this; c; c = c->container())
        if (!c->visible()) return false;
    return true;
}

void Control::setGeometry(int x, int y, int w, int h) {
    geometry_ = {x, y, w, h};
    notify();
}

void Control::setProblem(const std::string& why) {
    if (problem_ == why) return;
    problem_ = why;
    notify();
}

bool Control::hasFocus() const {
    return form_.focused() == this;
}

bool Control::canTakeFocus() const {
    switch (kind_) {
    case ControlKind::Label:
    case ControlKind::Frame:
    case ControlKind::Picture:
    case ControlKind::ProgressBar:
        return false;
    default:
        return enabled_;
    }
}

void TextBox::setText(const std::string& t) {
    if (t == text_) return;
    text_ = t;
    notify();
    if (onChange) onChange();
}

void TextBox::setReadOnly(bool r) {
    readOnly_ = r;
    notify();
}

void TextBox::setBackColour(Colour c) {
    if (back_ == c) return;
    back_ = c;
    notify();
}

static bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

void ComboBox::addItem(const std::string& item) {
    items_.push_back(item);
    notify();
}

void ComboBox::setItems(const std::vector<std::string>& items) {
    clear();
    items_ = items;
    notify();
}

void ComboBox::clear() {
    items_.clear();
    index_ = -1;
    setTextInternal("");
    notify();
}

int ComboBox::findItem(const std::string& text) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (equalsNoCase(items_[i], text)) return static_cast<int>(i);
    return -1;
}

void ComboBox::setTextInternal(const std::string& t) {
    if (t == text_) return;
    text_ = t;
    notify();
    if (onChange) onChange();
}

void ComboBox::setListIndex(int i) {
    if (i < -1 || i >= static_cast<int>(items_.size())) i = -1;
    if (i == index_) return;
    index_ = i;
    setTextInternal(i < 0 ? std::string() : items_[static_cast<std::size_t>(i)]);
    notify();
    if (onClick) onClick();
}

void ComboBox::setText(const std::string& t) {
    const int i = findItem(t);
    if (i >= 0) {
        setListIndex(i);
        return;
    }
    if (editable_) {
        index_ = -1;
        setTextInternal(t);
        return;
    }
    // A text that is no item: shown, no selection, no click.
    index_ = -1;
    setTextInternal(t);
    notify();
}

void ComboBox::userPick(int i) {
    if (i < 0 || i >= static_cast<int>(items_.size())) return;
    index_ = i;
    setTextInternal(items_[static_cast<std::size_t>(i)]);
    notify();
    if (onClick) onClick();
}

bool ComboBox::userPick(const std::string& itemText) {
    auto it = std::find(items_.begin(), items_.end(), itemText);
    if (it == items_.end()) return false;
    userPick(static_cast<int>(it - items_.begin()));
    return true;
}

void ComboBox::userType(const std::string& t) {
    index_ = findItem(t);
    if (index_ >= 0 && items_[static_cast<std::size_t>(index_)] != t) index_ = -1;
    setTextInternal(t);
    notify();
}

void ComboBox::setBackColour(Colour c) {
    if (back_ == c) return;
    back_ = c;
    notify();
}

void CheckBox::setValue(int v) {
    if (v < 0 || v > 2) v = 0;
    if (v == value_) return;
    value_ = v;
    notify();
    if (onClick) onClick();
}

void CheckBox::userClick() {
    if (!enabled() || !form().setFocus(this)) return;
    setValue(value_ == 1 ? 0 : 1);
}

void CheckBox::setCaption(const std::string& c) {
    caption_ = c;
    notify();
}

void Label::setCaption(const std::string& c) {
    if (c == caption_) return;
    caption_ = c;
    notify();
}

void Button::setCaption(const std::string& c) {
    caption_ = c;
    notify();
}

bool Button::userClick() {
    if (!enabled() || !shown()) return false;
    if (!form().setFocus(this)) return false;
    click();
    return true;
}

bool UpDown::userUp() {
    if (!enabled() || !form().setFocus(this)) return false;
    if (onUpClick) onUpClick();
    return true;
}

bool UpDown::userDown() {
    if (!enabled() || !form().setFocus(this)) return false;
    if (onDownClick) onDownClick();
    return true;
}

void Frame::setCaption(const std::string& c) {
    caption_ = c;
    notify();
}

void ProgressBar::setValue(int v) {
    v = std::clamp(v, 0, 100);
    if (v == value_) return;
    value_ = v;
    notify();
}

Form::Form(std::string name, std::string caption)
    : name_(std::move(name)), caption_(std::move(caption)) {}

void Form::setCaption(const std::string& c) {
    caption_ = c;
    stateChanged.emit();
}

void Form::show() {
    visible_ = true;
    ++showCount_;
    stateChanged.emit();
}

void Form::hide() {
    visible_ = false;
    stateChanged.emit();
}

void Form::setSize(int w, int h) {
    width_ = w;
    height_ = h;
    stateChanged.emit();
}

void Form::move(int x, int y) {
    left_ = x;
    top_ = y;
    stateChanged.emit();
}

Control* Form::find(const std::string& name, int index) const {
    for (auto& c : controls_)
        if (c->name() == name && c->index() == index) return c.get();
    return nullptr;
}

Control* Form::findByFullName(const std::string& fullName) const {
    for (auto& c : controls_)
        if (c->fullName() == fullName) return c.get();
    return nullptr;
}

bool Form::setFocus(Control* c) {
    if (c == focused_) return true;
    Control* old = focused_;
    if (old && old->onValidate) {
        bool cancel = false;
        old->onValidate(c, cancel);
        if (cancel) {
            focusChanged.emit(); // the renderer puts the focus back
            return false;
        }
    }
    // A handler may have moved the focus itself meanwhile; the latest move wins.
    if (focused_ != old) return focused_ == c;
    focused_ = c;
    if (old && old->onLostFocus) old->onLostFocus(c);
    if (focused_ == c && c && c->onGotFocus) c->onGotFocus();
    focusChanged.emit();
    return true;
}

bool Form::leave(Control* next) {
    return setFocus(next);
}

void Form::keyStroke(TextBox& box, int key) {
    TextBox* target = &box;
    if (auto* f = dynamic_cast<TextBox*>(focused_)) target = f;
    if (target->onKeyPress) target->onKeyPress(key);
    if (!target->readOnly()) {
        std::string t = target->text();
        if (key == kBackspace) {
            if (!t.empty()) t.pop_back();
            target->setText(t);
        } else if (key >= 32 && key <= 126) {
            if (target->maxLength() == 0 || static_cast<int>(t.size()) < target->maxLength()) {
                t.push_back(static_cast<char>(key));
                target->setText(t);
            }
        }
    }
    TextBox* releaseTo = target;
    if (auto* f = dynamic_cast<TextBox*>(focused_)) releaseTo = f;
    if (releaseTo->onKeyRelease) releaseTo->onKeyRelease(key);
}

bool Form::typeText(TextBox& box, const std::string& value) {
    if (!setFocus(&box)) return false;
    box.setText("");
    for (unsigned char ch : value)
        keyStroke(box, ch);
    return true;
}

} // namespace rw::ui

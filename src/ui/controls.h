// Toolkit-free controls. Windows own these and react to their events; the Qt layer draws
// them and turns user input into the same calls that tests and the command line make.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rw::ui {

class Form;

// Colours as the windows store them: 0x00BBGGRR.
using Colour = std::uint32_t;
constexpr Colour kRed = 0x0000FF;
constexpr Colour kFieldBlue = 0xFF8080; // the editable fields' normal background
constexpr Colour kWindowWhite = 0xFFFFFF;
constexpr Colour kButtonFace = 0x8000000F; // system colour: follow the platform

constexpr int kBackspace = 8;

struct Geometry {
    int x = 0, y = 0, w = 0, h = 0; // pixels, relative to the window's client area
};

enum class ControlKind {
    TextBox,
    ComboBox,
    CheckBox,
    Label,
    Button,
    UpDown,
    Frame,
    Picture,
    ProgressBar
};

class Signal;

// A connection to a Signal; ends it when destroyed (or when disconnect() is called). Safe to
// outlive the signal.
class Connection {
public:
    Connection() = default;
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { disconnect(); }
    void disconnect();

private:
    friend class Signal;
    struct Slots;
    Connection(std::weak_ptr<Slots> slots, int id) : slots_(std::move(slots)), id_(id) {}
    std::weak_ptr<Slots> slots_;
    int id_ = 0;
};

// Observers of a control (renderers). Reactions of the window are the on* members instead.
class Signal {
public:
    using Slot = std::function<void()>;
    Signal();
    [[nodiscard]] Connection connect(Slot s);
    void emit() const;

private:
    std::shared_ptr<Connection::Slots> slots_;
};

// A flag that tells its observers when it changes (the main window's formChanged, which the
// window title follows).
class Flag {
public:
    Flag(bool v = false) : value_(v) {}
    Flag& operator=(bool v) {
        if (v != value_) {
            value_ = v;
            changed.emit();
        }
        return *this;
    }
    operator bool() const { return value_; }
    Signal changed;

private:
    bool value_;
};

class Control {
public:
    Control(Form& form, ControlKind kind, std::string name, int index);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    ControlKind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    int index() const { return index_; }
    std::string fullName() const; // "FText(0)" for array elements
    Form& form() const { return form_; }

    bool enabled() const { return enabled_; }
    void setEnabled(bool e);
    bool visible() const { return visible_; }
    void setVisible(bool v);
    // Visible and inside visible frames.
    bool shown() const;

    const Geometry& geometry() const { return geometry_; }
    void setGeometry(int x, int y, int w, int h);
    Control* container() const { return container_; }
    void setContainer(Control* frame) { container_ = frame; }

    bool hasFocus() const;
    bool canTakeFocus() const;

    // Why the window refuses the control's value (drawn as an outline and a tooltip); empty
    // when there is nothing to say.
    const std::string& problem() const { return problem_; }
    void setProblem(const std::string& why);

    // Focus is about to move to `next` (same window); set cancel to keep it here.
    std::function<void(Control* next, bool& cancel)> onValidate;
    std::function<void(Control* next)> onLostFocus;
    std::function<void()> onGotFocus;

    Signal stateChanged; // anything the renderer shows changed

protected:
    void notify() { stateChanged.emit(); }

private:
    Form& form_;
    ControlKind kind_;
    std::string name_;
    int index_;
    bool enabled_ = true;
    bool visible_ = true;
    Geometry geometry_;
    Control* container_ = nullptr;
    std::string problem_;
};

class TextBox : public Control {
public:
    TextBox(Form& f, std::string name, int index = -1)
        : Control(f, ControlKind::TextBox, std::move(name), index) {}
    const std::string& text() const { return text_; }
    // Fires change when the text becomes different, whoever sets it. No length check.
    void setText(const std::string& t);
    int maxLength() const { return maxLength_; }
    void setMaxLength(int n) { maxLength_ = n; }
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool r);
    Colour backColour() const { return back_; }
    void setBackColour(Colour c);

    std::function<void()> onChange;
    std::function<void(int key)> onKeyPress;   // before the character goes in
    std::function<void(int key)> onKeyRelease; // to the box that has the focus

private:
    std::string text_;
    int maxLength_ = 0; // 0: no limit
    bool readOnly_ = false;
    Colour back_ = kWindowWhite;
};

// A drop-down list. List-only unless made editable (the port dialog's combo box).
class ComboBox : public Control {
public:
    ComboBox(Form& f, std::string name, int index = -1)
        : Control(f, ControlKind::ComboBox, std::move(name), index) {}
    const std::vector<std::string>& items() const { return items_; }
    void addItem(const std::string& item);
    void setItems(const std::vector<std::string>& items); // clear + add
    void clear();                                         // empties the list and the text
    int findItem(const std::string& text) const;          // case-insensitive; -1 if none
    int listIndex() const { return index_; }
    // Program-made selection: click only when the selection actually changes.
    void setListIndex(int i);
    const std::string& text() const { return text_; }
    // An item's text (any case) selects it; any other text is shown with no selection.
    void setText(const std::string& t);
    // The user picks an item: click every time, even on the item already selected.
    void userPick(int i);
    bool userPick(const std::string& itemText); // exact item text; false when no such item
    bool editable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }
    // Typing into an editable combo box.
    void userType(const std::string& t);
    Colour backColour() const { return back_; }
    void setBackColour(Colour c);

    std::function<void()> onClick;
    std::function<void()> onChange; // the text changed, whoever changed it

private:
    void setTextInternal(const std::string& t);
    std::vector<std::string> items_;
    int index_ = -1;
    std::string text_;
    bool editable_ = false;
    Colour back_ = kWindowWhite;
};

class CheckBox : public Control {
public:
    CheckBox(Form& f, std::string name, int index = -1)
        : Control(f, ControlKind::CheckBox, std::move(name), index) {}
    int value() const { return value_; } // 0 unchecked, 1 checked, 2 greyed
    bool checked() const { return value_ == 1; }
    void setValue(int v); // click when the value becomes different
    void userClick();     // toggles, which always fires click
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& c);
    std::function<void()> onClick;

private:
    int value_ = 0;
    std::string caption_;
};

class Label : public Control {
public:
    Label(Form& f, std::string name, int index = -1)
        : Control(f, ControlKind::Label, std::move(name), index) {}
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& c);
    bool bold() const { return bold_; }
    void setBold(bool b) { bold_ = b; }
    // Where the caption sits in the label's box.
    enum class Align { Left, Right, Center };
    Align alignment() const { return align_; }
    void setAlignment(Align a) {
        if (a == align_) return;
        align_ = a;
        notify();
    }

private:
    std::string caption_;
    bool bold_ = false;
    Align align_ = Align::Left;
};

class Button : public Control {
public:
    Button(Form& f, std::string name, int index = -1)
        : Control(f, ControlKind::Button, std::move(name), index) {}
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& c);
    // A user click: focus moves to the button first (validation may cancel), then click
    // fires if the button is enabled and shown.
    bool userClick();
    void click() {
        if (onClick) onClick();
    }
    std::function<void()> onClick;

private:
    std::string caption_;
};

class UpDown : public Control {
public:
    UpDown(Form& f, std::string name, int index = -1)
        : Control(f, ControlKind::UpDown, std::move(name), index) {}
    bool userUp();
    bool userDown();
    std::function<void()> onUpClick;
    std::function<void()> onDownClick;
};

class Frame : public Control {
public:
    Frame(Form& f, std::string name, int index = -1)
        : Control(f, ControlKind::Frame, std::move(name), index) {}
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& c);

private:
    std::string caption_;
};

class Picture : public Control {
public:
    Picture(Form& f, std::string name, int index = -1)
        : Control(f, ControlKind::Picture, std::move(name), index) {}
};

class ProgressBar : public Control {
public:
    ProgressBar(Form& f, std::string name, int index = -1)
        : Control(f, ControlKind::ProgressBar, std::move(name), index) {}
    int value() const { return value_; }
    void setValue(int v); // kept within 0..100
    void step(int by = 1) { setValue(value_ + by); }

private:
    int value_ = 0;
};

// A window: owns its controls, tracks the focus, and offers the typing helpers that the
// command line and the tests use to act as a user would.
class Form {
public:
    Form(std::string name, std::string caption);
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& name() const { return name_; }
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& c);
    bool visible() const { return visible_; }
    // Shows the window and brings it to the front, also when it is already up.
    void show();
    void hide();
    // How many times show() was called: a renderer raises the window when it grows.
    int showCount() const { return showCount_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void setSize(int w, int h);
    int left() const { return left_; }
    int top() const { return top_; }
    void move(int x, int y);

    template <class T> T& add(std::string name, int index = -1) {
        auto c = std::make_unique<T>(*this, std::move(name), index);
        T& ref = *c;
        controls_.push_back(std::move(c));
        return ref;
    }
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
    Control* find(const std::string& name, int index = -1) const;
    // "FText(1)" or "Max_PSD"
    Control* findByFullName(const std::string& fullName) const;

    Control* focused() const { return focused_; }
    // Moves the focus: the control that has it validates (and may cancel), then loses it.
    // Returns false when cancelled.
    bool setFocus(Control* c);
    void setFocus(Control& c) { setFocus(&c); }

    // One key as a user types it into the focused text box (or `box` when given and the
    // focus is elsewhere): key press, the character goes in (Backspace removes the last
    // one; codes below 32 and above 126 insert nothing), change, key release to the box
    // that has the focus afterwards.
    void keyStroke(TextBox& box, int key);
    // Give the box the focus, empty it, and type each character. False when the focus
    // could not be given to the box.
    bool typeText(TextBox& box, const std::string& value);
    // Leave the focused control for another one (validation may cancel).
    bool leave(Control* next = nullptr);

    Signal stateChanged; // caption, visibility, size, position
    Signal focusChanged;

private:
    std::string name_;
    std::string caption_;
    bool visible_ = false;
    int showCount_ = 0;
    int width_ = 600, height_ = 400, left_ = 0, top_ = 0;
    std::vector<std::unique_ptr<Control>> controls_;
    Control* focused_ = nullptr;
};

} // namespace rw::ui

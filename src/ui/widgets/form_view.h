// A window drawn for any ui::Form: one Qt widget per control, placed by the model's pixel
// geometry, kept in step with the model, and feeding user input back into the model through
// the same calls the tests make, so the controls' event rules hold in the GUI too.
#pragma once

#include "ui/controls.h"

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class QCloseEvent;
class QKeyEvent;
class QMoveEvent;

namespace rw::ui {

class FormView : public QWidget {
public:
    // The view must not outlive the form.
    explicit FormView(Form& form, QWidget* parent = nullptr);
    ~FormView() override;
    FormView(const FormView&) = delete;
    FormView& operator=(const FormView&) = delete;

    Form& form() const { return form_; }
    // Closing by the window frame: the form decides (close question, Cancel, hide). Without
    // a handler the form is hidden.
    std::function<void()> onCloseByFrame;

    // The widget drawn for a control (nullptr when none).
    QWidget* widgetFor(const Control* c) const;
    // Texts that did not fit their control's size, controls overlapping or outside the
    // window: one line each, for layout checks.
    std::vector<std::string> layoutProblems() const;

protected:
    void closeEvent(QCloseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Entry {
        Control* control = nullptr;
        QWidget* widget = nullptr;
        Connection connection;
    };

    void build();
    QWidget* createWidget(Control& c);
    void watch(QWidget* w, Control* c);
    void syncForm();
    void syncControl(Entry& e);
    void syncVisibilityAll();
    void syncFocus();
    void placeText(Entry& e, const QString& text, int extra);
    Control* controlOf(QObject* o) const;
    Entry* entryOf(const Control* c);
    const Entry* entryOf(const Control* c) const;
    bool handleKeyPress(TextBox& box, QWidget* w, QKeyEvent* ke);

    Form& form_;
    std::vector<Entry> entries_;
    std::unordered_map<QObject*, Control*> owners_; // widget (or inner part) -> control
    Connection formConnection_;
    Connection focusConnection_;
    int updating_ = 0;            // model -> widget updates in progress: widget signals are ignored
    int focusSync_ = 0;           // Qt focus moved by the view itself
    bool inFocusIn_ = false;      // a Qt focus-in is being handled
    bool swallowPress_ = false;   // the user's click that tried to take the focus was refused
    bool swallowRelease_ = false; // ... and its button coming up
    Control* suppressClickOf_ = nullptr; // an accelerator's click whose focus was refused
    std::map<int, int> pressedKeys_;     // Qt key -> typed key code, for keys down in this window
    bool focusSyncQueued_ = false;
    int shownCount_ = 0;                          // the form's show() calls already followed
    std::map<const Control*, std::string> grown_; // texts that needed more room than given
};

// The picture the windows show: a stylised line modem, drawn at the given size.
QPixmap modemPicture(int w, int h);

// The fonts and look of the windows, once for the application.
void applyWindowStyle();

} // namespace rw::ui

// A window drawn for any ui::Form: one Qt widget per control, kept in step with the model,
// and feeding user input back into the model through the same calls the tests make, so the
// controls' event rules hold in the GUI too. Controls are placed by the model's pixel
// geometry, or, for a window that describes its arrangement (LayoutPlan), in Qt layouts:
// group boxes, captioned rows, columns that reflow and scroll to fit the screen.
#pragma once

#include "ui/controls.h"
#include "ui/document_window.h"
#include "ui/layout_plan.h"

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class QAction;
class QComboBox;
class QLineEdit;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QHideEvent;
class QResizeEvent;
class QGridLayout;
class QHBoxLayout;
class QGroupBox;
class QKeyEvent;
class QLayout;
class QMenuBar;
class QMoveEvent;
class QScrollArea;
class QStatusBar;
class QVBoxLayout;

namespace rw::ui {

class FormView : public QWidget {
public:
    // The view must not outlive the form.
    explicit FormView(Form& form, QWidget* parent = nullptr);
    // A window drawn from its arrangement. The plan must outlive the view.
    FormView(Form& form, const LayoutPlan& plan, QWidget* parent = nullptr);
    ~FormView() override;
    FormView(const FormView&) = delete;
    FormView& operator=(const FormView&) = delete;

    Form& form() const { return form_; }
    // Closing by the window frame: the form decides (close question, Cancel, hide). Without
    // a handler the form is hidden.
    std::function<void()> onCloseByFrame;

    // The widget drawn for a control (nullptr when none); for a heading of a plan, its group.
    QWidget* widgetFor(const Control* c) const;
    // Texts that did not fit their control's size, controls overlapping or outside the
    // window, controls a plan left out: one line each, for layout checks.
    std::vector<std::string> layoutProblems() const;

    // ---- windows drawn from a plan ----
    // Sizes the window for a screen area: as many columns side by side as fit, the rest
    // below; scrolling for what is still too tall.
    void fitInto(const QRect& available);
    // Opens next to this window the first time it is shown (unless a remembered place).
    void setAnchor(QWidget* anchor) { anchor_ = anchor; }
    // Keeps size and place across runs (QSettings).
    void setRememberGeometry(bool on) { rememberGeometry_ = on; }
    // Where a widget of the program's own can be added under a heading's rows.
    QGroupBox* groupOf(const Control* heading) const;
    // The focus stops of the Tab key, in order.
    std::vector<QWidget*> tabStops() const;

    // ---- keyboard ----
    // Enter anywhere in the window but on another button presses this one.
    void setDefaultButton(Button& b);
    // The control that gets the focus whenever the window is shown.
    void setFocusOnShow(Control& c) { focusOnShow_ = &c; }

    // ---- main windows ----
    QMenuBar* menuBar() const { return menuBar_; }
    QStatusBar* statusBar() const { return statusBar_; }
    // Adds a panel under the window's controls (above the status bar).
    void addPanel(QWidget* panel);

protected:
    void closeEvent(QCloseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Entry {
        Control* control = nullptr;
        QWidget* widget = nullptr;
        Connection connection;
        QWidget* outline = nullptr; // red frame while the control has a problem
    };
    struct Column {
        QWidget* widget = nullptr;
        std::vector<QGroupBox*> groups;
    };

    void initWindow();
    void fixWindowSize();
    void build();
    void buildFromPlan(const LayoutPlan& plan);
    struct PlanCursor;
    void buildScrollArea();
    QWidget* placePlanned(Control* c, QWidget* parent);
    QGroupBox* addGroup(Control* heading, QWidget* parent, bool bold);
    void buildColumn(const std::vector<LayoutRow>& rows);
    void addPlannedRow(const LayoutRow& r, PlanCursor& at);
    void addCaptionedRow(const LayoutRow& r, PlanCursor& at);
    QLayout* fieldsBox(const std::vector<Control*>& fields, std::size_t from, std::size_t to,
                       QWidget* container);
    void buildBottomBar(const LayoutPlan& plan);
    void placeUnplanned();
    void addEntry(Control* c, QWidget* parent);
    void connectEntries();
    QWidget* createWidget(Control& c, QWidget* parent);
    QWidget* createTextBox(TextBox& box, QWidget* parent);
    QWidget* createComboBox(ComboBox& combo, QWidget* parent);
    void connectComboEdit(ComboBox& combo, QComboBox* cb);
    QWidget* createCheckBox(CheckBox& check, QWidget* parent);
    QWidget* createButton(Button& button, QWidget* parent);
    QWidget* createUpDown(UpDown& ud, QWidget* parent);
    void syncPlanned(Entry& e);
    void syncOutline(Entry& e);
    void arrangeColumns(int width);
    void updateColumns();
    void placeFirstTime();
    void setTabOrderFromPlan(const LayoutPlan& plan);
    void planProblems(std::vector<std::string>& out) const;
    bool stepCarrier(Control* c, bool up);
    void setupDocument(DocumentWindow& doc);
    // A panel came or went: the window takes its size. False for other events.
    bool panelShownOrHidden(QObject* watched, QEvent* e);
    void refreshTitle();
    void refreshStatus();
    void refreshMenus();
    void clickButton(Button& b);
    void watch(QWidget* w, Control* c);
    void watchEntries();
    void syncForm();
    void syncControl(Entry& e);
    void syncTextBox(TextBox& box, QLineEdit* le);
    void syncComboBox(ComboBox& combo, QComboBox* cb);
    // Check boxes and labels of a window placed in pixels get the room their text needs:
    // true when placed so.
    bool syncCheckBox(Entry& e);
    bool syncLabel(Entry& e);
    void syncUpDown(const Control& c, QWidget* w);
    void syncVisibilityAll();
    void syncFocus();
    void placeText(Entry& e, const QString& text, int extra);
    Control* controlOf(QObject* o) const;
    Entry* entryOf(const Control* c);
    const Entry* entryOf(const Control* c) const;
    bool handleKeyPress(TextBox& box, QWidget* w, QKeyEvent* ke);
    // Parts of the event filter; true when the event is swallowed.
    void focusIn(Control* c, Qt::FocusReason reason);
    bool mousePress(Control* c);
    bool keyPress(Control* c, QObject* watched, QKeyEvent* ke);
    void keyRelease(QKeyEvent* ke);

    Form& form_;
    const LayoutPlan* plan_ = nullptr;
    QVBoxLayout* outer_ = nullptr; // menu bar, controls, panels, status bar
    QWidget* canvas_ = nullptr;    // where the controls lie (pixel windows)
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;        // the columns (windows from a plan)
    QHBoxLayout* columnsRow_ = nullptr; // stacks of columns, side by side
    std::vector<QVBoxLayout*> stacks_;  // columns, one under the other
    QHBoxLayout* bottomBar_ = nullptr;  // notes and buttons, always in view
    int arrangeWidth_ = 1 << 20;
    std::vector<Column> columns_;
    std::vector<std::vector<int>> arrangement_; // column indexes, stack by stack
    std::map<const Control*, QGroupBox*> groups_;
    std::map<const Control*, UpDown*> steppers_; // text boxes stepped by an up-down pair
    std::vector<Connection> frameConnections_;
    std::vector<const Control*> unplanned_;
    QWidget* anchor_ = nullptr;
    bool rememberGeometry_ = false;
    bool placed_ = false;
    Button* defaultButton_ = nullptr;
    Control* focusOnShow_ = nullptr;
    DocumentWindow* document_ = nullptr;
    Connection documentConnection_;
    Connection modifiedConnection_;
    QMenuBar* menuBar_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    std::vector<QWidget*> statusLabels_;
    std::vector<QObject*> panels_;
    struct MenuAction {
        MenuCommand command;
        QAction* action = nullptr;
    };
    std::vector<MenuAction> menuActions_;
    std::vector<Connection> buttonConnections_;
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

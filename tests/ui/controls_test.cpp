// The control layer's event rules, as the windows rely on them and as the GUI feeds them.
#include "ui/controls.h"
#include "ui/widgets/text_conversions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rw::ui {
namespace {

class TestForm : public Form {
public:
    TestForm() : Form("TestForm", "Test") {}
};

// Records every event of the controls it is attached to, in order.
struct Log {
    std::vector<std::string> events;
    void add(std::string e) { events.push_back(std::move(e)); }
    void attach(TextBox& b) {
        const std::string n = b.fullName();
        b.onChange = [this, n, &b] { add(n + ".change:" + b.text()); };
        b.onKeyPress = [this, n](int k) { add(n + ".press:" + std::to_string(k)); };
        b.onKeyRelease = [this, n](int k) { add(n + ".release:" + std::to_string(k)); };
        b.onValidate = [this, n](Control*, bool&) { add(n + ".validate"); };
        b.onLostFocus = [this, n](Control*) { add(n + ".lost"); };
        b.onGotFocus = [this, n] { add(n + ".got"); };
    }
};

// Every test builds its controls on a fresh form.
struct FormTestBase : ::testing::Test {
    TestForm f;
};
using CheckBoxTest = FormTestBase;
using ComboBoxTest = FormTestBase;
using ControlTest = FormTestBase;
using FocusTest = FormTestBase;
using FormTest = FormTestBase;
using KeyTest = FormTestBase;
using TextBoxTest = FormTestBase;
using TypingTest = FormTestBase;

TEST_F(TextBoxTest, ChangeFiresOnlyWhenTheTextBecomesDifferent) {
    auto& box = f.add<TextBox>("Box");
    int changes = 0;
    box.onChange = [&] { ++changes; };
    box.setText("12");
    box.setText("12");
    EXPECT_EQ(changes, 1);
    box.setText("");
    EXPECT_EQ(changes, 2);
    box.setText("");
    EXPECT_EQ(changes, 2);
}

TEST_F(TextBoxTest, LengthLimitStopsTypingButNotTheProgram) {
    auto& box = f.add<TextBox>("Box");
    box.setMaxLength(2);
    box.setText("ABCD");
    EXPECT_EQ(box.text(), "ABCD");
    ASSERT_TRUE(f.typeText(box, "1234"));
    EXPECT_EQ(box.text(), "12");
}

TEST_F(TextBoxTest, FullBoxStillReportsKeyPressAndRelease) {
    auto& box = f.add<TextBox>("Box");
    box.setMaxLength(1);
    Log log;
    ASSERT_TRUE(f.typeText(box, "7"));
    log.attach(box);
    f.keyStroke(box, '8');
    EXPECT_EQ(log.events, (std::vector<std::string>{"Box.press:56", "Box.release:56"}));
    EXPECT_EQ(box.text(), "7");
}

TEST_F(TextBoxTest, BackspaceRemovesTheLastCharacterControlCharactersInsertNothing) {
    auto& box = f.add<TextBox>("Box");
    ASSERT_TRUE(f.typeText(box, "AB"));
    int changes = 0;
    box.onChange = [&] { ++changes; };
    for (int key : {13, 27, 127})
        f.keyStroke(box, key);
    EXPECT_EQ(box.text(), "AB");
    EXPECT_EQ(changes, 0);
    f.keyStroke(box, kBackspace);
    EXPECT_EQ(box.text(), "A");
    f.keyStroke(box, kBackspace);
    f.keyStroke(box, kBackspace); // nothing left: no change, no failure
    EXPECT_EQ(box.text(), "");
}

TEST_F(TextBoxTest, ReadOnlyBoxTakesNoCharactersButSeesTheKeys) {
    auto& box = f.add<TextBox>("Box");
    box.setReadOnly(true);
    Log log;
    log.attach(box);
    f.setFocus(box);
    log.events.clear();
    f.keyStroke(box, 'A');
    EXPECT_EQ(box.text(), "");
    EXPECT_EQ(log.events, (std::vector<std::string>{"Box.press:65", "Box.release:65"}));
}

TEST_F(ComboBoxTest, ProgramSelectionClicksOnlyOnADifferentSelection) {
    auto& combo = f.add<ComboBox>("List");
    combo.setItems({"16", "32", "64"});
    int clicks = 0;
    combo.onClick = [&] { ++clicks; };
    combo.setListIndex(1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(combo.text(), "32");
    combo.setListIndex(1);
    EXPECT_EQ(clicks, 1);
    combo.setText("32");
    EXPECT_EQ(clicks, 1);
    combo.setText("64");
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(combo.listIndex(), 2);
    // Item text in any case selects the item.
    combo.setItems({"Disable", "Enable"});
    combo.setText("ENABLE");
    EXPECT_EQ(combo.listIndex(), 1);
    EXPECT_EQ(combo.text(), "Enable");
    EXPECT_EQ(clicks, 3);
}

TEST_F(ComboBoxTest, UserPickClicksEveryTimeEvenOnTheSelectedItem) {
    auto& combo = f.add<ComboBox>("List");
    combo.setItems({"16", "32"});
    combo.setListIndex(0);
    int clicks = 0;
    combo.onClick = [&] { ++clicks; };
    combo.userPick(0);
    combo.userPick(0);
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(combo.userPick("32"));
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(combo.listIndex(), 1);
    EXPECT_FALSE(combo.userPick("48"));
    combo.userPick(7); // no such row: nothing
    EXPECT_EQ(clicks, 3);
}

TEST_F(ComboBoxTest, TextThatIsNoItemShowsWithNoSelectionAndNoClick) {
    auto& combo = f.add<ComboBox>("List");
    combo.setItems({"0", "1", "2"});
    combo.setListIndex(1);
    int clicks = 0;
    int changes = 0;
    combo.onClick = [&] { ++clicks; };
    combo.onChange = [&] { ++changes; };
    combo.setText("Error Phy");
    EXPECT_EQ(combo.text(), "Error Phy");
    EXPECT_EQ(combo.listIndex(), -1);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(changes, 1);
}

TEST_F(ComboBoxTest, ClearEmptiesTheText) {
    auto& combo = f.add<ComboBox>("List");
    combo.setItems({"A", "B"});
    combo.setListIndex(1);
    combo.clear();
    EXPECT_TRUE(combo.items().empty());
    EXPECT_EQ(combo.text(), "");
    EXPECT_EQ(combo.listIndex(), -1);
    combo.setText("Z");
    combo.setItems({"C"}); // refilling clears the shown text as well
    EXPECT_EQ(combo.text(), "");
}

TEST_F(ComboBoxTest, EditableComboTakesTypedTextAndMatchesItemsExactly) {
    auto& combo = f.add<ComboBox>("ComPort");
    combo.setEditable(true);
    combo.setItems({"COM1", "COM2"});
    int clicks = 0;
    combo.onClick = [&] { ++clicks; };
    combo.userType("COM2");
    EXPECT_EQ(combo.listIndex(), 1);
    combo.userType("com2");
    EXPECT_EQ(combo.listIndex(), -1);
    EXPECT_EQ(combo.text(), "com2");
    combo.userType("/dev/ttyUSB0");
    EXPECT_EQ(combo.text(), "/dev/ttyUSB0");
    EXPECT_EQ(clicks, 0);
}

TEST_F(CheckBoxTest, ClickFiresWhenTheValueBecomesDifferent) {
    auto& check = f.add<CheckBox>("Check");
    int clicks = 0;
    check.onClick = [&] { ++clicks; };
    check.setValue(1);
    check.setValue(1);
    EXPECT_EQ(clicks, 1);
    check.setValue(0);
    EXPECT_EQ(clicks, 2);
    check.setValue(2);
    EXPECT_EQ(check.value(), 2);
    EXPECT_FALSE(check.checked());
    EXPECT_EQ(clicks, 3);
}

TEST_F(CheckBoxTest, UserClickTogglesAndFires) {
    auto& check = f.add<CheckBox>("Check");
    int clicks = 0;
    check.onClick = [&] { ++clicks; };
    check.userClick();
    EXPECT_EQ(check.value(), 1);
    check.userClick();
    EXPECT_EQ(check.value(), 0);
    check.setValue(2);
    check.userClick(); // greyed: a click ticks it
    EXPECT_EQ(check.value(), 1);
    EXPECT_EQ(clicks, 4);
    EXPECT_TRUE(check.hasFocus());
    // A disabled box ignores the user.
    check.setEnabled(false);
    check.userClick();
    EXPECT_EQ(check.value(), 1);
    EXPECT_EQ(clicks, 4);
}

TEST_F(KeyTest, KeyPressMayMoveTheFocusAndTheCharacterStillGoesIntoTheOriginalBox) {
    auto& low = f.add<TextBox>("PreambleL");
    auto& high = f.add<TextBox>("PreambleH");
    low.setMaxLength(2);
    Log log;
    log.attach(low);
    log.attach(high);
    ASSERT_TRUE(f.typeText(low, "A"));
    // A full-ish box hands the focus on before the second character goes in.
    low.onKeyPress = [&](int k) {
        log.add("PreambleL.press:" + std::to_string(k));
        if (low.text().size() + 1 >= 2) f.setFocus(high);
    };
    log.events.clear();
    f.keyStroke(low, 'B');
    EXPECT_EQ(low.text(), "AB");
    EXPECT_EQ(high.text(), "");
    EXPECT_TRUE(high.hasFocus());
    EXPECT_EQ(log.events, (std::vector<std::string>{
                              "PreambleL.press:66", "PreambleL.validate", "PreambleL.lost",
                              "PreambleH.got", "PreambleL.change:AB", "PreambleH.release:66"}));
}

TEST_F(KeyTest, KeyReleaseGoesToTheBoxThatHasTheFocus) {
    auto& a = f.add<TextBox>("A");
    auto& b = f.add<TextBox>("B");
    Log log;
    log.attach(a);
    log.attach(b);
    f.setFocus(b);
    log.events.clear();
    // Typed "into" a while b has the focus: the keys go to the focused box, as a user's do.
    f.keyStroke(a, '5');
    EXPECT_EQ(b.text(), "5");
    EXPECT_EQ(a.text(), "");
    EXPECT_EQ(log.events, (std::vector<std::string>{"B.press:53", "B.change:5", "B.release:53"}));
}

TEST_F(FocusTest, ValidateCancelKeepsTheFocusAndBlocksTheButtonClick) {
    auto& box = f.add<TextBox>("Hex");
    auto& done = f.add<Button>("Done");
    auto& check = f.add<CheckBox>("Flag");
    auto& ud = f.add<UpDown>("Scroll");
    bool valid = false;
    int lost = 0;
    int clicks = 0;
    int gotFocusEvents = 0;
    box.onValidate = [&](Control* next, bool& cancel) {
        EXPECT_TRUE(next == &done || next == &check || next == &ud);
        cancel = !valid;
    };
    box.onLostFocus = [&](Control*) { ++lost; };
    done.onClick = [&] { ++clicks; };
    check.onClick = [&] { ++clicks; };
    ud.onUpClick = [&] { ++clicks; };
    const Connection c = f.focusChanged.connect([&] { ++gotFocusEvents; });
    ASSERT_TRUE(f.setFocus(&box));
    gotFocusEvents = 0;

    EXPECT_FALSE(done.userClick());
    EXPECT_FALSE(ud.userUp());
    check.userClick();
    EXPECT_EQ(check.value(), 0);
    EXPECT_TRUE(box.hasFocus());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(lost, 0);
    // The renderer is told each time, so it can put its own focus back.
    EXPECT_EQ(gotFocusEvents, 3);

    valid = true;
    EXPECT_TRUE(done.userClick());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(done.hasFocus());
}

TEST_F(FocusTest, ValidateHandlerMovingTheFocusWins) {
    auto& a = f.add<TextBox>("A");
    auto& b = f.add<TextBox>("B");
    auto& c = f.add<TextBox>("C");
    ASSERT_TRUE(f.setFocus(&a));
    bool redirected = false;
    a.onValidate = [&](Control*, bool&) {
        if (redirected) return;
        redirected = true;
        f.setFocus(c);
    };
    EXPECT_FALSE(f.setFocus(&b));
    EXPECT_TRUE(c.hasFocus());
}

TEST_F(FocusTest, ButtonHiddenOrDisabledDoesNotClick) {
    auto& frame = f.add<Frame>("AdvanceFrame");
    auto& inside = f.add<Button>("Inside");
    auto& off = f.add<Button>("Off");
    inside.setContainer(&frame);
    off.setEnabled(false);
    int clicks = 0;
    inside.onClick = [&] { ++clicks; };
    off.onClick = [&] { ++clicks; };
    frame.setVisible(false);
    EXPECT_FALSE(inside.shown());
    EXPECT_TRUE(inside.visible());
    EXPECT_FALSE(inside.userClick());
    EXPECT_FALSE(off.userClick());
    EXPECT_EQ(clicks, 0);
    frame.setVisible(true);
    EXPECT_TRUE(inside.userClick());
    EXPECT_EQ(clicks, 1);
}

TEST_F(FocusTest, LabelsFramesPicturesAndBarsTakeNoFocus) {
    EXPECT_FALSE(f.add<Label>("L").canTakeFocus());
    EXPECT_FALSE(f.add<Frame>("F").canTakeFocus());
    EXPECT_FALSE(f.add<Picture>("P").canTakeFocus());
    EXPECT_FALSE(f.add<ProgressBar>("B").canTakeFocus());
    auto& box = f.add<TextBox>("T");
    EXPECT_TRUE(box.canTakeFocus());
    box.setEnabled(false);
    EXPECT_FALSE(box.canTakeFocus());
}

TEST_F(TypingTest, TypeTextFollowsTheDocumentedSequence) {
    auto& first = f.add<TextBox>("First");
    auto& box = f.add<TextBox>("Max_PSD");
    box.setText("-40");
    Log log;
    log.attach(first);
    log.attach(box);
    ASSERT_TRUE(f.setFocus(&first));
    log.events.clear();
    ASSERT_TRUE(f.typeText(box, "-5"));
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"First.validate", "First.lost", "Max_PSD.got",
                                        "Max_PSD.change:", "Max_PSD.press:45", "Max_PSD.change:-",
                                        "Max_PSD.release:45", "Max_PSD.press:53",
                                        "Max_PSD.change:-5", "Max_PSD.release:53"}));
    EXPECT_EQ(box.text(), "-5");
}

TEST_F(TypingTest, TypeTextIntoAnEmptyBoxFiresNoEmptyingChangeAndFailsWhenFocusIsRefused) {
    auto& a = f.add<TextBox>("A");
    auto& b = f.add<TextBox>("B");
    std::vector<std::string> changes;
    a.onChange = [&] { changes.push_back(a.text()); };
    ASSERT_TRUE(f.typeText(a, "1"));
    EXPECT_EQ(changes, (std::vector<std::string>{"1"}));
    a.onValidate = [](Control*, bool& cancel) { cancel = true; };
    b.setText("keep");
    EXPECT_FALSE(f.typeText(b, "new"));
    EXPECT_EQ(b.text(), "keep");
    EXPECT_TRUE(a.hasFocus());
}

TEST_F(ControlTest, ArraysAreFoundByIndexAndFullName) {
    auto& f0 = f.add<TextBox>("FText", 0);
    auto& f1 = f.add<TextBox>("FText", 1);
    EXPECT_EQ(f0.fullName(), "FText(0)");
    EXPECT_EQ(f.find("FText", 1), &f1);
    EXPECT_EQ(f.findByFullName("FText(0)"), &f0);
    EXPECT_EQ(f.find("FText"), nullptr);
}

TEST_F(ControlTest, RendererIsToldOfEveryVisibleChangeProgressBarStaysInRange) {
    auto& label = f.add<Label>("Status");
    int notes = 0;
    const Connection c = label.stateChanged.connect([&] { ++notes; });
    label.setCaption("Connecting");
    label.setCaption("Connecting");
    label.setVisible(false);
    label.setEnabled(false);
    label.setGeometry(1, 2, 3, 4);
    label.setAlignment(Label::Align::Right);
    label.setAlignment(Label::Align::Right);
    EXPECT_EQ(notes, 5);
    EXPECT_EQ(label.alignment(), Label::Align::Right);
    // A progress bar stays within its range.
    auto& bar = f.add<ProgressBar>("ProgressBar");
    for (auto [set, shown] : {std::pair{150, 100}, {-3, 0}}) {
        bar.setValue(set);
        EXPECT_EQ(bar.value(), shown) << set;
    }
    bar.step(7);
    EXPECT_EQ(bar.value(), 7);
}

TEST(SignalTest, SlotMayDisconnectItselfWhileRunning) {
    Signal s;
    int a = 0;
    int b = 0;
    Connection first;
    first = s.connect([&] {
        ++a;
        first.disconnect();
    });
    const Connection second = s.connect([&] { ++b; });
    s.emit();
    s.emit();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
}

TEST_F(FormTest, WindowStateIsReported) {
    int notes = 0;
    const Connection c = f.stateChanged.connect([&] { ++notes; });
    f.setCaption("Kestrel E2 Configurations");
    f.setSize(608, 500);
    f.move(10, 20);
    f.show();
    EXPECT_TRUE(f.visible());
    f.hide();
    EXPECT_FALSE(f.visible());
    EXPECT_EQ(notes, 5);
    EXPECT_EQ(f.width(), 608);
    EXPECT_EQ(f.left(), 10);
}

TEST(TextConversionTest, WindowFilterBecomesQtFilter) {
    EXPECT_EQ(qtFilterFromWindowFilter("Patch File (E2MB*.bin) |E2MB*.bin"),
              "Patch File (E2MB*.bin)");
    EXPECT_EQ(qtFilterFromWindowFilter("Images|*.bin;*.img|All files|*.*"),
              "Images (*.bin *.img);;All files (*.*)");
    EXPECT_EQ(qtFilterFromWindowFilter("*.bin"), "*.bin");
    EXPECT_EQ(qtFilterFromWindowFilter(""), "");
}

TEST(TextConversionTest, CarriageReturnsBecomeLineFeeds) {
    EXPECT_EQ(qtLineBreaks("changed.\rDo you wish"), "changed.\nDo you wish");
    EXPECT_EQ(qtLineBreaks("a\r\nb"), "a\nb");
    EXPECT_EQ(qtLineBreaks("begin with : \r\rE2MB"), "begin with : \n\nE2MB");
    EXPECT_EQ(qtLineBreaks("port ?  "), "port ?  ");
}

} // namespace
} // namespace rw::ui

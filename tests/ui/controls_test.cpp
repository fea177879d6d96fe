// The control layer's event rules, as the windows rely on them and as the GUI feeds them.
#include "ui/controls.h"
#include "ui/widgets/text_conversions.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace rw::ui {
namespace {

using Events = std::vector<std::string>;

// Records every event of the text boxes it is attached to, in order.
struct Log {
    Events events;
    void attach(TextBox& b) {
        const std::string n = b.fullName();
        const auto add = [this, n](const std::string& e) { events.push_back(n + "." + e); };
        b.onChange = [add, &b] { add("change:" + b.text()); };
        b.onKeyPress = [add](int k) { add("press:" + std::to_string(k)); };
        b.onKeyRelease = [add](int k) { add("release:" + std::to_string(k)); };
        b.onValidate = [add](Control*, bool&) { add("validate"); };
        b.onLostFocus = [add](Control*) { add("lost"); };
        b.onGotFocus = [add] { add("got"); };
    }
    Events take() { return std::exchange(events, {}); }
};

struct Controls : ::testing::Test {
    Form f{"TestForm", "Test"};
    int n = 0; // events counted by a test's handlers
};

TEST_F(Controls, TextChangesOnlyWhenDifferentAndTheLengthLimitStopsOnlyTyping) {
    auto& box = f.add<TextBox>("Box");
    box.onChange = [&] { ++n; };
    for (const char* t : {"12", "12", "", ""})
        box.setText(t);
    EXPECT_EQ(n, 2);
    box.setMaxLength(2);
    box.setText("ABCD");
    EXPECT_EQ(box.text(), "ABCD");
    ASSERT_TRUE(f.typeText(box, "1234"));
    EXPECT_EQ(box.text(), "12");
}

TEST_F(Controls, EveryKeyIsReportedOnlyPrintableOnesInsertAndBackspaceRemoves) {
    auto& box = f.add<TextBox>("Box");
    box.setMaxLength(3);
    ASSERT_TRUE(f.typeText(box, "A"));
    Log log;
    log.attach(box);
    Events want;
    // Control characters first, while there is room; the box is full before the Z.
    for (int key : {13, 27, 31, 127, int{' '}, int{'~'}, int{'Z'}}) {
        f.keyStroke(box, key);
        want.push_back("Box.press:" + std::to_string(key));
        if (key == ' ' || key == '~')
            want.push_back(std::string("Box.change:A ") + (key == '~' ? "~" : ""));
        want.push_back("Box.release:" + std::to_string(key));
    }
    EXPECT_EQ(log.take(), want);
    box.onChange = nullptr;
    for (const char* left : {"A ", "A", "", ""}) { // nothing left: no failure
        f.keyStroke(box, kBackspace);
        EXPECT_EQ(box.text(), left);
    }
    box.setReadOnly(true); // takes no character but sees the keys
    log.take();
    f.keyStroke(box, 'A');
    EXPECT_EQ(box.text(), "");
    EXPECT_EQ(log.take(), (Events{"Box.press:65", "Box.release:65"}));
}

TEST_F(Controls, ProgramSelectionClicksOnlyOnADifferentSelectionAnyCaseFindsTheItem) {
    auto& combo = f.add<ComboBox>("List");
    int changes = 0;
    const auto state = [&] { return std::tuple(combo.text(), combo.listIndex(), n, changes); };
    combo.setItems({"16", "32", "64"});
    combo.onClick = [&] { ++n; };
    combo.setListIndex(1);
    EXPECT_EQ(state(), std::tuple("32", 1, 1, 0));
    combo.setListIndex(1);
    combo.setText("32");
    combo.setText("64");
    EXPECT_EQ(state(), std::tuple("64", 2, 2, 0));
    combo.setListIndex(3); // no such row: no selection
    EXPECT_EQ(state(), std::tuple("", -1, 3, 0));
    combo.setItems({"Disable", "Enable"});
    combo.setText("ENABLE");
    EXPECT_EQ(state(), std::tuple("Enable", 1, 4, 0));
    combo.onChange = [&] { ++changes; };
    combo.setText("Error Phy"); // no item: shown with no selection, changes and does not click
    EXPECT_EQ(state(), std::tuple("Error Phy", -1, 4, 1));
    combo.setItems({"C"}); // refilling or clearing the list empties the text
    EXPECT_EQ(combo.text(), "");
    combo.setListIndex(0);
    combo.clear();
    EXPECT_TRUE(combo.items().empty());
    EXPECT_EQ(state(), std::tuple("", -1, 5, 4));
}

TEST_F(Controls, UserPickClicksEveryTimeEvenOnTheSelectedItem) {
    auto& combo = f.add<ComboBox>("List");
    combo.setItems({"16", "32"});
    combo.setListIndex(0);
    combo.onClick = [&] { ++n; };
    combo.userPick(0);
    combo.userPick(0);
    EXPECT_EQ(n, 2);
    EXPECT_TRUE(combo.userPick("32"));
    EXPECT_FALSE(combo.userPick("48"));
    for (int row : {2, -1}) // no such row: nothing
        combo.userPick(row);
    EXPECT_EQ(std::pair(n, combo.listIndex()), std::pair(3, 1));
}

TEST_F(Controls, EditableComboTakesTypedTextAndMatchesItemsExactly) {
    auto& combo = f.add<ComboBox>("ComPort");
    combo.setEditable(true);
    combo.setItems({"COM1", "COM2"});
    combo.onClick = [&] { ++n; };
    combo.userType("COM2");
    EXPECT_EQ(combo.listIndex(), 1);
    combo.userType("com1");
    EXPECT_EQ(std::pair(combo.text(), combo.listIndex()), std::pair(std::string("com1"), -1));
    combo.setText("/dev/ttyUSB0");
    EXPECT_EQ(std::pair(combo.text(), n), std::pair(std::string("/dev/ttyUSB0"), 0));
}

TEST_F(Controls, CheckBoxClicksOnEveryNewValueAndTheUserToggles) {
    auto& check = f.add<CheckBox>("Check");
    check.onClick = [&] { ++n; };
    for (int v : {1, 1, 0, 2, 2})
        check.setValue(v);
    EXPECT_EQ(n, 3);
    EXPECT_FALSE(check.checked()); // greyed
    check.setValue(3);             // out of range: cleared
    EXPECT_EQ(check.value(), 0);
    // The user toggles; greyed, a click ticks it.
    for (auto [from, to] : {std::pair{0, 1}, {1, 0}, {2, 1}}) {
        check.setValue(from);
        check.userClick();
        EXPECT_EQ(check.value(), to) << from;
    }
    EXPECT_EQ(std::tuple(check.checked(), n, check.hasFocus()), std::tuple(true, 8, true));
    check.setEnabled(false); // a disabled box ignores the user
    check.userClick();
    EXPECT_EQ(std::pair(check.value(), n), std::pair(1, 8));
}

TEST_F(Controls, KeyPressMayMoveTheFocusAndTheCharacterStillGoesIntoTheOriginalBox) {
    auto& low = f.add<TextBox>("PreambleL");
    auto& high = f.add<TextBox>("PreambleH");
    Log log;
    log.attach(low);
    log.attach(high);
    ASSERT_TRUE(f.typeText(low, "A"));
    low.onKeyPress = [&](int k) {
        log.events.push_back("PreambleL.press:" + std::to_string(k));
        f.setFocus(high);
    };
    log.take();
    f.keyStroke(low, 'B');
    EXPECT_EQ(std::tuple(low.text(), high.text(), high.hasFocus()), std::tuple("AB", "", true));
    EXPECT_EQ(log.take(), (Events{"PreambleL.press:66", "PreambleL.validate", "PreambleL.lost",
                                  "PreambleH.got", "PreambleL.change:AB", "PreambleH.release:66"}));
    // Typed "into" a box while another has the focus: the keys go to the focused one.
    f.keyStroke(low, '5');
    EXPECT_EQ(low.text(), "AB");
    EXPECT_EQ(log.take(),
              (Events{"PreambleH.press:53", "PreambleH.change:5", "PreambleH.release:53"}));
}

TEST_F(Controls, ValidateCancelKeepsTheFocusAndBlocksTheClickAHandlerMovingTheFocusWins) {
    auto& box = f.add<TextBox>("Hex");
    auto& done = f.add<Button>("Done");
    auto& check = f.add<CheckBox>("Flag");
    auto& ud = f.add<UpDown>("Scroll");
    bool valid = false;
    int lost = 0, focusEvents = 0;
    box.onValidate = [&](Control* next, bool& cancel) {
        EXPECT_TRUE(next == &done || next == &check || next == &ud);
        cancel = !valid;
    };
    box.onLostFocus = [&](Control*) { ++lost; };
    done.onClick = check.onClick = ud.onUpClick = ud.onDownClick = [&] { ++n; };
    const Connection c = f.focusChanged.connect([&] { ++focusEvents; });
    ASSERT_TRUE(f.setFocus(&box));
    focusEvents = 0;
    for (bool taken : {done.userClick(), ud.userUp(), ud.userDown()})
        EXPECT_FALSE(taken);
    check.userClick();
    // The renderer is told each time, to put its focus back.
    EXPECT_EQ(std::tuple(check.value(), box.hasFocus(), n, lost, focusEvents),
              std::tuple(0, true, 0, 0, 4));
    valid = true;
    EXPECT_TRUE(done.userClick());
    EXPECT_EQ(std::tuple(n, lost, done.hasFocus()), std::tuple(1, 1, true));
    EXPECT_TRUE(ud.userDown());
    EXPECT_EQ(n, 2);

    auto& a = f.add<TextBox>("A");
    auto& other = f.add<TextBox>("C");
    ASSERT_TRUE(f.setFocus(&a));
    a.onValidate = [&](Control*, bool&) {
        if (n++ == 2) f.setFocus(other);
    };
    EXPECT_FALSE(f.setFocus(&box));
    EXPECT_TRUE(other.hasFocus());
}

TEST_F(Controls, HiddenOrDisabledControlsTakeNoClickAndSomeKindsNoFocus) {
    auto& frame = f.add<Frame>("AdvanceFrame");
    auto& inside = f.add<Button>("Inside");
    auto& off = f.add<Button>("Off");
    auto& arrows = f.add<UpDown>("Arrows");
    inside.setContainer(&frame);
    off.setEnabled(false);
    arrows.setEnabled(false);
    inside.onClick = off.onClick = arrows.onUpClick = [&] { ++n; };
    frame.setVisible(false);
    EXPECT_EQ(std::pair(inside.shown(), inside.visible()), std::pair(false, true));
    for (bool taken : {inside.userClick(), off.userClick(), arrows.userUp(), arrows.userDown()})
        EXPECT_FALSE(taken);
    EXPECT_EQ(n, 0);
    frame.setVisible(true);
    EXPECT_TRUE(inside.userClick());
    EXPECT_EQ(n, 1);
    const Control* noFocus[] = {&f.add<Label>("L"), &frame, &f.add<Picture>("P"),
                                &f.add<ProgressBar>("B"), &off};
    for (const Control* c : noFocus)
        EXPECT_FALSE(c->canTakeFocus()) << c->fullName();
    EXPECT_TRUE(inside.canTakeFocus());
}

TEST_F(Controls, TypeTextFollowsTheDocumentedSequence) {
    auto& first = f.add<TextBox>("First");
    auto& box = f.add<TextBox>("Max_PSD");
    box.setText("-40");
    Log log;
    log.attach(first);
    log.attach(box);
    ASSERT_TRUE(f.setFocus(&first));
    log.take();
    ASSERT_TRUE(f.typeText(box, "-5"));
    EXPECT_EQ(log.take(), (Events{"First.validate", "First.lost", "Max_PSD.got", "Max_PSD.change:",
                                  "Max_PSD.press:45", "Max_PSD.change:-", "Max_PSD.release:45",
                                  "Max_PSD.press:53", "Max_PSD.change:-5", "Max_PSD.release:53"}));
    // Into an empty box there is no emptying change; a refused focus types nothing.
    ASSERT_TRUE(f.typeText(first, "1"));
    EXPECT_EQ(log.take(), (Events{"Max_PSD.validate", "Max_PSD.lost", "First.got", "First.press:49",
                                  "First.change:1", "First.release:49"}));
    first.onValidate = [](Control*, bool& cancel) { cancel = true; };
    EXPECT_FALSE(f.typeText(box, "new"));
    EXPECT_EQ(std::pair(box.text(), first.hasFocus()), std::pair(std::string("-5"), true));
}

TEST_F(Controls, RendererIsToldOfEveryVisibleChange) {
    auto& label = f.add<Label>("Status");
    const Connection c = label.stateChanged.connect([&] { ++n; });
    label.setCaption("Connecting");
    label.setCaption("Connecting");
    label.setVisible(false);
    label.setEnabled(false);
    label.setGeometry(1, 2, 3, 4);
    label.setAlignment(Label::Align::Right);
    label.setAlignment(Label::Align::Right);
    EXPECT_EQ(std::pair(n, label.alignment()), std::pair(5, Label::Align::Right));
    int notes = 0;
    const Connection d = f.stateChanged.connect([&] { ++notes; });
    f.setCaption("Kestrel E2 Configurations");
    f.setSize(608, 500);
    f.move(10, 20);
    f.show();
    EXPECT_TRUE(f.visible());
    f.hide();
    EXPECT_FALSE(f.visible());
    EXPECT_EQ(std::tuple(notes, f.width(), f.left()), std::tuple(5, 608, 10));
    auto& bar = f.add<ProgressBar>("ProgressBar"); // stays within its range
    for (auto [set, shown] : {std::pair{150, 100}, {-3, 0}}) {
        bar.setValue(set);
        EXPECT_EQ(bar.value(), shown) << set;
    }
    bar.step(7);
    EXPECT_EQ(bar.value(), 7);
}

TEST(Signals, SlotMayDisconnectItselfWhileRunning) {
    Signal s;
    int a = 0, b = 0;
    Connection first;
    first = s.connect([&] {
        ++a;
        first.disconnect();
    });
    const Connection second = s.connect([&] { ++b; });
    s.emit();
    s.emit();
    EXPECT_EQ(std::pair(a, b), std::pair(1, 2));
}

TEST(TextConversions, WindowFiltersAndLineBreaksBecomeQts) {
    const std::pair<const char*, const char*> filters[] = {
        {"Patch File (E2MB*.bin) |E2MB*.bin", "Patch File (E2MB*.bin)"},
        {"Images|*.bin;*.img|All files|*.*", "Images (*.bin *.img);;All files (*.*)"},
        {"*.bin", "*.bin"},
        {"", ""}};
    for (auto [window, qt] : filters)
        EXPECT_EQ(qtFilterFromWindowFilter(window), qt) << window;
    const std::pair<const char*, const char*> texts[] = {
        {"changed.\rDo you wish", "changed.\nDo you wish"},
        {"a\r\nb", "a\nb"},
        {"begin with : \r\rE2MB", "begin with : \n\nE2MB"},
        {"port ?  ", "port ?  "}};
    for (auto [in, out] : texts)
        EXPECT_EQ(qtLineBreaks(in), out) << in;
}

} // namespace
} // namespace rw::ui

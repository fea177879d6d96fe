// Widget-level checks of FormView: user input reaches the models by the controls' event rules.
// Needs Qt Widgets and Qt Test; runs without a display (QT_QPA_PLATFORM=offscreen).
#include "ui/controls.h"
#include "ui/widgets/form_view.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
using namespace rw::ui;

struct ProbeForm : Form {
    ProbeForm() : Form("F", "Probe") { setSize(400, 300); }
};

struct FormViewTest : ::testing::Test {
    ProbeForm f;
    TextBox& a = f.add<TextBox>("A");
    TextBox& b = f.add<TextBox>("B");
    Button& ok = f.add<Button>("OK");
    CheckBox& cb = f.add<CheckBox>("Check");
    ComboBox& combo = f.add<ComboBox>("List");
    UpDown& ud = f.add<UpDown>("Scroll");
    Label& label = f.add<Label>("Label1");
    std::vector<std::string> log;
    std::unique_ptr<FormView> v;
    void SetUp() override {
        a.setGeometry(10, 10, 80, 22);
        b.setGeometry(100, 10, 80, 22);
        ok.setGeometry(10, 50, 80, 28);
        cb.setGeometry(100, 50, 120, 20);
        cb.setCaption("Flag");
        combo.setGeometry(10, 90, 100, 22);
        combo.setItems({"16", "32", "64"});
        ud.setGeometry(200, 10, 16, 22);
        label.setGeometry(10, 130, 50, 20);
        a.setMaxLength(2);
        a.onChange = [&] { log.push_back("A.change:" + a.text()); };
        b.onChange = [&] { log.push_back("B.change:" + b.text()); };
        a.onKeyPress = [&](int k) {
            log.push_back("A.press:" + std::to_string(k));
            if (!a.text().empty()) f.setFocus(&b);
        };
        a.onKeyRelease = [&](int k) { log.push_back("A.release:" + std::to_string(k)); };
        b.onKeyRelease = [&](int k) { log.push_back("B.release:" + std::to_string(k)); };
        ok.onClick = [&] { log.push_back("OK.click"); };
        cb.onClick = [&] { log.push_back("Check.click:" + std::to_string(cb.value())); };
        combo.onClick = [&] { log.push_back("List.click:" + combo.text()); };
        ud.onUpClick = [&] { log.push_back("Scroll.up"); };
        v = std::make_unique<FormView>(f);
        f.show();
        QApplication::processEvents();
        v->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(v.get()));
    }
    template <class T> T* w(Control& c) { return qobject_cast<T*>(v->widgetFor(&c)); }
};

TEST_F(FormViewTest, TypingMovesFocusAndCharGoesIntoOriginalBox) {
    QTest::mouseClick(w<QLineEdit>(a), Qt::LeftButton);
    EXPECT_TRUE(a.hasFocus());
    QTest::keyClicks(w<QLineEdit>(a), "12");
    EXPECT_EQ(a.text(), "12");
    EXPECT_EQ(b.text(), "");
    EXPECT_TRUE(b.hasFocus());
    EXPECT_TRUE(w<QLineEdit>(b)->hasFocus());
    EXPECT_EQ(log, (std::vector<std::string>{"A.press:49", "A.change:1", "A.release:49",
                                             "A.press:50", "A.change:12", "B.release:50"}));
}

TEST_F(FormViewTest, LengthLimitStopsTyping) {
    a.onKeyPress = nullptr;
    a.setText("ABCD");
    EXPECT_EQ(w<QLineEdit>(a)->text(), "ABCD");
    QTest::mouseClick(w<QLineEdit>(a), Qt::LeftButton);
    QTest::keyClick(w<QLineEdit>(a), Qt::Key_End);
    QTest::keyClicks(w<QLineEdit>(a), "x");
    EXPECT_EQ(a.text(), "ABCD");
    QTest::keyClick(w<QLineEdit>(a), Qt::Key_Backspace);
    QTest::keyClick(w<QLineEdit>(a), Qt::Key_Backspace);
    QTest::keyClick(w<QLineEdit>(a), Qt::Key_Backspace);
    QTest::keyClicks(w<QLineEdit>(a), "yz");
    EXPECT_EQ(a.text(), "Ay");
}

TEST_F(FormViewTest, ValidateCancelBlocksClickAndKeepsFocus) {
    bool valid = false;
    a.onValidate = [&](Control*, bool& cancel) { cancel = !valid; };
    QTest::mouseClick(w<QLineEdit>(a), Qt::LeftButton);
    ASSERT_TRUE(a.hasFocus());
    QTest::mouseClick(w<QPushButton>(ok), Qt::LeftButton);
    QTest::mouseClick(w<QCheckBox>(cb), Qt::LeftButton);
    QTest::mouseClick(w<QComboBox>(combo), Qt::LeftButton);
    auto tb = v->widgetFor(&ud)->findChildren<QToolButton*>();
    QTest::mouseClick(tb[0], Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(a.hasFocus());
    EXPECT_TRUE(w<QLineEdit>(a)->hasFocus());
    EXPECT_EQ(cb.value(), 0);
    EXPECT_FALSE(w<QCheckBox>(cb)->isChecked());
    EXPECT_TRUE(log.empty());
    valid = true;
    QTest::mouseClick(w<QPushButton>(ok), Qt::LeftButton);
    EXPECT_EQ(log, (std::vector<std::string>{"OK.click"}));
    EXPECT_TRUE(ok.hasFocus());
}

TEST_F(FormViewTest, ComboPickSameItemClicksEveryTime) {
    combo.setListIndex(1);
    log.clear();
    auto* c = w<QComboBox>(combo);
    EXPECT_EQ(c->currentIndex(), 1);
    // activated as the popup's pick sends it
    emit c->activated(1);
    emit c->activated(1);
    EXPECT_EQ(log, (std::vector<std::string>{"List.click:32", "List.click:32"}));
    combo.setText("Error");
    EXPECT_EQ(c->currentIndex(), -1);
    EXPECT_EQ(c->placeholderText(), "Error");
    combo.setItems({"A"});
    EXPECT_EQ(c->count(), 1);
}

TEST_F(FormViewTest, CheckBoxClickGoesThroughModel) {
    QTest::mouseClick(w<QCheckBox>(cb), Qt::LeftButton);
    EXPECT_EQ(cb.value(), 1);
    EXPECT_TRUE(w<QCheckBox>(cb)->isChecked());
    cb.setValue(2);
    EXPECT_EQ(w<QCheckBox>(cb)->checkState(), Qt::PartiallyChecked);
    QTest::mouseClick(w<QCheckBox>(cb), Qt::LeftButton);
    EXPECT_EQ(cb.value(), 1);
    EXPECT_EQ(w<QCheckBox>(cb)->checkState(), Qt::Checked);
    EXPECT_EQ(log, (std::vector<std::string>{"Check.click:1", "Check.click:2", "Check.click:1"}));
}

TEST_F(FormViewTest, UpDownAndVisibility) {
    auto tb = v->widgetFor(&ud)->findChildren<QToolButton*>();
    QTest::mouseClick(tb[0], Qt::LeftButton);
    EXPECT_EQ(log, (std::vector<std::string>{"Scroll.up"}));
    EXPECT_TRUE(ud.hasFocus());
    ok.setVisible(false);
    EXPECT_FALSE(v->widgetFor(&ok)->isVisible());
    ok.setVisible(true);
    EXPECT_TRUE(v->widgetFor(&ok)->isVisible());
    ok.setEnabled(false);
    EXPECT_FALSE(v->widgetFor(&ok)->isEnabled());
}

TEST_F(FormViewTest, LabelGrowsInsteadOfClipping) {
    label.setCaption("A much longer caption than fits");
    EXPECT_GT(v->widgetFor(&label)->width(), 50);
    EXPECT_FALSE(v->layoutProblems().empty());
}

TEST_F(FormViewTest, ControlCombinationsAreNoTyping) {
    QTest::mouseClick(w<QLineEdit>(a), Qt::LeftButton);
    QTest::keyClick(w<QLineEdit>(a), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(a.hasFocus());
    EXPECT_TRUE(log.empty());
}

TEST_F(FormViewTest, KeyReleaseOnlyForKeysPressedHere) {
    QTest::mouseClick(w<QLineEdit>(b), Qt::LeftButton);
    QTest::keyRelease(w<QLineEdit>(b), Qt::Key_Return);
    EXPECT_TRUE(log.empty());
    QTest::keyClick(w<QLineEdit>(b), Qt::Key_Return);
    EXPECT_EQ(log, (std::vector<std::string>{"B.release:13"}));
}

TEST_F(FormViewTest, ProgramTextNoFeedback) {
    b.setText("xyz");
    EXPECT_EQ(w<QLineEdit>(b)->text(), "xyz");
    EXPECT_EQ(log, (std::vector<std::string>{"B.change:xyz"}));
}

TEST_F(FormViewTest, FormHideShowCaption) {
    f.setCaption("New");
    EXPECT_EQ(v->windowTitle(), "New");
    f.hide();
    EXPECT_FALSE(v->isVisible());
    f.show();
    EXPECT_TRUE(v->isVisible());
    f.setSize(500, 320);
    EXPECT_EQ(v->size(), QSize(500, 320));
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// FormView (offscreen): input reaches the models by the controls' event rules, and the real
// windows are drawn so that they fit, read in order and reach their handlers.
#include "image/sample_image.h"
#include "support/app_bench.h"
#include "ui/controls.h"
#include "ui/widgets/form_view.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>
#include <set>
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

// Control combinations are no typing; a release without its press here is not reported; a
// character goes into the box it was typed in even when its key press moves the focus on.
TEST_F(FormViewTest, KeysReachTheModelByItsRulesUpToTheLengthLimit) {
    QTest::mouseClick(w<QLineEdit>(a), Qt::LeftButton);
    QTest::keyClick(w<QLineEdit>(a), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(a.hasFocus());
    QTest::mouseClick(w<QLineEdit>(b), Qt::LeftButton);
    QTest::keyRelease(w<QLineEdit>(b), Qt::Key_Return);
    EXPECT_TRUE(log.empty());
    QTest::keyClick(w<QLineEdit>(b), Qt::Key_Return);
    EXPECT_EQ(log, (std::vector<std::string>{"B.release:13"}));
    log.clear();
    QTest::mouseClick(w<QLineEdit>(a), Qt::LeftButton);
    EXPECT_TRUE(a.hasFocus());
    QTest::keyClicks(w<QLineEdit>(a), "12");
    EXPECT_EQ(std::tuple(a.text(), b.text(), b.hasFocus(), w<QLineEdit>(b)->hasFocus()),
              std::tuple("12", "", true, true));
    EXPECT_EQ(log, (std::vector<std::string>{"A.press:49", "A.change:1", "A.release:49",
                                             "A.press:50", "A.change:12", "B.release:50"}));
    // A text longer than the limit is kept, and typing stops at the limit.
    a.onKeyPress = nullptr;
    a.setText("ABCD");
    EXPECT_EQ(w<QLineEdit>(a)->text(), "ABCD");
    QTest::mouseClick(w<QLineEdit>(a), Qt::LeftButton);
    QTest::keyClick(w<QLineEdit>(a), Qt::Key_End);
    QTest::keyClicks(w<QLineEdit>(a), "x");
    EXPECT_EQ(a.text(), "ABCD");
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(w<QLineEdit>(a), Qt::Key_Backspace);
    QTest::keyClicks(w<QLineEdit>(a), "yz");
    EXPECT_EQ(a.text(), "Ay");
}

TEST_F(FormViewTest, ValidateCancelBlocksClicksThenClicksGoThroughTheModel) {
    bool valid = false;
    a.onValidate = [&](Control*, bool& cancel) { cancel = !valid; };
    QTest::mouseClick(w<QLineEdit>(a), Qt::LeftButton);
    ASSERT_TRUE(a.hasFocus());
    QTest::mouseClick(w<QPushButton>(ok), Qt::LeftButton);
    QTest::mouseClick(w<QCheckBox>(cb), Qt::LeftButton);
    QTest::mouseClick(w<QComboBox>(combo), Qt::LeftButton);
    QTest::mouseClick(v->widgetFor(&ud)->findChildren<QToolButton*>()[0], Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(std::tuple(a.hasFocus(), w<QLineEdit>(a)->hasFocus(), cb.value(),
                         w<QCheckBox>(cb)->isChecked(), log.empty()),
              std::tuple(true, true, 0, false, true));
    valid = true;
    QTest::mouseClick(w<QPushButton>(ok), Qt::LeftButton);
    EXPECT_EQ(log, (std::vector<std::string>{"OK.click"}));
    EXPECT_TRUE(ok.hasFocus());
    // A list's pick clicks even for the item it holds; a check box click goes through the model
    // (a grey box becomes ticked); an arrow click takes the focus.
    combo.setListIndex(1);
    log.clear();
    auto* c = w<QComboBox>(combo);
    EXPECT_EQ(c->currentIndex(), 1);
    emit c->activated(1); // as the popup's pick sends it
    emit c->activated(1);
    QTest::mouseClick(w<QCheckBox>(cb), Qt::LeftButton);
    EXPECT_TRUE(w<QCheckBox>(cb)->isChecked());
    cb.setValue(2);
    EXPECT_EQ(w<QCheckBox>(cb)->checkState(), Qt::PartiallyChecked);
    QTest::mouseClick(w<QCheckBox>(cb), Qt::LeftButton);
    EXPECT_EQ(std::tuple(cb.value(), w<QCheckBox>(cb)->checkState()), std::tuple(1, Qt::Checked));
    QTest::mouseClick(v->widgetFor(&ud)->findChildren<QToolButton*>()[0], Qt::LeftButton);
    EXPECT_TRUE(ud.hasFocus());
    EXPECT_EQ(log, (std::vector<std::string>{"List.click:32", "List.click:32", "Check.click:1",
                                             "Check.click:2", "Check.click:1", "Scroll.up"}));
}

TEST_F(FormViewTest, EnterPressesTheDefaultButtonProblemsAreOutlinedAndModelChangesShow) {
    v->setDefaultButton(ok);
    QTest::mouseClick(w<QLineEdit>(b), Qt::LeftButton);
    QTest::keyClick(w<QLineEdit>(b), Qt::Key_Return); // a text box keeps its Enter
    f.setFocus(&combo);
    QApplication::processEvents();
    QTest::keyClick(w<QComboBox>(combo), Qt::Key_Return);
    EXPECT_EQ(log, (std::vector<std::string>{"B.release:13", "OK.click"}));

    a.setProblem("Please insert new value");
    EXPECT_EQ(v->widgetFor(&a)->toolTip(), "Please insert new value");
    auto outlined = [&] {
        for (QWidget* o : v->widgetFor(&a)->parentWidget()->findChildren<QWidget*>())
            if (o->isVisible() && o->geometry().contains(v->widgetFor(&a)->geometry()) &&
                o != v->widgetFor(&a) && !o->isAncestorOf(v->widgetFor(&a)))
                return true;
        return false;
    };
    EXPECT_TRUE(outlined());
    a.setProblem("");
    EXPECT_FALSE(outlined());
    log.clear();
    // What the program sets shows without coming back as an event: texts, lists, visibility,
    // the window's caption and size; a label too long for its place grows and is reported.
    b.setText("xyz");
    EXPECT_EQ(w<QLineEdit>(b)->text(), "xyz");
    EXPECT_EQ(log, (std::vector<std::string>{"B.change:xyz"}));
    combo.setText("Error");
    EXPECT_EQ(
        std::tuple(w<QComboBox>(combo)->currentIndex(), w<QComboBox>(combo)->placeholderText()),
        std::tuple(-1, "Error"));
    combo.setItems({"A"});
    EXPECT_EQ(w<QComboBox>(combo)->count(), 1);
    ok.setVisible(false);
    EXPECT_FALSE(v->widgetFor(&ok)->isVisible());
    ok.setVisible(true);
    EXPECT_TRUE(v->widgetFor(&ok)->isVisible());
    ok.setEnabled(false);
    EXPECT_FALSE(v->widgetFor(&ok)->isEnabled());
    f.setCaption("New");
    EXPECT_EQ(v->windowTitle(), "New");
    f.hide();
    EXPECT_FALSE(v->isVisible());
    f.show();
    EXPECT_TRUE(v->isVisible());
    f.setSize(500, 320);
    EXPECT_EQ(v->size(), QSize(500, 320));
    EXPECT_TRUE(v->layoutProblems().empty());
    label.setCaption("A much longer caption than fits");
    EXPECT_GT(v->widgetFor(&label)->width(), 50);
    EXPECT_FALSE(v->layoutProblems().empty());
}

namespace {

struct Started : rw::test::AppBench {
    std::string sample;
    explicit Started(int mode, bool expert = false) : AppBench(0, Real) {
        if (expert)
            rw::test::writeText(dir.file("startup.ini"), "a\nb\n\"expert\"\n\"disabled\"\n");
        startMode(mode);
        sample = dir.file(rw::image::sampleFileName(mode));
        rw::image::writePatchFile(sample, rw::image::makeSampleImage(mode));
    }
    std::unique_ptr<FormView> configView() {
        auto* form = main->configForm();
        return std::make_unique<FormView>(*form, *form->layoutPlan());
    }
};

// Which column stack a widget of a window drawn from its arrangement lies in: stacks are
// told apart by the left edge of their columns.
int stackOf(FormView& v, QWidget* w) {
    QWidget* content = v.findChild<QScrollArea*>()->widget();
    std::set<int> lefts;
    for (QWidget* c : content->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (c->isVisible()) lefts.insert(c->x());
    while (w && w->parentWidget() != content)
        w = w->parentWidget();
    return w ? static_cast<int>(std::distance(lefts.begin(), lefts.find(w->x()))) : -1;
}

QAction* menuAction(FormView& v, const QString& text) {
    for (QAction* a : v.menuBar()->findChildren<QAction*>())
        if (QString(a->text()).remove('&') == text) return a;
    return nullptr;
}

QString statusText(FormView& v) {
    QStringList parts;
    for (QLabel* l : v.statusBar()->findChildren<QLabel*>())
        parts << l->text();
    return parts.join(" | ");
}

} // namespace

TEST(AppWindows, CaptionsFitWithoutOverlap) {
    Started app(3);
    app.main->showRunConnecting();
    app.main->Abort.setVisible(true);
    for (Form* f : std::initializer_list<Form*>{&app.welcome, app.main.get(), &app.main->about(),
                                                &app.main->userForm()}) {
        FormView v(*f);
        f->show();
        QApplication::processEvents();
        const auto problems = v.layoutProblems();
        EXPECT_TRUE(problems.empty()) << f->name() << ": " << problems.front();
    }
}

// Each product's window, normal and expert, fits 1024x768 and 1280x720 at 150 % (853x480) with
// nothing clipped or overlapping; Tab walks the editable fields only, in reading order.
TEST(ConfigWindows, FitTheScreenAndTabFollowsReadingOrder) {
    const QSize screens[] = {{1600, 1000}, {1024, 768}, {853, 480}};
    for (int mode = 1; mode <= 4; ++mode)
        for (bool expert : {false, true}) {
            Started app(mode, expert);
            ASSERT_TRUE(app.main->openPath(app.sample));
            auto v = app.configView();
            auto* form = app.main->configForm();
            app.main->onDigitalCommand();
            for (const QSize& screen : screens) {
                v->fitInto(QRect(QPoint(0, 0), screen));
                QApplication::processEvents();
                const std::string where = "mode " + std::to_string(mode) +
                                          (expert ? " expert " : " normal ") +
                                          std::to_string(screen.width());
                // With room for a title bar and borders.
                EXPECT_LE(v->width() + 8, screen.width()) << where;
                EXPECT_LE(v->height() + 34, screen.height()) << where;
                const auto problems = v->layoutProblems();
                EXPECT_TRUE(problems.empty()) << where << ": " << problems.front();
                const auto stops = v->tabStops();
                ASSERT_GT(stops.size(), expert ? 40u : 30u) << where;
                std::set<QWidget*> stopSet(stops.begin(), stops.end());
                for (const auto& c : form->controls()) {
                    const bool editable =
                        c->shown() && c->enabled() &&
                        (c->kind() == ControlKind::ComboBox || c->kind() == ControlKind::CheckBox ||
                         c->kind() == ControlKind::Button ||
                         (c->kind() == ControlKind::TextBox &&
                          !static_cast<TextBox&>(*c).readOnly()));
                    EXPECT_EQ(stopSet.count(v->widgetFor(c.get())) == 1, editable)
                        << where << " " << c->fullName();
                }
                // Reading order: stack by stack, top to bottom, left to right within a line.
                for (std::size_t i = 0; i + 1 < stops.size(); ++i) {
                    QWidget *a = stops[i], *b = stops[i + 1];
                    if (qobject_cast<QPushButton*>(b)) break; // the buttons come last
                    const QRect ra(a->mapTo(v.get(), QPoint()), a->size());
                    const QRect rb(b->mapTo(v.get(), QPoint()), b->size());
                    const int sa = stackOf(*v, a), sb = stackOf(*v, b);
                    const bool sameLine =
                        std::abs(ra.center().y() - rb.center().y()) < ra.height() / 2;
                    EXPECT_TRUE(sb > sa ||
                                (sb == sa && (sameLine ? rb.x() > ra.x() : rb.top() > ra.top())))
                        << where << ": " << a->objectName().toStdString() << " then "
                        << b->objectName().toStdString();
                }
            }
            // The Tab key walks that chain through the model's focus rules.
            const auto stops = v->tabStops();
            form->setFocus(form->findByFullName(stops.front()->objectName().toStdString()));
            QApplication::processEvents();
            for (std::size_t i = 1; i < stops.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                ASSERT_EQ(form->focused(),
                          form->findByFullName(stops[i]->objectName().toStdString()))
                    << "mode " << mode << " step " << i;
            }
            EXPECT_EQ(app.boxCount(), 0u);
        }
}

TEST(ConfigWindows, UpDownKeysAndWheelStepACarrierAsItsArrowsDo) {
    Started app(3);
    app.main->openPath(app.sample);
    auto v = app.configView();
    auto* form = app.main->configForm();
    form->show();
    QApplication::processEvents();
    auto& hundredths = static_cast<TextBox&>(*form->findByFullName("DwCarrierText(1)"));
    auto& whole = static_cast<TextBox&>(*form->findByFullName("DwCarrierText(0)"));
    const std::string start = whole.text() + hundredths.text();
    form->setFocus(&hundredths);
    QApplication::processEvents();
    auto* box = v->widgetFor(&hundredths);
    QTest::keyClick(box, Qt::Key_Up);
    QTest::keyClick(box, Qt::Key_Up);
    EXPECT_TRUE(hundredths.hasFocus());
    QTest::keyClick(box, Qt::Key_Down);
    const auto afterKeys = std::stoi(whole.text()) * 100 + std::stoi(hundredths.text());
    EXPECT_EQ(afterKeys, std::stoi(start.substr(0, 3)) * 100 + std::stoi(start.substr(3)) + 1);
    QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
    EXPECT_EQ(std::stoi(whole.text()) * 100 + std::stoi(hundredths.text()), afterKeys - 1);
}

TEST(MainWindow, DropMenusAndStatusBarReachTheButtonsHandlers) {
    Started app(3);
    FormView v(*app.main);
    auto& m = *app.main;
    EXPECT_FALSE(menuAction(v, "Configurations")->isEnabled()); // as its button
    EXPECT_TRUE(menuAction(v, "Reserved area")->isVisible());

    auto drop = [&](const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&v, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&v, &dropped);
    };
    // Which dropped files are taken is the main window's rule, tested on its model.
    drop(app.sample);
    EXPECT_EQ(m.run.pathOfFile, app.sample);
    const QString name = QString::fromStdString(rw::image::sampleFileName(3));
    EXPECT_EQ(v.windowTitle(), name + "[*] - Kestrel E2 Utility");
    EXPECT_TRUE(statusText(v).contains(QString::fromStdString(app.sample)));
    EXPECT_TRUE(statusText(v).contains("Opened " + name));

    menuAction(v, "Configurations")->trigger();
    EXPECT_TRUE(m.configForm()->visible());
    m.run.formChanged = true;
    EXPECT_TRUE(v.isWindowModified());

    const std::string out = app.dir.file("E2MP_out.bin");
    app.platform.files.answers.push_back(out);
    menuAction(v, "Save new file...")->trigger();
    EXPECT_FALSE(v.isWindowModified());
    EXPECT_TRUE(statusText(v).contains("Saved E2MP_out.bin"));
    EXPECT_EQ(m.recentFiles(), (std::vector<std::string>{out, app.sample}));

    menuAction(v, "Exit")->trigger();
    EXPECT_TRUE(m.quitRequested());
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

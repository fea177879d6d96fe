// The GUI program: the welcome window (or a product taken from the command line), then the
// main window of the product with its configuration window, port dialog, reserved-area
// editor and About box. The windows are the same models the tests drive; FormView draws them.
#include "app/main_form.h"
#include "app/welcome_form.h"
#include "config/band_plan.h"
#include "modem/modem_module.h"
#include "ui/qt_serial_port.h"
#include "ui/widgets/band_strip.h"
#include "ui/widgets/form_view.h"
#include "ui/widgets/qt_platform.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QIcon>
#include <QSettings>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// The band plan strip in the VDSL group (the first heading of the main column), redrawn on
// every change of the window.
std::vector<rw::ui::Connection> addBandStrip(rw::ui::FormView& view, rw::config::ConfigForm& form) {
    const rw::ui::LayoutPlan* plan = form.layoutPlan();
    if (!plan || plan->columns[rw::ui::kMainColumn].empty()) return {};
    QGroupBox* group = view.groupOf(plan->columns[rw::ui::kMainColumn].front().caption);
    auto* body =
        group ? group->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!body || !body->layout()) return {};
    auto* strip = new rw::ui::BandStrip(body);
    static_cast<QVBoxLayout*>(body->layout())->addWidget(strip);
    auto refresh = [strip, &form] {
        const rw::config::BandPlan p = rw::config::bandPlanOf(form);
        std::vector<rw::ui::StripBand> bands;
        for (const rw::config::Band& b : p.bands) {
            QString label = b.downstream ? QStringLiteral("DS") : QStringLiteral("US");
            if (b.rateMbps) label += QStringLiteral(" %1 Mbit/s").arg(*b.rateMbps, 0, 'f', 2);
            bands.push_back(
                {b.downstream, b.low, b.high, b.centre, label, b.outside || b.overlaps});
        }
        strip->setPlan(p.top, std::move(bands), QString::fromStdString(p.warning));
    };
    std::vector<rw::ui::Connection> connections;
    for (const auto& c : form.controls())
        connections.push_back(c->stateChanged.connect(refresh));
    connections.push_back(form.focusChanged.connect(refresh));
    refresh();
    return connections;
}

QString recentKey(const std::string& modeCode) {
    return QStringLiteral("recent/") + QString::fromStdString(modeCode);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The same data folder as the command line (backups). No display name: Qt would
    // append it to every window caption.
    QApplication::setApplicationName(QStringLiteral("Romwright"));
    // The program ends through its windows' own rules (exit question, welcome closed), not
    // because no window happens to be visible between two of them.
    QApplication::setQuitOnLastWindowClosed(false);
    rw::ui::applyWindowStyle();
    QApplication::setWindowIcon(QIcon(rw::ui::modemPicture(64, 64)));

    // Qt has taken its own options out; the rest is the command line, joined by blanks.
    std::vector<std::string> args;
    const QStringList qargs = QApplication::arguments();
    for (qsizetype i = 1; i < qargs.size(); ++i)
        args.push_back(qargs[i].toStdString());
    const std::string commandLine =
        rw::app::commandLineFromArgs(args, QDir::currentPath().toStdString());

    rw::ui::QtPlatform platform(std::make_unique<rw::ui::QtSerialPort>());
    bool running = false;
    auto endProgram = [&] {
        // Inside a long operation (a programming run, the port dialog's wait) the program
        // ends at once; the operation does not go on.
        if (platform.loop().depth() > 0) {
            std::fflush(nullptr);
            std::_Exit(0);
        }
        if (running) QCoreApplication::exit(0);
    };

    // The configuration window is made by the main window's start; its view with it, drawn
    // from the window's arrangement, opened beside the main window and remembered.
    std::unique_ptr<rw::ui::FormView> configView;
    std::vector<rw::ui::Connection> stripConnections;
    QWidget* mainWindow = nullptr;
    auto factory = [&configView, &stripConnections, &mainWindow,
                    inner = rw::app::defaultConfigFactory()](int mode,
                                                             rw::config::FormContext& ctx) {
        auto form = inner(mode, ctx);
        if (form) {
            if (const rw::ui::LayoutPlan* plan = form->layoutPlan())
                configView = std::make_unique<rw::ui::FormView>(*form, *plan);
            else
                configView = std::make_unique<rw::ui::FormView>(*form);
            configView->onCloseByFrame = [f = form.get()] { f->hide(); };
            configView->setAnchor(mainWindow);
            configView->setRememberGeometry(true);
            stripConnections = addBandStrip(*configView, *form);
        }
        return form;
    };

    rw::app::WelcomeForm welcome;
    rw::app::MainForm mainForm(platform, welcome, factory);
    mainForm.wireProgramming();
    mainForm.onQuit = endProgram;

    {
        rw::ui::FormView welcomeView(welcome);
        welcomeView.onCloseByFrame = endProgram;
        welcomeView.setDefaultButton(welcome.Continue);
        rw::ui::FormView mainView(mainForm);
        mainView.onCloseByFrame = [&] { mainForm.closedByFrame(); };
        mainWindow = &mainView;
        rw::ui::FormView userView(mainForm.userForm());
        userView.onCloseByFrame = [&] { mainForm.userForm().closedByFrame(); };
        rw::ui::FormView aboutView(mainForm.about());
        aboutView.onCloseByFrame = [&] { mainForm.about().closedByFrame(); };
        std::unique_ptr<rw::ui::FormView> portView;
        if (rw::modem::ModemModule* modem = mainForm.modem()) {
            portView = std::make_unique<rw::ui::FormView>(modem->comPortForm());
            portView->onCloseByFrame = [modem] { modem->comPortForm().closedByFrame(); };
            portView->setDefaultButton(modem->comPortForm().OKCommand);
            portView->setFocusOnShow(modem->comPortForm().ComPort);
        }

        // Recent files are kept per product, across runs.
        rw::ui::Connection recentSaver;
        welcome.onShowMain = [&] {
            const QString key = [&] {
                const rw::image::Product* p = rw::image::productForMode(welcome.CurrentMode);
                return recentKey(p ? p->modeCode : "");
            }();
            std::vector<std::string> files;
            for (const QString& f : QSettings().value(key).toStringList())
                files.push_back(f.toStdString());
            mainForm.setRecentFiles(files);
            recentSaver = mainForm.documentChanged.connect([&mainForm, key] {
                QStringList list;
                for (const std::string& f : mainForm.recentFiles())
                    list << QString::fromStdString(f);
                QSettings().setValue(key, list);
            });
            mainForm.Form_Load();
        };
        welcome.Form_Load(commandLine);
        if (mainForm.quitRequested()) {
            stripConnections.clear();
            configView.reset();
            return 0;
        }
        running = true;
        const int rc = QApplication::exec();
        running = false;
        // Views go before the windows they draw.
        stripConnections.clear();
        configView.reset();
        return rc;
    }
}

// The GUI program: the welcome window (or a product taken from the command line), then the
// main window of the product with its configuration window, port dialog, reserved-area
// editor and About box. The windows are the same models the tests drive; FormView draws them.
#include "app/main_form.h"
#include "app/run_progress.h"
#include "app/welcome_form.h"
#include "config/band_plan.h"
#include "modem/modem_module.h"
#include "ui/qt_serial_port.h"
#include "ui/widgets/band_strip.h"
#include "ui/widgets/form_view.h"
#include "ui/widgets/qt_platform.h"
#include "ui/widgets/run_panel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QIcon>
#include <QProgressBar>
#include <QSettings>
#include <QUrl>
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

// The application's look and names, once.
void setUpApplication() {
    // The same data folder as the command line (backups). No display name: Qt would append
    // it to every window caption.
    QApplication::setApplicationName(QStringLiteral("Romwright"));
    // The program ends through its windows' own rules (exit question, welcome closed), not
    // because no window happens to be visible between two of them.
    QApplication::setQuitOnLastWindowClosed(false);
    rw::ui::applyWindowStyle();
    QApplication::setWindowIcon(QIcon(rw::ui::modemPicture(64, 64)));
}

// Qt has taken its own options out; the rest is the command line, joined by blanks.
std::string commandLineOfProcess() {
    std::vector<std::string> args;
    const QStringList qargs = QApplication::arguments();
    for (qsizetype i = 1; i < qargs.size(); ++i)
        args.push_back(qargs[i].toStdString());
    return rw::app::commandLineFromArgs(args, QDir::currentPath().toStdString());
}

// The windows of the program and their views. Views are declared after the windows they draw,
// so that they go first.
class GuiProgram {
public:
    GuiProgram()
        : platform_(std::make_unique<rw::ui::QtSerialPort>()),
          mainForm_(platform_, welcome_, [this](int mode, rw::config::FormContext& ctx) {
              return makeConfigForm(mode, ctx);
          }) {
        mainForm_.wireProgramming();
        mainForm_.onQuit = [this] { endProgram(); };
        makeViews();
        welcome_.onShowMain = [this] { showMain(); };
    }
    ~GuiProgram() {
        // The configuration window's view goes before the window, which the main window owns.
        stripConnections_.clear();
        configView_.reset();
    }
    GuiProgram(const GuiProgram&) = delete;
    GuiProgram& operator=(const GuiProgram&) = delete;

    int run(const std::string& commandLine) {
        welcome_.onLoad(commandLine);
        if (mainForm_.quitRequested()) return 0;
        running_ = true;
        const int rc = QApplication::exec();
        running_ = false;
        return rc;
    }

private:
    void endProgram() {
        // Inside a long operation (a programming run, the port dialog's wait) the program
        // ends at once; the operation does not go on.
        if (platform_.loop().depth() > 0) {
            std::fflush(nullptr);
            std::_Exit(0);
        }
        if (running_) QCoreApplication::exit(0);
    }

    // The configuration window is made by the main window's start; its view with it, drawn
    // from the window's arrangement, opened beside the main window and remembered.
    std::unique_ptr<rw::config::ConfigForm> makeConfigForm(int mode, rw::config::FormContext& ctx) {
        auto form = rw::app::defaultConfigFactory()(mode, ctx);
        if (!form) return form;
        if (const rw::ui::LayoutPlan* plan = form->layoutPlan())
            configView_ = std::make_unique<rw::ui::FormView>(*form, *plan);
        else
            configView_ = std::make_unique<rw::ui::FormView>(*form);
        configView_->onCloseByFrame = [f = form.get()] { f->hide(); };
        configView_->setAnchor(mainView_.get());
        configView_->setRememberGeometry(true);
        stripConnections_ = addBandStrip(*configView_, *form);
        return form;
    }

    void makeViews() {
        welcomeView_ = std::make_unique<rw::ui::FormView>(welcome_);
        welcomeView_->onCloseByFrame = [this] { endProgram(); };
        welcomeView_->setDefaultButton(welcome_.Continue);
        mainView_ = std::make_unique<rw::ui::FormView>(mainForm_);
        mainView_->onCloseByFrame = [this] { mainForm_.closedByFrame(); };
        if (rw::app::RunProgress* progress = mainForm_.runProgress())
            mainView_->addPanel(new rw::ui::RunPanel(
                *progress,
                qobject_cast<QProgressBar*>(mainView_->widgetFor(&mainForm_.ProgressBar))));
        mainForm_.openFolder = [](const std::string& folder) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
        };
        userView_ = std::make_unique<rw::ui::FormView>(mainForm_.userForm());
        userView_->onCloseByFrame = [this] { mainForm_.userForm().closedByFrame(); };
        aboutView_ = std::make_unique<rw::ui::FormView>(mainForm_.about());
        aboutView_->onCloseByFrame = [this] { mainForm_.about().closedByFrame(); };
        if (rw::modem::ModemModule* modem = mainForm_.modem()) {
            portView_ = std::make_unique<rw::ui::FormView>(modem->comPortForm());
            portView_->onCloseByFrame = [modem] { modem->comPortForm().closedByFrame(); };
            portView_->setDefaultButton(modem->comPortForm().OKCommand);
            portView_->setFocusOnShow(modem->comPortForm().ComPort);
        }
    }

    // Recent files are kept per product, across runs.
    void showMain() {
        const rw::image::Product* p = rw::image::productForMode(welcome_.currentMode);
        const QString key = recentKey(p ? p->modeCode : "");
        std::vector<std::string> files;
        for (const QString& f : QSettings().value(key).toStringList())
            files.push_back(f.toStdString());
        mainForm_.setRecentFiles(files);
        recentSaver_ = mainForm_.documentChanged.connect([this, key] {
            QStringList list;
            for (const std::string& f : mainForm_.recentFiles())
                list << QString::fromStdString(f);
            QSettings().setValue(key, list);
        });
        mainForm_.onLoad();
    }

    rw::ui::QtPlatform platform_;
    rw::app::WelcomeForm welcome_;
    rw::app::MainForm mainForm_;
    bool running_ = false;
    std::unique_ptr<rw::ui::FormView> welcomeView_;
    std::unique_ptr<rw::ui::FormView> mainView_;
    std::unique_ptr<rw::ui::FormView> userView_;
    std::unique_ptr<rw::ui::FormView> aboutView_;
    std::unique_ptr<rw::ui::FormView> portView_;
    std::unique_ptr<rw::ui::FormView> configView_;
    std::vector<rw::ui::Connection> stripConnections_;
    rw::ui::Connection recentSaver_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setUpApplication();
    const std::string commandLine = commandLineOfProcess();
    GuiProgram program;
    return program.run(commandLine);
}

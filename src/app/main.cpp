// The GUI program: the welcome window (or a product taken from the command line), then the
// main window of the product with its configuration window, port dialog, reserved-area
// editor and About box. The windows are the same models the tests drive; FormView draws them.
#include "app/main_form.h"
#include "app/welcome_form.h"
#include "modem/modem_module.h"
#include "ui/qt_serial_port.h"
#include "ui/widgets/form_view.h"
#include "ui/widgets/qt_platform.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

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

    // The configuration window is made by the main window's start; its view with it.
    std::unique_ptr<rw::ui::FormView> configView;
    auto factory = [&configView, inner = rw::app::defaultConfigFactory()](
                       int mode, rw::config::FormContext& ctx) {
        auto form = inner(mode, ctx);
        if (form) {
            configView = std::make_unique<rw::ui::FormView>(*form);
            configView->onCloseByFrame = [f = form.get()] { f->hide(); };
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
        rw::ui::FormView mainView(mainForm);
        mainView.onCloseByFrame = [&] { mainForm.closedByFrame(); };
        rw::ui::FormView userView(mainForm.userForm());
        userView.onCloseByFrame = [&] { mainForm.userForm().closedByFrame(); };
        rw::ui::FormView aboutView(mainForm.about());
        aboutView.onCloseByFrame = [&] { mainForm.about().closedByFrame(); };
        std::unique_ptr<rw::ui::FormView> portView;
        if (rw::modem::ModemModule* modem = mainForm.modem()) {
            portView = std::make_unique<rw::ui::FormView>(modem->comPortForm());
            portView->onCloseByFrame = [modem] { modem->comPortForm().closedByFrame(); };
        }

        welcome.onShowMain = [&] { mainForm.Form_Load(); };
        welcome.Form_Load(commandLine);
        if (mainForm.quitRequested()) {
            configView.reset();
            return 0;
        }
        running = true;
        const int rc = QApplication::exec();
        running = false;
        // Views go before the windows they draw.
        configView.reset();
        return rc;
    }
}

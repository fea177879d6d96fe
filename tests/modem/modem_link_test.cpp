// Choosing and opening the port: the port dialog, the listing, the default port in
// startup.ini, and openModem's outcomes and questions, on a scripted line.
#include "app/startup_ini.h"
#include "modem/modem_module.h"
#include "support/fake_port.h"
#include "support/platform_checks.h"
#include "support/temp_dir.h"
#include "ui/qt_serial_port.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <tuple>

using rw::test::FakeMonitor;
using rw::test::FakePort;
namespace ui = rw::ui;
using rw::modem::OpenOutcome;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace {

std::string question(const std::string& com, const char* what) {
    return std::string(what) == "Modem"
               ? "Modem is unavailable on com  " + com + ". Would you like to try different com ?  "
               : "Com  " + com + " is " + what + ". Would you like to try different port ?  ";
}

class Link : public ::testing::Test {
protected:
    void present(std::initializer_list<int> ports, ui::OpenResult r = ui::OpenResult::Opened) {
        for (int n : ports)
            port->devices["fake" + std::to_string(n)] = r;
    }
    // The user, once the dialog is up: type or pick `text`, then press OK.
    void userChooses(const std::string& text) {
        platform.loop->onProcessEvents = [this, text] {
            auto& f = modem.comPortForm();
            if (!f.visible() || modem.chosenCom != 0) return;
            f.ComPort.userType(text);
            f.OKCommand.userClick();
            platform.loop->onProcessEvents = nullptr;
        };
    }
    std::optional<std::string> iniText() {
        if (!fs::exists(ini)) return std::nullopt;
        const auto bytes = rw::test::readBytes(ini);
        return std::string(bytes.begin(), bytes.end());
    }
    long long clockMs(std::chrono::steady_clock::time_point t0) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(platform.manual.now() - t0)
            .count();
    }

    // Every COMn points at a name the fake port knows, so no real device is touched.
    rw::test::ComEnvironment env{[](int n) { return "fake" + std::to_string(n); }};
    ui::ScriptedPlatform platform{true};
    rw::test::TempDir dir;
    std::string iniDir = dir.str(); // the store keeps a reference to it
    std::string ini = dir.file("startup.ini");
    rw::app::StartupIniPortStore store{iniDir};
    FakePort* port =
        static_cast<FakePort*>((platform.port = std::make_unique<FakePort>(platform.manual)).get());
    rw::modem::ModemModule modem{platform, &store};
};

std::string iniWith(const char* com) {
    return "[Romwright]\r\ndefaultcom = \"" + std::string(com) +
           "\"\r\nmode = \"expert\"\r\nwatchdog = \"disabled\"\r\n";
}
const std::string kIni4 = iniWith("COM1"), kIni4Com4 = iniWith("COM4");

} // namespace

TEST(ComPortDialog, EveryControlFitsTheDialog) {
    int com = 0;
    rw::modem::ComPortForm f(com);
    for (const auto& c : f.controls()) {
        const auto& g = c->geometry();
        EXPECT_TRUE(g.w > 0 && g.x + g.w <= f.width() && g.y + g.h <= f.height()) << c->name();
    }
}

TEST(ComPortDialog, OkAcceptsOnlyComOneToFourAndCancellingGivesEleven) {
    int com = 0;
    rw::modem::ComPortForm f(com);
    EXPECT_TRUE(f.SaveAsDefault.checked()); // a chosen port is kept unless unticked
    f.show();
    const std::pair<const char*, int> typed[] = {
        {"COM5", 0}, {"COM6", 0}, {"com1", 0}, {"COM1 ", 0}, {"COM", 0},
        {"", 0},     {"COM1", 1}, {"COM2", 2}, {"COM3", 3},  {"COM4", 4}};
    for (const auto& [t, want] : typed) {
        f.ComPort.userType(t);
        f.OKCommand.userClick();
        EXPECT_EQ(com, want) << t;
    }
    EXPECT_TRUE(f.visible()); // OK leaves hiding to the caller
    for (bool byFrame : {false, true}) {
        com = 0;
        f.show();
        byFrame ? f.closedByFrame() : (void)f.Cancel.userClick();
        EXPECT_EQ(com, 11) << byFrame;
        EXPECT_FALSE(f.visible()) << byFrame;
    }
}

TEST(ComDevice, EnvironmentNamesTheDevice) {
    setenv("ROMWRIGHT_COM3", "/tmp/some-pty", 1);
    EXPECT_EQ(rw::modem::comDeviceName(3), "/tmp/some-pty");
    unsetenv("ROMWRIGHT_COM3");
#ifdef _WIN32
    EXPECT_EQ(rw::modem::comDeviceName(3), "COM3");
#else
    EXPECT_EQ(rw::modem::comDeviceName(3), "/dev/ttyS2");
    EXPECT_EQ(rw::modem::comDeviceName(1), "/dev/ttyS0");
#endif
}

TEST(LineSettingsText, ReadsTheFourPartsWithDefaultsForNonsense) {
    // Stop bits of the nonsense row left unchecked.
    using T = std::tuple<int, char, int, double>;
    for (const auto& [text, want] : {std::pair{"9600,N,8,1", T{9600, 'N', 8, 1}},
                                     std::pair{"19200,e,7,2", T{19200, 'E', 7, 2}},
                                     std::pair{"fast,X,12", T{9600, 'N', 8, -1}}}) {
        const auto s = ui::parseLineSettings(text);
        EXPECT_EQ(T(s.baud, s.parity, s.dataBits, std::get<3>(want) < 0 ? -1 : s.stopBits), want)
            << text;
    }
}

TEST_F(Link, OpenPortUsesTheLineSettingsAndClosesOnFailure) {
    present({2});
    present({3}, ui::OpenResult::AlreadyOpen);
    EXPECT_EQ(modem.openPort(2), ui::OpenResult::Opened);
    EXPECT_EQ(std::tuple(port->settings, port->isOpen()), std::tuple("9600,N,8,1", true));
    const int closes = port->closes;
    EXPECT_EQ(modem.openPort(3), ui::OpenResult::AlreadyOpen);
    EXPECT_EQ(modem.openPort(4), ui::OpenResult::NoSuchPort);
    EXPECT_EQ(port->closes, closes + 2);
}

TEST_F(Link, ListingShowsPresentPortsIncludingBusyOnesAndClosesThem) {
    present({1, 2});
    present({5}, ui::OpenResult::AlreadyOpen);
    modem.comPortForm().ComPort.setItems({"COM9"});
    modem.listPorts();
    EXPECT_EQ(modem.comPortForm().ComPort.items(), (Names{"COM1", "COM2", "COM5"}));
    EXPECT_EQ(port->opened, (Names{"fake1", "fake2", "fake3", "fake4", "fake5", "fake6"}));
    EXPECT_FALSE(port->isOpen());
}

TEST_F(Link, DefaultPortIsLineTwoAndSavingRewritesItWithCrLf) {
    // Saving needs a file of at least two lines; it keeps the other lines.
    const struct {
        std::optional<std::string> before;
        std::string read;                 // readDefaultCom before saving
        std::optional<std::string> after; // the file after saveDefaultCom("COM4")
    } cases[] = {
        {kIni4, "COM1", kIni4Com4},
        {"[Romwright]\ndefaultcom = \"COM1\"\nmode = \"expert\"\nwatchdog = \"disabled\"\n", "COM1",
         kIni4Com4},
        {"x\r\ndefaultcom = \"COM1\"\r\n", "COM1", "x\r\ndefaultcom = \"COM4\"\r\n"},
        {"only one line\n", "", "only one line\n"},
        {std::nullopt, "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before.value_or("(no file)"));
        fs::remove(ini);
        if (c.before) rw::test::writeText(ini, *c.before);
        EXPECT_EQ(modem.readDefaultCom(), c.read);
        modem.saveDefaultCom("COM4");
        EXPECT_EQ(iniText(), c.after);
        EXPECT_EQ(modem.readDefaultCom(), c.read.empty() ? "" : "COM4");
    }
    EXPECT_TRUE(platform.boxes.shown.empty());
}

// Chosen in the dialog, given as a number (no dialog, the ports still listed) or as a device
// path (no dialog, no listing, no saving): the modem in either state answers the one wake-up.
TEST_F(Link, ModemOpensByDialogNumberOrDevice) {
    present({1, 2, 3});
    port->devices["/dev/ttyUSB1"] = ui::OpenResult::Opened;
    FakeMonitor mon(*port);
    for (const char* prompt : {"L>", "M>"}) {
        SCOPED_TRACE(prompt);
        mon.prompt = prompt;
        modem.closePort();
        port->sent.clear();
        modem.chosenCom = 0;
        userChooses("COM2");
        const auto t0 = platform.manual.now();
        EXPECT_EQ(modem.openModem(0), OpenOutcome::Ready);
        EXPECT_EQ(std::tuple(modem.chosenCom, modem.comPortForm().visible(), port->isOpen(),
                             port->portName(), port->sent),
                  std::tuple(2, false, true, "fake2", Names{"\x1B"}));
        EXPECT_LT(clockMs(t0), 500);
    }
    modem.closePort();
    port->opened.clear();
    bool dialogSeen = false;
    const ui::Connection seen = modem.comPortForm().stateChanged.connect(
        [&] { dialogSeen |= modem.comPortForm().visible(); });
    EXPECT_EQ(modem.openModem(3), OpenOutcome::Ready);
    // Six probes, then the port itself.
    EXPECT_EQ(std::tuple(modem.comPortForm().ComPort.items(), port->opened.size()),
              std::tuple(Names{"COM1", "COM2", "COM3"}, 7u));
    modem.closePort();
    port->opened.clear();
    rw::test::writeText(ini, kIni4);
    EXPECT_EQ(modem.openModemDevice("/dev/ttyUSB1"), OpenOutcome::Ready);
    EXPECT_EQ(std::tuple(port->isOpen(), port->opened, dialogSeen, iniText(),
                         platform.boxes.shown.size()),
              std::tuple(true, Names{"/dev/ttyUSB1"}, false, kIni4, 0u));
}

TEST_F(Link, OnlyADefaultInUpperCaseIsOffered) {
    present({1, 2});
    for (const char* def : {"Com2", "COM2"}) {
        rw::test::writeText(ini, std::string("a\r\ndefaultcom = \"") + def + "\"\r\n");
        std::string offered;
        platform.loop->onProcessEvents = [&] {
            if (!modem.comPortForm().visible()) return;
            offered = modem.comPortForm().ComPort.text();
            modem.comPortForm().Cancel.userClick();
        };
        modem.chosenCom = 0;
        EXPECT_EQ(modem.openModem(0), OpenOutcome::GiveUp);
        EXPECT_EQ(std::tuple(offered, modem.chosenCom, port->sent),
                  std::tuple(def[1] == 'O' ? "COM2" : "COM1", 11, Names{}));
    }
}

TEST_F(Link, ChosenPortBecomesTheDefaultOnlyWhenItChangesAndIsTicked) {
    // A rewrite would also turn LF-only line ends into CR LF.
    const std::string lfOnly = "[Romwright]\ndefaultcom = \"COM1\"\nmode = \"x\"\nw = \"y\"\n";
    const struct {
        const char* name;
        std::optional<std::string> before;
        bool ticked;
        const char* choice;
        std::optional<std::string> after;
    } cases[] = {{"changed", kIni4, true, "COM4", kIni4Com4},
                 {"same as default", lfOnly, true, "COM1", lfOnly},
                 {"unticked", kIni4, false, "COM4", kIni4},
                 {"no startup.ini", std::nullopt, true, "COM4", std::nullopt}};
    present({1, 2, 3, 4});
    FakeMonitor mon(*port);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(ini);
        if (c.before) rw::test::writeText(ini, *c.before);
        modem.closePort();
        modem.chosenCom = 0;
        modem.comPortForm().SaveAsDefault.setValue(c.ticked ? 1 : 0);
        userChooses(c.choice);
        EXPECT_EQ(modem.openModem(0), OpenOutcome::Ready);
        EXPECT_EQ(iniText(), c.after);
        EXPECT_TRUE(platform.boxes.shown.empty());
    }
}

// A port number or a device path: in use, missing, or without a modem, the user is asked,
// the port is left closed and the answer decides.
TEST_F(Link, PortThatCannotBeUsedAsksRetryOrCancel) {
    const std::string dev = "/dev/ttyUSB0";
    const struct {
        std::string port; // "3" for COM3, or a device path
        std::optional<ui::OpenResult> state;
        ui::Answer answer;
        OpenOutcome result;
        const char* what;
    } cases[] = {
        {"3", ui::OpenResult::AlreadyOpen, ui::Answer::Retry, OpenOutcome::Retry, "Already Open"},
        {"4", std::nullopt, ui::Answer::Cancel, OpenOutcome::GiveUp, "Invalid"},
        {"2", ui::OpenResult::Opened, ui::Answer::Retry, OpenOutcome::Retry, "Modem"},
        {dev, std::nullopt, ui::Answer::Cancel, OpenOutcome::GiveUp, "Invalid"},
        {dev, ui::OpenResult::AlreadyOpen, ui::Answer::Cancel, OpenOutcome::GiveUp, "Already Open"},
        {dev, ui::OpenResult::Opened, ui::Answer::Retry, OpenOutcome::Retry, "Modem"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port + " " + c.what);
        const bool byPath = c.port == dev;
        const std::string name = byPath ? dev : "fake" + c.port;
        port->devices.clear();
        if (c.state) port->devices[name] = *c.state;
        port->sent.clear(), port->opened.clear(), platform.boxes.shown.clear();
        platform.boxes.answers = {c.answer};
        const auto t0 = platform.manual.now();
        EXPECT_EQ(byPath ? modem.openModemDevice(dev) : modem.openModem(std::stoi(c.port)),
                  c.result);
        const bool silent = std::string(c.what) == "Modem";
        EXPECT_TRUE(rw::test::lastBoxIs(platform, question(c.port, c.what),
                                        silent ? "Modem Unavailable" : "Port Unavailable",
                                        ui::Buttons::RetryCancel, ui::Icon::Question));
        // Only a port that opened hears the one wake-up, and waits two prompt limits for it.
        EXPECT_EQ(std::tuple(platform.boxes.shown.size(), port->isOpen(), port->sent.size()),
                  std::tuple(1u, false, silent ? 1u : 0u));
        const long long ms = clockMs(t0);
        EXPECT_TRUE(silent ? ms > 6000 && ms < 8000 : ms < 100) << ms;
        EXPECT_TRUE(!byPath || port->opened == Names{dev}) << "no listing";
    }
}

// Choosing and opening the port: the port dialog, the listing, the default port in
// startup.ini, and OpenModem's outcomes and questions, on a scripted line.
#include "modem/modem_module.h"
#include "modem/protocol_fake_port.h"
#include "ui/qt_serial_port.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace std::chrono_literals;
using rw::test::FakeMonitor;
using rw::test::FakePort;
namespace ui = rw::ui;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

// Every COMn points at a name the fake port knows, so no real device is touched.
class ComEnvironment {
public:
    ComEnvironment() {
        for (int n = 1; n <= 6; ++n) {
            const std::string var = "ROMWRIGHT_COM" + std::to_string(n);
            if (const char* v = std::getenv(var.c_str())) saved_[n] = v;
            setenv(var.c_str(), ("fake" + std::to_string(n)).c_str(), 1);
        }
    }
    ~ComEnvironment() {
        for (int n = 1; n <= 6; ++n) {
            const std::string var = "ROMWRIGHT_COM" + std::to_string(n);
            if (saved_.count(n))
                setenv(var.c_str(), saved_[n].c_str(), 1);
            else
                unsetenv(var.c_str());
        }
    }

private:
    std::map<int, std::string> saved_;
};

class Link : public ::testing::Test {
protected:
    Link() {
        auto p = std::make_unique<FakePort>(platform.manual);
        port = p.get();
        platform.port = std::move(p);
        dir = fs::temp_directory_path() /
              ("romwright-link-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        run.Dir = dir.string();
        ini = dir / "startup.ini";
    }
    ~Link() override { fs::remove_all(dir); }

    void present(std::initializer_list<int> ports, ui::OpenResult r = ui::OpenResult::Opened) {
        for (int n : ports)
            port->devices["fake" + std::to_string(n)] = r;
    }
    // The user, once the dialog is up: type or pick `text`, then press OK.
    void userChooses(const std::string& text) {
        platform.loop->onProcessEvents = [this, text] {
            auto& f = modem.comPortForm();
            if (!f.visible() || modem.ComNumber != 0) return;
            f.ComPort.userType(text);
            f.OKCommand.userClick();
            platform.loop->onProcessEvents = nullptr;
        };
    }
    long long clockMs(std::chrono::steady_clock::time_point t0) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(platform.manual.now() - t0)
            .count();
    }

    ComEnvironment env;
    ui::ScriptedPlatform platform{true};
    rw::app::RunState run;
    FakePort* port = nullptr;
    rw::modem::ModemModule modem{platform, run};
    fs::path dir;
    fs::path ini;
};

const std::string kIni4 =
    "[Romwright]\r\ndefaultcom = \"COM1\"\r\nmode = \"expert\"\r\nwatchdog = \"disabled\"\r\n";

} // namespace

// ---- the dialog ----------------------------------------------------------------------------

TEST(ComPortDialog, CaptionsAndInitialState) {
    int com = 0;
    rw::modem::ComPortForm f(com);
    EXPECT_EQ(f.caption(), "Initialize hardware");
    EXPECT_EQ(f.Label2.caption(), "COM port settings :");
    EXPECT_EQ(f.SaveAsDefault.caption(), "Save  as default");
    EXPECT_TRUE(f.SaveAsDefault.checked());
    EXPECT_TRUE(f.ComPort.editable());
    EXPECT_EQ(f.OKCommand.caption(), "OK");
    EXPECT_EQ(f.Cancel.caption(), "Cancel");
    EXPECT_FALSE(f.visible());
    EXPECT_EQ(f.SaveAsDefault.container(), &f.Frame1);
    EXPECT_EQ(f.ComPort.container(), &f.Frame1);
    for (const auto& c : f.controls()) {
        const auto& g = c->geometry();
        EXPECT_GT(g.w, 0) << c->name();
        EXPECT_LE(g.x + g.w, f.width()) << c->name();
        EXPECT_LE(g.y + g.h, f.height()) << c->name();
    }
}

TEST(ComPortDialog, OkAcceptsOnlyComOneToFour) {
    int com = 0;
    rw::modem::ComPortForm f(com);
    f.show();
    for (const char* t : {"COM5", "COM6", "com1", "COM1 ", "COM", ""}) {
        f.ComPort.userType(t);
        f.OKCommand.userClick();
        EXPECT_EQ(com, 0) << t;
    }
    for (int n = 1; n <= 4; ++n) {
        f.ComPort.userType("COM" + std::to_string(n));
        f.OKCommand.userClick();
        EXPECT_EQ(com, n);
    }
    EXPECT_TRUE(f.visible()); // OK leaves hiding to the caller
}

TEST(ComPortDialog, CancelAndClosingTheFrameGiveEleven) {
    int com = 0;
    rw::modem::ComPortForm f(com);
    f.show();
    f.Cancel.userClick();
    EXPECT_EQ(com, 11);
    EXPECT_FALSE(f.visible());
    com = 0;
    f.show();
    f.closedByFrame();
    EXPECT_EQ(com, 11);
    EXPECT_FALSE(f.visible());
}

// ---- devices and settings ----------------------------------------------------------------

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

TEST(LineSettingsText, ReadsTheFourParts) {
    const auto s = ui::parseLineSettings("9600,N,8,1");
    EXPECT_EQ(s.baud, 9600);
    EXPECT_EQ(s.parity, 'N');
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, 1);
    const auto t = ui::parseLineSettings("19200,e,7,2");
    EXPECT_EQ(t.baud, 19200);
    EXPECT_EQ(t.parity, 'E');
    EXPECT_EQ(t.dataBits, 7);
    EXPECT_EQ(t.stopBits, 2);
    const auto u = ui::parseLineSettings("fast,X,12");
    EXPECT_EQ(u.baud, 9600);
    EXPECT_EQ(u.parity, 'N');
    EXPECT_EQ(u.dataBits, 8);
}

TEST_F(Link, OpenPortUsesTheLineSettingsAndClosesOnFailure) {
    present({2});
    present({3}, ui::OpenResult::AlreadyOpen);
    EXPECT_EQ(modem.OpenPort(2), ui::OpenResult::Opened);
    EXPECT_EQ(port->settings, "9600,N,8,1");
    EXPECT_TRUE(port->isOpen());
    const int closes = port->closes;
    EXPECT_EQ(modem.OpenPort(3), ui::OpenResult::AlreadyOpen);
    EXPECT_EQ(modem.OpenPort(4), ui::OpenResult::NoSuchPort);
    EXPECT_EQ(port->closes, closes + 2);
}

TEST_F(Link, ListingShowsPresentPortsIncludingBusyOnesAndClosesThem) {
    present({1, 2});
    present({5}, ui::OpenResult::AlreadyOpen);
    modem.comPortForm().ComPort.setItems({"COM9"});
    modem.ListPorts();
    EXPECT_EQ(modem.comPortForm().ComPort.items(),
              (std::vector<std::string>{"COM1", "COM2", "COM5"}));
    EXPECT_EQ(port->opened,
              (std::vector<std::string>{"fake1", "fake2", "fake3", "fake4", "fake5", "fake6"}));
    EXPECT_FALSE(port->isOpen());
}

// ---- the default port ----------------------------------------------------------------------

TEST_F(Link, DefaultPortIsLineTwosValue) {
    writeFile(ini, kIni4);
    EXPECT_EQ(modem.ReadDefaultCom(), "COM1");
    writeFile(ini, "only one line\n");
    EXPECT_EQ(modem.ReadDefaultCom(), "");
    fs::remove(ini);
    EXPECT_EQ(modem.ReadDefaultCom(), "");
}

TEST_F(Link, SavingRewritesLineTwoAndKeepsTheOthersWithCrLf) {
    writeFile(ini,
              "[Romwright]\ndefaultcom = \"COM1\"\nmode = \"expert\"\nwatchdog = \"disabled\"\n");
    modem.SaveDefaultCom("COM4");
    EXPECT_EQ(
        readFile(ini),
        "[Romwright]\r\ndefaultcom = \"COM4\"\r\nmode = \"expert\"\r\nwatchdog = \"disabled\"\r\n");
    EXPECT_EQ(modem.ReadDefaultCom(), "COM4");
}

TEST_F(Link, SavingATwoLineFileWritesTwoLines) {
    writeFile(ini, "x\r\ndefaultcom = \"COM1\"\r\n");
    modem.SaveDefaultCom("COM2");
    EXPECT_EQ(readFile(ini), "x\r\ndefaultcom = \"COM2\"\r\n");
}

TEST_F(Link, SavingWithoutAFileOrWithAShortOneWritesNothing) {
    modem.SaveDefaultCom("COM2");
    EXPECT_FALSE(fs::exists(ini));
    writeFile(ini, "lonely\n");
    modem.SaveDefaultCom("COM2");
    EXPECT_EQ(readFile(ini), "lonely\n");
    EXPECT_TRUE(platform.boxes.shown.empty());
}

// ---- OpenModem -----------------------------------------------------------------------------

TEST_F(Link, PresentModemAnswersAfterTheFirstProbeRunsOut) {
    present({1, 2, 3});
    FakeMonitor mon(*port);
    userChooses("COM2");
    const auto t0 = platform.manual.now();
    EXPECT_EQ(modem.OpenModem(0), 2);
    EXPECT_EQ(modem.ComNumber, 2);
    EXPECT_FALSE(modem.comPortForm().visible());
    EXPECT_TRUE(port->isOpen());
    EXPECT_EQ(port->portName(), "fake2");
    EXPECT_EQ(port->sent, (std::vector<std::string>{"\x1B", "\x1B"}));
    const auto ms = clockMs(t0);
    EXPECT_GT(ms, 3000);
    EXPECT_LT(ms, 4500);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Link, ModemInWriteStateIsFoundByTheFirstProbe) {
    present({1});
    FakeMonitor mon(*port);
    mon.prompt = "M>";
    EXPECT_EQ(modem.OpenModem(1), 2);
    ASSERT_EQ(port->sent.size(), 2u); // the second probe still runs
}

TEST_F(Link, PortNumberGivenSkipsTheDialogButStillListsThePorts) {
    present({1, 3});
    FakeMonitor mon(*port);
    bool dialogSeen = false;
    modem.comPortForm().stateChanged.connect([&] { dialogSeen |= modem.comPortForm().visible(); });
    EXPECT_EQ(modem.OpenModem(3), 2);
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(modem.comPortForm().ComPort.items(), (std::vector<std::string>{"COM1", "COM3"}));
    EXPECT_EQ(port->opened.size(), 7u); // six probes, then the port itself
}

TEST_F(Link, ComFiveIsListedButOkDoesNothing) {
    present({1, 2, 5});
    int step = 0;
    platform.loop->onProcessEvents = [&] {
        auto& f = modem.comPortForm();
        if (!f.visible()) return;
        if (step == 0) {
            EXPECT_EQ(f.ComPort.items(), (std::vector<std::string>{"COM1", "COM2", "COM5"}));
            f.ComPort.userPick("COM5");
            f.OKCommand.userClick();
        } else if (step == 1) {
            EXPECT_EQ(modem.ComNumber, 0);
            f.Cancel.userClick();
        }
        ++step;
    };
    EXPECT_EQ(modem.OpenModem(0), 0);
    EXPECT_EQ(modem.ComNumber, 11);
    EXPECT_TRUE(port->sent.empty());
}

TEST_F(Link, ClosingTheDialogCancels) {
    present({1});
    platform.loop->onProcessEvents = [&] {
        if (modem.comPortForm().visible()) modem.comPortForm().closedByFrame();
    };
    EXPECT_EQ(modem.OpenModem(0), 0);
    EXPECT_TRUE(port->sent.empty());
}

TEST_F(Link, DefaultInMixedCaseIsNotTaken) {
    present({1, 2});
    writeFile(ini, "a\r\ndefaultcom = \"Com2\"\r\n");
    platform.loop->onProcessEvents = [&] {
        if (modem.comPortForm().visible()) {
            EXPECT_EQ(modem.comPortForm().ComPort.text(), "COM1");
            modem.comPortForm().Cancel.userClick();
        }
    };
    EXPECT_EQ(modem.OpenModem(0), 0);
}

TEST_F(Link, DefaultInUpperCaseIsOffered) {
    present({1, 2});
    writeFile(ini, "a\r\ndefaultcom = \"COM2\"\r\n");
    platform.loop->onProcessEvents = [&] {
        if (modem.comPortForm().visible()) {
            EXPECT_EQ(modem.comPortForm().ComPort.text(), "COM2");
            modem.comPortForm().Cancel.userClick();
        }
    };
    EXPECT_EQ(modem.OpenModem(0), 0);
}

TEST_F(Link, ChosenPortBecomesTheDefault) {
    present({1, 2, 3, 4});
    FakeMonitor mon(*port);
    writeFile(ini, kIni4);
    userChooses("COM4");
    EXPECT_EQ(modem.OpenModem(0), 2);
    EXPECT_EQ(
        readFile(ini),
        "[Romwright]\r\ndefaultcom = \"COM4\"\r\nmode = \"expert\"\r\nwatchdog = \"disabled\"\r\n");
}

TEST_F(Link, SamePortAsTheDefaultLeavesTheFileAlone) {
    present({1, 2});
    FakeMonitor mon(*port);
    const std::string lfOnly = "[Romwright]\ndefaultcom = \"COM1\"\nmode = \"x\"\nw = \"y\"\n";
    writeFile(ini, lfOnly); // any rewrite would turn the line ends into CR LF
    userChooses("COM1");
    EXPECT_EQ(modem.OpenModem(0), 2);
    EXPECT_EQ(readFile(ini), lfOnly);
}

TEST_F(Link, UntickedSaveAsDefaultLeavesTheFileAlone) {
    present({1, 2});
    FakeMonitor mon(*port);
    writeFile(ini, kIni4);
    modem.comPortForm().SaveAsDefault.setValue(0);
    userChooses("COM2");
    EXPECT_EQ(modem.OpenModem(0), 2);
    EXPECT_EQ(readFile(ini), kIni4);
}

TEST_F(Link, NoStartupIniNothingSavedNoMessage) {
    present({1, 2});
    FakeMonitor mon(*port);
    userChooses("COM2");
    EXPECT_EQ(modem.OpenModem(0), 2);
    EXPECT_FALSE(fs::exists(ini));
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Link, PortInUseAsksAndRetryGivesOne) {
    present({3}, ui::OpenResult::AlreadyOpen);
    platform.boxes.answers = {ui::Answer::Retry, ui::Answer::Cancel};
    EXPECT_EQ(modem.OpenModem(3), 1);
    ASSERT_EQ(platform.boxes.shown.size(), 1u);
    const auto& b = platform.boxes.shown[0];
    EXPECT_EQ(b.text, "Com  3 is Already Open. Would you like to try different port ?  ");
    EXPECT_EQ(b.title, "Port Unavailable");
    EXPECT_EQ(b.icon, ui::Icon::Question);
    EXPECT_EQ(b.buttons, ui::Buttons::RetryCancel);
    EXPECT_FALSE(port->isOpen());
    EXPECT_EQ(modem.OpenModem(3), 0);
}

TEST_F(Link, MissingPortAsksWithInvalid) {
    platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_EQ(modem.OpenModem(4), 0);
    ASSERT_NE(platform.boxes.last(), nullptr);
    EXPECT_EQ(platform.boxes.last()->text,
              "Com  4 is Invalid. Would you like to try different port ?  ");
    EXPECT_EQ(platform.boxes.last()->title, "Port Unavailable");
    EXPECT_TRUE(port->sent.empty());
}

TEST_F(Link, SilentLineClosesThePortAndAsks) {
    present({2});
    platform.boxes.answers = {ui::Answer::Retry};
    const auto t0 = platform.manual.now();
    EXPECT_EQ(modem.OpenModem(2), 1);
    EXPECT_EQ(port->sent.size(), 2u);
    EXPECT_FALSE(port->isOpen());
    ASSERT_NE(platform.boxes.last(), nullptr);
    EXPECT_EQ(platform.boxes.last()->text,
              "Modem is unavailable on com  2. Would you like to try different com ?  ");
    EXPECT_EQ(platform.boxes.last()->title, "Modem Unavailable");
    EXPECT_EQ(platform.boxes.last()->icon, ui::Icon::Question);
    EXPECT_EQ(platform.boxes.last()->buttons, ui::Buttons::RetryCancel);
    const auto ms = clockMs(t0);
    EXPECT_GT(ms, 6000);
    EXPECT_LT(ms, 8000);
}

TEST_F(Link, DevicePathStandsWhereThePortNumberWould) {
    platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_EQ(modem.OpenModemDevice("/dev/ttyUSB0"), 0);
    ASSERT_NE(platform.boxes.last(), nullptr);
    EXPECT_EQ(platform.boxes.last()->text,
              "Com  /dev/ttyUSB0 is Invalid. Would you like to try different port ?  ");
    EXPECT_EQ(port->opened, (std::vector<std::string>{"/dev/ttyUSB0"})); // no listing
    port->devices["/dev/ttyUSB0"] = ui::OpenResult::AlreadyOpen;
    platform.boxes.answers = {ui::Answer::Retry};
    EXPECT_EQ(modem.OpenModemDevice("/dev/ttyUSB0"), 1);
    EXPECT_EQ(platform.boxes.last()->text,
              "Com  /dev/ttyUSB0 is Already Open. Would you like to try different port ?  ");
    port->devices["/dev/ttyUSB0"] = ui::OpenResult::Opened;
    platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_EQ(modem.OpenModemDevice("/dev/ttyUSB0"), 0);
    EXPECT_EQ(platform.boxes.last()->text,
              "Modem is unavailable on com  /dev/ttyUSB0. Would you like to try different com ?  ");
}

TEST_F(Link, DeviceWithAModemOpensWithoutDialogOrSaving) {
    port->devices["/dev/ttyUSB1"] = ui::OpenResult::Opened;
    FakeMonitor mon(*port);
    writeFile(ini, kIni4);
    EXPECT_EQ(modem.OpenModemDevice("/dev/ttyUSB1"), 2);
    EXPECT_TRUE(port->isOpen());
    EXPECT_FALSE(modem.comPortForm().visible());
    EXPECT_EQ(readFile(ini), kIni4);
}

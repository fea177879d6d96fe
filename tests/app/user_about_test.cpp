#include "app_fixture.h"

using namespace rw;

class UserForm : public ::testing::Test {
protected:
    image::ConfigModule cm;
    ui::Flag formChange;
    app::UserForm u{cm, formChange};
    void SetUp() override { cm.fillReservedArea(); }
    // Types the address and value and presses Apply.
    bool apply(const std::string& address, const std::string& value) {
        u.typeText(u.Addres, address);
        u.typeText(u.Value, value);
        return u.onApplyClick();
    }
};

TEST_F(UserForm, CaptionsAndLoad) {
    EXPECT_EQ(u.caption(), "Reserved Area");
    EXPECT_EQ(u.Label1.caption(), "Address");
    EXPECT_EQ(u.Label2.caption(), "Data");
    EXPECT_EQ(u.Apply.caption(), "Apply");
    EXPECT_EQ(u.Clear.caption(), "Clear");
    EXPECT_EQ(u.Addres.text(), "0");
    u.onLoad();
    EXPECT_EQ(u.Addres.text(), "0");
    EXPECT_EQ(u.Value.text(), "FF");
    apply("0", "C");
    u.Addres.setText("7");
    u.onLoad();
    EXPECT_EQ(u.Addres.text(), "0");
    EXPECT_EQ(u.Value.text(), "C");
}

TEST_F(UserForm, ApplyStoresHexAddressAndValue) {
    u.onLoad();
    u.typeText(u.Addres, "1A");
    u.typeText(u.Value, "5");
    EXPECT_TRUE(u.Apply.userClick());
    EXPECT_EQ(cm.reservedArea[0x1A], 0x05);
    EXPECT_EQ(u.Value.text(), "5"); // kept as typed
    apply("10", "ab");
    EXPECT_EQ(cm.reservedArea[16], 0xAB); // hexadecimal: byte 16, not 10
    EXPECT_EQ(cm.reservedArea[10], 0xFF);
    EXPECT_TRUE(apply("FF", ""));
    EXPECT_EQ(cm.reservedArea[255], 0x00); // empty value stores 00
    EXPECT_TRUE(apply(" 2 0", "7Z"));
    EXPECT_EQ(cm.reservedArea[0x20], 0x07);
    EXPECT_EQ(u.Notice.caption(), "");
}

TEST_F(UserForm, OutOfRangeStoresNothing) {
    u.onLoad();
    const auto before = cm.reservedArea;
    for (auto [address, value, notice] :
         {std::tuple{"100", std::string("5"), "Address out of range: 00..FF"},
          {"1", "1FF", "Data out of range: 00..FF"},
          {"1", std::string(30, 'F'), "Data out of range: 00..FF"}}) {
        EXPECT_FALSE(apply(address, value)) << address << "=" << value;
        EXPECT_EQ(cm.reservedArea, before);
        EXPECT_EQ(u.Notice.caption(), notice);
    }
    EXPECT_TRUE(apply("1", "2"));
    EXPECT_EQ(cm.reservedArea[1], 2);
    EXPECT_EQ(u.Notice.caption(), "");
}

TEST_F(UserForm, ClearSetsAllFFAndShowsAddressZero) {
    apply("0", "12");
    u.onLoad();
    EXPECT_EQ(u.Value.text(), "12");
    u.typeText(u.Addres, "33");
    u.Clear.userClick();
    for (auto b : cm.reservedArea)
        EXPECT_EQ(b, 0xFF);
    EXPECT_EQ(u.Value.text(), "FF");
    EXPECT_EQ(u.Addres.text(), "33");
}

// Decision: an Apply (or a Clear) that changes a byte saving writes is unsaved work.
TEST_F(UserForm, EditsThatChangeAByteMarkTheChange) {
    u.onLoad();
    const struct {
        const char *address, *value;
        bool marks;
    } cases[] = {{"1A", "5", true},    // FF to 05
                 {"1A", "05", false},  // the same byte again
                 {"1B", "ff", false},  // the byte it already is
                 {"100", "7", false}}; // refused
    for (const auto& c : cases) {
        formChange = false;
        apply(c.address, c.value);
        EXPECT_EQ(static_cast<bool>(formChange), c.marks) << c.address << "=" << c.value;
    }
    for (bool marks : {true, false}) { // 1A back to FF, then nothing left to clear
        formChange = false;
        u.onClearClick();
        EXPECT_EQ(static_cast<bool>(formChange), marks);
    }
}

TEST(UserFormInMain, MainWindowLoadsItAfreshWhenReopened) {
    rw::testing::AppHarness h;
    h.startMode(3);
    auto& u = h.main->userForm();
    h.main->User.userClick();
    u.typeText(u.Addres, "0");
    u.typeText(u.Value, "3");
    u.onApplyClick();
    u.typeText(u.Addres, "44");
    h.main->User.userClick(); // still up: nothing reloads
    EXPECT_EQ(u.Addres.text(), "44");
    u.closedByFrame();
    EXPECT_FALSE(u.visible());
    h.main->User.userClick();
    EXPECT_EQ(u.Addres.text(), "0");
    EXPECT_EQ(u.Value.text(), "3");
    EXPECT_EQ(h.main->cm.reservedArea[0], 3);
}

TEST(AboutBox, Texts) {
    app::AboutForm a;
    EXPECT_EQ(a.caption(), "Version Info/About box");
    EXPECT_EQ(a.DoneCommand.caption(), "Done");
    for (auto [label, text] : {std::pair{&a.ModeLabel, "E2 software"},
                               {&a.Label3, "EEPROM version:"},
                               {&a.EEPROMversion, ""},
                               {&a.Label4, "Hardware version:"},
                               {&a.Label6, "1.1"},
                               {&a.Label5, "VDSL-A version: "},
                               {&a.Label7, "98"},
                               {&a.Label8, "Last backup:"},
                               {&a.LastBackup, ""}})
        EXPECT_EQ(label->caption(), text) << label->name();
    a.setLastBackup("/data/backups/E2UP_backup_20240101-120000.bin");
    EXPECT_EQ(a.LastBackup.caption(), "/data/backups/E2UP_backup_20240101-120000.bin");
    // Rows stand top to bottom, each value to the right of its caption.
    EXPECT_LT(a.ModeLabel.geometry().y, a.Label3.geometry().y);
    EXPECT_LT(a.Label3.geometry().y, a.Label4.geometry().y);
    EXPECT_LT(a.Label4.geometry().y, a.Label5.geometry().y);
    EXPECT_EQ(a.EEPROMversion.geometry().y, a.Label3.geometry().y);
    EXPECT_GT(a.EEPROMversion.geometry().x, a.Label3.geometry().x);
    EXPECT_EQ(a.Label6.geometry().y, a.Label4.geometry().y);
    EXPECT_EQ(a.Label7.geometry().y, a.Label5.geometry().y);
}

TEST(AboutBox, DoneHidesAndKeepsTexts) {
    rw::testing::AppHarness h;
    h.startMode(2);
    auto img = image::makeSampleImage(2);
    img[1] = 0x0A;
    h.openFile("E2UB_a.bin", img);
    auto& a = h.main->about();
    h.main->AboutCommand.userClick();
    EXPECT_TRUE(a.visible());
    EXPECT_EQ(a.ModeLabel.caption(), "VDSL E2 software  X.0.0.2");
    EXPECT_EQ(a.EEPROMversion.caption(), "A");
    a.DoneCommand.userClick();
    EXPECT_FALSE(a.visible());
    h.main->AboutCommand.userClick();
    EXPECT_EQ(a.EEPROMversion.caption(), "A");
    int unloads = 0;
    a.onUnload = [&] { ++unloads; };
    a.closedByFrame();
    EXPECT_FALSE(a.visible());
    EXPECT_EQ(unloads, 1);
}

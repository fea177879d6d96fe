#include "app_fixture.h"

using namespace rw;

TEST(UserForm, CaptionsAndLoad) {
    image::ConfigModule cm;
    cm.FillReservedArea();
    app::UserForm u(cm);
    EXPECT_EQ(u.caption(), "Reserved Area");
    EXPECT_EQ(u.Label1.caption(), "Address");
    EXPECT_EQ(u.Label2.caption(), "Data");
    EXPECT_EQ(u.Apply.caption(), "Apply");
    EXPECT_EQ(u.Clear.caption(), "Clear");
    EXPECT_EQ(u.Addres.text(), "0");
    u.Form_Load();
    EXPECT_EQ(u.Addres.text(), "0");
    EXPECT_EQ(u.Value.text(), "FF");
    cm.ReservedArea[0] = 0x0C;
    u.Addres.setText("7");
    u.Form_Load();
    EXPECT_EQ(u.Addres.text(), "0");
    EXPECT_EQ(u.Value.text(), "C");
}

TEST(UserForm, ApplyStoresHexAddressAndValue) {
    image::ConfigModule cm;
    cm.FillReservedArea();
    app::UserForm u(cm);
    u.Form_Load();
    u.typeText(u.Addres, "1A");
    u.typeText(u.Value, "5");
    EXPECT_TRUE(u.Apply.userClick());
    EXPECT_EQ(cm.ReservedArea[0x1A], 0x05);
    EXPECT_EQ(u.Value.text(), "5"); // kept as typed
    u.typeText(u.Addres, "10");
    u.typeText(u.Value, "ab");
    u.Apply_Click();
    EXPECT_EQ(cm.ReservedArea[16], 0xAB); // hexadecimal: byte 16, not 10
    EXPECT_EQ(cm.ReservedArea[10], 0xFF);
    u.typeText(u.Addres, "FF");
    u.typeText(u.Value, "");
    EXPECT_TRUE(u.Apply_Click());
    EXPECT_EQ(cm.ReservedArea[255], 0x00); // empty value stores 00
    u.typeText(u.Addres, " 2 0");
    u.typeText(u.Value, "7Z");
    EXPECT_TRUE(u.Apply_Click());
    EXPECT_EQ(cm.ReservedArea[0x20], 0x07);
    EXPECT_EQ(u.Notice.caption(), "");
}

TEST(UserForm, OutOfRangeStoresNothing) {
    image::ConfigModule cm;
    cm.FillReservedArea();
    app::UserForm u(cm);
    u.Form_Load();
    const auto before = cm.ReservedArea;
    u.typeText(u.Addres, "100");
    u.typeText(u.Value, "5");
    EXPECT_FALSE(u.Apply_Click());
    EXPECT_EQ(cm.ReservedArea, before);
    EXPECT_EQ(u.Notice.caption(), "Address out of range: 00..FF");
    u.typeText(u.Addres, "1");
    u.typeText(u.Value, "1FF");
    EXPECT_FALSE(u.Apply_Click());
    EXPECT_EQ(cm.ReservedArea, before);
    EXPECT_EQ(u.Notice.caption(), "Data out of range: 00..FF");
    u.typeText(u.Value, std::string(30, 'F'));
    EXPECT_FALSE(u.Apply_Click());
    EXPECT_EQ(cm.ReservedArea, before);
    u.typeText(u.Value, "2");
    EXPECT_TRUE(u.Apply_Click());
    EXPECT_EQ(cm.ReservedArea[1], 2);
    EXPECT_EQ(u.Notice.caption(), "");
}

TEST(UserForm, ClearSetsAllFFAndShowsAddressZero) {
    image::ConfigModule cm;
    cm.ReservedArea.fill(0x12);
    app::UserForm u(cm);
    u.Form_Load();
    EXPECT_EQ(u.Value.text(), "12");
    u.typeText(u.Addres, "33");
    u.Clear.userClick();
    for (auto b : cm.ReservedArea)
        EXPECT_EQ(b, 0xFF);
    EXPECT_EQ(u.Value.text(), "FF");
    EXPECT_EQ(u.Addres.text(), "33");
}

TEST(UserForm, MainWindowLoadsItAfreshWhenReopened) {
    rw::testing::AppHarness h;
    h.startMode(3);
    auto& u = h.main->userForm();
    h.main->User.userClick();
    u.typeText(u.Addres, "0");
    u.typeText(u.Value, "3");
    u.Apply_Click();
    u.typeText(u.Addres, "44");
    h.main->User.userClick(); // still up: nothing reloads
    EXPECT_EQ(u.Addres.text(), "44");
    u.closedByFrame();
    EXPECT_FALSE(u.visible());
    h.main->User.userClick();
    EXPECT_EQ(u.Addres.text(), "0");
    EXPECT_EQ(u.Value.text(), "3");
    EXPECT_EQ(h.main->cm.ReservedArea[0], 3);
}

TEST(AboutBox, Texts) {
    app::AboutForm a;
    EXPECT_EQ(a.caption(), "Version Info/About box");
    EXPECT_EQ(a.ModeLabel.caption(), "E2 software");
    EXPECT_EQ(a.Label3.caption(), "EEPROM version:");
    EXPECT_EQ(a.EEPROMversion.caption(), "");
    EXPECT_EQ(a.Label4.caption(), "Hardware version:");
    EXPECT_EQ(a.Label6.caption(), "1.1");
    EXPECT_EQ(a.Label5.caption(), "VDSL-A version: ");
    EXPECT_EQ(a.Label7.caption(), "98");
    EXPECT_EQ(a.DoneCommand.caption(), "Done");
    EXPECT_EQ(a.Label8.caption(), "Last backup:");
    EXPECT_EQ(a.LastBackup.caption(), "");
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

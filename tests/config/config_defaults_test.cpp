// Factory values: the fields, the bytes they store, and when "Default" marks a change.
#include "config_test_support.h"

namespace rw::config::test {
namespace {

void pressDefault(Bench& b) {
    auto* def = dynamic_cast<ui::Button*>(b.form->find("Default"));
    ASSERT_NE(def, nullptr);
    ASSERT_TRUE(def->userClick());
}

TEST(ConfigDefaults, CommonFieldsTakeTheFactoryValues) {
    for (int mode = 1; mode <= 4; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        b.combo("Baund").userPick("2400");
        b.box("TransmitePreambleL").setText("1");
        pressDefault(b);
        const bool atm = mode % 2 == 0;
        const bool miiBP = mode == 3;
        EXPECT_EQ(b.text("FText(0)"), "25");
        EXPECT_EQ(b.text("FText(1)"), atm ? "92" : "00");
        EXPECT_DOUBLE_EQ(b.form->Fsample, atm ? 25.92 : 25.0);
        EXPECT_EQ(b.text("Baund"), "9600");
        EXPECT_EQ(b.text("TX_Next_value"), "0");
        EXPECT_EQ(b.text("Reduce"), "0");
        EXPECT_EQ(b.text("Min_psdL"), "10");
        EXPECT_EQ(b.text("Min_psdH"), "0");
        EXPECT_EQ(b.text("Max_psdL"), miiBP ? "2D" : "0");
        EXPECT_EQ(b.text("Max_psdH"), miiBP ? "3" : "4");
        EXPECT_EQ(b.text("Dw_Stram_Cons"), atm ? "16" : "64");
        EXPECT_EQ(b.text("Dw_Stram_Inter"), "12");
        EXPECT_EQ(b.text("DwCarrierText(0)"), "002");
        EXPECT_EQ(b.text("DwCarrierText(1)"), atm ? "07" : "14");
        EXPECT_EQ(b.text("Next_DownstreamL"), atm ? "52" : "58");
        EXPECT_EQ(b.text("Next_DownstreamH"), atm ? "00" : "0");
        EXPECT_EQ(b.text("Up_Stram_Cons"), atm ? "4" : "16");
        EXPECT_EQ(b.text("Up_Stram_Inter"), atm ? "6" : "8");
        EXPECT_EQ(b.text("UsCarrierText(0)"), "005");
        EXPECT_EQ(b.text("UsCarrierText(1)"), atm ? "99" : "88");
        EXPECT_EQ(b.text("Next_UpstreamL"), atm ? "ED" : "F1");
        EXPECT_EQ(b.text("Next_UpstreamH"), atm ? "00" : "0");
        EXPECT_EQ(b.text("Adcf"), "0");
        EXPECT_EQ(b.text("Dacf"), "1");
        EXPECT_EQ(b.text("Adcuns"), "1");
        EXPECT_EQ(b.text("Dacuns"), "1");
        EXPECT_EQ(b.text("Timneg"), "1");
        EXPECT_EQ(b.text("Timnus"), "0");
        EXPECT_EQ(b.text("AFEControl"), "7B"); // bits 1..0 as loaded
        EXPECT_EQ(b.text("SleepCounterL"), "0");
        EXPECT_EQ(b.text("SleepCounterH"), "0");
        EXPECT_EQ(b.text("PowerController"), "5");
        for (const char* n : {"WakDis", "HostDis", "TcDis", "SerDis", "CntDis"})
            EXPECT_EQ(b.text(n), "0") << n;
        EXPECT_EQ(b.text("Locken"), "1");
        for (const char* n : {"TransmitePreambleL", "ReceivePreambleL"})
            EXPECT_EQ(b.text(n), "B2");
        for (const char* n : {"TransmitePreambleM", "ReceivePreambleM"})
            EXPECT_EQ(b.text(n), "28");
        for (const char* n : {"TransmitePreambleH", "ReceivePreambleH"})
            EXPECT_EQ(b.text(n), "F6");
        EXPECT_EQ(b.text("UTOPIAAddress"), mode == 2 ? "F1" : "0");
        EXPECT_EQ(b.text("UART_Rate"), "F2");
        // Derived fields follow: line rates and PSD texts.
        EXPECT_EQ(b.text("DownBitrate"), atm ? "8.64" : "12.49");
        EXPECT_EQ(b.text("UpBitrate"), atm ? "8.64" : "12.5");
        EXPECT_EQ(b.text("Max_PSD"), miiBP ? "62.95" : (atm ? "64.7" : "64.95"));
        EXPECT_EQ(b.text("Min_PSD"), atm ? "28.58" : "28.83");
        EXPECT_FALSE(b.form->AfeUpdating);
    }
}

TEST(ConfigDefaults, InterfaceFieldsTakeTheFactoryValues) {
    Bench atm(2);
    ASSERT_TRUE(atm.loadReference());
    pressDefault(atm);
    EXPECT_EQ(atm.text("BufferLimit"), "154");
    EXPECT_EQ(atm.text("RxClv"), "44");
    EXPECT_EQ(atm.text("MultiPHY"), "with polling");
    EXPECT_EQ(atm.text("Dric"), "1");
    EXPECT_EQ(atm.text("Drec"), "1");

    Bench m(1);
    ASSERT_TRUE(m.loadReference());
    pressDefault(m);
    const std::pair<const char*, const char*> miiB[] = {{"PacketSize", "1518"},
                                                        {"MDIO", "0"},
                                                        {"ClockDivision", "10"},
                                                        {"BackPressure", "0"},
                                                        {"BackSignaling", "0"},
                                                        {"RXlevel", "64"},
                                                        {"BPM", "0"},
                                                        {"TruncateRetries", "16"},
                                                        {"AutoNeg", "1"}};
    for (auto [n, v] : miiB)
        EXPECT_EQ(m.text(n), v) << n;

    Bench p(3);
    ASSERT_TRUE(p.loadReference());
    pressDefault(p);
    const std::pair<const char*, const char*> miiBP[] = {{"ClockDivision", "10"},
                                                         {"MDIO", "1"},
                                                         {"PacketSize", "1536"},
                                                         {"ADDFILT", "Disable"},
                                                         {"AUTOAGE", "1"},
                                                         {"CRCEN", "1"},
                                                         {"FPP", "Discard"},
                                                         {"PHY_StatusRegAddr", "1C"},
                                                         {"PHY_SpeedBitNum", "01"},
                                                         {"PHY_DuplexBitNum", "00"},
                                                         {"PHY_SpeedPolarity", "00"},
                                                         {"PHY_DuplexPolarity", "00"},
                                                         {"FLWENB", "0"},
                                                         {"ABP_FC(0)", "1"},
                                                         {"ABP_FC(1)", "1"},
                                                         {"FC_TRES_HI", "2048"},
                                                         {"FC_HISTER", "1024"},
                                                         {"BackSignaling", "1"},
                                                         {"BACK_SIGNALING", "6144"},
                                                         {"BackPressure", "0"},
                                                         {"RXlevelStart", "64"},
                                                         {"RXlevelStop", "0"},
                                                         {"BPM", "Append packet"},
                                                         {"TruncateRetries", "16"},
                                                         {"PATTERN_LENGTH", "53"},
                                                         {"BP_IPG", "32"},
                                                         {"IPG", "96"}};
    for (auto [n, v] : miiBP)
        EXPECT_EQ(p.text(n), v) << n;
}

TEST(ConfigDefaults, EncodedBytes) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        pressDefault(b);
        const bool atm = mode % 2 == 0;
        EXPECT_EQ(b.savedSlot(0), atm ? 0x34 : 0x32) << mode;
        EXPECT_EQ(b.savedSlot(1), atm ? 0x18 : 0x24) << mode;
        // Bits without fields keep their loaded values.
        EXPECT_EQ(b.savedSlot(6), 0x7B);
        EXPECT_EQ(b.savedSlot(20), 0xE0);
        EXPECT_EQ(b.savedSlot(9), mode == 1 ? 0xFD : 0xF9);
        EXPECT_EQ(b.savedSlot(28), 0x50);
        EXPECT_EQ(b.savedSlot(26), 2);
    }
}

TEST(ConfigDefaults, UtopiaByteKeepsBitSeven) {
    for (int mode : {2, 4}) {
        for (std::uint8_t loaded : {std::uint8_t{0x9A}, std::uint8_t{0x65}}) {
            Bench b(mode);
            auto s = referenceSlots(mode);
            s[44] = loaded;
            ASSERT_TRUE(b.loadSlots(s));
            pressDefault(b);
            const std::uint8_t v = b.savedSlot(44);
            EXPECT_EQ(v & 0x7F, 0x1E);
            EXPECT_EQ(v & 0x80, loaded & 0x80);
        }
    }
}

TEST(ConfigDefaults, MiiBytes) {
    Bench m(1);
    ASSERT_TRUE(m.loadReference());
    pressDefault(m);
    EXPECT_EQ(m.savedSlot(30), 0x20);
    EXPECT_EQ(m.savedSlot(31), 0x05);

    Bench p(3);
    ASSERT_TRUE(p.loadReference());
    pressDefault(p);
    const image::Image out = p.saved(backgroundImage());
    EXPECT_EQ(out[612], 0x1C);
    EXPECT_EQ(out[613], 0x01);
    EXPECT_EQ(out[614], 0x00);
    EXPECT_EQ(out[96], 0x3C);
    EXPECT_EQ(out[97], 0xF5);
    EXPECT_EQ(out[98], 0xF9);
    EXPECT_EQ(out[101], 0x00);
    EXPECT_EQ(out[102], 0xCD);
    EXPECT_EQ(out[103], 0x17);
    EXPECT_EQ(out[105], 0x95);
}

TEST(ConfigDefaultsMarking, MiiBPMarksEvenWhenNothingChanges) {
    Bench b(3);
    ASSERT_TRUE(b.loadReference());
    pressDefault(b);
    EXPECT_TRUE(b.run.FormChange);
    b.run.FormChange = false;
    pressDefault(b);
    EXPECT_TRUE(b.run.FormChange);
    // Not while loading.
    b.run.FormChange = false;
    b.form->Loading = true;
    pressDefault(b);
    EXPECT_FALSE(b.run.FormChange);
}

TEST(ConfigDefaultsMarking, OtherWindowsMarkOnlyWhatChanges) {
    for (int mode : {1, 2, 4}) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        pressDefault(b);
        EXPECT_TRUE(b.run.FormChange) << mode;
        b.run.FormChange = false;
        pressDefault(b);
        EXPECT_FALSE(b.run.FormChange) << mode;
        EXPECT_EQ(b.boxes(), 0u);
    }
}

// Decision: MII_B sets its lists before the sampling frequency, then shows the line rates of
// the new frequency.
TEST(ConfigDefaultsDecisions, MiiBShowsCurrentLineRates) {
    Bench b(1);
    auto s = referenceSlots(1);
    s[25] = 50; // 50.00 MHz
    s[24] = 0;
    s[0] = 0x32; // the factory constellations and interpolations already
    s[1] = 0x24;
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("DownBitrate"), "25");
    EXPECT_EQ(b.text("UpBitrate"), "25");
    pressDefault(b);
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.0);
    EXPECT_EQ(b.text("DownBitrate"), "12.49");
    EXPECT_EQ(b.text("UpBitrate"), "12.5");
}

TEST(ConfigDefaults, BeforeAnyLoad) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        b.form->SetDefaults();
        EXPECT_EQ(b.text("AFEControl"), "78");
        EXPECT_EQ(b.text("Dw_Stram_Inter"), "12");
        EXPECT_EQ(b.text("UART_Rate"), "F2");
        EXPECT_EQ(b.form->StoreProblem(), "");
        EXPECT_TRUE(b.form->CheckInputs());
        EXPECT_FALSE(b.form->AfeUpdating);
    }
}

TEST(ConfigDefaults, BPlusFocusFollowsAnEmptiedInterpolation) {
    // 128 / 14 loaded: the factory constellation 16 does not offer 14, so the list empties,
    // the focus moves there, and the factory interpolation fills it: no message on the way.
    Bench b(4);
    auto s = referenceSlots(4);
    s[0] = 0xAA;
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "14");
    pressDefault(b);
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "12");
    EXPECT_EQ(b.form->focused(), b.form->find("Dw_Stram_Inter"));
    EXPECT_TRUE(b.form->leave(nullptr));
    EXPECT_EQ(b.boxes(), 0u);
}

} // namespace
} // namespace rw::config::test

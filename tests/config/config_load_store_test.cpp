// Loading generated images into each window, storing back into saved images and into the
// override table, marker codes, the refused stores and "Done".
#include "config_test_support.h"

#include <set>
#include <stdexcept>

namespace rw::config::test {
namespace {

void expectCommonReferenceTexts(Bench& b) {
    SCOPED_TRACE("mode " + std::to_string(b.mode));
    EXPECT_EQ(b.text("FText(0)"), "25");
    EXPECT_EQ(b.text("FText(1)"), "92");
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.92);
    EXPECT_EQ(b.text("Baund"), "9600");
    EXPECT_EQ(b.text("Dw_Stram_Cons"), "16");
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "12");
    EXPECT_EQ(b.text("Up_Stram_Cons"), "4");
    EXPECT_EQ(b.text("Up_Stram_Inter"), "6");
    EXPECT_EQ(b.text("DownBitrate"), "8.64");
    EXPECT_EQ(b.text("UpBitrate"), "8.64");
    EXPECT_EQ(b.text("Next_DownstreamL"), "ED");
    EXPECT_EQ(b.text("Next_DownstreamH"), "0");
    EXPECT_EQ(b.text("Next_UpstreamL"), "52");
    EXPECT_EQ(b.text("Next_UpstreamH"), "0");
    EXPECT_EQ(b.text("DwCarrierText(0)"), "005");
    EXPECT_EQ(b.text("DwCarrierText(1)"), "99");
    EXPECT_EQ(b.text("UsCarrierText(0)"), "002");
    EXPECT_EQ(b.text("UsCarrierText(1)"), "07");
    EXPECT_EQ(b.text("AFEControl"), "7B");
    EXPECT_EQ(b.text("Adcf"), "0");
    EXPECT_EQ(b.text("Dacf"), "1");
    EXPECT_EQ(b.text("Adcuns"), "1");
    EXPECT_EQ(b.text("Dacuns"), "1");
    EXPECT_EQ(b.text("Timneg"), "1");
    EXPECT_EQ(b.text("Timnus"), "0");
    EXPECT_EQ(b.text("Max_psdL"), "0");
    EXPECT_EQ(b.text("Max_psdH"), "4");
    EXPECT_EQ(b.text("Min_psdL"), "10");
    EXPECT_EQ(b.text("Min_psdH"), "0");
    EXPECT_EQ(b.text("PowerController"), "5");
    EXPECT_EQ(b.combo("PowerController").backColour(), ui::kFieldBlue);
    EXPECT_EQ(b.text("Max_PSD"), "64.7");
    EXPECT_EQ(b.text("Min_PSD"), "28.58");
    EXPECT_EQ(b.text("Reduce"), "1");
    EXPECT_EQ(b.text("TX_Next_value"), "8");
    EXPECT_EQ(b.text("TransmitePreambleL"), "B2");
    EXPECT_EQ(b.text("TransmitePreambleM"), "28");
    EXPECT_EQ(b.text("TransmitePreambleH"), "F6");
    EXPECT_EQ(b.text("ReceivePreambleL"), "A");
    EXPECT_EQ(b.text("ReceivePreambleM"), "B");
    EXPECT_EQ(b.text("ReceivePreambleH"), "C");
    EXPECT_EQ(b.text("UART_Rate"), "F2");
    EXPECT_EQ(b.text("WakDis"), "1");
    EXPECT_EQ(b.text("HostDis"), "0");
    EXPECT_EQ(b.text("TcDis"), "1");
    EXPECT_EQ(b.text("SerDis"), "0");
    EXPECT_EQ(b.text("CntDis"), "0");
    EXPECT_EQ(b.text("Locken"), "1");
    EXPECT_EQ(b.text("SleepCounterL"), "3C");
    EXPECT_EQ(b.text("SleepCounterH"), "1");
    EXPECT_EQ(b.text("UTOPIAAddress"), "1F");
}

TEST(ConfigLoad, EveryProductShowsTheStoredFields) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        expectCommonReferenceTexts(b);
        EXPECT_FALSE(b.run.FormChange);
        EXPECT_EQ(b.boxes(), 0u);
    }
}

TEST(ConfigLoad, InterfaceFieldsOfTheAtmWindows) {
    for (int mode : {2, 4}) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        EXPECT_EQ(b.text("MultiPHY"), "with polling");
        EXPECT_EQ(b.text("RxClv"), "48");
        EXPECT_EQ(b.text("Dric"), "1");
        EXPECT_EQ(b.text("Drec"), "1");
        EXPECT_EQ(b.text("BufferLimit"), "154");
    }
}

TEST(ConfigLoad, InterfaceFieldsOfMiiB) {
    Bench b(1);
    ASSERT_TRUE(b.loadReference());
    EXPECT_EQ(b.text("AutoNeg"), "0");
    EXPECT_EQ(b.text("BackSignaling"), "0");
    EXPECT_EQ(b.text("BackPressure"), "1");
    EXPECT_EQ(b.text("PacketSize"), "1536");
    EXPECT_EQ(b.text("MDIO"), "0");
    EXPECT_EQ(b.text("ClockDivision"), "9");
    EXPECT_EQ(b.text("TruncateRetries"), "4");
    EXPECT_EQ(b.text("BPM"), "1");
    EXPECT_EQ(b.text("RXlevel"), "1024");
    auto s = referenceSlots(1);
    s[9] = 0x04;
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("AutoNeg"), "1");
    EXPECT_EQ(b.text("Reduce"), "0");
}

TEST(ConfigLoad, InterfaceFieldsOfMiiBP) {
    Bench b(3);
    ASSERT_TRUE(b.loadReference());
    const std::pair<const char*, const char*> expected[] = {{"ADDFILT", "1"},
                                                            {"PacketSize", "1536"},
                                                            {"ClockDivision", "8"},
                                                            {"MDIO", "1"},
                                                            {"BackSignaling", "0"},
                                                            {"CRCEN", "1"},
                                                            {"ABP_FC(1)", "0"},
                                                            {"ABP_FC(0)", "1"},
                                                            {"TruncateRetries", "4"},
                                                            {"BPM", "Insert IPG"},
                                                            {"RXlevelStop", "64"},
                                                            {"RXlevelStart", "12288"},
                                                            {"BackPressure", "1"},
                                                            {"IPG", "96"},
                                                            {"BP_IPG", "32"},
                                                            {"PATTERN_LENGTH", "53"},
                                                            {"BACK_SIGNALING", "1536"},
                                                            {"FC_HISTER", "4096"},
                                                            {"FC_TRES_HI", "4096"},
                                                            {"FPP", "Discard"},
                                                            {"FLWENB", "1"},
                                                            {"AUTOAGE", "1"},
                                                            {"PHY_StatusRegAddr", "1C"},
                                                            {"PHY_SpeedBitNum", "1"},
                                                            {"PHY_DuplexBitNum", "0"},
                                                            {"PHY_SpeedPolarity", "F"},
                                                            {"PHY_DuplexPolarity", "A5"}};
    for (auto [name, value] : expected)
        EXPECT_EQ(b.text(name), value) << name;
    EXPECT_EQ(b.combo("FC_HISTER").backColour(), ui::kFieldBlue);
}

TEST(ConfigLoad, FieldBytesCopyTheLoadedSlots) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        const auto slots = referenceSlots(mode);
        ASSERT_TRUE(b.loadSlots(slots));
        for (const auto& [slot, v] : slots)
            EXPECT_EQ(b.form->FieldBytes[static_cast<std::size_t>(slot)], v) << slot;
    }
}

TEST(ConfigLoad, InvalidBlockFallsBackForFrequencyAndBaudOnly) {
    struct Case {
        int slot;
        std::uint8_t value;
    };
    for (const Case c : {Case{28, 0x51}, Case{24, 100}, Case{25, 100}, Case{26, 7}}) {
        for (int mode = 1; mode <= 4; ++mode) {
            Bench b(mode);
            auto s = referenceSlots(mode);
            s[25] = 30;
            s[24] = 5;
            s[26] = 6;
            s[c.slot] = c.value;
            ASSERT_TRUE(b.loadSlots(s));
            const bool atm = mode % 2 == 0;
            EXPECT_EQ(b.text("FText(0)"), "25");
            EXPECT_EQ(b.text("FText(1)"), atm ? "92" : "00");
            EXPECT_DOUBLE_EQ(b.form->Fsample, atm ? 25.92 : 25.0);
            EXPECT_EQ(b.text("Baund"), "9600");
            // Everything else still loads.
            EXPECT_EQ(b.text("Next_DownstreamL"), "ED");
            EXPECT_EQ(b.text("TransmitePreambleH"), "F6");
            EXPECT_EQ(b.text("UART_Rate"), "F2");
            EXPECT_EQ(b.boxes(), 0u);
        }
    }
    // A valid block is taken as stored, with the one-digit bytes padded.
    Bench b(2);
    auto s = referenceSlots(2);
    s[25] = 5;
    s[24] = 7;
    s[26] = 6;
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("FText(0)"), "05");
    EXPECT_EQ(b.text("FText(1)"), "07");
    EXPECT_EQ(b.text("Baund"), "115200");
}

// Decision: the carrier MHz are derived from the words as N x Fsample / 1024, floored.
TEST(ConfigLoadDecisions, CarrierMegahertzFromTheWords) {
    Bench b(2);
    auto s = referenceSlots(2);
    s[2] = 0xDA; // 474 at 25.92 MHz: 11.9981... -> 011 / 99
    s[3] = 0x01;
    s[4] = 0x50; // 336: 8.505 -> 008 / 50
    s[5] = 0x01;
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("DwCarrierText(0)"), "011");
    EXPECT_EQ(b.text("DwCarrierText(1)"), "99");
    EXPECT_EQ(b.text("UsCarrierText(0)"), "008");
    EXPECT_EQ(b.text("UsCarrierText(1)"), "50");
    // Floored, not rounded: 82 x 25 / 1024 = 2.0019 -> 002 / 00, and 41 -> 1.0009.
    Bench m(1);
    auto t = referenceSlots(1);
    t[25] = 25;
    t[24] = 0;
    t[2] = 82;
    t[4] = 41;
    ASSERT_TRUE(m.loadSlots(t));
    EXPECT_EQ(m.text("DwCarrierText(0)"), "002");
    EXPECT_EQ(m.text("DwCarrierText(1)"), "00");
    EXPECT_EQ(m.text("UsCarrierText(0)"), "001");
    EXPECT_EQ(m.text("UsCarrierText(1)"), "00");
}

// Decision: Fsample is the value the boxes show; 29 hundredths are .29, not .28.
TEST(ConfigLoadDecisions, SamplingFrequencyExactlyAsShown) {
    Bench b(3);
    auto s = referenceSlots(3);
    s[25] = 25;
    s[24] = 29;
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("FText(1)"), "29");
    EXPECT_EQ(b.form->Fsample, 25 + 29 / 100.0);
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.29);
}

// Decision: texts a list cannot offer are shown and the load goes on.
TEST(ConfigLoadDecisions, MarkerTextsAreShownAndTheLoadGoesOn) {
    Bench atmB(2), atmBP(4);
    for (Bench* b : {&atmB, &atmBP}) {
        auto s = referenceSlots(b->mode);
        s[44] = 0x81; // MultiPHY code 1
        s[12] = 3;    // TX_Next_value outside the list
        ASSERT_TRUE(b->loadSlots(s));
        EXPECT_EQ(b->text("MultiPHY"), b->mode == 2 ? "Error Phy" : "error phy");
        EXPECT_EQ(b->combo("MultiPHY").listIndex(), -1);
        EXPECT_EQ(b->text("TX_Next_value"), "3");
        EXPECT_EQ(b->combo("TX_Next_value").listIndex(), -1);
        EXPECT_EQ(b->boxes(), 0u);
        // The marker stores code 0; a TX value outside the list keeps the loaded byte.
        EXPECT_EQ(b->savedSlot(44), 0x80);
        EXPECT_EQ(b->savedSlot(12), 3);
    }
    // An interpolation the refilled list does not offer: 256 with 4.
    Bench b(1);
    auto s = referenceSlots(1);
    s[0] = 0x01;
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("Dw_Stram_Cons"), "256");
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "4");
    EXPECT_EQ(b.combo("Dw_Stram_Inter").listIndex(), -1);
    EXPECT_EQ(b.savedSlot(0), 0x01);
}

TEST(ConfigLoad, PowerControllerAboveFiveIsEmptyAndRed) {
    Bench b(4);
    auto s = referenceSlots(4);
    s[27] = 9;
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("PowerController"), "");
    EXPECT_EQ(b.combo("PowerController").backColour(), ui::kRed);
    // The PSD texts follow the attenuation shown (empty reads as 0): 60.206 - 0.5.
    EXPECT_EQ(b.text("Max_PSD"), "59.7");
    EXPECT_EQ(b.savedSlot(27), 0);
    b.combo("PowerController").userPick("3");
    EXPECT_EQ(b.combo("PowerController").backColour(), ui::kFieldBlue);
    EXPECT_EQ(b.savedSlot(27), 3);
    ASSERT_TRUE(b.loadReference());
    EXPECT_EQ(b.combo("PowerController").backColour(), ui::kFieldBlue);
}

TEST(ConfigLoad, CodesWithoutItemsKeepTheFieldAndFcHisterTurnsRed) {
    Bench b(3);
    auto s = referenceSlots(3);
    s[37] = 0xA1; // FC_HISTER code 0
    s[32] = 0xBF; // ADDFILT code 3
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("FC_HISTER"), "");
    EXPECT_EQ(b.combo("FC_HISTER").backColour(), ui::kRed);
    EXPECT_EQ(b.text("ADDFILT"), "");
    // Storing unchanged writes code 0 in those bits.
    EXPECT_EQ(b.savedSlot(37), 0xA1);
    EXPECT_EQ(b.savedSlot(32), 0xBC);
    b.combo("FC_HISTER").userPick("2048");
    EXPECT_EQ(b.combo("FC_HISTER").backColour(), ui::kFieldBlue);
    EXPECT_EQ(b.savedSlot(37), 0xA9);
}

// Decision: nothing of the previous file is left in the fields that a code may leave as they
// were.
TEST(ConfigLoadDecisions, KeptFieldsAreEmptiedAtEveryLoad) {
    {
        Bench b(3);
        ASSERT_TRUE(b.loadReference()); // FC_HISTER "4096", ADDFILT "1"
        auto s = referenceSlots(3);
        s[37] = 0xA1;
        s[32] = 0xBF;
        ASSERT_TRUE(b.loadSlots(s));
        EXPECT_EQ(b.text("FC_HISTER"), "");
        EXPECT_EQ(b.text("ADDFILT"), "");
        const image::Image out = b.saved(backgroundImage());
        EXPECT_EQ(out[103] & 0x0C, 0);
        EXPECT_EQ(out[96] & 0x03, 0);
    }
    {
        Bench b(4);
        ASSERT_TRUE(b.loadReference()); // "154"
        b.combo("BufferLimit").userPick("8");
        auto s = referenceSlots(4);
        s[44] = 0xDA; // bits 6..5 = 2: no item in ATM_BP
        ASSERT_TRUE(b.loadSlots(s));
        EXPECT_EQ(b.text("BufferLimit"), "");
        EXPECT_EQ(b.savedSlot(44), 0x9A);
    }
    {
        Bench b(1);
        ASSERT_TRUE(b.loadReference()); // ClockDivision "9"
        auto s = referenceSlots(1);
        s[30] = 0xE6; // code 3: no item in MII_B
        ASSERT_TRUE(b.loadSlots(s));
        EXPECT_EQ(b.text("ClockDivision"), "");
        EXPECT_EQ(b.savedSlot(30), 0x26);
    }
}

TEST(ConfigStore, LoadThenSaveGivesBackTheSameImage) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        const image::Image img = imageWith(mode, referenceSlots(mode));
        ASSERT_TRUE(b.load(img));
        const image::Image out = b.saved(img);
        for (std::size_t i = 0; i < img.size(); ++i)
            ASSERT_EQ(out[i], img[i]) << "offset " << i << " in mode " << mode;
    }
}

TEST(ConfigStore, SaveWritesExactlyTheWindowsPositions) {
    const std::map<int, std::set<int>> positions = {
        {1, {4,  5,  6,  7,  8,  9,  10, 11, 12, 18, 19, 20, 21, 22, 23, 24,
             25, 26, 27, 28, 29, 30, 31, 33, 34, 35, 39, 40, 42, 43, 51}},
        {2, {4,  5,  6,  7,  8,  9,  10, 11, 12, 18, 19, 20, 21, 22, 23,
             24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 39, 40, 42, 43, 51}},
        {3, {33, 34, 35, 36, 37,  38,  39,  40,  41,  47,  48,  49,  50, 51,
             52, 53, 54, 55, 56,  57,  58,  59,  60,  62,  68,  69,  71, 72,
             80, 97, 98, 99, 102, 103, 104, 106, 613, 614, 615, 616, 617}},
        {4, {33, 34, 35, 36, 37, 38, 39, 40, 41, 47, 48, 49, 50, 51, 52,
             53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 68, 69, 71, 72, 80}}};
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        // Written over an image of a different background: the window's positions show.
        image::Image other{};
        other.fill(0xEE);
        b.form->SendDigToFile(other);
        // Every listed position holds the loaded byte; nothing else changed.
        const image::Image ref = imageWith(mode, referenceSlots(mode));
        for (std::size_t i = 0; i < other.size(); ++i) {
            const int pos = image::positionOf(static_cast<int>(i));
            const int want = positions.at(mode).count(pos) ? ref[i] : 0xEE;
            EXPECT_EQ(other[i], want) << "position " << pos << " mode " << mode;
        }
        EXPECT_EQ(other[1], 0xEE); // the version byte is never written
    }
}

TEST(ConfigStore, BitsWithoutFieldsSurviveEdits) {
    // AFE bits 1..0 and sleep bits 7..6.
    Bench b(2);
    auto s = referenceSlots(2);
    s[6] = 0x03;
    s[20] = 0xC0;
    ASSERT_TRUE(b.loadSlots(s));
    b.check("Timnus").userClick();
    b.check("Locken").userClick();
    b.check("Reduce").userClick();
    EXPECT_EQ(b.savedSlot(6), 0x83);
    EXPECT_EQ(b.savedSlot(20), 0xE0);
    EXPECT_EQ(b.savedSlot(9), 0xF9);
    // MII_B offset 33 bit 5, offset 34 bits 2..0.
    Bench m(1);
    ASSERT_TRUE(m.loadReference());
    m.check("MDIO").userClick();
    m.combo("RXlevel").userPick("64");
    EXPECT_EQ(m.savedSlot(30), 0x76);
    EXPECT_EQ(m.savedSlot(31), 0x35);
    // MII_BP bytes 96, 97, 98, 105 keep their unowned bits.
    Bench p(3);
    ASSERT_TRUE(p.loadReference());
    p.combo("ADDFILT").userPick("Disable");
    p.check("CRCEN").userClick();
    p.check("ABP_FC", 1).userClick();
    p.check("AUTOAGE").userClick();
    EXPECT_EQ(p.savedSlot(32), 0xBC);
    EXPECT_EQ(p.savedSlot(33), 0x35);
    EXPECT_EQ(p.savedSlot(34), 0xF9);
    EXPECT_EQ(p.savedSlot(38), 0x15);
    // UTOPIA bit 7.
    Bench a(4);
    auto t = referenceSlots(4);
    t[44] = 0x80;
    ASSERT_TRUE(a.loadSlots(t));
    a.combo("MultiPHY").userPick("with indication");
    EXPECT_EQ(a.savedSlot(44), 0x83);
}

TEST(ConfigStore, MiiBPacketSizeOwnsBitsThreeAndTwo) {
    Bench b(1);
    auto s = referenceSlots(1);
    s[30] = 0x6E; // bits 3..2 = 11: reads as 1536 from bit 2
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("PacketSize"), "1536");
    EXPECT_EQ(b.savedSlot(30), 0x66);
}

TEST(ConfigStore, WorkedExamplesOfTheConstellationByte) {
    Bench b(2);
    auto s = referenceSlots(2);
    s[0] = 0x31;
    s[1] = 0x30;
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("Dw_Stram_Cons"), "256");
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "12");
    EXPECT_EQ(b.text("Up_Stram_Cons"), "256");
    EXPECT_EQ(b.text("Up_Stram_Inter"), "12");
    EXPECT_EQ(b.savedSlot(0), 0x31);
    EXPECT_EQ(b.savedSlot(1), 0x31);

    s[0] = 0x0E; // constellation code 7: no value
    s[1] = 0xC0; // interpolation code 12: no value
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("Dw_Stram_Cons"), "0");
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "4");
    EXPECT_EQ(b.text("Up_Stram_Cons"), "256");
    EXPECT_EQ(b.text("Up_Stram_Inter"), "0");
    EXPECT_EQ(b.savedSlot(0), 0x00);
    EXPECT_EQ(b.savedSlot(1), 0x01);
}

TEST(ConfigStore, UtopiaWithIndicationRoundTrips) {
    Bench b(2);
    auto s = referenceSlots(2);
    s[44] = 0x03;
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("MultiPHY"), "with indication");
    EXPECT_EQ(b.savedSlot(44), 0x03);
    // A written text selects the item whatever its case.
    b.combo("MultiPHY").setText("With indication");
    EXPECT_EQ(b.combo("MultiPHY").listIndex(), 2);
}

TEST(ConfigStore, MiiBPInterfaceWorkedExamples) {
    Bench b(3);
    ASSERT_TRUE(b.loadReference());
    b.combo("IPG").userPick("20");
    b.combo("BP_IPG").userPick("16");
    b.combo("PATTERN_LENGTH").userPick("16");
    EXPECT_EQ(b.savedSlot(36), 0x00);
    b.combo("IPG").userPick("96");
    b.combo("BP_IPG").userPick("32");
    b.combo("PATTERN_LENGTH").userPick("53");
    const image::Image out = b.saved(backgroundImage());
    EXPECT_EQ(out[102], 0xCD);
    // PacketSize by value.
    b.combo("PacketSize").userPick("1518");
    EXPECT_EQ(b.savedSlot(32) & 0x04, 0);
    b.combo("PacketSize").userPick("1536");
    EXPECT_EQ(b.savedSlot(32) & 0x04, 0x04);
}

TEST(ConfigStore, PhyBoxesGoToPhyBytesAndTheFile) {
    Bench b(3);
    ASSERT_TRUE(b.loadReference());
    b.box("PHY_StatusRegAddr").setText("1C");
    b.box("PHY_SpeedBitNum").setText("2");
    b.box("PHY_DuplexPolarity").setText("ff");
    b.form->SendDigToModem();
    EXPECT_EQ(b.cm.PhyBytes[0], 0x1C);
    EXPECT_EQ(b.cm.PhyBytes[1], 0x02);
    EXPECT_EQ(b.cm.PhyBytes[2], 0x00);
    EXPECT_EQ(b.cm.PhyBytes[3], 0x0F);
    EXPECT_EQ(b.cm.PhyBytes[4], 0xFF);
    const image::Image out = b.saved(backgroundImage());
    EXPECT_EQ(out[612], 0x1C);
    EXPECT_EQ(out[613], 0x02);
    EXPECT_EQ(out[616], 0xFF);
}

TEST(ConfigStore, SendDigToModemSetsExactlyTheListedIndexes) {
    auto range = [](std::set<int>& s, int a, int b) {
        for (int i = a; i <= b; ++i)
            s.insert(i);
    };
    std::map<int, std::set<int>> expected;
    range(expected[1], 4, 12);
    range(expected[1], 18, 31);
    expected[1].insert({33, 34, 35, 43});
    range(expected[2], 4, 12);
    range(expected[2], 18, 33);
    expected[2].insert(43);
    range(expected[3], 33, 41);
    range(expected[3], 47, 60);
    expected[3].insert({62, 72, 97, 98, 99, 102, 103, 104, 106});
    range(expected[4], 33, 41);
    range(expected[4], 47, 62);
    expected[4].insert(72);
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        const image::Image img = imageWith(mode, referenceSlots(mode));
        ASSERT_TRUE(b.load(img));
        b.cm.OverrideTable.fill(0x55); // stale entries from an earlier run
        b.form->SendDigToModem();
        std::set<int> set;
        for (int i = 0; i < image::kOverrideEntries; ++i)
            if (b.cm.OverrideTable[static_cast<std::size_t>(i)] != image::kNoOverride)
                set.insert(i);
        EXPECT_EQ(set, expected[mode]) << "mode " << mode;
        for (int slot : {24, 25, 26, 28})
            EXPECT_EQ(b.cm.OverrideTable[static_cast<std::size_t>(
                          image::positionOf(offsetOf(mode, slot)))],
                      image::kNoOverride);
        for (int idx : set)
            EXPECT_EQ(b.cm.OverrideTable[static_cast<std::size_t>(idx)],
                      img[static_cast<std::size_t>(image::offsetOf(idx))])
                << idx;
    }
}

TEST(ConfigStore, SendDigToFileClearsTheOverrideTable) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.form->SendDigToModem();
    image::Image out = backgroundImage();
    b.form->SendDigToFile(out);
    for (auto v : b.cm.OverrideTable)
        EXPECT_EQ(v, image::kNoOverride);
}

TEST(ConfigStore, StoringWithoutOpeningTheWindowSendsTheLoadedValues) {
    Bench b(1);
    const image::Image img = imageWith(1, referenceSlots(1));
    ASSERT_TRUE(b.load(img));
    EXPECT_FALSE(b.form->visible());
    b.form->SendDigToModem();
    EXPECT_EQ(b.cm.OverrideTable[4], 0x34);
    EXPECT_EQ(b.cm.OverrideTable[35], 0xB5);
}

// Decision: values that cannot be stored are refused, never altered.
TEST(ConfigStoreDecisions, StoreProblemNamesTheField) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    EXPECT_EQ(b.form->StoreProblem(), "");
    b.box("TransmitePreambleM").setText("1FF");
    EXPECT_EQ(b.form->StoreProblem(), "TransmitePreambleM does not fit in one byte.");
    EXPECT_FALSE(b.form->ConfirmStorable());
    ASSERT_NE(b.lastBox(), nullptr);
    EXPECT_EQ(b.lastBox()->title, "Illegal Parameter");
    EXPECT_EQ(b.lastBox()->icon, ui::Icon::Exclamation);
    EXPECT_EQ(b.lastBox()->buttons, ui::Buttons::OK);
    EXPECT_EQ(b.lastBox()->text, "TransmitePreambleM does not fit in one byte.");
    // Never truncated: the byte keeps its loaded value.
    EXPECT_EQ(b.savedSlot(14), 0x28);
    b.box("TransmitePreambleM").setText("29");
    EXPECT_TRUE(b.form->ConfirmStorable());
}

TEST(ConfigStoreDecisions, UartValueOfTwoHundredFiftySixIsRefused) {
    Bench b(1);
    ASSERT_TRUE(b.loadReference());
    b.combo("Baund").userPick("115200");
    b.form->typeText(b.box("FText", 1), "00");
    b.form->typeText(b.box("FText", 0), "10"); // 10.00 MHz
    EXPECT_EQ(b.text("UART_Rate"), "100");
    EXPECT_EQ(b.form->StoreProblem(), "UART_Rate does not fit in one byte.");
    EXPECT_EQ(b.savedSlot(19), 0xF2);
    b.form->typeText(b.box("FText", 0), "20");
    EXPECT_EQ(b.form->StoreProblem(), "");
}

TEST(ConfigStoreDecisions, CarrierIndexAboveFFFFIsRefused) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.form->typeText(b.box("FText", 1), "50");
    b.form->typeText(b.box("FText", 0), "00"); // 0.50 MHz
    b.form->typeText(b.box("DwCarrierText", 0), "99");
    b.form->typeText(b.box("DwCarrierText", 1), "99"); // 99.99 MHz: N = 204780
    EXPECT_EQ(b.text("Next_DownstreamH"), "31F");
    EXPECT_EQ(b.form->StoreProblem(), "Next_DownstreamH does not fit in one byte.");
    EXPECT_EQ(b.savedSlot(3), 0x00);
}

TEST(ConfigStoreDecisions, ClockDivisionTwoHasNoCodeInMiiB) {
    Bench b(1);
    ASSERT_TRUE(b.loadReference());
    b.combo("ClockDivision").userPick("2");
    EXPECT_EQ(b.form->StoreProblem(), "ClockDivision 2 has no code for this chip.");
    Bench p(3);
    ASSERT_TRUE(p.loadReference());
    p.combo("ClockDivision").userPick("2");
    EXPECT_EQ(p.form->StoreProblem(), "");
    EXPECT_EQ(p.savedSlot(32) >> 6, 3);
}

TEST(ConfigStoreDecisions, DecimalFieldsOutsideAByteAreRefused) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.box("FText", 0).setText("-5");
    b.form->Fsample = 25.92; // as if the update had not run
    const std::string problem = b.form->StoreProblem();
    // The pending frequency is taken first; a B window accepts it, the byte does not fit.
    EXPECT_EQ(problem, "FText(0) does not fit in one byte.");
}

TEST(ConfigStore, TxNextValueOnlyStoresListValues) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.combo("TX_Next_value").userPick("16");
    EXPECT_EQ(b.savedSlot(12), 16);
    b.combo("TX_Next_value").setText("3");
    EXPECT_EQ(b.savedSlot(12), 16);
}

TEST(ConfigLoadFailure, AnyFailureShowsBadPatchFile) {
    struct Failing : ConfigFormImpl {
        explicit Failing(FormContext& c) : ConfigFormImpl(c, variantSpec(Variant::ATM_B)) {}
        void FillFields() override {
            ConfigFormImpl::FillFields();
            throw std::runtime_error("conversion failed");
        }
    };
    Bench b(2);
    Failing f(b.ctx);
    f.Loading = true;
    EXPECT_FALSE(f.LoadFromPatch());
    EXPECT_TRUE(f.Loading); // restored as the caller set it
    ASSERT_EQ(b.boxes(), 1u);
    EXPECT_EQ(b.lastBox()->text,
              "An error occurred while reading the patch file.\r\nPlease try another one.");
    EXPECT_EQ(b.lastBox()->title, "Bad patch file");
    EXPECT_EQ(b.lastBox()->buttons, ui::Buttons::OK);
    EXPECT_EQ(b.main.disabled, 1);
}

TEST(ConfigDone, BWindowsCheckEveryHexFieldAndTheInterpolations) {
    Bench b(1);
    ASSERT_TRUE(b.loadReference());
    b.form->show();
    EXPECT_TRUE(b.form->CheckInputs());
    b.box("ReceivePreambleM").setText("G");
    EXPECT_FALSE(b.form->CheckInputs());
    EXPECT_FALSE(b.form->Done());
    EXPECT_TRUE(b.form->visible());
    ASSERT_EQ(b.boxes(), 1u);
    EXPECT_EQ(b.lastBox()->text, "Please check your input values");
    EXPECT_EQ(b.lastBox()->title, "Error input");
    EXPECT_EQ(b.lastBox()->icon, ui::Icon::Critical);
    EXPECT_EQ(b.lastBox()->buttons, ui::Buttons::OKCancel);
    b.box("ReceivePreambleM").setText("b");
    b.combo("Up_Stram_Cons").userPick("256"); // 6 is not offered: empty interpolation
    EXPECT_EQ(b.text("Up_Stram_Inter"), "");
    EXPECT_FALSE(b.form->CheckInputs());
    b.combo("Up_Stram_Inter").userPick("8");
    EXPECT_TRUE(b.form->CheckInputs());
    b.form->FieldBytes[1] = 0;
    auto* done = dynamic_cast<ui::Button*>(b.form->find("WriteReturn"));
    ASSERT_TRUE(done->userClick());
    EXPECT_FALSE(b.form->visible());
    EXPECT_EQ(b.main.focused, 1);
    EXPECT_EQ(b.form->FieldBytes[1], 0x21); // B windows store on "Done"
    EXPECT_EQ(b.form->FieldBytes[17], 0x0B);
}

TEST(ConfigDone, BPlusWindowsCheckOnlyThePsdWords) {
    Bench b(4);
    ASSERT_TRUE(b.loadReference());
    b.form->show();
    b.box("TransmitePreambleL").setText("G"); // malformed, never left
    b.form->FieldBytes[13] = 0x77;
    EXPECT_TRUE(b.form->Done());
    EXPECT_FALSE(b.form->visible());
    EXPECT_EQ(b.form->FieldBytes[13], 0x77); // B+ windows store only when saving or programming
    b.form->show();
    b.box("Min_psdH").setText("");
    EXPECT_FALSE(b.form->Done());
    EXPECT_TRUE(b.form->visible());
    EXPECT_EQ(b.lastBox()->title, "Error input");
}

TEST(ConfigDone, DoneRefusesValuesThatCannotBeStored) {
    Bench b(1);
    ASSERT_TRUE(b.loadReference());
    b.form->show();
    b.combo("ClockDivision").userPick("2");
    EXPECT_FALSE(b.form->Done());
    EXPECT_TRUE(b.form->visible());
    EXPECT_EQ(b.lastBox()->title, "Illegal Parameter");
    EXPECT_EQ(b.main.focused, 0);
}

// Decision: hidden fields load and store like the others.
TEST(ConfigLoadDecisions, HiddenFieldsLoadAndStore) {
    Bench b(1);
    b.form->SetExpertLayout(false);
    ASSERT_TRUE(b.loadReference());
    EXPECT_EQ(b.text("TransmitePreambleH"), "F6");
    EXPECT_EQ(b.text("BackPressure"), "1");
    b.box("TransmitePreambleH").setText("F7");
    b.check("MDIO").setValue(1);
    EXPECT_EQ(b.savedSlot(15), 0xF7);
    EXPECT_EQ(b.savedSlot(30), 0x76);
}

} // namespace
} // namespace rw::config::test

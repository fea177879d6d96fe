// Editing reactions: line rates and interpolation lists, the PSD views, the hex entry rules,
// the AFE control word, and which edits mark the configuration as changed.
#include "config_test_support.h"

namespace rw::config::test {
namespace {

void pick(Bench& b, const std::string& combo, const std::string& item) {
    ASSERT_TRUE(b.combo(combo).userPick(item)) << combo << " " << item;
}

// ---- line rates ---------------------------------------------------------------------------

TEST(ConfigLineRates, WorkedRatesAt25_92) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        pick(b, "Dw_Stram_Cons", "256");
        pick(b, "Dw_Stram_Inter", "16");
        EXPECT_EQ(b.text("DownBitrate"), "12.96");
        pick(b, "Dw_Stram_Cons", "32"); // offers only 10, selected at once
        EXPECT_EQ(b.text("Dw_Stram_Inter"), "10");
        EXPECT_EQ(b.text("DownBitrate"), "12.96");
        pick(b, "Up_Stram_Cons", "64");
        pick(b, "Up_Stram_Inter", "6");
        EXPECT_EQ(b.text("UpBitrate"), "25.92");
        pick(b, "Up_Stram_Cons", "16");
        pick(b, "Up_Stram_Inter", "12");
        EXPECT_EQ(b.text("UpBitrate"), "8.64");
        pick(b, "Up_Stram_Cons", "128");
        EXPECT_EQ(b.text("Up_Stram_Inter"), "14");
        EXPECT_EQ(b.text("UpBitrate"), "12.95");
    }
}

TEST(ConfigLineRates, SamplingFrequencyEntryRecomputesBothRates) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    pick(b, "Up_Stram_Cons", "32");
    b.combo("Up_Stram_Inter").setText("16"); // shown, not offered: no click
    EXPECT_EQ(b.text("UpBitrate"), "12.96");
    b.form->typeText(b.box("FText", 1), "92");
    EXPECT_EQ(b.text("UpBitrate"), "8.1");
    EXPECT_EQ(b.text("DownBitrate"), "8.64");
    b.form->typeText(b.box("FText", 1), "00"); // 25.00
    EXPECT_EQ(b.text("DownBitrate"), "8.33");
}

TEST(ConfigLineRates, InterpolationListFollowsTheConstellation) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    for (const char* c : {"4", "8", "16"}) {
        pick(b, "Dw_Stram_Cons", c);
        ASSERT_EQ(b.combo("Dw_Stram_Inter").items().size(), 9u);
        EXPECT_EQ(b.combo("Dw_Stram_Inter").items().back(), "64");
    }
    pick(b, "Dw_Stram_Inter", "6");
    pick(b, "Dw_Stram_Cons", "64");
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "6");
    pick(b, "Dw_Stram_Cons", "256");
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "");
    // A B window neither moves the focus nor objects to leaving the empty box.
    EXPECT_NE(b.form->focused(), b.form->find("Dw_Stram_Inter"));
    b.form->setFocus(b.form->find("Dw_Stram_Inter"));
    EXPECT_TRUE(b.form->leave(nullptr));
    EXPECT_EQ(b.boxes(), 0u);
    // The rate of an empty direction keeps its text (64 with 6).
    EXPECT_EQ(b.text("DownBitrate"), "25.92");
}

TEST(ConfigLineRates, BPlusAsksForTheInterpolation) {
    for (int mode : {3, 4}) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        pick(b, "Dw_Stram_Cons", "16");
        pick(b, "Dw_Stram_Inter", "6");
        pick(b, "Dw_Stram_Cons", "64");
        EXPECT_EQ(b.text("Dw_Stram_Inter"), "6");
        EXPECT_EQ(b.form->focused(), nullptr);
        pick(b, "Dw_Stram_Cons", "256");
        EXPECT_EQ(b.text("Dw_Stram_Inter"), "");
        EXPECT_EQ(b.form->focused(), b.form->find("Dw_Stram_Inter"));
        EXPECT_FALSE(b.form->leave(b.form->find("Baund")));
        ASSERT_EQ(b.boxes(), 1u);
        EXPECT_EQ(b.lastBox()->text, "You must specify interpolation");
        EXPECT_EQ(b.lastBox()->title, "Illegal Parameter");
        EXPECT_EQ(b.lastBox()->icon, ui::Icon::Exclamation);
        EXPECT_EQ(b.form->focused(), b.form->find("Dw_Stram_Inter"));
        // A button cannot be pressed past it.
        auto* done = dynamic_cast<ui::Button*>(b.form->find("WriteReturn"));
        EXPECT_FALSE(done->userClick());
        EXPECT_EQ(b.boxes(), 2u);
        pick(b, "Dw_Stram_Inter", "8");
        EXPECT_TRUE(b.form->leave(b.form->find("Baund")));
        EXPECT_EQ(b.boxes(), 2u);
        EXPECT_EQ(b.text("DownBitrate"), "25.92");
    }
}

TEST(ConfigLineRates, NoFocusMoveOrMarkWhileLoading) {
    Bench b(3);
    ASSERT_TRUE(b.loadReference());
    b.form->Loading = true;
    pick(b, "Dw_Stram_Cons", "256");
    EXPECT_EQ(b.combo("Dw_Stram_Inter").items().size(), 7u); // refilled all the same
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "12");
    pick(b, "Up_Stram_Cons", "256");
    EXPECT_EQ(b.text("Up_Stram_Inter"), "");
    EXPECT_EQ(b.form->focused(), nullptr);
    EXPECT_FALSE(b.run.FormChange);
}

// Decision: no result leaves the rate as it was.
TEST(ConfigLineRatesDecisions, InterpolationWithoutValueKeepsTheRate) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    EXPECT_EQ(b.text("UpBitrate"), "8.64");
    auto s = referenceSlots(2);
    s[1] = 0xC1; // 256 with interpolation code 12: shown as "0"
    ASSERT_TRUE(b.loadSlots(s));
    EXPECT_EQ(b.text("Up_Stram_Inter"), "0");
    EXPECT_EQ(b.text("UpBitrate"), "8.64");
    b.form->typeText(b.box("FText", 1), "50");
    EXPECT_EQ(b.text("UpBitrate"), "8.64");
    EXPECT_EQ(b.text("DownBitrate"), "8.5"); // 25.5 / 12 x 4
}

// ---- PSD ----------------------------------------------------------------------------------

struct PsdBench : Bench {
    explicit PsdBench(int mode, const char* cons, const char* att) : Bench(mode) {
        EXPECT_TRUE(loadReference());
        combo("Dw_Stram_Cons").userPick(cons);
        combo("PowerController").userPick(att);
    }
    void bytes(const char* h, const char* l) {
        form->typeText(box("Max_psdH"), h);
        form->typeText(box("Max_psdL"), l);
    }
};

TEST(ConfigPsd, BytesGiveTheLevelInDecibels) {
    PsdBench b(2, "256", "0");
    b.bytes("04", "00");
    EXPECT_EQ(b.text("Max_PSD"), "59.95");
    b.bytes("00", "10");
    EXPECT_EQ(b.text("Max_PSD"), "23.83");
    PsdBench c(4, "4", "2");
    c.bytes("04", "00");
    EXPECT_EQ(c.text("Max_PSD"), "59.45");
    PsdBench d(1, "32", "0");
    d.bytes("03", "E8");
    EXPECT_EQ(d.text("Max_PSD"), "59.99");
    // Bytes reading 0 leave the text alone.
    d.bytes("00", "00");
    d.box("Max_PSD").setText("");
    d.box("Max_psdL").setText("0");
    EXPECT_EQ(d.text("Max_PSD"), "");
    EXPECT_FALSE(PsdUpdating);
}

TEST(ConfigPsd, TypedLevelGivesTheBytesAndStaysAsTyped) {
    PsdBench b(2, "256", "0");
    b.run.FormChange = false;
    b.form->typeText(b.box("Max_PSD"), "59.95");
    EXPECT_EQ(b.text("Max_psdL"), "FF");
    EXPECT_EQ(b.text("Max_psdH"), "3");
    EXPECT_EQ(b.text("Max_PSD"), "59.95");
    EXPECT_TRUE(b.run.FormChange); // through the byte boxes
    b.form->typeText(b.box("Min_PSD"), "23.83");
    EXPECT_EQ(b.text("Min_psdL"), "10");
    EXPECT_EQ(b.text("Min_psdH"), "0");
    EXPECT_EQ(b.text("Min_PSD"), "23.83");
    EXPECT_EQ(b.boxes(), 0u);
}

TEST(ConfigPsd, TheOpenWindowOfTypedLevels) {
    PsdBench b(4, "32", "0");
    b.form->typeText(b.box("Max_PSD"), "0");
    EXPECT_EQ(b.text("Max_psdL"), "1");
    EXPECT_EQ(b.text("Max_psdH"), "0");
    b.form->typeText(b.box("Max_PSD"), "-6.5");
    EXPECT_EQ(b.text("Max_psdL"), "0");
    b.form->typeText(b.box("Max_PSD"), "-6.6"); // converts "-6", then stops converting
    EXPECT_EQ(b.text("Max_psdL"), "1");
    EXPECT_EQ(b.text("Max_psdH"), "0");
    b.form->typeText(b.box("Max_PSD"), "95.84");
    EXPECT_EQ(b.text("Max_psdL"), "C2"); // "95.8" was the last converted text: 0xF0C2
    EXPECT_EQ(b.text("Max_psdH"), "F0");
    // A lone minus sign writes nothing and marks nothing.
    b.box("Max_psdL").setText("7");
    b.run.FormChange = false;
    b.form->typeText(b.box("Max_PSD"), "-");
    EXPECT_EQ(b.text("Max_psdL"), "7");
    EXPECT_FALSE(b.run.FormChange);
    EXPECT_EQ(b.boxes(), 0u);
}

TEST(ConfigPsd, AttenuationAndConstellationRefreshTheTexts) {
    PsdBench b(3, "256", "0");
    b.bytes("04", "00");
    b.run.FormChange = false;
    pick(b, "PowerController", "2");
    EXPECT_EQ(b.text("Max_PSD"), "61.95");
    EXPECT_EQ(b.text("Max_psdH"), "04");
    EXPECT_EQ(b.text("Max_psdL"), "00");
    EXPECT_TRUE(b.run.FormChange);
    pick(b, "Dw_Stram_Cons", "4"); // -2.75
    EXPECT_EQ(b.text("Max_PSD"), "59.45");
    EXPECT_EQ(b.text("Min_PSD"), "23.33"); // 16: 24.08 + 2 - 2.75
    pick(b, "Up_Stram_Cons", "128");       // the upstream constellation plays no part
    EXPECT_EQ(b.text("Max_PSD"), "59.45");
}

// ---- hex entry rules ----------------------------------------------------------------------

TEST(ConfigHexEntry, BWindowsMarkEveryChange) {
    for (int mode : {1, 2}) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        for (const char* n :
             {"TransmitePreambleL", "ReceivePreambleH", "SleepCounterL", "SleepCounterH",
              "UTOPIAAddress", "Next_DownstreamL", "Next_UpstreamH"}) {
            b.run.FormChange = false;
            b.box(n).setText("G");
            EXPECT_TRUE(b.run.FormChange) << n;
            b.form->setFocus(b.box(n));
            EXPECT_TRUE(b.form->leave(nullptr)) << n; // accepted until "Done"
        }
        b.form->Loading = true;
        b.run.FormChange = false;
        b.box("TransmitePreambleM").setText("1");
        EXPECT_FALSE(b.run.FormChange);
        EXPECT_EQ(b.boxes(), 0u);
    }
}

TEST(ConfigHexEntry, BPlusWindowsCheckTheTextWhenLeft) {
    for (int mode : {3, 4}) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        std::vector<std::string> boxes = {
            "TransmitePreambleL", "TransmitePreambleM", "TransmitePreambleH",
            "ReceivePreambleL",   "ReceivePreambleM",   "ReceivePreambleH",
            "SleepCounterL",      "SleepCounterH",      "UTOPIAAddress"};
        if (mode == 3)
            boxes.insert(boxes.end(), {"PHY_StatusRegAddr", "PHY_SpeedBitNum", "PHY_DuplexBitNum",
                                       "PHY_SpeedPolarity", "PHY_DuplexPolarity"});
        std::size_t expectedBoxes = 0;
        for (const std::string& n : boxes) {
            SCOPED_TRACE(n);
            b.run.FormChange = false;
            b.box(n).setText("0G"); // a change alone marks nothing here
            EXPECT_FALSE(b.run.FormChange);
            b.form->setFocus(b.box(n));
            EXPECT_FALSE(b.form->leave(b.form->find("Baund")));
            ASSERT_EQ(b.boxes(), ++expectedBoxes);
            EXPECT_EQ(b.lastBox()->text, "Please insert new value");
            EXPECT_EQ(b.lastBox()->title, "Illegal Parameter");
            EXPECT_EQ(b.lastBox()->icon, ui::Icon::Exclamation);
            EXPECT_EQ(b.form->focused(), b.form->find(n));
            b.box(n).setText("a5");
            EXPECT_TRUE(b.form->leave(b.form->find("Baund")));
            EXPECT_TRUE(b.run.FormChange);
            // Leaving with a valid text marks even when nothing changed.
            b.run.FormChange = false;
            b.form->setFocus(b.box(n));
            EXPECT_TRUE(b.form->leave(nullptr));
            EXPECT_TRUE(b.run.FormChange);
        }
        for (const char* bad : {"", "G", " 7"}) {
            b.box("SleepCounterL").setText(bad);
            b.form->setFocus(b.box("SleepCounterL"));
            EXPECT_FALSE(b.form->leave(nullptr)) << "'" << bad << "'";
        }
        // The carrier words have no reaction in B+.
        b.box("SleepCounterL").setText("0");
        b.form->leave(nullptr);
        b.run.FormChange = false;
        b.box("Next_DownstreamL").setText("12");
        EXPECT_FALSE(b.run.FormChange);
    }
}

// ---- AFE control word ---------------------------------------------------------------------

std::string afeBoxes(Bench& b) {
    std::string s;
    for (const char* n : {"Adcf", "Dacf", "Adcuns", "Dacuns", "Timneg", "Timnus"})
        s += b.text(n);
    return s;
}

// Decision: the bit table holds; 78 ticks Dacf, Adcuns, Dacuns and Timneg.
TEST(ConfigAfeDecisions, SeventyEightTicksBitsThreeToSix) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.form->typeText(b.box("AFEControl"), "78");
    EXPECT_EQ(afeBoxes(b), "011110");
    b.run.FormChange = false;
    b.form->typeText(b.box("AFEControl"), "FF");
    EXPECT_EQ(afeBoxes(b), "111111");
    EXPECT_TRUE(b.run.FormChange);
}

TEST(ConfigAfe, CheckBoxesRewriteTheByte) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        b.form->typeText(b.box("AFEControl"), "78");
        b.run.FormChange = false;
        b.check("Adcf").userClick();
        EXPECT_EQ(b.text("AFEControl"), "7C");
        EXPECT_TRUE(b.run.FormChange);
        b.check("Timneg").userClick();
        EXPECT_EQ(b.text("AFEControl"), "3C");
        b.form->typeText(b.box("AFEControl"), "03");
        EXPECT_EQ(afeBoxes(b), "000000");
        b.check("Timnus").userClick();
        EXPECT_EQ(b.text("AFEControl"), "83");
        b.check("Timnus").userClick();
        EXPECT_EQ(b.text("AFEControl"), "3");
        EXPECT_FALSE(b.form->AfeUpdating);
        EXPECT_EQ(b.boxes(), 0u);
    }
}

TEST(ConfigAfe, ReplacingADigitThatFlipsNoBox) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.form->typeText(b.box("AFEControl"), "FF");
    b.run.FormChange = false;
    b.box("AFEControl").setText("FC");
    EXPECT_EQ(afeBoxes(b), "111111");
    // Bits 1..0 are stored from this text, so dropping them is an edit.
    EXPECT_TRUE(b.run.FormChange);
    EXPECT_EQ(b.savedSlot(6), 0xFC);
    // The same value in other letters is no edit.
    b.run.FormChange = false;
    b.box("AFEControl").setText("fc");
    EXPECT_FALSE(b.run.FormChange);
    b.box("AFEControl").setText("");
    EXPECT_EQ(afeBoxes(b), "000000");
}

// Decision: bits 1..0 are stored from the AFEControl text.
TEST(ConfigAfeDecisions, LowBitsStoredFromTheText) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference()); // 7B
        b.form->typeText(b.box("AFEControl"), "79");
        EXPECT_EQ(b.savedSlot(6), 0x79);
        b.form->SendDigToModem();
        EXPECT_EQ(
            b.cm.OverrideTable[static_cast<std::size_t>(image::positionOf(offsetOf(mode, 6)))],
            0x79);
    }
}

// Guards: one view rewrites the other once, and the rewrite does not come back.
TEST(ConfigAfe, OneStepCascades) {
    Bench b(3);
    ASSERT_TRUE(b.loadReference());
    int afeChanges = 0;
    int timnusChanges = 0;
    b.box("AFEControl").stateChanged.connect([&] { ++afeChanges; });
    b.check("Timnus").stateChanged.connect([&] { ++timnusChanges; });
    b.check("Adcf").userClick();
    EXPECT_EQ(afeChanges, 1);
    EXPECT_EQ(timnusChanges, 0);
    afeChanges = 0;
    b.box("AFEControl").setText("FF");
    EXPECT_EQ(afeChanges, 1);
    EXPECT_EQ(timnusChanges, 1);
    EXPECT_EQ(b.text("AFEControl"), "FF");
    EXPECT_FALSE(b.form->AfeUpdating);
    int psdChanges = 0;
    b.box("Max_PSD").stateChanged.connect([&] { ++psdChanges; });
    b.box("Max_psdL").setText("1");
    EXPECT_EQ(psdChanges, 1);
    psdChanges = 0;
    b.box("Max_PSD").setText("40");
    EXPECT_EQ(psdChanges, 1); // the bytes it writes do not write it back
    EXPECT_FALSE(PsdUpdating);
    EXPECT_EQ(b.boxes(), 0u);
}

TEST(ConfigAfe, LoadingFollowsButMarksNothing) {
    Bench b(4);
    ASSERT_TRUE(b.loadReference());
    b.form->Loading = true;
    b.box("AFEControl").setText("84");
    EXPECT_EQ(afeBoxes(b), "100001");
    b.check("Dacf").setValue(1);
    EXPECT_EQ(b.text("AFEControl"), "8C");
    EXPECT_FALSE(b.run.FormChange);
}

// ---- change marking -----------------------------------------------------------------------

void expectMarks(Bench& b, const std::string& name, const std::function<void()>& act) {
    b.form->Loading = false;
    b.run.FormChange = false;
    act();
    EXPECT_TRUE(b.run.FormChange) << name << " in mode " << b.mode;
}

void toggleAndPick(Bench& b, const std::string& name) {
    ui::Control* c = b.form->findByFullName(name);
    ASSERT_NE(c, nullptr) << name;
    if (auto* box = dynamic_cast<ui::CheckBox*>(c)) {
        expectMarks(b, name, [&] { box->userClick(); });
        // While loading a click marks nothing.
        b.form->Loading = true;
        b.run.FormChange = false;
        box->userClick();
        EXPECT_FALSE(b.run.FormChange) << name;
        b.form->Loading = false;
    } else if (auto* combo = dynamic_cast<ui::ComboBox*>(c)) {
        const std::string other = combo->items().front() == combo->text() ? combo->items().back()
                                                                          : combo->items().front();
        expectMarks(b, name, [&] { combo->userPick(other); });
        b.form->Loading = true;
        b.run.FormChange = false;
        combo->userPick(combo->items()[1]);
        EXPECT_FALSE(b.run.FormChange) << name;
        b.form->Loading = false;
    } else {
        FAIL() << name;
    }
}

TEST(ConfigMarking, FieldsWhoseOnlyReactionIsToMark) {
    const std::vector<std::string> common = {"HostDis", "WakDis",         "TcDis",  "CntDis",
                                             "Locken",  "Reduce",         "SerDis", "TX_Next_value",
                                             "Baund",   "PowerController"};
    const std::map<int, std::vector<std::string>> extra = {
        {1,
         {"MDIO", "BackPressure", "BackSignaling", "TruncateRetries", "PacketSize", "ClockDivision",
          "BPM", "AutoNeg", "RXlevel"}},
        {2, {"Dric", "Drec", "RxClv", "BufferLimit", "MultiPHY"}},
        {3,
         {"MDIO",
          "BackPressure",
          "BackSignaling",
          "TruncateRetries",
          "PacketSize",
          "ClockDivision",
          "BPM",
          "AUTOAGE",
          "CRCEN",
          "FLWENB",
          "ADDFILT",
          "BP_IPG",
          "IPG",
          "FC_HISTER",
          "FC_TRES_HI",
          "FPP",
          "PATTERN_LENGTH",
          "RXlevelStart",
          "RXlevelStop",
          "ABP_FC(0)",
          "ABP_FC(1)",
          "BACK_SIGNALING"}},
        {4, {"Dric", "Drec", "RxClv", "BufferLimit", "MultiPHY"}}};
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        for (const std::string& n : common)
            toggleAndPick(b, n);
        for (const std::string& n : extra.at(mode))
            toggleAndPick(b, n);
    }
}

TEST(ConfigMarking, BackSignalingMarksOnATextChange) {
    Bench b(3);
    ASSERT_TRUE(b.loadReference());
    b.run.FormChange = false;
    b.combo("BACK_SIGNALING").setText("4096"); // program-made, but the text changed
    EXPECT_TRUE(b.run.FormChange);
}

// Decision: a program-made selection clicks only when it changes; a user pick always.
TEST(ConfigMarkingDecisions, ProgramVersusUserSelection) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.combo("Baund").setText("9600");
    b.combo("TX_Next_value").setListIndex(b.combo("TX_Next_value").listIndex());
    EXPECT_FALSE(b.run.FormChange);
    pick(b, "Baund", "9600");
    EXPECT_TRUE(b.run.FormChange);
    b.run.FormChange = false;
    b.check("Dric").setValue(1); // already ticked
    EXPECT_FALSE(b.run.FormChange);
}

TEST(ConfigMarking, FrequencyAndCarrierEntriesMark) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        b.form->typeText(b.box("FText", 1), "9");
        EXPECT_TRUE(b.run.FormChange) << mode;
        b.run.FormChange = false;
        b.form->typeText(b.box("UsCarrierText", 1), "0");
        EXPECT_TRUE(b.run.FormChange) << mode;
        b.run.FormChange = false;
        dynamic_cast<ui::UpDown&>(*b.form->find("UpCarrierScroll")).userUp();
        EXPECT_TRUE(b.run.FormChange) << mode;
    }
}

TEST(ConfigMarking, PsdBytesMarkAndTheWindowStartsUnchanged) {
    Bench b(4);
    ASSERT_TRUE(b.loadReference());
    EXPECT_FALSE(b.run.FormChange);
    b.box("Min_psdH").setText("1");
    EXPECT_TRUE(b.run.FormChange);
}

} // namespace
} // namespace rw::config::test

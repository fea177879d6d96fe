// Editing reactions: line rates and interpolation lists, the PSD views, the hex entry rules,
// the AFE control word, and which edits mark the configuration as changed.
#include "config_test_support.h"

namespace rw::config::test {
namespace {

// ---- line rates ---------------------------------------------------------------------------

TEST(ConfigLineRates, WorkedRatesAt25_92) {
    forEachMode([](Bench& b) {
        bool down = true;
        for (const auto& c : kRatesAt2592) {
            SCOPED_TRACE(std::to_string(c.constellation) + "/" + std::to_string(c.interpolation));
            const std::string dir = down ? "Dw_Stram_" : "Up_Stram_";
            b.pick(dir + "Cons", std::to_string(c.constellation));
            // 32 and 128 offer one factor only, selected at once.
            if (b.combo(dir + "Inter").items().size() > 1)
                b.pick(dir + "Inter", std::to_string(c.interpolation));
            EXPECT_EQ(b.text(dir + "Inter"), std::to_string(c.interpolation));
            EXPECT_EQ(b.text(down ? "DownBitrate" : "UpBitrate"), c.rate);
            down = !down;
        }
    });
}

TEST(ConfigLineRates, SamplingFrequencyEntryRecomputesBothRates) {
    Loaded b(2);
    b.pick("Up_Stram_Cons", "32");
    b.combo("Up_Stram_Inter").setText("16"); // shown, not offered: no click
    EXPECT_EQ(b.text("UpBitrate"), "12.96");
    b.type("FText", 1, "92");
    b.expectTexts("UpBitrate=8.1;DownBitrate=8.64");
    b.type("FText", 1, "00"); // 25.00
    EXPECT_EQ(b.text("DownBitrate"), "8.33");
}

TEST(ConfigLineRates, InterpolationListFollowsTheConstellation) {
    forEachMode([](Bench& b) {
        const bool bPlus = b.mode >= 3;
        for (const char* c : {"4", "8", "16"}) {
            b.pick("Dw_Stram_Cons", c);
            ASSERT_EQ(b.combo("Dw_Stram_Inter").items().size(), 9u);
            EXPECT_EQ(b.combo("Dw_Stram_Inter").items().back(), "64");
        }
        b.pick("Dw_Stram_Inter", "6");
        b.pick("Dw_Stram_Cons", "64");
        EXPECT_EQ(b.text("Dw_Stram_Inter"), "6");
        EXPECT_EQ(b.form->focused(), nullptr);
        b.pick("Dw_Stram_Cons", "256");
        EXPECT_EQ(b.text("Dw_Stram_Inter"), "");
        // The rate of an empty direction keeps its text (64 with 6).
        EXPECT_EQ(b.text("DownBitrate"), "25.92");
        // B+ moves the focus to the empty box and asks for it; B does neither.
        EXPECT_EQ(b.form->focused() == b.find("Dw_Stram_Inter"), bPlus);
        b.form->setFocus(b.find("Dw_Stram_Inter"));
        EXPECT_EQ(b.form->leave(b.find("Baund")), !bPlus);
        if (!bPlus) {
            EXPECT_EQ(b.boxes(), 0u);
            return;
        }
        ASSERT_EQ(b.boxes(), 1u);
        b.expectBox("You must specify interpolation", "Illegal Parameter", ui::Buttons::OK,
                    ui::Icon::Exclamation);
        EXPECT_EQ(b.form->focused(), b.find("Dw_Stram_Inter"));
        EXPECT_FALSE(b.press("WriteReturn")); // a button cannot be pressed past it
        EXPECT_EQ(b.boxes(), 2u);
        b.pick("Dw_Stram_Inter", "8");
        EXPECT_TRUE(b.form->leave(b.find("Baund")));
        EXPECT_EQ(b.boxes(), 2u);
        EXPECT_EQ(b.text("DownBitrate"), "25.92");
    });
}

TEST(ConfigLineRates, NoFocusMoveOrMarkWhileLoading) {
    Loaded b(3);
    b.form->Loading = true;
    b.pick("Dw_Stram_Cons", "256");
    EXPECT_EQ(b.combo("Dw_Stram_Inter").items().size(), 7u); // refilled all the same
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "12");
    b.pick("Up_Stram_Cons", "256");
    EXPECT_EQ(b.text("Up_Stram_Inter"), "");
    EXPECT_EQ(b.form->focused(), nullptr);
    EXPECT_FALSE(b.run.FormChange);
}

// Decision: while editing, no result leaves the rate as it was.
TEST(ConfigLineRatesDecisions, InterpolationWithoutValueKeepsTheRate) {
    Loaded b(2);                            // up rate 8.64
    b.combo("Up_Stram_Inter").setText("0"); // a text without value, as a stored code 12
    b.expectTexts("Up_Stram_Inter=0;UpBitrate=8.64");
    b.type("FText", 1, "50");
    b.expectTexts("UpBitrate=8.64;DownBitrate=8.5"); // 25.5 / 12 x 4
}

// Decision: a load ends with the rates of the texts shown, also for an interpolation the
// refilled list does not offer, and with an empty label where they give none; nothing of the
// file loaded before stays.
TEST(ConfigLineRatesDecisions, LoadShowsTheRatesOfTheTextsShown) {
    const struct {
        int mode, whole, hundredths;
        std::uint8_t up;
        const char *upRate, *downRate; // downstream 16 / 12 throughout
    } cases[] = {{1, 29, 93, PackConsInter(128, 64), "3.27", "9.97"},
                 {2, 5, 99, PackConsInter(16, 10), "2.39", "1.99"},
                 {3, 25, 0, PackConsInter(64, 10), "15", "8.33"},
                 {4, 25, 92, 0xC1, "", "8.64"}}; // 256 with interpolation code 12, shown as "0"
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Loaded b(c.mode); // a file with rates of its own first
        ASSERT_TRUE(b.loadWith({{25, c.whole}, {24, c.hundredths}, {1, c.up}}));
        EXPECT_EQ(b.text("UpBitrate"), c.upRate);
        EXPECT_EQ(b.text("DownBitrate"), c.downRate);
    }
}

// ---- PSD ----------------------------------------------------------------------------------

struct PsdBench : Loaded {
    PsdBench(int mode, const char* cons, const char* att) : Loaded(mode) {
        pick("Dw_Stram_Cons", cons);
        pick("PowerController", att);
    }
    void bytes(const char* h, const char* l) {
        type("Max_psdH", -1, h);
        type("Max_psdL", -1, l);
    }
};

TEST(ConfigPsd, BytesGiveTheLevelInDecibels) {
    int mode = 1;
    for (const auto& c : kPsdLevels) {
        SCOPED_TRACE(c.psd);
        PsdBench b(mode++, c.constellation, c.attenuation);
        b.bytes(c.high, c.low);
        EXPECT_EQ(b.text("Max_PSD"), c.psd);
        EXPECT_FALSE(b.w().PsdUpdating);
    }
    // Bytes reading 0 leave the text alone.
    PsdBench d(1, "32", "0");
    d.bytes("00", "00");
    d.box("Max_PSD").setText("");
    d.box("Max_psdL").setText("0");
    EXPECT_EQ(d.text("Max_PSD"), "");
}

TEST(ConfigPsd, TypedLevelGivesTheBytesAndStaysAsTyped) {
    PsdBench b(2, "256", "0");
    b.run.FormChange = false;
    b.type("Max_PSD", -1, "59.95");
    b.expectTexts("Max_psdL=FF;Max_psdH=3;Max_PSD=59.95");
    EXPECT_TRUE(b.run.FormChange); // through the byte boxes
    b.type("Min_PSD", -1, "23.83");
    b.expectTexts("Min_psdL=10;Min_psdH=0;Min_PSD=23.83");
    EXPECT_EQ(b.boxes(), 0u);

    PsdBench w(4, "32", "0");
    b.w().PsdUpdating = true; // another window's conversion holds none of this one's
    const std::pair<const char*, const char*> typed[] = {
        {"0", "Max_psdL=1;Max_psdH=0"},
        {"-6.5", "Max_psdL=0"},
        {"-6.6", "Max_psdL=1;Max_psdH=0"},     // converts "-6", then stops converting
        {"95.84", "Max_psdL=C2;Max_psdH=F0"}}; // "95.8" was the last converted text: 0xF0C2
    for (auto [t, bytes] : typed) {
        w.type("Max_PSD", -1, t);
        w.expectTexts(bytes);
    }
    // A lone minus sign writes nothing and marks nothing.
    w.box("Max_psdL").setText("7");
    w.run.FormChange = false;
    w.type("Max_PSD", -1, "-");
    EXPECT_EQ(w.text("Max_psdL"), "7");
    EXPECT_FALSE(w.run.FormChange);
    EXPECT_EQ(w.boxes(), 0u);
}

TEST(ConfigPsd, AttenuationAndConstellationRefreshTheTexts) {
    PsdBench b(3, "256", "0");
    b.bytes("04", "00");
    b.run.FormChange = false;
    b.pick("PowerController", "2");
    b.expectTexts("Max_PSD=61.95;Max_psdH=04;Max_psdL=00");
    EXPECT_TRUE(b.run.FormChange);
    b.pick("Dw_Stram_Cons", "4"); // -2.75; Min 16: 24.08 + 2 - 2.75
    b.expectTexts("Max_PSD=59.45;Min_PSD=23.33");
    b.pick("Up_Stram_Cons", "128"); // the upstream constellation plays no part
    EXPECT_EQ(b.text("Max_PSD"), "59.45");
}

// Decision: a dB text that was not converted shows one value while the bytes hold another. It
// stays red with its reason, and "Done" and storing refuse it, until it is converted or the
// bytes rewrite it.
TEST(ConfigPsdDecisions, TextNotConvertedIsRefusedUntilConverted) {
    const struct {
        const char *cons, *text;
    } cases[] = {{"32", "96"}, {"128", "95.83"}, {"32", "-"}, {"32", "-6.6"}, {"32", ""}};
    bool byBytes = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.cons) + " '" + c.text + "'");
        PsdBench b(3, c.cons, "0");
        b.form->show();
        b.type("Max_PSD", -1, c.text);
        EXPECT_EQ(b.box("Max_PSD").backColour(), ui::kRed);
        EXPECT_FALSE(b.box("Max_PSD").problem().empty());
        EXPECT_EQ(b.form->StoreProblem(), "Max_PSD was not converted into a level.");
        EXPECT_FALSE(b.form->Done());
        b.expectBox("Max_PSD was not converted into a level.", "Illegal Parameter");
        if ((byBytes = !byBytes))
            b.pick("PowerController", "2");
        else
            b.type("Max_PSD", -1, "40");
        EXPECT_EQ(b.box("Max_PSD").backColour(), ui::kFieldBlue);
        EXPECT_EQ(b.box("Max_PSD").problem(), "");
        EXPECT_TRUE(b.form->Done());
    }
}

// ---- hex entry rules ----------------------------------------------------------------------

TEST(ConfigHexEntry, BWindowsMarkEveryChange) {
    forEachMode(
        [](Bench& b) {
            for (const std::string& n :
                 split("TransmitePreambleL ReceivePreambleH SleepCounterL SleepCounterH "
                       "UTOPIAAddress Next_DownstreamL Next_UpstreamH")) {
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
        },
        {1, 2});
}

TEST(ConfigHexEntry, BPlusWindowsCheckTheTextWhenLeft) {
    forEachMode(
        [](Bench& b) {
            std::string boxes = "TransmitePreambleL TransmitePreambleM TransmitePreambleH "
                                "ReceivePreambleL ReceivePreambleM ReceivePreambleH SleepCounterL "
                                "SleepCounterH UTOPIAAddress";
            if (b.mode == 3)
                boxes += " PHY_StatusRegAddr PHY_SpeedBitNum PHY_DuplexBitNum PHY_SpeedPolarity "
                         "PHY_DuplexPolarity";
            std::size_t expectedBoxes = 0;
            for (const std::string& n : split(boxes)) {
                SCOPED_TRACE(n);
                b.run.FormChange = false;
                b.box(n).setText("0G"); // a change alone marks nothing here
                EXPECT_FALSE(b.run.FormChange);
                b.form->setFocus(b.box(n));
                EXPECT_FALSE(b.form->leave(b.find("Baund")));
                ASSERT_EQ(b.boxes(), ++expectedBoxes);
                b.expectBox("Please insert new value", "Illegal Parameter");
                EXPECT_EQ(b.form->focused(), b.find(n));
                b.box(n).setText("a5");
                EXPECT_TRUE(b.form->leave(b.find("Baund")));
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
        },
        {3, 4});
}

// ---- AFE control word ---------------------------------------------------------------------

std::string afeBoxes(Bench& b) {
    std::string s;
    for (const char* n : {"Adcf", "Dacf", "Adcuns", "Dacuns", "Timneg", "Timnus"})
        s += b.text(n);
    return s;
}

// Decision: the bit table holds (78 ticks Dacf, Adcuns, Dacuns and Timneg), and bits 1..0 are
// stored from the AFEControl text.
TEST(ConfigAfeDecisions, BoxesFollowTheByteAndLowBitsAreStoredFromTheText) {
    forEachMode([](Bench& b) {
        b.type("AFEControl", -1, "79"); // loaded as 7B
        b.expectSaved({{6, 0x79}});
        b.form->SendDigToModem();
        EXPECT_EQ(b.overrideAt(6), 0x79);
        b.type("AFEControl", -1, "78");
        EXPECT_EQ(afeBoxes(b), "011110");
        b.run.FormChange = false;
        b.type("AFEControl", -1, "FF");
        EXPECT_EQ(afeBoxes(b), "111111");
        EXPECT_TRUE(b.run.FormChange);
    });
}

TEST(ConfigAfe, CheckBoxesRewriteTheByte) {
    forEachMode([](Bench& b) {
        b.type("AFEControl", -1, "78");
        b.run.FormChange = false;
        b.check("Adcf").userClick();
        EXPECT_EQ(b.text("AFEControl"), "7C");
        EXPECT_TRUE(b.run.FormChange);
        b.check("Timneg").userClick();
        EXPECT_EQ(b.text("AFEControl"), "3C");
        b.type("AFEControl", -1, "03");
        EXPECT_EQ(afeBoxes(b), "000000");
        b.check("Timnus").userClick();
        EXPECT_EQ(b.text("AFEControl"), "83");
        b.check("Timnus").userClick();
        EXPECT_EQ(b.text("AFEControl"), "3");
        EXPECT_FALSE(b.form->AfeUpdating);
        EXPECT_EQ(b.boxes(), 0u);
    });
}

TEST(ConfigAfe, ReplacingADigitThatFlipsNoBox) {
    Loaded b(2);
    b.type("AFEControl", -1, "FF");
    b.run.FormChange = false;
    b.box("AFEControl").setText("FC");
    EXPECT_EQ(afeBoxes(b), "111111");
    // Bits 1..0 are stored from this text, so dropping them is an edit.
    EXPECT_TRUE(b.run.FormChange);
    b.expectSaved({{6, 0xFC}});
    // The same value in other letters is no edit.
    b.run.FormChange = false;
    b.box("AFEControl").setText("fc");
    EXPECT_FALSE(b.run.FormChange);
    b.box("AFEControl").setText("");
    EXPECT_EQ(afeBoxes(b), "000000");
}

// Guards: one view rewrites the other once, and the rewrite does not come back.
TEST(ConfigAfe, OneStepCascades) {
    Loaded b(3);
    int afeChanges = 0, timnusChanges = 0, psdChanges = 0;
    const ui::Connection c1 = b.box("AFEControl").stateChanged.connect([&] { ++afeChanges; });
    const ui::Connection c2 = b.check("Timnus").stateChanged.connect([&] { ++timnusChanges; });
    const ui::Connection c3 = b.box("Max_PSD").stateChanged.connect([&] { ++psdChanges; });
    b.check("Adcf").userClick();
    EXPECT_EQ(afeChanges, 1);
    EXPECT_EQ(timnusChanges, 0);
    afeChanges = 0;
    b.box("AFEControl").setText("FF");
    EXPECT_EQ(afeChanges, 1);
    EXPECT_EQ(timnusChanges, 1);
    EXPECT_EQ(b.text("AFEControl"), "FF");
    EXPECT_FALSE(b.form->AfeUpdating);
    b.box("Max_psdL").setText("1");
    EXPECT_EQ(psdChanges, 1);
    psdChanges = 0;
    b.box("Max_PSD").setText("40");
    EXPECT_EQ(psdChanges, 1); // the bytes it writes do not write it back
    EXPECT_FALSE(b.w().PsdUpdating);
    EXPECT_EQ(b.boxes(), 0u);
}

TEST(ConfigAfe, LoadingFollowsButMarksNothing) {
    Loaded b(4);
    b.form->Loading = true;
    b.box("AFEControl").setText("84");
    EXPECT_EQ(afeBoxes(b), "100001");
    b.check("Dacf").setValue(1);
    EXPECT_EQ(b.text("AFEControl"), "8C");
    EXPECT_FALSE(b.run.FormChange);
}

// ---- change marking -----------------------------------------------------------------------

// A user click or pick marks the change; while loading it marks nothing.
void expectUserEditMarks(Bench& b, const std::string& name) {
    SCOPED_TRACE(name);
    ui::Control* c = b.form->findByFullName(name);
    ASSERT_NE(c, nullptr);
    auto* box = dynamic_cast<ui::CheckBox*>(c);
    auto* combo = dynamic_cast<ui::ComboBox*>(c);
    ASSERT_TRUE(box || combo);
    for (bool loading : {false, true}) {
        b.form->Loading = loading;
        b.run.FormChange = false;
        if (box) {
            box->userClick();
        } else if (!loading) {
            const auto& items = combo->items();
            combo->userPick(items.front() == combo->text() ? items.back() : items.front());
        } else {
            combo->userPick(combo->items()[1]);
        }
        EXPECT_EQ(b.run.FormChange, !loading);
    }
    b.form->Loading = false;
}

TEST(ConfigMarking, FieldsWhoseOnlyReactionIsToMark) {
    const char* const mii =
        " MDIO BackPressure BackSignaling TruncateRetries PacketSize ClockDivision BPM";
    const char* const atm = " Dric Drec RxClv BufferLimit MultiPHY";
    const std::string extra[] = {
        std::string(mii) + " AutoNeg RXlevel", atm,
        std::string(mii) + " AUTOAGE CRCEN FLWENB ADDFILT BP_IPG IPG FC_HISTER FC_TRES_HI FPP "
                           "PATTERN_LENGTH RXlevelStart RXlevelStop ABP_FC(0) ABP_FC(1) "
                           "BACK_SIGNALING",
        atm};
    forEachMode([&](Bench& b) {
        for (const std::string& n :
             split("HostDis WakDis TcDis CntDis Locken Reduce SerDis TX_Next_value Baund "
                   "PowerController" +
                   extra[b.mode - 1]))
            expectUserEditMarks(b, n);
    });
}

TEST(ConfigMarking, EntriesArrowsAndProgramMadeChanges) {
    forEachMode([](Bench& b) {
        EXPECT_FALSE(b.run.FormChange); // the window starts unchanged
        const std::function<void()> edits[] = {
            [&] { b.type("FText", 1, "9"); }, [&] { b.type("UsCarrierText", 1, "0"); },
            [&] { b.arrows("UpCarrierScroll").userUp(); }, [&] { b.box("Min_psdH").setText("1"); }};
        for (std::size_t i = 0; i < std::size(edits); ++i) {
            b.run.FormChange = false;
            edits[i]();
            EXPECT_TRUE(b.run.FormChange) << "edit " << i;
        }
    });
    // BACK_SIGNALING marks when its text changes, even by the program.
    Loaded p(3);
    p.combo("BACK_SIGNALING").setText("4096");
    EXPECT_TRUE(p.run.FormChange);
}

// Decision: a program-made selection clicks only when it changes; a user pick always.
TEST(ConfigMarkingDecisions, ProgramVersusUserSelection) {
    Loaded b(2);
    b.combo("Baund").setText("9600");
    b.combo("TX_Next_value").setListIndex(b.combo("TX_Next_value").listIndex());
    EXPECT_FALSE(b.run.FormChange);
    b.pick("Baund", "9600");
    EXPECT_TRUE(b.run.FormChange);
    b.run.FormChange = false;
    b.check("Dric").setValue(1); // already ticked
    EXPECT_FALSE(b.run.FormChange);
}

} // namespace
} // namespace rw::config::test

// Sampling frequency and carriers typed key by key: carrier indices, the UART reload value,
// auto-advance, padding, arrows, the B+ minimum and the finishing of an entry on leaving.
#include "config_test_support.h"

namespace rw::config::test {
namespace {

constexpr int kShift = 16; // a key that puts no character in

struct Carrier {
    std::string low, high;
};

Carrier typeCarrier(Bench& b, bool down, const std::string& whole, const std::string& hund) {
    const char* name = down ? "DwCarrierText" : "UsCarrierText";
    b.form->typeText(b.box(name, 0), whole);
    b.form->typeText(b.box(name, 1), hund);
    return down ? Carrier{b.text("Next_DownstreamL"), b.text("Next_DownstreamH")}
                : Carrier{b.text("Next_UpstreamL"), b.text("Next_UpstreamH")};
}

TEST(ConfigBandPlan, CarrierIndicesAt25_92) {
    for (int mode = 1; mode <= 4; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        Carrier c = typeCarrier(b, true, "5", "99");
        EXPECT_EQ(c.low, "ED");
        EXPECT_EQ(c.high, "0");
        EXPECT_EQ(b.text("DwCarrierText(0)"), "005");
        c = typeCarrier(b, false, "2", "07");
        EXPECT_EQ(c.low, "52");
        EXPECT_EQ(c.high, "0");
        EXPECT_EQ(b.text("UsCarrierText(0)"), "002");
        c = typeCarrier(b, true, "12", "00");
        EXPECT_EQ(c.low, "DA");
        EXPECT_EQ(c.high, "1");
        EXPECT_EQ(b.text("DwCarrierText(0)"), "012");
        c = typeCarrier(b, false, "8", "50");
        EXPECT_EQ(c.low, "50");
        EXPECT_EQ(c.high, "1");
        EXPECT_EQ(b.boxes(), 0u);
    }
}

TEST(ConfigBandPlan, HalfwayIndexRoundsToEven) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.form->typeText(b.box("FText", 1), "48");
    b.form->typeText(b.box("FText", 0), "20"); // 20.48 MHz: N = 50 x f
    EXPECT_DOUBLE_EQ(b.form->Fsample, 20.48);
    const Carrier c = typeCarrier(b, true, "4", "75"); // 237.5
    EXPECT_EQ(c.low, "EE");
}

TEST(ConfigBandPlan, UartReloadForEveryBaudRate) {
    const std::pair<const char*, const char*> expected[] = {
        {"2400", "C8"},  {"4800", "E4"},  {"9600", "F2"},  {"19200", "F9"},
        {"38400", "FC"}, {"57600", "FE"}, {"115200", "FF"}};
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        for (auto [baud, reload] : expected) {
            b.run.FormChange = false;
            ASSERT_TRUE(b.combo("Baund").userPick(baud));
            EXPECT_EQ(b.text("UART_Rate"), reload) << baud;
            EXPECT_TRUE(b.run.FormChange);
        }
    }
}

TEST(ConfigBandPlan, PickingABaudRateWhileLoadingMarksNothing) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.form->Loading = true;
    b.combo("Baund").userPick("2400");
    EXPECT_EQ(b.text("UART_Rate"), "C8");
    EXPECT_FALSE(b.run.FormChange);
}

TEST(ConfigBandPlan, SamplingFrequencyUpdatesOnTheSecondCharacterOnly) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    ui::TextBox& h = b.box("FText", 1);
    b.form->setFocus(h);
    h.setText("");
    b.form->keyStroke(h, '5');
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.92); // one digit: nothing
    b.form->keyStroke(h, '0');
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.5);
    EXPECT_EQ(b.text("UART_Rate"), "F2");
    // Backspace released while two characters remain: nothing.
    h.setText("301");
    b.form->keyStroke(h, ui::kBackspace);
    EXPECT_EQ(h.text(), "30");
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.5);
    // Any other key released does it, even one that types nothing.
    b.form->keyStroke(h, kShift);
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.3);
    // Key releases in box 0 do nothing by themselves.
    b.form->setFocus(b.box("FText", 0));
    b.box("FText", 0).setText("");
    b.form->keyStroke(b.box("FText", 0), '3');
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.3);
}

// Decision: the key release goes to the box that has the focus, so typing the second digit of
// the whole MHz takes the new frequency through box 1.
TEST(ConfigBandPlanDecisions, TypingFollowsTheFocus) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        b.form->typeText(b.box("FText", 0), "26");
        EXPECT_EQ(b.text("FText(0)"), "26");
        EXPECT_EQ(b.form->focused(), b.form->find("FText", 1));
        EXPECT_DOUBLE_EQ(b.form->Fsample, 26.92);
        // Both carriers keep their MHz; their indices follow.
        EXPECT_EQ(b.text("DwCarrierText(0)"), "005");
        EXPECT_EQ(b.text("DwCarrierText(1)"), "99");
        EXPECT_EQ(b.text("Next_DownstreamL"), "E4"); // 5.99 x 1024 / 26.92 = 227.85
        EXPECT_EQ(b.text("Next_UpstreamL"), "4F");   // 2.07 x 1024 / 26.92 = 78.74
    }
}

TEST(ConfigBandPlan, AutoAdvance) {
    for (int mode = 1; mode <= 4; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        // FText: the second character moves on, and still goes into box 0.
        ui::TextBox& f0 = b.box("FText", 0);
        b.form->setFocus(f0);
        f0.setText("");
        b.form->keyStroke(f0, '3');
        EXPECT_EQ(b.form->focused(), &f0);
        b.form->keyStroke(f0, '0');
        EXPECT_EQ(f0.text(), "30");
        EXPECT_EQ(b.form->focused(), b.form->find("FText", 1));
        // Backspace never moves the focus.
        b.form->setFocus(f0);
        b.form->keyStroke(f0, ui::kBackspace);
        EXPECT_EQ(b.form->focused(), &f0);
        EXPECT_EQ(f0.text(), "3");

        // Carrier whole MHz: threshold 1, or 2 in MII_BP.
        ui::TextBox& w = b.box("DwCarrierText", 0);
        b.form->setFocus(w);
        w.setText("");
        b.form->keyStroke(w, '1');
        b.form->keyStroke(w, '2');
        if (mode == 3) {
            EXPECT_EQ(b.form->focused(), &w);
            b.form->keyStroke(w, '3');
            EXPECT_EQ(w.text(), "123");
        } else {
            EXPECT_EQ(w.text(), "012"); // padded by the key release in box 1
        }
        EXPECT_EQ(b.form->focused(), b.form->find("DwCarrierText", 1));
        b.form->setFocus(w);
        b.form->keyStroke(w, ui::kBackspace);
        EXPECT_EQ(b.form->focused(), &w);
    }
}

TEST(ConfigBandPlan, WholeBoxIsPaddedOnEveryReleaseInTheHundredths) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.form->typeText(b.box("DwCarrierText", 0), "7");
    b.form->setFocus(b.box("DwCarrierText", 1));
    b.box("DwCarrierText", 1).setText("");
    b.form->keyStroke(b.box("DwCarrierText", 1), '5');
    EXPECT_EQ(b.text("DwCarrierText(0)"), "007");
    EXPECT_EQ(b.text("Next_DownstreamL"), "ED"); // one hundredths digit: no index yet
    b.box("DwCarrierText", 0).setText("12");
    b.form->keyStroke(b.box("DwCarrierText", 1), ui::kBackspace);
    EXPECT_EQ(b.text("DwCarrierText(0)"), "012");
    b.box("DwCarrierText", 0).setText("");
    b.form->keyStroke(b.box("DwCarrierText", 1), '1');
    EXPECT_EQ(b.text("DwCarrierText(0)"), "");
}

TEST(ConfigBandPlan, ArrowsStepByOneHundredth) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference()); // downstream 005 / 99
    auto& scroll = dynamic_cast<ui::UpDown&>(*b.form->find("DownCarrierScroll"));
    ASSERT_TRUE(scroll.userUp());
    EXPECT_EQ(b.text("DwCarrierText(0)"), "006");
    EXPECT_EQ(b.text("DwCarrierText(1)"), "00");
    EXPECT_EQ(b.text("Next_DownstreamL"), "ED"); // 6.00 -> 237.04
    ASSERT_TRUE(scroll.userDown());
    EXPECT_EQ(b.text("DwCarrierText(0)"), "005");
    EXPECT_EQ(b.text("DwCarrierText(1)"), "99");
    b.box("DwCarrierText", 1).setText("08");
    scroll.userUp();
    EXPECT_EQ(b.text("DwCarrierText(1)"), "09");
    EXPECT_EQ(b.text("Next_DownstreamL"), "C9"); // 5.09 -> 201.09
    b.box("DwCarrierText", 1).setText("10");
    scroll.userDown();
    EXPECT_EQ(b.text("DwCarrierText(1)"), "09");
    // A single 9 is no carry.
    b.box("DwCarrierText", 1).setText("9");
    scroll.userUp();
    EXPECT_EQ(b.text("DwCarrierText(1)"), "10");
    EXPECT_EQ(b.text("DwCarrierText(0)"), "005");
    // The upstream arrows step the upstream pair.
    auto& up = dynamic_cast<ui::UpDown&>(*b.form->find("UpCarrierScroll"));
    up.userUp();
    EXPECT_EQ(b.text("UsCarrierText(1)"), "08");
    EXPECT_EQ(b.text("DwCarrierText(1)"), "10");
    EXPECT_TRUE(b.run.FormChange);
}

TEST(ConfigBandPlan, ArrowsStopAtZero) {
    Bench b(4);
    ASSERT_TRUE(b.loadReference());
    auto& scroll = dynamic_cast<ui::UpDown&>(*b.form->find("DownCarrierScroll"));
    b.box("DwCarrierText", 0).setText("000");
    b.box("DwCarrierText", 1).setText("01");
    scroll.userDown();
    EXPECT_EQ(b.text("DwCarrierText(1)"), "00");
    EXPECT_EQ(b.text("Next_DownstreamL"), "0");
    scroll.userDown();
    EXPECT_EQ(b.text("DwCarrierText(0)"), "000");
    EXPECT_EQ(b.text("DwCarrierText(1)"), "00");
    scroll.userUp();
    EXPECT_EQ(b.text("DwCarrierText(1)"), "01");
}

// Decision: no result leaves the derived field as it is.
TEST(ConfigBandPlanDecisions, NoResultKeepsTheDerivedText) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    auto& scroll = dynamic_cast<ui::UpDown&>(*b.form->find("DownCarrierScroll"));
    b.box("DwCarrierText", 0).setText("ab");
    scroll.userUp();
    EXPECT_EQ(b.text("DwCarrierText(0)"), "ab");
    b.form->typeText(b.box("DwCarrierText", 1), "50");
    EXPECT_EQ(b.text("Next_DownstreamL"), "ED");
    b.form->leave(nullptr);
    EXPECT_EQ(b.text("Next_DownstreamL"), "ED");

    // A B window at 0 MHz derives nothing.
    Bench z(1);
    auto s = referenceSlots(1);
    s[25] = 0;
    s[24] = 0;
    ASSERT_TRUE(z.loadSlots(s));
    EXPECT_EQ(z.form->Fsample, 0.0);
    EXPECT_EQ(z.text("DwCarrierText(0)"), "");
    EXPECT_EQ(z.text("DownBitrate"), "");
    EXPECT_EQ(z.text("UART_Rate"), "F2");
    z.combo("Baund").userPick("2400");
    EXPECT_EQ(z.text("UART_Rate"), "F2");
    typeCarrier(z, true, "5", "99");
    EXPECT_EQ(z.text("Next_DownstreamL"), "ED");
    for (const std::string& n : z.form->boundFieldNames())
        EXPECT_EQ(z.text(n).find("nan"), std::string::npos) << n;
}

TEST(ConfigBandPlan, BPlusRefusesLessThanFiveMegahertz) {
    for (int mode : {3, 4}) {
        Bench b(mode);
        ASSERT_TRUE(b.loadReference());
        b.form->typeText(b.box("FText", 1), "99");
        b.form->typeText(b.box("FText", 0), "04");
        ASSERT_EQ(b.boxes(), 1u);
        EXPECT_EQ(b.lastBox()->text, "The Fsample can't be less then 5 MHZ");
        EXPECT_EQ(b.lastBox()->title, "Wrong F sample");
        EXPECT_EQ(b.lastBox()->buttons, ui::Buttons::OK);
        EXPECT_EQ(b.text("FText(0)"), "05");
        EXPECT_EQ(b.text("FText(1)"), "00");
        EXPECT_EQ(b.form->Fsample, 5.0);
        // The derived fields follow 5 MHz.
        EXPECT_EQ(b.text("UART_Rate"), "FD"); // 256 - 5e6 / 1843200 = 253.29
        // Leaving the pair now raises nothing further.
        b.form->leave(b.form->find("Baund"));
        EXPECT_EQ(b.boxes(), 1u);
        // Exactly 5.00 is accepted.
        b.form->typeText(b.box("FText", 1), "00");
        b.form->typeText(b.box("FText", 0), "05");
        b.form->leave(nullptr);
        EXPECT_EQ(b.boxes(), 1u);
        EXPECT_EQ(b.form->Fsample, 5.0);
    }
    Bench bw(2);
    ASSERT_TRUE(bw.loadReference());
    bw.form->typeText(bw.box("FText", 1), "99");
    bw.form->typeText(bw.box("FText", 0), "04");
    EXPECT_EQ(bw.boxes(), 0u);
    EXPECT_DOUBLE_EQ(bw.form->Fsample, 4.99);
}

// Decision: leaving an unfinished entry finishes it.
TEST(ConfigBandPlanDecisions, LeavingTheFrequencyPairTakesTheValue) {
    Bench b(2);
    ASSERT_TRUE(b.loadReference());
    b.form->typeText(b.box("FText", 1), "5"); // one digit: not taken yet
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.92);
    b.form->setFocus(b.box("FText", 0)); // moving inside the pair does not count
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.92);
    b.form->leave(b.form->find("Baund"));
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.05);
    EXPECT_EQ(b.text("Next_DownstreamL"), "F5"); // 5.99 x 1024 / 25.05 = 244.86
    // A pair equal to Fsample does nothing when left.
    b.box("Next_DownstreamL").setText("77");
    b.form->setFocus(b.box("FText", 1));
    b.form->leave(nullptr);
    EXPECT_EQ(b.text("Next_DownstreamL"), "77");

    Bench p(3);
    ASSERT_TRUE(p.loadReference());
    p.form->typeText(p.box("FText", 0), "4");
    p.form->leave(p.form->find("Dw_Stram_Cons"));
    ASSERT_EQ(p.boxes(), 1u);
    EXPECT_EQ(p.lastBox()->title, "Wrong F sample");
    EXPECT_EQ(p.text("FText(0)"), "05");
    EXPECT_EQ(p.text("FText(1)"), "00");
}

TEST(ConfigBandPlanDecisions, LeavingACarrierPairConvertsIt) {
    Bench b(4);
    ASSERT_TRUE(b.loadReference());
    b.form->typeText(b.box("UsCarrierText", 0), "7"); // 7.07
    EXPECT_EQ(b.text("Next_UpstreamL"), "52");
    b.form->setFocus(b.box("UsCarrierText", 1)); // inside the pair
    EXPECT_EQ(b.text("Next_UpstreamL"), "52");
    b.form->leave(b.form->find("Baund"));
    EXPECT_EQ(b.text("Next_UpstreamL"), "17"); // 279.31 -> 0x117
    EXPECT_EQ(b.text("Next_UpstreamH"), "1");
    // A pair the user did not touch is not converted again.
    b.box("Next_DownstreamL").setText("11");
    b.form->setFocus(b.box("DwCarrierText", 0));
    b.form->leave(nullptr);
    EXPECT_EQ(b.text("Next_DownstreamL"), "11");
}

TEST(ConfigBandPlanDecisions, StoringFinishesPendingEntries) {
    Bench b(2);
    const image::Image img = imageWith(2, referenceSlots(2));
    ASSERT_TRUE(b.load(img));
    b.form->typeText(b.box("FText", 1), "5"); // the focus stays in the box
    const image::Image out = b.saved(img);
    EXPECT_EQ(out[static_cast<std::size_t>(offsetOf(2, 24))], 5);
    EXPECT_EQ(out[static_cast<std::size_t>(offsetOf(2, 2))], 0xF5);
    b.form->typeText(b.box("DwCarrierText", 0), "6"); // 6.99 at 25.05
    b.form->SendDigToModem();
    // 6.99 x 1024 / 25.05 = 285.74 -> 286 = 0x11E
    EXPECT_EQ(b.cm.OverrideTable[static_cast<std::size_t>(image::positionOf(offsetOf(2, 2)))],
              0x1E);
    EXPECT_EQ(b.cm.OverrideTable[static_cast<std::size_t>(image::positionOf(offsetOf(2, 3)))],
              0x01);
}

} // namespace
} // namespace rw::config::test

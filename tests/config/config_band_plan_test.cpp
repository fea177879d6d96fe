// Sampling frequency and carriers typed key by key: carrier indices, the UART reload value,
// auto-advance, padding, arrows, the B+ minimum and the finishing of an entry on leaving.
#include "config_test_support.h"

namespace rw::config::test {
namespace {

constexpr int kShift = 16; // a key that puts no character in

void typeCarrier(Bench& b, bool down, const std::string& whole, const std::string& hund) {
    b.type(down ? "DwCarrierText" : "UsCarrierText", 0, whole);
    b.type(down ? "DwCarrierText" : "UsCarrierText", 1, hund);
}

// Types the sampling frequency as a user does: hundredths first, then the whole MHz.
void typeFsample(Bench& b, const std::string& whole, const std::string& hund) {
    b.type("FText", 1, hund);
    b.type("FText", 0, whole);
}

TEST(ConfigBandPlan, CarrierIndicesAndUartReloadAt25_92) {
    forEachMode([](Bench& b) {
        bool down = true;
        for (const auto& c : kCarriersAt2592) {
            SCOPED_TRACE(c.mhz);
            typeCarrier(b, down, c.whole, c.hundredths);
            const std::string word = down ? "Next_Downstream" : "Next_Upstream";
            b.expectTexts(word + "L=" + c.low + ";" + word + "H=" + c.high);
            // The whole MHz padded to three digits.
            const std::string whole = std::string(3 - std::string(c.whole).size(), '0') + c.whole;
            EXPECT_EQ(b.text(down ? "DwCarrierText(0)" : "UsCarrierText(0)"), whole);
            down = !down;
        }
        EXPECT_EQ(b.boxes(), 0u);
        for (const auto& c : kUartReloadAt2592) {
            b.run.FormChange = false;
            b.pick("Baund", c.baud);
            EXPECT_EQ(b.text("UART_Rate"), c.reload) << c.baud;
            EXPECT_TRUE(b.run.FormChange) << c.baud;
        }
        // While loading a pick still updates, but marks nothing.
        b.run.FormChange = false;
        b.form->Loading = true;
        b.pick("Baund", "2400");
        EXPECT_EQ(b.text("UART_Rate"), "C8");
        EXPECT_FALSE(b.run.FormChange);
    });
    Loaded b(2);
    typeFsample(b, "20", "48"); // 20.48 MHz: N = 50 x f, and 4.75 gives 237.5: even
    EXPECT_DOUBLE_EQ(b.form->Fsample, 20.48);
    typeCarrier(b, true, "4", "75");
    EXPECT_EQ(b.text("Next_DownstreamL"), "EE");
}

TEST(ConfigBandPlan, SamplingFrequencyUpdatesOnTheSecondCharacterOnly) {
    Loaded b(2);
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
    forEachMode([](Bench& b) {
        b.type("FText", 0, "26");
        EXPECT_EQ(b.text("FText(0)"), "26");
        EXPECT_EQ(b.form->focused(), b.find("FText", 1));
        EXPECT_DOUBLE_EQ(b.form->Fsample, 26.92);
        // Both carriers keep their MHz; their indices follow: 5.99 x 1024 / 26.92 = 227.85 and
        // 2.07 x 1024 / 26.92 = 78.74.
        b.expectTexts("DwCarrierText(0)=005;DwCarrierText(1)=99;Next_DownstreamL=E4;"
                      "Next_UpstreamL=4F");
    });
}

TEST(ConfigBandPlan, AutoAdvance) {
    forEachMode([](Bench& b) {
        // FText: the second character moves on, and still goes into box 0.
        ui::TextBox& f0 = b.box("FText", 0);
        b.form->setFocus(f0);
        f0.setText("");
        b.form->keyStroke(f0, '3');
        EXPECT_EQ(b.form->focused(), &f0);
        b.form->keyStroke(f0, '0');
        EXPECT_EQ(f0.text(), "30");
        EXPECT_EQ(b.form->focused(), b.find("FText", 1));
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
        if (b.mode == 3) {
            EXPECT_EQ(b.form->focused(), &w);
            b.form->keyStroke(w, '3');
        }
        EXPECT_EQ(w.text(), b.mode == 3 ? "123" : "012"); // padded by the release in box 1
        EXPECT_EQ(b.form->focused(), b.find("DwCarrierText", 1));
        b.form->setFocus(w);
        b.form->keyStroke(w, ui::kBackspace);
        EXPECT_EQ(b.form->focused(), &w);
    });
}

TEST(ConfigBandPlan, WholeBoxIsPaddedOnEveryReleaseInTheHundredths) {
    Loaded b(2);
    ui::TextBox& hund = b.box("DwCarrierText", 1);
    b.type("DwCarrierText", 0, "7");
    b.form->setFocus(hund);
    hund.setText("");
    b.form->keyStroke(hund, '5');
    // One hundredths digit: no index yet.
    b.expectTexts("DwCarrierText(0)=007;Next_DownstreamL=ED");
    b.box("DwCarrierText", 0).setText("12");
    b.form->keyStroke(hund, ui::kBackspace);
    EXPECT_EQ(b.text("DwCarrierText(0)"), "012");
    b.box("DwCarrierText", 0).setText("");
    b.form->keyStroke(hund, '1');
    EXPECT_EQ(b.text("DwCarrierText(0)"), "");
}

TEST(ConfigBandPlan, ArrowsStepByOneHundredthAndStopAtZero) {
    Loaded b(2); // downstream 005 / 99
    auto& scroll = b.arrows("DownCarrierScroll");
    ASSERT_TRUE(scroll.userUp());
    b.expectTexts("DwCarrierText(0)=006;DwCarrierText(1)=00;Next_DownstreamL=ED"); // 237.04
    ASSERT_TRUE(scroll.userDown());
    b.expectTexts("DwCarrierText(0)=005;DwCarrierText(1)=99");
    b.box("DwCarrierText", 1).setText("08");
    scroll.userUp();
    b.expectTexts("DwCarrierText(1)=09;Next_DownstreamL=C9"); // 5.09 -> 201.09
    b.box("DwCarrierText", 1).setText("10");
    scroll.userDown();
    EXPECT_EQ(b.text("DwCarrierText(1)"), "09");
    // A single 9 is no carry.
    b.box("DwCarrierText", 1).setText("9");
    scroll.userUp();
    b.expectTexts("DwCarrierText(1)=10;DwCarrierText(0)=005");
    // The upstream arrows step the upstream pair.
    b.arrows("UpCarrierScroll").userUp();
    b.expectTexts("UsCarrierText(1)=08;DwCarrierText(1)=10");
    EXPECT_TRUE(b.run.FormChange);

    Loaded z(4);
    auto& down = z.arrows("DownCarrierScroll");
    z.box("DwCarrierText", 0).setText("000");
    z.box("DwCarrierText", 1).setText("01");
    down.userDown();
    z.expectTexts("DwCarrierText(1)=00;Next_DownstreamL=0");
    down.userDown();
    z.expectTexts("DwCarrierText(0)=000;DwCarrierText(1)=00");
    down.userUp();
    EXPECT_EQ(z.text("DwCarrierText(1)"), "01");
}

// Decision: no result leaves the derived field as it is.
TEST(ConfigBandPlanDecisions, NoResultKeepsTheDerivedText) {
    Loaded b(2);
    b.box("DwCarrierText", 0).setText("ab");
    b.arrows("DownCarrierScroll").userUp();
    EXPECT_EQ(b.text("DwCarrierText(0)"), "ab");
    b.type("DwCarrierText", 1, "50");
    EXPECT_EQ(b.text("Next_DownstreamL"), "ED");
    b.form->leave(nullptr);
    EXPECT_EQ(b.text("Next_DownstreamL"), "ED");

    // A B window at 0 MHz derives nothing.
    Bench z(1);
    ASSERT_TRUE(z.loadWith({{25, 0}, {24, 0}}));
    EXPECT_EQ(z.form->Fsample, 0.0);
    z.expectTexts("DwCarrierText(0)=;DownBitrate=;UART_Rate=F2");
    z.pick("Baund", "2400");
    EXPECT_EQ(z.text("UART_Rate"), "F2");
    typeCarrier(z, true, "5", "99");
    EXPECT_EQ(z.text("Next_DownstreamL"), "ED");
    for (const std::string& n : z.form->boundFieldNames())
        EXPECT_EQ(z.text(n).find("nan"), std::string::npos) << n;
}

TEST(ConfigBandPlan, BPlusRefusesLessThanFiveMegahertz) {
    forEachMode(
        [](Bench& b) {
            typeFsample(b, "04", "99");
            ASSERT_EQ(b.boxes(), 1u);
            b.expectBox("The Fsample can't be less then 5 MHZ", "Wrong F sample", ui::Buttons::OK,
                        std::nullopt);
            // The derived fields follow 5 MHz: 256 - 5e6 / 1843200 = 253.29.
            b.expectTexts("FText(0)=05;FText(1)=00;UART_Rate=FD");
            EXPECT_EQ(b.form->Fsample, 5.0);
            // Leaving the pair now raises nothing further; exactly 5.00 is accepted.
            b.form->leave(b.find("Baund"));
            typeFsample(b, "05", "00");
            b.form->leave(nullptr);
            EXPECT_EQ(b.boxes(), 1u);
            EXPECT_EQ(b.form->Fsample, 5.0);
        },
        {3, 4});
    Loaded bw(2);
    typeFsample(bw, "04", "99");
    EXPECT_EQ(bw.boxes(), 0u);
    EXPECT_DOUBLE_EQ(bw.form->Fsample, 4.99);
}

// Decision: leaving an unfinished entry finishes it.
TEST(ConfigBandPlanDecisions, LeavingTheFrequencyPairTakesTheValue) {
    Loaded b(2);
    b.type("FText", 1, "5"); // one digit: not taken yet
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.92);
    b.form->setFocus(b.box("FText", 0)); // moving inside the pair does not count
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.92);
    b.form->leave(b.find("Baund"));
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.05);
    EXPECT_EQ(b.text("Next_DownstreamL"), "F5"); // 5.99 x 1024 / 25.05 = 244.86
    // A pair equal to Fsample does nothing when left.
    b.box("Next_DownstreamL").setText("77");
    b.form->setFocus(b.box("FText", 1));
    b.form->leave(nullptr);
    EXPECT_EQ(b.text("Next_DownstreamL"), "77");

    Loaded p(3);
    p.type("FText", 0, "4");
    p.form->leave(p.find("Dw_Stram_Cons"));
    ASSERT_EQ(p.boxes(), 1u);
    EXPECT_EQ(p.lastBox()->title, "Wrong F sample");
    p.expectTexts("FText(0)=05;FText(1)=00");
}

TEST(ConfigBandPlanDecisions, LeavingACarrierPairConvertsIt) {
    Loaded b(4);
    b.type("UsCarrierText", 0, "7"); // 7.07
    EXPECT_EQ(b.text("Next_UpstreamL"), "52");
    b.form->setFocus(b.box("UsCarrierText", 1)); // inside the pair
    EXPECT_EQ(b.text("Next_UpstreamL"), "52");
    b.form->leave(b.find("Baund"));
    b.expectTexts("Next_UpstreamL=17;Next_UpstreamH=1"); // 279.31 -> 0x117
    // A pair the user did not touch is not converted again.
    b.box("Next_DownstreamL").setText("11");
    b.form->setFocus(b.box("DwCarrierText", 0));
    b.form->leave(nullptr);
    EXPECT_EQ(b.text("Next_DownstreamL"), "11");
}

TEST(ConfigBandPlanDecisions, StoringFinishesPendingEntries) {
    Loaded b(2);
    b.type("FText", 1, "5"); // the focus stays in the box
    b.expectSaved({{24, 5}, {2, 0xF5}});
    b.type("DwCarrierText", 0, "6"); // 6.99 at 25.05
    b.form->SendDigToModem();
    // 6.99 x 1024 / 25.05 = 285.74 -> 286 = 0x11E
    EXPECT_EQ(b.overrideAt(2), 0x1E);
    EXPECT_EQ(b.overrideAt(3), 0x01);
}

} // namespace
} // namespace rw::config::test

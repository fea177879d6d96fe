// Editing reactions of the windows. The arithmetic itself is tested on the shared routines;
// here, that each window wires it to the right fields and marks the right edits.
#include "config/general_module.h"
#include "support/platform_checks.h"
#include "support/window_bench.h"

#include <tuple>

namespace rw::config {
namespace {

using namespace rw::test;

TEST(ConfigCarriers, TypedCarriersGiveTheirWordsAndBaudRatesTheReloadValue) {
    forEachMode([](Bench& b) {
        run(b, {"type DwCarrierText(0) 5",
                "type DwCarrierText(1) 99 -> "
                "Next_DownstreamL=ED;Next_DownstreamH=0;DwCarrierText(0)=005",
                "type UsCarrierText(0) 12",
                "type UsCarrierText(1) 00 -> "
                "Next_UpstreamL=DA;Next_UpstreamH=1;UsCarrierText(0)=012;changed=1",
                "pick Baund 2400 -> UART_Rate=C8;changed=1",
                "loading 1", // a pick while loading updates, but marks nothing
                "pick Baund 115200 -> UART_Rate=FF;changed=0;boxes=0"});
    });
}

TEST(ConfigCarriers, SamplingFrequencyUpdatesOnTheSecondCharacterOnly) {
    Loaded b(2);
    run(b, {"focus FText(1)", "set FText(1) ",
            "key FText(1) 53 -> Fsample=25.92", // one digit: nothing
            "key FText(1) 48 -> Fsample=25.5",
            "set FText(1) 301", // Backspace released while two characters remain: nothing
            "key FText(1) 8 -> FText(1)=30;Fsample=25.5",
            "key FText(1) 16 -> Fsample=25.3", // any other key does it, even Shift
            "focus FText(0)", "set FText(0) ",
            "key FText(0) 51 -> FText(0)=3;Fsample=25.3"}); // box 0 releases do nothing
}

// Decision: the key release goes to the box that has the focus, so typing the second digit of
// the whole MHz takes the new frequency through box 1; line rates, reload value and carrier
// words follow, the carriers keeping their MHz.
TEST(ConfigCarriers, NewSamplingFrequencyRecomputesEveryDerivedField) {
    forEachMode([](Bench& b) {
        // 5.99 x 1024 / 26.92 = 227.85 and 2.07 x 1024 / 26.92 = 78.74; 16/12 and 4/6 give
        // 8.97; 256 - 26.92e6 / (192 x 2400) = 197.58.
        run(b,
            {"pick Baund 2400",
             "type FText(0) 26 -> "
             "FText(0)=26;focus=FText(1);Fsample=26.92;DwCarrierText(0)=005;DwCarrierText(1)=99;"
             "Next_DownstreamL=E4;Next_UpstreamL=4F;DownBitrate=8.97;UpBitrate=8.97;UART_Rate=C6",
             "pick Up_Stram_Cons 32",
             "set Up_Stram_Inter 16", // shown, not offered: no click
             "type FText(1) 92",
             "type FText(0) 25 -> UpBitrate=8.1;DownBitrate=8.64;UART_Rate=C8"});
    });
}

TEST(ConfigCarriers, AutoAdvanceAndPadding) {
    forEachMode([](Bench& b) {
        const bool mp = b.mode == 3; // MII_BP moves on after two characters, the rest one
        run(b, {"focus FText(0)", "set FText(0) ", "key FText(0) 51 -> focus=FText(0)",
                "key FText(0) 48 -> FText(0)=30;focus=FText(1)", // the key goes into box 0
                "focus FText(0)",
                "key FText(0) 8 -> FText(0)=3;focus=FText(0)", // Backspace never moves on
                "focus DwCarrierText(0)", "set DwCarrierText(0) ", "key DwCarrierText(0) 49"});
        run(b,
            {{"key DwCarrierText(0) 50", mp ? "focus=DwCarrierText(0)" : "focus=DwCarrierText(1)"},
             mp ? "key DwCarrierText(0) 51" : "",
             // padded by the release in box 1
             {"", std::string("focus=DwCarrierText(1);DwCarrierText(0)=") + (mp ? "123" : "012")},
             "focus DwCarrierText(0)",
             "key DwCarrierText(0) 8 -> focus=DwCarrierText(0)"});
    });
    Loaded b(2); // the whole box is padded on every release in the hundredths
    run(b, {"type DwCarrierText(0) 7", "focus DwCarrierText(1)", "set DwCarrierText(1) ",
            "key DwCarrierText(1) 53 -> DwCarrierText(0)=007;Next_DownstreamL=ED", // no index
            "set DwCarrierText(0) 12", "key DwCarrierText(1) 8 -> DwCarrierText(0)=012",
            "set DwCarrierText(0) ", "key DwCarrierText(1) 49 -> DwCarrierText(0)="});
}

TEST(ConfigCarriers, ArrowsStepByOneHundredthAndStopAtZero) {
    Loaded b(2); // downstream 005 / 99
    run(b,
        {"up DownCarrierScroll -> "
         "DwCarrierText(0)=006;DwCarrierText(1)=00;Next_DownstreamL=ED;changed=1",
         "down DownCarrierScroll -> DwCarrierText(0)=005;DwCarrierText(1)=99",
         "set DwCarrierText(1) 08",
         "up DownCarrierScroll -> DwCarrierText(1)=09;Next_DownstreamL=C9", // 5.09: 201.09
         "set DwCarrierText(1) 10", "down DownCarrierScroll -> DwCarrierText(1)=09",
         "set DwCarrierText(1) 9", // a single 9 is no carry
         "up DownCarrierScroll -> DwCarrierText(1)=10;DwCarrierText(0)=005",
         "set DwCarrierText(1) 1.5", // no whole number: no step
         "up DownCarrierScroll -> DwCarrierText(1)=1.5;DwCarrierText(0)=005",
         "set DwCarrierText(1) 10", "up UpCarrierScroll -> UsCarrierText(1)=08;DwCarrierText(1)=10",
         "set DwCarrierText(0) 000", "set DwCarrierText(1) 01",
         "down DownCarrierScroll -> DwCarrierText(1)=00;Next_DownstreamL=0",
         "down DownCarrierScroll -> DwCarrierText(0)=000;DwCarrierText(1)=00"});
}

// Decision: no result leaves the derived field as it is.
TEST(ConfigCarriersDecisions, NoResultKeepsTheDerivedText) {
    Loaded b(2);
    run(b, {"set DwCarrierText(0) ab", "up DownCarrierScroll -> DwCarrierText(0)=ab",
            "type DwCarrierText(1) 50 -> Next_DownstreamL=ED", "leave -> Next_DownstreamL=ED",
            "set DwCarrierText(0) ", // an empty box reads as 0: 0.5 x 1024 / 25.92 = 19.75
            "type DwCarrierText(1) 50 -> Next_DownstreamL=14",
            "set Up_Stram_Inter 0", // a text without value, as a stored code 12
            "type FText(1) 50 -> UpBitrate=8.64;DownBitrate=8.5"}); // 25.5 / 12 x 4
    Bench z(1); // a B window at 0 MHz derives nothing
    ASSERT_TRUE(z.loadWith({{25, 0}, {24, 0}}));
    run(z, {" -> Fsample=0;DwCarrierText(0)=;DownBitrate=;UART_Rate=F2", "pick Baund 2400",
            "type DwCarrierText(0) 5",
            "type DwCarrierText(1) 99 -> UART_Rate=F2;Next_DownstreamL=ED"});
    for (const std::string& n : z.form->boundFieldNames())
        EXPECT_EQ(z.text(n).find("nan"), std::string::npos) << n;
}

TEST(ConfigCarriers, BPlusRefusesLessThanFiveMegahertz) {
    forEachMode(
        [](Bench& b) {
            // The derived fields follow 5 MHz: 256 - 5e6 / 1843200 = 253.29. Leaving the pair
            // then raises nothing further; exactly 5.00 is accepted.
            run(b, {"type FText(1) 99",
                    "type FText(0) 04 -> "
                    "boxes=1;FText(0)=05;FText(1)=00;UART_Rate=FD;Fsample=5;why:FText(0)=1;why:"
                    "FText(1)=1",
                    "leave Baund -> boxes=1", "type FText(1) 00", "type FText(0) 05",
                    "leave -> boxes=1;Fsample=5;why:FText(0)=0;why:FText(1)=0"});
            EXPECT_TRUE(lastBoxIs(b.platform, "The Fsample can't be less then 5 MHZ",
                                  "Wrong F sample", ui::Buttons::OK, std::nullopt));
        },
        {3, 4});
    Loaded bw(2);
    run(bw, {"type FText(1) 99", "type FText(0) 04 -> boxes=0;Fsample=4.99"});
}

// Decision: leaving an unfinished entry, or storing, finishes it.
TEST(ConfigCarriersDecisions, LeavingAPairOrStoringTakesTheEntry) {
    Loaded b(2);
    run(b, {"type FText(1) 5",                 // one digit: not taken yet
            "focus FText(0) -> Fsample=25.92", // moving inside the pair does not count
            "leave Baund -> Fsample=25.05;Next_DownstreamL=F5", // 5.99 x 1024 / 25.05
            "set Next_DownstreamL 77", "focus FText(1)",
            "leave -> Next_DownstreamL=77"}); // a pair equal to Fsample does nothing
    Loaded c(4);
    run(c, {"type UsCarrierText(0) 7", "focus UsCarrierText(1) -> Next_UpstreamL=52",
            "leave Baund -> Next_UpstreamL=17;Next_UpstreamH=1", // 7.07: 279.31
            "set Next_DownstreamL 11", "focus DwCarrierText(0)",
            "leave -> Next_DownstreamL=11"}); // a pair the user did not touch
    Loaded p(3);
    run(p, {"type FText(0) 4", "leave Dw_Stram_Cons -> boxes=1;FText(0)=05;FText(1)=00"});

    Loaded s(4);
    s.type("FText", 1, "5"); // the focus stays in the box
    s.expectSaved({{24, 5}, {2, 0xF5}});
    s.type("DwCarrierText", 0, "6"); // 6.99 at 25.05: 285.74, 11Eh
    s.form->sendDigToModem();
    EXPECT_EQ(std::tuple(s.overrideAt(2), s.overrideAt(3)), std::tuple(0x1E, 0x01));
}

TEST(ConfigLineRates, EachDirectionShowsItsRate) {
    forEachMode([](Bench& b) {
        run(b, {"pick Dw_Stram_Cons 256", "pick Dw_Stram_Inter 16",
                // one factor only, selected at once
                "pick Up_Stram_Cons 128 -> Up_Stram_Inter=14;DownBitrate=12.96;UpBitrate=12.95",
                "pick Up_Stram_Cons 32 -> Up_Stram_Inter=10;UpBitrate=12.96"});
    });
}

TEST(ConfigLineRates, EmptiedInterpolationMovesTheFocusAndIsAskedForInBPlus) {
    forEachMode([](Bench& b) {
        const bool bp = b.mode >= 3;
        run(b, {"pick Dw_Stram_Cons 4", "pick Dw_Stram_Inter 6",
                "pick Dw_Stram_Cons 64 -> Dw_Stram_Inter=6;focus="}); // offered again: kept
        run(b, {{"pick Dw_Stram_Cons 256", std::string("Dw_Stram_Inter=;DownBitrate=25.92;focus=") +
                                               (bp ? "Dw_Stram_Inter" : "")},
                "focus Dw_Stram_Inter",
                {"leave Baund",
                 bp ? "ok=0;boxes=1;focus=Dw_Stram_Inter;why:Dw_Stram_Inter=1" : "ok=1;boxes=0"}});
        if (!bp) return;
        EXPECT_TRUE(lastBoxIs(b.platform, "You must specify interpolation", "Illegal Parameter"));
        run(b, {"click WriteReturn -> ok=0;boxes=2", // a button cannot be pressed past it
                "pick Dw_Stram_Inter 8 -> why:Dw_Stram_Inter=0", "leave Baund -> ok=1;boxes=2"});
    });
    Loaded b(3); // while loading: refilled all the same, no focus move, no mark
    run(b, {"loading 1", "pick Up_Stram_Cons 256 -> Up_Stram_Inter=;focus=;changed=0"});
    EXPECT_EQ(b.combo("Up_Stram_Inter").items().size(), 7u);
}

// Decision: a load ends with the rates of the texts shown, also for an interpolation the
// refilled list does not offer, and with an empty label where they give none; nothing of the
// file loaded before stays.
TEST(ConfigLineRatesDecisions, LoadShowsTheRatesOfTheTextsShown) {
    const struct {
        int mode, whole, hundredths;
        std::uint8_t up;
        const char *upRate, *downRate; // downstream 16 / 12 throughout
    } cases[] = {{1, 29, 93, packConsInter(128, 64), "3.27", "9.97"},
                 {2, 5, 99, packConsInter(16, 10), "2.39", "1.99"},
                 {3, 25, 0, packConsInter(64, 10), "15", "8.33"},
                 {4, 25, 92, 0xC1, "", "8.64"}}; // 256 with interpolation code 12, shown as "0"
    for (const auto& c : cases) {
        Loaded b(c.mode); // a file with rates of its own first
        ASSERT_TRUE(b.loadWith({{25, c.whole}, {24, c.hundredths}, {1, c.up}}));
        b.expectTexts(std::string("UpBitrate=") + c.upRate + ";DownBitrate=" + c.downRate);
    }
}

TEST(ConfigPsd, EachPairFollowsItsTextDownstreamConstellationAndAttenuation) {
    Loaded b(2);
    Loaded other(4); // another window's conversion holds none of this one's
    other.w().psdUpdating = true;
    run(b,
        {"pick Dw_Stram_Cons 256", "pick PowerController 0 -> changed=1",
         "type Max_PSD 59.95 -> Max_psdL=FF;Max_psdH=3;Max_PSD=59.95;changed=1", // by bytes
         "type Min_PSD 23.83 -> Min_psdL=10;Min_psdH=0;Min_PSD=23.83;Max_psdL=FF",
         "type Max_psdH 04", "type Max_psdL 00 -> Max_PSD=59.95;Min_PSD=23.83;changed=1",
         "pick PowerController 2 -> Max_PSD=61.95;Max_psdH=04;Max_psdL=00;Min_PSD=25.83;changed=1",
         "pick Dw_Stram_Cons 4 -> Max_PSD=59.45;Min_PSD=23.33", // -2.75
         "pick Up_Stram_Cons 128 -> Max_PSD=59.45;changed=1",   // the upstream plays no part
         "type Max_PSD - -> Max_psdL=00;changed=0;boxes=0"});   // a lone minus: nothing
}

// Decision: a dB text that was not converted shows one value while the bytes hold another. It
// stays red with its reason, and "Done" and storing refuse it, until it is converted or the
// bytes rewrite it.
TEST(ConfigPsdDecisions, TextNotConvertedIsRefusedUntilConverted) {
    for (const char* fix : {"pick PowerController 2", "type Min_PSD 40"}) {
        Loaded b(3);
        b.form->show();
        run(b, {"type Min_PSD 96 -> red:Min_PSD=1;why:Min_PSD=1", "done -> ok=0"});
        EXPECT_EQ(b.form->storageProblem(), "Min_PSD was not converted into a level.");
        EXPECT_TRUE(
            lastBoxIs(b.platform, "Min_PSD was not converted into a level.", "Illegal Parameter"));
        run(b, {{fix, "red:Min_PSD=0;why:Min_PSD=0"}, "done -> ok=1"});
    }
}

const std::string kHexBoxes = "TransmitePreambleL TransmitePreambleM TransmitePreambleH "
                              "ReceivePreambleL ReceivePreambleM ReceivePreambleH SleepCounterL "
                              "SleepCounterH UTOPIAAddress";

// B windows mark every change; B+ windows check the text when it is left.
TEST(ConfigHexEntry, BMarksEveryChangeBPlusChecksWhenLeft) {
    forEachMode([](Bench& b) {
        if (b.mode < 3) {
            for (const std::string& n : split(kHexBoxes + " Next_DownstreamL Next_DownstreamH "
                                                          "Next_UpstreamL Next_UpstreamH"))
                run(b, {{"set " + n + " G", "changed=1"}, {"focus " + n}, "leave -> ok=1"});
            run(b, {"loading 1", "set TransmitePreambleM 1 -> changed=0;boxes=0"});
            return;
        }
        std::string boxes = kHexBoxes;
        if (b.mode == 3)
            boxes += " PHY_StatusRegAddr PHY_SpeedBitNum PHY_DuplexBitNum PHY_SpeedPolarity "
                     "PHY_DuplexPolarity";
        int shown = 0;
        for (const std::string& n : split(boxes)) {
            run(b, {{"set " + n + " 0G", "changed=0"}, // a change alone marks nothing here
                    {"focus " + n},
                    {"leave Baund",
                     "ok=0;focus=" + n + ";why:" + n + "=1;boxes=" + std::to_string(++shown)},
                    {"set " + n + " a5", "why:" + n + "=0"},
                    "leave Baund -> ok=1;changed=1"});
            EXPECT_TRUE(lastBoxIs(b.platform, "Please insert new value", "Illegal Parameter"));
        }
        run(b, {"focus SleepCounterL",
                "leave -> changed=1",                     // a valid text left marks, changed or not
                "set Next_DownstreamL 12 -> changed=0"}); // carrier words: no reaction
    });
}

// Decision: the bit table holds (78 ticks Dacf, Adcuns, Dacuns and Timneg), and bits 1..0 are
// stored from the AFEControl text, so changing them alone is an edit.
TEST(ConfigAfe, TheTwoViewsFollowEachOther) {
    forEachMode([](Bench& b) {
        b.type("AFEControl", -1, "79"); // loaded as 7B
        b.expectSaved({{6, 0x79}});
        b.form->sendDigToModem();
        EXPECT_EQ(b.overrideAt(6), 0x79);
        run(b, {"type AFEControl 78 -> Adcf=0;Dacf=1;Adcuns=1;Dacuns=1;Timneg=1;Timnus=0;changed=1",
                "click Adcf -> AFEControl=7C;changed=1", "click Timneg -> AFEControl=3C",
                "type AFEControl 03 -> Adcf=0;Dacf=0;Adcuns=0;Dacuns=0;Timneg=0;Timnus=0",
                "click Timnus -> AFEControl=83",
                "click Timnus -> AFEControl=3;changed=1", // no leading zero
                "type AFEControl FF -> "
                "Adcf=1;Dacf=1;Adcuns=1;Dacuns=1;Timneg=1;Timnus=1;changed=1;boxes=0"});
        EXPECT_FALSE(b.form->afeUpdating);
    });
    Loaded b(2);
    run(b,
        {"type AFEControl FF -> changed=1",
         // flips no box, drops bits 1..0
         "set AFEControl FC -> Adcf=1;Dacf=1;Adcuns=1;Dacuns=1;Timneg=1;Timnus=1;changed=1",
         "set AFEControl fc -> changed=0", // the same value in other letters
         "set AFEControl  -> Adcf=0;Dacf=0;Adcuns=0;Dacuns=0;Timneg=0;Timnus=0;changed=1",
         "loading 1", // while loading the views follow, but nothing is marked
         "set AFEControl 84 -> Adcf=1;Dacf=0;Timnus=1", "set Dacf 1 -> AFEControl=8C;changed=0"});
}

// Guards: one view rewrites the other once, and the rewrite does not come back.
TEST(ConfigAfe, OneStepCascades) {
    Loaded b(3);
    int afeChanges = 0, timnusChanges = 0, psdChanges = 0;
    const ui::Connection c1 = b.box("AFEControl").stateChanged.connect([&] { ++afeChanges; });
    const ui::Connection c2 = b.check("Timnus").stateChanged.connect([&] { ++timnusChanges; });
    const ui::Connection c3 = b.box("Max_PSD").stateChanged.connect([&] { ++psdChanges; });
    const auto counts = [&] { return std::tuple(afeChanges, timnusChanges, psdChanges); };
    b.check("Adcf").userClick();
    EXPECT_EQ(counts(), std::tuple(1, 0, 0));
    b.box("AFEControl").setText("FF");
    EXPECT_EQ(counts(), std::tuple(2, 1, 0));
    EXPECT_EQ(b.text("AFEControl"), "FF");
    b.box("Max_psdL").setText("1");
    b.box("Max_PSD").setText("40");
    EXPECT_EQ(counts(), std::tuple(2, 1, 2)); // the bytes it writes do not write it back
    EXPECT_FALSE(b.w().psdUpdating);
}

// Every list and check box marks the change when the user picks or clicks, never while the
// window is loading; entries, arrows and byte boxes mark on their own.
TEST(ConfigMarking, EveryUserEditMarksExceptWhileLoading) {
    forEachMode([](Bench& b) {
        run(b, {" -> changed=0", // the window starts unchanged
                "type FText(1) 9 -> changed=1", "up UpCarrierScroll -> changed=1",
                "set Min_psdH 1 -> changed=1"});
        for (const auto& [f, c] : boundFields(b)) {
            auto* list = dynamic_cast<ui::ComboBox*>(c);
            if (!dynamic_cast<ui::CheckBox*>(c) && !(list && !list->items().empty())) continue;
            for (bool loading : {false, true}) {
                b.form->isLoading = loading;
                if (list)
                    list->userPick(list->items().front() == list->text() ? list->items().back()
                                                                         : list->items().front());
                else
                    static_cast<ui::CheckBox*>(c)->userClick();
                EXPECT_EQ(b.changed(), !loading) << c->fullName();
            }
            b.form->isLoading = false;
        }
    });
    // BACK_SIGNALING marks when its text changes, even by the program. Any other program-made
    // selection clicks only when it changes; a user pick always.
    Loaded p(3);
    run(p, {"set BACK_SIGNALING 4096 -> changed=1"});
    Loaded a(2);
    run(a, {"set Baund 9600",
            "set Dric 1", // already ticked
            "set TX_Next_value 8 -> changed=0", "pick Baund 9600 -> changed=1"});
}

} // namespace
} // namespace rw::config

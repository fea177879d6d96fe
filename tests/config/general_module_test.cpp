#include "config/general_module.h"

#include "app/run_state.h"
#include "config_test_support.h"
#include "ui/controls.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

using namespace rw;
using namespace rw::config;
using rw::config::test::split;

namespace {

const std::vector<std::string> kConsItems = split("4 8 16 32 64 128 256");

} // namespace

// ---- number helpers ------------------------------------------------------------------------

TEST(GeneralNumbers, FloorHundredthsRoundsTowardsMinusInfinity) {
    const std::pair<double, double> cases[] = {
        {12.959, 12.95}, {-0.254, -0.26}, {12.96, 12.96}, {3, 3}};
    for (auto [x, want] : cases)
        EXPECT_DOUBLE_EQ(FloorHundredths(x), want) << x;
}

TEST(GeneralNumbers, LogBaseIsRatioOfNaturalLogarithms) {
    EXPECT_DOUBLE_EQ(LogBase(2, 256), 8);
    EXPECT_DOUBLE_EQ(LogBase(2, 128), 7);
    // Not exactly 3: the PSD of level 1000 depends on it.
    EXPECT_EQ(LogBase(10, 1000), std::log(1000.0) / std::log(10.0));
    EXPECT_LT(LogBase(10, 1000), 3.0);
}

TEST(GeneralNumbers, RoundHalfEvenTiesGoToEven) {
    const std::pair<double, long long> cases[] = {
        {236.5, 236}, {237.5, 238},  {0.5, 0},      {1.5, 2},          {-0.5, 0}, {-1.5, -2},
        {-2.6, -3},   {236.64, 237}, {199.75, 200}, {1e30, LLONG_MAX}, {NAN, 0}};
    for (auto [x, want] : cases)
        EXPECT_EQ(RoundHalfEven(x), want) << x;
}

TEST(GeneralNumbers, Round15KeepsFifteenSignificantDigits) {
    EXPECT_EQ(Round15(25.92 / 14), 1.85142857142857);
    EXPECT_NE(25.92 / 14, 1.85142857142857);
    EXPECT_EQ(Round15(1.62), 1.62);
    EXPECT_EQ(Round15(0.1 + 0.2), 0.3);
}

TEST(GeneralNumbers, FormatDecimalHasNoTrailingZerosNorExponent) {
    const std::pair<double, const char*> cases[] = {{12.96, "12.96"},
                                                    {13, "13"},
                                                    {8.1, "8.1"},
                                                    {0.5, "0.5"},
                                                    {0, "0"},
                                                    {-0.26, "-0.26"},
                                                    {100, "100"},
                                                    {8.100000000000001, "8.1"},
                                                    {0.00012, "0.00012"},
                                                    {NAN, ""}};
    EXPECT_EQ(FormatDecimal(1.85142857142857), "1.85142857142857");
    EXPECT_EQ(FormatDecimal(1e20), "100000000000000000000");
    for (auto [x, want] : cases)
        EXPECT_EQ(FormatDecimal(x), want) << want;
}

TEST(GeneralNumbers, HexIsUpperCaseWithoutLeadingZeros) {
    const std::pair<long long, const char*> cases[] = {{0, "0"},     {10, "A"},      {237, "ED"},
                                                       {256, "100"}, {0x169, "169"}, {-10, "-A"}};
    EXPECT_EQ(Hex(LLONG_MIN), "-8000000000000000");
    for (auto [x, want] : cases)
        EXPECT_EQ(Hex(x), want) << x;
}

TEST(GeneralNumbers, ReadHexLenientTakesTheLeadingHexDigits) {
    const std::pair<std::string, long long> cases[] = {
        {"ED", 237}, {"a5", 0xA5}, {"", 0},       {"G", 0},     {"0G", 0},
        {"1G2", 1},  {" 7", 7},    {"1 F", 0x1F}, {"100", 256}, {std::string(40, 'F'), LLONG_MAX}};
    for (const auto& [t, want] : cases)
        EXPECT_EQ(ReadHexLenient(t), want) << "'" << t << "'";
}

TEST(GeneralNumbers, ReadDecimalLenientTakesSignDigitsAndOnePoint) {
    const std::pair<const char*, double> cases[] = {
        {"005", 5},     {"7x", 7},     {"", 0},   {"-", 0},    {"abc", 0},
        {"-6.6", -6.6}, {"-6.", -6},   {"+2", 2}, {".5", 0.5}, {"1.2.3", 1.2},
        {"1e3", 1},     {" 1 2 ", 12}, {"5-3", 5}};
    for (auto [t, want] : cases)
        EXPECT_EQ(ReadDecimalLenient(t), want) << "'" << t << "'";
    EXPECT_FALSE(std::signbit(ReadDecimalLenient("-0")));
    EXPECT_TRUE(std::isfinite(ReadDecimalLenient(std::string(400, '9'))));
}

TEST(GeneralNumbers, ReadNumberStrictNeedsTheWholeText) {
    const std::pair<const char*, double> good[] = {
        {"16", 16}, {" 9600 ", 9600}, {"-1.5", -1.5}, {"05", 5}};
    for (auto [t, want] : good)
        EXPECT_EQ(ReadNumberStrict(t), want) << "'" << t << "'";
    for (const char* t : {"", "  ", "-", ".", "7x", "1 2", "1e3", "1.2.3"})
        EXPECT_FALSE(ReadNumberStrict(t)) << "'" << t << "'";
}

// ---- constellation and interpolation byte ----------------------------------------------------

TEST(GeneralConsInterByte, DecodesAndEncodesEveryCode) {
    // Constellation in bits 3..1 (bit 0 ignored), interpolation in bits 7..4.
    const int cons[8] = {256, 64, 16, 8, 4, 128, 32, 0};
    for (int code = 0; code < 8; ++code) {
        EXPECT_EQ(DecodeConstellation(static_cast<std::uint8_t>(code << 1)), cons[code]) << code;
        EXPECT_EQ(DecodeConstellation(static_cast<std::uint8_t>((code << 1) | 1)), cons[code])
            << code;
        if (cons[code]) {
            EXPECT_EQ(EncodeConstellation(cons[code]), code == 0 ? 1 : code << 1);
        }
    }
    const int inter[16] = {4, 6, 8, 12, 16, 24, 32, 48, 64, 10, 14, 0, 0, 0, 0, 0};
    for (int code = 0; code < 16; ++code) {
        EXPECT_EQ(DecodeInterpolation(static_cast<std::uint8_t>(code << 4 | 0x5)), inter[code])
            << code;
        if (inter[code]) {
            EXPECT_EQ(EncodeInterpolation(inter[code]), code << 4) << code;
        }
    }
    for (int noValue : {0, 512})
        EXPECT_EQ(EncodeConstellation(noValue), 0);
    for (int noValue : {0, 5})
        EXPECT_EQ(EncodeInterpolation(noValue), 0);
    for (int c : {4, 8, 16, 32, 64, 128, 256})
        for (int i : {4, 6, 8, 12, 16, 24, 32, 48, 64, 10, 14}) {
            const auto b = PackConsInter(c, i);
            EXPECT_EQ(DecodeConstellation(b), c);
            EXPECT_EQ(DecodeInterpolation(b), i);
        }
}

TEST(GeneralConsInterByte, EdgeCases) {
    EXPECT_EQ(PackConsInter(256, 12), 0x31);
    EXPECT_EQ(DecodeConstellation(0x30), 256);
    EXPECT_EQ(DecodeInterpolation(0x30), 12);
    // Bits 3..1 all set: no constellation; storing "0" back clears the half.
    EXPECT_EQ(DecodeConstellation(0x0E), 0);
    EXPECT_EQ(PackConsInter(0, 4) & 0x0F, 0);
    // Interpolation code 12: no value, stores back as code 0 (interpolation 4).
    EXPECT_EQ(DecodeInterpolation(0xC0), 0);
    EXPECT_EQ(PackConsInter(256, 0), 0x01);
    EXPECT_EQ(DecodeConstellation(PackConsInter(7, 8)), 256);
}

TEST(GeneralConsInterByte, ConstellationOffsets) {
    const std::pair<const char*, double> cases[] = {{"4", -2.75},   {"8", -0.5},   {"16", -0.5},
                                                    {"32", 0},      {"64", -0.25}, {"128", -3.5},
                                                    {"256", -0.25}, {"", 0},       {"0", 0}};
    for (auto [c, want] : cases)
        EXPECT_EQ(ConstellationOffset(c), want) << "'" << c << "'";
}

// ---- band plan and line rate -------------------------------------------------------------------

TEST(GeneralBandPlan, CarrierIndicesAt2592) {
    for (const auto& c : test::kCarriersAt2592) {
        const auto n = CarrierIndex(c.mhz, 25.92);
        ASSERT_TRUE(n) << c.mhz;
        EXPECT_EQ(*n, c.index) << c.mhz;
        EXPECT_EQ(Hex(*n % 256), c.low) << c.mhz;
        EXPECT_EQ(Hex((*n - *n % 256) / 256), c.high) << c.mhz;
    }
    EXPECT_EQ(CarrierIndex(236.5, 1024), 236); // ties go to even
    EXPECT_EQ(CarrierIndex(237.5, 1024), 238);
    EXPECT_EQ(CarrierIndex(0, 25.92), 0);
    // No result without a sampling frequency or a carrier.
    for (auto [f, fs] : {std::pair{5.99, 0.0}, {5.99, NAN}, {5.99, INFINITY}, {NAN, 25.92}})
        EXPECT_FALSE(CarrierIndex(f, fs)) << f << " at " << fs;
}

TEST(GeneralBandPlan, UartReload) {
    for (const auto& c : test::kUartReloadAt2592) {
        const auto r = UartReload(25.92, std::stod(c.baud));
        ASSERT_TRUE(r) << c.baud;
        EXPECT_EQ(Hex(*r), c.reload) << c.baud;
    }
    EXPECT_EQ(UartReload(5.0, 115200), 256); // refused later by the store, not here
    for (auto [fs, baud] : {std::pair{25.92, 0.0}, {25.92, -9600.0}, {25.92, NAN}, {NAN, 9600.0}})
        EXPECT_FALSE(UartReload(fs, baud)) << fs << " " << baud;
}

TEST(GeneralLineRate, WorkedRatesAt2592) {
    for (const auto& c : test::kRatesAt2592)
        EXPECT_EQ(FormatDecimal(*LineRate(25.92, c.interpolation, c.constellation)), c.rate)
            << c.constellation << "/" << c.interpolation;
    EXPECT_EQ(FormatDecimal(*LineRate(25.92, 16, 32)), "8.1");
    // 14/128 above: 25.92 / 14 * 7 is 12.96 unrounded; the 15-digit quotient gives 12.95.
    for (auto [inter, cons] : {std::pair{0, 256}, {16, 0}, {-16, 256}})
        EXPECT_FALSE(LineRate(25.92, inter, cons)) << inter << "/" << cons;
    EXPECT_FALSE(LineRate(NAN, 16, 256));
    EXPECT_EQ(LineRate(0, 16, 256), 0.0);
}

// ---- interpolation list ------------------------------------------------------------------------

class FillInterpolationListTest : public ::testing::Test {
protected:
    FillInterpolationListTest() {
        dwCons.setItems(kConsItems);
        upCons.setItems(kConsItems);
        upInter.setItems(split("4 6 8 10 12 14 16 24 32 48 64"));
        dwInter.onClick = [this] { ++dwClicks; };
    }
    void fillDown(const std::string& cons) {
        dwCons.setText(cons);
        FillInterpolationList(form, true);
    }
    ui::Form form{"Test", "Test"};
    ui::ComboBox& dwCons = form.add<ui::ComboBox>("Dw_Stram_Cons");
    ui::ComboBox& dwInter = form.add<ui::ComboBox>("Dw_Stram_Inter");
    ui::ComboBox& upCons = form.add<ui::ComboBox>("Up_Stram_Cons");
    ui::ComboBox& upInter = form.add<ui::ComboBox>("Up_Stram_Inter");
    int dwClicks = 0;
};

TEST_F(FillInterpolationListTest, ListOfEachConstellation) {
    // Single-entry rows select their factor (and click); the rest offer a list, nothing chosen.
    const std::pair<const char*, const char*> cases[] = {{"32", "10"},
                                                         {"128", "14"},
                                                         {"32x", "10"}, // read leniently
                                                         {"4", "4 6 8 12 16 24 32 48 64"},
                                                         {"8", "4 6 8 12 16 24 32 48 64"},
                                                         {"16", "4 6 8 12 16 24 32 48 64"},
                                                         {"64", "6 8 12 16 24 32 48 64"},
                                                         {"256", "8 12 16 24 32 48 64"},
                                                         {"0", ""},
                                                         {"", ""},
                                                         {"abc", ""},
                                                         {"16.5", ""},
                                                         {"512", ""}};
    for (auto [cons, list] : cases) {
        SCOPED_TRACE(std::string("constellation '") + cons + "'");
        dwInter.setItems({"4", "7"}); // a remembered factor no row offers
        dwInter.setListIndex(1);
        const int clicks = dwClicks;
        fillDown(cons);
        const auto items = split(list);
        EXPECT_EQ(dwInter.items(), items);
        EXPECT_EQ(dwInter.text(), items.size() == 1 ? items[0] : "");
        EXPECT_EQ(dwInter.listIndex(), items.size() == 1 ? 0 : -1);
        EXPECT_EQ(dwClicks - clicks, items.size() == 1 ? 1 : 0);
    }
}

TEST_F(FillInterpolationListTest, RememberedFactorKeptOnlyWhenOffered) {
    fillDown("16");
    ASSERT_TRUE(dwInter.userPick("6"));
    fillDown("64");
    EXPECT_EQ(dwInter.text(), "6");
    EXPECT_EQ(dwInter.listIndex(), 0);
    fillDown("256");
    EXPECT_EQ(dwInter.text(), "");
    // A single-entry row wins over the remembered text.
    fillDown("16");
    dwInter.userPick("48");
    fillDown("32");
    EXPECT_EQ(dwInter.text(), "10");
}

TEST_F(FillInterpolationListTest, UpstreamUsesItsOwnPair) {
    upInter.setListIndex(1); // "6"
    dwInter.setItems({"7"});
    upCons.setText("256");
    FillInterpolationList(form, false);
    EXPECT_EQ(upInter.items(), split("8 12 16 24 32 48 64"));
    EXPECT_EQ(upInter.text(), "");
    EXPECT_EQ(dwInter.items(), std::vector<std::string>{"7"});

    upCons.setText("64");
    upInter.setListIndex(-1);
    upInter.setText("8");
    FillInterpolationList(form, false);
    EXPECT_EQ(upInter.text(), "8");
    EXPECT_EQ(upInter.listIndex(), 1);
}

TEST(GeneralFillInterpolationList, FormWithoutThePairIsLeftAlone) {
    ui::Form form("Empty", "Empty");
    auto& cons = form.add<ui::ComboBox>("Dw_Stram_Cons");
    cons.setItems(kConsItems);
    cons.setText("32");
    FillInterpolationList(form, true);
    FillInterpolationList(form, false);
    EXPECT_EQ(cons.text(), "32");
}

// ---- PSD conversions ---------------------------------------------------------------------------

// The maximum PSD group of a configuration window, wired as the windows wire it.
class PsdTest : public ::testing::Test {
protected:
    PsdTest() {
        psd.setMaxLength(5);
        low.setMaxLength(2);
        high.setMaxLength(2);
        cons.setItems(kConsItems);
        att.setItems(split("0 1 2 3 4 5"));
        psd.onChange = [this] { PsdToBytes(PsdUpdating, psd, cons, att, low, high); };
        low.onChange = [this] {
            ++byteChanges;
            toPsd();
        };
        high.onChange = low.onChange;
        att.onClick = [this] { toPsd(); };
    }
    void toPsd() { BytesToPsd(PsdUpdating, psd, cons, att, low, high); }
    // Sets the group without any reaction running.
    void setQuietly(const std::string& c, const std::string& a, const std::string& p,
                    const std::string& l, const std::string& h) {
        PsdUpdating = true;
        cons.setText(c);
        att.setText(a);
        psd.setText(p);
        low.setText(l);
        high.setText(h);
        PsdUpdating = false;
        byteChanges = 0;
    }

    ui::Form form{"Test", "Test"};
    ui::TextBox& psd = form.add<ui::TextBox>("Max_PSD");
    ui::TextBox& low = form.add<ui::TextBox>("Max_psdL");
    ui::TextBox& high = form.add<ui::TextBox>("Max_psdH");
    ui::ComboBox& cons = form.add<ui::ComboBox>("Dw_Stram_Cons");
    ui::ComboBox& att = form.add<ui::ComboBox>("PowerController");
    bool PsdUpdating = false; // the window's guard
    int byteChanges = 0;
};

TEST_F(PsdTest, BytesToPsd) {
    for (const auto& c : test::kPsdLevels) {
        setQuietly(c.constellation, c.attenuation, "", c.low, c.high);
        toPsd();
        EXPECT_EQ(psd.text(), c.psd) << c.psd;
        EXPECT_FALSE(PsdUpdating);
    }
    setQuietly("256", "", "", "0", "4"); // an empty attenuation reads as 0
    toPsd();
    EXPECT_EQ(psd.text(), "59.95");
    // Bytes reading level 0 leave the text.
    for (auto [l, h] : {std::pair{"0", ""}, {"G", "x"}}) {
        setQuietly("256", "0", "12.5", l, h);
        toPsd();
        EXPECT_EQ(psd.text(), "12.5") << l << " " << h;
    }
}

TEST_F(PsdTest, TypedLevelsGiveTheirBytesAndKeepTheTypedText) {
    struct Case {
        const char *cons, *text;
        bool keyByKey;
        const char *low, *high; // AA/BB: nothing written
    };
    const Case cases[] = {
        // Level 1023 would read back as 59.94: the guard keeps the typed text.
        {"256", "59.95", true, "FF", "3"},
        {"256", "23.83", true, "10", "0"},
        {"32", "0", false, "1", "0"},
        {"32", "-6.5", false, "0", "0"},
        {"32", "-6.59", false, "0", "0"}, // just inside the open window
        {"256", "95.83", false, "A6", "F8"},
        // Outside the open window, empty or beyond 16 bits (92537 = 16979h): nothing.
        {"32", "-6.6", false, "AA", "BB"},
        {"32", "95.84", false, "AA", "BB"},
        {"32", "-7", false, "AA", "BB"},
        {"32", "100", false, "AA", "BB"},
        {"32", "-", false, "AA", "BB"},
        {"32", "", false, "AA", "BB"},
        {"128", "95.83", false, "AA", "BB"},
        // Typed key by key, "-6" converts and "-6.6" then stops converting.
        {"32", "-6.6", true, "1", "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cons) + " '" + c.text + "'" + (c.keyByKey ? " typed" : ""));
        setQuietly(c.cons, "0", "5", "AA", "BB");
        if (c.keyByKey)
            ASSERT_TRUE(form.typeText(psd, c.text));
        else
            psd.setText(c.text);
        EXPECT_EQ(low.text(), c.low);
        EXPECT_EQ(high.text(), c.high);
        EXPECT_EQ(psd.text(), c.text);
        EXPECT_EQ(byteChanges == 0, std::string(c.low) == "AA");
        EXPECT_FALSE(PsdUpdating);
    }
}

TEST_F(PsdTest, ByteOrAttenuationEditRewritesOnlyTheText) {
    setQuietly("256", "0", "", "0", "4");
    att.userPick("0");
    EXPECT_EQ(psd.text(), "59.95");
    att.userPick("2");
    EXPECT_EQ(psd.text(), "61.95");
    EXPECT_EQ(low.text(), "0");
    EXPECT_EQ(high.text(), "4");
    EXPECT_EQ(byteChanges, 0);
    // Editing a byte rewrites the text once, which must not convert back (59.95 gives 1023).
    setQuietly("256", "0", "1", "0", "0");
    high.setText("4");
    EXPECT_EQ(psd.text(), "59.95");
    EXPECT_EQ(low.text(), "0");
    EXPECT_EQ(high.text(), "4");
    EXPECT_EQ(byteChanges, 1);
}

TEST_F(PsdTest, BusyGuardStopsBothDirections) {
    setQuietly("256", "0", "1", "0", "4");
    PsdUpdating = true;
    toPsd();
    EXPECT_EQ(psd.text(), "1");
    psd.setText("23.83");
    EXPECT_EQ(low.text(), "0");
    EXPECT_TRUE(PsdUpdating); // a call that found it set leaves it to its owner
}

// ---- hex fields --------------------------------------------------------------------------------

TEST(GeneralHexEntry, IsHexByte) {
    // Longer texts are judged by value and first character.
    for (const char* t : {"0", "00", "7", "FF", "a5", "fF", "9", "0FF", "1xyz"})
        EXPECT_TRUE(IsHexByte(t)) << t;
    for (const char* t : {"", "G", "0G", "G0", " 7", "7 ", "-1", "g", "100", "x12"})
        EXPECT_FALSE(IsHexByte(t)) << t;
}

TEST(GeneralHexEntry, CheckHexFieldRejectsWithTheEntryMessageOrMarksChanged) {
    for (const char* t : {"", "G", "0G", "G0", " 7", "0", "00", "7", "FF", "a5"}) {
        SCOPED_TRACE(std::string("'") + t + "'");
        ui::ScriptedPlatform platform;
        app::RunState run;
        const bool bad = !IsHexByte(t);
        EXPECT_EQ(CheckHexField(t, platform, run.FormChange), bad);
        EXPECT_EQ(run.FormChange, !bad);
        ASSERT_EQ(platform.boxes.shown.size(), bad ? 1u : 0u);
        if (bad) {
            const auto& box = platform.boxes.shown[0];
            EXPECT_EQ(box.text, "Please insert new value");
            EXPECT_EQ(box.title, "Illegal Parameter");
            EXPECT_EQ(box.icon, ui::Icon::Exclamation);
            EXPECT_EQ(box.buttons, ui::Buttons::OK);
        }
    }
}

#include "config/general_module.h"

#include "app/run_state.h"
#include "ui/controls.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

using namespace rw;
using namespace rw::config;

namespace {

std::vector<std::string> texts(const std::vector<int>& v) {
    std::vector<std::string> out;
    for (int i : v)
        out.push_back(std::to_string(i));
    return out;
}

const std::vector<std::string> kConsItems = {"4", "8", "16", "32", "64", "128", "256"};

} // namespace

// ---- number helpers ------------------------------------------------------------------------

TEST(GeneralNumbers, FloorHundredthsRoundsTowardsMinusInfinity) {
    EXPECT_DOUBLE_EQ(FloorHundredths(12.959), 12.95);
    EXPECT_DOUBLE_EQ(FloorHundredths(-0.254), -0.26);
    EXPECT_DOUBLE_EQ(FloorHundredths(12.96), 12.96);
    EXPECT_DOUBLE_EQ(FloorHundredths(3), 3);
}

TEST(GeneralNumbers, LogBaseIsRatioOfNaturalLogarithms) {
    EXPECT_DOUBLE_EQ(LogBase(2, 256), 8);
    EXPECT_DOUBLE_EQ(LogBase(2, 128), 7);
    // Not exactly 3: the PSD of level 1000 depends on it.
    EXPECT_EQ(LogBase(10, 1000), std::log(1000.0) / std::log(10.0));
    EXPECT_LT(LogBase(10, 1000), 3.0);
}

TEST(GeneralNumbers, RoundHalfEvenTiesGoToEven) {
    EXPECT_EQ(RoundHalfEven(236.5), 236);
    EXPECT_EQ(RoundHalfEven(237.5), 238);
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(-2.6), -3);
    EXPECT_EQ(RoundHalfEven(236.64), 237);
    EXPECT_EQ(RoundHalfEven(199.75), 200);
    EXPECT_EQ(RoundHalfEven(1e30), LLONG_MAX);
    EXPECT_EQ(RoundHalfEven(NAN), 0);
}

TEST(GeneralNumbers, Round15KeepsFifteenSignificantDigits) {
    EXPECT_EQ(Round15(25.92 / 14), 1.85142857142857);
    EXPECT_NE(25.92 / 14, 1.85142857142857);
    EXPECT_EQ(Round15(1.62), 1.62);
    EXPECT_EQ(Round15(0.1 + 0.2), 0.3);
}

TEST(GeneralNumbers, FormatDecimalHasNoTrailingZerosNorExponent) {
    EXPECT_EQ(FormatDecimal(12.96), "12.96");
    EXPECT_EQ(FormatDecimal(13), "13");
    EXPECT_EQ(FormatDecimal(8.1), "8.1");
    EXPECT_EQ(FormatDecimal(0.5), "0.5");
    EXPECT_EQ(FormatDecimal(0), "0");
    EXPECT_EQ(FormatDecimal(-0.26), "-0.26");
    EXPECT_EQ(FormatDecimal(100), "100");
    EXPECT_EQ(FormatDecimal(8.100000000000001), "8.1");
    EXPECT_EQ(FormatDecimal(1.85142857142857), "1.85142857142857");
    EXPECT_EQ(FormatDecimal(0.00012), "0.00012");
    EXPECT_EQ(FormatDecimal(1e20), "100000000000000000000");
    EXPECT_EQ(FormatDecimal(NAN), "");
}

TEST(GeneralNumbers, HexIsUpperCaseWithoutLeadingZeros) {
    EXPECT_EQ(Hex(0), "0");
    EXPECT_EQ(Hex(10), "A");
    EXPECT_EQ(Hex(237), "ED");
    EXPECT_EQ(Hex(256), "100");
    EXPECT_EQ(Hex(0x169), "169");
    EXPECT_EQ(Hex(-10), "-A");
    EXPECT_EQ(Hex(LLONG_MIN), "-8000000000000000");
}

TEST(GeneralNumbers, ReadHexLenientTakesTheLeadingHexDigits) {
    EXPECT_EQ(ReadHexLenient("ED"), 237);
    EXPECT_EQ(ReadHexLenient("a5"), 0xA5);
    EXPECT_EQ(ReadHexLenient(""), 0);
    EXPECT_EQ(ReadHexLenient("G"), 0);
    EXPECT_EQ(ReadHexLenient("0G"), 0);
    EXPECT_EQ(ReadHexLenient("1G2"), 1);
    EXPECT_EQ(ReadHexLenient(" 7"), 7);
    EXPECT_EQ(ReadHexLenient("1 F"), 0x1F);
    EXPECT_EQ(ReadHexLenient("100"), 256);
    EXPECT_EQ(ReadHexLenient(std::string(40, 'F')), LLONG_MAX);
}

TEST(GeneralNumbers, ReadDecimalLenientTakesSignDigitsAndOnePoint) {
    EXPECT_EQ(ReadDecimalLenient("005"), 5);
    EXPECT_EQ(ReadDecimalLenient("7x"), 7);
    EXPECT_EQ(ReadDecimalLenient(""), 0);
    EXPECT_EQ(ReadDecimalLenient("-"), 0);
    EXPECT_EQ(ReadDecimalLenient("abc"), 0);
    EXPECT_EQ(ReadDecimalLenient("-6.6"), -6.6);
    EXPECT_EQ(ReadDecimalLenient("-6."), -6);
    EXPECT_EQ(ReadDecimalLenient("+2"), 2);
    EXPECT_EQ(ReadDecimalLenient(".5"), 0.5);
    EXPECT_EQ(ReadDecimalLenient("1.2.3"), 1.2);
    EXPECT_EQ(ReadDecimalLenient("1e3"), 1);
    EXPECT_EQ(ReadDecimalLenient(" 1 2 "), 12);
    EXPECT_EQ(ReadDecimalLenient("5-3"), 5);
    EXPECT_FALSE(std::signbit(ReadDecimalLenient("-0")));
    EXPECT_TRUE(std::isfinite(ReadDecimalLenient(std::string(400, '9'))));
}

TEST(GeneralNumbers, ReadNumberStrictNeedsTheWholeText) {
    EXPECT_EQ(ReadNumberStrict("16"), 16.0);
    EXPECT_EQ(ReadNumberStrict(" 9600 "), 9600.0);
    EXPECT_EQ(ReadNumberStrict("-1.5"), -1.5);
    EXPECT_EQ(ReadNumberStrict("05"), 5.0);
    EXPECT_FALSE(ReadNumberStrict(""));
    EXPECT_FALSE(ReadNumberStrict("  "));
    EXPECT_FALSE(ReadNumberStrict("-"));
    EXPECT_FALSE(ReadNumberStrict("."));
    EXPECT_FALSE(ReadNumberStrict("7x"));
    EXPECT_FALSE(ReadNumberStrict("1 2"));
    EXPECT_FALSE(ReadNumberStrict("1e3"));
    EXPECT_FALSE(ReadNumberStrict("1.2.3"));
}

// ---- constellation and interpolation byte ----------------------------------------------------

TEST(GeneralConsInterByte, DecodesEveryCode) {
    const int cons[8] = {256, 64, 16, 8, 4, 128, 32, 0};
    for (int code = 0; code < 8; ++code) {
        EXPECT_EQ(DecodeConstellation(static_cast<std::uint8_t>(code << 1)), cons[code]) << code;
        EXPECT_EQ(DecodeConstellation(static_cast<std::uint8_t>((code << 1) | 1)), cons[code])
            << code;
    }
    const int inter[16] = {4, 6, 8, 12, 16, 24, 32, 48, 64, 10, 14, 0, 0, 0, 0, 0};
    for (int code = 0; code < 16; ++code)
        EXPECT_EQ(DecodeInterpolation(static_cast<std::uint8_t>(code << 4 | 0x5)), inter[code])
            << code;
}

TEST(GeneralConsInterByte, EncodesTheTableValues) {
    EXPECT_EQ(EncodeConstellation(256), 0x1);
    EXPECT_EQ(EncodeConstellation(64), 0x2);
    EXPECT_EQ(EncodeConstellation(16), 0x4);
    EXPECT_EQ(EncodeConstellation(8), 0x6);
    EXPECT_EQ(EncodeConstellation(4), 0x8);
    EXPECT_EQ(EncodeConstellation(128), 0xA);
    EXPECT_EQ(EncodeConstellation(32), 0xC);
    EXPECT_EQ(EncodeConstellation(0), 0);
    EXPECT_EQ(EncodeConstellation(512), 0);
    EXPECT_EQ(EncodeInterpolation(4), 0x00);
    EXPECT_EQ(EncodeInterpolation(64), 0x80);
    EXPECT_EQ(EncodeInterpolation(10), 0x90);
    EXPECT_EQ(EncodeInterpolation(14), 0xA0);
    EXPECT_EQ(EncodeInterpolation(0), 0);
    EXPECT_EQ(EncodeInterpolation(5), 0);
}

TEST(GeneralConsInterByte, RoundTripsEveryPair) {
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
    EXPECT_EQ(ConstellationOffset("4"), -2.75);
    EXPECT_EQ(ConstellationOffset("8"), -0.5);
    EXPECT_EQ(ConstellationOffset("16"), -0.5);
    EXPECT_EQ(ConstellationOffset("32"), 0);
    EXPECT_EQ(ConstellationOffset("64"), -0.25);
    EXPECT_EQ(ConstellationOffset("128"), -3.5);
    EXPECT_EQ(ConstellationOffset("256"), -0.25);
    EXPECT_EQ(ConstellationOffset(""), 0);
    EXPECT_EQ(ConstellationOffset("0"), 0);
}

// ---- band plan ---------------------------------------------------------------------------------

TEST(GeneralBandPlan, CarrierIndicesAt2592) {
    EXPECT_EQ(CarrierIndex(5.99, 25.92), 237);
    EXPECT_EQ(Hex(*CarrierIndex(5.99, 25.92) % 256), "ED");
    EXPECT_EQ(CarrierIndex(2.07, 25.92), 82);
    EXPECT_EQ(Hex(82), "52");
    const long long n = *CarrierIndex(12.00, 25.92);
    EXPECT_EQ(n, 474);
    EXPECT_EQ(Hex(n % 256), "DA");
    EXPECT_EQ(Hex((n - n % 256) / 256), "1");
    EXPECT_EQ(CarrierIndex(8.50, 25.92), 336);
    EXPECT_EQ(Hex(336 % 256), "50");
}

TEST(GeneralBandPlan, CarrierIndexTiesGoToEven) {
    EXPECT_EQ(CarrierIndex(236.5, 1024), 236);
    EXPECT_EQ(CarrierIndex(237.5, 1024), 238);
}

TEST(GeneralBandPlan, CarrierIndexHasNoResultWithoutFsample) {
    EXPECT_FALSE(CarrierIndex(5.99, 0));
    EXPECT_FALSE(CarrierIndex(5.99, NAN));
    EXPECT_FALSE(CarrierIndex(5.99, INFINITY));
    EXPECT_FALSE(CarrierIndex(NAN, 25.92));
    EXPECT_EQ(CarrierIndex(0, 25.92), 0);
}

TEST(GeneralBandPlan, UartReloadAt2592) {
    const std::pair<double, const char*> cases[] = {{2400, "C8"},  {4800, "E4"},  {9600, "F2"},
                                                    {19200, "F9"}, {38400, "FC"}, {57600, "FE"},
                                                    {115200, "FF"}};
    for (const auto& [baud, hex] : cases) {
        const auto r = UartReload(25.92, baud);
        ASSERT_TRUE(r) << baud;
        EXPECT_EQ(Hex(*r), hex) << baud;
    }
    EXPECT_EQ(UartReload(25.92, 2400), 200);
    EXPECT_EQ(UartReload(25.92, 4800), 228);
}

TEST(GeneralBandPlan, UartReloadEdges) {
    EXPECT_EQ(UartReload(5.0, 115200), 256); // refused later by the store, not here
    EXPECT_FALSE(UartReload(25.92, 0));
    EXPECT_FALSE(UartReload(25.92, -9600));
    EXPECT_FALSE(UartReload(25.92, NAN));
    EXPECT_FALSE(UartReload(NAN, 9600));
}

// ---- line rate ---------------------------------------------------------------------------------

TEST(GeneralLineRate, WorkedRatesAt2592) {
    EXPECT_EQ(FormatDecimal(*LineRate(25.92, 16, 256)), "12.96");
    EXPECT_EQ(FormatDecimal(*LineRate(25.92, 10, 32)), "12.96");
    EXPECT_EQ(FormatDecimal(*LineRate(25.92, 6, 64)), "25.92");
    EXPECT_EQ(FormatDecimal(*LineRate(25.92, 12, 16)), "8.64");
    EXPECT_EQ(FormatDecimal(*LineRate(25.92, 16, 32)), "8.1");
}

TEST(GeneralLineRate, FifteenDigitRoundingBeforeTheProduct) {
    // 25.92 / 14 * 7 is 12.96 unrounded; the rounded quotient gives 12.9599... and 12.95.
    EXPECT_EQ(FormatDecimal(*LineRate(25.92, 14, 128)), "12.95");
}

TEST(GeneralLineRate, NoResultForZeroOrNegativeOperands) {
    EXPECT_FALSE(LineRate(25.92, 0, 256));
    EXPECT_FALSE(LineRate(25.92, 16, 0));
    EXPECT_FALSE(LineRate(25.92, -16, 256));
    EXPECT_FALSE(LineRate(NAN, 16, 256));
    EXPECT_EQ(LineRate(0, 16, 256), 0.0);
}

// ---- interpolation list
// --------------------------------------------------------------------------

class FillInterpolationListTest : public ::testing::Test {
protected:
    FillInterpolationListTest() {
        dwCons.setItems(kConsItems);
        upCons.setItems(kConsItems);
        upInter.setItems({"4", "6", "8", "10", "12", "14", "16", "24", "32", "48", "64"});
        dwInter.onClick = [this] { ++dwClicks; };
    }
    ui::Form form{"Test", "Test"};
    ui::ComboBox& dwCons = form.add<ui::ComboBox>("Dw_Stram_Cons");
    ui::ComboBox& dwInter = form.add<ui::ComboBox>("Dw_Stram_Inter");
    ui::ComboBox& upCons = form.add<ui::ComboBox>("Up_Stram_Cons");
    ui::ComboBox& upInter = form.add<ui::ComboBox>("Up_Stram_Inter");
    int dwClicks = 0;
};

TEST_F(FillInterpolationListTest, SingleEntryRowsSelectTheirFactor) {
    dwCons.setText("32");
    FillInterpolationList(form, true);
    EXPECT_EQ(dwInter.items(), std::vector<std::string>{"10"});
    EXPECT_EQ(dwInter.text(), "10");
    EXPECT_EQ(dwInter.listIndex(), 0);
    EXPECT_EQ(dwClicks, 1);

    dwCons.setText("128");
    FillInterpolationList(form, true);
    EXPECT_EQ(dwInter.items(), std::vector<std::string>{"14"});
    EXPECT_EQ(dwInter.text(), "14");
    EXPECT_EQ(dwClicks, 2);
}

TEST_F(FillInterpolationListTest, SmallConstellationsOfferNineFactors) {
    for (const char* c : {"4", "8", "16"}) {
        dwCons.setText(c);
        FillInterpolationList(form, true);
        EXPECT_EQ(dwInter.items(), texts({4, 6, 8, 12, 16, 24, 32, 48, 64})) << c;
        EXPECT_EQ(dwInter.items().back(), "64");
        EXPECT_EQ(dwInter.text(), "") << c;
    }
}

TEST_F(FillInterpolationListTest, RememberedFactorKeptOnlyWhenOffered) {
    dwCons.setText("16");
    FillInterpolationList(form, true);
    ASSERT_TRUE(dwInter.userPick("6"));
    dwCons.setText("64");
    FillInterpolationList(form, true);
    EXPECT_EQ(dwInter.items(), texts({6, 8, 12, 16, 24, 32, 48, 64}));
    EXPECT_EQ(dwInter.text(), "6");
    EXPECT_EQ(dwInter.listIndex(), 0);

    dwCons.setText("256");
    FillInterpolationList(form, true);
    EXPECT_EQ(dwInter.items(), texts({8, 12, 16, 24, 32, 48, 64}));
    EXPECT_EQ(dwInter.text(), "");
    EXPECT_EQ(dwInter.listIndex(), -1);
}

TEST_F(FillInterpolationListTest, SingleEntryWinsOverTheRememberedText) {
    dwCons.setText("16");
    FillInterpolationList(form, true);
    dwInter.userPick("48");
    dwCons.setText("32");
    FillInterpolationList(form, true);
    EXPECT_EQ(dwInter.text(), "10");
}

TEST_F(FillInterpolationListTest, OtherConstellationTextsOfferNothing) {
    for (const char* c : {"0", "", "abc", "16.5", "512"}) {
        dwInter.setItems({"4", "6"});
        dwInter.setListIndex(1);
        dwCons.setText(c);
        FillInterpolationList(form, true);
        EXPECT_TRUE(dwInter.items().empty()) << c;
        EXPECT_EQ(dwInter.text(), "") << c;
    }
}

TEST_F(FillInterpolationListTest, ConstellationReadLeniently) {
    dwCons.setText("32x");
    FillInterpolationList(form, true);
    EXPECT_EQ(dwInter.text(), "10");
}

TEST_F(FillInterpolationListTest, UpstreamUsesItsOwnPair) {
    upInter.setListIndex(1); // "6"
    dwInter.setItems({"7"});
    upCons.setText("256");
    FillInterpolationList(form, false);
    EXPECT_EQ(upInter.items(), texts({8, 12, 16, 24, 32, 48, 64}));
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

// ---- PSD conversions
// -------------------------------------------------------------------------------

// The maximum PSD group of a configuration window, wired as the windows wire it.
class PsdTest : public ::testing::Test {
protected:
    PsdTest() {
        psd.setMaxLength(5);
        low.setMaxLength(2);
        high.setMaxLength(2);
        cons.setItems(kConsItems);
        att.setItems({"0", "1", "2", "3", "4", "5"});
        psd.onChange = [this] { PsdToBytes(psd, cons, att, low, high); };
        low.onChange = [this] { byteChanged(); };
        high.onChange = [this] { byteChanged(); };
        att.onClick = [this] { BytesToPsd(psd, cons, att, low, high); };
    }
    ~PsdTest() override { PsdUpdating = false; }

    void byteChanged() {
        ++byteChanges;
        BytesToPsd(psd, cons, att, low, high);
    }
    // Sets the boxes without any reaction running.
    void setQuietly(const std::string& p, const std::string& l, const std::string& h) {
        PsdUpdating = true;
        psd.setText(p);
        low.setText(l);
        high.setText(h);
        PsdUpdating = false;
        byteChanges = 0;
    }
    void setup(const std::string& consText, const std::string& attText) {
        PsdUpdating = true;
        cons.setText(consText);
        att.setText(attText);
        PsdUpdating = false;
    }

    ui::Form form{"Test", "Test"};
    ui::TextBox& psd = form.add<ui::TextBox>("Max_PSD");
    ui::TextBox& low = form.add<ui::TextBox>("Max_psdL");
    ui::TextBox& high = form.add<ui::TextBox>("Max_psdH");
    ui::ComboBox& cons = form.add<ui::ComboBox>("Dw_Stram_Cons");
    ui::ComboBox& att = form.add<ui::ComboBox>("PowerController");
    int byteChanges = 0;
};

TEST_F(PsdTest, BytesToPsdWorkedLevels) {
    setup("256", "0");
    setQuietly("", "0", "4");
    BytesToPsd(psd, cons, att, low, high);
    EXPECT_EQ(psd.text(), "59.95");

    setQuietly("", "10", "0");
    BytesToPsd(psd, cons, att, low, high);
    EXPECT_EQ(psd.text(), "23.83");

    setup("4", "2");
    setQuietly("", "00", "04");
    BytesToPsd(psd, cons, att, low, high);
    EXPECT_EQ(psd.text(), "59.45");

    // ln 1000 / ln 10 is just below 3.
    setup("32", "0");
    setQuietly("", "E8", "03");
    BytesToPsd(psd, cons, att, low, high);
    EXPECT_EQ(psd.text(), "59.99");
    EXPECT_FALSE(PsdUpdating);
}

TEST_F(PsdTest, BytesToPsdLeavesTheTextForLevelZero) {
    setup("256", "0");
    setQuietly("12.5", "0", "");
    BytesToPsd(psd, cons, att, low, high);
    EXPECT_EQ(psd.text(), "12.5");
    setQuietly("12.5", "G", "x");
    BytesToPsd(psd, cons, att, low, high);
    EXPECT_EQ(psd.text(), "12.5");
    EXPECT_FALSE(PsdUpdating);
}

TEST_F(PsdTest, BytesToPsdReadsAnEmptyAttenuationAsZero) {
    setup("256", "");
    setQuietly("", "0", "4");
    BytesToPsd(psd, cons, att, low, high);
    EXPECT_EQ(psd.text(), "59.95");
}

TEST_F(PsdTest, TypedLevelsGiveTheirBytesAndKeepTheTypedText) {
    setup("256", "0");
    ASSERT_TRUE(form.typeText(psd, "59.95"));
    EXPECT_EQ(low.text(), "FF");
    EXPECT_EQ(high.text(), "3");
    // Level 1023 would read back as 59.94: the guard keeps the typed text.
    EXPECT_EQ(psd.text(), "59.95");
    EXPECT_GT(byteChanges, 0);
    EXPECT_FALSE(PsdUpdating);

    ASSERT_TRUE(form.typeText(psd, "23.83"));
    EXPECT_EQ(low.text(), "10");
    EXPECT_EQ(high.text(), "0");
    EXPECT_EQ(psd.text(), "23.83");
}

TEST_F(PsdTest, TypedLevelsAtConstellation32) {
    setup("32", "0");
    setQuietly("", "AA", "BB");
    psd.setText("0");
    EXPECT_EQ(low.text(), "1");
    EXPECT_EQ(high.text(), "0");
    psd.setText("-6.5");
    EXPECT_EQ(low.text(), "0");
    EXPECT_EQ(high.text(), "0");
    EXPECT_EQ(psd.text(), "-6.5");
}

TEST_F(PsdTest, TextsOutsideTheOpenWindowWriteNothing) {
    setup("32", "0");
    for (const char* t : {"-6.6", "95.84", "-7", "100", "-"}) {
        setQuietly("", "AA", "BB");
        psd.setText(t);
        EXPECT_EQ(low.text(), "AA") << t;
        EXPECT_EQ(high.text(), "BB") << t;
        EXPECT_EQ(psd.text(), t);
        EXPECT_EQ(byteChanges, 0) << t;
        EXPECT_FALSE(PsdUpdating) << t;
    }
    // Just inside the window writes.
    setQuietly("", "AA", "BB");
    psd.setText("-6.59");
    EXPECT_EQ(low.text(), "0");
    EXPECT_EQ(high.text(), "0");
    setup("256", "0");
    setQuietly("", "AA", "BB");
    psd.setText("95.83");
    EXPECT_EQ(low.text(), "A6");
    EXPECT_EQ(high.text(), "F8");
}

TEST_F(PsdTest, EmptyTextWritesNothing) {
    setup("32", "0");
    setQuietly("5", "AA", "BB");
    psd.setText("");
    EXPECT_EQ(low.text(), "AA");
    EXPECT_EQ(high.text(), "BB");
    EXPECT_FALSE(PsdUpdating);
}

TEST_F(PsdTest, LevelBeyondSixteenBitsWritesNothing) {
    setup("128", "0");
    setQuietly("", "AA", "BB");
    psd.setText("95.83"); // 92537, 16979h
    EXPECT_EQ(low.text(), "AA");
    EXPECT_EQ(high.text(), "BB");
    EXPECT_EQ(byteChanges, 0);
    EXPECT_FALSE(PsdUpdating);
}

TEST_F(PsdTest, TypingMinusSixPointSixKeyByKeyStopsAfterMinusSix) {
    setup("32", "0");
    setQuietly("", "AA", "BB");
    ASSERT_TRUE(form.typeText(psd, "-6.6"));
    EXPECT_EQ(psd.text(), "-6.6");
    EXPECT_EQ(low.text(), "1");
    EXPECT_EQ(high.text(), "0");
    EXPECT_FALSE(PsdUpdating);
}

TEST_F(PsdTest, AttenuationChangeRewritesTheTextNotTheBytes) {
    setup("256", "0");
    setQuietly("", "0", "4");
    att.userPick("0");
    EXPECT_EQ(psd.text(), "59.95");
    att.userPick("2");
    EXPECT_EQ(psd.text(), "61.95");
    EXPECT_EQ(low.text(), "0");
    EXPECT_EQ(high.text(), "4");
    EXPECT_EQ(byteChanges, 0);
}

TEST_F(PsdTest, EditingAByteRewritesTheTextOnce) {
    setup("256", "0");
    setQuietly("1", "0", "0");
    high.setText("4");
    EXPECT_EQ(psd.text(), "59.95");
    // The text rewrite must not convert back (59.95 would give level 1023).
    EXPECT_EQ(low.text(), "0");
    EXPECT_EQ(high.text(), "4");
    EXPECT_EQ(byteChanges, 1);
}

TEST_F(PsdTest, BusyGuardStopsBothDirections) {
    setup("256", "0");
    setQuietly("1", "0", "4");
    PsdUpdating = true;
    BytesToPsd(psd, cons, att, low, high);
    EXPECT_EQ(psd.text(), "1");
    psd.setText("23.83");
    EXPECT_EQ(low.text(), "0");
    EXPECT_TRUE(PsdUpdating); // a call that found it set leaves it to its owner
}

// ---- hex fields
// -----------------------------------------------------------------------------------

TEST(GeneralHexEntry, IsHexByte) {
    for (const char* t : {"0", "00", "7", "FF", "a5", "fF", "9"})
        EXPECT_TRUE(IsHexByte(t)) << t;
    for (const char* t : {"", "G", "0G", "G0", " 7", "7 ", "-1", "g"})
        EXPECT_FALSE(IsHexByte(t)) << t;
}

TEST(GeneralHexEntry, LongerTextsJudgedByValueAndFirstCharacter) {
    EXPECT_TRUE(IsHexByte("0FF"));
    EXPECT_TRUE(IsHexByte("1xyz"));
    EXPECT_FALSE(IsHexByte("100"));
    EXPECT_FALSE(IsHexByte("x12"));
}

TEST(GeneralHexEntry, CheckHexFieldRejectsWithTheEntryMessage) {
    for (const char* t : {"", "G", "0G", "G0", " 7"}) {
        ui::ScriptedPlatform platform;
        app::RunState run;
        EXPECT_TRUE(CheckHexField(t, platform, run)) << t;
        ASSERT_EQ(platform.boxes.shown.size(), 1u) << t;
        const auto& box = platform.boxes.shown[0];
        EXPECT_EQ(box.text, "Please insert new value");
        EXPECT_EQ(box.title, "Illegal Parameter");
        EXPECT_EQ(box.icon, ui::Icon::Exclamation);
        EXPECT_EQ(box.buttons, ui::Buttons::OK);
        EXPECT_FALSE(run.FormChange) << t;
    }
}

TEST(GeneralHexEntry, CheckHexFieldAcceptsAndMarksChanged) {
    for (const char* t : {"0", "00", "7", "FF", "a5"}) {
        ui::ScriptedPlatform platform;
        app::RunState run;
        EXPECT_FALSE(CheckHexField(t, platform, run)) << t;
        EXPECT_TRUE(platform.boxes.shown.empty()) << t;
        EXPECT_TRUE(run.FormChange) << t;
    }
}

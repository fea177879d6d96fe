// The routines the configuration windows share, with the worked numbers; the window tests only
// check that the windows wire them up.
#include "config/general_module.h"

#include "app/run_state.h"
#include "support/platform_checks.h"
#include "support/window_bench.h"
#include "ui/controls.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace rw::config {
namespace {

using test::split;

const std::vector<std::string> kConsItems = split("4 8 16 32 64 128 256");

TEST(GeneralNumbers, RoundingAndLogarithms) {
    for (auto [x, want] : {std::pair{12.959, 12.95}, {-0.254, -0.26}, {12.96, 12.96}, {3.0, 3.0}})
        EXPECT_DOUBLE_EQ(floorHundredths(x), want) << x;
    const std::pair<double, long long> halfEven[] = {
        {236.5, 236},        {237.5, 238},      {0.5, 0},   {1.5, 2},
        {-0.5, 0},           {-1.5, -2},        {-2.6, -3}, {236.64, 237},
        {199.75, 200},       {1e30, LLONG_MAX}, {NAN, 0},   {9.2e18, LLONG_MAX},
        {-9.2e18, LLONG_MIN}};
    for (auto [x, want] : halfEven)
        EXPECT_EQ(roundHalfEven(x), want) << x;
    EXPECT_NE(25.92 / 14, 1.85142857142857);
    for (auto [x, want] : {std::pair{25.92 / 14, 1.85142857142857}, {1.62, 1.62}, {0.1 + 0.2, 0.3}})
        EXPECT_EQ(round15(x), want) << want;
    EXPECT_DOUBLE_EQ(logBase(2, 256), 8);
    // Not exactly 3: the PSD of level 1000 depends on it.
    EXPECT_EQ(logBase(10, 1000), std::log(1000.0) / std::log(10.0));
    EXPECT_LT(logBase(10, 1000), 3.0);
}

TEST(GeneralNumbers, Writing) {
    const std::pair<double, const char*> decimals[] = {
        {12.96, "12.96"}, {13, "13"},   {8.1, "8.1"}, {0.5, "0.5"},        {0, "0"},
        {-0.26, "-0.26"}, {100, "100"}, {NAN, ""},    {0.00012, "0.00012"}};
    for (auto [x, want] : decimals)
        EXPECT_EQ(formatDecimal(x), want) << want;
    for (auto [x, want] : {std::pair{8.100000000000001, "8.1"},
                           {1.85142857142857, "1.85142857142857"},
                           {1e20, "100000000000000000000"}})
        EXPECT_EQ(formatDecimal(x), want) << want;
    const std::pair<long long, const char*> hex[] = {{0, "0"},     {10, "A"},      {237, "ED"},
                                                     {256, "100"}, {0x169, "169"}, {-10, "-A"}};
    for (auto [x, want] : hex)
        EXPECT_EQ(Hex(x), want) << x;
    EXPECT_EQ(Hex(LLONG_MIN), "-8000000000000000");
}

TEST(GeneralNumbers, Reading) {
    const std::pair<std::string, long long> hex[] = {
        {"ED", 237}, {"a5", 0xA5}, {"", 0},       {"G", 0},     {"0G", 0},
        {"1G2", 1},  {" 7", 7},    {"1 F", 0x1F}, {"100", 256}, {std::string(40, 'F'), LLONG_MAX}};
    for (const auto& [t, want] : hex)
        EXPECT_EQ(readHexLenient(t), want) << "'" << t << "'";
    const std::pair<const char*, double> lenient[] = {
        {"005", 5},     {"7x", 7},     {"", 0},   {"-", 0},    {"abc", 0},
        {"-6.6", -6.6}, {"-6.", -6},   {"+2", 2}, {".5", 0.5}, {"1.2.3", 1.2},
        {"1e3", 1},     {" 1 2 ", 12}, {"5-3", 5}};
    for (auto [t, want] : lenient)
        EXPECT_EQ(readDecimalLenient(t), want) << "'" << t << "'";
    EXPECT_FALSE(std::signbit(readDecimalLenient("-0")));
    EXPECT_TRUE(std::isfinite(readDecimalLenient(std::string(400, '9'))));
    const std::pair<const char*, double> strict[] = {
        {"16", 16}, {" 9600 ", 9600}, {"-1.5", -1.5}, {"05", 5}};
    for (auto [t, want] : strict)
        EXPECT_EQ(readNumberStrict(t), want) << "'" << t << "'";
    for (const char* t : {"", "  ", "-", ".", "7x", "1 2", "1e3", "1.2.3"})
        EXPECT_FALSE(readNumberStrict(t)) << "'" << t << "'";
}

TEST(GeneralConsInterByte, EveryCodeBothWays) {
    // Constellation in bits 3..1 (bit 0 ignored), interpolation in bits 7..4.
    const int cons[8] = {256, 64, 16, 8, 4, 128, 32, 0};
    for (int code = 0; code < 8; ++code) {
        EXPECT_EQ(decodeConstellation(static_cast<std::uint8_t>(code << 1)), cons[code]) << code;
        EXPECT_EQ(decodeConstellation(static_cast<std::uint8_t>((code << 1) | 1)), cons[code]);
        if (cons[code]) {
            EXPECT_EQ(encodeConstellation(cons[code]), code == 0 ? 1 : code << 1);
        }
    }
    const int inter[16] = {4, 6, 8, 12, 16, 24, 32, 48, 64, 10, 14, 0, 0, 0, 0, 0};
    for (int code = 0; code < 16; ++code) {
        EXPECT_EQ(decodeInterpolation(static_cast<std::uint8_t>(code << 4 | 0x5)), inter[code])
            << code;
        if (inter[code]) {
            EXPECT_EQ(encodeInterpolation(inter[code]), code << 4) << code;
        }
    }
    for (int noValue : {0, 512, 5})
        EXPECT_EQ(encodeConstellation(noValue) | encodeInterpolation(noValue), 0) << noValue;
    EXPECT_EQ(packConsInter(256, 12), 0x31);
    EXPECT_EQ(packConsInter(256, 0), 0x01); // no interpolation: code 0, interpolation 4
    EXPECT_EQ(packConsInter(0, 4) & 0x0F, 0);
    const std::pair<const char*, double> offsets[] = {{"4", -2.75},   {"8", -0.5},   {"16", -0.5},
                                                      {"32", 0},      {"64", -0.25}, {"128", -3.5},
                                                      {"256", -0.25}, {"", 0},       {"0", 0}};
    for (auto [c, want] : offsets)
        EXPECT_EQ(constellationOffset(c), want) << "'" << c << "'";
}

TEST(GeneralBandPlan, CarrierIndexUartReloadAndLineRateAt2592) {
    const std::pair<double, long long> carriers[] = {
        {5.99, 237}, {2.07, 82}, {12.00, 474}, {8.50, 336}, {0, 0}};
    for (auto [mhz, index] : carriers)
        EXPECT_EQ(carrierIndex(mhz, 25.92), index) << mhz;
    EXPECT_EQ(carrierIndex(236.5, 1024), 236); // ties go to even (the 237.5 case is above)
    for (auto [f, fs] : {std::pair{5.99, 0.0}, {5.99, NAN}, {5.99, INFINITY}, {NAN, 25.92}})
        EXPECT_FALSE(carrierIndex(f, fs)) << f << " at " << fs;

    const std::pair<double, const char*> reloads[] = {{2400, "C8"},  {4800, "E4"},  {9600, "F2"},
                                                      {19200, "F9"}, {38400, "FC"}, {57600, "FE"},
                                                      {115200, "FF"}};
    for (auto [baud, reload] : reloads)
        EXPECT_EQ(Hex(uartReload(25.92, baud).value_or(-1)), reload) << baud;
    EXPECT_EQ(uartReload(5.0, 115200), 256); // refused later by the store, not here
    for (auto [fs, baud] : {std::pair{25.92, 0.0}, {25.92, -9600.0}, {25.92, NAN}, {NAN, 9600.0}})
        EXPECT_FALSE(uartReload(fs, baud)) << fs << " " << baud;

    // 14/128: 25.92 / 14 x 7 is 12.96 unrounded; the 15-digit quotient gives 12.95.
    const std::tuple<int, int, const char*> rates[] = {{256, 16, "12.96"}, {32, 10, "12.96"},
                                                       {64, 6, "25.92"},   {16, 12, "8.64"},
                                                       {32, 16, "8.1"},    {128, 14, "12.95"}};
    for (const auto& [cons, inter, rate] : rates)
        EXPECT_EQ(formatDecimal(lineRate(25.92, inter, cons).value_or(-1)), rate)
            << cons << "/" << inter;
    for (auto [inter, cons] : {std::pair{0, 256}, {16, 0}, {-16, 256}})
        EXPECT_FALSE(lineRate(25.92, inter, cons)) << inter << "/" << cons;
    EXPECT_FALSE(lineRate(NAN, 16, 256));
    EXPECT_EQ(lineRate(0, 16, 256), 0.0);
}

struct InterpolationList : ::testing::Test {
    InterpolationList() {
        dwCons.setItems(kConsItems);
        upCons.setItems(kConsItems);
        upInter.setItems(split("4 6 8 10 12 14 16 24 32 48 64"));
        dwInter.onClick = [this] { ++dwClicks; };
    }
    void fill(const std::string& cons, bool down = true) {
        (down ? dwCons : upCons).setText(cons);
        fillInterpolationList(form, down);
    }
    ui::Form form{"Test", "Test"};
    ui::ComboBox& dwCons = form.add<ui::ComboBox>("Dw_Stram_Cons");
    ui::ComboBox& dwInter = form.add<ui::ComboBox>("Dw_Stram_Inter");
    ui::ComboBox& upCons = form.add<ui::ComboBox>("Up_Stram_Cons");
    ui::ComboBox& upInter = form.add<ui::ComboBox>("Up_Stram_Inter");
    int dwClicks = 0;
};

TEST_F(InterpolationList, RowOfEachConstellation) {
    // Single-entry rows select their factor (and click); the rest offer a list, nothing chosen.
    // Read leniently ("32x"). Each row is "constellation:factors offered".
    const auto cases = split("32:10;128:14;32x:10;4:4 6 8 12 16 24 32 48 64;8:4 6 8 12 16 24 32 48 "
                             "64;16:4 6 8 12 16 24 32 48 64;0:;:;abc:;16.5:;512:;64:6 8 12 16 24 "
                             "32 48 64;256:8 12 16 24 32 48 64",
                             ';');
    for (const std::string& row : cases) {
        const std::string cons = row.substr(0, row.find(':')), list = row.substr(row.find(':') + 1);
        SCOPED_TRACE(row);
        dwInter.setItems({"4", "7"}); // a remembered factor no row offers
        dwInter.setListIndex(1);
        const int clicks = dwClicks;
        fill(cons);
        const auto items = split(list);
        const bool one = items.size() == 1;
        EXPECT_EQ(dwInter.items(), items);
        EXPECT_EQ(std::tuple(dwInter.text(), dwInter.listIndex(), dwClicks - clicks),
                  std::tuple(one ? items[0] : "", one ? 0 : -1, one ? 1 : 0));
    }
}

TEST_F(InterpolationList, RememberedFactorKeptOnlyWhenOfferedEachDirectionItsOwn) {
    fill("16");
    ASSERT_TRUE(dwInter.userPick("6"));
    fill("64");
    EXPECT_EQ(std::pair(dwInter.text(), dwInter.listIndex()), std::pair(std::string("6"), 0));
    fill("256");
    EXPECT_EQ(dwInter.text(), "");
    fill("16");
    dwInter.userPick("48");
    fill("32"); // a single-entry row wins over the remembered text
    EXPECT_EQ(dwInter.text(), "10");

    upInter.setListIndex(1); // "6"
    fill("256", false);
    EXPECT_EQ(upInter.items(), split("8 12 16 24 32 48 64"));
    EXPECT_EQ(std::pair(upInter.text(), dwInter.text()),
              std::pair(std::string(), std::string("10")));
    upInter.setListIndex(-1);
    upInter.setText("8"); // shown, not selected: still remembered
    fill("64", false);
    EXPECT_EQ(std::pair(upInter.text(), upInter.listIndex()), std::pair(std::string("8"), 1));

    ui::Form bare("Empty", "Empty"); // a form without the pair is left alone
    auto& cons = bare.add<ui::ComboBox>("Dw_Stram_Cons");
    cons.setText("32");
    fillInterpolationList(bare, true);
    fillInterpolationList(bare, false);
    EXPECT_EQ(cons.text(), "32");
}

// The maximum PSD group of a configuration window, wired as the windows wire it.
struct Psd : ::testing::Test {
    Psd() {
        cons.setItems(kConsItems);
        att.setItems(split("0 1 2 3 4 5"));
        psd.onChange = [this] { result = convertPsdToBytes(updating, psd, cons, att, low, high); };
        low.onChange = [this] {
            ++byteChanges;
            toPsd();
        };
        high.onChange = low.onChange;
        att.onClick = [this] { toPsd(); };
    }
    bool toPsd() { return convertBytesToPsd(updating, psd, cons, att, low, high); }
    // Sets the group without any reaction running.
    void set(const std::string& c, const std::string& a, const std::string& p, const std::string& l,
             const std::string& h) {
        updating = true;
        cons.setText(c);
        att.setText(a);
        for (auto [box, t] : {std::pair{&psd, &p}, {&low, &l}, {&high, &h}})
            box->setText(*t);
        updating = false;
        byteChanges = 0;
    }

    ui::Form form{"Test", "Test"};
    ui::TextBox& psd = form.add<ui::TextBox>("Max_PSD");
    ui::TextBox& low = form.add<ui::TextBox>("Max_psdL");
    ui::TextBox& high = form.add<ui::TextBox>("Max_psdH");
    ui::ComboBox& cons = form.add<ui::ComboBox>("Dw_Stram_Cons");
    ui::ComboBox& att = form.add<ui::ComboBox>("PowerController");
    bool updating = false; // the window's guard
    PsdConversion result = PsdConversion::Busy;
    int byteChanges = 0;
};

TEST_F(Psd, BytesGiveTheLevelInDecibelsUnlessGuarded) {
    const std::tuple<const char*, const char*, const char*, const char*, const char*> cases[] = {
        {"256", "0", "04", "00", "59.95"}, {"256", "0", "00", "10", "23.83"},
        {"4", "2", "04", "00", "59.45"},   {"256", "", "4", "0", "59.95"}, // empty: 0
        {"32", "0", "03", "E8", "59.99"}, // ln 1000 / ln 10 is just below 3
        {"256", "0", "", "0", "12.5"},     {"256", "0", "x", "G", "12.5"}}; // level 0
    for (const auto& [cons, att, high, low, level] : cases) {
        set(cons, att, "12.5", low, high);
        EXPECT_EQ(toPsd(), std::string(level) != "12.5") << level;
        EXPECT_EQ(psd.text(), level) << high << low;
        EXPECT_FALSE(updating);
    }
    // The rewrites between the views are the windows' (tested there); here the guard itself.
    set("256", "0", "1", "0", "4");
    updating = true;
    EXPECT_FALSE(toPsd());
    EXPECT_EQ(psd.text(), "1");
    psd.setText("23.83");
    EXPECT_EQ(std::tuple(result, low.text(), updating), std::tuple(PsdConversion::Busy, "0", true));
}

// Level 1023 would read back as 59.94: the guard keeps the typed text. -6.59 is just inside
// the open window; 65535 (92.833 at 128) is the largest level; 65536 and 92537 (95.83 at 128)
// are beyond 16 bits. Typed key by key, "-6" converts and "-6.6" then stops converting.
TEST_F(Psd, TypedLevelsGiveTheirBytesAndKeepTheTypedText) {
    const struct {
        const char *cons, *text;
        bool keyByKey;
        const char *low, *high; // AA/BB: nothing written
    } cases[] = {{"256", "59.95", true, "FF", "3"},    {"256", "23.83", true, "10", "0"},
                 {"32", "0", false, "1", "0"},         {"32", "-6.5", false, "0", "0"},
                 {"32", "-6.59", false, "0", "0"},     {"256", "95.83", false, "A6", "F8"},
                 {"32", "-6.6", false, "AA", "BB"},    {"32", "95.84", false, "AA", "BB"},
                 {"32", "-7", false, "AA", "BB"},      {"32", "100", false, "AA", "BB"},
                 {"32", "-", false, "AA", "BB"},       {"32", "", false, "AA", "BB"},
                 {"128", "95.83", false, "AA", "BB"},  {"128", "92.8331", false, "AA", "BB"},
                 {"128", "92.833", false, "FF", "FF"}, {"32", "-6.6", true, "1", "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.cons) + " '" + c.text + "'" + (c.keyByKey ? " typed" : ""));
        set(c.cons, "0", "5", "AA", "BB");
        if (c.keyByKey)
            ASSERT_TRUE(form.typeText(psd, c.text));
        else
            psd.setText(c.text);
        EXPECT_EQ(std::tuple(low.text(), high.text(), psd.text()),
                  std::tuple(c.low, c.high, c.text));
        const bool written = std::string(c.low) != "AA";
        EXPECT_EQ(byteChanges > 0, written);
        // The last conversion: "-6.6" typed wrote its bytes at "-6", not at the end.
        const bool converted = written && std::string(c.text) != "-6.6";
        EXPECT_EQ(result, converted ? PsdConversion::Converted : PsdConversion::NotConverted);
        EXPECT_FALSE(updating);
    }
}

TEST(GeneralHexEntry, IsHexByteAndTheEntryCheck) {
    // Longer texts are judged by value and first character.
    const std::pair<const char*, bool> cases[] = {
        {"0", true},   {"00", true},  {"7", true},    {"FF", true},   {"a5", true},
        {"fF", true},  {"9", true},   {"0FF", true},  {"1xyz", true}, {"", false},
        {"G", false},  {"0G", false}, {"G0", false},  {" 7", false},  {"7 ", false},
        {"-1", false}, {"g", false},  {"100", false}, {"x12", false}};
    for (auto [t, valid] : cases) {
        SCOPED_TRACE(std::string("'") + t + "'");
        EXPECT_EQ(isHexByte(t), valid);
        ui::ScriptedPlatform platform;
        app::RunState run;
        EXPECT_EQ(checkHexField(t, platform, run.formChanged), !valid);
        EXPECT_EQ(run.formChanged, valid);
        ASSERT_EQ(platform.boxes.shown.size(), valid ? 0u : 1u);
        if (!valid) {
            EXPECT_TRUE(test::lastBoxIs(platform, "Please insert new value", "Illegal Parameter"));
        }
    }
}

} // namespace
} // namespace rw::config

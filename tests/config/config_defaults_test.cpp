// Factory values: the fields, the bytes they store, and when "Default" marks a change.
#include "config_test_support.h"

namespace rw::config::test {
namespace {

// Factory texts of every window, then those of the MII and ATM windows, then by product.
const char* const kCommonDefaults =
    "FText(0)=25;Baund=9600;TX_Next_value=0;Reduce=0;Min_psdL=10;Min_psdH=0;Dw_Stram_Inter=12;"
    "DwCarrierText(0)=002;UsCarrierText(0)=005;Adcf=0;Dacf=1;Adcuns=1;Dacuns=1;Timneg=1;Timnus=0;"
    "AFEControl=7B;SleepCounterL=0;SleepCounterH=0;PowerController=5;WakDis=0;HostDis=0;TcDis=0;"
    "SerDis=0;CntDis=0;Locken=1;TransmitePreambleL=B2;ReceivePreambleL=B2;TransmitePreambleM=28;"
    "ReceivePreambleM=28;TransmitePreambleH=F6;ReceivePreambleH=F6;UART_Rate=F2";
const char* const kMiiDefaults =
    "FText(1)=00;Dw_Stram_Cons=64;DwCarrierText(1)=14;Next_DownstreamL=58;Next_DownstreamH=0;"
    "Up_Stram_Cons=16;Up_Stram_Inter=8;UsCarrierText(1)=88;Next_UpstreamL=F1;Next_UpstreamH=0;"
    "DownBitrate=12.49;UpBitrate=12.5;Min_PSD=28.83";
const char* const kAtmDefaults =
    "FText(1)=92;Dw_Stram_Cons=16;DwCarrierText(1)=07;Next_DownstreamL=52;Next_DownstreamH=00;"
    "Up_Stram_Cons=4;Up_Stram_Inter=6;UsCarrierText(1)=99;Next_UpstreamL=ED;Next_UpstreamH=00;"
    "DownBitrate=8.64;UpBitrate=8.64;Min_PSD=28.58";
const char* const kProductDefaults[] = {
    "Max_psdL=0;Max_psdH=4;Max_PSD=64.95;UTOPIAAddress=0;PacketSize=1518;MDIO=0;"
    "ClockDivision=10;BackPressure=0;BackSignaling=0;RXlevel=64;BPM=0;TruncateRetries=16;"
    "AutoNeg=1",
    "Max_psdL=0;Max_psdH=4;Max_PSD=64.7;UTOPIAAddress=F1;BufferLimit=154;RxClv=44;"
    "MultiPHY=with polling;Dric=1;Drec=1",
    "Max_psdL=2D;Max_psdH=3;Max_PSD=62.95;UTOPIAAddress=0;ClockDivision=10;MDIO=1;"
    "PacketSize=1536;ADDFILT=Disable;AUTOAGE=1;CRCEN=1;FPP=Discard;PHY_StatusRegAddr=1C;"
    "PHY_SpeedBitNum=01;PHY_DuplexBitNum=00;PHY_SpeedPolarity=00;PHY_DuplexPolarity=00;"
    "FLWENB=0;ABP_FC(0)=1;ABP_FC(1)=1;FC_TRES_HI=2048;FC_HISTER=1024;BackSignaling=1;"
    "BACK_SIGNALING=6144;BackPressure=0;RXlevelStart=64;RXlevelStop=0;BPM=Append packet;"
    "TruncateRetries=16;PATTERN_LENGTH=53;BP_IPG=32;IPG=96",
    "Max_psdL=0;Max_psdH=4;Max_PSD=64.7;UTOPIAAddress=0"};

void pressDefault(Bench& b) {
    ASSERT_TRUE(b.press("Default"));
}

TEST(ConfigDefaults, FieldsAndBytesTakeTheFactoryValues) {
    forEachMode([](Bench& b) {
        b.pick("Baund", "2400");
        b.box("TransmitePreambleL").setText("1");
        pressDefault(b);
        const bool atm = b.mode % 2 == 0;
        b.expectTexts(kCommonDefaults); // AFEControl keeps bits 1..0 as loaded
        b.expectTexts(atm ? kAtmDefaults : kMiiDefaults);
        b.expectTexts(kProductDefaults[b.mode - 1]);
        EXPECT_DOUBLE_EQ(b.form->Fsample, atm ? 25.92 : 25.0);
        EXPECT_FALSE(b.form->AfeUpdating);
        // Bits without fields keep their loaded values.
        b.expectSaved({{0, atm ? 0x34 : 0x32},
                       {1, atm ? 0x18 : 0x24},
                       {6, 0x7B},
                       {20, 0xE0},
                       {9, b.mode == 1 ? 0xFD : 0xF9},
                       {28, 0x50},
                       {26, 2}});
    });
    Loaded m(1);
    pressDefault(m);
    m.expectSaved({{30, 0x20}, {31, 0x05}});
    Loaded p(3);
    pressDefault(p);
    const image::Image out = p.saved(backgroundImage());
    const std::pair<std::size_t, int> bytes[] = {{612, 0x1C}, {613, 0x01}, {614, 0x00}, {96, 0x3C},
                                                 {97, 0xF5},  {98, 0xF9},  {101, 0x00}, {102, 0xCD},
                                                 {103, 0x17}, {105, 0x95}};
    for (auto [offset, v] : bytes)
        EXPECT_EQ(out[offset], v) << "offset " << offset;
}

TEST(ConfigDefaults, UtopiaByteKeepsBitSeven) {
    for (std::uint8_t loaded : {std::uint8_t{0x9A}, std::uint8_t{0x65}})
        forEachMode(
            [loaded](Bench& b) {
                ASSERT_TRUE(b.loadWith({{44, loaded}}));
                pressDefault(b);
                const std::uint8_t v = b.savedSlot(44);
                EXPECT_EQ(v & 0x7F, 0x1E);
                EXPECT_EQ(v & 0x80, loaded & 0x80);
            },
            {2, 4});
}

// MII_BP marks even when nothing changes, the others only what changes; never while loading.
TEST(ConfigDefaultsMarking, DefaultMarksTheChange) {
    forEachMode([](Bench& b) {
        pressDefault(b);
        EXPECT_TRUE(b.run.FormChange);
        b.run.FormChange = false;
        pressDefault(b);
        EXPECT_EQ(b.run.FormChange, b.mode == 3);
        EXPECT_EQ(b.boxes(), 0u);
        b.run.FormChange = false;
        b.form->Loading = true;
        pressDefault(b);
        EXPECT_FALSE(b.run.FormChange);
    });
}

// Decision: MII_B sets its lists before the sampling frequency, then shows the line rates of
// the new frequency.
TEST(ConfigDefaultsDecisions, MiiBShowsCurrentLineRates) {
    Bench b(1); // 50.00 MHz, with the factory constellations and interpolations already
    ASSERT_TRUE(b.loadWith({{25, 50}, {24, 0}, {0, 0x32}, {1, 0x24}}));
    b.expectTexts("DownBitrate=25;UpBitrate=25");
    pressDefault(b);
    EXPECT_DOUBLE_EQ(b.form->Fsample, 25.0);
    b.expectTexts("DownBitrate=12.49;UpBitrate=12.5");
}

TEST(ConfigDefaults, BeforeAnyLoad) {
    forEachWindow([](Bench& b) {
        b.form->SetDefaults();
        b.expectTexts("AFEControl=78;Dw_Stram_Inter=12;UART_Rate=F2");
        EXPECT_EQ(b.form->StoreProblem(), "");
        EXPECT_TRUE(b.form->CheckInputs());
        EXPECT_FALSE(b.form->AfeUpdating);
    });
}

TEST(ConfigDefaults, BPlusFocusFollowsAnEmptiedInterpolation) {
    // 128 / 14 loaded: the factory constellation 16 does not offer 14, so the list empties,
    // the focus moves there, and the factory interpolation fills it: no message on the way.
    Bench b(4);
    ASSERT_TRUE(b.loadWith({{0, 0xAA}}));
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "14");
    pressDefault(b);
    EXPECT_EQ(b.text("Dw_Stram_Inter"), "12");
    EXPECT_EQ(b.form->focused(), b.find("Dw_Stram_Inter"));
    EXPECT_TRUE(b.form->leave(nullptr));
    EXPECT_EQ(b.boxes(), 0u);
}

} // namespace
} // namespace rw::config::test

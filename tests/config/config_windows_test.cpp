// The four windows as built: fields, kinds, limits, lists, captions, colours, frames, the
// state before the first load, the expert and non-expert layouts and the geometry.
#include "config_test_support.h"

#include <set>

namespace rw::config::test {
namespace {

using ui::ControlKind;

const std::vector<std::string> kCommonFields = {"FText(0)",
                                                "FText(1)",
                                                "Baund",
                                                "UART_Rate",
                                                "Dw_Stram_Cons",
                                                "Up_Stram_Cons",
                                                "Dw_Stram_Inter",
                                                "Up_Stram_Inter",
                                                "DwCarrierText(0)",
                                                "DwCarrierText(1)",
                                                "UsCarrierText(0)",
                                                "UsCarrierText(1)",
                                                "DownCarrierScroll",
                                                "UpCarrierScroll",
                                                "Next_DownstreamL",
                                                "Next_DownstreamH",
                                                "Next_UpstreamL",
                                                "Next_UpstreamH",
                                                "Max_PSD",
                                                "Min_PSD",
                                                "Max_psdL",
                                                "Max_psdH",
                                                "Min_psdL",
                                                "Min_psdH",
                                                "PowerController",
                                                "AFEControl",
                                                "Adcf",
                                                "Dacf",
                                                "Adcuns",
                                                "Dacuns",
                                                "Timneg",
                                                "Timnus",
                                                "Reduce",
                                                "TX_Next_value",
                                                "TransmitePreambleL",
                                                "TransmitePreambleM",
                                                "TransmitePreambleH",
                                                "ReceivePreambleL",
                                                "ReceivePreambleM",
                                                "ReceivePreambleH",
                                                "WakDis",
                                                "HostDis",
                                                "TcDis",
                                                "SerDis",
                                                "CntDis",
                                                "Locken",
                                                "SleepCounterL",
                                                "SleepCounterH",
                                                "UTOPIAAddress",
                                                "UpBitrate",
                                                "DownBitrate",
                                                "Default",
                                                "WriteReturn",
                                                "UpFrame",
                                                "AdvanceFrame"};

ControlKind kindOf(const ConfigForm& f, const std::string& name) {
    const ui::Control* c = f.findByFullName(name);
    EXPECT_NE(c, nullptr) << name;
    return c ? c->kind() : ControlKind::Picture;
}

std::vector<std::string> itemsOf(Bench& b, const std::string& name) {
    return b.combo(name).items();
}

TEST(ConfigWindows, CreateGivesTheProductsWindowWithItsCaption) {
    const std::pair<int, const char*> expected[] = {
        {1, "MII_B"}, {2, "ATM_B"}, {3, "MII_BP"}, {4, "ATM_BP"}};
    for (auto [mode, name] : expected) {
        Bench b(mode);
        ASSERT_NE(b.form, nullptr);
        EXPECT_EQ(b.form->name(), name);
        EXPECT_EQ(b.form->isBPlus(), mode >= 3);
        EXPECT_EQ(b.form->isAtm(), mode % 2 == 0);
        EXPECT_EQ(b.form->caption(),
                  mode % 2 == 0 ? "ATM E2 Configurations" : "Kestrel E2 Configurations");
    }
    Bench b(1);
    EXPECT_EQ(ConfigForm::create(0, b.ctx), nullptr);
    EXPECT_EQ(ConfigForm::create(5, b.ctx), nullptr);
}

TEST(ConfigWindows, EveryWindowHasTheCommonFieldsWithTheirKinds) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        for (const std::string& n : kCommonFields)
            EXPECT_NE(b.form->findByFullName(n), nullptr) << n << " in mode " << mode;
        EXPECT_EQ(kindOf(*b.form, "FText(0)"), ControlKind::TextBox);
        EXPECT_EQ(kindOf(*b.form, "Baund"), ControlKind::ComboBox);
        EXPECT_EQ(kindOf(*b.form, "UART_Rate"), ControlKind::Label);
        EXPECT_EQ(kindOf(*b.form, "DownCarrierScroll"), ControlKind::UpDown);
        EXPECT_EQ(kindOf(*b.form, "PowerController"), ControlKind::ComboBox);
        EXPECT_EQ(kindOf(*b.form, "Timnus"), ControlKind::CheckBox);
        EXPECT_EQ(kindOf(*b.form, "DownBitrate"), ControlKind::Label);
        EXPECT_EQ(kindOf(*b.form, "WriteReturn"), ControlKind::Button);
        EXPECT_EQ(kindOf(*b.form, "AdvanceFrame"), ControlKind::Frame);
    }
}

TEST(ConfigWindows, InterfaceFieldsBelongToTheirWindowsOnly) {
    const std::vector<std::string> atm = {"MultiPHY", "BufferLimit", "RxClv", "Dric", "Drec"};
    const std::vector<std::string> miiB = {"AutoNeg", "RXlevel"};
    const std::vector<std::string> mii = {"MDIO",       "BackPressure",  "BackSignaling",
                                          "PacketSize", "ClockDivision", "TruncateRetries",
                                          "BPM"};
    const std::vector<std::string> miiBP = {"ADDFILT",
                                            "RXlevelStart",
                                            "RXlevelStop",
                                            "PATTERN_LENGTH",
                                            "BP_IPG",
                                            "IPG",
                                            "FPP",
                                            "FC_TRES_HI",
                                            "FC_HISTER",
                                            "BACK_SIGNALING",
                                            "CRCEN",
                                            "FLWENB",
                                            "AUTOAGE",
                                            "ABP_FC(0)",
                                            "ABP_FC(1)",
                                            "PHY_StatusRegAddr",
                                            "PHY_SpeedBitNum",
                                            "PHY_DuplexBitNum",
                                            "PHY_SpeedPolarity",
                                            "PHY_DuplexPolarity"};
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        auto has = [&](const std::string& n) { return b.form->findByFullName(n) != nullptr; };
        for (const auto& n : atm)
            EXPECT_EQ(has(n), mode % 2 == 0) << n << mode;
        for (const auto& n : miiB)
            EXPECT_EQ(has(n), mode == 1) << n << mode;
        for (const auto& n : mii)
            EXPECT_EQ(has(n), mode % 2 == 1) << n << mode;
        for (const auto& n : miiBP)
            EXPECT_EQ(has(n), mode == 3) << n << mode;
        EXPECT_EQ(has("WatchDogLabel(0)"), mode >= 3);
        EXPECT_EQ(has("WatchDogLabel(1)"), mode >= 3);
    }
    Bench b1(1), b3(3);
    EXPECT_EQ(kindOf(*b1.form, "BPM"), ControlKind::CheckBox);
    EXPECT_EQ(kindOf(*b3.form, "BPM"), ControlKind::ComboBox);
    EXPECT_EQ(kindOf(*b3.form, "ABP_FC(1)"), ControlKind::CheckBox);
    EXPECT_EQ(kindOf(*b3.form, "PHY_SpeedBitNum"), ControlKind::TextBox);
}

TEST(ConfigWindows, LengthLimits) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        EXPECT_EQ(b.box("FText", 0).maxLength(), 2);
        EXPECT_EQ(b.box("FText", 1).maxLength(), 2);
        EXPECT_EQ(b.box("DwCarrierText", 0).maxLength(), 3);
        EXPECT_EQ(b.box("DwCarrierText", 1).maxLength(), 2);
        EXPECT_EQ(b.box("UsCarrierText", 0).maxLength(), 3);
        EXPECT_EQ(b.box("UsCarrierText", 1).maxLength(), 2);
        EXPECT_EQ(b.box("Max_PSD").maxLength(), 5);
        EXPECT_EQ(b.box("Min_PSD").maxLength(), 5);
        for (const char* n :
             {"Max_psdL", "Max_psdH", "Min_psdL", "Min_psdH", "AFEControl", "TransmitePreambleL",
              "ReceivePreambleH", "SleepCounterL", "SleepCounterH", "UTOPIAAddress"})
            EXPECT_EQ(b.box(n).maxLength(), 2) << n;
    }
    Bench b(3);
    EXPECT_EQ(b.box("PHY_DuplexPolarity").maxLength(), 2);
}

TEST(ConfigWindows, ListItemsInTheirOrder) {
    using V = std::vector<std::string>;
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        EXPECT_EQ(itemsOf(b, "Baund"),
                  (V{"2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
        EXPECT_EQ(itemsOf(b, "Dw_Stram_Cons"), (V{"4", "8", "16", "32", "64", "128", "256"}));
        EXPECT_EQ(itemsOf(b, "Up_Stram_Cons"), itemsOf(b, "Dw_Stram_Cons"));
        EXPECT_TRUE(itemsOf(b, "Dw_Stram_Inter").empty());
        EXPECT_EQ(itemsOf(b, "Up_Stram_Inter"),
                  (V{"4", "6", "8", "10", "12", "14", "16", "24", "32", "48", "64"}));
        EXPECT_EQ(itemsOf(b, "TX_Next_value"), (V{"0", "1", "2", "8", "16"}));
        EXPECT_EQ(itemsOf(b, "PowerController"), (V{"0", "1", "2", "3", "4", "5"}));
    }
    Bench atmB(2), atmBP(4), miiB(1), miiBP(3);
    EXPECT_EQ(itemsOf(atmB, "MultiPHY"), (V{"Single", "with polling", "with indication"}));
    EXPECT_EQ(itemsOf(atmBP, "MultiPHY"), (V{"single", "with polling", "with indication"}));
    EXPECT_EQ(itemsOf(atmB, "RxClv"), (V{"44", "48"}));
    EXPECT_EQ(itemsOf(atmB, "BufferLimit"), (V{"2", "4", "8", "154"}));
    EXPECT_EQ(itemsOf(atmBP, "BufferLimit"), (V{"2", "8", "154"}));
    EXPECT_EQ(itemsOf(miiB, "PacketSize"), (V{"1518", "1536"}));
    EXPECT_EQ(itemsOf(miiB, "ClockDivision"), (V{"2", "8", "9", "10"}));
    EXPECT_EQ(itemsOf(miiB, "TruncateRetries"), (V{"2", "4", "8", "16"}));
    EXPECT_EQ(itemsOf(miiB, "RXlevel"), (V{"64", "512", "1024", "1518"}));
    EXPECT_EQ(itemsOf(miiBP, "ADDFILT"), (V{"Disable", "1", "32"}));
    EXPECT_EQ(itemsOf(miiBP, "ClockDivision"), (V{"2", "8", "9", "10"}));
    EXPECT_EQ(itemsOf(miiBP, "BPM"), (V{"Insert IPG", "Append packet"}));
    EXPECT_EQ(itemsOf(miiBP, "RXlevelStop"), (V{"0", "64", "1024", "2048"}));
    EXPECT_EQ(itemsOf(miiBP, "RXlevelStart"), (V{"64", "1518/1538", "12288", "14336"}));
    EXPECT_EQ(itemsOf(miiBP, "IPG"), (V{"20", "32", "48", "64", "80", "96", "112", "128"}));
    EXPECT_EQ(itemsOf(miiBP, "BP_IPG"), (V{"16", "32", "48", "64", "80", "96", "112", "128"}));
    EXPECT_EQ(itemsOf(miiBP, "PATTERN_LENGTH"), (V{"16", "28", "36", "53"}));
    EXPECT_EQ(itemsOf(miiBP, "BACK_SIGNALING"), (V{"1", "1536", "4096", "6144"}));
    EXPECT_EQ(itemsOf(miiBP, "FC_HISTER"), (V{"1024", "2048", "4096"}));
    EXPECT_EQ(itemsOf(miiBP, "FC_TRES_HI"), (V{"512", "2048", "4096", "6120"}));
    EXPECT_EQ(itemsOf(miiBP, "FPP"), (V{"Discard", "Forward"}));
}

TEST(ConfigWindows, CommonGroupCaptionsAndCheckBoxCaptions) {
    const char* captions[] = {"VDSL Layer Configuration",
                              "Downstream",
                              "Upstream",
                              "Carrier Frequency (MHz)",
                              "Interpolation",
                              "Constellation (QAM)",
                              "Line rate DS",
                              "Line Rate US",
                              "General Settings",
                              "Sampling Frequency (MHz)",
                              "COM Baud Rate",
                              "Baud Rate",
                              "RC mode",
                              "Power Control",
                              "Max PSD [dBm/Hz] - Offset",
                              "Min PSD [dBm/Hz] - Offset",
                              "Max PSD Level",
                              "Min PSD Level",
                              "Sleep Mode Control",
                              "Sleep Mode Counter",
                              "AFE Control",
                              "Analog Attenuation",
                              "Discrete AFE Control",
                              "Advance Configuration",
                              "Preamble",
                              "Transmit ",
                              "Receive ",
                              "Registers Content",
                              "DS Carrier",
                              "US Carrier"};
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        for (const char* c : captions)
            EXPECT_NE(labelWithCaption(*b.form, c), nullptr) << c << " in mode " << mode;
        EXPECT_EQ(b.check("Adcf").caption(), "ADC is sampled with falling edge");
        EXPECT_EQ(b.check("Dacf").caption(), "DAC is derived with falling edge");
        EXPECT_EQ(b.check("Adcuns").caption(), "Negate the MSB of the ADC word");
        EXPECT_EQ(b.check("Dacuns").caption(), "Negate the MSB of the DAC word");
        EXPECT_EQ(b.check("Timneg").caption(), "Negate the MSB of the timing word");
        EXPECT_EQ(b.check("Timnus").caption(), "Negate bits 6:0 of the timing correction word");
        EXPECT_EQ(b.check("CntDis").caption(), "Counter Expiration");
        EXPECT_EQ(b.check("Locken").caption(), "PLL Loss");
        EXPECT_EQ(b.check("WakDis").caption(), "Wake-up");
        EXPECT_EQ(b.check("HostDis").caption(), "External Host");
        EXPECT_EQ(b.check("SerDis").caption(), "Will not Sleep serial request");
        auto* def = dynamic_cast<ui::Button*>(b.form->find("Default"));
        auto* done = dynamic_cast<ui::Button*>(b.form->find("WriteReturn"));
        ASSERT_TRUE(def && done);
        EXPECT_EQ(def->caption(), "Default");
        EXPECT_EQ(done->caption(), "Done");
    }
}

TEST(ConfigWindows, InterfaceGroupCaptions) {
    Bench atmB(2), atmBP(4), miiB(1), miiBP(3);
    for (const char* c : {"UTOPIA  Interface  Configuration", "Operation Mode", "ATM Cell Handling",
                          "Multiphy Operation", "Tx Buffer Limit (bytes)", "RxClv Operation"}) {
        EXPECT_NE(labelWithCaption(*atmB.form, c), nullptr) << c;
        EXPECT_NE(labelWithCaption(*atmBP.form, c), nullptr) << c;
    }
    EXPECT_NE(labelWithCaption(*atmB.form, "UTOPIA PHY Address"), nullptr);
    EXPECT_EQ(labelWithCaption(*atmBP.form, "UTOPIA PHY Address"), nullptr);
    EXPECT_NE(labelWithCaption(*atmBP.form, "UTOPIA PHY Address (Hex)"), nullptr);
    EXPECT_EQ(labelWithCaption(*atmB.form, "UTOPIA PHY Address (Hex)"), nullptr);
    EXPECT_EQ(atmB.check("Dric").caption(), "Discard Idle Cells");
    EXPECT_EQ(atmB.check("Drec").caption(), "Discard Cells with HEC errors");

    for (const char* c :
         {"Ethernet Interface  Configuration", "MII address", "Max Packet Size", "Clock Division",
          "MDIO Direction Master", "Auto-Neg", "Colliosion Counter Reset",
          "Back Pressure Configuration", "RX BP Level", "Back Signaling Control"})
        EXPECT_NE(labelWithCaption(*miiB.form, c), nullptr) << c;
    EXPECT_EQ(countLabelsWithCaption(*miiB.form, "General Settings"), 2);
    EXPECT_EQ(miiB.check("BackPressure").caption(), "Back Pressure Disable");
    EXPECT_EQ(miiB.check("BPM").caption(), "Stop and Insert IPG");
    EXPECT_EQ(miiB.check("BackSignaling").caption(), "Back Signaling Disable");
    EXPECT_EQ(miiB.label("MDIODIRLabel").caption(), "MDIO Direction Master");
    EXPECT_EQ(miiB.label("AutoNegLabel").caption(), "Auto-Neg");
    EXPECT_NE(miiB.form->find("MDIOLabel"), nullptr);
    EXPECT_NE(miiB.form->find("AutoLabel"), nullptr);

    for (const char* c : {"Ethernet Interface  Configuration",
                          "MII address",
                          "Max Packet Size",
                          "Clock Division",
                          "Colliosion Counter Reset",
                          "Back Pressure Configuration",
                          "BP Methode",
                          "BP IPG Length [kBit]",
                          "BP Pattern Length [kBit]",
                          "Normal IPG Length [kBit]",
                          "Back Signaling Control",
                          "BS Threshhold /[Bytes]",
                          "Pause Packets Handle",
                          "Address Filtering",
                          "Vendor PHY :",
                          "Status Reg ",
                          "Speed Bit",
                          "Speed Pol.",
                          "Duplex Bit",
                          "Duplex Pol."})
        EXPECT_NE(labelWithCaption(*miiBP.form, c), nullptr) << c;
    EXPECT_EQ(countLabelsWithCaption(*miiBP.form, "Start Level / [Bytes]"), 2);
    EXPECT_EQ(countLabelsWithCaption(*miiBP.form, "Stop Level / [Bytes]"), 2);
    EXPECT_EQ(miiBP.check("ABP_FC", 0).caption(), "Automatic BP");
    EXPECT_EQ(miiBP.check("ABP_FC", 1).caption(), "Automatic  FC");
    EXPECT_EQ(miiBP.check("AUTOAGE").caption(), "Auto Address Aging ");
    EXPECT_EQ(miiBP.check("CRCEN").caption(), "CRC Check");
    EXPECT_EQ(miiBP.check("MDIO").caption(), "MDIO Direction Master");
    EXPECT_EQ(miiBP.check("FLWENB").caption(), "IEEE 802.3 Flow Control");
    EXPECT_EQ(miiBP.check("BackSignaling").caption(), "Back Signaling Disable");
}

TEST(ConfigWindows, ColoursAndReadOnlyCarrierWords) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        for (const char* n :
             {"Next_DownstreamL", "Next_DownstreamH", "Next_UpstreamL", "Next_UpstreamH"}) {
            EXPECT_TRUE(b.box(n).readOnly()) << n;
            EXPECT_EQ(b.box(n).backColour(), ui::kButtonFace) << n;
        }
        for (const char* n : {"FText", "DwCarrierText"}) {
            EXPECT_FALSE(b.box(n, 0).readOnly());
            EXPECT_EQ(b.box(n, 0).backColour(), ui::kFieldBlue);
        }
        for (const char* n :
             {"Max_PSD", "Max_psdL", "AFEControl", "TransmitePreambleL", "UTOPIAAddress"})
            EXPECT_EQ(b.box(n).backColour(), ui::kFieldBlue) << n;
        EXPECT_EQ(b.combo("PowerController").backColour(), ui::kFieldBlue);
    }
}

TEST(ConfigWindows, AdvanceFrameHoldsTheExpertControls) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        const ui::Control* frame = b.form->find("AdvanceFrame");
        for (const char* n :
             {"TransmitePreambleL", "TransmitePreambleM", "TransmitePreambleH", "ReceivePreambleL",
              "ReceivePreambleM", "ReceivePreambleH", "Next_DownstreamL", "Next_DownstreamH",
              "Next_UpstreamL", "Next_UpstreamH", "Adcf", "Dacf", "Adcuns", "Dacuns", "Timneg",
              "Timnus"})
            EXPECT_EQ(b.form->find(n)->container(), frame) << n;
        for (const char* c : {"Advance Configuration", "Preamble", "Transmit ", "Receive ",
                              "Registers Content", "DS Carrier", "US Carrier"})
            EXPECT_EQ(labelWithCaption(*b.form, c)->container(), frame) << c;
        EXPECT_EQ(b.form->find("Dw_Stram_Cons")->container(), b.form->find("UpFrame"));
        EXPECT_EQ(b.form->find("AFEControl")->container(), nullptr);
    }
}

// Decision: before the first load every field that may be left as it was is empty, and so
// are the value labels.
TEST(ConfigWindowsBeforeLoad, FieldsAndLabelsStartEmpty) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        for (const std::string& n : b.form->boundFieldNames()) {
            const ui::Control* c = b.form->findByFullName(n);
            ASSERT_NE(c, nullptr) << n;
            const std::string empty = c->kind() == ControlKind::CheckBox ? "0" : "";
            EXPECT_EQ(b.text(n), empty) << n << " in mode " << mode;
        }
        EXPECT_EQ(b.form->Fsample, 0.0);
        EXPECT_FALSE(b.form->AfeUpdating);
    }
}

TEST(ConfigWindowsLoadRule, CreatingTheWindowClearsFormChange) {
    app::RunState run;
    run.FormChange = true;
    image::ConfigModule cm;
    ui::ScriptedPlatform platform;
    FormContext ctx{run, cm, platform, nullptr};
    auto f = ConfigForm::create(3, ctx);
    EXPECT_FALSE(run.FormChange);
    EXPECT_FALSE(f->AfeUpdating);
    EXPECT_FALSE(f->Loading);
}

TEST(ConfigWindows, BoundFieldNamesListEveryFieldOnce) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        const auto names = b.form->boundFieldNames();
        std::set<std::string> unique(names.begin(), names.end());
        EXPECT_EQ(unique.size(), names.size());
        for (const char* n :
             {"FText(0)", "FText(1)", "DwCarrierText(0)", "DwCarrierText(1)", "UsCarrierText(0)",
              "UsCarrierText(1)", "UART_Rate", "DownBitrate", "UpBitrate", "Max_PSD", "Min_PSD",
              "AFEControl", "UTOPIAAddress", "PowerController", "Baund"})
            EXPECT_TRUE(unique.count(n)) << n;
        for (const std::string& n : names)
            EXPECT_TRUE(b.form->FieldText(n).has_value()) << n;
        // Buttons, frames and arrows are no fields.
        EXPECT_FALSE(unique.count("Default"));
        EXPECT_FALSE(unique.count("DownCarrierScroll"));
        if (mode == 3) {
            EXPECT_TRUE(unique.count("ABP_FC(0)"));
            EXPECT_TRUE(unique.count("ABP_FC(1)"));
            EXPECT_TRUE(unique.count("PHY_DuplexPolarity"));
        }
        if (mode % 2 == 0) {
            EXPECT_TRUE(unique.count("MultiPHY"));
        }
    }
    Bench b(1);
    EXPECT_FALSE(b.form->FieldText("NoSuchField").has_value());
}

TEST(ConfigWindowsLayout, WatchdogLabelsOnlyOnRequest) {
    Bench miiBP(3), atmBP(4), atmB(2);
    EXPECT_EQ(miiBP.label("WatchDogLabel", 0).caption(), "Watchdog is disabled");
    EXPECT_EQ(atmBP.label("WatchDogLabel", 0).caption(), "Watch Dog is disabled");
    EXPECT_FALSE(miiBP.label("WatchDogLabel", 1).caption().empty());
    EXPECT_FALSE(miiBP.label("WatchDogLabel", 0).visible());
    EXPECT_FALSE(miiBP.label("WatchDogLabel", 1).visible());
    miiBP.form->ShowWatchdogLabels(true);
    EXPECT_TRUE(miiBP.label("WatchDogLabel", 0).visible());
    EXPECT_TRUE(miiBP.label("WatchDogLabel", 1).visible());
    miiBP.form->ShowWatchdogLabels(false);
    EXPECT_FALSE(miiBP.label("WatchDogLabel", 0).visible());
    atmB.form->ShowWatchdogLabels(true); // no such labels: nothing happens
    EXPECT_EQ(atmB.form->find("WatchDogLabel", 0), nullptr);
}

TEST(ConfigWindowsLayout, NonExpertHidesTheAdvanceFrameAndNarrowsTheWindow) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        b.form->SetExpertLayout(true);
        const int wide = b.form->width();
        EXPECT_TRUE(b.form->find("AdvanceFrame")->visible());
        b.form->SetExpertLayout(false);
        EXPECT_LT(b.form->width(), wide);
        EXPECT_FALSE(b.form->find("AdvanceFrame")->visible());
        EXPECT_FALSE(b.form->find("TransmitePreambleL")->shown());
        EXPECT_FALSE(b.form->find("Next_UpstreamH")->shown());
        EXPECT_FALSE(b.form->find("Timnus")->shown());
        EXPECT_TRUE(b.form->find("AFEControl")->shown());
        EXPECT_TRUE(b.form->find("WriteReturn")->shown());
        // Everything still shown fits the narrower window.
        for (const auto& c : b.form->controls()) {
            if (c->shown()) {
                EXPECT_LE(c->geometry().x + c->geometry().w, b.form->width()) << c->fullName();
            }
        }
        const bool miiB = mode == 1;
        for (const char* n :
             {"MDIO", "AutoNeg", "MDIOLabel", "MDIODIRLabel", "AutoNegLabel", "AutoLabel"}) {
            if (const ui::Control* c = b.form->find(n)) {
                EXPECT_EQ(c->shown(), !miiB) << n;
            }
        }
        b.form->SetExpertLayout(true);
        EXPECT_EQ(b.form->width(), wide);
        EXPECT_TRUE(b.form->find("Timnus")->shown());
        if (miiB) {
            EXPECT_TRUE(b.form->find("AutoNegLabel")->shown());
        }
    }
}

bool overlap(const ui::Geometry& a, const ui::Geometry& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

TEST(ConfigWindowsLayout, EveryControlPlacedInsideTheWindowWithoutOverlap) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        b.form->SetExpertLayout(true);
        std::vector<const ui::Control*> placed;
        for (const auto& c : b.form->controls()) {
            const ui::Geometry& g = c->geometry();
            EXPECT_GT(g.w, 0) << c->fullName();
            EXPECT_GT(g.h, 0) << c->fullName();
            EXPECT_GE(g.x, 0) << c->fullName();
            EXPECT_GE(g.y, 0) << c->fullName();
            EXPECT_LE(g.x + g.w, b.form->width()) << c->fullName();
            EXPECT_LE(g.y + g.h, b.form->height()) << c->fullName();
            if (c->kind() != ControlKind::Frame) placed.push_back(c.get());
        }
        for (std::size_t i = 0; i < placed.size(); ++i)
            for (std::size_t j = i + 1; j < placed.size(); ++j)
                EXPECT_FALSE(overlap(placed[i]->geometry(), placed[j]->geometry()))
                    << placed[i]->fullName() << " and " << placed[j]->fullName() << " in mode "
                    << mode;
        // A frame holds its controls and no others.
        for (const char* fn : {"AdvanceFrame", "UpFrame"}) {
            const ui::Control* frame = b.form->find(fn);
            const ui::Geometry& fg = frame->geometry();
            for (const ui::Control* c : placed) {
                const ui::Geometry& g = c->geometry();
                const bool inside = g.x >= fg.x && g.y >= fg.y && g.x + g.w <= fg.x + fg.w &&
                                    g.y + g.h <= fg.y + fg.h;
                if (c->container() == frame) {
                    EXPECT_TRUE(inside) << c->fullName() << " outside " << fn;
                } else {
                    EXPECT_FALSE(overlap(g, fg)) << c->fullName() << " on " << fn;
                }
            }
        }
    }
}

TEST(ConfigWindowsLayout, CaptionsHaveRoomForTheirText) {
    for (int mode = 1; mode <= 4; ++mode) {
        Bench b(mode);
        for (const auto& c : b.form->controls()) {
            if (auto* l = dynamic_cast<const ui::Label*>(c.get())) {
                EXPECT_GE(l->geometry().w, 8 * static_cast<int>(l->caption().size()))
                    << l->fullName() << " '" << l->caption() << "'";
            }
            if (auto* k = dynamic_cast<const ui::CheckBox*>(c.get())) {
                EXPECT_GE(k->geometry().w, 16 + 8 * static_cast<int>(k->caption().size()))
                    << k->fullName();
            }
            if (auto* cb = dynamic_cast<const ui::ComboBox*>(c.get())) {
                for (const std::string& item : cb->items()) {
                    EXPECT_GE(cb->geometry().w, 8 * static_cast<int>(item.size()) + 20)
                        << cb->fullName();
                }
            }
        }
    }
}

TEST(ConfigWindowsLayout, RowsAreEvenlySpacedAndHighByteStandsLeft) {
    Bench b(2);
    const int fs = b.box("FText", 0).geometry().y;
    const int baud = b.combo("Baund").geometry().y;
    EXPECT_EQ(baud - fs, 24);
    EXPECT_LT(b.box("Max_psdH").geometry().x, b.box("Max_psdL").geometry().x);
    EXPECT_EQ(b.box("Max_psdH").geometry().y, b.box("Max_psdL").geometry().y);
    EXPECT_LT(b.box("FText", 0).geometry().x, b.box("FText", 1).geometry().x);
    // Downstream column left of the upstream column, rows aligned.
    EXPECT_LT(b.combo("Dw_Stram_Cons").geometry().x, b.combo("Up_Stram_Cons").geometry().x);
    EXPECT_EQ(b.combo("Dw_Stram_Cons").geometry().y, b.combo("Up_Stram_Cons").geometry().y);
    // The advance column is the right-hand one.
    EXPECT_GT(b.box("TransmitePreambleL").geometry().x, b.combo("MultiPHY").geometry().x);
}

} // namespace
} // namespace rw::config::test

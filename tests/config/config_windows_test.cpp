// The four windows as built: fields, kinds, limits, lists, captions, colours, frames, the
// state before the first load, the expert and non-expert layouts and the geometry.
#include "config_test_support.h"

#include <set>

namespace rw::config::test {
namespace {

using ui::ControlKind;

// Controls of the advance frame, shown only in the expert layout.
const char* const kAdvanceControls =
    "TransmitePreambleL TransmitePreambleM TransmitePreambleH ReceivePreambleL ReceivePreambleM "
    "ReceivePreambleH Next_DownstreamL Next_DownstreamH Next_UpstreamL Next_UpstreamH Adcf Dacf "
    "Adcuns Dacuns Timneg Timnus";
const char* const kAdvanceCaptions =
    "Advance Configuration|Preamble|Transmit |Receive |Registers Content|DS Carrier|US Carrier";

ControlKind kindOf(Bench& b, const std::string& name) {
    const ui::Control* c = b.form->findByFullName(name);
    EXPECT_NE(c, nullptr) << name;
    return c ? c->kind() : ControlKind::Picture;
}

// Every caption of a '|'-separated list is on some label of the window.
void expectCaptions(Bench& b, const std::string& captions) {
    for (const std::string& c : split(captions, '|'))
        EXPECT_FALSE(labelsWithCaption(*b.form, c).empty()) << "'" << c << "' in mode " << b.mode;
}

// Check box captions given as "Name=Caption;...".
void expectCheckCaptions(Bench& b, const std::string& pairs) {
    for (const std::string& pair : split(pairs, ';')) {
        const auto eq = pair.find('=');
        const std::string name = pair.substr(0, eq);
        const auto paren = name.find('(');
        const int index = paren == std::string::npos ? -1 : std::stoi(name.substr(paren + 1));
        EXPECT_EQ(b.check(name.substr(0, paren), index).caption(), pair.substr(eq + 1)) << name;
    }
}

TEST(ConfigWindows, CreateGivesTheProductsWindowWithItsCaption) {
    const char* names[] = {"MII_B", "ATM_B", "MII_BP", "ATM_BP"};
    forEachWindow([&](Bench& b) {
        ASSERT_NE(b.form, nullptr);
        EXPECT_EQ(b.form->name(), names[b.mode - 1]);
        EXPECT_EQ(b.form->isBPlus(), b.mode >= 3);
        EXPECT_EQ(b.form->isAtm(), b.mode % 2 == 0);
        EXPECT_EQ(b.form->caption(),
                  b.mode % 2 == 0 ? "ATM E2 Configurations" : "Kestrel E2 Configurations");
    });
    Bench b(1);
    EXPECT_EQ(ConfigForm::create(0, b.ctx), nullptr);
    EXPECT_EQ(ConfigForm::create(5, b.ctx), nullptr);
}

TEST(ConfigWindows, FieldsBelongToTheirWindowsWithTheirKinds) {
    // Interface fields by the products that have them.
    const std::pair<const char*, std::set<int>> interfaceFields[] = {
        {"MultiPHY BufferLimit RxClv Dric Drec", {2, 4}},
        {"AutoNeg RXlevel", {1}},
        {"MDIO BackPressure BackSignaling PacketSize ClockDivision TruncateRetries BPM", {1, 3}},
        {"ADDFILT RXlevelStart RXlevelStop PATTERN_LENGTH BP_IPG IPG FPP FC_TRES_HI FC_HISTER "
         "BACK_SIGNALING CRCEN FLWENB AUTOAGE ABP_FC(0) ABP_FC(1) PHY_StatusRegAddr "
         "PHY_SpeedBitNum PHY_DuplexBitNum PHY_SpeedPolarity PHY_DuplexPolarity",
         {3}},
        {"WatchDogLabel(0) WatchDogLabel(1)", {3, 4}}};
    const std::pair<const char*, ControlKind> kinds[] = {
        {"FText(0)", ControlKind::TextBox},         {"Baund", ControlKind::ComboBox},
        {"UART_Rate", ControlKind::Label},          {"DownCarrierScroll", ControlKind::UpDown},
        {"PowerController", ControlKind::ComboBox}, {"Timnus", ControlKind::CheckBox},
        {"DownBitrate", ControlKind::Label},        {"WriteReturn", ControlKind::Button},
        {"AdvanceFrame", ControlKind::Frame}};
    // The common fields are all shown after a load (ConfigLoad); here the interface fields.
    forEachWindow([&](Bench& b) {
        for (const auto& [names, modes] : interfaceFields)
            for (const std::string& n : split(names))
                EXPECT_EQ(b.form->findByFullName(n) != nullptr, modes.count(b.mode) > 0) << n;
        for (auto [n, kind] : kinds)
            EXPECT_EQ(kindOf(b, n), kind) << n;
    });
    Bench b1(1), b3(3);
    EXPECT_EQ(kindOf(b1, "BPM"), ControlKind::CheckBox);
    EXPECT_EQ(kindOf(b3, "BPM"), ControlKind::ComboBox);
    EXPECT_EQ(kindOf(b3, "ABP_FC(1)"), ControlKind::CheckBox);
    EXPECT_EQ(kindOf(b3, "PHY_SpeedBitNum"), ControlKind::TextBox);
    EXPECT_EQ(b3.box("PHY_DuplexPolarity").maxLength(), 2);
}

TEST(ConfigWindows, LengthLimitsColoursAndReadOnlyCarrierWords) {
    forEachWindow([](Bench& b) {
        for (const char* n : {"FText", "DwCarrierText", "UsCarrierText"}) {
            EXPECT_EQ(b.box(n, 0).maxLength(), n[0] == 'F' ? 2 : 3) << n;
            EXPECT_EQ(b.box(n, 1).maxLength(), 2) << n;
        }
        for (const char* n : {"Max_PSD", "Min_PSD"})
            EXPECT_EQ(b.box(n).maxLength(), 5) << n;
        for (const std::string& n :
             split("Max_psdL Max_psdH Min_psdL Min_psdH AFEControl TransmitePreambleL "
                   "ReceivePreambleH SleepCounterL SleepCounterH UTOPIAAddress"))
            EXPECT_EQ(b.box(n).maxLength(), 2) << n;
        for (const std::string& n :
             split("Next_DownstreamL Next_DownstreamH Next_UpstreamL Next_UpstreamH")) {
            EXPECT_TRUE(b.box(n).readOnly()) << n;
            EXPECT_EQ(b.box(n).backColour(), ui::kButtonFace) << n;
        }
        for (const char* n : {"FText", "DwCarrierText"}) {
            EXPECT_FALSE(b.box(n, 0).readOnly()) << n;
            EXPECT_EQ(b.box(n, 0).backColour(), ui::kFieldBlue) << n;
        }
        for (const std::string& n :
             split("Max_PSD Max_psdL AFEControl TransmitePreambleL UTOPIAAddress"))
            EXPECT_EQ(b.box(n).backColour(), ui::kFieldBlue) << n;
        EXPECT_EQ(b.combo("PowerController").backColour(), ui::kFieldBlue);
    });
}

TEST(ConfigWindows, ListItemsInTheirOrder) {
    // "Name=item|item;..." for every window, then by product.
    const std::string common =
        "Baund=2400|4800|9600|19200|38400|57600|115200;"
        "Dw_Stram_Cons=4|8|16|32|64|128|256;Up_Stram_Cons=4|8|16|32|64|128|256;"
        "Up_Stram_Inter=4|6|8|10|12|14|16|24|32|48|64;"
        "TX_Next_value=0|1|2|8|16;PowerController=0|1|2|3|4|5;Dw_Stram_Inter=";
    const char* const byProduct[] = {
        "PacketSize=1518|1536;ClockDivision=2|8|9|10;TruncateRetries=2|4|8|16;"
        "RXlevel=64|512|1024|1518",
        "MultiPHY=Single|with polling|with indication;RxClv=44|48;BufferLimit=2|4|8|154",
        "ADDFILT=Disable|1|32;ClockDivision=2|8|9|10;BPM=Insert IPG|Append packet;"
        "RXlevelStop=0|64|1024|2048;RXlevelStart=64|1518/1538|12288|14336;"
        "IPG=20|32|48|64|80|96|112|128;BP_IPG=16|32|48|64|80|96|112|128;"
        "PATTERN_LENGTH=16|28|36|53;BACK_SIGNALING=1|1536|4096|6144;FC_HISTER=1024|2048|4096;"
        "FC_TRES_HI=512|2048|4096|6120;FPP=Discard|Forward",
        "MultiPHY=single|with polling|with indication;BufferLimit=2|8|154"};
    forEachWindow([&](Bench& b) {
        for (const std::string& list : split(common + ";" + byProduct[b.mode - 1], ';')) {
            const auto eq = list.find('=');
            const std::string items = list.substr(eq + 1);
            EXPECT_EQ(b.combo(list.substr(0, eq)).items(),
                      items.empty() ? std::vector<std::string>{} : split(items, '|'))
                << list;
        }
    });
}

TEST(ConfigWindows, CaptionsOfEveryWindow) {
    forEachWindow([](Bench& b) {
        expectCaptions(b, "VDSL Layer Configuration|Downstream|Upstream|Carrier Frequency "
                          "(MHz)|Interpolation|Constellation (QAM)|Line rate DS|Line Rate "
                          "US|General Settings|Sampling Frequency (MHz)|COM Baud Rate|Baud "
                          "Rate|RC mode|Power Control|Max PSD [dBm/Hz] - Offset|Min PSD "
                          "[dBm/Hz] - Offset|Max PSD Level|Min PSD Level|Sleep Mode "
                          "Control|Sleep Mode Counter|AFE Control|Analog Attenuation|Discrete "
                          "AFE Control");
        expectCaptions(b, kAdvanceCaptions);
        expectCheckCaptions(
            b, "Adcf=ADC is sampled with falling edge;Dacf=DAC is derived with falling "
               "edge;Adcuns=Negate the MSB of the ADC word;Dacuns=Negate the MSB of the DAC "
               "word;Timneg=Negate the MSB of the timing word;Timnus=Negate bits 6:0 of the "
               "timing correction word;CntDis=Counter Expiration;Locken=PLL "
               "Loss;WakDis=Wake-up;HostDis=External Host;SerDis=Will not Sleep serial "
               "request");
        EXPECT_EQ(dynamic_cast<ui::Button&>(*b.find("Default")).caption(), "Default");
        EXPECT_EQ(dynamic_cast<ui::Button&>(*b.find("WriteReturn")).caption(), "Done");
    });
}

TEST(ConfigWindows, InterfaceCaptions) {
    Bench atmB(2), atmBP(4), miiB(1), miiBP(3);
    for (Bench* b : {&atmB, &atmBP}) {
        expectCaptions(*b, "UTOPIA  Interface  Configuration|Operation Mode|ATM Cell "
                           "Handling|Multiphy Operation|Tx Buffer Limit (bytes)|RxClv Operation");
        const bool bPlus = b->mode == 4;
        EXPECT_EQ(labelsWithCaption(*b->form, "UTOPIA PHY Address").empty(), bPlus);
        EXPECT_EQ(labelsWithCaption(*b->form, "UTOPIA PHY Address (Hex)").empty(), !bPlus);
    }
    expectCheckCaptions(atmB, "Dric=Discard Idle Cells;Drec=Discard Cells with HEC errors");

    expectCaptions(miiB, "Ethernet Interface  Configuration|MII address|Max Packet Size|Clock "
                         "Division|MDIO Direction Master|Auto-Neg|Colliosion Counter Reset|Back "
                         "Pressure Configuration|RX BP Level|Back Signaling Control");
    EXPECT_EQ(labelsWithCaption(*miiB.form, "General Settings").size(), 2u);
    expectCheckCaptions(miiB, "BackPressure=Back Pressure Disable;BPM=Stop and Insert "
                              "IPG;BackSignaling=Back Signaling Disable");
    EXPECT_EQ(miiB.label("MDIODIRLabel").caption(), "MDIO Direction Master");
    EXPECT_EQ(miiB.label("AutoNegLabel").caption(), "Auto-Neg");
    EXPECT_NE(miiB.find("MDIOLabel"), nullptr);
    EXPECT_NE(miiB.find("AutoLabel"), nullptr);

    expectCaptions(
        miiBP, "Ethernet Interface  Configuration|MII address|Max Packet Size|Clock "
               "Division|Colliosion Counter Reset|Back Pressure Configuration|BP Methode|BP "
               "IPG Length [kBit]|BP Pattern Length [kBit]|Normal IPG Length [kBit]|Back "
               "Signaling Control|BS Threshhold /[Bytes]|Pause Packets Handle|Address "
               "Filtering|Vendor PHY :|Status Reg |Speed Bit|Speed Pol.|Duplex Bit|Duplex Pol.");
    EXPECT_EQ(labelsWithCaption(*miiBP.form, "Start Level / [Bytes]").size(), 2u);
    EXPECT_EQ(labelsWithCaption(*miiBP.form, "Stop Level / [Bytes]").size(), 2u);
    expectCheckCaptions(miiBP, "ABP_FC(0)=Automatic BP;ABP_FC(1)=Automatic  FC;AUTOAGE=Auto "
                               "Address Aging ;CRCEN=CRC Check;MDIO=MDIO Direction "
                               "Master;FLWENB=IEEE 802.3 Flow Control;BackSignaling=Back "
                               "Signaling Disable");
}

TEST(ConfigWindows, AdvanceFrameHoldsTheExpertControls) {
    forEachWindow([](Bench& b) {
        const ui::Control* frame = b.find("AdvanceFrame");
        for (const std::string& n : split(kAdvanceControls))
            EXPECT_EQ(b.find(n)->container(), frame) << n;
        for (const std::string& c : split(kAdvanceCaptions, '|'))
            EXPECT_EQ(labelsWithCaption(*b.form, c).at(0)->container(), frame) << c;
        EXPECT_EQ(b.find("Dw_Stram_Cons")->container(), b.find("UpFrame"));
        EXPECT_EQ(b.find("AFEControl")->container(), nullptr);
    });
}

// Decision: before the first load every field that may be left as it was is empty, and so
// are the value labels. The bound names list every field once, buttons and arrows not.
TEST(ConfigWindows, BoundFieldsListEveryFieldOnceAndStartEmpty) {
    forEachWindow([](Bench& b) {
        const auto names = b.form->boundFieldNames();
        const std::set<std::string> unique(names.begin(), names.end());
        EXPECT_EQ(unique.size(), names.size());
        std::string want = "FText(0) FText(1) DwCarrierText(0) DwCarrierText(1) "
                           "UsCarrierText(0) UsCarrierText(1) UART_Rate DownBitrate UpBitrate "
                           "Max_PSD Min_PSD AFEControl UTOPIAAddress PowerController Baund";
        if (b.mode == 3) want += " ABP_FC(0) ABP_FC(1) PHY_DuplexPolarity";
        if (b.mode % 2 == 0) want += " MultiPHY";
        for (const std::string& n : split(want))
            EXPECT_TRUE(unique.count(n)) << n;
        EXPECT_FALSE(unique.count("Default"));
        EXPECT_FALSE(unique.count("DownCarrierScroll"));
        for (const std::string& n : names) {
            const ui::Control* c = b.form->findByFullName(n);
            ASSERT_NE(c, nullptr) << n;
            EXPECT_EQ(b.text(n), c->kind() == ControlKind::CheckBox ? "0" : "") << n;
        }
        EXPECT_EQ(b.form->Fsample, 0.0);
        EXPECT_FALSE(b.form->AfeUpdating);
    });
    Bench b(1);
    EXPECT_FALSE(b.form->FieldText("NoSuchField").has_value());
}

TEST(ConfigWindows, CreatingTheWindowClearsFormChange) {
    app::RunState run;
    run.FormChange = true;
    image::ConfigModule cm;
    ui::ScriptedPlatform platform;
    FormContext ctx{run.FormChange, cm, platform, nullptr};
    auto f = ConfigForm::create(3, ctx);
    EXPECT_FALSE(run.FormChange);
    EXPECT_FALSE(f->AfeUpdating);
    EXPECT_FALSE(f->Loading);
}

TEST(ConfigWindowsLayout, WatchdogLabelsOnlyOnRequest) {
    Bench miiBP(3), atmBP(4), atmB(2);
    EXPECT_EQ(miiBP.label("WatchDogLabel", 0).caption(), "Watchdog is disabled");
    EXPECT_EQ(atmBP.label("WatchDogLabel", 0).caption(), "Watch Dog is disabled");
    EXPECT_FALSE(miiBP.label("WatchDogLabel", 1).caption().empty());
    auto visible = [&](int i) { return miiBP.label("WatchDogLabel", i).visible(); };
    EXPECT_FALSE(visible(0) || visible(1));
    miiBP.form->ShowWatchdogLabels(true);
    EXPECT_TRUE(visible(0) && visible(1));
    miiBP.form->ShowWatchdogLabels(false);
    EXPECT_FALSE(visible(0));
    atmB.form->ShowWatchdogLabels(true); // no such labels: nothing happens
    EXPECT_EQ(atmB.find("WatchDogLabel", 0), nullptr);
}

TEST(ConfigWindowsLayout, NonExpertHidesTheAdvanceFrameAndNarrowsTheWindow) {
    forEachWindow([](Bench& b) {
        b.form->SetExpertLayout(true);
        const int wide = b.form->width();
        EXPECT_TRUE(b.find("AdvanceFrame")->visible());
        b.form->SetExpertLayout(false);
        EXPECT_LT(b.form->width(), wide);
        EXPECT_FALSE(b.find("AdvanceFrame")->visible());
        for (const std::string& n : split(kAdvanceControls))
            EXPECT_FALSE(b.find(n)->shown()) << n;
        EXPECT_TRUE(b.find("AFEControl")->shown());
        EXPECT_TRUE(b.find("WriteReturn")->shown());
        // Everything still shown fits the narrower window.
        for (const auto& c : b.form->controls())
            EXPECT_TRUE(!c->shown() || c->geometry().x + c->geometry().w <= b.form->width())
                << c->fullName();
        // MII_B also hides its MDIO and auto-negotiation controls.
        for (const char* n :
             {"MDIO", "AutoNeg", "MDIOLabel", "MDIODIRLabel", "AutoNegLabel", "AutoLabel"})
            EXPECT_TRUE(!b.find(n) || b.find(n)->shown() == (b.mode != 1)) << n;
        b.form->SetExpertLayout(true);
        EXPECT_EQ(b.form->width(), wide);
        EXPECT_TRUE(b.find("Timnus")->shown());
        EXPECT_TRUE(b.mode != 1 || b.find("AutoNegLabel")->shown());
    });
}

bool overlap(const ui::Geometry& a, const ui::Geometry& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

TEST(ConfigWindowsLayout, ControlsInsideTheWindowWithoutOverlapAndWithRoomForTheirText) {
    forEachWindow([](Bench& b) {
        b.form->SetExpertLayout(true);
        std::vector<const ui::Control*> placed;
        for (const auto& c : b.form->controls()) {
            SCOPED_TRACE(c->fullName());
            const ui::Geometry& g = c->geometry();
            EXPECT_TRUE(g.w > 0 && g.h > 0 && g.x >= 0 && g.y >= 0);
            EXPECT_LE(g.x + g.w, b.form->width());
            EXPECT_LE(g.y + g.h, b.form->height());
            if (c->kind() != ControlKind::Frame) placed.push_back(c.get());
            // Captions and list items have 8 pixels a character (plus box or arrow).
            int need = 0;
            if (auto* l = dynamic_cast<const ui::Label*>(c.get())) need = 8 * l->caption().size();
            if (auto* k = dynamic_cast<const ui::CheckBox*>(c.get()))
                need = 16 + 8 * k->caption().size();
            if (auto* cb = dynamic_cast<const ui::ComboBox*>(c.get()))
                for (const std::string& item : cb->items())
                    need = std::max(need, 8 * static_cast<int>(item.size()) + 20);
            EXPECT_GE(g.w, need);
        }
        for (std::size_t i = 0; i < placed.size(); ++i)
            for (std::size_t j = i + 1; j < placed.size(); ++j)
                EXPECT_FALSE(overlap(placed[i]->geometry(), placed[j]->geometry()))
                    << placed[i]->fullName() << " and " << placed[j]->fullName();
        // A frame holds its controls and no others.
        for (const char* fn : {"AdvanceFrame", "UpFrame"}) {
            const ui::Control* frame = b.find(fn);
            const ui::Geometry& fg = frame->geometry();
            for (const ui::Control* c : placed) {
                const ui::Geometry& g = c->geometry();
                const bool inside = g.x >= fg.x && g.y >= fg.y && g.x + g.w <= fg.x + fg.w &&
                                    g.y + g.h <= fg.y + fg.h;
                if (c->container() == frame)
                    EXPECT_TRUE(inside) << c->fullName() << " outside " << fn;
                else
                    EXPECT_FALSE(overlap(g, fg)) << c->fullName() << " on " << fn;
            }
        }
    });
}

TEST(ConfigWindowsLayout, RowsAreEvenlySpacedAndHighByteStandsLeft) {
    Bench b(2);
    EXPECT_EQ(b.combo("Baund").geometry().y - b.box("FText", 0).geometry().y, 24);
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

// Loading generated images into each window, storing back into saved images and into the
// override table, marker codes, the refused stores and "Done".
#include "config_test_support.h"

#include <functional>
#include <set>
#include <stdexcept>

namespace rw::config::test {
namespace {

// What every window shows for the reference bytes.
const char* const kCommonReferenceTexts =
    "FText(0)=25;FText(1)=92;Baund=9600;Dw_Stram_Cons=16;Dw_Stram_Inter=12;Up_Stram_Cons=4;"
    "Up_Stram_Inter=6;DownBitrate=8.64;UpBitrate=8.64;Next_DownstreamL=ED;Next_DownstreamH=0;"
    "Next_UpstreamL=52;Next_UpstreamH=0;DwCarrierText(0)=005;DwCarrierText(1)=99;"
    "UsCarrierText(0)=002;UsCarrierText(1)=07;AFEControl=7B;Adcf=0;Dacf=1;Adcuns=1;Dacuns=1;"
    "Timneg=1;Timnus=0;Max_psdL=0;Max_psdH=4;Min_psdL=10;Min_psdH=0;PowerController=5;"
    "Max_PSD=64.7;Min_PSD=28.58;Reduce=1;TX_Next_value=8;TransmitePreambleL=B2;"
    "TransmitePreambleM=28;TransmitePreambleH=F6;ReceivePreambleL=A;ReceivePreambleM=B;"
    "ReceivePreambleH=C;UART_Rate=F2;WakDis=1;HostDis=0;TcDis=1;SerDis=0;CntDis=0;Locken=1;"
    "SleepCounterL=3C;SleepCounterH=1;UTOPIAAddress=1F";

// And the interface fields of each product.
const char* const kInterfaceReferenceTexts[] = {
    "AutoNeg=0;BackSignaling=0;BackPressure=1;PacketSize=1536;MDIO=0;ClockDivision=9;"
    "TruncateRetries=4;BPM=1;RXlevel=1024",
    "MultiPHY=with polling;RxClv=48;Dric=1;Drec=1;BufferLimit=154",
    "ADDFILT=1;PacketSize=1536;ClockDivision=8;MDIO=1;BackSignaling=0;CRCEN=1;ABP_FC(1)=0;"
    "ABP_FC(0)=1;TruncateRetries=4;BPM=Insert IPG;RXlevelStop=64;RXlevelStart=12288;"
    "BackPressure=1;IPG=96;BP_IPG=32;PATTERN_LENGTH=53;BACK_SIGNALING=1536;FC_HISTER=4096;"
    "FC_TRES_HI=4096;FPP=Discard;FLWENB=1;AUTOAGE=1;PHY_StatusRegAddr=1C;PHY_SpeedBitNum=1;"
    "PHY_DuplexBitNum=0;PHY_SpeedPolarity=F;PHY_DuplexPolarity=A5",
    "MultiPHY=with polling;RxClv=48;Dric=1;Drec=1;BufferLimit=154"};

TEST(ConfigLoad, EveryProductShowsTheStoredFieldsAndBytes) {
    forEachMode([](Bench& b) {
        b.expectTexts(kCommonReferenceTexts);
        b.expectTexts(kInterfaceReferenceTexts[b.mode - 1]);
        EXPECT_DOUBLE_EQ(b.form->Fsample, 25.92);
        EXPECT_EQ(b.combo("PowerController").backColour(), ui::kFieldBlue);
        EXPECT_TRUE(b.mode != 3 || b.combo("FC_HISTER").backColour() == ui::kFieldBlue);
        EXPECT_FALSE(b.run.FormChange);
        EXPECT_EQ(b.boxes(), 0u);
        for (const auto& [slot, v] : referenceSlots(b.mode))
            EXPECT_EQ(b.form->FieldBytes[static_cast<std::size_t>(slot)], v) << slot;
    });
    Bench b(1);
    ASSERT_TRUE(b.loadWith({{9, 0x04}}));
    b.expectTexts("AutoNeg=1;Reduce=0");
}

TEST(ConfigLoad, InvalidBlockFallsBackForFrequencyAndBaudOnly) {
    for (const auto& bad : {std::pair{28, 0x51}, {24, 100}, {25, 100}, {26, 7}}) {
        const int slot = bad.first;
        const int value = bad.second;
        SCOPED_TRACE("slot " + std::to_string(slot));
        forEachMode([slot, value](Bench& b) {
            const bool atm = b.mode % 2 == 0;
            std::map<int, std::uint8_t> s = {{25, 30}, {24, 5}, {26, 6}};
            s[slot] = static_cast<std::uint8_t>(value);
            ASSERT_TRUE(b.loadWith(s));
            b.expectTexts(std::string("FText(0)=25;Baund=9600;FText(1)=") + (atm ? "92" : "00"));
            EXPECT_DOUBLE_EQ(b.form->Fsample, atm ? 25.92 : 25.0);
            // Everything else still loads.
            b.expectTexts("Next_DownstreamL=ED;TransmitePreambleH=F6;UART_Rate=F2");
            EXPECT_EQ(b.boxes(), 0u);
        });
    }
    // A valid block is taken as stored, with the one-digit bytes padded.
    Bench b(2);
    ASSERT_TRUE(b.loadWith({{25, 5}, {24, 7}, {26, 6}}));
    b.expectTexts("FText(0)=05;FText(1)=07;Baund=115200");
}

// Decision: the carrier MHz are derived from the words as N x Fsample / 1024, floored; Fsample
// is the value the boxes show (29 hundredths are .29, not .28).
TEST(ConfigLoadDecisions, CarrierMegahertzAndSamplingFrequencyAsShown) {
    Bench b(2); // 474 at 25.92 MHz: 11.9981..., 336: 8.505
    ASSERT_TRUE(b.loadWith({{2, 0xDA}, {3, 0x01}, {4, 0x50}, {5, 0x01}}));
    b.expectTexts("DwCarrierText(0)=011;DwCarrierText(1)=99;UsCarrierText(0)=008;"
                  "UsCarrierText(1)=50");
    // Floored, not rounded: 82 x 25 / 1024 = 2.0019, and 41 gives 1.0009.
    Bench m(1);
    ASSERT_TRUE(m.loadWith({{25, 25}, {24, 0}, {2, 82}, {4, 41}}));
    m.expectTexts("DwCarrierText(0)=002;DwCarrierText(1)=00;UsCarrierText(0)=001;"
                  "UsCarrierText(1)=00");
    Bench p(3);
    ASSERT_TRUE(p.loadWith({{25, 25}, {24, 29}}));
    EXPECT_EQ(p.text("FText(1)"), "29");
    EXPECT_EQ(p.form->Fsample, 25 + 29 / 100.0);
    EXPECT_DOUBLE_EQ(p.form->Fsample, 25.29);
}

// Decision: texts a list cannot offer are shown and the load goes on.
TEST(ConfigLoadDecisions, MarkerTextsAreShownAndTheLoadGoesOn) {
    forEachMode(
        [](Bench& b) {
            ASSERT_TRUE(b.loadWith({{44, 0x81}, {12, 3}})); // MultiPHY code 1, TX outside the list
            b.expectTexts(std::string("TX_Next_value=3;MultiPHY=") +
                          (b.mode == 2 ? "Error Phy" : "error phy"));
            EXPECT_EQ(b.combo("MultiPHY").listIndex(), -1);
            EXPECT_EQ(b.combo("TX_Next_value").listIndex(), -1);
            EXPECT_EQ(b.boxes(), 0u);
            // The marker stores code 0; a TX value outside the list keeps the loaded byte.
            b.expectSaved({{44, 0x80}, {12, 3}});
        },
        {2, 4});
    // An interpolation the refilled list does not offer: 256 with 4.
    Bench b(1);
    ASSERT_TRUE(b.loadWith({{0, 0x01}}));
    b.expectTexts("Dw_Stram_Cons=256;Dw_Stram_Inter=4");
    EXPECT_EQ(b.combo("Dw_Stram_Inter").listIndex(), -1);
    b.expectSaved({{0, 0x01}});
}

TEST(ConfigLoad, CodesWithoutItemsAreEmptyAndPowerControllerAndFcHisterTurnRed) {
    Bench b(4);
    ASSERT_TRUE(b.loadWith({{27, 9}}));
    EXPECT_EQ(b.text("PowerController"), "");
    EXPECT_EQ(b.combo("PowerController").backColour(), ui::kRed);
    // The PSD texts follow the attenuation shown (empty reads as 0): 60.206 - 0.5.
    EXPECT_EQ(b.text("Max_PSD"), "59.7");
    b.expectSaved({{27, 0}});
    b.pick("PowerController", "3");
    EXPECT_EQ(b.combo("PowerController").backColour(), ui::kFieldBlue);
    b.expectSaved({{27, 3}});
    ASSERT_TRUE(b.loadReference());
    EXPECT_EQ(b.combo("PowerController").backColour(), ui::kFieldBlue);

    Bench p(3);
    ASSERT_TRUE(p.loadWith({{37, 0xA1}, {32, 0xBF}})); // FC_HISTER code 0, ADDFILT code 3
    p.expectTexts("FC_HISTER=;ADDFILT=");
    EXPECT_EQ(p.combo("FC_HISTER").backColour(), ui::kRed);
    p.expectSaved({{37, 0xA1}, {32, 0xBC}}); // code 0 in those bits
    p.pick("FC_HISTER", "2048");
    EXPECT_EQ(p.combo("FC_HISTER").backColour(), ui::kFieldBlue);
    p.expectSaved({{37, 0xA9}});
}

// Decision: nothing of the previous file is left in the fields that a code may leave as they
// were.
TEST(ConfigLoadDecisions, KeptFieldsAreEmptiedAtEveryLoad) {
    struct Case {
        int mode;
        std::map<int, std::uint8_t> slots;
        const char* emptied;
        std::map<int, int> saved;
    };
    const Case cases[] = {
        {3, {{37, 0xA1}, {32, 0xBF}}, "FC_HISTER=;ADDFILT=", {{37, 0xA1}, {32, 0xBC}}},
        {4, {{44, 0xDA}}, "BufferLimit=", {{44, 0x9A}}},    // no item in ATM_BP
        {1, {{30, 0xE6}}, "ClockDivision=", {{30, 0x26}}}}; // none in MII_B
    for (const Case& c : cases) {
        Loaded b(c.mode);
        if (c.mode == 4) b.pick("BufferLimit", "8");
        ASSERT_TRUE(b.loadWith(c.slots));
        b.expectTexts(c.emptied);
        for (auto [slot, v] : c.saved)
            b.expectSaved({{slot, v}});
    }
}

// Every field stores into the bits it loads from: after an edit of every field a user picks,
// ticks or types a byte into, the saved image loaded into a fresh window shows what the edited
// window showed.
TEST(ConfigStore, EveryFieldStoresWhereItLoads) {
    forEachMode([](Bench& b) {
        std::vector<const BitField*> fields;
        for (const BitField& f : commonFields())
            fields.push_back(&f);
        for (const BitField& f : b.w().traits().fields)
            fields.push_back(&f);
        for (const BitField* f : fields) {
            ui::Control* c = b.find(f->name, f->index);
            if (auto* box = dynamic_cast<ui::CheckBox*>(c)) {
                box->userClick();
            } else if (auto* list = dynamic_cast<ui::ComboBox*>(c)) {
                const auto& items = list->items();
                const auto other = std::find_if(items.rbegin(), items.rend(),
                                                [&](const auto& i) { return i != list->text(); });
                if (other != items.rend()) list->userPick(*other);
            } else if (f->kind == FieldKind::Hex || f->kind == FieldKind::Level) {
                static_cast<ui::TextBox*>(c)->setText("5A");
            }
        }
        Bench reloaded(b.mode);
        ASSERT_TRUE(reloaded.load(b.saved(backgroundImage())));
        for (const BitField* f : fields) {
            const std::string name = b.find(f->name, f->index)->fullName();
            if (f->kind != FieldKind::Shown) {
                EXPECT_EQ(reloaded.text(name), b.text(name)) << name;
            }
        }
    });
}

// The positions each window writes: ranges "a-b" and single positions.
std::set<int> positions(const std::string& list) {
    std::set<int> out;
    for (const std::string& r : split(list)) {
        const auto dash = r.find('-');
        const int a = std::stoi(r.substr(0, dash));
        const int b = dash == std::string::npos ? a : std::stoi(r.substr(dash + 1));
        for (int i = a; i <= b; ++i)
            out.insert(i);
    }
    return out;
}

TEST(ConfigStore, SaveAndModemWriteExactlyTheWindowsPositions) {
    // Saved positions, then override indexes (without the block at slots 24..26, 28).
    const std::pair<const char*, const char*> expected[] = {
        {"4-12 18-31 33-35 39 40 42 43 51", "4-12 18-31 33-35 43"},
        {"4-12 18-33 39 40 42 43 51", "4-12 18-33 43"},
        {"33-41 47-60 62 68 69 71 72 80 97-99 102-104 106 613-617",
         "33-41 47-60 62 72 97-99 102-104 106"},
        {"33-41 47-62 68 69 71 72 80", "33-41 47-62 72"}};
    forEachMode([&](Bench& b) {
        const std::set<int> saved = positions(expected[b.mode - 1].first);
        // Written over an image of a different background: the window's positions show.
        image::Image other{};
        other.fill(0xEE);
        b.form->SendDigToFile(other);
        const image::Image ref = imageWith(b.mode, referenceSlots(b.mode));
        for (std::size_t i = 0; i < other.size(); ++i) {
            const int pos = image::positionOf(static_cast<int>(i));
            EXPECT_EQ(other[i], saved.count(pos) ? ref[i] : 0xEE) << "position " << pos;
        }
        EXPECT_EQ(other[1], 0xEE); // the version byte is never written

        b.cm.OverrideTable.fill(0x55); // stale entries from an earlier run
        b.form->SendDigToModem();
        std::set<int> set;
        for (int i = 0; i < image::kOverrideEntries; ++i)
            if (b.cm.OverrideTable[static_cast<std::size_t>(i)] != image::kNoOverride)
                set.insert(i);
        EXPECT_EQ(set, positions(expected[b.mode - 1].second));
        for (int slot : {24, 25, 26, 28})
            EXPECT_EQ(b.overrideAt(slot), image::kNoOverride) << slot;
        for (int idx : set)
            EXPECT_EQ(b.cm.OverrideTable[static_cast<std::size_t>(idx)],
                      ref[static_cast<std::size_t>(image::offsetOf(idx))])
                << idx;
        // Saving to a file clears the table.
        image::Image out = backgroundImage();
        b.form->SendDigToFile(out);
        for (auto v : b.cm.OverrideTable)
            EXPECT_EQ(v, image::kNoOverride);
    });
    // The loaded values are sent without the window ever being opened.
    Loaded b(1);
    EXPECT_FALSE(b.form->visible());
    b.form->SendDigToModem();
    EXPECT_EQ(b.cm.OverrideTable[4], 0x34);
    EXPECT_EQ(b.cm.OverrideTable[35], 0xB5);
}

TEST(ConfigStore, BitsWithoutFieldsSurviveEdits) {
    // AFE bits 1..0, sleep bits 7..6.
    Bench b(2);
    ASSERT_TRUE(b.loadWith({{6, 0x03}, {20, 0xC0}}));
    for (const char* n : {"Timnus", "Locken", "Reduce"})
        b.check(n).userClick();
    b.expectSaved({{6, 0x83}, {20, 0xE0}, {9, 0xF9}});
    // MII_B offset 33 bit 5, offset 34 bits 2..0.
    Loaded m(1);
    m.check("MDIO").userClick();
    m.pick("RXlevel", "64");
    m.expectSaved({{30, 0x76}, {31, 0x35}});
    // MII_BP bytes 96, 97, 98, 105 keep their unowned bits.
    Loaded p(3);
    p.pick("ADDFILT", "Disable");
    p.check("CRCEN").userClick();
    p.check("ABP_FC", 1).userClick();
    p.check("AUTOAGE").userClick();
    p.expectSaved({{32, 0xBC}, {33, 0x35}, {34, 0xF9}, {38, 0x15}});
    // UTOPIA bit 7.
    Bench a(4);
    ASSERT_TRUE(a.loadWith({{44, 0x80}}));
    a.pick("MultiPHY", "with indication");
    a.expectSaved({{44, 0x83}});
    // MII_B packet size owns bits 3..2; 11 reads as 1536 from bit 2.
    Bench s(1);
    ASSERT_TRUE(s.loadWith({{30, 0x6E}}));
    EXPECT_EQ(s.text("PacketSize"), "1536");
    s.expectSaved({{30, 0x66}});
}

TEST(ConfigStore, WorkedExamplesOfTheInterfaceAndConstellationBytes) {
    Bench b(2);
    ASSERT_TRUE(b.loadWith({{0, 0x31}, {1, 0x30}}));
    b.expectTexts("Dw_Stram_Cons=256;Dw_Stram_Inter=12;Up_Stram_Cons=256;Up_Stram_Inter=12");
    b.expectSaved({{0, 0x31}, {1, 0x31}});
    // Constellation code 7 and interpolation code 12 have no value.
    ASSERT_TRUE(b.loadWith({{0, 0x0E}, {1, 0xC0}}));
    b.expectTexts("Dw_Stram_Cons=0;Dw_Stram_Inter=4;Up_Stram_Cons=256;Up_Stram_Inter=0");
    b.expectSaved({{0, 0x00}, {1, 0x01}});

    ASSERT_TRUE(b.loadWith({{44, 0x03}}));
    EXPECT_EQ(b.text("MultiPHY"), "with indication");
    b.expectSaved({{44, 0x03}});
    b.combo("MultiPHY").setText("With indication"); // selects the item whatever its case
    EXPECT_EQ(b.combo("MultiPHY").listIndex(), 2);
    // TX_Next_value stores list values only.
    b.pick("TX_Next_value", "16");
    b.expectSaved({{12, 16}});
    b.combo("TX_Next_value").setText("3");
    b.expectSaved({{12, 16}});

    Loaded p(3);
    for (auto [ipg, bp, pattern, byte] :
         {std::tuple{"20", "16", "16", 0x00}, {"96", "32", "53", 0xCD}}) {
        p.pick("IPG", ipg);
        p.pick("BP_IPG", bp);
        p.pick("PATTERN_LENGTH", pattern);
        p.expectSaved({{36, byte}});
    }
    for (auto [size, bit] : {std::pair{"1518", 0}, {"1536", 4}}) {
        p.pick("PacketSize", size);
        EXPECT_EQ(p.savedSlot(32) & 0x04, bit) << size;
    }
}

TEST(ConfigStore, PhyBoxesGoToPhyBytesAndTheFile) {
    Loaded b(3);
    b.box("PHY_StatusRegAddr").setText("1C");
    b.box("PHY_SpeedBitNum").setText("2");
    b.box("PHY_DuplexPolarity").setText("ff");
    b.form->SendDigToModem();
    const std::uint8_t want[] = {0x1C, 0x02, 0x00, 0x0F, 0xFF};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(b.cm.PhyBytes[i], want[i]) << i;
    const image::Image out = b.saved(backgroundImage());
    EXPECT_EQ(out[612], 0x1C);
    EXPECT_EQ(out[613], 0x02);
    EXPECT_EQ(out[616], 0xFF);
}

// Decision: values that cannot be stored are refused, never altered.
TEST(ConfigStoreDecisions, StoreProblemNamesTheField) {
    Loaded b(2);
    EXPECT_EQ(b.form->StoreProblem(), "");
    b.box("TransmitePreambleM").setText("1FF");
    EXPECT_EQ(b.form->StoreProblem(), "TransmitePreambleM does not fit in one byte.");
    EXPECT_FALSE(b.form->ConfirmStorable());
    b.expectBox("TransmitePreambleM does not fit in one byte.", "Illegal Parameter");
    b.expectSaved({{14, 0x28}}); // never truncated: the loaded value
    b.box("TransmitePreambleM").setText("29");
    EXPECT_TRUE(b.form->ConfirmStorable());

    Loaded u(1);
    u.pick("Baund", "115200");
    u.type("FText", 1, "00");
    u.type("FText", 0, "10"); // 10.00 MHz
    EXPECT_EQ(u.text("UART_Rate"), "100");
    EXPECT_EQ(u.form->StoreProblem(), "UART_Rate does not fit in one byte.");
    u.expectSaved({{19, 0xF2}});
    u.type("FText", 0, "20");
    EXPECT_EQ(u.form->StoreProblem(), "");

    Loaded c(2);
    c.type("FText", 1, "50");
    c.type("FText", 0, "00"); // 0.50 MHz
    c.type("DwCarrierText", 0, "99");
    c.type("DwCarrierText", 1, "99"); // 99.99 MHz: N = 204780
    EXPECT_EQ(c.text("Next_DownstreamH"), "31F");
    EXPECT_EQ(c.form->StoreProblem(), "Next_DownstreamH does not fit in one byte.");
    c.expectSaved({{3, 0x00}});

    Loaded d(2);
    d.box("FText", 0).setText("-5");
    d.form->Fsample = 25.92; // as if the update had not run
    // The pending frequency is taken first; a B window accepts it, the byte does not fit.
    EXPECT_EQ(d.form->StoreProblem(), "FText(0) does not fit in one byte.");
}

TEST(ConfigStoreDecisions, ClockDivisionTwoHasNoCodeInMiiB) {
    Loaded b(1);
    b.pick("ClockDivision", "2");
    EXPECT_EQ(b.form->StoreProblem(), "ClockDivision 2 has no code for this chip.");
    // "Done" refuses it too.
    b.form->show();
    EXPECT_FALSE(b.form->Done());
    EXPECT_TRUE(b.form->visible());
    EXPECT_EQ(b.lastBox()->title, "Illegal Parameter");
    EXPECT_EQ(b.main.focused, 0);
    Loaded p(3);
    p.pick("ClockDivision", "2");
    EXPECT_EQ(p.form->StoreProblem(), "");
    EXPECT_EQ(p.savedSlot(32) >> 6, 3);
}

TEST(ConfigLoadFailure, AnyFailureShowsBadPatchFile) {
    struct Failing : ConfigFormImpl {
        explicit Failing(FormContext& c) : ConfigFormImpl(c, variantTraits(Variant::ATM_B)) {}
        void FillFields() override {
            ConfigFormImpl::FillFields();
            throw std::runtime_error("conversion failed");
        }
    };
    Bench b(2);
    Failing f(b.ctx);
    f.Loading = true;
    EXPECT_FALSE(f.LoadFromPatch());
    EXPECT_TRUE(f.Loading); // restored as the caller set it
    ASSERT_EQ(b.boxes(), 1u);
    b.expectBox("An error occurred while reading the patch file.\r\nPlease try another one.",
                "Bad patch file", ui::Buttons::OK, std::nullopt);
    EXPECT_EQ(b.main.disabled, 1);
}

TEST(ConfigDone, BWindowsCheckEveryHexFieldAndTheInterpolations) {
    Loaded b(1);
    b.form->show();
    EXPECT_TRUE(b.form->CheckInputs());
    b.box("ReceivePreambleM").setText("G");
    EXPECT_FALSE(b.form->CheckInputs());
    EXPECT_FALSE(b.form->Done());
    EXPECT_TRUE(b.form->visible());
    ASSERT_EQ(b.boxes(), 1u);
    b.expectBox("Please check your input values", "Error input", ui::Buttons::OKCancel,
                ui::Icon::Critical);
    b.box("ReceivePreambleM").setText("b");
    b.pick("Up_Stram_Cons", "256"); // 6 is not offered: empty interpolation
    EXPECT_EQ(b.text("Up_Stram_Inter"), "");
    EXPECT_FALSE(b.form->CheckInputs());
    b.pick("Up_Stram_Inter", "8");
    EXPECT_TRUE(b.form->CheckInputs());
    b.form->FieldBytes[1] = 0;
    ASSERT_TRUE(b.press("WriteReturn"));
    EXPECT_FALSE(b.form->visible());
    EXPECT_EQ(b.main.focused, 1);
    EXPECT_EQ(b.form->FieldBytes[1], 0x21); // B windows store on "Done"
    EXPECT_EQ(b.form->FieldBytes[17], 0x0B);
}

TEST(ConfigDone, BPlusWindowsCheckOnlyThePsdWords) {
    Loaded b(4);
    b.form->show();
    b.box("TransmitePreambleL").setText("G"); // malformed, never left
    b.form->FieldBytes[13] = 0x77;
    EXPECT_TRUE(b.form->Done());
    EXPECT_FALSE(b.form->visible());
    EXPECT_EQ(b.form->FieldBytes[13], 0x77); // B+ windows store only when saving or programming
    b.form->show();
    b.box("Min_psdH").setText("");
    EXPECT_FALSE(b.form->Done());
    EXPECT_TRUE(b.form->visible());
    EXPECT_EQ(b.lastBox()->title, "Error input");
}

// Decision: a field refused on leaving, by "Done" or by storing carries the reason until its
// value is valid again; after "Please check your input values" the focus is on the first field
// at fault.
TEST(ConfigProblems, RefusedFieldsPointUntilValidAgain) {
    using Step = std::function<void(Bench&)>;
    const struct {
        int mode;
        const char* field;
        Step refuse, fix;
    } cases[] = {
        {3, "TransmitePreambleL",
         [](Bench& b) {
             b.type("TransmitePreambleL", -1, "G");
             b.form->leave(b.find("Baund"));
         },
         [](Bench& b) { b.box("TransmitePreambleL").setText("5"); }},
        {4, "Up_Stram_Inter",
         [](Bench& b) {
             b.pick("Up_Stram_Cons", "256"); // 6 is not offered
             b.form->leave(b.find("Baund"));
         },
         [](Bench& b) { b.pick("Up_Stram_Inter", "8"); }},
        {3, "FText(0)",
         [](Bench& b) {
             b.type("FText", 0, "4");
             b.form->leave(b.find("Baund"));
         },
         [](Bench& b) { b.type("FText", 0, "6"); }},
        {1, "SleepCounterH", [](Bench& b) { b.box("SleepCounterH").setText("G"); },
         [](Bench& b) { b.box("SleepCounterH").setText("1"); }},
        {2, "TransmitePreambleM",
         [](Bench& b) {
             b.box("TransmitePreambleM").setText("1FF");
             b.form->ConfirmStorable();
         },
         [](Bench& b) { b.box("TransmitePreambleM").setText("29"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        Loaded b(c.mode);
        b.form->show();
        c.refuse(b);
        if (c.mode == 1) { // "Done" refuses it, and the focus goes to the first field at fault
            b.box("ReceivePreambleM").setText("x");
            ASSERT_TRUE(b.press("WriteReturn"));
            EXPECT_TRUE(b.form->visible());
            b.expectBox("Please check your input values", "Error input", ui::Buttons::OKCancel,
                        ui::Icon::Critical);
            EXPECT_EQ(b.form->focused(), b.find("ReceivePreambleM"));
        }
        const ui::Control& field = *b.form->findByFullName(c.field);
        EXPECT_FALSE(field.problem().empty());
        c.fix(b);
        EXPECT_EQ(field.problem(), "");
    }
}

// Decision: hidden fields load and store like the others.
TEST(ConfigLoadDecisions, HiddenFieldsLoadAndStore) {
    Bench b(1);
    b.form->SetExpertLayout(false);
    ASSERT_TRUE(b.loadReference());
    b.expectTexts("TransmitePreambleH=F6;BackPressure=1");
    b.box("TransmitePreambleH").setText("F7");
    b.check("MDIO").setValue(1);
    b.expectSaved({{15, 0xF7}, {30, 0x76}});
}

} // namespace
} // namespace rw::config::test

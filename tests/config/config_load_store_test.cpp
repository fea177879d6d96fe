// Loading generated images into each window, storing back into saved images and into the
// override table, codes without items, the refused stores and "Done".
#include "support/platform_checks.h"
#include "support/window_bench.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <tuple>

namespace rw::config {
namespace {

using namespace rw::test;

// What every window shows for the reference bytes, then the interface fields of each product.
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
const char* const kInterfaceReferenceTexts[] = { // MII_B, ATM (both), MII_BP
    "AutoNeg=0;BackSignaling=0;BackPressure=1;PacketSize=1536;MDIO=0;ClockDivision=9;"
    "TruncateRetries=4;BPM=1;RXlevel=1024",
    "MultiPHY=with polling;RxClv=48;Dric=1;Drec=1;BufferLimit=154",
    "ADDFILT=1;PacketSize=1536;ClockDivision=8;MDIO=1;BackSignaling=0;CRCEN=1;ABP_FC(1)=0;"
    "ABP_FC(0)=1;TruncateRetries=4;BPM=Insert IPG;RXlevelStop=64;RXlevelStart=12288;"
    "BackPressure=1;IPG=96;BP_IPG=48;PATTERN_LENGTH=53;BACK_SIGNALING=1536;FC_HISTER=4096;"
    "FC_TRES_HI=4096;FPP=Discard;FLWENB=1;AUTOAGE=1;PHY_StatusRegAddr=1C;PHY_SpeedBitNum=1;"
    "PHY_DuplexBitNum=0;PHY_SpeedPolarity=F;PHY_DuplexPolarity=A5"};

TEST(ConfigLoad, EveryProductShowsTheStoredFieldsAndBytes) {
    forEachMode([](Bench& b) {
        b.expectTexts(kCommonReferenceTexts);
        b.expectTexts(kInterfaceReferenceTexts[b.mode % 2 == 0 ? 1 : b.mode - 1]);
        EXPECT_EQ(std::tuple(b.form->fsampleMhz, b.combo("PowerController").backColour(),
                             b.run.formChanged, b.boxes()),
                  std::tuple(25.92, ui::kFieldBlue, false, 0u));
        for (const auto& [slot, v] : referenceSlots(b.mode))
            EXPECT_EQ(b.form->fieldBytes[static_cast<std::size_t>(slot)], v) << slot;
    });
    Bench b(1);
    ASSERT_TRUE(b.loadWith({{9, 0x04}}));
    b.expectTexts("AutoNeg=1;Reduce=0");
}

TEST(ConfigLoad, InvalidBlockFallsBackForFrequencyAndBaudOnly) {
    for (const auto& [slot, value] : {std::pair{28, 0x51}, {24, 100}, {25, 100}, {26, 7}}) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        forEachMode([slot = slot, value = value](Bench& b) {
            const bool atm = b.mode % 2 == 0;
            Slots s = {{25, 30}, {24, 5}, {26, 6}};
            s[slot] = static_cast<std::uint8_t>(value);
            ASSERT_TRUE(b.loadWith(s));
            b.expectTexts(std::string("Next_DownstreamL=ED;TransmitePreambleH=F6;UART_Rate=F2;"
                                      "FText(0)=25;Baund=9600;FText(1)=") +
                          (atm ? "92" : "00"));
            EXPECT_EQ(std::tuple(b.form->fsampleMhz, b.boxes()),
                      std::tuple(atm ? 25.92 : 25.0, 0u));
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
    Bench m(1); // floored, not rounded: 82 x 25 / 1024 = 2.0019, and 41 gives 1.0009
    ASSERT_TRUE(m.loadWith({{25, 25}, {24, 0}, {2, 82}, {4, 41}}));
    m.expectTexts("DwCarrierText(0)=002;DwCarrierText(1)=00;UsCarrierText(0)=001;"
                  "UsCarrierText(1)=00");
    Bench p(3);
    ASSERT_TRUE(p.loadWith({{25, 25}, {24, 29}}));
    EXPECT_EQ(p.form->fsampleMhz, 25 + 29 / 100.0);
}

// Codes without an item: a marker text, an empty (red) field, or the text as loaded; never a
// leftover of the file loaded before. Storing writes code 0, or keeps the byte where the list
// has no code 0 to write.
TEST(ConfigLoadDecisions, CodesWithoutItemsAreShownAndStoredSafely) {
    const struct {
        int mode;
        Slots slots;
        const char* texts;
        const char* red; // the field whose background turns red
        std::set<std::pair<int, int>> saved;
    } cases[] = {
        {2, {{44, 0x81}, {12, 3}}, "MultiPHY=Error Phy;TX_Next_value=3", "", {{44, 0x80}, {12, 3}}},
        {4, {{44, 0x81}}, "MultiPHY=error phy", "", {{44, 0x80}}},
        {4, {{44, 0xDA}}, "BufferLimit=", "", {{44, 0x9A}}}, // no item in ATM_BP
        {1, {{30, 0xE6}}, "ClockDivision=", "", {{30, 0x26}}},
        {1, {{30, 0x6E}}, "PacketSize=1536", "", {{30, 0x66}}}, // loaded from bit 2 only
        {3, {{37, 0xA1}, {32, 0xBF}}, "FC_HISTER=;ADDFILT=", "FC_HISTER", {{37, 0xA1}, {32, 0xBC}}},
        {4, {{27, 9}}, "PowerController=;Max_PSD=59.7", "PowerController", {{27, 0}}},
        {1, {{0, 0x01}}, "Dw_Stram_Cons=256;Dw_Stram_Inter=4", "", {{0, 0x01}}}, // not offered
        {2, {{0, 0x0E}, {1, 0xC0}}, "Dw_Stram_Cons=0;Up_Stram_Inter=0", "", {{0, 0}, {1, 0x01}}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.texts);
        Loaded b(c.mode);
        if (c.mode == 4) b.pick("BufferLimit", "8"); // the user's value, before the load
        ASSERT_TRUE(b.loadWith(c.slots));
        b.expectTexts(c.texts);
        EXPECT_EQ(b.boxes(), 0u);
        if (*c.red) {
            EXPECT_EQ(b.combo(c.red).backColour(), ui::kRed);
            b.pick(c.red, b.combo(c.red).items()[0]); // chosen: normal again
            EXPECT_EQ(b.combo(c.red).backColour(), ui::kFieldBlue);
            ASSERT_TRUE(b.loadWith(c.slots));
        }
        for (auto [slot, v] : c.saved)
            b.expectSaved({{slot, v}});
        if (*c.red) {
            ASSERT_TRUE(b.loadReference());
            EXPECT_EQ(b.combo(c.red).backColour(), ui::kFieldBlue);
        }
    }
}

// Every field stores into the bits it loads from: after an edit of every field, the saved
// image loaded into a fresh window shows what the edited window showed; bits no field owns
// keep their loaded value through edits and "Default".
TEST(ConfigStore, EveryFieldStoresWhereItLoadsAndUnownedBitsStay) {
    forEachMode([](Bench& b) {
        editEveryField(b);
        Bench reloaded(b.mode);
        ASSERT_TRUE(reloaded.load(b.saved()));
        std::map<int, int> owned; // bits owned per slot
        for (const auto& [f, c] : boundFields(b)) {
            if (f->slot >= 0) owned[f->slot] |= f->mask();
            if (f->kind != FieldKind::Shown) {
                EXPECT_EQ(reloaded.text(c->fullName()), b.text(c->fullName())) << c->fullName();
            }
        }
        for (bool defaults : {false, true}) {
            if (defaults) {
                ASSERT_TRUE(b.press("Default"));
            }
            const image::Image out = b.saved();
            for (const auto& [slot, v] : referenceSlots(b.mode))
                EXPECT_EQ(out[static_cast<std::size_t>(offsetOf(b.mode, slot))] & ~owned[slot],
                          v & ~owned[slot])
                    << "slot " << slot << (defaults ? " after Default" : "");
        }
    });
}

// The positions each window writes: ranges "a-b" and single positions.
std::set<int> positions(const std::string& list) {
    std::set<int> out;
    for (const std::string& r : split(list))
        for (int i = std::stoi(split(r, '-').front()); i <= std::stoi(split(r, '-').back()); ++i)
            out.insert(i);
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
        image::Image other{}; // a different background: the window's positions show
        other.fill(0xEE);
        b.form->sendDigToFile(other);
        const image::Image ref = imageWith(b.mode, referenceSlots(b.mode));
        for (std::size_t i = 0; i < other.size(); ++i) {
            const int pos = image::positionOf(static_cast<int>(i));
            EXPECT_EQ(other[i], saved.count(pos) ? ref[i] : 0xEE) << "position " << pos;
        }
        b.cm.overrideTable.fill(0x55); // stale entries from an earlier run
        b.form->sendDigToModem();
        const std::set<int> set = positions(expected[b.mode - 1].second);
        for (int i = 0; i < image::kOverrideEntries; ++i)
            EXPECT_EQ(b.cm.overrideTable[static_cast<std::size_t>(i)],
                      set.count(i) ? ref[static_cast<std::size_t>(image::offsetOf(i))]
                                   : image::kNoOverride)
                << i;
        b.saved(); // saving to a file clears the table
        EXPECT_EQ(
            std::count(b.cm.overrideTable.begin(), b.cm.overrideTable.end(), image::kNoOverride),
            image::kOverrideEntries);
    });
}

TEST(ConfigStore, ListValuesAndPhyBytes) {
    Loaded b(2); // TX_Next_value stores list values only
    b.pick("TX_Next_value", "16");
    b.expectSaved({{12, 16}});
    b.combo("TX_Next_value").setText("3");
    b.expectSaved({{12, 16}});

    Loaded p(3); // the PHY boxes go to phyBytes afresh, and to the file
    p.box("PHY_StatusRegAddr").setText("1C");
    p.box("PHY_SpeedBitNum").setText("2");
    p.box("PHY_DuplexPolarity").setText("ff");
    p.form->sendDigToModem();
    const std::vector<std::uint8_t> want = {0x1C, 0x02, 0x00, 0x0F, 0xFF};
    EXPECT_EQ(std::vector(p.cm.phyBytes.begin(), p.cm.phyBytes.begin() + 5), want);
    const image::Image out = p.saved();
    EXPECT_EQ(std::vector(out.begin() + 612, out.begin() + 617), want);
}

// Decision: values that cannot be stored are refused, never altered.
TEST(ConfigStoreDecisions, StoreProblemNamesTheField) {
    Loaded b(2);
    run(b, {" -> problem=",
            "set TransmitePreambleM 1FF -> problem=TransmitePreambleM does not fit in one byte."});
    EXPECT_FALSE(b.form->confirmStorable());
    EXPECT_TRUE(
        lastBoxIs(b.platform, "TransmitePreambleM does not fit in one byte.", "Illegal Parameter"));
    b.expectSaved({{14, 0x28}}); // never truncated: the loaded value
    run(b,
        {" -> why:TransmitePreambleM=1", "set TransmitePreambleM 29 -> why:TransmitePreambleM=0"});
    EXPECT_TRUE(b.form->confirmStorable());

    Loaded u(1);
    run(u, {"pick Baund 115200", "type FText(1) 00",
            "type FText(0) 10 -> UART_Rate=100;problem=UART_Rate does not fit in one byte."});
    u.expectSaved({{19, 0xF2}});
    run(u, {"type FText(0) 20 -> why:UART_Rate=0;problem="});

    Loaded c(2); // 99.99 MHz at 0.50 MHz: N = 204780
    run(c, {"type FText(1) 50", "type FText(0) 00", "type DwCarrierText(0) 99",
            "type DwCarrierText(1) 99 -> Next_DownstreamH=31F;problem=Next_DownstreamH does not "
            "fit in one byte."});
    c.expectSaved({{3, 0x00}});
    run(c, {"set UsCarrierText(0) -5", // -4.93 MHz: N = -10097
            "focus UsCarrierText(0)",
            "leave Baund -> Next_UpstreamL=71;Next_UpstreamH=-27;problem=Next_DownstreamH does not "
            "fit in one byte.",
            // a negative index is refused as well
            "type DwCarrierText(0) 0 -> problem=Next_UpstreamH does not fit in one byte."});

    Loaded d(2);
    d.box("FText", 0).setText("-5");
    d.form->fsampleMhz = 25.92; // as if the update had not run
    // The pending frequency is taken first; a B window accepts it, the byte does not fit.
    EXPECT_EQ(d.form->storageProblem(), "FText(0) does not fit in one byte.");

    Loaded m(1); // an item this chip has no code for; "Done" refuses it too
    run(m, {"pick ClockDivision 2 -> problem=ClockDivision 2 has no code for this chip."});
    m.form->show();
    EXPECT_FALSE(m.form->Done());
    EXPECT_EQ(std::tuple(m.form->visible(), m.lastBox()->title, m.main.focused),
              std::tuple(true, "Illegal Parameter", 0));
    Loaded p(3);
    run(p, {"pick ClockDivision 2 -> problem="});
    EXPECT_EQ(p.savedSlot(32) >> 6, 3);
}

TEST(ConfigLoadFailure, AnyFailureShowsBadPatchFile) {
    struct Failing : ConfigFormImpl {
        explicit Failing(FormContext& c) : ConfigFormImpl(c, variantTraits(Variant::ATM_B)) {}
        void fillFields() override {
            ConfigFormImpl::fillFields();
            throw std::runtime_error("conversion failed");
        }
    };
    Bench b(2);
    Failing f(b.ctx);
    f.isLoading = true;
    EXPECT_FALSE(f.loadFromPatch());
    EXPECT_TRUE(f.isLoading); // restored as the caller set it
    EXPECT_EQ(std::tuple(b.boxes(), b.main.disabled), std::tuple(1u, 1));
    EXPECT_TRUE(lastBoxIs(
        b.platform, "An error occurred while reading the patch file.\r\nPlease try another one.",
        "Bad patch file", ui::Buttons::OK, std::nullopt));
}

// Decision: a field "Done" refuses carries the reason until its value is valid again, and
// the focus goes to the first field at fault.
TEST(ConfigDone, BWindowsCheckEveryHexFieldAndTheInterpolationsAndStore) {
    Loaded b(1);
    b.form->show();
    EXPECT_TRUE(b.form->checkInputs());
    run(b, {"set SleepCounterH G", "set ReceivePreambleM G",
            "done -> ok=0;boxes=1;focus=ReceivePreambleM;why:SleepCounterH=1"});
    EXPECT_TRUE(b.form->visible());
    EXPECT_TRUE(lastBoxIs(b.platform, "Please check your input values", "Error input",
                          ui::Buttons::OKCancel, ui::Icon::Critical));
    run(b, {"set ReceivePreambleM b -> why:ReceivePreambleM=0;why:SleepCounterH=1",
            "set SleepCounterH 1 -> why:SleepCounterH=0",
            "pick Up_Stram_Cons 256"}); // 6 is not offered: empty interpolation
    EXPECT_FALSE(b.form->checkInputs());
    b.pick("Up_Stram_Inter", "8");
    EXPECT_TRUE(b.form->checkInputs());
    b.form->fieldBytes[1] = 0;
    ASSERT_TRUE(b.press("WriteReturn"));
    // B windows store on "Done".
    EXPECT_EQ(std::tuple(b.form->visible(), b.main.focused, b.form->fieldBytes[1],
                         b.form->fieldBytes[17]),
              std::tuple(false, 1, 0x21, 0x0B));
}

TEST(ConfigDone, BPlusWindowsCheckOnlyThePsdWordsAndStoreNothing) {
    Loaded b(4);
    b.form->show();
    b.box("TransmitePreambleL").setText("G"); // malformed, never left
    b.form->fieldBytes[13] = 0x77;
    EXPECT_TRUE(b.form->Done());
    EXPECT_EQ(std::tuple(b.form->visible(), b.form->fieldBytes[13]), std::tuple(false, 0x77));
    b.form->show();
    b.box("Min_psdH").setText("");
    EXPECT_FALSE(b.form->Done());
    EXPECT_EQ(std::tuple(b.form->visible(), b.lastBox()->title), std::tuple(true, "Error input"));
}

// Decision: hidden fields load and store like the others.
TEST(ConfigLoadDecisions, HiddenFieldsLoadAndStore) {
    Bench b(1);
    b.form->setExpertLayout(false);
    ASSERT_TRUE(b.loadReference());
    b.expectTexts("TransmitePreambleH=F6;BackPressure=1");
    b.box("TransmitePreambleH").setText("F7");
    b.check("MDIO").setValue(1);
    b.expectSaved({{15, 0xF7}, {30, 0x76}});
}

} // namespace
} // namespace rw::config

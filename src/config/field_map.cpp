#include "config/field_map.h"

#include <algorithm>

namespace rw::config {

namespace {

constexpr FieldKind Check = FieldKind::Check;
constexpr FieldKind Combo = FieldKind::Combo;
constexpr FieldKind Hex = FieldKind::Hex;
constexpr FieldKind Level = FieldKind::Level;
constexpr FieldKind Derived = FieldKind::Derived;
constexpr FieldKind Shown = FieldKind::Shown;
constexpr FieldKind Decimal = FieldKind::Decimal;

// ---- the fields of every window (slots 0..27) ------------------------------------------------

// A direction's fields: constellation and interpolation share its byte; the carrier MHz
// follow the carrier words; the line rate follows the rest.
void addDirection(std::vector<BitField>& f, bool down) {
    const int s = down ? 0 : 1;
    const int word = down ? 2 : 4;
    const std::vector<const char*> cons = {"4", "8", "16", "32", "64", "128", "256"};
    const std::vector<const char*> designed = {"4",  "6",  "8",  "10", "12", "14",
                                               "16", "24", "32", "48", "64"};
    const char* carrier = down ? "DwCarrierText" : "UsCarrierText";
    f.push_back({.name = down ? "Dw_Stram_Cons" : "Up_Stram_Cons",
                 .kind = FieldKind::Constellation,
                 .slot = s,
                 .width = 4,
                 .items = cons});
    f.push_back({.name = down ? "Dw_Stram_Inter" : "Up_Stram_Inter",
                 .kind = FieldKind::Interpolation,
                 .slot = s,
                 .shift = 4,
                 .width = 4,
                 .items = down ? std::vector<const char*>{} : designed});
    f.push_back({.name = carrier, .index = 0, .kind = Shown, .length = 3});
    f.push_back({.name = carrier, .index = 1, .kind = Shown});
    f.push_back({.name = down ? "Next_DownstreamL" : "Next_UpstreamL",
                 .kind = Derived,
                 .slot = word,
                 .width = 8});
    f.push_back({.name = down ? "Next_DownstreamH" : "Next_UpstreamH",
                 .kind = Derived,
                 .slot = word + 1,
                 .width = 8});
    f.push_back({.name = down ? "DownBitrate" : "UpBitrate", .kind = Shown, .label = true});
}

// A PSD limit: the dB text and the level bytes it converts into.
void addPsd(std::vector<BitField>& f, bool max) {
    const int low = max ? 7 : 10;
    f.push_back({.name = max ? "Max_PSD" : "Min_PSD", .kind = Shown, .length = 5});
    f.push_back({.name = max ? "Max_psdL" : "Min_psdL", .kind = Level, .slot = low, .width = 8});
    f.push_back(
        {.name = max ? "Max_psdH" : "Min_psdH", .kind = Level, .slot = low + 1, .width = 8});
}

// Check boxes on consecutive bits of one byte.
void addBits(std::vector<BitField>& f, int slot, int firstBit,
             std::initializer_list<std::pair<const char*, const char*>> boxes) {
    int bit = firstBit;
    for (auto [name, caption] : boxes)
        f.push_back(
            {.name = name, .kind = Check, .slot = slot, .shift = bit++, .caption = caption});
}

// Text boxes holding whole bytes of consecutive slots.
void addHexBytes(std::vector<BitField>& f, int firstSlot,
                 std::initializer_list<const char*> names) {
    int slot = firstSlot;
    for (const char* name : names)
        f.push_back({.name = name, .kind = Hex, .slot = slot++, .width = 8});
}

std::vector<BitField> makeCommonFields() {
    std::vector<BitField> f = {
        {.name = "FText", .index = 0, .kind = Decimal, .slot = 25, .width = 8, .fileOnly = true},
        {.name = "FText", .index = 1, .kind = Decimal, .slot = 24, .width = 8, .fileOnly = true},
        {.name = "Baund",
         .kind = FieldKind::BaudIndex,
         .slot = 26,
         .width = 8,
         .items = {"2400", "4800", "9600", "19200", "38400", "57600", "115200"},
         .fileOnly = true},
        {.name = "UART_Rate", .kind = Derived, .slot = 19, .width = 8, .label = true},
        {.name = "TX_Next_value",
         .kind = FieldKind::ListValue,
         .slot = 12,
         .width = 8,
         .items = {"0", "1", "2", "8", "16"}},
    };
    addDirection(f, true);
    addDirection(f, false);
    addPsd(f, true);
    addPsd(f, false);
    f.push_back({.name = "PowerController",
                 .kind = FieldKind::Attenuation,
                 .slot = 27,
                 .width = 8,
                 .items = {"0", "1", "2", "3", "4", "5"}});
    addBits(f, 9, 1, {{"Reduce", "Reduce"}});
    f.push_back({.name = "AFEControl", .kind = FieldKind::ControlWord, .slot = 6, .width = 2});
    addBits(f, 6, 2,
            {{"Adcf", "ADC is sampled with falling edge"},
             {"Dacf", "DAC is derived with falling edge"},
             {"Adcuns", "Negate the MSB of the ADC word"},
             {"Dacuns", "Negate the MSB of the DAC word"},
             {"Timneg", "Negate the MSB of the timing word"},
             {"Timnus", "Negate bits 6:0 of the timing correction word"}});
    addHexBytes(f, 13,
                {"TransmitePreambleL", "TransmitePreambleM", "TransmitePreambleH",
                 "ReceivePreambleL", "ReceivePreambleM", "ReceivePreambleH"});
    addBits(f, 20, 0,
            {{"WakDis", "Wake-up"},
             {"HostDis", "External Host"},
             {"TcDis", "TC Layer"},
             {"SerDis", "Will not Sleep serial request"},
             {"CntDis", "Counter Expiration"},
             {"Locken", "PLL Loss"}});
    addHexBytes(f, 21, {"SleepCounterL", "SleepCounterH", "UTOPIAAddress"});
    return f;
}

// A drop-down without a code table stores its items' positions: code n is item n.
std::vector<BitField> numberedInOrder(std::vector<BitField> fields) {
    for (BitField& b : fields)
        if (b.kind == FieldKind::Combo && b.codes.empty())
            for (std::size_t i = 0; i < b.items.size(); ++i)
                b.codes.push_back({static_cast<int>(i), b.items[i]});
    return fields;
}

// ---- UTOPIA byte (slot 44) ----------------------------------------------------------------
std::vector<BitField> atmFields(bool bplus) {
    const char* single = bplus ? "single" : "Single";
    std::vector<BitField> f;
    f.push_back({.name = "MultiPHY",
                 .kind = Combo,
                 .slot = 44,
                 .shift = 0,
                 .width = 2,
                 .items = {single, "with polling", "with indication"},
                 .codes = {{0, single}, {2, "with polling"}, {3, "with indication"}},
                 .noItem = NoItem::Marker,
                 .marker = bplus ? "error phy" : "Error Phy"});
    f.push_back({.name = "RxClv",
                 .kind = Combo,
                 .slot = 44,
                 .shift = 2,
                 .width = 1,
                 .items = {"44", "48"},
                 .codes = {{1, "44"}, {0, "48"}}});
    f.push_back({.name = "Dric", .kind = Check, .slot = 44, .shift = 3});
    f.push_back({.name = "Drec", .kind = Check, .slot = 44, .shift = 4});
    if (bplus)
        f.push_back({.name = "BufferLimit",
                     .kind = Combo,
                     .slot = 44,
                     .shift = 5,
                     .width = 2,
                     .items = {"2", "8", "154"},
                     .codes = {{0, "154"}, {1, "2"}, {3, "8"}}});
    else
        f.push_back({.name = "BufferLimit",
                     .kind = Combo,
                     .slot = 44,
                     .shift = 5,
                     .width = 2,
                     .items = {"2", "4", "8", "154"},
                     .codes = {{0, "154"}, {1, "2"}, {2, "4"}, {3, "8"}}});
    return f;
}

std::vector<UiItem> atmUi(bool bplus) {
    return {
        {.kind = UiItem::Heading, .text = "UTOPIA  Interface  Configuration"},
        {.kind = UiItem::SubHeading, .text = "Operation Mode"},
        {.kind = UiItem::Field, .text = "Multiphy Operation", .field = "MultiPHY"},
        {.kind = UiItem::Field,
         .text = bplus ? "UTOPIA PHY Address (Hex)" : "UTOPIA PHY Address",
         .field = "UTOPIAAddress"},
        {.kind = UiItem::Field, .text = "Tx Buffer Limit (bytes)", .field = "BufferLimit"},
        {.kind = UiItem::Field, .text = "RxClv Operation", .field = "RxClv"},
        {.kind = UiItem::SubHeading, .text = "ATM Cell Handling"},
        {.kind = UiItem::Field, .text = "Discard Idle Cells", .field = "Dric"},
        {.kind = UiItem::Field, .text = "Discard Cells with HEC errors", .field = "Drec"},
    };
}

const FieldValues kAtmDefaults = {
    {"BufferLimit", "154"}, {"RxClv", "44"}, {"MultiPHY", "with polling"},
    {"Dric", "1"},          {"Drec", "1"},
};

// ---- MII bytes of generation B (slots 9, 30, 31) -------------------------------------------
std::vector<BitField> miiBFields() {
    return numberedInOrder({
        {.name = "AutoNeg", .kind = Check, .slot = 9, .shift = 2},
        {.name = "BackSignaling", .kind = Check, .slot = 30, .shift = 0},
        {.name = "BackPressure", .kind = Check, .slot = 30, .shift = 1},
        // Bits 3..2 are the field's when storing; loading reads bit 2 alone.
        {.name = "PacketSize",
         .kind = Combo,
         .slot = 30,
         .shift = 2,
         .width = 2,
         .loadWidth = 1,
         .items = {"1518", "1536"}},
        {.name = "MDIO", .kind = Check, .slot = 30, .shift = 4},
        {.name = "ClockDivision",
         .kind = Combo,
         .slot = 30,
         .shift = 6,
         .width = 2,
         .items = {"2", "8", "9", "10"},
         .codes = {{0, "10"}, {1, "9"}, {2, "8"}}},
        {.name = "TruncateRetries",
         .kind = Combo,
         .slot = 31,
         .shift = 3,
         .width = 2,
         .items = {"2", "4", "8", "16"},
         .codes = {{0, "16"}, {1, "8"}, {2, "4"}, {3, "2"}}},
        {.name = "BPM", .kind = Check, .slot = 31, .shift = 5},
        {.name = "RXlevel",
         .kind = Combo,
         .slot = 31,
         .shift = 6,
         .width = 2,
         .items = {"64", "512", "1024", "1518"}},
    });
}

std::vector<UiItem> miiBUi() {
    return {
        {.kind = UiItem::Heading, .text = "Ethernet Interface  Configuration"},
        {.kind = UiItem::SubHeading, .text = "General Settings"},
        {.kind = UiItem::Field, .text = "MII address", .field = "UTOPIAAddress"},
        {.kind = UiItem::Field, .text = "Max Packet Size", .field = "PacketSize"},
        {.kind = UiItem::Field, .text = "Clock Division", .field = "ClockDivision"},
        {.kind = UiItem::Field, .text = "Colliosion Counter Reset", .field = "TruncateRetries"},
        {.kind = UiItem::SubHeading, .text = "Back Pressure Configuration"},
        {.kind = UiItem::Field, .text = "Back Pressure Disable", .field = "BackPressure"},
        {.kind = UiItem::Field, .text = "Stop and Insert IPG", .field = "BPM"},
        {.kind = UiItem::Field, .text = "RX BP Level", .field = "RXlevel"},
        {.kind = UiItem::SubHeading, .text = "Back Signaling Control"},
        {.kind = UiItem::Field, .text = "Back Signaling Disable", .field = "BackSignaling"},
        // Expert only; last, so that hiding them leaves no hole between the others.
        {.kind = UiItem::SubHeading, .text = "MDIO", .labelName = "MDIOLabel"},
        {.kind = UiItem::Field,
         .text = "MDIO Direction Master",
         .field = "MDIO",
         .labelName = "MDIODIRLabel"},
        {.kind = UiItem::SubHeading, .text = "Auto-Negotiation", .labelName = "AutoLabel"},
        {.kind = UiItem::Field,
         .text = "Auto-Neg",
         .field = "AutoNeg",
         .labelName = "AutoNegLabel"},
    };
}

// ---- MII bytes of generation B+ (slots 32..38) and the PHY bytes (39..43) ------------------
std::vector<BitField> miiBPFields() {
    return numberedInOrder({
        {.name = "ADDFILT",
         .kind = Combo,
         .slot = 32,
         .shift = 0,
         .width = 2,
         .items = {"Disable", "1", "32"}},
        {.name = "PacketSize",
         .kind = Combo,
         .slot = 32,
         .shift = 2,
         .width = 1,
         .items = {"1518", "1536"},
         .numeric = true},
        {.name = "ClockDivision",
         .kind = Combo,
         .slot = 32,
         .shift = 6,
         .width = 2,
         .items = {"2", "8", "9", "10"},
         .codes = {{0, "10"}, {1, "9"}, {2, "8"}, {3, "2"}}},
        {.name = "MDIO", .kind = Check, .slot = 33, .shift = 5},
        {.name = "BackSignaling", .kind = Check, .slot = 33, .shift = 6},
        {.name = "CRCEN", .kind = Check, .slot = 33, .shift = 7},
        {.name = "ABP_FC", .index = 0, .kind = Check, .slot = 34, .shift = 5},
        {.name = "ABP_FC", .index = 1, .kind = Check, .slot = 34, .shift = 4},
        {.name = "TruncateRetries",
         .kind = Combo,
         .slot = 35,
         .shift = 0,
         .width = 2,
         .items = {"2", "4", "8", "16"},
         .codes = {{0, "16"}, {1, "8"}, {2, "4"}, {3, "2"}}},
        {.name = "BPM",
         .kind = Combo,
         .slot = 35,
         .shift = 2,
         .width = 1,
         .items = {"Insert IPG", "Append packet"},
         .codes = {{1, "Insert IPG"}, {0, "Append packet"}}},
        {.name = "RXlevelStop",
         .kind = Combo,
         .slot = 35,
         .shift = 3,
         .width = 2,
         .items = {"0", "64", "1024", "2048"}},
        {.name = "RXlevelStart",
         .kind = Combo,
         .slot = 35,
         .shift = 5,
         .width = 2,
         .items = {"64", "1518/1538", "12288", "14336"}},
        {.name = "BackPressure", .kind = Check, .slot = 35, .shift = 7},
        {.name = "IPG",
         .kind = Combo,
         .slot = 36,
         .shift = 0,
         .width = 3,
         .items = {"20", "32", "48", "64", "80", "96", "112", "128"}},
        {.name = "BP_IPG",
         .kind = Combo,
         .slot = 36,
         .shift = 3,
         .width = 3,
         .items = {"16", "32", "48", "64", "80", "96", "112", "128"}},
        {.name = "PATTERN_LENGTH",
         .kind = Combo,
         .slot = 36,
         .shift = 6,
         .width = 2,
         .items = {"16", "28", "36", "53"}},
        {.name = "BACK_SIGNALING",
         .kind = Combo,
         .slot = 37,
         .shift = 0,
         .width = 2,
         .items = {"1", "1536", "4096", "6144"},
         .marksOnTextChange = true},
        {.name = "FC_HISTER",
         .kind = Combo,
         .slot = 37,
         .shift = 2,
         .width = 2,
         .items = {"1024", "2048", "4096"},
         .codes = {{1, "1024"}, {2, "2048"}, {3, "4096"}},
         .noItem = NoItem::KeepRed},
        {.name = "FC_TRES_HI",
         .kind = Combo,
         .slot = 37,
         .shift = 4,
         .width = 2,
         .items = {"512", "2048", "4096", "6120"}},
        {.name = "FPP",
         .kind = Combo,
         .slot = 37,
         .shift = 6,
         .width = 1,
         .items = {"Discard", "Forward"},
         .codes = {{1, "Forward"}, {0, "Discard"}}},
        {.name = "FLWENB", .kind = Check, .slot = 37, .shift = 7},
        {.name = "AUTOAGE", .kind = Check, .slot = 38, .shift = 7},
        {.name = "PHY_StatusRegAddr", .kind = Hex, .slot = 39, .width = 8},
        {.name = "PHY_SpeedBitNum", .kind = Hex, .slot = 40, .width = 8},
        {.name = "PHY_DuplexBitNum", .kind = Hex, .slot = 41, .width = 8},
        {.name = "PHY_SpeedPolarity", .kind = Hex, .slot = 42, .width = 8},
        {.name = "PHY_DuplexPolarity", .kind = Hex, .slot = 43, .width = 8},
    });
}

std::vector<UiItem> miiBPUi() {
    return {
        {.kind = UiItem::Heading, .text = "Ethernet Interface  Configuration"},
        {.kind = UiItem::SubHeading, .text = "General Settings"},
        {.kind = UiItem::Field, .text = "MII address", .field = "UTOPIAAddress"},
        {.kind = UiItem::Field, .text = "Max Packet Size", .field = "PacketSize"},
        {.kind = UiItem::Field, .text = "Clock Division", .field = "ClockDivision"},
        {.kind = UiItem::Field, .text = "Colliosion Counter Reset", .field = "TruncateRetries"},
        {.kind = UiItem::Field, .text = "Address Filtering", .field = "ADDFILT"},
        {.kind = UiItem::Field, .text = "MDIO Direction Master", .field = "MDIO"},
        {.kind = UiItem::Field, .text = "Auto Address Aging ", .field = "AUTOAGE"},
        {.kind = UiItem::Field, .text = "CRC Check", .field = "CRCEN", .half = true},
        {.kind = UiItem::SubHeading, .text = "Back Pressure Configuration"},
        {.kind = UiItem::Field, .text = "Back Pressure Disable", .field = "BackPressure"},
        {.kind = UiItem::Field, .text = "Automatic BP", .field = "ABP_FC", .index = 0},
        {.kind = UiItem::Field, .text = "BP Methode", .field = "BPM"},
        {.kind = UiItem::Field, .text = "Start Level / [Bytes]", .field = "RXlevelStart"},
        {.kind = UiItem::Field, .text = "Stop Level / [Bytes]", .field = "RXlevelStop"},
        {.kind = UiItem::Field, .text = "BP IPG Length [kBit]", .field = "BP_IPG"},
        {.kind = UiItem::Field, .text = "BP Pattern Length [kBit]", .field = "PATTERN_LENGTH"},
        {.kind = UiItem::Field, .text = "Normal IPG Length [kBit]", .field = "IPG"},
        {.kind = UiItem::SubHeading, .text = "Back Signaling Control"},
        {.kind = UiItem::Field, .text = "Back Signaling Disable", .field = "BackSignaling"},
        {.kind = UiItem::Field, .text = "BS Threshhold /[Bytes]", .field = "BACK_SIGNALING"},
        // The flow-control switch heads its own group.
        {.kind = UiItem::Field, .text = "IEEE 802.3 Flow Control", .field = "FLWENB"},
        {.kind = UiItem::Field, .text = "Automatic  FC", .field = "ABP_FC", .index = 1},
        {.kind = UiItem::Field, .text = "Pause Packets Handle", .field = "FPP"},
        {.kind = UiItem::Field, .text = "Start Level / [Bytes]", .field = "FC_TRES_HI"},
        {.kind = UiItem::Field, .text = "Stop Level / [Bytes]", .field = "FC_HISTER"},
        {.kind = UiItem::SubHeading, .text = "Vendor PHY :"},
        {.kind = UiItem::Field, .text = "Status Reg ", .field = "PHY_StatusRegAddr"},
        {.kind = UiItem::Field, .text = "Speed Bit", .field = "PHY_SpeedBitNum"},
        {.kind = UiItem::Field, .text = "Speed Pol.", .field = "PHY_SpeedPolarity", .half = true},
        {.kind = UiItem::Field, .text = "Duplex Bit", .field = "PHY_DuplexBitNum"},
        {.kind = UiItem::Field, .text = "Duplex Pol.", .field = "PHY_DuplexPolarity", .half = true},
    };
}

constexpr DirectionDefaults kAtmDown{"16", "12", "002", "07", "52", "00"};
constexpr DirectionDefaults kAtmUp{"4", "6", "005", "99", "ED", "00"};
constexpr DirectionDefaults kMiiDown{"64", "12", "002", "14", "58", "0"};
constexpr DirectionDefaults kMiiUp{"16", "8", "005", "88", "F1", "0"};

VariantTraits makeAtmB() {
    return {.variant = Variant::ATM_B,
            .name = "ATM_B",
            .caption = "ATM E2 Configurations",
            .fsWhole = "25",
            .fsHundredths = "92",
            .maxPsdL = "0",
            .maxPsdH = "4",
            .down = kAtmDown,
            .up = kAtmUp,
            .address = "F1",
            .consInterFirst = false,
            .earlyDefaults = {},
            .interfaceDefaults = kAtmDefaults,
            .fields = atmFields(false),
            .interfaceSlots = {44},
            .interfaceUi = atmUi(false),
            .watchdogText = nullptr,
            .carrierAdvanceThreshold = 1,
            .expertOnly = {},
            .defaultMarksChange = false,
            .uartBeforeRates = false};
}

VariantTraits makeAtmBP() {
    VariantTraits s = makeAtmB();
    s.variant = Variant::ATM_BP;
    s.name = "ATM_BP";
    s.address = "0";
    s.fields = atmFields(true);
    s.interfaceUi = atmUi(true);
    s.watchdogText = "Watch Dog is disabled";
    return s;
}

VariantTraits makeMiiB() {
    return {
        .variant = Variant::MII_B,
        .name = "MII_B",
        .caption = "Kestrel E2 Configurations",
        .fsWhole = "25",
        .fsHundredths = "00",
        .maxPsdL = "0",
        .maxPsdH = "4",
        .down = kMiiDown,
        .up = kMiiUp,
        .address = "0",
        .consInterFirst = true,
        .earlyDefaults = {{"AutoNeg", "1"}},
        .interfaceDefaults = {{"PacketSize", "1518"},
                              {"MDIO", "0"},
                              {"ClockDivision", "10"},
                              {"BackPressure", "0"},
                              {"BackSignaling", "0"},
                              {"RXlevel", "64"},
                              {"BPM", "0"},
                              {"TruncateRetries", "16"}},
        .fields = miiBFields(),
        .interfaceSlots = {30, 31},
        .interfaceUi = miiBUi(),
        .watchdogText = nullptr,
        .carrierAdvanceThreshold = 1,
        .expertOnly = {"MDIO", "AutoNeg", "MDIOLabel", "MDIODIRLabel", "AutoNegLabel", "AutoLabel"},
        .defaultMarksChange = false,
        .uartBeforeRates = true};
}

VariantTraits makeMiiBP() {
    return {.variant = Variant::MII_BP,
            .name = "MII_BP",
            .caption = "Kestrel E2 Configurations",
            .fsWhole = "25",
            .fsHundredths = "00",
            .maxPsdL = "2D",
            .maxPsdH = "3",
            .down = kMiiDown,
            .up = kMiiUp,
            .address = "0",
            .consInterFirst = false,
            .earlyDefaults = {{"ClockDivision", "10"}},
            .interfaceDefaults = {{"MDIO", "1"},
                                  {"PacketSize", "1536"},
                                  {"ADDFILT", "Disable"},
                                  {"AUTOAGE", "1"},
                                  {"CRCEN", "1"},
                                  {"FPP", "Discard"},
                                  {"PHY_StatusRegAddr", "1C"},
                                  {"PHY_SpeedBitNum", "01"},
                                  {"PHY_DuplexBitNum", "00"},
                                  {"PHY_SpeedPolarity", "00"},
                                  {"PHY_DuplexPolarity", "00"},
                                  {"FLWENB", "0"},
                                  {"ABP_FC(0)", "1"},
                                  {"ABP_FC(1)", "1"},
                                  {"FC_TRES_HI", "2048"},
                                  {"FC_HISTER", "1024"},
                                  {"BackSignaling", "1"},
                                  {"BACK_SIGNALING", "6144"},
                                  {"BackPressure", "0"},
                                  {"RXlevelStart", "64"},
                                  {"RXlevelStop", "0"},
                                  {"BPM", "Append packet"},
                                  {"TruncateRetries", "16"},
                                  {"PATTERN_LENGTH", "53"},
                                  {"BP_IPG", "32"},
                                  {"IPG", "96"}},
            .fields = miiBPFields(),
            .interfaceSlots = {32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43},
            .interfaceUi = miiBPUi(),
            .watchdogText = "Watchdog is disabled",
            .carrierAdvanceThreshold = 2,
            .expertOnly = {},
            .defaultMarksChange = true,
            .uartBeforeRates = false};
}

} // namespace

const VariantTraits& variantTraits(Variant v) {
    static const VariantTraits miiB = makeMiiB();
    static const VariantTraits atmB = makeAtmB();
    static const VariantTraits miiBP = makeMiiBP();
    static const VariantTraits atmBP = makeAtmBP();
    switch (v) {
    case Variant::MII_B:
        return miiB;
    case Variant::ATM_B:
        return atmB;
    case Variant::MII_BP:
        return miiBP;
    case Variant::ATM_BP:
        break;
    }
    return atmBP;
}

const std::vector<BitField>& commonFields() {
    static const std::vector<BitField> fields = makeCommonFields();
    return fields;
}

bool isFileOnlySlot(int slot) {
    if (slot == kMarkerSlot) return true;
    for (const BitField& f : commonFields())
        if (f.slot == slot && f.fileOnly) return true;
    return false;
}

std::vector<int> commonSlots() {
    std::vector<int> slots = {kMarkerSlot};
    for (const BitField& f : commonFields())
        if (f.slot >= 0) slots.push_back(f.slot);
    std::sort(slots.begin(), slots.end());
    slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
    return slots;
}

} // namespace rw::config

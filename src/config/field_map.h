// The configuration windows as data: every bound field with its bits (the common fields, the
// same in all four windows, and each window's interface fields), and what differs between the
// windows: lists, captions of the interface group, factory values and behaviours.
#pragma once

#include "config/config_form.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace rw::config {

// How a field shows its bits and stores them back.
enum class FieldKind {
    Check,         // check box: one bit
    Combo,         // drop-down: a code of `width` bits, looked up in `codes`
    Hex,           // text box the user types a hex byte into (the generation's entry rule)
    Level,         // PSD level byte, hex; the dB text beside it follows it
    Derived,       // hex the window computes (carrier words, UART reload); negative is no byte
    ControlWord,   // AFEControl: shows the whole byte, stores the bits no check box has
    Decimal,       // sampling frequency box: decimal byte, shown with two digits
    BaudIndex,     // Baund: the index of the selected item
    ListValue,     // TX_Next_value: decimal; stored only when it is one of the items
    Attenuation,   // PowerController: 0..5; a larger value is shown as an empty red field
    Constellation, // bits 3..0 of a direction's byte
    Interpolation, // bits 7..4 of it
    Shown,         // no bits of its own: follows other fields (carrier MHz, line rates, PSD dB)
};

// What loading does with a stored code that has no list item.
enum class NoItem {
    Keep,    // the field keeps its text (emptied at the start of every load)
    KeepRed, // the same, and the background turns red
    Marker,  // the field shows the marker text
};

struct Code {
    int code;
    const char* item;
};

// A field bound to bits of one configuration byte (patchBytes slot).
struct BitField {
    const char* name;
    int index = -1; // element of a control array, -1 for a plain control
    FieldKind kind = FieldKind::Check;
    int slot = -1; // -1: no byte of its own
    int shift = 0;
    int width = 1;     // bits the field owns when storing
    int loadWidth = 0; // bits read when loading, 0 for `width` (MII_B's PacketSize reads one)
    std::vector<const char*> items{}; // the list, in its order
    std::vector<Code> codes{};        // stored code -> item
    NoItem noItem = NoItem::Keep;
    const char* marker = nullptr;
    bool numeric = false;           // stored by numeric value: equal to code 1's item sets the bit
    bool marksOnTextChange = false; // marks the change when its text changes, not on a click
    bool fileOnly = false;          // written into saved images only, never programmed
    bool label = false;             // a label showing the value (UART_Rate, the line rates)
    int length = 2;                 // a text box's length limit
    const char* caption = nullptr;  // a check box's own caption

    std::uint8_t mask() const { return static_cast<std::uint8_t>(((1u << width) - 1u) << shift); }
};

// One entry of the interface group's arrangement, top to bottom.
struct UiItem {
    enum Kind { Heading, SubHeading, Field } kind;
    const char* text = nullptr;      // heading text; a field's caption (a check box's own)
    const char* field = nullptr;     // control name (Field)
    int index = -1;                  // control array element
    const char* labelName = nullptr; // named caption label instead of a numbered one
    bool half = false;               // beside the previous entry, in the right half
};

struct DirectionDefaults {
    const char* constellation;
    const char* interpolation;
    const char* whole;      // carrier MHz, whole part
    const char* hundredths; // carrier MHz, hundredths
    const char* nextL;
    const char* nextH;
};

using FieldValues = std::vector<std::pair<const char*, const char*>>; // full name, value

// The fields all four windows share, in window order (the order the command line lists them).
const std::vector<BitField>& commonFields();
// The configuration marker: always stored, tested when loading.
inline constexpr int kMarkerSlot = 28;
inline constexpr std::uint8_t kMarker = 0x50;

struct VariantTraits {
    Variant variant;
    const char* name;
    const char* caption;
    // Sampling frequency: factory value and the fall-back of an invalid block.
    const char* fsWhole;
    const char* fsHundredths;
    const char* maxPsdL;
    const char* maxPsdH;
    DirectionDefaults down;
    DirectionDefaults up;
    const char* address;       // UTOPIAAddress
    bool consInterFirst;       // MII_B sets constellation and interpolation before anything else
    FieldValues earlyDefaults; // with the general settings (MII_BP's ClockDivision)
    FieldValues interfaceDefaults; // in the order they are set
    std::vector<BitField> fields;  // interface fields, in window order
    std::vector<int> interfaceSlots;
    std::vector<UiItem> interfaceUi;
    const char* watchdogText;    // element 0 of WatchDogLabel; nullptr: the window has none
    int carrierAdvanceThreshold; // characters in a carrier's whole box before the focus moves on
    std::vector<const char*> expertOnly; // controls hidden by the non-expert layout
    bool defaultMarksChange;             // "Default" marks the change even when no value changes
    bool uartBeforeRates; // a new sampling frequency updates UART_Rate before the rates
};

const VariantTraits& variantTraits(Variant v);

// Slots whose bytes go to the file only, never into the override table.
bool isFileOnlySlot(int slot);
// The common fields' slots and the marker, in slot order.
std::vector<int> commonSlots();

} // namespace rw::config

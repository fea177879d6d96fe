// What differs between the four configuration windows, as data: the interface fields and
// their bits, the list items, the captions of the interface group, and the factory values.
// The common VDSL-layer fields are the same in all four and are built by ConfigFormImpl.
#pragma once

#include "config/config_form.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace rw::config {

enum class FieldKind { Check, Combo, Hex };

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

// An interface field bound to bits of one configuration byte (PatchBytes slot).
struct BitField {
    const char* name;
    int index = -1; // element of a control array, -1 for a plain control
    FieldKind kind = FieldKind::Check;
    int slot = 0;
    int shift = 0;
    int width = 1;     // bits the field owns when storing
    int loadWidth = 0; // bits read when loading, 0 for `width` (MII_B's PacketSize reads one)
    std::vector<const char*> items{}; // the list, in its order
    std::vector<Code> codes{};        // stored code -> item
    NoItem noItem = NoItem::Keep;
    const char* marker = nullptr;
    bool numeric = false; // stored by numeric value: equal to code 1's item sets the bit

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
};

const VariantTraits& variantTraits(Variant v);

// Slots whose bytes go to the file only, never into the override table.
bool isFileOnlySlot(int slot);

} // namespace rw::config

// The four products: what the user picks at start and what follows from that choice.
#pragma once

#include <array>
#include <cstdint>

namespace rw::image {

struct Product {
    int mode;                  // currentMode 1..4
    const char* productCode;   // welcome list row
    const char* window;        // configuration window name
    bool utopia;               // UTOPIA (ATM) interface, else MII
    bool bplus;                // generation B+, else B
    const char* modeCode;      // mode code: file names begin with it
    const char* captionPrefix; // put in front of "E2 Utility"
    const char* mainLabel;     // MainLabel caption
    const char* aboutText;     // About ModeLabel text, before the version
    const char* configCaption; // configuration window caption
    std::uint16_t e2Base;      // modem address of E2PROM offset 0
};

extern const std::array<Product, 4> kProducts;
// Nullptr for anything but 1..4.
const Product* productForMode(int mode);
inline bool isBPlus(int mode) {
    const Product* p = productForMode(mode);
    return p && p->bplus;
}

inline constexpr const char* kSoftwareVersion = "X.0.0.2";

} // namespace rw::image

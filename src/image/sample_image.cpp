#include "image/sample_image.h"

#include "image/product.h"

namespace rw::image {

namespace {

// Filler that is not all FF, so that programming has something to compare and write, and
// that differs between products so that a mixed-up file shows.
void fillDeterministic(Image& img, int mode) {
    std::uint32_t x = 0x9E3779B9u ^ static_cast<std::uint32_t>(mode * 0x45D9F3B);
    for (auto& b : img) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
}

void putSlot(Image& img, int slot, bool bplus, std::uint8_t value) {
    const int off = slotOffset(slot, bplus);
    if (off >= 0) img[static_cast<std::size_t>(off)] = value;
}

} // namespace

Image makeSampleImage(int mode) {
    Image img;
    img.fill(0xFF);
    if (mode < 1 || mode > 4) return img;
    fillDeterministic(img, mode);

    const Product& product = *productForMode(mode);
    const bool bplus = product.bplus;
    const bool atm = product.utopia;
    img[0] = 0x55;
    img[kVersionOffset] = kSampleVersion;

    // Factory settings, encoded as the configuration windows store them.
    const std::uint8_t common[29] = {
        static_cast<std::uint8_t>(atm ? 0x34 : 0x32), // 0 downstream inter/cons
        static_cast<std::uint8_t>(atm ? 0x18 : 0x24), // 1 upstream inter/cons
        static_cast<std::uint8_t>(atm ? 0x52 : 0x58),
        0x00, // 2, 3 downstream carrier word
        static_cast<std::uint8_t>(atm ? 0xED : 0xF1),
        0x00,                                               // 4, 5 upstream carrier word
        0x78,                                               // 6 AFE control
        static_cast<std::uint8_t>(mode == 3 ? 0x2D : 0x00), // 7 Max PSD low
        static_cast<std::uint8_t>(mode == 3 ? 0x03 : 0x04), // 8 Max PSD high
        static_cast<std::uint8_t>(mode == 1 ? 0x04 : 0x00), // 9 Reduce (and MII_B Auto-Neg)
        0x10,
        0x00, // 10, 11 Min PSD
        0x00, // 12 TX_Next_value
        0xB2,
        0x28,
        0xF6,
        0xB2,
        0x28,
        0xF6, // 13..18 preambles
        0xF2, // 19 UART reload, 9600 baud
        0x20, // 20 sleep control: Locken
        0x00,
        0x00,                                               // 21, 22 sleep counter
        static_cast<std::uint8_t>(mode == 2 ? 0xF1 : 0x00), // 23 UTOPIA / MII address
        static_cast<std::uint8_t>(atm ? 92 : 0),            // 24 Fsample hundredths
        25,                                                 // 25 Fsample whole MHz
        2,                                                  // 26 baud index: 9600
        5,                                                  // 27 power control
        0x50,                                               // 28 block marker
    };
    for (int slot = 0; slot <= 28; ++slot)
        putSlot(img, slot, bplus, common[slot]);

    switch (mode) {
    case 1:
        putSlot(img, 30, false, 0x00); // 1518 bytes, clock division 10, MDIO slave
        putSlot(img, 31, false, 0x00); // 16 retries, RX BP level 64
        break;
    case 2:
    case 4:
        putSlot(img, 44, bplus, 0x1E); // buffer 154, RxClv 44, Dric, Drec, with polling
        break;
    case 3: {
        const std::uint8_t mii[7] = {0x04, 0xE0, 0x30, 0x00, 0xCD, 0x17, 0x80};
        for (int i = 0; i < 7; ++i)
            putSlot(img, 32 + i, true, mii[i]);
        const std::uint8_t phy[5] = {0x1C, 0x01, 0x00, 0x00, 0x00};
        for (int i = 0; i < 5; ++i)
            img[static_cast<std::size_t>(kPhyOffset + i)] = phy[i];
        break;
    }
    default:
        break;
    }

    for (int i = 0; i < kReservedSize; ++i)
        img[static_cast<std::size_t>(kReservedOffset + i)] = 0xFF;
    return img;
}

std::string sampleFileName(int mode) {
    static const char* const codes[4] = {"E2MB", "E2UB", "E2MP", "E2UP"};
    if (mode < 1 || mode > 4) return {};
    return std::string(codes[mode - 1]) + "_sample.bin";
}

} // namespace rw::image

#include "image/sample_image.h"

#include <gtest/gtest.h>

using namespace rw::image;

namespace {
std::uint8_t at(const Image& img, int slot, int mode) {
    return img[static_cast<std::size_t>(slotOffset(slot, mode >= 3))];
}
} // namespace

TEST(SampleImage, MarksVersionAndReservedArea) {
    for (int mode = 1; mode <= 4; ++mode) {
        const Image img = makeSampleImage(mode);
        EXPECT_EQ(img[0], 0x55);
        EXPECT_EQ(img[1], kSampleVersion);
        for (int i = kReservedOffset; i < kImageSize; ++i)
            EXPECT_EQ(img[static_cast<std::size_t>(i)], 0xFF);
        int ff = 0;
        for (int i = 0; i < kReservedOffset; ++i)
            ff += img[static_cast<std::size_t>(i)] == 0xFF;
        EXPECT_LT(ff, kReservedOffset / 16) << "filler is not all FF";
    }
    EXPECT_EQ(makeSampleImage(1), makeSampleImage(1)); // deterministic
    EXPECT_NE(makeSampleImage(1), makeSampleImage(2));
    for (auto b : makeSampleImage(0))
        EXPECT_EQ(b, 0xFF);
}

TEST(SampleImage, ValidConfigurationBlockPerProduct) {
    for (int mode = 1; mode <= 4; ++mode) {
        const Image img = makeSampleImage(mode);
        const bool atm = mode == 2 || mode == 4;
        EXPECT_EQ(at(img, 28, mode), 0x50);
        EXPECT_EQ(at(img, 25, mode), 25);
        EXPECT_EQ(at(img, 24, mode), atm ? 92 : 0);
        EXPECT_EQ(at(img, 26, mode), 2);
        EXPECT_LT(at(img, 27, mode), 6);
        EXPECT_EQ(at(img, 0, mode), atm ? 0x34 : 0x32);
        EXPECT_EQ(at(img, 1, mode), atm ? 0x18 : 0x24);
        EXPECT_EQ(at(img, 6, mode), 0x78);
        EXPECT_EQ(at(img, 13, mode), 0xB2);
        EXPECT_EQ(at(img, 14, mode), 0x28);
        EXPECT_EQ(at(img, 15, mode), 0xF6);
        EXPECT_EQ(at(img, 19, mode), 0xF2);
        if (atm) {
            EXPECT_EQ(at(img, 44, mode), 0x1E);
        }
    }
    const Image mp = makeSampleImage(3);
    for (auto [offset, value] :
         {std::pair{612, 0x1C}, {613, 0x01}, {614, 0x00}, {615, 0x00}, {616, 0x00}, {102, 0xCD}})
        EXPECT_EQ(mp[static_cast<std::size_t>(offset)], value) << offset;
}

TEST(SampleImage, FileNames) {
    const char* names[] = {"E2MB_sample.bin", "E2UB_sample.bin", "E2MP_sample.bin",
                           "E2UP_sample.bin", ""};
    for (int mode = 1; mode <= 5; ++mode)
        EXPECT_EQ(sampleFileName(mode), names[mode - 1]) << mode;
}

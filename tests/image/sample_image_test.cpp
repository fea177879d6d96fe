#include "image/sample_image.h"

#include <gtest/gtest.h>

using namespace rw::image;

TEST(SampleImage, MarksVersionFillerAndReservedArea) {
    for (int mode = 1; mode <= 4; ++mode) {
        const Image img = makeSampleImage(mode);
        EXPECT_EQ(img[0], 0x55);
        EXPECT_EQ(img[1], kSampleVersion);
        int ff = 0;
        for (int i = 0; i < kImageSize; ++i)
            if (i < kReservedOffset)
                ff += img[static_cast<std::size_t>(i)] == 0xFF;
            else
                EXPECT_EQ(img[static_cast<std::size_t>(i)], 0xFF) << i;
        EXPECT_LT(ff, kReservedOffset / 16) << "filler is not all FF";
    }
    EXPECT_EQ(makeSampleImage(1), makeSampleImage(1)); // deterministic
    EXPECT_NE(makeSampleImage(1), makeSampleImage(2));
    for (int mode : {0, 5}) {
        for (auto b : makeSampleImage(mode))
            EXPECT_EQ(b, 0xFF);
        EXPECT_EQ(sampleFileName(mode), "");
    }
}

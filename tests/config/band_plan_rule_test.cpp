// The band plan's picture rule: each band centred on its carrier, Fsample / interpolation
// wide; overlapping bands, or bands past 0 or Fsample/2, are flagged with one warning line.
#include "config/band_plan.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace rw::config;

TEST(BandPlanRule, OverlapAndRangeOnSeveralPlans) {
    struct Case {
        double fs, down, downInter, up, upInter;
        bool overlap, downOutside, upOutside;
        const char* warning;
    };
    const Case cases[] = {
        // 25.92 MHz, 2.07 / 12 and 5.99 / 6: bands 0.99-3.15 and 3.83-8.15, apart.
        {25.92, 2.07, 12, 5.99, 6, false, false, false, ""},
        // The same carriers at interpolation 4: 6.48 MHz wide bands run into each other.
        {25.92, 2.07, 4, 5.99, 4, true, true, false,
         "The downstream and upstream bands overlap from 2.75 to 5.31 MHz; the downstream "
         "band reaches below 0 MHz."},
        // Bands that touch do not overlap: 1.62-4.86 and 4.86-8.1.
        {25.92, 3.24, 8, 6.48, 8, false, false, false, ""},
        // Bands may reach 0 and Fsample/2 exactly: 0-4 and 12-16 at 32 MHz.
        {32, 2, 8, 14, 8, false, false, false, ""},
        // An upstream band past Fsample/2 (12.5 MHz).
        {25.0, 3.0, 8, 12.0, 16, false, false, true,
         "The upstream band reaches above 12.5 MHz (Fsample/2)."},
    };
    for (const Case& c : cases) {
        const BandPlan p = computeBandPlan(c.fs, {c.down, c.downInter, 16}, {c.up, c.upInter, 16});
        ASSERT_EQ(p.bands.size(), 2u);
        EXPECT_DOUBLE_EQ(p.top, c.fs / 2);
        EXPECT_NEAR(p.bands[1].high - p.bands[1].low, c.fs / c.upInter, 1e-9);
        EXPECT_EQ(std::tuple(p.bands[0].overlaps, p.bands[1].overlaps, p.bands[0].outside,
                             p.bands[1].outside, p.warning),
                  std::tuple(c.overlap, c.overlap, c.downOutside, c.upOutside, c.warning))
            << c.down << "/" << c.up;
    }
    // No band without a sampling frequency; a direction without interpolation draws none and
    // warns of nothing.
    EXPECT_TRUE(computeBandPlan(0, {2.07, 12, 16}, {5.99, 6, 16}).bands.empty());
    const BandPlan partial = computeBandPlan(25.92, {2.07, std::nullopt, 16}, {5.99, 4, 16});
    ASSERT_EQ(partial.bands.size(), 1u);
    EXPECT_FALSE(partial.bands[0].downstream);
    EXPECT_EQ(partial.warning, "");
}

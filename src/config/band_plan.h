// The band plan as a picture needs numbers: where each direction's band lies between 0 and
// Fsample/2, how wide it is, and whether the two bands collide or leave the range. Pure
// arithmetic on the values a configuration window shows; the GUI draws it, the command line
// prints its warning.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rw::config {

class ConfigForm;

struct DirectionSetting {
    double carrierMHz = 0;
    std::optional<double> interpolation; // nothing while the list has no selection
    std::optional<double> constellation;
};

struct Band {
    bool downstream = true;
    double centre = 0; // the carrier, MHz
    double low = 0;    // centre - symbol rate / 2
    double high = 0;   // centre + symbol rate / 2
    std::optional<double> rateMbps;
    bool outside = false; // below 0 or above Fsample/2
    bool overlaps = false;
};

struct BandPlan {
    double top = 0;          // Fsample / 2
    std::vector<Band> bands; // the directions whose band can be formed, downstream first
    std::string warning;     // one line; empty when the plan is sound
};

// Each band is centred on its carrier and as wide as its symbol rate (Fsample /
// interpolation). Touching bands do not overlap; a band edge exactly at 0 or Fsample/2 is
// inside.
BandPlan computeBandPlan(double fsample, const DirectionSetting& down, const DirectionSetting& up);

// The plan of what a window shows: its Fsample, carrier boxes and lists.
BandPlan bandPlanOf(const ConfigForm& form);

} // namespace rw::config

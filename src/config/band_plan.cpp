#include "config/band_plan.h"

#include "config/config_form.h"
#include "config/general_module.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace rw::config {

namespace {

std::string mhz(double v) {
    return formatDecimal(std::round(v * 100) / 100);
}

std::optional<Band> bandOf(double fsample, const DirectionSetting& d, bool downstream) {
    if (!(fsample > 0) || !d.interpolation || !(*d.interpolation > 0)) return std::nullopt;
    Band b;
    b.downstream = downstream;
    b.centre = d.carrierMHz;
    const double width = fsample / *d.interpolation;
    b.low = b.centre - width / 2;
    b.high = b.centre + width / 2;
    if (d.constellation && *d.constellation > 0)
        b.rateMbps = lineRate(fsample, *d.interpolation, *d.constellation);
    return b;
}

const char* nameOf(const Band& b) {
    return b.downstream ? "downstream" : "upstream";
}

} // namespace

BandPlan computeBandPlan(double fsample, const DirectionSetting& down, const DirectionSetting& up) {
    BandPlan plan;
    plan.top = fsample > 0 ? fsample / 2 : 0;
    for (const auto& b : {bandOf(fsample, down, true), bandOf(fsample, up, false)})
        if (b) plan.bands.push_back(*b);

    std::vector<std::string> notes;
    if (plan.bands.size() == 2) {
        Band& a = plan.bands[0];
        Band& b = plan.bands[1];
        const double from = std::max(a.low, b.low);
        const double to = std::min(a.high, b.high);
        if (from < to) {
            a.overlaps = b.overlaps = true;
            notes.push_back("The downstream and upstream bands overlap from " + mhz(from) + " to " +
                            mhz(to) + " MHz");
        }
    }
    for (Band& b : plan.bands) {
        if (b.low < 0) {
            b.outside = true;
            notes.push_back(std::string("the ") + nameOf(b) + " band reaches below 0 MHz");
        }
        if (b.high > plan.top) {
            b.outside = true;
            notes.push_back(std::string("the ") + nameOf(b) + " band reaches above " +
                            mhz(plan.top) + " MHz (Fsample/2)");
        }
    }
    for (std::size_t i = 0; i < notes.size(); ++i) {
        std::string n = notes[i];
        if (i == 0 && !n.empty())
            n[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(n[0])));
        plan.warning += (i ? "; " : "") + n;
    }
    if (!plan.warning.empty()) plan.warning += ".";
    return plan;
}

BandPlan bandPlanOf(const ConfigForm& form) {
    auto text = [&form](const std::string& name) { return form.fieldText(name).value_or(""); };
    auto direction = [&](const char* carrier, const char* inter, const char* cons) {
        DirectionSetting d;
        d.carrierMHz = readDecimalLenient(text(std::string(carrier) + "(0)")) +
                       readDecimalLenient(text(std::string(carrier) + "(1)")) / 100.0;
        d.interpolation = readNumberStrict(text(inter));
        d.constellation = readNumberStrict(text(cons));
        return d;
    };
    return computeBandPlan(form.fsampleMhz,
                           direction("DwCarrierText", "Dw_Stram_Inter", "Dw_Stram_Cons"),
                           direction("UsCarrierText", "Up_Stram_Inter", "Up_Stram_Cons"));
}

} // namespace rw::config

#include "config/general_module.h"

#include "image/hex.h"

#include "ui/controls.h"
#include "ui/platform.h"

#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace rw::config {

namespace {

// The reading rules ignore blanks wherever they stand, as the hex and decimal boxes always did.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// Text of the form [sign]digits[.digits] to a finite double; overflow saturates.
double toDouble(const std::string& clean) {
    if (clean.empty()) return 0.0;
    double v = std::strtod(clean.c_str(), nullptr);
    if (std::isinf(v)) v = v > 0 ? DBL_MAX : -DBL_MAX;
    return v == 0.0 ? 0.0 : v; // no "-0"
}

// Sets a window's PSD guard and always clears it, whichever way the conversion ends.
class PsdGuard {
public:
    explicit PsdGuard(bool& updating) : updating_(updating) { updating_ = true; }
    ~PsdGuard() { updating_ = false; }
    PsdGuard(const PsdGuard&) = delete;
    PsdGuard& operator=(const PsdGuard&) = delete;

private:
    bool& updating_;
};

constexpr std::array<int, 11> kInterpolationByCode = {4, 6, 8, 12, 16, 24, 32, 48, 64, 10, 14};
constexpr std::array<int, 8> kConstellationByCode = {256, 64, 16, 8, 4, 128, 32, 0};

} // namespace

// ---- numbers -----------------------------------------------------------------------------

double logBase(int base, double x) {
    return std::log(x) / std::log(static_cast<double>(base));
}

double floorHundredths(double x) {
    return std::floor(x * 100) / 100;
}

long long roundHalfEven(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9.2e18) return LLONG_MAX;
    if (x <= -9.2e18) return LLONG_MIN;
    const double fl = std::floor(x);
    const double diff = x - fl;
    auto n = static_cast<long long>(fl);
    if (diff > 0.5 || (diff == 0.5 && (n % 2 != 0))) ++n;
    return n;
}

double round15(double x) {
    if (!std::isfinite(x)) return x;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", x);
    return std::strtod(buf, nullptr);
}

std::string formatDecimal(double x) {
    if (!std::isfinite(x)) return {}; // callers show no result rather than "nan"
    if (x == 0.0) return "0";
    // 15 significant digits in scientific form, then laid out without an exponent.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", x);
    std::string s(buf);
    std::string out;
    std::size_t p = 0;
    if (s[p] == '-') {
        out = "-";
        ++p;
    }
    std::string digits;
    for (; p < s.size() && s[p] != 'e'; ++p)
        if (isDigit(s[p])) digits.push_back(s[p]);
    const int exp = std::atoi(s.c_str() + p + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    if (exp >= 0) {
        const auto whole = static_cast<std::size_t>(exp) + 1;
        if (digits.size() <= whole) {
            out += digits + std::string(whole - digits.size(), '0');
        } else {
            out += digits.substr(0, whole) + "." + digits.substr(whole);
        }
    } else {
        out += "0." + std::string(static_cast<std::size_t>(-exp - 1), '0') + digits;
    }
    return out;
}

std::string Hex(long long v) {
    const auto m =
        v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    return v < 0 ? "-" + image::hex(m) : image::hex(m);
}

long long readHexLenient(const std::string& text) {
    long long v = 0;
    for (char c : text) {
        if (isBlank(c)) continue;
        if (!isHexDigit(c)) break;
        if (v > (LLONG_MAX - 15) / 16)
            v = LLONG_MAX; // saturate, keep reading the run
        else
            v = v * 16 + hexValue(c);
    }
    return v;
}

double readDecimalLenient(const std::string& text) {
    std::string clean;
    bool digits = false, point = false, signSeen = false;
    for (char c : text) {
        if (isBlank(c)) continue;
        if ((c == '+' || c == '-') && !signSeen && !digits && !point) {
            signSeen = true;
            if (c == '-') clean.push_back(c);
        } else if (isDigit(c)) {
            digits = true;
            clean.push_back(c);
        } else if (c == '.' && !point) {
            point = true;
            clean.push_back(c);
        } else {
            break;
        }
    }
    return digits ? toDouble(clean) : 0.0;
}

std::optional<double> readNumberStrict(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    std::size_t p = b;
    if (p < e && (text[p] == '+' || text[p] == '-')) ++p;
    bool digits = false, point = false;
    for (; p < e; ++p) {
        if (isDigit(text[p]))
            digits = true;
        else if (text[p] == '.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    if (!digits) return std::nullopt;
    const double v = std::strtod(text.substr(b, e - b).c_str(), nullptr);
    if (!std::isfinite(v)) return std::nullopt;
    return v == 0.0 ? 0.0 : v;
}

// ---- constellation and interpolation byte -------------------------------------------------

int decodeConstellation(std::uint8_t b) {
    return kConstellationByCode[(b >> 1) & 0x7];
}

int decodeInterpolation(std::uint8_t b) {
    const unsigned code = b >> 4;
    return code < kInterpolationByCode.size() ? kInterpolationByCode[code] : 0;
}

std::uint8_t encodeConstellation(int qam) {
    for (std::size_t code = 0; code + 1 < kConstellationByCode.size(); ++code)
        if (kConstellationByCode[code] == qam)
            return static_cast<std::uint8_t>(code * 2 + (qam == 256 ? 1 : 0));
    return 0;
}

std::uint8_t encodeInterpolation(int factor) {
    for (std::size_t code = 0; code < kInterpolationByCode.size(); ++code)
        if (kInterpolationByCode[code] == factor) return static_cast<std::uint8_t>(code << 4);
    return 0;
}

std::uint8_t packConsInter(int constellation, int interpolation) {
    return static_cast<std::uint8_t>(encodeConstellation(constellation) |
                                     encodeInterpolation(interpolation));
}

const std::vector<int>& interpolationRow(int constellation) {
    static const std::vector<int> small = {4, 6, 8, 12, 16, 24, 32, 48, 64};
    static const std::vector<int> qam32 = {10};
    static const std::vector<int> qam64 = {6, 8, 12, 16, 24, 32, 48, 64};
    static const std::vector<int> qam128 = {14};
    static const std::vector<int> qam256 = {8, 12, 16, 24, 32, 48, 64};
    static const std::vector<int> none;
    switch (constellation) {
    case 4:
    case 8:
    case 16:
        return small;
    case 32:
        return qam32;
    case 64:
        return qam64;
    case 128:
        return qam128;
    case 256:
        return qam256;
    default:
        return none;
    }
}

double constellationOffset(const std::string& constellationText) {
    static const std::array<std::pair<const char*, double>, 7> offsets = {{
        {"4", -2.75},
        {"8", -0.5},
        {"16", -0.5},
        {"32", 0.0},
        {"64", -0.25},
        {"128", -3.5},
        {"256", -0.25},
    }};
    for (const auto& [text, c] : offsets)
        if (constellationText == text) return c;
    return 0.0;
}

// ---- band plan and line rate ----------------------------------------------------------------

std::optional<long long> carrierIndex(double carrierMHz, double fsample) {
    if (fsample == 0.0 || !std::isfinite(fsample) || !std::isfinite(carrierMHz))
        return std::nullopt;
    const double n = carrierMHz * 1024 / fsample;
    if (!std::isfinite(n)) return std::nullopt;
    return roundHalfEven(n);
}

std::optional<long long> uartReload(double fsample, double baud) {
    if (!(baud > 0) || !std::isfinite(baud) || !std::isfinite(fsample)) return std::nullopt;
    const double r = 256 - fsample * 1e6 / (192 * baud);
    if (!std::isfinite(r)) return std::nullopt;
    return roundHalfEven(r);
}

std::optional<double> lineRate(double fsample, double interpolation, double constellation) {
    if (!(interpolation > 0) || !(constellation > 0) || !std::isfinite(fsample) ||
        !std::isfinite(interpolation) || !std::isfinite(constellation))
        return std::nullopt;
    const double s = round15(fsample / interpolation);
    const double b = logBase(2, constellation);
    const double rate = floorHundredths(s * b);
    if (!std::isfinite(rate)) return std::nullopt;
    return rate;
}

// ---- window routines ------------------------------------------------------------------------

void fillInterpolationList(ui::Form& form, bool downstream) {
    auto* cons =
        dynamic_cast<ui::ComboBox*>(form.find(downstream ? "Dw_Stram_Cons" : "Up_Stram_Cons"));
    auto* inter =
        dynamic_cast<ui::ComboBox*>(form.find(downstream ? "Dw_Stram_Inter" : "Up_Stram_Inter"));
    if (!cons || !inter) return;

    const std::string remembered = inter->text();
    inter->clear();

    // Only a whole number names a constellation; "16.5" offers nothing.
    const double q = readDecimalLenient(cons->text());
    const int qam = (q == std::floor(q) && std::fabs(q) <= INT_MAX) ? static_cast<int>(q) : 0;
    const auto& row = interpolationRow(qam);
    for (int f : row)
        inter->addItem(std::to_string(f));

    if (inter->items().size() == 1) {
        inter->setListIndex(0);
        return;
    }
    for (std::size_t i = 0; i < inter->items().size(); ++i) {
        if (inter->items()[i] == remembered) {
            inter->setListIndex(static_cast<int>(i));
            return;
        }
    }
}

PsdConversion convertPsdToBytes(bool& updating, ui::TextBox& psd, ui::ComboBox& constellation,
                                ui::ComboBox& attenuation, ui::TextBox& low, ui::TextBox& high) {
    if (updating) return PsdConversion::Busy;
    if (psd.text().empty()) return PsdConversion::NotConverted;
    PsdGuard guard(updating);
    const double c = constellationOffset(constellation.text());
    // A minus sign on its own is the start of a negative level being typed.
    if (psd.text() == "-") return PsdConversion::NotConverted;
    const double t = readDecimalLenient(psd.text());
    if (!(t > -6.6 && t < 95.84)) return PsdConversion::NotConverted;
    const double p = readDecimalLenient(attenuation.text());
    // 2.3025 exactly, not ln 10, so a level comes out as the tool has always written it.
    const double x = std::exp((((t - p) - c) / 20) * 2.3025);
    if (!std::isfinite(x)) return PsdConversion::NotConverted;
    const long long n = roundHalfEven(x);
    // A level beyond 16 bits has no pair of bytes; leave them as they are.
    if (n < 0 || n > 0xFFFF) return PsdConversion::NotConverted;
    low.setText(Hex(n % 256));
    high.setText(Hex((n - n % 256) / 256));
    return PsdConversion::Converted;
}

bool convertBytesToPsd(bool& updating, ui::TextBox& psd, ui::ComboBox& constellation,
                       ui::ComboBox& attenuation, ui::TextBox& low, ui::TextBox& high) {
    if (updating) return false;
    PsdGuard guard(updating);
    const double c = constellationOffset(constellation.text());
    const double raw = static_cast<double>(readHexLenient(high.text())) * 256 +
                       static_cast<double>(readHexLenient(low.text()));
    if (raw == 0) return false;
    const double p = readDecimalLenient(attenuation.text());
    const double v = floorHundredths(c + (p + 20 * logBase(10, raw)));
    if (!std::isfinite(v)) return false;
    psd.setText(formatDecimal(v));
    return true;
}

bool isHexByte(const std::string& text) {
    if (readHexLenient(text) > 255) return false;
    if (text.empty()) return false;
    if (text.size() == 2) return isHexDigit(text[0]) && isHexDigit(text[1]);
    return isHexDigit(text[0]);
}

bool checkHexField(const std::string& text, ui::Platform& platform, ui::Flag& formChange) {
    if (!isHexByte(text)) {
        platform.msgBox("Please insert new value", ui::Icon::Exclamation, ui::Buttons::OK,
                        "Illegal Parameter");
        return true;
    }
    formChange = true;
    return false;
}

} // namespace rw::config

// Routines shared by the four configuration windows and the main window: number reading
// and formatting, the constellation/interpolation byte, band-plan and line-rate arithmetic,
// and the PSD and hex-field conversions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rw::ui {
class Form;
class TextBox;
class ComboBox;
class Platform;
class Flag;
} // namespace rw::ui

namespace rw::config {

// ---- numbers -------------------------------------------------------------------------
double logBase(int base, double x);  // ln x / ln base
double floorHundredths(double x);    // floor(x * 100) / 100
long long roundHalfEven(double x);   // to the nearest, ties to even
double round15(double x);            // shortest text of <= 15 significant digits, read back
std::string formatDecimal(double x); // <= 15 significant digits, no trailing zeros: 12.96, 13, 0.5
std::string Hex(long long v);        // upper case, no leading zeros, no prefix: 0, ED, 100

// Lenient readings: blanks skipped, the leading run that forms a number counts, anything
// else (and the empty text) reads as 0.
long long readHexLenient(const std::string& text);
double readDecimalLenient(const std::string& text); // optional sign, digits, one point; no exponent
// Strict reading for computation operands: the whole text (blanks around allowed) must be a
// decimal number; nothing otherwise.
std::optional<double> readNumberStrict(const std::string& text);

// ---- constellation and interpolation byte ----------------------------------------------
int decodeConstellation(std::uint8_t b);      // QAM size, 0 for no value
int decodeInterpolation(std::uint8_t b);      // factor, 0 for no value
std::uint8_t encodeConstellation(int qam);    // bits 3..0; 0 for a value not in the table
std::uint8_t encodeInterpolation(int factor); // bits 7..4; 0 for a value not in the table
std::uint8_t packConsInter(int constellation, int interpolation);
// Interpolation factors offered for a constellation, in list order (empty for others).
const std::vector<int>& interpolationRow(int constellation);
// PSD offset in dB of a downstream constellation text.
double constellationOffset(const std::string& constellationText);

// ---- band plan and line rate (nothing when there is no result) --------------------------
std::optional<long long> carrierIndex(double carrierMHz,
                                      double fsample);            // f * 1024 / Fsample, half-even
std::optional<long long> uartReload(double fsample, double baud); // 256 - Fsample*1e6/(192*baud)
std::optional<double> lineRate(double fsample, double interpolation, double constellation);

// ---- window routines --------------------------------------------------------------------
// Refills the direction's interpolation list from its constellation (controls found by name:
// Dw_Stram_Cons/Dw_Stram_Inter or Up_Stram_Cons/Up_Stram_Inter).
void fillInterpolationList(ui::Form& form, bool downstream);

// The PSD conversions. `updating` is the window's own guard: true while one of them runs, so
// that the view it rewrites does not convert back.
enum class PsdConversion {
    Busy,         // another conversion is running: nothing done
    Converted,    // the level bytes now hold the text's level
    NotConverted, // empty, a lone "-", outside (-6.6, 95.84) or beyond 16 bits: bytes left alone
};
// The dB text into the level bytes.
PsdConversion convertPsdToBytes(bool& updating, ui::TextBox& psd, ui::ComboBox& constellation,
                                ui::ComboBox& attenuation, ui::TextBox& low, ui::TextBox& high);
// The level bytes into the dB text; true when the text was rewritten (false: busy, or the
// bytes read as 0).
bool convertBytesToPsd(bool& updating, ui::TextBox& psd, ui::ComboBox& constellation,
                       ui::ComboBox& attenuation, ui::TextBox& low, ui::TextBox& high);
bool isHexByte(const std::string& text);
// True when rejected ("Please insert new value" shown); on acceptance sets formChanged.
bool checkHexField(const std::string& text, ui::Platform& platform, ui::Flag& formChange);

} // namespace rw::config

// What the configuration windows do while the user edits: the sampling frequency and the
// carriers with their derived words, the line rates, the PSD views, the AFE control word.
#include "config/config_form_impl.h"

#include "config/general_module.h"

#include <cctype>
#include <cmath>

namespace rw::config {

namespace {

constexpr const char* kNotConverted =
    "Not converted into a level: give more than -6.6 and less than 95.84 dB, for a level of at "
    "most 16 bits.";

// A box the lenient reading would take as 0 although it holds something else ("ab"): such
// an operand gives no result.
bool readsAsNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i == text.size()) return true; // empty reads as 0
    if (text[i] == '+' || text[i] == '-') ++i;
    auto digit = [&](std::size_t k) {
        return k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]));
    };
    return digit(i) || (i < text.size() && text[i] == '.' && digit(i + 1));
}

// A whole number the arrows can step, or nothing.
std::optional<long long> wholeNumber(const std::string& text) {
    const std::optional<double> v = readNumberStrict(text);
    if (!v || std::floor(*v) != *v || std::fabs(*v) > 1e9) return std::nullopt;
    return static_cast<long long>(*v);
}

// "5" -> "05"; with three places "5" -> "005", "12" -> "012".
std::string padded(std::string t, bool threePlaces) {
    if (t.size() == 1) t = "0" + t;
    if (threePlaces && t.size() == 2) t = "0" + t;
    return t;
}

} // namespace

void ConfigFormImpl::mark() {
    if (quiet_ == 0) markChanged();
}

double ConfigFormImpl::pairValue(const std::array<ui::TextBox*, 2>& pair) const {
    return readDecimalLenient(pair[0]->text()) + readDecimalLenient(pair[1]->text()) / 100.0;
}

// ---- sampling frequency -----------------------------------------------------------------

void ConfigFormImpl::fsampleKeyRelease(int key) {
    if (key == ui::kBackspace || fText_[1]->text().size() < 2) return;
    updateFsample();
}

void ConfigFormImpl::updateFsample() {
    const double f = pairValue(fText_);
    if (isBPlus() && !(f >= 5.0)) {
        context().platform.msgBox("The Fsample can't be less then 5 MHZ", ui::Icon::Exclamation,
                                  ui::Buttons::OK, "Wrong F sample");
        fText_[0]->setText("05");
        fText_[1]->setText("00");
        fsampleMhz = 5.0;
        // Both boxes point at the refusal until the user changes the pair.
        for (ui::TextBox* t : fText_)
            refuse(*t, "The Fsample can't be less then 5 MHZ",
                   [this] { return fText_[0]->text() != "05" || fText_[1]->text() != "00"; });
    } else {
        fsampleMhz = f;
    }
    if (traits_.uartBeforeRates) {
        updateUart();
        updateLineRates();
    } else {
        updateLineRates();
        updateUart();
    }
    // The carriers keep their MHz; their indices follow the new frequency.
    updateCarrierIndex(dir_[0]);
    updateCarrierIndex(dir_[1]);
}

void ConfigFormImpl::updateUart() {
    const std::optional<double> baud = readNumberStrict(baund_->text());
    if (!baud || !(*baud > 0) || !(fsampleMhz > 0)) return;
    const std::optional<long long> r = uartReload(fsampleMhz, *baud);
    if (!r) return;
    uart_->setCaption(*r < 0 ? "-" + Hex(-*r) : Hex(*r));
}

// ---- carriers -----------------------------------------------------------------------------

void ConfigFormImpl::updateCarrierIndex(Direction& d) {
    if (!(fsampleMhz > 0) || !readsAsNumber(d.carrier[0]->text()) ||
        !readsAsNumber(d.carrier[1]->text()))
        return;
    const std::optional<long long> n = carrierIndex(pairValue(d.carrier), fsampleMhz);
    if (!n) return;
    writeCarrierIndex(d, *n);
    d.stale = false;
}

// An index that does not fit two bytes is shown as it is; storing refuses it.
void ConfigFormImpl::writeCarrierIndex(Direction& d, long long n) {
    const long long m = n < 0 ? -n : n;
    d.nextL->setText(Hex(m % 256));
    d.nextH->setText((n < 0 ? "-" : "") + Hex(m / 256));
}

void ConfigFormImpl::carrierKeyPress(Direction& d, int key) {
    if (key == ui::kBackspace) return;
    if (static_cast<int>(d.carrier[0]->text().size()) >= traits_.carrierAdvanceThreshold)
        setFocus(d.carrier[1]);
}

void ConfigFormImpl::carrierKeyRelease(Direction& d, int key) {
    if (key != ui::kBackspace && d.carrier[1]->text().size() >= 2) updateCarrierIndex(d);
    padWhole(*d.carrier[0]);
}

void ConfigFormImpl::padWhole(ui::TextBox& whole) {
    // Zeros in front of letters would make them read as a number.
    if (!readsAsNumber(whole.text())) return;
    const ScopedCount writing(programWrite_);
    whole.setText(padded(whole.text(), true));
}

void ConfigFormImpl::stepCarrier(Direction& d, bool up) {
    ui::TextBox& w = *d.carrier[0];
    ui::TextBox& h = *d.carrier[1];
    const std::optional<long long> wv = wholeNumber(w.text());
    const std::optional<long long> hv = wholeNumber(h.text());
    if (!wv || !hv) return;
    long long nw = *wv;
    long long nh = *hv;
    if (up) {
        if (h.text() == "99") {
            nh = 0;
            ++nw;
        } else {
            ++nh;
        }
    } else if (h.text() == "00") {
        nh = 99;
        --nw;
    } else {
        --nh;
    }
    if (nw < 0 || nh < 0) return; // the arrows stop at 000 / 00
    {
        const ScopedCount writing(programWrite_);
        h.setText(padded(std::to_string(nh), false));
        w.setText(padded(std::to_string(nw), true));
    }
    updateCarrierIndex(d);
}

// Leaving a pair for a control outside it finishes the entry: a sampling frequency not yet
// taken is taken (with the B+ minimum), a carrier not yet converted is converted.
void ConfigFormImpl::leavePair(const std::array<ui::TextBox*, 2>& pair, ui::Control* next,
                               bool fsample, Direction* d) {
    if (next == pair[0] || next == pair[1]) return;
    if (fsample) {
        if (pairValue(fText_) != fsampleMhz) updateFsample();
    } else if (d && d->stale) {
        updateCarrierIndex(*d);
    }
}

void ConfigFormImpl::commitPendingEntries() {
    if (pairValue(fText_) != fsampleMhz) updateFsample();
    for (Direction& d : dir_)
        if (d.stale) updateCarrierIndex(d);
}

// ---- constellation, interpolation, line rates ----------------------------------------------

// The rate of the texts a direction shows; nothing when they give none.
std::optional<std::string> ConfigFormImpl::lineRateText(const Direction& d) const {
    const std::optional<double> q = readNumberStrict(d.cons->text());
    const std::optional<double> i = readNumberStrict(d.inter->text());
    if (!q || !i || !(*q > 0) || !(*i > 0) || !(fsampleMhz > 0)) return std::nullopt;
    const std::optional<double> rate = lineRate(fsampleMhz, *i, *q);
    if (!rate || !std::isfinite(*rate)) return std::nullopt;
    return formatDecimal(*rate);
}

// No result leaves the label as it was.
void ConfigFormImpl::updateLineRate(Direction& d) {
    if (const auto rate = lineRateText(d)) d.rate->setCaption(*rate);
}

void ConfigFormImpl::updateLineRates() {
    updateLineRate(dir_[0]);
    updateLineRate(dir_[1]);
}

void ConfigFormImpl::refillInterpolation(Direction& d) {
    fillInterpolationList(*this, d.down);
}

void ConfigFormImpl::constellationClick(Direction& d) {
    refillInterpolation(d);
    mark();
    if (d.down) {
        bytesToPsd(psd_[0]);
        bytesToPsd(psd_[1]);
    }
    if (!d.cons->text().empty() && !d.inter->text().empty()) updateLineRate(d);
    if (isBPlus() && d.inter->text().empty() && !isLoading) setFocus(d.inter);
}

void ConfigFormImpl::interpolationClick(Direction& d) {
    mark();
    updateLineRate(d);
}

void ConfigFormImpl::checkInterpolationLeft(Direction& d, bool& cancel) {
    if (!d.inter->text().empty()) return;
    context().platform.msgBox(kNoInterpolation, ui::Icon::Exclamation, ui::Buttons::OK,
                              "Illegal Parameter");
    cancel = true;
    ui::ComboBox* inter = d.inter;
    refuse(*inter, kNoInterpolation, [inter] { return !inter->text().empty(); });
}

// ---- PSD ----------------------------------------------------------------------------------

void ConfigFormImpl::bytesToPsd(PsdPair& p) {
    if (convertBytesToPsd(psdUpdating, *p.db, *dir_[0].cons, *power_, *p.low, *p.high))
        showConversion(p, true);
}

void ConfigFormImpl::psdToBytes(PsdPair& p) {
    const PsdConversion r =
        convertPsdToBytes(psdUpdating, *p.db, *dir_[0].cons, *power_, *p.low, *p.high);
    if (r != PsdConversion::Busy) showConversion(p, r == PsdConversion::Converted);
}

// A dB text that was not converted shows one value while the bytes hold another: it stays
// red, and storing refuses it, until it is converted or rewritten from the bytes.
void ConfigFormImpl::showConversion(PsdPair& p, bool converted) {
    p.converted = converted;
    p.db->setBackColour(converted ? ui::kFieldBlue : ui::kRed);
    p.db->setProblem(converted ? "" : kNotConverted);
}

void ConfigFormImpl::powerClick() {
    mark();
    if (power_->listIndex() >= 0) power_->setBackColour(ui::kFieldBlue);
    bytesToPsd(psd_[0]);
    bytesToPsd(psd_[1]);
}

// ---- AFE control word ---------------------------------------------------------------------

void ConfigFormImpl::afeTextChanged() {
    afeUpdating = true;
    const long long v = readHexLenient(afe_->text());
    for (std::size_t i = 0; i < afeBits_.size(); ++i)
        afeBits_[i]->setValue(((v >> (i + 2)) & 1) != 0 ? 1 : 0);
    afeUpdating = false;
    // Bits 1..0 have no check box; they are stored from this text, so changing them is an
    // edit like any other.
    const int low = static_cast<int>(v & 3);
    if (low != afeLowBits_) {
        afeLowBits_ = low;
        mark();
    }
}

void ConfigFormImpl::afeBoxClicked(int bit) {
    if (!afeUpdating) {
        afeUpdating = true;
        long long v = readHexLenient(afe_->text());
        const long long value = 1LL << bit;
        if (afeBits_[static_cast<std::size_t>(bit - 2)]->checked())
            v |= value;
        else
            v &= 0xFF - value;
        afe_->setText(Hex(v));
        afeUpdating = false;
    }
    mark();
}

} // namespace rw::config

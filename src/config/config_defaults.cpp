// Factory values ("Default"). Every write goes through the field, so derived fields follow
// through the usual reactions and only fields whose value changes mark an edit.
#include "config/config_form_impl.h"

#include "config/general_module.h"

namespace rw::config {

void ConfigFormImpl::applyValue(const std::string& fullName, const std::string& value) {
    ui::Control* c = findByFullName(fullName);
    if (auto* box = dynamic_cast<ui::CheckBox*>(c))
        box->setValue(value == "1" ? 1 : 0);
    else if (auto* combo = dynamic_cast<ui::ComboBox*>(c))
        combo->setText(value);
    else if (auto* text = dynamic_cast<ui::TextBox*>(c))
        text->setText(value);
}

void ConfigFormImpl::defaultDirection(Direction& d, const DirectionDefaults& v, bool carrierToo) {
    d.cons->setText(v.constellation);
    {
        // Refilling re-selects what was selected; that alone is no edit.
        const ScopedCount quiet(quiet_);
        refillInterpolation(d);
    }
    d.inter->setText(v.interpolation);
    if (!carrierToo) return;
    d.carrier[0]->setText(v.whole);
    d.carrier[1]->setText(v.hundredths);
    d.nextL->setText(v.nextL);
    d.nextH->setText(v.nextH);
}

void ConfigFormImpl::setDefaults() {
    const ScopedCount writing(programWrite_);
    if (traits_.consInterFirst) {
        defaultDirection(dir_[0], traits_.down, false);
        defaultDirection(dir_[1], traits_.up, false);
    }

    fsampleMhz =
        readDecimalLenient(traits_.fsWhole) + readDecimalLenient(traits_.fsHundredths) / 100.0;
    fText_[0]->setText(traits_.fsWhole);
    fText_[1]->setText(traits_.fsHundredths);

    baund_->setText("9600");
    txNext_->setText("0");
    reduce_->setValue(0);
    for (const auto& [name, value] : traits_.earlyDefaults)
        applyValue(name, value);
    psd_[1].low->setText("10");
    psd_[1].high->setText("0");
    psd_[0].low->setText(traits_.maxPsdL);
    psd_[0].high->setText(traits_.maxPsdH);

    defaultDirection(dir_[0], traits_.down, true);
    defaultDirection(dir_[1], traits_.up, true);

    static constexpr int kAfe[6] = {0, 1, 1, 1, 1, 0}; // Adcf .. Timnus
    for (std::size_t i = 0; i < afeBits_.size(); ++i)
        afeBits_[i]->setValue(kAfe[i]);
    sleepL_->setText("0");
    sleepH_->setText("0");
    power_->setText("5");
    static constexpr int kSleep[6] = {0, 0, 0, 0, 0, 1}; // WakDis .. Locken
    for (std::size_t i = 0; i < sleep_.size(); ++i)
        sleep_[i]->setValue(kSleep[i]);
    static constexpr const char* kPreamble[3] = {"B2", "28", "F6"};
    for (std::size_t i = 0; i < preambles_.size(); ++i)
        preambles_[i]->setText(kPreamble[i % 3]);

    updateUart();

    for (const auto& [name, value] : traits_.interfaceDefaults)
        applyValue(name, value);
    address_->setText(traits_.address);

    // A window that set its rates before the sampling frequency shows them for the new one.
    if (traits_.consInterFirst) updateLineRates();
    afeUpdating = false;
    for (Direction& d : dir_)
        d.stale = false;
}

} // namespace rw::config

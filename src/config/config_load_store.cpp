// Filling the window from PatchBytes, and storing its fields back into FieldBytes, the
// override table and saved images.
#include "config/config_form_impl.h"

#include "config/general_module.h"

#include <cmath>
#include <exception>

namespace rw::config {

namespace {

std::string twoDigits(int v) {
    std::string t = std::to_string(v);
    return t.size() == 1 ? "0" + t : t;
}

std::string threeDigits(long long v) {
    std::string t = std::to_string(v);
    if (t.size() < 3) t.insert(0, 3 - t.size(), '0');
    return t;
}

bool startsNegative(const std::string& text) {
    const std::size_t i = text.find_first_not_of(' ');
    return i != std::string::npos && text[i] == '-';
}

// A decimal field's byte: the text's value rounded, or nothing when it does not fit.
std::optional<std::uint8_t> decimalByte(const std::string& text) {
    const long long v = RoundHalfEven(ReadDecimalLenient(text));
    if (v < 0 || v > 255) return std::nullopt;
    return static_cast<std::uint8_t>(v);
}

// A hex text's byte; derived texts (carrier words, UART value) may be negative, which no
// byte can hold.
std::optional<std::uint8_t> hexText(const std::string& text, bool derived) {
    if (derived && startsNegative(text)) return std::nullopt;
    const long long v = ReadHexLenient(text);
    if (v < 0 || v > 255) return std::nullopt;
    return static_cast<std::uint8_t>(v);
}

std::string doesNotFit(const std::string& name) {
    return name + " does not fit in one byte.";
}

} // namespace

// ---- loading ------------------------------------------------------------------------------

bool ConfigFormImpl::LoadFromPatch() {
    // Filling fires the fields' reactions; none of them may count as an edit.
    const bool wasLoading = Loading;
    Loading = true;
    try {
        FillFields();
    } catch (const std::exception&) {
        Loading = wasLoading;
        context().platform.msgBox(
            "An error occurred while reading the patch file.\r\nPlease try another one.",
            ui::Icon::Critical, ui::Buttons::OK, "Bad patch file");
        if (context().main) context().main->disableFileButtons();
        return false;
    }
    Loading = wasLoading;
    return true;
}

void ConfigFormImpl::FillFields() {
    const auto& pb = context().cm.PatchBytes;
    const ScopedCount writing(programWrite_);
    emptyKeptFields();
    loadSampling();

    loadDirection(dir_[0]);
    loadDirection(dir_[1]);

    dir_[0].nextL->setText(Hex(pb[2]));
    dir_[0].nextH->setText(Hex(pb[3]));
    dir_[1].nextL->setText(Hex(pb[4]));
    dir_[1].nextH->setText(Hex(pb[5]));
    loadCarrierText(dir_[0]);
    loadCarrierText(dir_[1]);

    afe_->setText(Hex(pb[6]));
    for (std::size_t i = 0; i < afeBits_.size(); ++i)
        afeBits_[i]->setValue(((pb[6] >> (i + 2)) & 1) != 0 ? 1 : 0);

    psd_[0].low->setText(Hex(pb[7]));
    psd_[0].high->setText(Hex(pb[8]));
    reduce_->setValue((pb[9] & 0x02) != 0 ? 1 : 0);
    loadInterface(true);
    psd_[1].low->setText(Hex(pb[10]));
    psd_[1].high->setText(Hex(pb[11]));
    txNext_->setText(std::to_string(pb[12]));

    for (std::size_t i = 0; i < preambles_.size(); ++i)
        preambles_[i]->setText(Hex(pb[13 + i]));
    uart_->setCaption(Hex(pb[19]));
    for (std::size_t i = 0; i < sleep_.size(); ++i)
        sleep_[i]->setValue(((pb[20] >> i) & 1) != 0 ? 1 : 0);
    sleepL_->setText(Hex(pb[21]));
    sleepH_->setText(Hex(pb[22]));
    address_->setText(Hex(pb[23]));

    for (int slot : slots_)
        FieldBytes[static_cast<std::size_t>(slot)] = pb[static_cast<std::size_t>(slot)];

    loadInterface(false);
    if (pb[27] > 5) {
        power_->setText("");
        power_->setBackColour(ui::kRed);
    } else {
        power_->setText(std::to_string(pb[27]));
        power_->setBackColour(ui::kFieldBlue);
    }
    // The PSD texts follow the attenuation now shown, not the previous file's.
    bytesToPsd(psd_[0]);
    bytesToPsd(psd_[1]);
    for (const auto& [field, control] : iface_)
        if (field->kind == FieldKind::Hex) loadBitField(*field, *control);

    for (Direction& d : dir_)
        d.stale = false;
}

// Fields that a code without a list item leaves as they were start empty on every load, so
// nothing of the previous file is stored into the next.
void ConfigFormImpl::emptyKeptFields() {
    for (const auto& [field, control] : iface_) {
        if (field->kind != FieldKind::Combo || field->noItem == NoItem::Marker) continue;
        const int loadWidth = field->loadWidth ? field->loadWidth : field->width;
        if (static_cast<int>(field->codes.size()) == (1 << loadWidth)) continue;
        auto& combo = static_cast<ui::ComboBox&>(*control);
        combo.setText("");
        combo.setBackColour(ui::kFieldBlue);
    }
}

void ConfigFormImpl::loadSampling() {
    const auto& pb = context().cm.PatchBytes;
    const bool valid = pb[24] < 100 && pb[25] < 100 && pb[26] < 7 && pb[28] == 0x50;
    const std::string whole = valid ? twoDigits(pb[25]) : traits_.fsWhole;
    const std::string hundredths = valid ? twoDigits(pb[24]) : traits_.fsHundredths;
    // Exactly the value the two boxes show.
    Fsample = ReadDecimalLenient(whole) + ReadDecimalLenient(hundredths) / 100.0;
    fText_[0]->setText(whole);
    fText_[1]->setText(hundredths);
    if (valid)
        baund_->setListIndex(pb[26]);
    else
        baund_->setText("9600");
}

void ConfigFormImpl::loadDirection(Direction& d) {
    const std::uint8_t b = context().cm.PatchBytes[static_cast<std::size_t>(d.slot)];
    d.cons->setText(std::to_string(DecodeConstellation(b)));
    d.inter->setText(std::to_string(DecodeInterpolation(b)));
}

// The modem keeps carrier indices; the MHz shown are derived from them.
void ConfigFormImpl::loadCarrierText(Direction& d) {
    if (!(Fsample > 0)) return;
    const long long n = ReadHexLenient(d.nextL->text()) + 256 * ReadHexLenient(d.nextH->text());
    const double f = FloorHundredths(static_cast<double>(n) * Fsample / 1024.0);
    const long long total = std::llround(f * 100.0);
    d.carrier[0]->setText(threeDigits(total / 100));
    d.carrier[1]->setText(twoDigits(static_cast<int>(total % 100)));
}

void ConfigFormImpl::loadBitField(const BitField& f, ui::Control& c) {
    const std::uint8_t b = context().cm.PatchBytes[static_cast<std::size_t>(f.slot)];
    const int width = f.loadWidth ? f.loadWidth : f.width;
    const int code = (b >> f.shift) & ((1 << width) - 1);
    switch (f.kind) {
    case FieldKind::Check:
        static_cast<ui::CheckBox&>(c).setValue(code != 0 ? 1 : 0);
        return;
    case FieldKind::Hex:
        static_cast<ui::TextBox&>(c).setText(Hex(b));
        return;
    case FieldKind::Combo:
        break;
    }
    auto& combo = static_cast<ui::ComboBox&>(c);
    for (const Code& k : f.codes) {
        if (k.code != code) continue;
        combo.setText(k.item);
        combo.setBackColour(ui::kFieldBlue);
        return;
    }
    switch (f.noItem) {
    case NoItem::Keep:
        break;
    case NoItem::KeepRed:
        combo.setBackColour(ui::kRed);
        break;
    case NoItem::Marker:
        combo.setText(f.marker);
        break;
    }
}

// Slot 9 (MII_B's AutoNeg) loads with Reduce; the other interface fields after the common
// ones. The PHY boxes come last of all.
void ConfigFormImpl::loadInterface(bool slot9) {
    for (const auto& [field, control] : iface_)
        if ((field->slot == 9) == slot9 && field->kind != FieldKind::Hex)
            loadBitField(*field, *control);
}

// ---- storing ------------------------------------------------------------------------------

std::optional<std::uint8_t> ConfigFormImpl::hexByte(const ui::TextBox& box) const {
    const bool derived = box.readOnly();
    return hexText(box.text(), derived);
}

void ConfigFormImpl::FieldsToBytes() {
    CommitPendingEntries();
    auto& fb = FieldBytes;
    // A value that does not fit leaves its byte alone; StoreProblem() refuses it beforehand.
    auto putHex = [&](int slot, const ui::TextBox* box) {
        if (auto v = hexByte(*box)) fb[static_cast<std::size_t>(slot)] = *v;
    };
    for (Direction& d : dir_) {
        const int cons = static_cast<int>(RoundHalfEven(ReadDecimalLenient(d.cons->text())));
        const int inter = static_cast<int>(RoundHalfEven(ReadDecimalLenient(d.inter->text())));
        fb[static_cast<std::size_t>(d.slot)] = PackConsInter(cons, inter);
    }
    putHex(2, dir_[0].nextL);
    putHex(3, dir_[0].nextH);
    putHex(4, dir_[1].nextL);
    putHex(5, dir_[1].nextH);

    // Bits 1..0 have no check box: they come from the control word's text.
    std::uint8_t afe = static_cast<std::uint8_t>(ReadHexLenient(afe_->text()) & 0x03);
    for (std::size_t i = 0; i < afeBits_.size(); ++i)
        if (afeBits_[i]->checked()) afe |= static_cast<std::uint8_t>(1u << (i + 2));
    fb[6] = afe;

    putHex(7, psd_[0].low);
    putHex(8, psd_[0].high);
    fb[9] = static_cast<std::uint8_t>((fb[9] & ~0x02) | (reduce_->checked() ? 0x02 : 0));
    putHex(10, psd_[1].low);
    putHex(11, psd_[1].high);

    // Only a value of the list is written; anything else keeps the loaded byte.
    if (const std::optional<double> tx = ReadNumberStrict(txNext_->text())) {
        for (int allowed : {0, 1, 2, 8, 16})
            if (*tx == allowed) fb[12] = static_cast<std::uint8_t>(allowed);
    }

    for (std::size_t i = 0; i < preambles_.size(); ++i)
        putHex(13 + static_cast<int>(i), preambles_[i]);
    if (auto v = hexText(uart_->caption(), true)) fb[19] = *v;
    std::uint8_t sleepByte = fb[20] & 0xC0;
    for (std::size_t i = 0; i < sleep_.size(); ++i)
        if (sleep_[i]->checked()) sleepByte |= static_cast<std::uint8_t>(1u << i);
    fb[20] = sleepByte;
    putHex(21, sleepL_);
    putHex(22, sleepH_);
    putHex(23, address_);

    if (auto v = decimalByte(fText_[1]->text())) fb[24] = *v;
    if (auto v = decimalByte(fText_[0]->text())) fb[25] = *v;
    if (baund_->listIndex() >= 0) fb[26] = static_cast<std::uint8_t>(baund_->listIndex());
    if (auto v = hexText(power_->text(), false)) fb[27] = *v;
    fb[28] = 0x50;

    storeInterface();
}

void ConfigFormImpl::storeInterface() {
    auto& fb = FieldBytes;
    for (const auto& [field, control] : iface_) {
        std::uint8_t& b = fb[static_cast<std::size_t>(field->slot)];
        const std::uint8_t mask = field->mask();
        int code = 0;
        switch (field->kind) {
        case FieldKind::Hex:
            if (auto v = hexByte(static_cast<ui::TextBox&>(*control))) b = *v;
            continue;
        case FieldKind::Check:
            code = static_cast<ui::CheckBox&>(*control).checked() ? 1 : 0;
            break;
        case FieldKind::Combo: {
            const std::string& text = static_cast<ui::ComboBox&>(*control).text();
            for (const Code& k : field->codes) {
                if (field->numeric) {
                    if (k.code == 1 && ReadDecimalLenient(text) == ReadDecimalLenient(k.item))
                        code = 1;
                } else if (text == k.item) {
                    code = k.code;
                }
            }
            break;
        }
        }
        b = static_cast<std::uint8_t>((b & ~mask) | ((code << field->shift) & mask));
    }
}

std::string ConfigFormImpl::problemOf(const std::string& name, const std::string& text,
                                      bool derived) const {
    return hexText(text, derived) ? std::string() : doesNotFit(name);
}

std::string ConfigFormImpl::StoreProblem() {
    CommitPendingEntries();
    for (ui::TextBox* t : fText_)
        if (!decimalByte(t->text())) return doesNotFit(t->fullName());
    std::vector<const ui::TextBox*> hex = {dir_[0].nextL, dir_[0].nextH, dir_[1].nextL,
                                           dir_[1].nextH, afe_,          psd_[0].low,
                                           psd_[0].high,  psd_[1].low,   psd_[1].high};
    hex.insert(hex.end(), preambles_.begin(), preambles_.end());
    for (const ui::TextBox* t : hex)
        if (std::string p = problemOf(t->fullName(), t->text(), t->readOnly()); !p.empty())
            return p;
    if (std::string p = problemOf(uart_->name(), uart_->caption(), true); !p.empty()) return p;
    for (const ui::TextBox* t : {sleepL_, sleepH_, address_})
        if (std::string p = problemOf(t->fullName(), t->text(), false); !p.empty()) return p;
    for (const auto& [field, control] : iface_) {
        if (field->kind == FieldKind::Hex) {
            const auto& box = static_cast<const ui::TextBox&>(*control);
            if (std::string p = problemOf(box.fullName(), box.text(), false); !p.empty()) return p;
        }
    }
    // The list offers "2" but generation B has no code for it.
    if (variant() == Variant::MII_B && comboBox("ClockDivision").text() == "2")
        return "ClockDivision 2 has no code for this chip.";
    return {};
}

void ConfigFormImpl::SendDigToModem() {
    image::ConfigModule& cm = context().cm;
    cm.ClearOverrides();
    FieldsToBytes();
    for (int slot : slots_) {
        if (!isProgrammedSlot(slot)) continue;
        const int offset = image::slotOffset(slot, isBPlus());
        cm.OverrideTable[static_cast<std::size_t>(image::positionOf(offset))] =
            FieldBytes[static_cast<std::size_t>(slot)];
    }
    if (variant() == Variant::MII_BP) {
        std::size_t i = 0;
        for (const auto& [field, control] : iface_) {
            if (field->kind != FieldKind::Hex || i >= cm.PhyBytes.size()) continue;
            const auto v = hexByte(static_cast<const ui::TextBox&>(*control));
            cm.PhyBytes[i++] = v ? *v : FieldBytes[static_cast<std::size_t>(field->slot)];
        }
    }
}

void ConfigFormImpl::SendDigToFile(image::Image& out) {
    context().cm.ClearOverrides();
    FieldsToBytes();
    for (int slot : slots_) {
        const int offset = image::slotOffset(slot, isBPlus());
        if (offset >= 0 && offset < image::kImageSize)
            out[static_cast<std::size_t>(offset)] = FieldBytes[static_cast<std::size_t>(slot)];
    }
}

// ---- checks and "Done" --------------------------------------------------------------------

bool ConfigFormImpl::CheckInputs() {
    std::vector<const ui::TextBox*> boxes = {psd_[1].low, psd_[1].high, psd_[0].low, psd_[0].high};
    if (!isBPlus()) {
        boxes.insert(boxes.begin(), {dir_[0].nextL, dir_[0].nextH, dir_[1].nextL, dir_[1].nextH});
        boxes.insert(boxes.end(), preambles_.begin(), preambles_.end());
        boxes.insert(boxes.end(), {address_, sleepL_, sleepH_});
    }
    for (const ui::TextBox* b : boxes)
        if (!IsHexByte(b->text())) return false;
    if (!isBPlus() && (dir_[0].inter->text().empty() || dir_[1].inter->text().empty()))
        return false;
    return true;
}

bool ConfigFormImpl::Done() {
    if (!CheckInputs()) {
        context().platform.msgBox("Please check your input values", ui::Icon::Critical,
                                  ui::Buttons::OKCancel, "Error input");
        return false;
    }
    if (!ConfirmStorable()) return false;
    if (!isBPlus()) FieldsToBytes();
    hide();
    if (context().main) context().main->focusSaveButton();
    return true;
}

} // namespace rw::config

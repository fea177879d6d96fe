// Filling the window from patchBytes, and storing its fields back into fieldBytes, the
// override table and saved images.
#include "config/config_form_impl.h"

#include "config/general_module.h"

#include <algorithm>
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
    const long long v = roundHalfEven(readDecimalLenient(text));
    if (v < 0 || v > 255) return std::nullopt;
    return static_cast<std::uint8_t>(v);
}

// A hex text's byte; derived texts (carrier words, UART value) may be negative, which no
// byte can hold.
std::optional<std::uint8_t> hexText(const std::string& text, bool derived) {
    if (derived && startsNegative(text)) return std::nullopt;
    const long long v = readHexLenient(text);
    if (v < 0 || v > 255) return std::nullopt;
    return static_cast<std::uint8_t>(v);
}

std::string doesNotFit(const std::string& name) {
    return name + " does not fit in one byte.";
}

// What a field shows: a text box's or list's text, a label's caption.
const std::string& textOf(const ui::Control& c) {
    static const std::string none;
    switch (c.kind()) {
    case ui::ControlKind::TextBox:
        return static_cast<const ui::TextBox&>(c).text();
    case ui::ControlKind::ComboBox:
        return static_cast<const ui::ComboBox&>(c).text();
    case ui::ControlKind::Label:
        return static_cast<const ui::Label&>(c).caption();
    default:
        return none;
    }
}

} // namespace

// ---- loading ------------------------------------------------------------------------------

bool ConfigFormImpl::loadFromPatch() {
    {
        // Filling fires the fields' reactions; none of them may count as an edit.
        const ScopedValue<bool> loading(isLoading, true);
        try {
            fillFields();
            return true;
        } catch (const std::exception&) {
            // reported below, with Loading as the caller set it
        }
    }
    context().platform.msgBox(
        "An error occurred while reading the patch file.\r\nPlease try another one.",
        ui::Icon::Critical, ui::Buttons::OK, "Bad patch file");
    if (context().main) context().main->disableFileButtons();
    return false;
}

void ConfigFormImpl::fillFields() {
    const auto& pb = context().cm.patchBytes;
    const ScopedCount writing(programWrite_);
    emptyKeptFields();
    const bool valid = blockValid();
    for (const auto& [field, control] : fields_)
        loadField(*field, *control, valid);
    for (int slot : slots_)
        fieldBytes[static_cast<std::size_t>(slot)] = pb[static_cast<std::size_t>(slot)];

    // What follows the loaded fields: the carrier MHz their words give, the PSD texts for the
    // attenuation now shown (not the previous file's), and the line rates of the texts shown,
    // also where a stored interpolation is not in the list and so fired nothing.
    for (Direction& d : dir_)
        loadCarrierText(d);
    bytesToPsd(psd_[0]);
    bytesToPsd(psd_[1]);
    for (Direction& d : dir_) {
        d.rate->setCaption(lineRateText(d).value_or(""));
        d.stale = false;
    }
}

// Fields that a code without a list item leaves as they were start empty on every load, so
// nothing of the previous file is stored into the next.
void ConfigFormImpl::emptyKeptFields() {
    for (const auto& [field, control] : fields_) {
        if (field->kind != FieldKind::Combo || field->noItem == NoItem::Marker) continue;
        const int loadWidth = field->loadWidth ? field->loadWidth : field->width;
        if (static_cast<int>(field->codes.size()) == (1 << loadWidth)) continue;
        auto& combo = static_cast<ui::ComboBox&>(*control);
        combo.setText("");
        combo.setBackColour(ui::kFieldBlue);
    }
}

// The block of sampling frequency, baud rate and marker: when it fails, the frequency and the
// baud rate take the window's fall-back values.
bool ConfigFormImpl::blockValid() const {
    const auto& pb = context().cm.patchBytes;
    bool valid = pb[kMarkerSlot] == kMarker;
    for (const auto& [field, control] : fields_) {
        if (field->slot < 0) continue;
        const std::uint8_t b = pb[static_cast<std::size_t>(field->slot)];
        if (field->kind == FieldKind::Decimal) valid = valid && b < 100;
        if (field->kind == FieldKind::BaudIndex) valid = valid && b < field->items.size();
    }
    return valid;
}

void ConfigFormImpl::loadField(const BitField& f, ui::Control& c, bool valid) {
    if (f.slot < 0) return; // follows other fields
    const std::uint8_t b = context().cm.patchBytes[static_cast<std::size_t>(f.slot)];
    const int width = f.loadWidth ? f.loadWidth : f.width;
    const int code = (b >> f.shift) & ((1 << width) - 1);
    switch (f.kind) {
    case FieldKind::Check:
        static_cast<ui::CheckBox&>(c).setValue(code != 0 ? 1 : 0);
        return;
    case FieldKind::Combo:
        loadCombo(f, static_cast<ui::ComboBox&>(c), code);
        return;
    case FieldKind::Constellation:
        static_cast<ui::ComboBox&>(c).setText(std::to_string(decodeConstellation(b)));
        return;
    case FieldKind::Interpolation:
        static_cast<ui::ComboBox&>(c).setText(std::to_string(decodeInterpolation(b)));
        return;
    case FieldKind::BaudIndex:
        if (valid)
            static_cast<ui::ComboBox&>(c).setListIndex(b);
        else
            static_cast<ui::ComboBox&>(c).setText("9600");
        return;
    case FieldKind::ListValue:
        static_cast<ui::ComboBox&>(c).setText(std::to_string(b));
        return;
    case FieldKind::Attenuation:
        loadAttenuation(b);
        return;
    default:
        loadText(f, c, b, valid);
        return;
    }
}

// Text boxes and value labels.
void ConfigFormImpl::loadText(const BitField& f, ui::Control& c, std::uint8_t b, bool valid) {
    if (f.kind == FieldKind::Decimal) {
        const char* fallback = f.index == 0 ? traits_.fsWhole : traits_.fsHundredths;
        static_cast<ui::TextBox&>(c).setText(valid ? twoDigits(b) : fallback);
        // Exactly the value the two boxes show.
        fsampleMhz = pairValue(fText_);
    } else if (auto* l = dynamic_cast<ui::Label*>(&c)) {
        l->setCaption(Hex(b));
    } else {
        static_cast<ui::TextBox&>(c).setText(Hex(b));
    }
}

void ConfigFormImpl::loadCombo(const BitField& f, ui::ComboBox& combo, int code) {
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

// A stored attenuation above the list is shown as an empty red field.
void ConfigFormImpl::loadAttenuation(std::uint8_t b) {
    const bool listed = b < power_->items().size();
    power_->setText(listed ? std::to_string(b) : "");
    power_->setBackColour(listed ? ui::kFieldBlue : ui::kRed);
}

// The modem keeps carrier indices; the MHz shown are derived from them.
void ConfigFormImpl::loadCarrierText(Direction& d) {
    if (!(fsampleMhz > 0)) return;
    const long long n = readHexLenient(d.nextL->text()) + 256 * readHexLenient(d.nextH->text());
    const double f = floorHundredths(static_cast<double>(n) * fsampleMhz / 1024.0);
    const long long total = std::llround(f * 100.0);
    d.carrier[0]->setText(threeDigits(total / 100));
    d.carrier[1]->setText(twoDigits(static_cast<int>(total % 100)));
}

// ---- storing ------------------------------------------------------------------------------

void ConfigFormImpl::fieldsToBytes() {
    commitPendingEntries();
    for (const auto& [field, control] : fields_)
        storeField(*field, *control);
    fieldBytes[kMarkerSlot] = kMarker;
}

// A field's byte, or its bits within the byte; bits no field owns keep their value. A value
// that does not fit leaves its byte alone: storageProblem() refuses it beforehand.
void ConfigFormImpl::storeField(const BitField& f, const ui::Control& c) {
    if (f.slot < 0) return;
    std::uint8_t& b = fieldBytes[static_cast<std::size_t>(f.slot)];
    if (f.width == 8) {
        if (const auto v = byteOf(f, c)) b = *v;
        return;
    }
    if (const auto code = codeOf(f, c)) {
        const std::uint8_t mask = f.mask();
        b = static_cast<std::uint8_t>((b & ~mask) | ((*code << f.shift) & mask));
    }
}

// The bits of a field that shares its byte.
std::optional<int> ConfigFormImpl::codeOf(const BitField& f, const ui::Control& c) const {
    switch (f.kind) {
    case FieldKind::Check:
        return static_cast<const ui::CheckBox&>(c).checked() ? 1 : 0;
    case FieldKind::Constellation:
        return encodeConstellation(static_cast<int>(roundHalfEven(readDecimalLenient(textOf(c)))));
    case FieldKind::Interpolation:
        return encodeInterpolation(
                   static_cast<int>(roundHalfEven(readDecimalLenient(textOf(c))))) >>
               4;
    case FieldKind::ControlWord:
        return static_cast<int>(readHexLenient(textOf(c)) & ((1 << f.width) - 1));
    case FieldKind::Combo:
        break;
    default:
        return std::nullopt;
    }
    // A text that matches no item leaves code 0.
    const std::string& text = textOf(c);
    int code = 0;
    for (const Code& k : f.codes) {
        if (f.numeric) {
            if (k.code == 1 && readDecimalLenient(text) == readDecimalLenient(k.item)) code = 1;
        } else if (text == k.item) {
            code = k.code;
        }
    }
    return code;
}

// The byte of a field that owns a whole byte, or nothing when its value has none.
std::optional<std::uint8_t> ConfigFormImpl::byteOf(const BitField& f, const ui::Control& c) const {
    switch (f.kind) {
    case FieldKind::Decimal:
        return decimalByte(textOf(c));
    case FieldKind::BaudIndex: {
        const int i = static_cast<const ui::ComboBox&>(c).listIndex();
        if (i < 0) return std::nullopt;
        return static_cast<std::uint8_t>(i);
    }
    case FieldKind::ListValue: {
        // Only a value of the list is written; anything else keeps the loaded byte.
        const std::optional<double> v = readNumberStrict(textOf(c));
        for (const char* item : f.items)
            if (v && *v == readDecimalLenient(item)) return static_cast<std::uint8_t>(*v);
        return std::nullopt;
    }
    default:
        return hexText(textOf(c), f.kind == FieldKind::Derived);
    }
}

std::string ConfigFormImpl::storeProblemOf(const BitField& f, const ui::Control& c) const {
    switch (f.kind) {
    case FieldKind::Decimal:
        return decimalByte(textOf(c)) ? std::string() : doesNotFit(c.fullName());
    case FieldKind::Hex:
    case FieldKind::Level:
    case FieldKind::Derived:
    case FieldKind::ControlWord:
        return hexText(textOf(c), f.kind == FieldKind::Derived) ? std::string()
                                                                : doesNotFit(c.fullName());
    case FieldKind::Shown:
        for (const PsdPair& p : psd_)
            if (&c == p.db && !p.converted)
                return c.fullName() + " was not converted into a level.";
        return {};
    case FieldKind::Combo: {
        // An item of the list this chip has no code for.
        const std::string& text = textOf(c);
        if (std::find(f.items.begin(), f.items.end(), text) == f.items.end()) return {};
        for (const Code& k : f.codes)
            if (text == k.item) return {};
        return c.fullName() + " " + text + " has no code for this chip.";
    }
    default:
        return {};
    }
}

// The first value that cannot be stored, as its message; every field at fault is marked.
std::string ConfigFormImpl::storageProblem() {
    commitPendingEntries();
    std::string first;
    // The text boxes first, then the values the window shows in labels and lists.
    for (const bool boxes : {true, false}) {
        for (const auto& [field, control] : fields_) {
            if ((control->kind() == ui::ControlKind::TextBox) != boxes) continue;
            std::string why = storeProblemOf(*field, *control);
            if (why.empty()) continue;
            if (first.empty()) first = why;
            const Bound b{field, control};
            // A PSD text not converted points at itself already.
            if (field->kind != FieldKind::Shown)
                refuse(*control, why,
                       [this, b] { return storeProblemOf(*b.first, *b.second).empty(); });
        }
    }
    return first;
}

void ConfigFormImpl::sendDigToModem() {
    image::ConfigModule& cm = context().cm;
    cm.clearOverrides();
    fieldsToBytes();
    for (int slot : slots_) {
        if (!isProgrammedSlot(slot)) continue;
        const int offset = image::slotOffset(slot, isBPlus());
        cm.overrideTable[static_cast<std::size_t>(image::positionOf(offset))] =
            fieldBytes[static_cast<std::size_t>(slot)];
    }
    // The interface text boxes are the vendor PHY bytes, taken afresh from their texts.
    std::size_t i = 0;
    for (const BitField& field : traits_.fields) {
        if (field.kind != FieldKind::Hex || i >= cm.phyBytes.size()) continue;
        const auto v = byteOf(field, *find(field.name, field.index));
        cm.phyBytes[i++] = v ? *v : fieldBytes[static_cast<std::size_t>(field.slot)];
    }
}

void ConfigFormImpl::sendDigToFile(image::Image& out) {
    context().cm.clearOverrides();
    fieldsToBytes();
    for (int slot : slots_) {
        const int offset = image::slotOffset(slot, isBPlus());
        if (offset >= 0 && offset < image::kImageSize)
            out[static_cast<std::size_t>(offset)] = fieldBytes[static_cast<std::size_t>(slot)];
    }
}

// ---- checks and "Done" --------------------------------------------------------------------

// Why "Done" refuses a field: B+ windows test the four PSD words only (their other hex fields
// are tested as they are left); B windows every hex field and both interpolations.
std::string ConfigFormImpl::doneProblemOf(const BitField& f, const ui::Control& c) const {
    const bool hexBox =
        f.kind == FieldKind::Level || (!isBPlus() && c.kind() == ui::ControlKind::TextBox &&
                                       (f.kind == FieldKind::Hex || f.kind == FieldKind::Derived));
    if (hexBox && !isHexByte(textOf(c))) return kNotHexByte;
    if (f.kind == FieldKind::Interpolation && !isBPlus() && textOf(c).empty())
        return kNoInterpolation;
    return {};
}

bool ConfigFormImpl::checkInputs() {
    bool ok = true;
    for (const auto& [field, control] : fields_) {
        const std::string why = doneProblemOf(*field, *control);
        if (why.empty()) continue;
        ok = false;
        const Bound b{field, control};
        refuse(*control, why, [this, b] { return doneProblemOf(*b.first, *b.second).empty(); });
    }
    return ok;
}

bool ConfigFormImpl::Done() {
    if (!checkInputs()) {
        context().platform.msgBox("Please check your input values", ui::Icon::Critical,
                                  ui::Buttons::OKCancel, "Error input");
        focusFirstDoneFault();
        return false;
    }
    if (!confirmStorable()) return false;
    if (!isBPlus()) fieldsToBytes();
    hide();
    if (context().main) context().main->focusSaveButton();
    return true;
}

// The first field in window order that "Done" refuses and the user can reach.
void ConfigFormImpl::focusFirstDoneFault() {
    for (const auto& [field, control] : fields_) {
        if (doneProblemOf(*field, *control).empty()) continue;
        if (!control->canTakeFocus() || !control->shown()) continue;
        setFocus(control);
        return;
    }
}

// ---- errors that point --------------------------------------------------------------------

void ConfigFormImpl::refuse(ui::Control& c, const std::string& why,
                            std::function<bool()> validAgain) {
    std::erase_if(refused_, [&c](const auto& r) { return r.first == &c; });
    refused_.emplace_back(&c, std::move(validAgain));
    c.setProblem(why);
}

void ConfigFormImpl::recheckRefusals() {
    if (rechecking_) return; // clearing a reason is itself a change
    const ScopedValue<bool> busy(rechecking_, true);
    for (auto it = refused_.begin(); it != refused_.end();) {
        if (it->second()) {
            it->first->setProblem("");
            it = refused_.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace rw::config

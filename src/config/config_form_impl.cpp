// Construction of the configuration windows: the controls the field tables describe, their
// captions, the arrangement handed to the layout, and the reactions they are wired to.
#include "config/config_form_impl.h"

#include "config/general_module.h"

#include <stdexcept>

namespace rw::config {

namespace {

template <class T> T& typed(const ui::Form& f, const std::string& name, int index) {
    auto* c = dynamic_cast<T*>(f.find(name, index));
    if (!c) throw std::logic_error("no control " + name + " of that kind in " + f.name());
    return *c;
}

bool isList(FieldKind k) {
    switch (k) {
    case FieldKind::Combo:
    case FieldKind::BaudIndex:
    case FieldKind::ListValue:
    case FieldKind::Attenuation:
    case FieldKind::Constellation:
    case FieldKind::Interpolation:
        return true;
    default:
        return false;
    }
}

const BitField& commonField(const char* name, int index) {
    for (const BitField& f : commonFields())
        if (f.index == index && std::string(f.name) == name) return f;
    throw std::logic_error(std::string("no common field ") + name);
}

} // namespace

ConfigFormImpl::ConfigFormImpl(FormContext& ctx, const VariantTraits& traits)
    : ConfigForm(ctx, traits.variant, traits.name, traits.caption), traits_(traits) {
    upFrame_ = &add<ui::Frame>("UpFrame");
    advanceFrame_ = &add<ui::Frame>("AdvanceFrame");
    buildVdslGroup();
    buildGeneralGroup();
    buildPowerGroup();
    buildAfeGroup();
    buildSleepGroup();
    // The address field sits in the interface group; its caption is the variant's.
    address_ = &make<ui::TextBox>("UTOPIAAddress");
    buildAdvanceGroup();
    wireEntries();
    wireDirections();
    wireValues();
    buildInterface();
    buildFooter();
    bindFields();
    size_ = layoutForm(plan_);
    setSize(size_.expertWidth, size_.height);
    // Window load: private flags cleared, nothing changed yet.
    afeUpdating = false;
    ctx.formChange = false;
}

// ---- control factories ------------------------------------------------------------------

// A bound field's control, as its table entry describes it.
ui::Control& ConfigFormImpl::makeField(const BitField& f) {
    if (f.kind == FieldKind::Check) {
        ui::CheckBox& c = add<ui::CheckBox>(f.name, f.index);
        c.setCaption(f.caption ? f.caption : "");
        return c;
    }
    if (isList(f.kind)) {
        ui::ComboBox& c = add<ui::ComboBox>(f.name, f.index);
        c.setItems(std::vector<std::string>(f.items.begin(), f.items.end()));
        c.setBackColour(ui::kFieldBlue);
        return c;
    }
    if (f.label) return newLabel("", f.name, f.index);
    ui::TextBox& t = add<ui::TextBox>(f.name, f.index);
    t.setMaxLength(f.length);
    // The program writes the derived words; the editable boxes have the coloured background.
    t.setReadOnly(f.kind == FieldKind::Derived);
    t.setBackColour(f.kind == FieldKind::Derived ? ui::kButtonFace : ui::kFieldBlue);
    return t;
}

template <class T> T& ConfigFormImpl::make(const char* name, int index) {
    return static_cast<T&>(makeField(commonField(name, index)));
}

ui::Label& ConfigFormImpl::newLabel(const char* text, const char* name, int index) {
    ui::Label& l = name ? add<ui::Label>(name, index)
                        : add<ui::Label>("Label" + std::to_string(++labelCount_));
    l.setCaption(text ? text : "");
    return l;
}

ui::Label& ConfigFormImpl::heading(const char* text) {
    ui::Label& l = newLabel(text);
    l.setBold(true);
    return l;
}

void ConfigFormImpl::contain(ui::Frame* frame, std::initializer_list<ui::Control*> controls) {
    for (ui::Control* c : controls)
        if (c) c->setContainer(frame);
}

// ---- the groups all four windows share -----------------------------------------------------

// VDSL Layer Configuration, in a downstream and an upstream column.
void ConfigFormImpl::buildVdslGroup() {
    ui::Label& vdsl = heading("VDSL Layer Configuration");
    ui::Label& dsHead = newLabel("Downstream");
    ui::Label& usHead = newLabel("Upstream");
    ui::Label& carrierCaption = newLabel("Carrier Frequency (MHz)");
    for (int i = 0; i < 2; ++i) {
        Direction& d = dir_[static_cast<std::size_t>(i)];
        d.down = i == 0;
        const char* name = d.down ? "DwCarrierText" : "UsCarrierText";
        d.carrier[0] = &make<ui::TextBox>(name, 0);
        d.carrier[1] = &make<ui::TextBox>(name, 1);
        d.scroll = &add<ui::UpDown>(d.down ? "DownCarrierScroll" : "UpCarrierScroll");
    }
    ui::Label& consCaption = newLabel("Constellation (QAM)");
    dir_[0].cons = &make<ui::ComboBox>("Dw_Stram_Cons");
    dir_[1].cons = &make<ui::ComboBox>("Up_Stram_Cons");
    ui::Label& interCaption = newLabel("Interpolation");
    dir_[0].inter = &make<ui::ComboBox>("Dw_Stram_Inter");
    dir_[1].inter = &make<ui::ComboBox>("Up_Stram_Inter");
    ui::Label& dsRate = newLabel("Line rate DS");
    ui::Label& usRate = newLabel("Line Rate US");
    dir_[0].rate = &make<ui::Label>("DownBitrate");
    dir_[1].rate = &make<ui::Label>("UpBitrate");

    const Direction& dw = dir_[0];
    const Direction& up = dir_[1];
    addRow(kMainColumn, {LayoutRow::Heading, &vdsl});
    addRow(kMainColumn, {LayoutRow::Grid, nullptr, {&dsHead, &usHead}});
    addRow(kMainColumn,
           {LayoutRow::Grid,
            &carrierCaption,
            {dw.carrier[0], dw.carrier[1], dw.scroll, up.carrier[0], up.carrier[1], up.scroll}});
    addRow(kMainColumn, {LayoutRow::Grid, &consCaption, {dw.cons, up.cons}});
    addRow(kMainColumn, {LayoutRow::Grid, &interCaption, {dw.inter, up.inter}});
    addRow(kMainColumn, {LayoutRow::Grid, nullptr, {&dsRate, &usRate}});
    addRow(kMainColumn, {LayoutRow::Grid, nullptr, {dw.rate, up.rate}});
    contain(upFrame_, {&vdsl, &dsHead, &usHead, &carrierCaption, &consCaption, &interCaption,
                       &dsRate, &usRate});
    for (const Direction& d : dir_)
        contain(upFrame_, {d.carrier[0], d.carrier[1], d.scroll, d.cons, d.inter, d.rate});
    addRow(kMainColumn, {LayoutRow::Gap});
}

void ConfigFormImpl::buildGeneralGroup() {
    ui::Label& general = heading("General Settings");
    ui::Label& fsCaption = newLabel("Sampling Frequency (MHz)");
    fText_[0] = &make<ui::TextBox>("FText", 0);
    fText_[1] = &make<ui::TextBox>("FText", 1);
    ui::Label& baudCaption = newLabel("COM Baud Rate");
    baund_ = &make<ui::ComboBox>("Baund");
    ui::Label& uartCaption = newLabel("Baud Rate");
    uart_ = &make<ui::Label>("UART_Rate");
    ui::Label& rcCaption = newLabel("RC mode");
    txNext_ = &make<ui::ComboBox>("TX_Next_value");
    addRow(kMainColumn, {LayoutRow::Heading, &general});
    addRow(kMainColumn, {LayoutRow::Row, &fsCaption, {fText_[0], fText_[1]}});
    addRow(kMainColumn, {LayoutRow::Row, &baudCaption, {baund_}});
    addRow(kMainColumn, {LayoutRow::Row, &uartCaption, {uart_}});
    addRow(kMainColumn, {LayoutRow::Row, &rcCaption, {txNext_}});
    addRow(kMainColumn, {LayoutRow::Gap});
}

// Power Control: the PSD limits in dB and as 16-bit levels (high byte on the left).
void ConfigFormImpl::buildPowerGroup() {
    ui::Label& power = heading("Power Control");
    ui::Label& maxCaption = newLabel("Max PSD [dBm/Hz] - Offset");
    psd_[0].db = &make<ui::TextBox>("Max_PSD");
    ui::Label& minCaption = newLabel("Min PSD [dBm/Hz] - Offset");
    psd_[1].db = &make<ui::TextBox>("Min_PSD");
    ui::Label& maxLevel = newLabel("Max PSD Level");
    psd_[0].high = &make<ui::TextBox>("Max_psdH");
    psd_[0].low = &make<ui::TextBox>("Max_psdL");
    ui::Label& minLevel = newLabel("Min PSD Level");
    psd_[1].high = &make<ui::TextBox>("Min_psdH");
    psd_[1].low = &make<ui::TextBox>("Min_psdL");
    addRow(kMainColumn, {LayoutRow::Heading, &power});
    addRow(kMainColumn, {LayoutRow::Row, &maxCaption, {psd_[0].db}});
    addRow(kMainColumn, {LayoutRow::Row, &minCaption, {psd_[1].db}});
    addRow(kMainColumn, {LayoutRow::Row, &maxLevel, {psd_[0].high, psd_[0].low}});
    addRow(kMainColumn, {LayoutRow::Row, &minLevel, {psd_[1].high, psd_[1].low}});
    addRow(kMainColumn, {LayoutRow::Gap});
}

void ConfigFormImpl::buildAfeGroup() {
    ui::Label& afe = heading("AFE Control");
    ui::Label& attCaption = newLabel("Analog Attenuation");
    power_ = &make<ui::ComboBox>("PowerController");
    reduce_ = &make<ui::CheckBox>("Reduce");
    ui::Label& afeCaption = newLabel("Discrete AFE Control");
    afe_ = &make<ui::TextBox>("AFEControl");
    addRow(kMainColumn, {LayoutRow::Heading, &afe});
    addRow(kMainColumn, {LayoutRow::Row, &attCaption, {power_}});
    addRow(kMainColumn, {LayoutRow::Check, reduce_});
    addRow(kMainColumn, {LayoutRow::Row, &afeCaption, {afe_}});
    addRow(kMainColumn, {LayoutRow::Gap});
}

void ConfigFormImpl::buildSleepGroup() {
    ui::Label& sleep = heading("Sleep Mode Control");
    ui::Label& counterCaption = newLabel("Sleep Mode Counter");
    sleepH_ = &make<ui::TextBox>("SleepCounterH");
    sleepL_ = &make<ui::TextBox>("SleepCounterL");
    const char* const names[6] = {"WakDis", "HostDis", "TcDis", "SerDis", "CntDis", "Locken"};
    for (std::size_t i = 0; i < 6; ++i)
        sleep_[i] = &make<ui::CheckBox>(names[i]);
    addRow(kMainColumn, {LayoutRow::Heading, &sleep});
    addRow(kMainColumn, {LayoutRow::Row, &counterCaption, {sleepH_, sleepL_}});
    // Short captions on the left, long ones beside them.
    for (std::size_t i = 0; i < 3; ++i) {
        addRow(kMainColumn, {LayoutRow::Check, sleep_[i]});
        addRow(kMainColumn, {LayoutRow::Check, sleep_[i + 3], {}, true});
    }
}

// Advance Configuration: preambles, the carrier words, the discrete AFE flags.
void ConfigFormImpl::buildAdvanceGroup() {
    ui::Label& advance = heading("Advance Configuration");
    ui::Label& preamble = newLabel("Preamble");
    ui::Label& transmit = newLabel("Transmit ");
    ui::Label& receive = newLabel("Receive ");
    const char* const preambleNames[6] = {"TransmitePreambleL", "TransmitePreambleM",
                                          "TransmitePreambleH", "ReceivePreambleL",
                                          "ReceivePreambleM",   "ReceivePreambleH"};
    for (std::size_t i = 0; i < 6; ++i)
        preambles_[i] = &make<ui::TextBox>(preambleNames[i]);
    ui::Label& registers = newLabel("Registers Content");
    ui::Label& dsCarrier = newLabel("DS Carrier");
    ui::Label& usCarrier = newLabel("US Carrier");
    dir_[0].nextL = &make<ui::TextBox>("Next_DownstreamL");
    dir_[0].nextH = &make<ui::TextBox>("Next_DownstreamH");
    dir_[1].nextL = &make<ui::TextBox>("Next_UpstreamL");
    dir_[1].nextH = &make<ui::TextBox>("Next_UpstreamH");
    const char* const afeNames[6] = {"Adcf", "Dacf", "Adcuns", "Dacuns", "Timneg", "Timnus"};
    for (std::size_t i = 0; i < 6; ++i)
        afeBits_[i] = &make<ui::CheckBox>(afeNames[i]);

    addRow(kAdvanceColumn, {LayoutRow::Heading, &advance});
    addRow(kAdvanceColumn, {LayoutRow::SubHeading, &preamble});
    addRow(kAdvanceColumn,
           {LayoutRow::Row, &transmit, {preambles_[2], preambles_[1], preambles_[0]}});
    addRow(kAdvanceColumn,
           {LayoutRow::Row, &receive, {preambles_[5], preambles_[4], preambles_[3]}});
    addRow(kAdvanceColumn, {LayoutRow::Gap});
    addRow(kAdvanceColumn, {LayoutRow::SubHeading, &registers});
    addRow(kAdvanceColumn, {LayoutRow::Row, &dsCarrier, {dir_[0].nextH, dir_[0].nextL}});
    addRow(kAdvanceColumn, {LayoutRow::Row, &usCarrier, {dir_[1].nextH, dir_[1].nextL}});
    addRow(kAdvanceColumn, {LayoutRow::Gap});
    // Most significant first, as the flags are usually read.
    for (std::size_t i : {2u, 3u, 5u, 4u, 1u, 0u})
        addRow(kAdvanceColumn, {LayoutRow::Check, afeBits_[i]});
    contain(advanceFrame_,
            {&advance, &preamble, &transmit, &receive, &registers, &dsCarrier, &usCarrier});
    for (const Direction& d : dir_)
        contain(advanceFrame_, {d.nextL, d.nextH});
    for (ui::TextBox* t : preambles_)
        t->setContainer(advanceFrame_);
    for (ui::CheckBox* c : afeBits_)
        c->setContainer(advanceFrame_);
}

// ---- reactions of the common fields ---------------------------------------------------------

// Preambles, sleep counter, address and PHY boxes: the B windows mark every change; the B+
// windows check the text when it is left and keep the focus on a bad one.
void ConfigFormImpl::hexEntryRule(ui::TextBox& box) {
    if (isBPlus()) {
        box.onValidate = [this, &box](ui::Control*, bool& cancel) {
            if (!checkHexField(box.text(), context().platform, context().formChange)) return;
            cancel = true;
            refuse(box, kNotHexByte, [&box] { return isHexByte(box.text()); });
        };
    } else {
        box.onChange = [this] { mark(); };
    }
}

// The sampling frequency and the carriers: typed in two boxes, finished when the pair is left.
void ConfigFormImpl::wireEntries() {
    for (ui::TextBox* box : fText_) {
        box->onChange = [this] { mark(); };
        box->onLostFocus = [this](ui::Control* next) { leavePair(fText_, next, true, nullptr); };
    }
    fText_[0]->onKeyPress = [this](int key) {
        if (key != ui::kBackspace && !fText_[0]->text().empty()) setFocus(fText_[1]);
    };
    fText_[1]->onKeyRelease = [this](int key) { fsampleKeyRelease(key); };

    for (Direction& d : dir_) {
        Direction* dp = &d;
        for (ui::TextBox* box : d.carrier) {
            box->onChange = [this, dp] {
                if (programWrite_ == 0) dp->stale = true;
                mark();
            };
            box->onLostFocus = [this, dp](ui::Control* next) {
                leavePair(dp->carrier, next, false, dp);
            };
        }
        d.carrier[0]->onKeyPress = [this, dp](int key) { carrierKeyPress(*dp, key); };
        d.carrier[1]->onKeyRelease = [this, dp](int key) { carrierKeyRelease(*dp, key); };
        d.scroll->onUpClick = [this, dp] { stepCarrier(*dp, true); };
        d.scroll->onDownClick = [this, dp] { stepCarrier(*dp, false); };
    }
}

// Constellation and interpolation of each direction, and the carrier words they show.
void ConfigFormImpl::wireDirections() {
    for (Direction& d : dir_) {
        Direction* dp = &d;
        d.cons->onClick = [this, dp] { constellationClick(*dp); };
        d.inter->onClick = [this, dp] { interpolationClick(*dp); };
        if (isBPlus())
            d.inter->onValidate = [this, dp](ui::Control*, bool& cancel) {
                checkInterpolationLeft(*dp, cancel);
            };
        else
            for (ui::TextBox* t : {d.nextL, d.nextH})
                t->onChange = [this] { mark(); };
    }
}

// The general settings, the PSD views, the AFE word and the flags.
void ConfigFormImpl::wireValues() {
    baund_->onClick = [this] {
        updateUart();
        mark();
    };
    txNext_->onClick = [this] { mark(); };
    for (PsdPair& p : psd_) {
        PsdPair* pp = &p;
        p.db->onChange = [this, pp] { psdToBytes(*pp); };
        for (ui::TextBox* t : {p.low, p.high})
            t->onChange = [this, pp] {
                mark();
                bytesToPsd(*pp);
            };
    }
    power_->onClick = [this] { powerClick(); };
    afe_->onChange = [this] { afeTextChanged(); };
    for (std::size_t i = 0; i < afeBits_.size(); ++i) {
        const int bit = static_cast<int>(i) + 2;
        afeBits_[i]->onClick = [this, bit] { afeBoxClicked(bit); };
    }
    reduce_->onClick = [this] { mark(); };
    for (ui::CheckBox* c : sleep_)
        c->onClick = [this] { mark(); };
    for (ui::TextBox* t : preambles_)
        hexEntryRule(*t);
    for (ui::TextBox* t : {sleepL_, sleepH_, address_})
        hexEntryRule(*t);
}

// ---- the interface group ----------------------------------------------------------------

// An interface field's only reaction: it marks the change.
void ConfigFormImpl::markOnEdit(const BitField& f, ui::Control& c) {
    if (auto* box = dynamic_cast<ui::CheckBox*>(&c)) {
        box->onClick = [this] { mark(); };
    } else if (auto* text = dynamic_cast<ui::TextBox*>(&c)) {
        hexEntryRule(*text);
    } else if (auto* combo = dynamic_cast<ui::ComboBox*>(&c)) {
        if (f.noItem == NoItem::KeepRed) {
            // A red field asks the user to choose; once chosen it is normal again.
            combo->onClick = [this, combo] {
                combo->setBackColour(ui::kFieldBlue);
                mark();
            };
        } else if (f.marksOnTextChange) {
            combo->onChange = [this] { mark(); };
        } else {
            combo->onClick = [this] { mark(); };
        }
    }
}

void ConfigFormImpl::buildInterface() {
    for (const BitField& f : traits_.fields)
        markOnEdit(f, makeField(f));

    // Arrangement and captions, from the variant's table.
    for (const UiItem& item : traits_.interfaceUi) {
        if (item.kind != UiItem::Field) {
            ui::Label& l = newLabel(item.text, item.labelName);
            l.setBold(item.kind == UiItem::Heading);
            addRow(kInterfaceColumn,
                   {item.kind == UiItem::Heading ? LayoutRow::Heading : LayoutRow::SubHeading, &l});
            continue;
        }
        ui::Control* c = find(item.field, item.index);
        if (!c) throw std::logic_error(std::string("layout names no control ") + item.field);
        if (auto* box = dynamic_cast<ui::CheckBox*>(c); box && !item.labelName) {
            box->setCaption(item.text);
            addRow(kInterfaceColumn, {LayoutRow::Check, box, {}, item.half});
        } else {
            ui::Label& l = newLabel(item.text, item.labelName);
            addRow(kInterfaceColumn, {LayoutRow::Row, &l, {c}, item.half});
        }
    }
}

void ConfigFormImpl::buildFooter() {
    if (traits_.watchdogText) {
        watchdog_[0] = &newLabel(traits_.watchdogText, "WatchDogLabel", 0);
        watchdog_[1] = &newLabel("Programming will switch the watchdog off", "WatchDogLabel", 1);
        for (ui::Label* l : watchdog_) {
            l->setVisible(false);
            plan_.notes.push_back(l);
        }
    }
    auto& def = add<ui::Button>("Default");
    def.setCaption("Default");
    def.onClick = [this] {
        if (traits_.defaultMarksChange && !isLoading) context().formChange = true;
        setDefaults();
    };
    auto& done = add<ui::Button>("WriteReturn");
    done.setCaption("Done");
    done.onClick = [this] { Done(); };
    plan_.buttons = {&def, &done};
    plan_.frames = {upFrame_, advanceFrame_};
}

// The bound fields in window order, and the slots they own.
void ConfigFormImpl::bindFields() {
    for (const BitField& f : commonFields())
        fields_.emplace_back(&f, find(f.name, f.index));
    for (const BitField& f : traits_.fields)
        fields_.emplace_back(&f, find(f.name, f.index));
    slots_ = commonSlots();
    for (int s : traits_.interfaceSlots)
        slots_.push_back(s);
    for (const auto& [field, control] : fields_)
        watches_.push_back(control->stateChanged.connect([this] { recheckRefusals(); }));
}

// ---- public helpers ---------------------------------------------------------------------

std::vector<std::string> ConfigFormImpl::boundFieldNames() const {
    std::vector<std::string> names;
    for (const auto& [field, control] : fields_)
        names.push_back(control->fullName());
    return names;
}

bool ConfigFormImpl::isProgrammedSlot(int slot) const {
    const int off = image::slotOffset(slot, isBPlus());
    return off >= 0 && off < image::kOverrideEntries - 1 && !isFileOnlySlot(slot);
}

void ConfigFormImpl::setExpertLayout(bool expert) {
    advanceFrame_->setVisible(expert);
    for (const char* name : traits_.expertOnly)
        if (ui::Control* c = find(name)) c->setVisible(expert);
    setSize(expert ? size_.expertWidth : size_.compactWidth, size_.height);
}

void ConfigFormImpl::showWatchdogLabels(bool show) {
    for (ui::Label* l : watchdog_)
        if (l) l->setVisible(show);
}

ui::TextBox& ConfigFormImpl::textBox(const std::string& name, int index) const {
    return typed<ui::TextBox>(*this, name, index);
}
ui::ComboBox& ConfigFormImpl::comboBox(const std::string& name, int index) const {
    return typed<ui::ComboBox>(*this, name, index);
}
ui::CheckBox& ConfigFormImpl::checkBox(const std::string& name, int index) const {
    return typed<ui::CheckBox>(*this, name, index);
}
ui::Label& ConfigFormImpl::label(const std::string& name, int index) const {
    return typed<ui::Label>(*this, name, index);
}

// ---- the four windows -------------------------------------------------------------------

MII_B::MII_B(FormContext& ctx) : ConfigFormImpl(ctx, variantTraits(Variant::MII_B)) {}
ATM_B::ATM_B(FormContext& ctx) : ConfigFormImpl(ctx, variantTraits(Variant::ATM_B)) {}
MII_BP::MII_BP(FormContext& ctx) : ConfigFormImpl(ctx, variantTraits(Variant::MII_BP)) {}
ATM_BP::ATM_BP(FormContext& ctx) : ConfigFormImpl(ctx, variantTraits(Variant::ATM_BP)) {}

std::unique_ptr<ConfigForm> ConfigForm::create(int mode, FormContext& ctx) {
    switch (mode) {
    case 1:
        return std::make_unique<MII_B>(ctx);
    case 2:
        return std::make_unique<ATM_B>(ctx);
    case 3:
        return std::make_unique<MII_BP>(ctx);
    case 4:
        return std::make_unique<ATM_BP>(ctx);
    default:
        return nullptr;
    }
}

} // namespace rw::config

// Construction of the configuration windows: the controls, their captions and lists, the
// reactions they are wired to, and the arrangement handed to the layout.
#include "config/config_form_impl.h"

#include "config/general_module.h"

#include <stdexcept>

namespace rw::config {

namespace {

const std::vector<std::string> kBaudRates = {"2400",  "4800",  "9600",  "19200",
                                             "38400", "57600", "115200"};
const std::vector<std::string> kConstellations = {"4", "8", "16", "32", "64", "128", "256"};
const std::vector<std::string> kDesignedInterpolations = {"4",  "6",  "8",  "10", "12", "14",
                                                          "16", "24", "32", "48", "64"};
const std::vector<std::string> kTxNextValues = {"0", "1", "2", "8", "16"};
const std::vector<std::string> kPowerLevels = {"0", "1", "2", "3", "4", "5"};

// The common bound fields, in the order the command line lists them; the interface fields
// follow.
const char* const kCommonBound[] = {
    "FText(0)",
    "FText(1)",
    "Baund",
    "UART_Rate",
    "TX_Next_value",
    "Dw_Stram_Cons",
    "Dw_Stram_Inter",
    "DwCarrierText(0)",
    "DwCarrierText(1)",
    "Next_DownstreamL",
    "Next_DownstreamH",
    "DownBitrate",
    "Up_Stram_Cons",
    "Up_Stram_Inter",
    "UsCarrierText(0)",
    "UsCarrierText(1)",
    "Next_UpstreamL",
    "Next_UpstreamH",
    "UpBitrate",
    "Max_PSD",
    "Max_psdL",
    "Max_psdH",
    "Min_PSD",
    "Min_psdL",
    "Min_psdH",
    "PowerController",
    "Reduce",
    "AFEControl",
    "Adcf",
    "Dacf",
    "Adcuns",
    "Dacuns",
    "Timneg",
    "Timnus",
    "TransmitePreambleL",
    "TransmitePreambleM",
    "TransmitePreambleH",
    "ReceivePreambleL",
    "ReceivePreambleM",
    "ReceivePreambleH",
    "WakDis",
    "HostDis",
    "TcDis",
    "SerDis",
    "CntDis",
    "Locken",
    "SleepCounterL",
    "SleepCounterH",
    "UTOPIAAddress",
};

template <class T> T& typed(const ui::Form& f, const std::string& name, int index) {
    auto* c = dynamic_cast<T*>(f.find(name, index));
    if (!c) throw std::logic_error("no control " + name + " of that kind in " + f.name());
    return *c;
}

} // namespace

ConfigFormImpl::ConfigFormImpl(FormContext& ctx, const VariantTraits& traits)
    : ConfigForm(ctx, traits.variant, traits.name, traits.caption), traits_(traits) {
    buildCommon();
    buildInterface();
    buildFooter();
    for (int s = 0; s <= 28; ++s)
        slots_.push_back(s);
    for (int s : traits_.interfaceSlots)
        slots_.push_back(s);
    size_ = layoutForm(plan_);
    setSize(size_.expertWidth, size_.height);
    // Window load: private flags cleared, nothing changed yet.
    AfeUpdating = false;
    ctx.formChange = false;
}

// ---- control factories ------------------------------------------------------------------

ui::Label& ConfigFormImpl::newLabel(const char* text, const char* name, int index) {
    ui::Label& l = name ? add<ui::Label>(name, index)
                        : add<ui::Label>("Label" + std::to_string(++labelCount_));
    l.setCaption(text ? text : "");
    return l;
}

ui::TextBox& ConfigFormImpl::newTextBox(const char* name, int index, int maxLength) {
    ui::TextBox& t = add<ui::TextBox>(name, index);
    t.setMaxLength(maxLength);
    t.setBackColour(ui::kFieldBlue);
    return t;
}

ui::ComboBox& ConfigFormImpl::newCombo(const char* name, const std::vector<std::string>& items,
                                       int index) {
    ui::ComboBox& c = add<ui::ComboBox>(name, index);
    c.setItems(items);
    c.setBackColour(ui::kFieldBlue);
    return c;
}

ui::CheckBox& ConfigFormImpl::newCheck(const char* name, const char* caption, int index) {
    ui::CheckBox& c = add<ui::CheckBox>(name, index);
    c.setCaption(caption ? caption : "");
    return c;
}

void ConfigFormImpl::contain(ui::Frame* frame, std::initializer_list<ui::Control*> controls) {
    for (ui::Control* c : controls)
        if (c) c->setContainer(frame);
}

// Preambles, sleep counter, address and PHY boxes: the B windows mark every change; the B+
// windows check the text when it is left and keep the focus on a bad one.
void ConfigFormImpl::hexEntryRule(ui::TextBox& box) {
    if (isBPlus()) {
        box.onValidate = [this, &box](ui::Control*, bool& cancel) {
            if (CheckHexField(box.text(), context().platform, context().formChange)) cancel = true;
        };
    } else {
        box.onChange = [this] { mark(); };
    }
}

// ---- the fields all four windows share --------------------------------------------------

void ConfigFormImpl::buildCommon() {
    upFrame_ = &add<ui::Frame>("UpFrame");
    advanceFrame_ = &add<ui::Frame>("AdvanceFrame");

    // VDSL Layer Configuration, in a downstream and an upstream column.
    ui::Label& vdsl = newLabel("VDSL Layer Configuration");
    vdsl.setBold(true);
    ui::Label& dsHead = newLabel("Downstream");
    ui::Label& usHead = newLabel("Upstream");
    ui::Label& carrierCaption = newLabel("Carrier Frequency (MHz)");
    for (int i = 0; i < 2; ++i) {
        Direction& d = dir_[static_cast<std::size_t>(i)];
        d.down = i == 0;
        d.slot = i;
        const char* name = d.down ? "DwCarrierText" : "UsCarrierText";
        d.carrier[0] = &newTextBox(name, 0, 3);
        d.carrier[1] = &newTextBox(name, 1, 2);
        d.scroll = &add<ui::UpDown>(d.down ? "DownCarrierScroll" : "UpCarrierScroll");
    }
    ui::Label& consCaption = newLabel("Constellation (QAM)");
    dir_[0].cons = &newCombo("Dw_Stram_Cons", kConstellations);
    dir_[1].cons = &newCombo("Up_Stram_Cons", kConstellations);
    ui::Label& interCaption = newLabel("Interpolation");
    dir_[0].inter = &newCombo("Dw_Stram_Inter", {});
    dir_[1].inter = &newCombo("Up_Stram_Inter", kDesignedInterpolations);
    ui::Label& dsRate = newLabel("Line rate DS");
    ui::Label& usRate = newLabel("Line Rate US");
    dir_[0].rate = &newLabel("", "DownBitrate");
    dir_[1].rate = &newLabel("", "UpBitrate");

    addRow(kMainColumn, {LayoutRow::Heading, &vdsl});
    addRow(kMainColumn, {LayoutRow::Grid, nullptr, {&dsHead, &usHead}});
    addRow(kMainColumn, {LayoutRow::Grid,
                         &carrierCaption,
                         {dir_[0].carrier[0], dir_[0].carrier[1], dir_[0].scroll,
                          dir_[1].carrier[0], dir_[1].carrier[1], dir_[1].scroll}});
    addRow(kMainColumn, {LayoutRow::Grid, &consCaption, {dir_[0].cons, dir_[1].cons}});
    addRow(kMainColumn, {LayoutRow::Grid, &interCaption, {dir_[0].inter, dir_[1].inter}});
    addRow(kMainColumn, {LayoutRow::Grid, nullptr, {&dsRate, &usRate}});
    addRow(kMainColumn, {LayoutRow::Grid, nullptr, {dir_[0].rate, dir_[1].rate}});
    contain(upFrame_, {&vdsl,
                       &dsHead,
                       &usHead,
                       &carrierCaption,
                       dir_[0].carrier[0],
                       dir_[0].carrier[1],
                       dir_[0].scroll,
                       dir_[1].carrier[0],
                       dir_[1].carrier[1],
                       dir_[1].scroll,
                       &consCaption,
                       dir_[0].cons,
                       dir_[1].cons,
                       &interCaption,
                       dir_[0].inter,
                       dir_[1].inter,
                       &dsRate,
                       &usRate,
                       dir_[0].rate,
                       dir_[1].rate});
    addRow(kMainColumn, {LayoutRow::Gap});

    // General Settings
    ui::Label& general = newLabel("General Settings");
    general.setBold(true);
    ui::Label& fsCaption = newLabel("Sampling Frequency (MHz)");
    fText_[0] = &newTextBox("FText", 0, 2);
    fText_[1] = &newTextBox("FText", 1, 2);
    ui::Label& baudCaption = newLabel("COM Baud Rate");
    baund_ = &newCombo("Baund", kBaudRates);
    ui::Label& uartCaption = newLabel("Baud Rate");
    uart_ = &newLabel("", "UART_Rate");
    ui::Label& rcCaption = newLabel("RC mode");
    txNext_ = &newCombo("TX_Next_value", kTxNextValues);
    addRow(kMainColumn, {LayoutRow::Heading, &general});
    addRow(kMainColumn, {LayoutRow::Row, &fsCaption, {fText_[0], fText_[1]}});
    addRow(kMainColumn, {LayoutRow::Row, &baudCaption, {baund_}});
    addRow(kMainColumn, {LayoutRow::Row, &uartCaption, {uart_}});
    addRow(kMainColumn, {LayoutRow::Row, &rcCaption, {txNext_}});
    addRow(kMainColumn, {LayoutRow::Gap});

    // Power Control: the PSD limits in dB and as 16-bit levels (high byte on the left).
    ui::Label& power = newLabel("Power Control");
    power.setBold(true);
    ui::Label& maxCaption = newLabel("Max PSD [dBm/Hz] - Offset");
    psd_[0].db = &newTextBox("Max_PSD", -1, 5);
    ui::Label& minCaption = newLabel("Min PSD [dBm/Hz] - Offset");
    psd_[1].db = &newTextBox("Min_PSD", -1, 5);
    ui::Label& maxLevel = newLabel("Max PSD Level");
    psd_[0].high = &newTextBox("Max_psdH", -1, 2);
    psd_[0].low = &newTextBox("Max_psdL", -1, 2);
    ui::Label& minLevel = newLabel("Min PSD Level");
    psd_[1].high = &newTextBox("Min_psdH", -1, 2);
    psd_[1].low = &newTextBox("Min_psdL", -1, 2);
    addRow(kMainColumn, {LayoutRow::Heading, &power});
    addRow(kMainColumn, {LayoutRow::Row, &maxCaption, {psd_[0].db}});
    addRow(kMainColumn, {LayoutRow::Row, &minCaption, {psd_[1].db}});
    addRow(kMainColumn, {LayoutRow::Row, &maxLevel, {psd_[0].high, psd_[0].low}});
    addRow(kMainColumn, {LayoutRow::Row, &minLevel, {psd_[1].high, psd_[1].low}});
    addRow(kMainColumn, {LayoutRow::Gap});

    // AFE Control
    ui::Label& afe = newLabel("AFE Control");
    afe.setBold(true);
    ui::Label& attCaption = newLabel("Analog Attenuation");
    power_ = &newCombo("PowerController", kPowerLevels);
    reduce_ = &newCheck("Reduce", "Reduce");
    ui::Label& afeCaption = newLabel("Discrete AFE Control");
    afe_ = &newTextBox("AFEControl", -1, 2);
    addRow(kMainColumn, {LayoutRow::Heading, &afe});
    addRow(kMainColumn, {LayoutRow::Row, &attCaption, {power_}});
    addRow(kMainColumn, {LayoutRow::Check, reduce_});
    addRow(kMainColumn, {LayoutRow::Row, &afeCaption, {afe_}});
    addRow(kMainColumn, {LayoutRow::Gap});

    // Sleep Mode Control
    ui::Label& sleep = newLabel("Sleep Mode Control");
    sleep.setBold(true);
    ui::Label& counterCaption = newLabel("Sleep Mode Counter");
    sleepH_ = &newTextBox("SleepCounterH", -1, 2);
    sleepL_ = &newTextBox("SleepCounterL", -1, 2);
    static constexpr const char* kSleepNames[6] = {"WakDis", "HostDis", "TcDis",
                                                   "SerDis", "CntDis",  "Locken"};
    static constexpr const char* kSleepCaptions[6] = {"Wake-up",
                                                      "External Host",
                                                      "TC Layer",
                                                      "Will not Sleep serial request",
                                                      "Counter Expiration",
                                                      "PLL Loss"};
    for (std::size_t i = 0; i < 6; ++i)
        sleep_[i] = &newCheck(kSleepNames[i], kSleepCaptions[i]);
    addRow(kMainColumn, {LayoutRow::Heading, &sleep});
    addRow(kMainColumn, {LayoutRow::Row, &counterCaption, {sleepH_, sleepL_}});
    // Short captions on the left, long ones beside them.
    for (std::size_t i = 0; i < 3; ++i) {
        addRow(kMainColumn, {LayoutRow::Check, sleep_[i]});
        addRow(kMainColumn, {LayoutRow::Check, sleep_[i + 3], {}, true});
    }

    // The address field sits in the interface group; its caption is the variant's.
    address_ = &newTextBox("UTOPIAAddress", -1, 2);

    // Advance Configuration: preambles, the carrier words, the discrete AFE flags.
    ui::Label& advance = newLabel("Advance Configuration");
    advance.setBold(true);
    ui::Label& preamble = newLabel("Preamble");
    ui::Label& transmit = newLabel("Transmit ");
    ui::Label& receive = newLabel("Receive ");
    static constexpr const char* kPreambleNames[6] = {"TransmitePreambleL", "TransmitePreambleM",
                                                      "TransmitePreambleH", "ReceivePreambleL",
                                                      "ReceivePreambleM",   "ReceivePreambleH"};
    for (std::size_t i = 0; i < 6; ++i)
        preambles_[i] = &newTextBox(kPreambleNames[i], -1, 2);
    ui::Label& registers = newLabel("Registers Content");
    ui::Label& dsCarrier = newLabel("DS Carrier");
    ui::Label& usCarrier = newLabel("US Carrier");
    dir_[0].nextL = &newTextBox("Next_DownstreamL", -1, 2);
    dir_[0].nextH = &newTextBox("Next_DownstreamH", -1, 2);
    dir_[1].nextL = &newTextBox("Next_UpstreamL", -1, 2);
    dir_[1].nextH = &newTextBox("Next_UpstreamH", -1, 2);
    for (ui::TextBox* t : {dir_[0].nextL, dir_[0].nextH, dir_[1].nextL, dir_[1].nextH}) {
        t->setReadOnly(true);
        t->setBackColour(ui::kButtonFace);
    }
    static constexpr const char* kAfeNames[6] = {"Adcf",   "Dacf",   "Adcuns",
                                                 "Dacuns", "Timneg", "Timnus"};
    static constexpr const char* kAfeCaptions[6] = {
        "ADC is sampled with falling edge",  "DAC is derived with falling edge",
        "Negate the MSB of the ADC word",    "Negate the MSB of the DAC word",
        "Negate the MSB of the timing word", "Negate bits 6:0 of the timing correction word"};
    for (std::size_t i = 0; i < 6; ++i)
        afeBits_[i] = &newCheck(kAfeNames[i], kAfeCaptions[i]);

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
            {&advance, &preamble, &transmit, &receive, &registers, &dsCarrier, &usCarrier,
             dir_[0].nextL, dir_[0].nextH, dir_[1].nextL, dir_[1].nextH});
    for (ui::TextBox* t : preambles_)
        t->setContainer(advanceFrame_);
    for (ui::CheckBox* c : afeBits_)
        c->setContainer(advanceFrame_);

    // ---- reactions ----
    for (int i = 0; i < 2; ++i) {
        fText_[static_cast<std::size_t>(i)]->onChange = [this] { mark(); };
        fText_[static_cast<std::size_t>(i)]->onLostFocus = [this](ui::Control* next) {
            leavePair(fText_, next, true, nullptr);
        };
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
        d.cons->onClick = [this, dp] { constellationClick(*dp); };
        d.inter->onClick = [this, dp] { interpolationClick(*dp); };
        if (isBPlus())
            d.inter->onValidate = [this, dp](ui::Control*, bool& cancel) {
                checkInterpolationLeft(*dp, cancel);
            };
        if (!isBPlus())
            for (ui::TextBox* t : {d.nextL, d.nextH})
                t->onChange = [this] { mark(); };
    }

    baund_->onClick = [this] {
        updateUart();
        mark();
    };
    txNext_->onClick = [this] { mark(); };
    for (std::size_t i = 0; i < 2; ++i) {
        PsdPair* p = &psd_[i];
        p->db->onChange = [this, p] { psdToBytes(*p); };
        for (ui::TextBox* t : {p->low, p->high})
            t->onChange = [this, p] {
                mark();
                bytesToPsd(*p);
            };
    }
    power_->onClick = [this] { powerClick(); };
    afe_->onChange = [this] { afeTextChanged(); };
    for (std::size_t i = 0; i < 6; ++i) {
        const int bit = static_cast<int>(i) + 2;
        afeBits_[i]->onClick = [this, bit] { afeBoxClicked(bit); };
    }
    reduce_->onClick = [this] { mark(); };
    for (ui::CheckBox* c : sleep_)
        c->onClick = [this] { mark(); };
    for (ui::TextBox* t : preambles_)
        hexEntryRule(*t);
    hexEntryRule(*sleepL_);
    hexEntryRule(*sleepH_);
    hexEntryRule(*address_);
}

// ---- the interface group ----------------------------------------------------------------

void ConfigFormImpl::buildInterface() {
    for (const BitField& f : traits_.fields) {
        ui::Control* c = nullptr;
        switch (f.kind) {
        case FieldKind::Check: {
            ui::CheckBox& box = newCheck(f.name, nullptr, f.index);
            box.onClick = [this] { mark(); };
            c = &box;
            break;
        }
        case FieldKind::Combo: {
            std::vector<std::string> items(f.items.begin(), f.items.end());
            ui::ComboBox& combo = newCombo(f.name, items, f.index);
            if (f.noItem == NoItem::KeepRed) {
                // A red field asks the user to choose; once chosen it is normal again.
                combo.onClick = [this, &combo] {
                    combo.setBackColour(ui::kFieldBlue);
                    mark();
                };
            } else if (std::string(f.name) == "BACK_SIGNALING") {
                combo.onChange = [this] { mark(); };
            } else {
                combo.onClick = [this] { mark(); };
            }
            c = &combo;
            break;
        }
        case FieldKind::Hex: {
            ui::TextBox& box = newTextBox(f.name, f.index, 2);
            hexEntryRule(box);
            c = &box;
            break;
        }
        }
        iface_.emplace_back(&f, c);
    }

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
        if (variant() == Variant::MII_BP && !Loading) context().formChange = true;
        SetDefaults();
    };
    auto& done = add<ui::Button>("WriteReturn");
    done.setCaption("Done");
    done.onClick = [this] { Done(); };
    plan_.buttons = {&def, &done};
    plan_.frames = {upFrame_, advanceFrame_};
}

// ---- public helpers ---------------------------------------------------------------------

std::vector<std::string> ConfigFormImpl::boundFieldNames() const {
    std::vector<std::string> names(std::begin(kCommonBound), std::end(kCommonBound));
    for (const auto& [field, control] : iface_)
        names.push_back(control->fullName());
    return names;
}

bool ConfigFormImpl::isProgrammedSlot(int slot) const {
    const int off = image::slotOffset(slot, isBPlus());
    return off >= 0 && off < image::kOverrideEntries - 1 && !isFileOnlySlot(slot);
}

void ConfigFormImpl::SetExpertLayout(bool expert) {
    advanceFrame_->setVisible(expert);
    for (const char* name : traits_.expertOnly)
        if (ui::Control* c = find(name)) c->setVisible(expert);
    setSize(expert ? size_.expertWidth : size_.compactWidth, size_.height);
}

void ConfigFormImpl::ShowWatchdogLabels(bool show) {
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

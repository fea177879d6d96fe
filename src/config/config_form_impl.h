// The one implementation behind the four configuration windows. Every bound field, its bits
// and its control come from the field tables (field_map.h); here they are arranged in their
// groups and wired to their reactions. What differs between the windows comes from their
// VariantTraits.
#pragma once

#include "config/config_form.h"
#include "config/field_map.h"
#include "ui/layout_plan.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rw::config {

// The window's arrangement as the constructor describes it; config_layout.cpp turns it into
// pixels, the Qt layer into layouts.
using ui::LayoutRow;

// Sets a value for the lifetime of a scope and puts the previous one back.
template <class T> class ScopedValue {
public:
    ScopedValue(T& ref, T value) : ref_(ref), old_(ref) { ref_ = value; }
    ~ScopedValue() { ref_ = old_; }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    T& ref_;
    T old_;
};

// Raises a nesting counter for the lifetime of a scope.
class ScopedCount {
public:
    explicit ScopedCount(int& n) : n_(n) { ++n_; }
    ~ScopedCount() { --n_; }
    ScopedCount(const ScopedCount&) = delete;
    ScopedCount& operator=(const ScopedCount&) = delete;

private:
    int& n_;
};

using ui::kAdvanceColumn;
using ui::kColumnCount;
using ui::kInterfaceColumn;
using ui::kMainColumn;
using ui::LayoutColumn;
using ui::LayoutPlan;

struct LayoutSize {
    int expertWidth = 0;
    int compactWidth = 0; // without the advance column
    int height = 0;
};

// Reasons a refused field carries (Control::problem).
inline constexpr const char* kNotHexByte = "Not a hexadecimal byte: give 0 to FF.";
inline constexpr const char* kNoInterpolation = "You must specify interpolation";

// Gives every control of the plan its geometry (config_layout.cpp).
LayoutSize layoutForm(const LayoutPlan& plan);

class ConfigFormImpl : public ConfigForm {
public:
    ConfigFormImpl(FormContext& ctx, const VariantTraits& traits);

    void sendDigToModem() override;
    void sendDigToFile(image::Image& out) override;
    bool loadFromPatch() override;
    void fieldsToBytes() override;
    void setDefaults() override;
    bool checkInputs() override;
    std::string storageProblem() override;
    bool Done() override;
    void setExpertLayout(bool expert) override;
    void showWatchdogLabels(bool show) override;
    std::vector<std::string> boundFieldNames() const override;
    const ui::LayoutPlan* layoutPlan() const override { return &plan_; }

    // Runs the updates an unfinished entry still owes: a sampling frequency typed but not
    // taken, a carrier typed but not converted. Storing runs it first, so a stored image
    // never mixes values computed for different frequencies.
    void commitPendingEntries();

    const VariantTraits& traits() const { return traits_; }
    // The patchBytes slots the window owns, in fieldBytes order.
    const std::vector<int>& ownedSlots() const { return slots_; }
    // Slots that sendDigToModem puts into the override table.
    bool isProgrammedSlot(int slot) const;
    const LayoutSize& layoutSize() const { return size_; }

    ui::TextBox& textBox(const std::string& name, int index = -1) const;
    ui::ComboBox& comboBox(const std::string& name, int index = -1) const;
    ui::CheckBox& checkBox(const std::string& name, int index = -1) const;
    ui::Label& label(const std::string& name, int index = -1) const;

    // True while one PSD view rewrites the other (this window's conversions only).
    bool psdUpdating = false;

protected:
    // Fills the fields from patchBytes; loadFromPatch runs it under its error handler.
    virtual void fillFields();

private:
    struct Direction {
        bool down = true;
        ui::ComboBox* cons = nullptr;
        ui::ComboBox* inter = nullptr;
        std::array<ui::TextBox*, 2> carrier{}; // whole MHz, hundredths
        ui::UpDown* scroll = nullptr;
        ui::TextBox* nextL = nullptr;
        ui::TextBox* nextH = nullptr;
        ui::Label* rate = nullptr;
        bool stale = false; // the carrier was typed and its index not yet computed
    };
    struct PsdPair {
        ui::TextBox* db = nullptr;
        ui::TextBox* low = nullptr;
        ui::TextBox* high = nullptr;
        bool converted = true; // the dB text is the level the bytes hold
    };
    using Bound = std::pair<const BitField*, ui::Control*>;

    // construction (config_form_impl.cpp)
    ui::Control& makeField(const BitField& f);
    template <class T> T& make(const char* name, int index = -1);
    void buildVdslGroup();
    void buildGeneralGroup();
    void buildPowerGroup();
    void buildAfeGroup();
    void buildSleepGroup();
    void buildAdvanceGroup();
    void buildInterface();
    void buildFooter();
    void bindFields();
    void wireEntries();
    void wireDirections();
    void wireValues();
    ui::Label& newLabel(const char* text, const char* name = nullptr, int index = -1);
    ui::Label& heading(const char* text);
    void contain(ui::Frame* frame, std::initializer_list<ui::Control*> controls);
    void addRow(LayoutColumn col, LayoutRow row) { plan_.columns[col].push_back(std::move(row)); }
    void hexEntryRule(ui::TextBox& box);
    void markOnEdit(const BitField& f, ui::Control& c);

    // editing (config_editing.cpp)
    void mark();
    double pairValue(const std::array<ui::TextBox*, 2>& pair) const;
    void fsampleKeyRelease(int key);
    void updateFsample();
    std::optional<std::string> lineRateText(const Direction& d) const;
    void updateLineRate(Direction& d);
    void updateLineRates();
    void updateUart();
    void updateCarrierIndex(Direction& d);
    void writeCarrierIndex(Direction& d, long long n);
    void carrierKeyPress(Direction& d, int key);
    void carrierKeyRelease(Direction& d, int key);
    void padWhole(ui::TextBox& whole);
    void stepCarrier(Direction& d, bool up);
    void leavePair(const std::array<ui::TextBox*, 2>& pair, ui::Control* next, bool fsample,
                   Direction* d);
    void constellationClick(Direction& d);
    void interpolationClick(Direction& d);
    void refillInterpolation(Direction& d);
    void checkInterpolationLeft(Direction& d, bool& cancel);
    void bytesToPsd(PsdPair& p);
    void psdToBytes(PsdPair& p);
    void showConversion(PsdPair& p, bool converted);
    void powerClick();
    void afeTextChanged();
    void afeBoxClicked(int bit);

    // loading and storing (config_load_store.cpp)
    void emptyKeptFields();
    bool blockValid() const;
    void loadField(const BitField& f, ui::Control& c, bool valid);
    void loadText(const BitField& f, ui::Control& c, std::uint8_t b, bool valid);
    void loadCombo(const BitField& f, ui::ComboBox& combo, int code);
    void loadAttenuation(std::uint8_t b);
    void loadCarrierText(Direction& d);
    void storeField(const BitField& f, const ui::Control& c);
    std::optional<int> codeOf(const BitField& f, const ui::Control& c) const;
    std::optional<std::uint8_t> byteOf(const BitField& f, const ui::Control& c) const;
    std::string storeProblemOf(const BitField& f, const ui::Control& c) const;
    std::string doneProblemOf(const BitField& f, const ui::Control& c) const;
    // A refused field carries its reason until `validAgain` holds (checked whenever a bound
    // field changes).
    void refuse(ui::Control& c, const std::string& why, std::function<bool()> validAgain);
    void recheckRefusals();
    void focusFirstDoneFault();

    // defaults (config_defaults.cpp)
    void applyValue(const std::string& fullName, const std::string& value);
    void defaultDirection(Direction& d, const DirectionDefaults& v, bool carrierToo);

    const VariantTraits& traits_;
    std::array<ui::TextBox*, 2> fText_{};
    ui::ComboBox* baund_ = nullptr;
    ui::Label* uart_ = nullptr;
    std::array<Direction, 2> dir_{}; // downstream, upstream
    std::array<PsdPair, 2> psd_{};   // maximum, minimum
    ui::ComboBox* power_ = nullptr;
    ui::TextBox* afe_ = nullptr;
    std::array<ui::CheckBox*, 6> afeBits_{}; // bits 2..7
    ui::CheckBox* reduce_ = nullptr;
    ui::ComboBox* txNext_ = nullptr;
    std::array<ui::TextBox*, 6> preambles_{}; // transmit L, M, H, receive L, M, H
    std::array<ui::CheckBox*, 6> sleep_{};    // WakDis .. Locken
    ui::TextBox* sleepL_ = nullptr;
    ui::TextBox* sleepH_ = nullptr;
    ui::TextBox* address_ = nullptr;
    std::array<ui::Label*, 2> watchdog_{};
    ui::Frame* upFrame_ = nullptr;
    ui::Frame* advanceFrame_ = nullptr;
    std::vector<Bound> fields_; // every bound field, common then interface, in window order
    std::vector<std::pair<ui::Control*, std::function<bool()>>> refused_;
    std::vector<ui::Connection> watches_; // bound fields' changes recheck the refusals
    bool rechecking_ = false;
    std::vector<int> slots_;
    LayoutPlan plan_;
    LayoutSize size_;
    int labelCount_ = 0;
    int quiet_ = 0;        // program-made refills that change nothing mark nothing
    int programWrite_ = 0; // the program is writing carrier texts
    int afeLowBits_ = 0;   // bits 1..0 of the AFEControl text
};

// The four windows: one per product.
class MII_B final : public ConfigFormImpl {
public:
    explicit MII_B(FormContext& ctx);
};
class ATM_B final : public ConfigFormImpl {
public:
    explicit ATM_B(FormContext& ctx);
};
class MII_BP final : public ConfigFormImpl {
public:
    explicit MII_BP(FormContext& ctx);
};
class ATM_BP final : public ConfigFormImpl {
public:
    explicit ATM_BP(FormContext& ctx);
};

} // namespace rw::config

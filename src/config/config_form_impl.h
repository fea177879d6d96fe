// The one implementation behind the four configuration windows. The common VDSL-layer,
// power, sleep, AFE and preamble fields are built here; the interface fields, lists,
// captions and factory values come from the window's VariantTraits (field_map.h).
#pragma once

#include "config/config_form.h"
#include "config/field_map.h"
#include "ui/layout_plan.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rw::config {

// The window's arrangement as the constructor describes it; config_layout.cpp turns it into
// pixels, the Qt layer into layouts.
using ui::LayoutRow;

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

// Gives every control of the plan its geometry (config_layout.cpp).
LayoutSize layoutForm(const LayoutPlan& plan);

class ConfigFormImpl : public ConfigForm {
public:
    ConfigFormImpl(FormContext& ctx, const VariantTraits& traits);

    void SendDigToModem() override;
    void SendDigToFile(image::Image& out) override;
    bool LoadFromPatch() override;
    void FieldsToBytes() override;
    void SetDefaults() override;
    bool CheckInputs() override;
    std::string StoreProblem() override;
    bool Done() override;
    void SetExpertLayout(bool expert) override;
    void ShowWatchdogLabels(bool show) override;
    std::vector<std::string> boundFieldNames() const override;
    const ui::LayoutPlan* layoutPlan() const override { return &plan_; }

    // Runs the updates an unfinished entry still owes: a sampling frequency typed but not
    // taken, a carrier typed but not converted. Storing runs it first, so a stored image
    // never mixes values computed for different frequencies.
    void CommitPendingEntries();

    const VariantTraits& traits() const { return traits_; }
    // The PatchBytes slots the window owns, in FieldBytes order.
    const std::vector<int>& ownedSlots() const { return slots_; }
    // Slots that SendDigToModem puts into the override table.
    bool isProgrammedSlot(int slot) const;
    const LayoutSize& layoutSize() const { return size_; }

    ui::TextBox& textBox(const std::string& name, int index = -1) const;
    ui::ComboBox& comboBox(const std::string& name, int index = -1) const;
    ui::CheckBox& checkBox(const std::string& name, int index = -1) const;
    ui::Label& label(const std::string& name, int index = -1) const;

protected:
    // Fills the fields from PatchBytes; LoadFromPatch runs it under its error handler.
    virtual void FillFields();

private:
    struct Direction {
        bool down = true;
        int slot = 0; // constellation/interpolation byte
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
    };

    // construction (config_form_impl.cpp)
    void buildCommon();
    void buildInterface();
    void buildFooter();
    ui::Label& newLabel(const char* text, const char* name = nullptr, int index = -1);
    ui::TextBox& newTextBox(const char* name, int index, int maxLength);
    ui::ComboBox& newCombo(const char* name, const std::vector<std::string>& items, int index = -1);
    ui::CheckBox& newCheck(const char* name, const char* caption, int index = -1);
    void contain(ui::Frame* frame, std::initializer_list<ui::Control*> controls);
    void addRow(LayoutColumn col, LayoutRow row) { plan_.columns[col].push_back(std::move(row)); }
    void hexEntryRule(ui::TextBox& box);

    // editing (config_editing.cpp)
    void mark();
    double pairValue(const std::array<ui::TextBox*, 2>& pair) const;
    void fsampleKeyRelease(int key);
    void updateFsample();
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
    void powerClick();
    void afeTextChanged();
    void afeBoxClicked(int bit);

    // loading and storing (config_load_store.cpp)
    void emptyKeptFields();
    void loadSampling();
    void loadDirection(Direction& d);
    void loadCarrierText(Direction& d);
    void loadBitField(const BitField& f, ui::Control& c);
    void loadInterface(bool slot9);
    void storeInterface();
    std::optional<std::uint8_t> hexByte(const ui::TextBox& box) const;
    std::string problemOf(const std::string& name, const std::string& text, bool derived) const;

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
    std::array<ui::TextBox*, 6> preambles_{}; // transmit L, M, H, receive L, M, H (slots 13..18)
    std::array<ui::CheckBox*, 6> sleep_{};    // bits 0..5 of slot 20
    ui::TextBox* sleepL_ = nullptr;
    ui::TextBox* sleepH_ = nullptr;
    ui::TextBox* address_ = nullptr;
    std::array<ui::Label*, 2> watchdog_{};
    ui::Frame* upFrame_ = nullptr;
    ui::Frame* advanceFrame_ = nullptr;
    std::vector<std::pair<const BitField*, ui::Control*>> iface_;
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

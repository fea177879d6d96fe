// The configuration windows: one per product, sharing one design. Each field is bound to
// bits of the image; the window fills itself from patchBytes and stores its fields into the
// override table (programming) or into a saved image.
#pragma once

#include "image/config_module.h"
#include "ui/controls.h"
#include "ui/layout_plan.h"
#include "ui/platform.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rw::config {

// What a configuration window needs of the main window.
class MainWindowHooks {
public:
    virtual ~MainWindowHooks() = default;
    // "Bad patch file": Create, Dump and DigitalCommand disabled again.
    virtual void disableFileButtons() = 0;
    // After "Done": the focus goes to "&Save new file".
    virtual void focusSaveButton() = 0;
};

struct FormContext {
    ui::Flag& formChange; // the main window's formChanged
    image::ConfigModule& cm;
    ui::Platform& platform;
    MainWindowHooks* main = nullptr;
};

enum class Variant { MII_B, ATM_B, MII_BP, ATM_BP };

class ConfigForm : public ui::Form {
public:
    // The window of a product (currentMode 1..4): 1 MII_B, 2 ATM_B, 3 MII_BP, 4 ATM_BP.
    static std::unique_ptr<ConfigForm> create(int mode, FormContext& ctx);
    ~ConfigForm() override;

    Variant variant() const { return variant_; }
    bool isBPlus() const { return variant_ == Variant::MII_BP || variant_ == Variant::ATM_BP; }
    bool isAtm() const { return variant_ == Variant::ATM_B || variant_ == Variant::ATM_BP; }

    bool isLoading = false;
    double fsampleMhz = 0.0;
    bool afeUpdating = false;
    // The window's copy of the bytes it owns, keyed by patchBytes slot.
    std::array<std::uint8_t, image::kPatchSlots> fieldBytes{};

    // Refreshes overrideTable (and phyBytes for MII_BP) from the fields.
    virtual void sendDigToModem() = 0;
    // Writes the window's bytes into an image being saved.
    virtual void sendDigToFile(image::Image& out) = 0;
    // Fills the fields from patchBytes. False when the load failed: "Bad patch file" was
    // shown and the main window's file buttons were disabled.
    virtual bool loadFromPatch() = 0;
    virtual void fieldsToBytes() = 0;
    virtual void setDefaults() = 0;
    virtual bool checkInputs() = 0;
    // The first field whose value cannot be stored, as its message ("UART_Rate does not fit
    // in one byte."); empty when all fit.
    virtual std::string storageProblem() = 0;
    // Shows "Illegal Parameter" for storageProblem(); false when something cannot be stored.
    bool confirmStorable();
    // "Done": true when the check passed and the window was hidden.
    virtual bool Done() = 0;

    // Start-up layout: non-expert hides AdvanceFrame (and MII_B's MDIO/Auto-Neg controls).
    virtual void setExpertLayout(bool expert) = 0;
    // B+ windows: the WatchDogLabel pair shown when the watchdog is disabled.
    virtual void showWatchdogLabels(bool show) = 0;

    // Fields the command line shows and edits, in window order ("FText(0)", "Baund", ...).
    virtual std::vector<std::string> boundFieldNames() const = 0;
    // The text a field shows: a text box's or list's text, a check box's state as "0" or "1",
    // a label's caption. Nothing for a name the window does not have.
    std::optional<std::string> fieldText(const std::string& fullName) const;
    // The window's arrangement in groups, rows and columns; nullptr when it has none.
    virtual const ui::LayoutPlan* layoutPlan() const { return nullptr; }

    FormContext& context() const { return ctx_; }

protected:
    ConfigForm(FormContext& ctx, Variant v, std::string name, std::string caption);
    // Sets formChanged unless loading.
    void markChanged();

private:
    FormContext& ctx_;
    Variant variant_;
};

} // namespace rw::config

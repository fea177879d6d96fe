// Test bench for the configuration windows: a window of one product with a scripted platform,
// and images generated with known bytes at the product's slot offsets.
#pragma once

#include "app/run_state.h"
#include "config/config_form_impl.h"
#include "config/general_module.h"
#include "image/config_module.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace rw::config::test {

struct FakeMain : MainWindowHooks {
    int disabled = 0;
    int focused = 0;
    void disableFileButtons() override { ++disabled; }
    void focusSaveButton() override { ++focused; }
};

inline bool isBPlusMode(int mode) {
    return mode == 3 || mode == 4;
}

inline int offsetOf(int mode, int slot) {
    return image::slotOffset(slot, isBPlusMode(mode));
}

// Bytes by slot for a product: every field family with a value worth checking, bits without
// a field set where they are, and a valid block at 25.92 MHz, 9600 baud.
inline std::map<int, std::uint8_t> referenceSlots(int mode) {
    std::map<int, std::uint8_t> s = {{0, 0x34},  {1, 0x18},  {2, 0xED},  {3, 0x00},  {4, 0x52},
                                     {5, 0x00},  {6, 0x7B},  {7, 0x00},  {8, 0x04},  {9, 0xFB},
                                     {10, 0x10}, {11, 0x00}, {12, 8},    {13, 0xB2}, {14, 0x28},
                                     {15, 0xF6}, {16, 0x0A}, {17, 0x0B}, {18, 0x0C}, {19, 0xF2},
                                     {20, 0xE5}, {21, 0x3C}, {22, 0x01}, {23, 0x1F}, {24, 92},
                                     {25, 25},   {26, 2},    {27, 5},    {28, 0x50}};
    switch (mode) {
    case 1:
        s[30] = 0x66;
        s[31] = 0xB5;
        break;
    case 2:
    case 4:
        s[44] = 0x9A;
        break;
    case 3:
        s[32] = 0xBD;
        s[33] = 0xB5;
        s[34] = 0xE9;
        s[35] = 0xCE;
        s[36] = 0xCD;
        s[37] = 0xAD;
        s[38] = 0x95;
        s[39] = 0x1C;
        s[40] = 0x01;
        s[41] = 0x00;
        s[42] = 0x0F;
        s[43] = 0xA5;
        break;
    default:
        break;
    }
    return s;
}

// An image with a recognisable background so that stray writes show.
inline image::Image backgroundImage() {
    image::Image img{};
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return img;
}

inline image::Image imageWith(int mode, const std::map<int, std::uint8_t>& slots) {
    image::Image img = backgroundImage();
    for (const auto& [slot, v] : slots)
        img[static_cast<std::size_t>(offsetOf(mode, slot))] = v;
    return img;
}

struct Bench {
    app::RunState run;
    image::ConfigModule cm;
    ui::ScriptedPlatform platform;
    FakeMain main;
    FormContext ctx{run, cm, platform, &main};
    int mode;
    std::unique_ptr<ConfigForm> form;

    explicit Bench(int m) : mode(m) {
        run.CurrentMode = m;
        cm.ClearOverrides();
        form = ConfigForm::create(m, ctx);
        PsdUpdating = false;
    }

    ConfigFormImpl& w() { return static_cast<ConfigFormImpl&>(*form); }

    // As the Open command does: PatchBytes from the image, then LoadFromPatch while loading.
    bool load(const image::Image& img) {
        image::fillPatchBytes(cm, img, mode);
        form->Loading = true;
        const bool ok = form->LoadFromPatch();
        form->Loading = false;
        run.FormChange = false;
        return ok;
    }
    bool loadSlots(const std::map<int, std::uint8_t>& slots) {
        return load(imageWith(mode, slots));
    }
    bool loadReference() { return loadSlots(referenceSlots(mode)); }

    image::Image saved(const image::Image& source) {
        image::Image out = source;
        form->SendDigToFile(out);
        return out;
    }
    std::uint8_t savedSlot(int slot) {
        const image::Image out = saved(backgroundImage());
        return out[static_cast<std::size_t>(offsetOf(mode, slot))];
    }

    std::string text(const std::string& fullName) {
        return form->FieldText(fullName).value_or("?");
    }
    ui::TextBox& box(const std::string& name, int index = -1) { return w().textBox(name, index); }
    ui::ComboBox& combo(const std::string& name, int index = -1) {
        return w().comboBox(name, index);
    }
    ui::CheckBox& check(const std::string& name, int index = -1) {
        return w().checkBox(name, index);
    }
    ui::Label& label(const std::string& name, int index = -1) { return w().label(name, index); }

    // Types into a box as a user does, then leaves it for `next` (or nowhere).
    void enter(ui::TextBox& b, const std::string& value, ui::Control* next = nullptr) {
        form->typeText(b, value);
        form->leave(next);
    }

    std::size_t boxes() const { return platform.boxes.shown.size(); }
    const ui::RecordedBox* lastBox() const { return platform.boxes.last(); }
};

// A label whose caption is exactly `caption`, or nullptr.
inline const ui::Label* labelWithCaption(const ui::Form& f, const std::string& caption) {
    for (const auto& c : f.controls())
        if (auto* l = dynamic_cast<const ui::Label*>(c.get()); l && l->caption() == caption)
            return l;
    return nullptr;
}

inline int countLabelsWithCaption(const ui::Form& f, const std::string& caption) {
    int n = 0;
    for (const auto& c : f.controls())
        if (auto* l = dynamic_cast<const ui::Label*>(c.get()); l && l->caption() == caption) ++n;
    return n;
}

} // namespace rw::config::test

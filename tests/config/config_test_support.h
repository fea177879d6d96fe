// Test bench for the configuration windows: a window of one product with a scripted platform,
// and images generated with known bytes at the product's slot offsets.
#pragma once

#include "app/run_state.h"
#include "config/config_form_impl.h"
#include "config/general_module.h"
#include "image/config_module.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rw::config::test {

struct FakeMain : MainWindowHooks {
    int disabled = 0;
    int focused = 0;
    void disableFileButtons() override { ++disabled; }
    void focusSaveButton() override { ++focused; }
};

inline int offsetOf(int mode, int slot) {
    return image::slotOffset(slot, mode >= 3);
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
    if (mode == 1) s.insert({{30, 0x66}, {31, 0xB5}});
    if (mode % 2 == 0) s[44] = 0x9A;
    const std::uint8_t miiBP[] = {0xBD, 0xB5, 0xE9, 0xCE, 0xCD, 0xAD,
                                  0x95, 0x1C, 0x01, 0x00, 0x0F, 0xA5};
    for (int i = 0; mode == 3 && i < 12; ++i)
        s[32 + i] = miiBP[i];
    return s;
}

// Worked numbers at 25.92 MHz, checked both on the functions and through the windows.
struct BaudCase {
    const char* baud;
    const char* reload;
};
inline constexpr BaudCase kUartReloadAt2592[] = {{"2400", "C8"},  {"4800", "E4"},  {"9600", "F2"},
                                                 {"19200", "F9"}, {"38400", "FC"}, {"57600", "FE"},
                                                 {"115200", "FF"}};
struct CarrierCase {
    const char *whole, *hundredths; // as typed
    double mhz;
    long long index;
    const char *low, *high; // the carrier word shown
};
inline constexpr CarrierCase kCarriersAt2592[] = {{"5", "99", 5.99, 237, "ED", "0"},
                                                  {"2", "07", 2.07, 82, "52", "0"},
                                                  {"12", "00", 12.00, 474, "DA", "1"},
                                                  {"8", "50", 8.50, 336, "50", "1"}};
struct RateCase {
    int constellation, interpolation;
    const char* rate;
};
inline constexpr RateCase kRatesAt2592[] = {
    {256, 16, "12.96"}, {32, 10, "12.96"}, {64, 6, "25.92"}, {16, 12, "8.64"}, {128, 14, "12.95"}};
// Maximum PSD level bytes and the text they give.
struct PsdCase {
    const char *constellation, *attenuation, *high, *low, *psd;
};
inline constexpr PsdCase kPsdLevels[] = {{"256", "0", "04", "00", "59.95"},
                                         {"256", "0", "00", "10", "23.83"},
                                         {"4", "2", "04", "00", "59.45"},
                                         // ln 1000 / ln 10 is just below 3.
                                         {"32", "0", "03", "E8", "59.99"}};

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

// Splits a compact list: "a b c" or, with another separator, "x=1;y=2".
inline std::vector<std::string> split(const std::string& s, char sep = ' ') {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= s.size()) {
        const std::size_t end = std::min(s.find(sep, start), s.size());
        if (end > start || sep != ' ') out.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

struct Bench {
    app::RunState run;
    image::ConfigModule cm;
    ui::ScriptedPlatform platform;
    FakeMain main;
    FormContext ctx{run.FormChange, cm, platform, &main};
    int mode;
    std::unique_ptr<ConfigForm> form;

    explicit Bench(int m) : mode(m) {
        run.CurrentMode = m;
        cm.ClearOverrides();
        form = ConfigForm::create(m, ctx);
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
    // The reference bytes with some slots changed.
    bool loadWith(const std::map<int, std::uint8_t>& changes) {
        auto s = referenceSlots(mode);
        for (const auto& [slot, v] : changes)
            s[slot] = v;
        return loadSlots(s);
    }

    image::Image saved(const image::Image& source) {
        image::Image out = source;
        form->SendDigToFile(out);
        return out;
    }
    std::uint8_t savedSlot(int slot) {
        const image::Image out = saved(backgroundImage());
        return out[static_cast<std::size_t>(offsetOf(mode, slot))];
    }

    auto overrideAt(int slot) const {
        return cm.OverrideTable[static_cast<std::size_t>(image::positionOf(offsetOf(mode, slot)))];
    }
    // Saved bytes by slot: {{slot, value}, ...}.
    void expectSaved(std::initializer_list<std::pair<int, int>> want) {
        const image::Image out = saved(backgroundImage());
        for (const auto& [slot, v] : want)
            EXPECT_EQ(out[static_cast<std::size_t>(offsetOf(mode, slot))], v)
                << "slot " << slot << " in mode " << mode;
    }

    std::string text(const std::string& fullName) {
        return form->FieldText(fullName).value_or("?");
    }
    // Field texts given as "Name=Value;Name=Value".
    void expectTexts(const std::string& pairs) {
        for (const std::string& pair : split(pairs, ';')) {
            const std::size_t eq = pair.find('=');
            ASSERT_NE(eq, std::string::npos) << pair;
            EXPECT_EQ(text(pair.substr(0, eq)), pair.substr(eq + 1))
                << pair.substr(0, eq) << " in mode " << mode;
        }
    }
    void pick(const std::string& name, const std::string& item) {
        ASSERT_TRUE(combo(name).userPick(item)) << name << " " << item;
    }
    void type(const std::string& name, int index, const std::string& value) {
        form->typeText(box(name, index), value);
    }
    ui::Control* find(const std::string& name, int index = -1) { return form->find(name, index); }
    bool press(const std::string& button) {
        auto* b = dynamic_cast<ui::Button*>(form->find(button));
        EXPECT_NE(b, nullptr) << button;
        return b && b->userClick();
    }
    ui::UpDown& arrows(const std::string& name) {
        return dynamic_cast<ui::UpDown&>(*form->find(name));
    }
    // The last message box shown, with its title and buttons (and icon unless `anyIcon`).
    void expectBox(const std::string& text, const std::string& title,
                   ui::Buttons buttons = ui::Buttons::OK,
                   std::optional<ui::Icon> icon = ui::Icon::Exclamation) {
        const ui::RecordedBox* b = lastBox();
        ASSERT_NE(b, nullptr) << "no message box for: " << text;
        EXPECT_EQ(b->text, text);
        EXPECT_EQ(b->title, title);
        EXPECT_EQ(b->buttons, buttons);
        if (icon) {
            EXPECT_EQ(b->icon, *icon);
        }
    }
    ui::TextBox& box(const std::string& name, int index = -1) { return w().textBox(name, index); }
    ui::ComboBox& combo(const std::string& name, int index = -1) {
        return w().comboBox(name, index);
    }
    ui::CheckBox& check(const std::string& name, int index = -1) {
        return w().checkBox(name, index);
    }
    ui::Label& label(const std::string& name, int index = -1) { return w().label(name, index); }

    std::size_t boxes() const { return platform.boxes.shown.size(); }
    const ui::RecordedBox* lastBox() const { return platform.boxes.last(); }
};

// A window loaded with the reference bytes.
struct Loaded : Bench {
    explicit Loaded(int m) : Bench(m) { EXPECT_TRUE(loadReference()) << "mode " << m; }
};

// Runs `body` on a fresh window of every product in `modes`, loaded with the reference bytes
// unless `load` is false; failures name the product.
inline void forEachMode(const std::function<void(Bench&)>& body,
                        std::initializer_list<int> modes = {1, 2, 3, 4}, bool load = true) {
    for (int mode : modes) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Bench b(mode);
        if (load) {
            ASSERT_TRUE(b.loadReference());
        }
        body(b);
    }
}

// The same on fresh windows before any load.
inline void forEachWindow(const std::function<void(Bench&)>& body) {
    forEachMode(body, {1, 2, 3, 4}, false);
}

// The labels whose caption is exactly `caption`.
inline std::vector<const ui::Label*> labelsWithCaption(const ui::Form& f,
                                                       const std::string& caption) {
    std::vector<const ui::Label*> out;
    for (const auto& c : f.controls())
        if (auto* l = dynamic_cast<const ui::Label*>(c.get()); l && l->caption() == caption)
            out.push_back(l);
    return out;
}

} // namespace rw::config::test

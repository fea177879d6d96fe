// Bench for the configuration windows: the window of one product on the scripted platform,
// loaded from images generated with known bytes at the product's slot offsets.
#pragma once

#include "app/run_state.h"
#include "config/config_form_impl.h"
#include "image/config_module.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace rw::test {

using Slots = std::map<int, std::uint8_t>;

struct FakeMain : config::MainWindowHooks {
    int disabled = 0;
    int focused = 0;
    void disableFileButtons() override { ++disabled; }
    void focusSaveButton() override { ++focused; }
};

// Image offset of a patchBytes slot in a product's images.
int offsetOf(int mode, int slot);
// Bytes by slot: every field family with a value worth checking, bits without a field set,
// and a valid block at 25.92 MHz, 9600 baud.
Slots referenceSlots(int mode);
// An image with a recognisable background, so that stray writes show.
image::Image backgroundImage();
image::Image imageWith(int mode, const Slots& slots);
// Splits "a b c" on blanks, or "x=1;y=2" on another separator (keeping empty parts).
std::vector<std::string> split(const std::string& s, char sep = ' ');

struct Bench {
    app::RunState run;
    image::ConfigModule cm;
    ui::ScriptedPlatform platform;
    FakeMain main;
    config::FormContext ctx{run.formChanged, cm, platform, &main};
    int mode;
    std::unique_ptr<config::ConfigForm> form;

    explicit Bench(int m);
    config::ConfigFormImpl& w() { return static_cast<config::ConfigFormImpl&>(*form); }

    // As the Open command does: patchBytes from the image, loadFromPatch while loading; then
    // formChanged is cleared.
    bool load(const image::Image& img);
    bool loadReference() { return loadWith({}); }
    // The reference bytes with some slots changed.
    bool loadWith(const Slots& changes);

    image::Image saved(const image::Image& source = backgroundImage());
    std::uint8_t savedSlot(int slot) {
        return saved()[static_cast<std::size_t>(offsetOf(mode, slot))];
    }
    int overrideAt(int slot) const;
    // Saved bytes by slot.
    void expectSaved(std::initializer_list<std::pair<int, int>> want);

    std::string text(const std::string& fullName) const {
        return form->fieldText(fullName).value_or("?");
    }
    // Field texts given as "Name=Value;Name=Value".
    void expectTexts(const std::string& pairs) const;
    void pick(const std::string& name, const std::string& item) {
        ASSERT_TRUE(combo(name).userPick(item)) << name << " " << item;
    }
    void type(const std::string& name, int index, const std::string& value) {
        form->typeText(box(name, index), value);
    }
    ui::Control* find(const std::string& name, int index = -1) const {
        return form->find(name, index);
    }
    // A control by its full name ("FText(0)"); throws (failing the test) when there is none.
    ui::Control& named(const std::string& fullName) const;
    bool press(const std::string& button);
    ui::TextBox& box(const std::string& name, int index = -1) { return w().textBox(name, index); }
    ui::ComboBox& combo(const std::string& name) { return w().comboBox(name); }
    ui::CheckBox& check(const std::string& name, int index = -1) {
        return w().checkBox(name, index);
    }
    // formChanged read and cleared.
    bool changed() {
        const bool c = run.formChanged;
        run.formChanged = false;
        return c;
    }
    std::size_t boxes() const { return platform.boxes.shown.size(); }
    const ui::RecordedBox* lastBox() const { return platform.boxes.last(); }
};

// A scripted session on a window: a step is {action, expected} or a row "action -> expected".
//   actions: "type NAME TEXT" (key by key, as a user), "set NAME TEXT|VALUE" (by the program),
//            "pick NAME ITEM", "click NAME" (check box or button), "up NAME", "down NAME",
//            "key NAME CODE" (one key stroke), "focus NAME", "leave [NAME]" (the focus goes to
//            NAME, or nowhere), "loading 0|1", "default", "done", "" (nothing)
//   expected: "NAME=TEXT;..." field texts, and pseudo names: ok (the action's result, 0|1),
//            changed (formChanged, read and cleared), focus, boxes (message boxes so far), Fsample,
//            problem (what storing would refuse), why:NAME (has a reason, 0|1), red:NAME (red)
struct Step {
    Step(const char* row);
    Step(std::string a, std::string e = {}) : action(std::move(a)), expected(std::move(e)) {}
    std::string action, expected;
};
void run(Bench& b, std::initializer_list<Step> steps);

// A window loaded with the reference bytes.
struct Loaded : Bench {
    explicit Loaded(int m) : Bench(m) { EXPECT_TRUE(loadReference()) << "mode " << m; }
};

// The bound fields of the window with their controls, in window order.
std::vector<std::pair<const config::BitField*, ui::Control*>> boundFields(Bench& b);
// Changes every field a user picks, ticks or types a number into: check boxes clicked, lists
// set to another item, byte boxes given "5A", the sampling frequency boxes "30".
void editEveryField(Bench& b);

// Runs `body` on a fresh window of each product in `modes`, loaded with the reference bytes
// unless `load` is false; failures name the product.
void forEachMode(const std::function<void(Bench&)>& body,
                 std::initializer_list<int> modes = {1, 2, 3, 4}, bool load = true);

} // namespace rw::test

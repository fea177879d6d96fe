#include "support/window_bench.h"

#include "config/general_module.h"

#include <algorithm>

namespace rw::test {

int offsetOf(int mode, int slot) {
    return image::slotOffset(slot, mode >= 3);
}

Slots referenceSlots(int mode) {
    Slots s = {{0, 0x34},  {1, 0x18},  {2, 0xED},  {3, 0x00},  {4, 0x52},  {5, 0x00},
               {6, 0x7B},  {7, 0x00},  {8, 0x04},  {9, 0xFB},  {10, 0x10}, {11, 0x00},
               {12, 8},    {13, 0xB2}, {14, 0x28}, {15, 0xF6}, {16, 0x0A}, {17, 0x0B},
               {18, 0x0C}, {19, 0xF2}, {20, 0xE5}, {21, 0x3C}, {22, 0x01}, {23, 0x1F},
               {24, 92},   {25, 25},   {26, 2},    {27, 5},    {28, 0x50}};
    if (mode == 1) s.insert({{30, 0x66}, {31, 0xB5}});
    if (mode % 2 == 0) s[44] = 0x9A;
    const std::uint8_t miiBP[] = {0xBD, 0xB5, 0xE9, 0xCE, 0xD5, 0xAD,
                                  0x95, 0x1C, 0x01, 0x00, 0x0F, 0xA5};
    for (int i = 0; mode == 3 && i < 12; ++i)
        s[32 + i] = miiBP[i];
    return s;
}

image::Image backgroundImage() {
    image::Image img{};
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return img;
}

image::Image imageWith(int mode, const Slots& slots) {
    image::Image img = backgroundImage();
    for (const auto& [slot, v] : slots)
        img[static_cast<std::size_t>(offsetOf(mode, slot))] = v;
    return img;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= s.size()) {
        const std::size_t end = std::min(s.find(sep, start), s.size());
        if (end > start || sep != ' ') out.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

Bench::Bench(int m) : mode(m) {
    run.currentMode = m;
    cm.clearOverrides();
    form = config::ConfigForm::create(m, ctx);
}

bool Bench::load(const image::Image& img) {
    image::fillPatchBytes(cm, img, mode);
    form->isLoading = true;
    const bool ok = form->loadFromPatch();
    form->isLoading = false;
    run.formChanged = false;
    return ok;
}

bool Bench::loadWith(const Slots& changes) {
    Slots s = referenceSlots(mode);
    for (const auto& [slot, v] : changes)
        s[slot] = v;
    return load(imageWith(mode, s));
}

image::Image Bench::saved(const image::Image& source) {
    image::Image out = source;
    form->sendDigToFile(out);
    return out;
}

int Bench::overrideAt(int slot) const {
    return cm.overrideTable[static_cast<std::size_t>(image::positionOf(offsetOf(mode, slot)))];
}

void Bench::expectSaved(std::initializer_list<std::pair<int, int>> want) {
    const image::Image out = saved();
    for (const auto& [slot, v] : want)
        EXPECT_EQ(out[static_cast<std::size_t>(offsetOf(mode, slot))], v)
            << "slot " << slot << " in mode " << mode;
}

void Bench::expectTexts(const std::string& pairs) const {
    for (const std::string& pair : split(pairs, ';')) {
        const std::size_t eq = pair.find('=');
        ASSERT_NE(eq, std::string::npos) << pair;
        EXPECT_EQ(text(pair.substr(0, eq)), pair.substr(eq + 1))
            << pair.substr(0, eq) << " in mode " << mode;
    }
}

ui::Control& Bench::named(const std::string& fullName) const {
    ui::Control* c = form->findByFullName(fullName);
    if (!c) throw std::logic_error("no control " + fullName + " in " + form->name());
    return *c;
}

bool Bench::press(const std::string& button) {
    auto* b = dynamic_cast<ui::Button*>(find(button));
    EXPECT_NE(b, nullptr) << button;
    return b && b->userClick();
}

std::vector<std::pair<const config::BitField*, ui::Control*>> boundFields(Bench& b) {
    std::vector<std::pair<const config::BitField*, ui::Control*>> out;
    for (const config::BitField& f : config::commonFields())
        out.emplace_back(&f, b.find(f.name, f.index));
    for (const config::BitField& f : b.w().traits().fields)
        out.emplace_back(&f, b.find(f.name, f.index));
    return out;
}

void editEveryField(Bench& b) {
    using config::FieldKind;
    for (const auto& [f, c] : boundFields(b)) {
        if (auto* box = dynamic_cast<ui::CheckBox*>(c)) {
            box->userClick();
        } else if (auto* list = dynamic_cast<ui::ComboBox*>(c)) {
            const auto& items = list->items();
            const auto other = std::find_if(items.rbegin(), items.rend(),
                                            [&](const auto& i) { return i != list->text(); });
            if (other != items.rend()) list->userPick(*other);
        } else if (f->kind == FieldKind::Hex || f->kind == FieldKind::Level) {
            static_cast<ui::TextBox*>(c)->setText("5A");
        } else if (f->kind == FieldKind::Decimal) {
            static_cast<ui::TextBox*>(c)->setText("30");
        }
    }
}

namespace {

// The value a step's expectation names.
std::string observed(Bench& b, const std::string& name, bool ok) {
    const auto flag = [](bool v) { return std::string(v ? "1" : "0"); };
    if (name == "ok") return flag(ok);
    if (name == "changed") return flag(b.changed());
    if (name == "boxes") return std::to_string(b.boxes());
    if (name == "Fsample") return config::formatDecimal(b.form->fsampleMhz);
    if (name == "problem") return b.form->storageProblem();
    if (name == "focus") return b.form->focused() ? b.form->focused()->fullName() : "";
    if (name.starts_with("why:")) return flag(!b.named(name.substr(4)).problem().empty());
    if (name.starts_with("red:")) {
        const auto* t = dynamic_cast<const ui::TextBox*>(&b.named(name.substr(4)));
        return flag((t ? t->backColour() : b.combo(name.substr(4)).backColour()) == ui::kRed);
    }
    return b.text(name);
}

bool act(Bench& b, const std::string& verb, const std::string& name, const std::string& arg) {
    if (verb == "loading") {
        b.form->isLoading = name == "1";
        return true;
    }
    ui::Control* c = name.empty() ? nullptr : &b.named(name);
    if (verb == "type") return b.form->typeText(dynamic_cast<ui::TextBox&>(*c), arg);
    if (verb == "set") {
        if (auto* t = dynamic_cast<ui::TextBox*>(c))
            t->setText(arg);
        else if (auto* k = dynamic_cast<ui::CheckBox*>(c))
            k->setValue(std::stoi(arg));
        else
            dynamic_cast<ui::ComboBox&>(*c).setText(arg);
        return true;
    }
    if (verb == "pick") return dynamic_cast<ui::ComboBox&>(*c).userPick(arg);
    if (verb == "click") {
        auto* k = dynamic_cast<ui::CheckBox*>(c);
        return k ? (k->userClick(), true) : dynamic_cast<ui::Button&>(*c).userClick();
    }
    if (verb == "up") return dynamic_cast<ui::UpDown&>(*c).userUp();
    if (verb == "down") return dynamic_cast<ui::UpDown&>(*c).userDown();
    if (verb == "key") {
        b.form->keyStroke(dynamic_cast<ui::TextBox&>(*c), std::stoi(arg));
        return true;
    }
    if (verb == "focus") return b.form->setFocus(c);
    if (verb == "leave") return b.form->leave(c);
    if (verb == "default") return b.press("Default");
    if (verb == "done") return b.form->Done();
    EXPECT_TRUE(verb.empty()) << "unknown action " << verb;
    return true;
}

} // namespace

Step::Step(const char* row) : action(row) {
    if (const auto arrow = action.find(" -> "); arrow != std::string::npos) {
        expected = action.substr(arrow + 4);
        action.erase(arrow);
    }
}

void run(Bench& b, std::initializer_list<Step> steps) {
    for (const Step& s : steps) {
        const std::string& action = s.action;
        SCOPED_TRACE("step '" + action + "' in mode " + std::to_string(b.mode));
        const std::size_t sp1 = std::min(action.find(' '), action.size());
        const std::size_t sp2 = std::min(action.find(' ', sp1 + 1), action.size());
        const std::string name = sp1 < action.size() ? action.substr(sp1 + 1, sp2 - sp1 - 1) : "";
        const bool ok =
            act(b, action.substr(0, sp1), name, sp2 < action.size() ? action.substr(sp2 + 1) : "");
        for (const std::string& pair : split(s.expected, ';')) {
            if (pair.empty()) continue;
            const std::size_t eq = pair.find('=');
            ASSERT_NE(eq, std::string::npos) << pair;
            EXPECT_EQ(observed(b, pair.substr(0, eq), ok), pair.substr(eq + 1)) << pair;
        }
    }
}

void forEachMode(const std::function<void(Bench&)>& body, std::initializer_list<int> modes,
                 bool load) {
    for (int mode : modes) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Bench b(mode);
        ASSERT_TRUE(!load || b.loadReference());
        body(b);
    }
}

} // namespace rw::test

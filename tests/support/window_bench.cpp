#include "support/window_bench.h"

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
    const std::uint8_t miiBP[] = {0xBD, 0xB5, 0xE9, 0xCE, 0xCD, 0xAD,
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
    run.CurrentMode = m;
    cm.ClearOverrides();
    form = config::ConfigForm::create(m, ctx);
}

bool Bench::load(const image::Image& img) {
    image::fillPatchBytes(cm, img, mode);
    form->Loading = true;
    const bool ok = form->LoadFromPatch();
    form->Loading = false;
    run.FormChange = false;
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
    form->SendDigToFile(out);
    return out;
}

int Bench::overrideAt(int slot) const {
    return cm.OverrideTable[static_cast<std::size_t>(image::positionOf(offsetOf(mode, slot)))];
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

bool Bench::press(const std::string& button) {
    auto* b = dynamic_cast<ui::Button*>(find(button));
    EXPECT_NE(b, nullptr) << button;
    return b && b->userClick();
}

void forEachMode(const std::function<void(Bench&)>& body, std::initializer_list<int> modes,
                 bool load) {
    for (int mode : modes) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Bench b(mode);
        if (load) {
            ASSERT_TRUE(b.loadReference());
        }
        body(b);
    }
}

} // namespace rw::test

// The four windows as built (state before the first load, layouts and their rules) and their
// factory values.
#include "image/sample_image.h"
#include "support/window_bench.h"

#include <set>
#include <tuple>

namespace rw::config {
namespace {

using namespace rw::test;

TEST(ConfigWindows, EachProductHasItsWindowWhichStartsUnchangedEmptyAndLimited) {
    const char* names[] = {"MII_B", "ATM_B", "MII_BP", "ATM_BP"};
    forEachMode(
        [&](Bench& b) {
            EXPECT_EQ(std::tuple(b.form->name(), b.form->isBPlus(), b.form->isAtm()),
                      std::tuple(names[b.mode - 1], b.mode >= 3, b.mode % 2 == 0));
            // Decision: before the first load every field that may be left as it was is
            // empty, and so are the value labels. The bound names list every field once.
            const auto names = b.form->boundFieldNames();
            EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
            EXPECT_EQ(names.size(), boundFields(b).size());
            for (const std::string& n : names)
                EXPECT_EQ(b.text(n), b.named(n).kind() == ui::ControlKind::CheckBox ? "0" : "")
                    << n;
            EXPECT_EQ(std::tuple(b.form->fsampleMhz, b.form->afeUpdating,
                                 b.form->fieldText("NoSuchField").has_value()),
                      std::tuple(0.0, false, false));
            // The carrier words only the window writes.
            for (const char* n : {"Next_DownstreamL", "Next_DownstreamH", "Next_UpstreamL",
                                  "Next_UpstreamH", "DwCarrierText(0)"})
                EXPECT_EQ(static_cast<ui::TextBox&>(b.named(n)).readOnly(), n[0] == 'N') << n;
            // Decision: a window never loaded takes the defaults.
            b.form->setDefaults();
            b.expectTexts("AFEControl=78;Dw_Stram_Inter=12;UART_Rate=F2");
            EXPECT_EQ(b.form->storageProblem(), "");
            EXPECT_TRUE(b.form->checkInputs());
        },
        {1, 2, 3, 4}, false);
    app::RunState run;
    run.formChanged = true;
    image::ConfigModule cm;
    ui::ScriptedPlatform platform;
    FormContext ctx{run.formChanged, cm, platform, nullptr};
    for (int mode : {0, 5})
        EXPECT_EQ(ConfigForm::create(mode, ctx), nullptr);
    const auto f = ConfigForm::create(3, ctx);
    EXPECT_FALSE(run.formChanged || f->isLoading); // creating the window clears the mark
}

bool overlap(const ui::Geometry& a, const ui::Geometry& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

TEST(ConfigWindowsLayout, StartUpAndExpertLayoutsWatchdogAndPlacement) {
    forEachMode(
        [](Bench& b) {
            b.form->setExpertLayout(true);
            const int wide = b.form->width();
            EXPECT_TRUE(b.find("AdvanceFrame")->visible());
            b.form->setExpertLayout(false);
            EXPECT_LT(b.form->width(), wide);
            EXPECT_FALSE(b.find("AdvanceFrame")->visible());
            for (const std::string& n :
                 split("TransmitePreambleL TransmitePreambleM TransmitePreambleH ReceivePreambleL "
                       "ReceivePreambleM ReceivePreambleH Next_DownstreamL Next_DownstreamH "
                       "Next_UpstreamL Next_UpstreamH Adcf Dacf Adcuns Dacuns Timneg Timnus"))
                EXPECT_FALSE(b.find(n)->shown()) << n;
            EXPECT_TRUE(b.find("AFEControl")->shown() && b.find("WriteReturn")->shown());
            for (const auto& c : b.form->controls())
                EXPECT_TRUE(!c->shown() || c->geometry().x + c->geometry().w <= b.form->width())
                    << c->fullName();
            // MII_B also hides its MDIO and auto-negotiation controls.
            for (const char* n :
                 {"MDIO", "AutoNeg", "MDIOLabel", "MDIODIRLabel", "AutoNegLabel", "AutoLabel"})
                EXPECT_TRUE(!b.find(n) || b.find(n)->shown() == (b.mode != 1)) << n;
            b.form->setExpertLayout(true);
            EXPECT_EQ(b.form->width(), wide);
            EXPECT_TRUE(b.find("Timnus")->shown() &&
                        (b.mode != 1 || b.find("AutoNegLabel")->shown()));
            // B+ windows show their watchdog labels on request only; the B windows have none.
            for (bool show : {false, true, false}) {
                b.form->showWatchdogLabels(show);
                for (int i : {0, 1})
                    EXPECT_TRUE(b.mode < 3 ? !b.find("WatchDogLabel", i)
                                           : b.find("WatchDogLabel", i)->visible() == show);
            }
            // Every control inside the window, without overlap and with room for its text.
            std::vector<const ui::Control*> placed;
            for (const auto& c : b.form->controls()) {
                SCOPED_TRACE(c->fullName());
                const ui::Geometry& g = c->geometry();
                EXPECT_TRUE(g.w > 0 && g.h > 0 && g.x >= 0 && g.y >= 0);
                EXPECT_LE(g.x + g.w, b.form->width());
                EXPECT_LE(g.y + g.h, b.form->height());
                if (c->kind() != ui::ControlKind::Frame) placed.push_back(c.get());
                // Captions and list items have 8 pixels a character (plus box or arrow).
                int need = 0;
                if (auto* l = dynamic_cast<const ui::Label*>(c.get()))
                    need = 8 * static_cast<int>(l->caption().size());
                if (auto* k = dynamic_cast<const ui::CheckBox*>(c.get()))
                    need = 16 + 8 * static_cast<int>(k->caption().size());
                if (auto* cb = dynamic_cast<const ui::ComboBox*>(c.get()))
                    for (const std::string& item : cb->items())
                        need = std::max(need, 8 * static_cast<int>(item.size()) + 20);
                EXPECT_GE(g.w, need);
            }
            for (std::size_t i = 0; i < placed.size(); ++i)
                for (std::size_t j = i + 1; j < placed.size(); ++j)
                    EXPECT_FALSE(overlap(placed[i]->geometry(), placed[j]->geometry()))
                        << placed[i]->fullName() << " and " << placed[j]->fullName();
            for (const char* fn : {"AdvanceFrame", "UpFrame"}) {
                const ui::Control* frame = b.find(fn);
                const ui::Geometry& fg = frame->geometry();
                for (const ui::Control* c : placed) {
                    const ui::Geometry& g = c->geometry();
                    const bool inside = g.x >= fg.x && g.y >= fg.y && g.x + g.w <= fg.x + fg.w &&
                                        g.y + g.h <= fg.y + fg.h;
                    if (c->container() == frame)
                        EXPECT_TRUE(inside) << c->fullName() << " outside " << fn;
                    else
                        EXPECT_FALSE(overlap(g, fg)) << c->fullName() << " on " << fn;
                }
            }
            const auto x = [&](const char* n) { return b.find(n)->geometry().x; };
            EXPECT_LT(x("Max_psdH"), x("Max_psdL"));
            EXPECT_LT(x("Next_UpstreamH"), x("Next_UpstreamL"));
            EXPECT_LT(x("Dw_Stram_Cons"), x("Up_Stram_Cons"));
            EXPECT_EQ(b.find("Dw_Stram_Cons")->container(), b.find("UpFrame"));
            EXPECT_EQ(b.find("Timnus")->container(), b.find("AdvanceFrame"));
        },
        {1, 2, 3, 4}, false);
}

// "Default" puts the factory value into every field, whatever it held. The sample images hold
// the same values: a window loaded from its sample, edited everywhere and set to the
// defaults saves the sample back byte for byte.
TEST(ConfigDefaults, EveryFieldTakesTheFactoryValueTheSampleHolds) {
    for (int mode = 1; mode <= 4; ++mode) {
        SCOPED_TRACE(mode);
        const image::Image img = image::makeSampleImage(mode);
        Bench b(mode);
        ASSERT_TRUE(b.load(img));
        editEveryField(b);
        ASSERT_TRUE(b.press("Default"));
        EXPECT_EQ(std::tuple(b.form->fsampleMhz, b.form->afeUpdating, b.form->storageProblem()),
                  std::tuple(mode % 2 == 0 ? 25.92 : 25.0, false, ""));
        EXPECT_EQ(b.saved(img), img);
    }
}

// MII_BP marks even when nothing changes, the others only what changes; never while loading.
TEST(ConfigDefaults, DefaultMarksTheChange) {
    forEachMode([](Bench& b) {
        int presses = 0;
        for (bool loading : {false, false, true}) {
            b.form->isLoading = loading;
            ASSERT_TRUE(b.press("Default"));
            EXPECT_EQ(b.changed(), !loading && (presses++ == 0 || b.mode == 3));
        }
        EXPECT_EQ(b.boxes(), 0u);
    });
}

// Decisions: MII_B sets its lists before the sampling frequency, then shows the line rates of
// the new frequency; in B+ the focus follows an interpolation the new constellation empties,
// which the defaults then fill without a message.
TEST(ConfigDefaults, RatesAndTheFocus) {
    Bench b(1); // 50.00 MHz, with the factory constellations and interpolations already
    ASSERT_TRUE(b.loadWith({{25, 50}, {24, 0}, {0, 0x32}, {1, 0x24}}));
    b.expectTexts("DownBitrate=25;UpBitrate=25");
    ASSERT_TRUE(b.press("Default"));
    b.expectTexts("DownBitrate=12.49;UpBitrate=12.5");

    Bench p(4); // 128 / 14 loaded: the factory constellation 16 does not offer 14
    ASSERT_TRUE(p.loadWith({{0, 0xAA}}));
    ASSERT_TRUE(p.press("Default"));
    EXPECT_EQ(p.text("Dw_Stram_Inter"), "12");
    EXPECT_EQ(p.form->focused(), p.find("Dw_Stram_Inter"));
    EXPECT_TRUE(p.form->leave(nullptr) && p.boxes() == 0u);
}

} // namespace
} // namespace rw::config

// Any 8192 bytes can be opened as a patch file: each product's window must load them (or
// refuse them as a bad patch file) and store them again without a crash.
//
// Input: up to 8192 bytes of image; a shorter input leaves the rest FF, as a short file does.
#include "app/run_state.h"
#include "config/config_form.h"
#include "image/config_module.h"
#include "ui/scripted_platform.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

// One window per product for the whole run, as in the program, where the windows live as
// long as the main window and every Open refills them.
struct ProductWindow {
    explicit ProductWindow(int mode) : ctx{run.formChanged, cm, platform} {
        run.currentMode = mode;
        cm.clearOverrides();
        cm.fillReservedArea();
        form = rw::config::ConfigForm::create(mode, ctx);
        if (!form) __builtin_trap(); // every product has a window
    }
    rw::ui::ScriptedPlatform platform{/*manualClock=*/true};
    rw::app::RunState run;
    rw::image::ConfigModule cm;
    rw::config::FormContext ctx;
    std::unique_ptr<rw::config::ConfigForm> form;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ProductWindow windows[4] = {ProductWindow(1), ProductWindow(2), ProductWindow(3),
                                       ProductWindow(4)};
    rw::image::Image img;
    img.fill(0xFF);
    std::copy_n(data, std::min(size, img.size()), img.begin());

    for (int mode = 1; mode <= 4; ++mode) {
        ProductWindow& w = windows[mode - 1];
        w.platform.boxes.shown.clear();
        rw::image::fillPatchBytes(w.cm, img, mode);
        if (!w.form->loadFromPatch()) continue;
        (void)w.form->checkInputs();
        // The program stores only what can be stored (saving and programming ask first).
        if (!w.form->storageProblem().empty()) continue;
        rw::image::Image copy = img;
        w.form->sendDigToFile(copy);
        w.form->sendDigToModem();
    }
    return 0;
}

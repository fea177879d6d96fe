// Kept apart from the main window so that tests with their own windows link without the
// real ones.
#include "app/main_form.h"

namespace rw::app {

MainForm::ConfigFactory defaultConfigFactory() {
    return [](int mode, config::FormContext& ctx) { return config::ConfigForm::create(mode, ctx); };
}

} // namespace rw::app

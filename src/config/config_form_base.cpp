#include "config/config_form.h"

namespace rw::config {

ConfigForm::ConfigForm(FormContext& ctx, Variant v, std::string name, std::string caption)
    : ui::Form(std::move(name), std::move(caption)), ctx_(ctx), variant_(v) {}

ConfigForm::~ConfigForm() = default;

void ConfigForm::markChanged() {
    if (!Loading) ctx_.run.FormChange = true;
}

bool ConfigForm::ConfirmStorable() {
    const std::string problem = StoreProblem();
    if (problem.empty()) return true;
    ctx_.platform.msgBox(problem, ui::Icon::Exclamation, ui::Buttons::OK, "Illegal Parameter");
    return false;
}

} // namespace rw::config

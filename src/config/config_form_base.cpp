#include "config/config_form.h"

namespace rw::config {

ConfigForm::ConfigForm(FormContext& ctx, Variant v, std::string name, std::string caption)
    : ui::Form(std::move(name), std::move(caption)), ctx_(ctx), variant_(v) {}

ConfigForm::~ConfigForm() = default;

void ConfigForm::markChanged() {
    if (!isLoading) ctx_.formChange = true;
}

bool ConfigForm::confirmStorable() {
    const std::string problem = storageProblem();
    if (problem.empty()) return true;
    ctx_.platform.msgBox(problem, ui::Icon::Exclamation, ui::Buttons::OK, "Illegal Parameter");
    return false;
}

std::optional<std::string> ConfigForm::fieldText(const std::string& fullName) const {
    const ui::Control* c = findByFullName(fullName);
    if (!c) return std::nullopt;
    switch (c->kind()) {
    case ui::ControlKind::TextBox:
        return static_cast<const ui::TextBox*>(c)->text();
    case ui::ControlKind::ComboBox:
        return static_cast<const ui::ComboBox*>(c)->text();
    case ui::ControlKind::CheckBox:
        return static_cast<const ui::CheckBox*>(c)->checked() ? "1" : "0";
    case ui::ControlKind::Label:
        return static_cast<const ui::Label*>(c)->caption();
    default:
        return std::nullopt;
    }
}

} // namespace rw::config

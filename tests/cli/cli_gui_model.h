// The same windows in the test process, driven as a GUI user drives them, to tell what the
// command line must produce.
#pragma once

#include "app/main_form.h"
#include "app/welcome_form.h"
#include "config/config_form.h"
#include "ui/scripted_platform.h"

#include <memory>
#include <string>

namespace rw::clitest {

class GuiModel {
public:
    GuiModel(int mode, const std::string& dir) {
        welcome.currentMode = mode;
        main = std::make_unique<app::MainForm>(platform, welcome, app::defaultConfigFactory());
        main->currentDirectory = [dir] { return dir; };
        main->onLoad();
    }
    void open(const std::string& path) {
        platform.files.answers.push_back(path);
        main->onOpenCommand();
    }
    bool save(const std::string& path) {
        platform.files.answers.push_back(path);
        return main->onCreateClick();
    }
    config::ConfigForm& form() { return *main->configForm(); }
    ui::TextBox& text(const std::string& name) {
        return dynamic_cast<ui::TextBox&>(*form().findByFullName(name));
    }
    ui::ComboBox& combo(const std::string& name) {
        return dynamic_cast<ui::ComboBox&>(*form().findByFullName(name));
    }
    ui::CheckBox& check(const std::string& name) {
        return dynamic_cast<ui::CheckBox&>(*form().findByFullName(name));
    }
    // A text box typed into and left, as a user does it.
    bool type(const std::string& name, const std::string& value) {
        return form().typeText(text(name), value) && form().leave();
    }
    std::string shown(const std::string& name) {
        const ui::Control* c = form().findByFullName(name);
        if (!c) return "<missing>";
        if (auto* t = dynamic_cast<const ui::TextBox*>(c)) return t->text();
        if (auto* b = dynamic_cast<const ui::ComboBox*>(c)) return b->text();
        if (auto* k = dynamic_cast<const ui::CheckBox*>(c)) return std::to_string(k->value());
        if (auto* l = dynamic_cast<const ui::Label*>(c)) return l->caption();
        return "<kind>";
    }

    ui::ScriptedPlatform platform;
    app::WelcomeForm welcome;
    std::unique_ptr<app::MainForm> main;
};

} // namespace rw::clitest

#include "cli/cli_session.h"

#include "app/run_state.h"
#include "config/general_module.h"
#include "image/config_module.h"
#include "ui/qt_serial_port.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace rw::cli {

namespace {

ui::Answer answerFor(const ui::RecordedBox& box) {
    // The command line never has unsaved changes to offer, and it never retries.
    switch (box.buttons) {
    case ui::Buttons::OK:
        return ui::Answer::OK;
    case ui::Buttons::YesNo:
        return ui::Answer::No;
    case ui::Buttons::OKCancel:
    case ui::Buttons::YesNoCancel:
    case ui::Buttons::RetryCancel:
        return ui::Answer::Cancel;
    }
    return ui::Answer::Cancel;
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool allHexDigits(const std::string& s) {
    return !s.empty() && s.size() <= 15 &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isxdigit(c); });
}

// What a box shows holds the typed value when it is the same text in any case or the same
// number: "5" and "005", "a" and "0A", "1.5" and "1.50".
bool holdsValue(const std::string& shown, const std::string& typed) {
    auto lower = [](std::string t) {
        std::transform(t.begin(), t.end(), t.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return t;
    };
    if (lower(shown) == lower(typed)) return true;
    if (allHexDigits(shown) && allHexDigits(typed))
        return config::readHexLenient(shown) == config::readHexLenient(typed);
    const auto a = config::readNumberStrict(shown);
    const auto b = config::readNumberStrict(typed);
    return a && b && *a == *b;
}

// The boxes whose typed text must also have become the level bytes beside them.
bool isPsdText(const std::string& name) {
    return name == "Max_PSD" || name == "Min_PSD";
}

} // namespace

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    const auto p = std::filesystem::absolute(std::filesystem::path(path), ec);
    return ec ? path : p.lexically_normal().string();
}

int productFor(const Arguments& args, const std::vector<std::string>& namesToTry) {
    if (args.product) return *args.product;
    for (const std::string& name : namesToTry) {
        const int mode = app::modeFromCommandLine(absolutePath(name));
        if (mode != 0) return mode;
    }
    throw CommandFailure{2, "no product: give --product 1..4, or a file whose name's third and "
                            "fourth characters name it (MB, UB, MP or UP)"};
}

Session::Session(Console& console, int mode)
    : console_(console), mode_(mode), platform_(/*manualClock=*/false) {
    platform_.port = std::make_unique<ui::QtSerialPort>();
    platform_.boxes.defaultAnswer = answerFor;
    platform_.boxes.onShow = [this](const ui::RecordedBox& box) {
        console_.message(box.title, box.text, box.detail);
    };
    if (const image::Product* p = image::productForMode(mode)) {
        welcome_.InterfaceOption.userPick(std::string(p->productCode));
        welcome_.onContinueClick();
    }
    main_ = std::make_unique<app::MainForm>(platform_, welcome_, app::defaultConfigFactory());
    if (!main_->onLoad() || !main_->configForm())
        throw CommandFailure{2, "product " + std::to_string(mode) + " could not be started"};
}

Session::~Session() = default;

config::ConfigForm& Session::form() {
    return *main_->configForm();
}

void Session::open(const std::string& path) {
    const std::string full = absolutePath(path);
    std::error_code ec;
    if (!std::filesystem::exists(full, ec))
        throw CommandFailure{2,
                             "cannot open '" + path + "': " + (ec ? ec.message() : "no such file")};
    const std::size_t before = boxes().size();
    platform_.files.answers.clear();
    platform_.files.answers.emplace_back(full);
    main_->onOpenCommand();
    platform_.files.answers.clear();
    bool failed = main_->run.sourceFile != full || !main_->Create.enabled();
    for (std::size_t i = before; i < boxes().size(); ++i) {
        const ui::RecordedBox& b = boxes()[i];
        if (b.title == "Invalid patch version" || b.title == "Bad patch file" ||
            startsWith(b.text, "Error Loading Patch File"))
            failed = true;
    }
    if (failed) {
        // The window's box names the file; the reason comes from reading it once more.
        std::string why;
        image::readPatchFile(full, &why);
        throw CommandFailure{2, "'" + path + "' was not loaded" + (why.empty() ? "" : ": " + why)};
    }
    if (!main_->openWarning().empty())
        console_.error("warning: '" + path + "' " + main_->openWarning());
    // The configuration window as "&Configurations" shows it, ready for the edits.
    main_->DigitalCommand.userClick();
}

void Session::pressDefault() {
    auto* button = dynamic_cast<ui::Button*>(form().find("Default"));
    if (!button) throw CommandFailure{2, "the window has no \"Default\" button"};
    // The user reaches the button even where a layout hides its frame.
    if (!form().setFocus(button))
        throw CommandFailure{2, "\"Default\" could not be pressed: a field refused to be left"};
    button->click();
    form().leave();
}

std::vector<std::string> Session::fieldNames() {
    std::vector<std::string> names = form().boundFieldNames();
    for (const char* extra :
         {"UART_Rate", "DownBitrate", "UpBitrate", "Max_PSD", "Min_PSD", "AFEControl"}) {
        if (std::find(names.begin(), names.end(), extra) == names.end() &&
            form().findByFullName(extra))
            names.emplace_back(extra);
    }
    return names;
}

std::string Session::shownText(const std::string& name) {
    return form().fieldText(name).value_or(std::string());
}

std::vector<std::pair<std::string, std::string>> Session::shownFields() {
    std::vector<std::pair<std::string, std::string>> r;
    for (const std::string& n : fieldNames())
        r.emplace_back(n, shownText(n));
    return r;
}

void Session::applyEdit(const FieldEdit& edit) {
    const std::string& name = edit.name;
    const std::string& value = edit.value;
    const std::string what = name + "=" + value;
    config::ConfigForm& f = form();
    auto refused = [&](const std::string& why) { return CommandFailure{2, what + ": " + why}; };

    if (name == "DownCarrierScroll" || name == "UpCarrierScroll") {
        auto* arrows = dynamic_cast<ui::UpDown*>(f.find(name));
        if (!arrows) throw refused("the window has no such arrows");
        bool clicked = false;
        if (value == "up")
            clicked = arrows->userUp();
        else if (value == "down")
            clicked = arrows->userDown();
        else
            throw refused("the arrows take up or down");
        // A pick is not followed by leaving: the next edit's focus change, or "Done", checks.
        if (!clicked) throw refused("the arrow could not be clicked");
        return;
    }

    const std::vector<std::string> names = fieldNames();
    ui::Control* c = f.findByFullName(name);
    if (!c || std::find(names.begin(), names.end(), name) == names.end())
        throw CommandFailure{2, "unknown field '" + name + "'"};
    if (!c->enabled()) throw refused("the field is disabled");

    switch (c->kind()) {
    case ui::ControlKind::TextBox: {
        auto& box = static_cast<ui::TextBox&>(*c);
        if (box.readOnly()) throw refused("the field is read-only");
        if (box.maxLength() > 0 && static_cast<int>(value.size()) > box.maxLength())
            throw refused("longer than the field's " + std::to_string(box.maxLength()) +
                          " characters");
        for (unsigned char ch : value)
            if (ch < 32 || ch > 126) throw refused("only printable ASCII characters can be typed");
        if (!f.typeText(box, value)) throw refused("the field could not be entered");
        if (!f.leave()) throw refused("not accepted");
        // The edit holds, or it is refused: the window may have altered or not taken it.
        if (!holdsValue(box.text(), value)) throw refused("the window shows " + box.text());
        if (isPsdText(name) && !box.problem().empty()) throw refused("not converted into a level");
        return;
    }
    case ui::ControlKind::ComboBox: {
        auto& list = static_cast<ui::ComboBox&>(*c);
        if (std::find(list.items().begin(), list.items().end(), value) == list.items().end()) {
            std::string items;
            for (const std::string& i : list.items())
                items += (items.empty() ? "" : ", ") + i;
            throw refused("not an item of the list (" + items + ")");
        }
        if (!f.setFocus(&list)) throw refused("the field could not be entered");
        list.userPick(value);
        return;
    }
    case ui::ControlKind::CheckBox: {
        auto& box = static_cast<ui::CheckBox&>(*c);
        if (value != "0" && value != "1") throw refused("a check box takes 0 or 1");
        const int wanted = value[0] - '0';
        if (box.value() != wanted) box.userClick();
        if (box.value() != wanted) throw refused("not accepted");
        return;
    }
    default:
        throw refused("the field shows a computed value and cannot be edited");
    }
}

void Session::applyReserved(const ReservedEdit& edit) {
    const std::string what = "--reserved " + edit.address + "=" + edit.value;
    if (!image::isBPlus(mode_))
        throw CommandFailure{2, what + ": products 1 and 2 have no reserved-area editor"};
    if (!parseHexByte(edit.address))
        throw CommandFailure{2, what + ": the address must be 00..FF (hexadecimal)"};
    if (!parseHexByte(edit.value))
        throw CommandFailure{2, what + ": the value must be 00..FF (hexadecimal)"};
    main_->User.userClick();
    app::UserForm& u = main_->userForm();
    if (!u.typeText(u.Addres, edit.address) || !u.typeText(u.Value, edit.value) ||
        !u.Apply.userClick() || !u.Notice.caption().empty())
        throw CommandFailure{
            2, what + ": not stored" +
                   (u.Notice.caption().empty() ? "" : " (" + u.Notice.caption() + ")")};
}

void Session::done() {
    // Pressed as a user presses it: the field that has the focus is left first and checked
    // as the window checks it.
    auto* button = dynamic_cast<ui::Button*>(form().find("WriteReturn"));
    if (!button) throw CommandFailure{2, "the window has no \"Done\" button"};
    form().show(); // up, as "&Configurations" left it: a passed check hides it
    if (!button->userClick() || form().visible())
        throw CommandFailure{2, "the configuration did not pass the \"Done\" check"};
}

void Session::confirmStorable() {
    if (!form().confirmStorable())
        throw CommandFailure{2, "stopped before anything was written: a value cannot be stored"};
}

void Session::save(const std::string& path) {
    const std::string full = absolutePath(path);
    const std::size_t before = boxes().size();
    platform_.files.answers.clear();
    // A refused name brings the dialog back; the second time it is cancelled.
    platform_.files.answers.emplace_back(full);
    platform_.files.answers.emplace_back(std::nullopt);
    const bool written = main_->onCreateClick();
    platform_.files.answers.clear();
    for (std::size_t i = before; i < boxes().size(); ++i)
        if (boxes()[i].title == "Mismatch file name")
            throw CommandFailure{2, "'" + path + "' was not written: its name must begin with " +
                                        main_->run.fileModeCode};
    if (!written) throw CommandFailure{2, "'" + path + "' was not written"};
}

} // namespace rw::cli

#include "app/user_form.h"

#include "app/run_state.h"
#include "config/general_module.h"

namespace rw::app {

UserForm::UserForm(image::ConfigModule& cm, ui::Flag& formChange)
    : ui::Form("UserForm", "Reserved Area"), Label1(add<ui::Label>("Label1")),
      Addres(add<ui::TextBox>("Addres")), Label2(add<ui::Label>("Label2")),
      Value(add<ui::TextBox>("Value")), Apply(add<ui::Button>("Apply")),
      Clear(add<ui::Button>("Clear")), Notice(add<ui::Label>("Notice")), cm_(cm),
      formChange_(formChange) {
    fileBytes_.fill(0xFF);
    Label1.setCaption("Address");
    Addres.setText("0");
    Label2.setCaption("Data");
    Value.setText("0");
    Apply.setCaption("Apply");
    Clear.setCaption("Clear");

    setSize(280, 170);
    Label1.setGeometry(16, 20, 70, 20);
    Addres.setGeometry(90, 16, 60, 24);
    Label2.setGeometry(16, 56, 70, 20);
    Value.setGeometry(90, 52, 60, 24);
    Apply.setGeometry(170, 16, 90, 28);
    Clear.setGeometry(170, 52, 90, 28);
    Notice.setGeometry(16, 100, 248, 40);

    Apply.onClick = [this] { onApplyClick(); };
    Clear.onClick = [this] { onClearClick(); };
}

void UserForm::onLoad() {
    Addres.setText("0");
    Value.setText(config::Hex(shownByte(0)));
    Notice.setCaption("");
}

void UserForm::fileOpened(const image::Image& file) {
    for (std::size_t i = 0; i < fileBytes_.size(); ++i)
        fileBytes_[i] = file[image::kReservedOffset + i];
}

bool UserForm::userSet(int address) const {
    return address >= 0 && address < image::kReservedSize &&
           userSet_.test(static_cast<std::size_t>(address));
}

std::uint8_t UserForm::shownByte(int address) const {
    const auto a = static_cast<std::size_t>(address);
    return userSet(address) ? cm_.reservedArea[a] : fileBytes_[a];
}

bool UserForm::onApplyClick() {
    const long long a = config::readHexLenient(Addres.text());
    if (a < 0 || a > 0xFF) {
        Notice.setCaption("Address out of range: 00..FF");
        return false;
    }
    const long long v = config::readHexLenient(Value.text());
    if (v < 0 || v > 0xFF) {
        Notice.setCaption("Data out of range: 00..FF");
        return false;
    }
    // An edit that changes what saving writes is unsaved work.
    if (shownByte(static_cast<int>(a)) != v) formChange_ = true;
    cm_.reservedArea[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(v);
    userSet_.set(static_cast<std::size_t>(a));
    Notice.setCaption("");
    return true;
}

void UserForm::onClearClick() {
    for (int a = 0; a < image::kReservedSize; ++a)
        if (shownByte(a) != 0xFF) formChange_ = true;
    cm_.fillReservedArea();
    userSet_.set();
    Value.setText(config::Hex(shownByte(0)));
    Notice.setCaption("");
}

} // namespace rw::app

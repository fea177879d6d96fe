// The reserved-area editor: single bytes of the 256-byte area that a B+ save writes at the
// end of the image.
#pragma once

#include "image/config_module.h"
#include "ui/controls.h"

namespace rw::app {

class UserForm : public ui::Form {
public:
    explicit UserForm(image::ConfigModule& cm);

    ui::Label& Label1;
    ui::TextBox& Addres;
    ui::Label& Label2;
    ui::TextBox& Value;
    ui::Button& Apply;
    ui::Button& Clear;
    // Why the last Apply stored nothing; empty otherwise.
    ui::Label& Notice;

    // A fresh load: address 0 and the byte stored there.
    void Form_Load();
    // Stores Value at Addres; false (and a notice) when either is outside 00..FF.
    bool Apply_Click();
    // Every byte back to FF; shows the byte at address 0 again.
    void Clear_Click();
    // Closed by the window frame: the next showing loads afresh.
    void closedByFrame() { hide(); }

private:
    image::ConfigModule& cm_;
};

} // namespace rw::app

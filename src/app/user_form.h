// The reserved-area editor: single bytes of the 256-byte area that a B+ save writes at the
// end of the image. Only the bytes the user set are laid over the saved copy; the others keep
// the opened file's bytes.
#pragma once

#include "image/config_module.h"
#include "ui/controls.h"

#include <bitset>

namespace rw::app {

class UserForm : public ui::Form {
public:
    // `formChange` is set when an edit changes a byte that saving writes.
    UserForm(image::ConfigModule& cm, ui::Flag& formChange);

    ui::Label& Label1;
    ui::TextBox& Addres;
    ui::Label& Label2;
    ui::TextBox& Value;
    ui::Button& Apply;
    ui::Button& Clear;
    // Why the last Apply stored nothing; empty otherwise.
    ui::Label& Notice;

    // A fresh load: address 0 and the byte stored there.
    void onLoad();
    // Stores Value at Addres; false (and a notice) when either is outside 00..FF.
    bool onApplyClick();
    // Every byte back to FF; shows the byte at address 0 again.
    void onClearClick();
    // Closed by the window frame: the next showing loads afresh.
    void closedByFrame() { hide(); }

    // A patch file was opened: the editor shows its bytes where the user set none.
    void fileOpened(const image::Image& file);
    // Whether the user set the byte at an address (by Apply, or all of them by Clear).
    bool userSet(int address) const;
    // The byte at an address as saving would write it.
    std::uint8_t shownByte(int address) const;

private:
    image::ConfigModule& cm_;
    ui::Flag& formChange_;
    std::bitset<image::kReservedSize> userSet_;
    std::array<std::uint8_t, image::kReservedSize> fileBytes_{};
};

} // namespace rw::app

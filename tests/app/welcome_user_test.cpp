// The welcome window's choice of product and the reserved-area editor, on their own models.
#include "app/user_form.h"
#include "app/welcome_form.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace rw;

TEST(WelcomeWindow, ListStartsAtItsPreselectedRowAndContinueGivesTheRowsMode) {
    // "": the preselected row; a text that is no row (one blank only) leaves the mode at 0.
    for (auto [row, mode] : {std::pair{"", 3},
                             {"KRB22812  V2.1", 2},
                             {"KRX22822  V1.2", 1},
                             {"KRX22812  V2.2", 4},
                             {"KRX22822  V2.2", 3},
                             {"KRX22822 V2.2", 0}}) {
        SCOPED_TRACE(row);
        app::WelcomeForm w;
        int shown = 0;
        w.onShowMain = [&] { ++shown; };
        EXPECT_FALSE(w.onLoad(""));
        EXPECT_EQ(shown, 0);
        EXPECT_TRUE(w.visible());
        EXPECT_EQ(w.InterfaceOption.text(), "KRX22822  V2.2");
        if (mode == 0) w.InterfaceOption.setText(row);
        EXPECT_TRUE(mode == 0 || !*row || w.InterfaceOption.userPick(row));
        w.Continue.userClick();
        EXPECT_EQ(std::tuple(w.currentMode, shown, w.visible(), w.patchLoadMode),
                  std::tuple(mode, 1, false, false));
    }
}

TEST(WelcomeWindow, CommandLineThatNamesAProductSkipsTheWindow) {
    // Which names give a product is tested on the command-line rule itself.
    for (auto [line, mode] : {std::pair{"C:\\data\\E2UP_x.bin", 4}, {"E2MB_x.bin", 0}}) {
        SCOPED_TRACE(line);
        app::WelcomeForm w;
        int shown = 0;
        w.onShowMain = [&] { ++shown; };
        EXPECT_EQ(w.onLoad(line), mode != 0);
        EXPECT_EQ(std::tuple(shown, w.currentMode, w.patchLoadMode, w.commandLineText, w.visible()),
                  std::tuple(mode != 0 ? 1 : 0, mode, mode != 0, line, mode == 0));
    }
}

// One editor through a session: each row an Apply (or a Clear) and what it leaves.
TEST(UserWindow, ApplyAndClearStoreRefuseAndMarkTheChange) {
    image::ConfigModule cm;
    cm.fillReservedArea();
    ui::Flag changed;
    app::UserForm u{cm, changed};
    u.onLoad();
    EXPECT_EQ(std::tuple(u.Addres.text(), u.Value.text()), std::tuple("0", "FF"));
    // address nullptr: Clear; byte: what is stored at `at` (at every address after a Clear)
    const std::tuple<const char*, const char*, bool, int, int, bool, const char*> steps[] = {
        {"1A", "5", true, 0x1A, 0x05, true, ""},
        {"1A", "05", true, 0x1A, 0x05, false, ""}, // the same byte again
        {"1B", "ff", true, 0x1B, 0xFF, false, ""}, // the byte it already is
        {"10", "ab", true, 16, 0xAB, true, ""},    // hexadecimal: byte 16, not 10
        {"0", "", true, 0, 0x00, true, ""},        // an empty value stores 00
        {" 2 0", "7Z", true, 0x20, 0x07, true, ""},
        {"100", "5", false, 0, 0, false, "Address out of range: 00..FF"},
        {"1", "1FF", false, 0, 0, false, "Data out of range: 00..FF"},
        {"1", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", false, 0, 0, false, "Data out of range: 00..FF"},
        {"FF", "C", true, 0xFF, 0x0C, true, ""},
        {nullptr, nullptr, true, -1, 0xFF, true, ""},
        {nullptr, nullptr, true, -1, 0xFF, false, ""}, // nothing left to clear
    };
    for (const auto& [address, value, ok, at, byte, marks, notice] : steps) {
        SCOPED_TRACE(address ? std::string(address) + "=" + value : "Clear");
        const auto before = cm.reservedArea;
        changed = false;
        if (address) {
            u.typeText(u.Addres, address);
            u.typeText(u.Value, value);
            EXPECT_EQ(u.onApplyClick(), ok);
        } else {
            u.Clear.userClick();
        }
        EXPECT_EQ(static_cast<bool>(changed), marks);
        EXPECT_EQ(u.Notice.caption(), notice);
        auto want = before;
        if (at >= 0 && ok) want[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(byte);
        if (at < 0) want.fill(0xFF);
        EXPECT_EQ(cm.reservedArea, want);
    }
    // Clear leaves the address and shows byte 0; a fresh load shows address 0 and its byte.
    u.typeText(u.Addres, "33");
    u.Clear.userClick();
    EXPECT_EQ(std::tuple(u.Addres.text(), u.Value.text()), std::tuple("33", "FF"));
    u.typeText(u.Addres, "0");
    u.typeText(u.Value, "9");
    u.onApplyClick();
    u.typeText(u.Addres, "100");
    u.onApplyClick();
    u.onLoad();
    EXPECT_EQ(std::tuple(u.Addres.text(), u.Value.text(), u.Notice.caption()),
              std::tuple("0", "9", ""));
}

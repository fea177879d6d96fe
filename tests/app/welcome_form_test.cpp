#include "app_fixture.h"

using namespace rw;
using rw::testing::AppHarness;

TEST(WelcomeForm, ControlsAndPreselection) {
    app::WelcomeForm w;
    EXPECT_EQ(w.caption(), "Romwright");
    EXPECT_EQ(w.Label1.caption(), "Welcome to Romwright");
    EXPECT_EQ(w.Label2.caption(), "Please select the product :");
    EXPECT_EQ(w.Continue.caption(), "Continue");
    const std::vector<std::string> rows{"KRB22812  V2.1", "KRX22822  V1.2", "KRX22812  V2.2",
                                        "KRX22822  V2.2"};
    EXPECT_EQ(w.InterfaceOption.items(), rows);
    bool shownMain = false;
    w.onShowMain = [&] { shownMain = true; };
    EXPECT_FALSE(w.onLoad(""));
    EXPECT_FALSE(shownMain);
    EXPECT_TRUE(w.visible());
    EXPECT_EQ(w.InterfaceOption.text(), "KRX22822  V2.2");
    EXPECT_EQ(w.InterfaceOption.listIndex(), 3);
    EXPECT_FALSE(w.patchLoadMode);
}

TEST(WelcomeForm, ContinueGivesTheSelectedRowsMode) {
    // "" : the preselected row; a text that is no row (one blank only) leaves the mode at 0.
    const std::pair<const char*, int> rows[] = {{"", 3},
                                                {"KRB22812  V2.1", 2},
                                                {"KRX22822  V1.2", 1},
                                                {"KRX22812  V2.2", 4},
                                                {"KRX22822  V2.2", 3},
                                                {"KRX22822 V2.2", 0}};
    for (auto [row, mode] : rows) {
        SCOPED_TRACE(row);
        app::WelcomeForm w;
        int shown = 0;
        w.onShowMain = [&] { ++shown; };
        w.onLoad("");
        if (mode == 0) w.InterfaceOption.setText(row);
        EXPECT_TRUE(mode == 0 || !*row || w.InterfaceOption.userPick(row));
        w.Continue.userClick();
        EXPECT_EQ(w.currentMode, mode);
        EXPECT_EQ(shown, 1);
        EXPECT_FALSE(w.visible());
        EXPECT_FALSE(w.patchLoadMode);
    }
}

TEST(WelcomeForm, CommandLineSelectsAndSetsPatchLoadMode) {
    const std::pair<std::string, int> cases[] = {{"C:\\data\\E2UP_x.bin", 4},
                                                 {"C:\\data\\e2mb_x.bin", 1},
                                                 {"C:\\data\\XYUP.bin", 4},
                                                 {"C:\\data\\E2MP_x.bin", 3},
                                                 {"C:\\data\\E2UB_x.bin", 2}};
    for (const auto& [line, mode] : cases) {
        app::WelcomeForm w;
        int shown = 0;
        w.onShowMain = [&] { ++shown; };
        EXPECT_TRUE(w.onLoad(line)) << line;
        EXPECT_EQ(shown, 1);
        EXPECT_EQ(w.currentMode, mode);
        EXPECT_TRUE(w.patchLoadMode);
        EXPECT_EQ(w.commandLineText, line);
        EXPECT_FALSE(w.visible());
    }
}

TEST(WelcomeForm, CommandLineSelectingNothingShowsTheWindow) {
    for (const std::string line : {"C:\\data\\E2XB.bin", "E2MB_x.bin", "E", "C:\\data\\"}) {
        app::WelcomeForm w;
        int shown = 0;
        w.onShowMain = [&] { ++shown; };
        EXPECT_FALSE(w.onLoad(line)) << line;
        EXPECT_EQ(shown, 0);
        EXPECT_TRUE(w.visible());
        EXPECT_FALSE(w.patchLoadMode);
        EXPECT_EQ(w.currentMode, 0);
        EXPECT_EQ(w.InterfaceOption.text(), "KRX22822  V2.2");
    }
}

#ifndef _WIN32
TEST(WelcomeForm, RelativeCommandLinePathLoadsTheFile) {
    AppHarness h;
    const auto img = image::makeSampleImage(1);
    rw::testing::writeImage(h.dir.file("E2MB_x.bin"), img);
    const std::string line = app::commandLineFromArgs({"E2MB_x.bin"}, h.dir.str());
    EXPECT_TRUE(h.welcome.onLoad(line));
    ASSERT_TRUE(h.main);
    EXPECT_EQ(h.main->run.currentMode, 1);
    EXPECT_EQ(h.main->run.pathOfFile, h.dir.file("E2MB_x.bin"));
    EXPECT_EQ(h.form->loads, 1);
    EXPECT_TRUE(h.platform.files.calls.empty()); // no dialog
    EXPECT_FALSE(h.welcome.patchLoadMode);
}
#endif

#include "app_fixture.h"

using namespace rw;
using rw::testing::AppHarness;
using rw::testing::patternImage;
using rw::testing::writeBytes;

namespace {

// The positions (1-based) each product's PatchBytes slots are read from.
std::vector<std::pair<int, int>> slotPositions(int mode) {
    std::vector<std::pair<int, int>> r;
    const int b[] = {4,  5,  6,  7,  8,  9,  10, 11, 12, 18, 19, 20, 21, 22, 23,
                     24, 25, 26, 27, 28, 29, 30, 31, 33, 39, 40, 42, 43, 51};
    const int bp[] = {33, 34, 35, 36, 37, 38, 39, 40, 41, 47, 48, 49, 50, 51, 52,
                      53, 54, 55, 56, 57, 58, 59, 60, 62, 68, 69, 71, 72, 80};
    for (int s = 0; s <= 28; ++s)
        r.push_back({s, app::isBPlus(mode) ? bp[s] : b[s]});
    if (mode == 1) {
        r.push_back({30, 34});
        r.push_back({31, 35});
    }
    if (mode == 2) r.push_back({44, 32});
    if (mode == 4) r.push_back({44, 61});
    if (mode == 3) {
        const int p[] = {97, 98, 99, 102, 103, 104, 106, 613, 614, 615, 616, 617};
        for (int i = 0; i < 12; ++i)
            r.push_back({32 + i, p[i]});
    }
    return r;
}

const char* codeOf(int mode) {
    return app::productForMode(mode)->modeCode;
}

} // namespace

TEST(OpenCommand, FilterProposedNameAndButtons) {
    AppHarness h;
    h.startMode(1);
    h.openFile("E2MB_a.bin", image::makeSampleImage(1));
    ASSERT_EQ(h.platform.files.calls.size(), 1u);
    EXPECT_FALSE(h.platform.files.calls[0].save);
    EXPECT_EQ(h.platform.files.calls[0].filter, "Patch File (E2MB*.bin) |E2MB*.bin");
    EXPECT_EQ(h.platform.files.calls[0].proposedName, "");
    EXPECT_TRUE(h.main->Create.enabled());
    EXPECT_TRUE(h.main->DigitalCommand.enabled());
    EXPECT_TRUE(h.main->Dump.enabled());
    EXPECT_EQ(h.main->run.PathOfFile, h.dir.file("E2MB_a.bin"));
    EXPECT_EQ(h.main->run.SourceFile, h.dir.file("E2MB_a.bin"));
    EXPECT_EQ(h.form->loads, 1);
    EXPECT_TRUE(h.form->loadingDuringLoad);
    EXPECT_FALSE(h.form->Loading);
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    // The next dialog proposes the mode code.
    h.platform.files.answers.push_back(std::nullopt);
    h.main->OpenCommand.userClick();
    EXPECT_EQ(h.platform.files.calls.back().proposedName, "E2MB");
}

TEST(OpenCommand, PatchBytesPerProduct) {
    for (int mode = 1; mode <= 4; ++mode) {
        AppHarness h;
        h.startMode(mode);
        const auto img = patternImage(static_cast<std::uint8_t>(mode));
        h.openFile(std::string(codeOf(mode)) + "_p.bin", img);
        ASSERT_EQ(h.form->loads, 1);
        for (auto [slot, pos] : slotPositions(mode))
            EXPECT_EQ(h.form->patchAtLoad[static_cast<std::size_t>(slot)],
                      img[static_cast<std::size_t>(pos - 1)])
                << "mode " << mode << " slot " << slot;
        EXPECT_EQ(h.form->patchAtLoad[29], img[1]);
        EXPECT_EQ(h.main->cm.PatchVersion, img[1]);
        // Slots the product does not read keep their contents (0 at start).
        std::vector<bool> read(45, false);
        for (auto [slot, pos] : slotPositions(mode))
            read[static_cast<std::size_t>(slot)] = true;
        read[29] = true;
        for (int s = 0; s < 45; ++s) {
            if (!read[static_cast<std::size_t>(s)]) {
                EXPECT_EQ(h.form->patchAtLoad[static_cast<std::size_t>(s)], 0)
                    << "mode " << mode << " slot " << s;
            }
        }
    }
}

TEST(OpenCommand, VersionByteToAboutBox) {
    AppHarness h;
    h.startMode(3);
    EXPECT_EQ(h.main->about().EEPROMversion.caption(), "");
    auto img = image::makeSampleImage(3);
    img[1] = 0x0A;
    h.openFile("E2MP_a.bin", img);
    EXPECT_EQ(h.main->about().EEPROMversion.caption(), "A");
    EXPECT_EQ(h.main->cm.PatchVersion, 0x0A);
    img[1] = 0x00;
    h.openFile("E2MP_b.bin", img);
    EXPECT_EQ(h.main->about().EEPROMversion.caption(), "0");
    img[1] = 0xED;
    h.openFile("E2MP_c.bin", img);
    EXPECT_EQ(h.main->about().EEPROMversion.caption(), "ED");
}

TEST(OpenCommand, GenerationRefusal) {
    for (int mode : {1, 2}) {
        for (const char* name : {"E2MP_a.bin", "E2up_a.bin"}) {
            AppHarness h;
            h.startMode(mode);
            h.openFile(name, image::makeSampleImage(3));
            ASSERT_EQ(h.boxCount(), 1u) << name;
            EXPECT_EQ(h.lastBox()->text, "This patch does not match this application");
            EXPECT_EQ(h.lastBox()->title, "Invalid patch version");
            EXPECT_EQ(h.lastBox()->buttons, ui::Buttons::OK);
            EXPECT_EQ(h.form->loads, 0);
            EXPECT_TRUE(h.main->run.PathOfFile.empty());
            EXPECT_TRUE(h.main->run.SourceFile.empty());
            EXPECT_FALSE(h.main->Create.enabled());
            EXPECT_FALSE(h.form->Loading);
        }
    }
}

TEST(OpenCommand, OnlyTheGenerationLetterIsTested) {
    // B+ products take a B name; a fourth character neither B nor P passes; the interface
    // letter is not looked at.
    for (auto [mode, name] : std::vector<std::pair<int, std::string>>{
             {3, "E2MB_a.bin"}, {4, "E2MX_a.bin"}, {1, "E2UB_a.bin"}, {2, "E2MX_a.bin"}}) {
        AppHarness h;
        h.startMode(mode);
        h.openFile(name, image::makeSampleImage(mode));
        EXPECT_TRUE(h.platform.boxes.shown.empty()) << name;
        EXPECT_EQ(h.form->loads, 1) << name;
    }
}

TEST(OpenCommand, CancelChangesNothing) {
    AppHarness h;
    h.startMode(2);
    const auto first = h.openFile("E2UB_a.bin", image::makeSampleImage(2));
    h.main->run.FormChange = true;
    const auto before = h.main->cm.PatchBytes;
    h.main->OpenCommand.userClick(); // empty queue: cancel
    EXPECT_EQ(h.main->run.PathOfFile, first);
    EXPECT_EQ(h.main->run.SourceFile, first);
    EXPECT_TRUE(h.main->run.FormChange);
    EXPECT_EQ(h.main->cm.PatchBytes, before);
    EXPECT_EQ(h.form->loads, 1);
    EXPECT_FALSE(h.form->Loading);
    EXPECT_TRUE(h.platform.boxes.shown.empty());
}

TEST(OpenCommand, SourceFileSwitchQuestion) {
    // No: nothing saved, the chosen file loads.
    {
        AppHarness h;
        h.startMode(1);
        h.openFile("E2MB_a.bin", image::makeSampleImage(1));
        h.main->run.FormChange = true;
        h.platform.boxes.answers = {ui::Answer::No};
        const auto second = h.openFile("E2MB_b.bin", patternImage(9));
        ASSERT_EQ(h.boxCount(), 1u);
        EXPECT_EQ(h.lastBox()->title, "Source file switch");
        EXPECT_EQ(
            h.lastBox()->text,
            "The parameters in configuration form have changed.\rDo you wish to save changes ?");
        EXPECT_EQ(h.lastBox()->buttons, ui::Buttons::YesNo);
        EXPECT_EQ(h.lastBox()->icon, ui::Icon::Question);
        EXPECT_EQ(h.platform.files.calls.size(), 2u); // no Save dialog
        EXPECT_FALSE(h.main->run.FormChange);
        EXPECT_EQ(h.main->run.PathOfFile, second);
        EXPECT_EQ(h.form->loads, 2);
    }
    // Yes: saves first (from the old source), then still loads the chosen file.
    {
        AppHarness h;
        h.startMode(1);
        const auto oldImg = image::makeSampleImage(1);
        h.openFile("E2MB_a.bin", oldImg);
        h.main->run.FormChange = true;
        h.platform.boxes.answers = {ui::Answer::Yes};
        const auto chosen = h.dir.file("E2MB_b.bin");
        rw::testing::writeImage(chosen, patternImage(9));
        h.platform.files.answers.push_back(chosen);
        h.platform.files.answers.push_back(h.dir.file("E2MB_saved.bin"));
        h.main->OpenCommand.userClick();
        ASSERT_EQ(h.platform.files.calls.size(), 3u);
        EXPECT_TRUE(h.platform.files.calls[2].save);
        const auto saved = rw::testing::readBytes(h.dir.file("E2MB_saved.bin"));
        ASSERT_EQ(saved.size(), 8192u);
        EXPECT_EQ(saved[1], oldImg[1]);
        EXPECT_EQ(h.main->run.PathOfFile, chosen);
        EXPECT_EQ(h.main->run.SourceFile, chosen);
        EXPECT_FALSE(h.main->run.FormChange);
        EXPECT_EQ(h.form->loads, 2);
        EXPECT_EQ(h.form->patchAtLoad[29], patternImage(9)[1]);
    }
    // Yes with a cancelled save still loads, and no question without changes.
    {
        AppHarness h;
        h.startMode(1);
        h.openFile("E2MB_a.bin", image::makeSampleImage(1));
        h.main->run.FormChange = true;
        h.platform.boxes.answers = {ui::Answer::Yes};
        const auto second = h.openFile("E2MB_b.bin", patternImage(3));
        EXPECT_EQ(h.main->run.PathOfFile, second);
        EXPECT_FALSE(h.main->run.FormChange);
        h.platform.boxes.shown.clear();
        h.openFile("E2MB_c.bin", patternImage(4));
        EXPECT_TRUE(h.platform.boxes.shown.empty());
    }
}

TEST(OpenCommand, CommandLineStartLoadsWithoutQuestionOrCheck) {
    AppHarness h;
    const auto path = h.dir.file("E2UP_cmd.bin");
    const auto img = image::makeSampleImage(4);
    rw::testing::writeImage(path, img);
    h.welcome.Form_Load(path);
    ASSERT_TRUE(h.started);
    EXPECT_EQ(h.main->run.CurrentMode, 4);
    EXPECT_TRUE(h.platform.files.calls.empty());
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    EXPECT_EQ(h.main->run.PathOfFile, path);
    EXPECT_EQ(h.main->run.SourceFile, path);
    EXPECT_FALSE(h.welcome.Patch_Load_Mode);
    EXPECT_EQ(h.form->loads, 1);
    EXPECT_EQ(h.form->patchAtLoad[44], img[60]);
    EXPECT_EQ(h.main->about().EEPROMversion.caption(), "12");
    EXPECT_TRUE(h.main->Dump.enabled());
    // The next Open asks again.
    h.platform.files.answers.push_back(std::nullopt);
    h.main->OpenCommand.userClick();
    EXPECT_EQ(h.platform.files.calls.size(), 1u);
}

TEST(OpenCommand, UnreadableFilesGiveErrorLoading) {
    AppHarness h;
    h.startMode(1);
    std::filesystem::create_directories(h.dir.file("E2MB_dir.bin"));
    for (const std::string& path :
         std::vector<std::string>{h.dir.file("E2MB_missing.bin"), h.dir.file("E2MB_dir.bin")}) {
        h.platform.boxes.shown.clear();
        h.platform.files.answers.push_back(path);
        h.main->OpenCommand.userClick();
        ASSERT_EQ(h.boxCount(), 1u) << path;
        EXPECT_EQ(h.lastBox()->text, "Error Loading Patch File : \r" + path);
        EXPECT_EQ(h.lastBox()->title, "Romwright");
        EXPECT_EQ(h.lastBox()->buttons, ui::Buttons::OK);
        EXPECT_EQ(h.lastBox()->icon, ui::Icon::Critical);
        EXPECT_EQ(h.main->run.PathOfFile, path);
        EXPECT_EQ(h.main->run.SourceFile, path);
        EXPECT_TRUE(h.main->Create.enabled());
        EXPECT_EQ(h.form->loads, 0);
        EXPECT_FALSE(h.form->Loading);
    }
}

TEST(OpenCommand, EmptyShortAndLongFiles) {
    AppHarness h;
    h.startMode(3);
    // Empty: every position reads FF.
    writeBytes(h.dir.file("E2MP_empty.bin"), {});
    h.platform.files.answers.push_back(h.dir.file("E2MP_empty.bin"));
    h.main->OpenCommand.userClick();
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    ASSERT_EQ(h.form->loads, 1);
    EXPECT_EQ(h.main->about().EEPROMversion.caption(), "FF");
    for (auto [slot, pos] : slotPositions(3))
        EXPECT_EQ(h.form->patchAtLoad[static_cast<std::size_t>(slot)], 0xFF) << slot;
    // Short: 100 bytes; the PHY bytes at 612..616 lie beyond and read FF.
    std::vector<std::uint8_t> shortFile(100);
    for (std::size_t i = 0; i < shortFile.size(); ++i)
        shortFile[i] = static_cast<std::uint8_t>(i);
    writeBytes(h.dir.file("E2MP_short.bin"), shortFile);
    h.platform.files.answers.push_back(h.dir.file("E2MP_short.bin"));
    h.main->OpenCommand.userClick();
    ASSERT_EQ(h.form->loads, 2);
    EXPECT_EQ(h.form->patchAtLoad[0], 32);
    EXPECT_EQ(h.form->patchAtLoad[32], 96);
    EXPECT_EQ(h.form->patchAtLoad[38], 0xFF); // position 106: offset 105 is beyond
    for (int s = 39; s <= 43; ++s)
        EXPECT_EQ(h.form->patchAtLoad[static_cast<std::size_t>(s)], 0xFF);
    // Long: the first 8192 bytes count.
    auto img = patternImage(5);
    std::vector<std::uint8_t> longFile(img.begin(), img.end());
    longFile.resize(20000, 0x11);
    writeBytes(h.dir.file("E2MP_long.bin"), longFile);
    h.platform.files.answers.push_back(h.dir.file("E2MP_long.bin"));
    h.main->OpenCommand.userClick();
    ASSERT_EQ(h.form->loads, 3);
    EXPECT_EQ(h.form->patchAtLoad[0], img[32]);
    EXPECT_EQ(h.form->patchAtLoad[43], img[616]);
    EXPECT_TRUE(h.platform.boxes.shown.empty());
}

TEST(OpenCommand, FailedWindowLoadDisablesTheButtons) {
    AppHarness h;
    h.startMode(2);
    h.form->failLoad = true;
    h.openFile("E2UB_a.bin", image::makeSampleImage(2));
    EXPECT_FALSE(h.main->Create.enabled());
    EXPECT_FALSE(h.main->Dump.enabled());
    EXPECT_FALSE(h.main->DigitalCommand.enabled());
    EXPECT_FALSE(h.form->Loading);
    h.form->failLoad = false;
    h.openFile("E2UB_b.bin", image::makeSampleImage(2));
    EXPECT_TRUE(h.main->Create.enabled());
}

TEST(OpenCommand, ReservedAreaSurvivesAnotherOpen) {
    AppHarness h;
    h.startMode(4);
    h.openFile("E2UP_a.bin", image::makeSampleImage(4));
    h.main->cm.ReservedArea[7] = 0x42;
    h.openFile("E2UP_b.bin", patternImage(2));
    EXPECT_EQ(h.main->cm.ReservedArea[7], 0x42);
}

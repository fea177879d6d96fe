#include "app_fixture.h"

using namespace rw;
using rw::testing::AppHarness;
using rw::testing::patternImage;
using rw::testing::readBytes;
using rw::testing::writeBytes;

namespace {

// Positions (1-based) the product's window writes into a saved file.
std::vector<int> windowPositions(int mode) {
    std::vector<int> p;
    auto range = [&](int a, int b) {
        for (int i = a; i <= b; ++i)
            p.push_back(i);
    };
    switch (mode) {
    case 1:
        range(4, 12), range(18, 31), p.insert(p.end(), {33, 34, 35, 39, 40, 42, 43, 51});
        break;
    case 2:
        range(4, 12), range(18, 33), p.insert(p.end(), {39, 40, 42, 43, 51});
        break;
    case 3:
        range(33, 41), range(47, 60), p.insert(p.end(), {62, 68, 69, 71, 72, 80});
        range(97, 99), range(102, 104), p.push_back(106), range(613, 617);
        break;
    case 4:
        range(33, 41), range(47, 62), p.insert(p.end(), {68, 69, 71, 72, 80});
        break;
    }
    return p;
}

const char* codeOf(int mode) {
    return app::productForMode(mode)->modeCode;
}

} // namespace

TEST(SaveCommand, OutputBytesPerProductPositionByPosition) {
    for (int mode = 1; mode <= 4; ++mode) {
        AppHarness h;
        h.startMode(mode);
        const auto src = patternImage(static_cast<std::uint8_t>(mode * 3));
        const auto srcPath = h.openFile(std::string(codeOf(mode)) + "_src.bin", src);
        for (int i = 0; i < 256; ++i)
            h.main->cm.ReservedArea[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(255 - i);
        const auto out = h.dir.file(std::string(codeOf(mode)) + "_out.bin");
        h.platform.files.answers.push_back(out);
        h.main->run.FormChange = true;
        EXPECT_TRUE(h.main->Create_Click());
        const auto bytes = readBytes(out);
        ASSERT_EQ(bytes.size(), 8192u);

        std::vector<int> expected(8193, -1);
        for (int pos = 1; pos <= 8192; ++pos)
            expected[static_cast<std::size_t>(pos)] = src[static_cast<std::size_t>(pos - 1)];
        if (app::isBPlus(mode))
            for (int pos = 7937; pos <= 8192; ++pos)
                expected[static_cast<std::size_t>(pos)] = 255 - (pos - 7937);
        for (int pos : windowPositions(mode))
            expected[static_cast<std::size_t>(pos)] = src[static_cast<std::size_t>(pos - 1)] ^ 0xA5;
        for (int pos = 1; pos <= 8192; ++pos)
            ASSERT_EQ(bytes[static_cast<std::size_t>(pos - 1)],
                      expected[static_cast<std::size_t>(pos)])
                << "mode " << mode << " position " << pos;
        EXPECT_EQ(bytes[1], src[1]); // the version byte is copied
        EXPECT_FALSE(h.main->run.FormChange);
        EXPECT_EQ(h.main->run.PathOfFile, out);
        EXPECT_EQ(h.main->run.SourceFile, srcPath);
        EXPECT_EQ(readBytes(srcPath), std::vector<std::uint8_t>(src.begin(), src.end()));
        EXPECT_TRUE(h.platform.boxes.shown.empty());
        EXPECT_EQ(h.platform.files.calls.back().proposedName, codeOf(mode));
        EXPECT_EQ(h.platform.files.calls.back().filter,
                  std::string("Patch File (") + codeOf(mode) + "*.bin) |" + codeOf(mode) + "*.bin");
    }
}

TEST(SaveCommand, ReservedAreaFromEditorReachesOnlyBPlus) {
    for (int mode : {2, 3}) {
        AppHarness h;
        h.startMode(mode);
        const auto src = image::makeSampleImage(mode);
        h.openFile(std::string(codeOf(mode)) + "_s.bin", src);
        h.main->User.setVisible(true);
        h.main->User.userClick();
        auto& u = h.main->userForm();
        u.typeText(u.Addres, "1A");
        u.typeText(u.Value, "5");
        u.Apply.userClick();
        const auto out = h.dir.file(std::string(codeOf(mode)) + "_o.bin");
        h.platform.files.answers.push_back(out);
        ASSERT_TRUE(h.main->Create_Click());
        const auto bytes = readBytes(out);
        EXPECT_EQ(bytes[0x1F1A], mode == 3 ? 0x05 : src[0x1F1A]);
    }
}

TEST(SaveCommand, SecondSaveCopiesFromTheOpenedFile) {
    AppHarness h;
    h.startMode(1);
    const auto src = patternImage(1);
    h.openFile("E2MB_src.bin", src);
    const auto first = h.dir.file("E2MB_1.bin");
    const auto second = h.dir.file("E2MB_2.bin");
    h.platform.files.answers.push_back(first);
    ASSERT_TRUE(h.main->Create_Click());
    // Damage the first saved file: a second save must not read it.
    writeBytes(first, std::vector<std::uint8_t>(8192, 0x00));
    h.platform.files.answers.push_back(second);
    ASSERT_TRUE(h.main->Create_Click());
    const auto bytes = readBytes(second);
    EXPECT_EQ(bytes[100], src[100]);
    EXPECT_EQ(bytes[1], src[1]);
    EXPECT_EQ(h.main->run.PathOfFile, second);
}

TEST(SaveCommand, NameRuleLoopWithCase) {
    AppHarness h;
    h.startMode(1);
    h.openFile("E2MB_src.bin", image::makeSampleImage(1));
    h.platform.files.answers.push_back(h.dir.file("e2mb_lower.bin"));
    h.platform.files.answers.push_back(h.dir.file("new_E2MB.bin"));
    h.platform.files.answers.push_back(h.dir.file("E2MB_ok.bin"));
    EXPECT_TRUE(h.main->Create_Click());
    ASSERT_EQ(h.boxCount(), 2u);
    for (const auto& b : h.platform.boxes.shown) {
        EXPECT_EQ(b.text, "The file must begin with : \r\rE2MB");
        EXPECT_EQ(b.title, "Mismatch file name");
        EXPECT_EQ(b.icon, ui::Icon::Exclamation);
        EXPECT_EQ(b.buttons, ui::Buttons::OK);
    }
    EXPECT_FALSE(std::filesystem::exists(h.dir.file("e2mb_lower.bin")));
    EXPECT_FALSE(std::filesystem::exists(h.dir.file("new_E2MB.bin")));
    EXPECT_TRUE(std::filesystem::exists(h.dir.file("E2MB_ok.bin")));
    // Every dialog proposed the mode code.
    for (std::size_t i = 1; i < h.platform.files.calls.size(); ++i)
        EXPECT_EQ(h.platform.files.calls[i].proposedName, "E2MB");
}

TEST(SaveCommand, MismatchThenCancelWritesNothing) {
    AppHarness h;
    h.startMode(4);
    h.openFile("E2UP_src.bin", image::makeSampleImage(4));
    h.main->run.FormChange = true;
    h.platform.files.answers.push_back(h.dir.file("E2UB_x.bin"));
    EXPECT_FALSE(h.main->Create_Click()); // then the queue cancels
    EXPECT_EQ(h.boxCount(), 1u);
    EXPECT_FALSE(std::filesystem::exists(h.dir.file("E2UB_x.bin")));
    EXPECT_TRUE(h.main->run.FormChange);
    EXPECT_EQ(h.main->run.PathOfFile, h.dir.file("E2UP_src.bin"));
}

TEST(SaveCommand, FolderPartWithModeCodePasses) {
    AppHarness h;
    h.startMode(2);
    h.openFile("E2UB_src.bin", image::makeSampleImage(2));
    std::filesystem::create_directories(h.dir.file("E2UB_folder"));
    const auto out = h.dir.file("E2UB_folder/anything.bin");
    h.platform.files.answers.push_back(out);
    EXPECT_TRUE(h.main->Create_Click());
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    EXPECT_EQ(readBytes(out).size(), 8192u);
}

TEST(SaveCommand, CancelDoesNothing) {
    AppHarness h;
    h.startMode(3);
    h.openFile("E2MP_src.bin", image::makeSampleImage(3));
    h.main->run.FormChange = true;
    EXPECT_FALSE(h.main->Create_Click());
    EXPECT_TRUE(h.main->run.FormChange);
    EXPECT_EQ(h.form->fileWrites, 0);
    EXPECT_TRUE(h.platform.boxes.shown.empty());
}

TEST(SaveCommand, OverTheOpenedFileItself) {
    AppHarness h;
    h.startMode(3);
    const auto src = patternImage(7);
    const auto path = h.openFile("E2MP_self.bin", src);
    h.main->cm.ReservedArea.fill(0x3C);
    h.platform.files.answers.push_back(path);
    ASSERT_TRUE(h.main->Create_Click());
    const auto bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 8192u);
    EXPECT_EQ(bytes[1], src[1]);
    EXPECT_EQ(bytes[200], src[200]);
    EXPECT_EQ(bytes[32], src[32] ^ 0xA5);
    EXPECT_EQ(bytes[8000], 0x3C);
}

TEST(SaveCommand, LongerExistingFileBecomesExactly8192Bytes) {
    AppHarness h;
    h.startMode(1);
    h.openFile("E2MB_src.bin", image::makeSampleImage(1));
    const auto out = h.dir.file("E2MB_long.bin");
    writeBytes(out, std::vector<std::uint8_t>(30000, 0x77));
    h.platform.files.answers.push_back(out);
    ASSERT_TRUE(h.main->Create_Click());
    EXPECT_EQ(readBytes(out).size(), 8192u);
}

TEST(SaveCommand, ShortSourceSavesFFBeyondItsEnd) {
    AppHarness h;
    h.startMode(2);
    writeBytes(h.dir.file("E2UB_short.bin"), std::vector<std::uint8_t>(64, 0x01));
    h.platform.files.answers.push_back(h.dir.file("E2UB_short.bin"));
    h.main->OpenCommand.userClick();
    const auto out = h.dir.file("E2UB_out.bin");
    h.platform.files.answers.push_back(out);
    ASSERT_TRUE(h.main->Create_Click());
    const auto bytes = readBytes(out);
    ASSERT_EQ(bytes.size(), 8192u);
    EXPECT_EQ(bytes[60], 0x01);
    EXPECT_EQ(bytes[64], 0xFF);
    EXPECT_EQ(bytes[8191], 0xFF);
}

TEST(SaveCommand, UnwritableTargetKeepsOldFileAndFlags) {
    AppHarness h;
    h.startMode(4);
    const auto srcPath = h.openFile("E2UP_src.bin", image::makeSampleImage(4));
    h.main->run.FormChange = true;
    // A folder that does not exist, and a target that is an existing folder.
    std::filesystem::create_directories(h.dir.file("E2UP_isdir.bin"));
    for (const std::string& target :
         std::vector<std::string>{h.dir.file("missing/E2UP_x.bin"), h.dir.file("E2UP_isdir.bin")}) {
        h.platform.boxes.shown.clear();
        h.platform.files.answers.push_back(target);
        EXPECT_FALSE(h.main->Create_Click()) << target;
        ASSERT_EQ(h.boxCount(), 1u);
        EXPECT_EQ(h.lastBox()->title, "Romwright");
        EXPECT_EQ(h.lastBox()->icon, ui::Icon::Critical);
        EXPECT_EQ(h.lastBox()->buttons, ui::Buttons::OK);
        EXPECT_NE(h.lastBox()->text.find(target), std::string::npos);
        EXPECT_GT(h.lastBox()->text.size(),
                  std::string("Error Saving Patch File : \r").size() + target.size() + 1);
        EXPECT_TRUE(h.main->run.FormChange);
        EXPECT_EQ(h.main->run.PathOfFile, srcPath);
    }
    EXPECT_TRUE(std::filesystem::is_directory(h.dir.file("E2UP_isdir.bin")));
    EXPECT_EQ(readBytes(srcPath).size(), 8192u);
    // The exit question still offers to save.
    h.platform.boxes.shown.clear();
    h.platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_FALSE(h.main->ExitCommand_Click());
    EXPECT_EQ(h.boxCount(), 1u);
}

TEST(SaveCommand, MissingSourceIsReportedAndNothingWritten) {
    AppHarness h;
    h.startMode(1);
    const auto srcPath = h.openFile("E2MB_src.bin", image::makeSampleImage(1));
    std::filesystem::remove(srcPath);
    h.main->run.FormChange = true;
    const auto out = h.dir.file("E2MB_out.bin");
    h.platform.files.answers.push_back(out);
    EXPECT_FALSE(h.main->Create_Click());
    ASSERT_EQ(h.boxCount(), 1u);
    EXPECT_NE(h.lastBox()->text.find(srcPath), std::string::npos);
    EXPECT_EQ(h.lastBox()->icon, ui::Icon::Critical);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(h.main->run.FormChange);
}

TEST(SaveCommand, UnstorableFieldRefusedBeforeWriting) {
    AppHarness h;
    h.startMode(3);
    h.openFile("E2MP_src.bin", image::makeSampleImage(3));
    h.main->run.FormChange = true;
    h.form->storeProblem = "UART_Rate does not fit in one byte.";
    const auto out = h.dir.file("E2MP_out.bin");
    h.platform.files.answers.push_back(out);
    EXPECT_FALSE(h.main->Create_Click());
    ASSERT_EQ(h.boxCount(), 1u);
    EXPECT_EQ(h.lastBox()->text, "UART_Rate does not fit in one byte.");
    EXPECT_EQ(h.lastBox()->title, "Illegal Parameter");
    EXPECT_EQ(h.lastBox()->icon, ui::Icon::Exclamation);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(h.main->run.FormChange);
    EXPECT_EQ(h.form->fileWrites, 0);
}

TEST(SaveCommand, AfterSaveExitAsksNothing) {
    AppHarness h;
    h.startMode(1);
    h.openFile("E2MB_src.bin", image::makeSampleImage(1));
    h.main->run.FormChange = true;
    h.platform.files.answers.push_back(h.dir.file("E2MB_o.bin"));
    ASSERT_TRUE(h.main->Create.userClick());
    h.main->ExitCommand_Click();
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    EXPECT_EQ(h.quitCalls, 1);
}

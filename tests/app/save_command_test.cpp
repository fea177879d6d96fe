#include "app_fixture.h"
#include "config/general_module.h"

using namespace rw;
using rw::testing::AppHarness;
using rw::testing::patternImage;
using rw::testing::readBytes;
using rw::testing::writeBytes;

namespace {

const char* codeOf(int mode) {
    return image::productForMode(mode)->modeCode;
}

// A harness for `mode` with the product's sample (or `img`) opened as CODE_src.bin.
struct Opened : AppHarness {
    std::string src;
    explicit Opened(int mode, std::optional<image::Image> img = std::nullopt) {
        startMode(mode);
        src = openFile(std::string(codeOf(mode)) + "_src.bin",
                       img ? *img : image::makeSampleImage(mode));
        main->run.formChanged = true;
    }
};

} // namespace

TEST(SaveCommand, OutputBytesPerProductPositionByPosition) {
    for (int mode = 1; mode <= 4; ++mode) {
        SCOPED_TRACE(mode);
        const auto src = patternImage(static_cast<std::uint8_t>(mode * 3));
        Opened h(mode, src);
        h.main->userForm().onClearClick(); // every byte the user's
        for (int i = 0; i < 256; ++i)
            h.main->cm.reservedArea[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(255 - i);
        const auto out = h.save(std::string(codeOf(mode)) + "_out.bin");
        EXPECT_TRUE(h.main->onCreateClick());
        const auto bytes = readBytes(out);
        ASSERT_EQ(bytes.size(), 8192u);
        // The source copied, the window's fields (XOR A5h) at its slots, and for B+ the
        // reserved area in the last 256 bytes.
        std::vector<int> expected(src.begin(), src.end());
        if (image::isBPlus(mode))
            for (int k = 7936; k < 8192; ++k)
                expected[static_cast<std::size_t>(k)] = 255 - (k - 7936);
        for (int slot : image::slotsForMode(mode)) {
            const auto k = static_cast<std::size_t>(image::slotOffset(slot, image::isBPlus(mode)));
            expected[k] = src[k] ^ 0xA5;
        }
        for (std::size_t k = 0; k < 8192; ++k)
            ASSERT_EQ(bytes[k], expected[k]) << "offset " << k;
        EXPECT_EQ(bytes[1], src[1]); // the version byte is copied
        EXPECT_FALSE(h.main->run.formChanged);
        EXPECT_EQ(h.main->run.pathOfFile, out);
        EXPECT_EQ(h.main->run.sourceFile, h.src);
        EXPECT_EQ(readBytes(h.src), std::vector<std::uint8_t>(src.begin(), src.end()));
        EXPECT_TRUE(h.platform.boxes.shown.empty());
        EXPECT_EQ(h.platform.files.calls.back().proposedName, codeOf(mode));
        EXPECT_EQ(h.platform.files.calls.back().filter,
                  std::string("Patch File (") + codeOf(mode) + "*.bin) |" + codeOf(mode) + "*.bin");
        // After a save, Exit asks nothing.
        h.main->onExitCommand();
        EXPECT_TRUE(h.platform.boxes.shown.empty());
        EXPECT_EQ(h.quitCalls, 1);
    }
}

TEST(SaveCommand, ReservedAreaFromEditorReachesOnlyBPlus) {
    for (int mode : {2, 3}) {
        SCOPED_TRACE(mode);
        Opened h(mode);
        h.main->User.setVisible(true);
        h.main->User.userClick();
        auto& u = h.main->userForm();
        u.typeText(u.Addres, "1A");
        u.typeText(u.Value, "5");
        u.Apply.userClick();
        const auto out = h.save(std::string(codeOf(mode)) + "_o.bin");
        ASSERT_TRUE(h.main->Create.userClick());
        EXPECT_EQ(readBytes(out)[0x1F1A], mode == 3 ? 0x05 : image::makeSampleImage(2)[0x1F1A]);
    }
}

// Decision: a B+ save lays over the copy only the reserved bytes the user set; the others keep
// the source file's bytes, which the editor shows. Set bytes survive opening another file.
TEST(SaveCommand, ReservedBytesTheUserDidNotSetKeepTheSourceFiles) {
    const auto src = patternImage(5);
    Opened h(3, src);
    auto& u = h.main->userForm();
    h.main->User.userClick();
    EXPECT_EQ(u.Value.text(), config::Hex(src[0x1F00]));
    const auto savedArea = [&](const char* name) {
        const auto out = h.save(name);
        EXPECT_TRUE(h.main->onCreateClick());
        const auto bytes = readBytes(out);
        return std::vector<std::uint8_t>(bytes.begin() + 0x1F00, bytes.end());
    };
    std::vector<std::uint8_t> want(src.begin() + 0x1F00, src.end());
    EXPECT_EQ(savedArea("E2MP_none.bin"), want);

    h.main->run.formChanged = false;
    u.typeText(u.Addres, "1A");
    u.typeText(u.Value, "5");
    ASSERT_TRUE(u.Apply.userClick());
    EXPECT_TRUE(h.main->run.formChanged);
    want[0x1A] = 0x05;
    EXPECT_EQ(savedArea("E2MP_apply.bin"), want);

    const auto other = patternImage(9);
    h.openFile("E2MP_other.bin", other);
    want.assign(other.begin() + 0x1F00, other.end());
    want[0x1A] = 0x05;
    EXPECT_EQ(savedArea("E2MP_other_out.bin"), want);

    u.Clear.userClick();
    EXPECT_EQ(savedArea("E2MP_clear.bin"), std::vector<std::uint8_t>(256, 0xFF));
}

TEST(SaveCommand, SecondSaveCopiesFromTheOpenedFile) {
    const auto src = patternImage(1);
    Opened h(1, src);
    const auto first = h.save("E2MB_1.bin");
    ASSERT_TRUE(h.main->onCreateClick());
    // Damage the first saved file: a second save must not read it.
    writeBytes(first, std::vector<std::uint8_t>(8192, 0x00));
    const auto second = h.save("E2MB_2.bin");
    ASSERT_TRUE(h.main->onCreateClick());
    const auto bytes = readBytes(second);
    EXPECT_EQ(bytes[100], src[100]);
    EXPECT_EQ(bytes[1], src[1]);
    EXPECT_EQ(h.main->run.pathOfFile, second);
}

TEST(SaveCommand, NameRuleLoopWithCase) {
    Opened h(1);
    for (auto name : {"e2mb_lower.bin", "new_E2MB.bin", "E2MB_ok.bin"})
        h.save(name);
    EXPECT_TRUE(h.main->onCreateClick());
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
    for (std::size_t i = 1; i < h.platform.files.calls.size(); ++i)
        EXPECT_EQ(h.platform.files.calls[i].proposedName, "E2MB");
}

TEST(SaveCommand, CancelOrMismatchThenCancelWritesNothing) {
    for (const char* name : {"", "E2UB_x.bin"}) {
        SCOPED_TRACE(name);
        Opened h(4);
        if (*name) h.save(name);
        EXPECT_FALSE(h.main->onCreateClick()); // then the queue cancels
        EXPECT_EQ(h.boxCount(), *name ? 1u : 0u);
        EXPECT_FALSE(std::filesystem::exists(h.dir.file("E2UB_x.bin")));
        EXPECT_TRUE(h.main->run.formChanged);
        EXPECT_EQ(h.form->fileWrites, 0);
        EXPECT_EQ(h.main->run.pathOfFile, h.src);
    }
}

TEST(SaveCommand, FolderPartWithModeCodePasses) {
    Opened h(2);
    std::filesystem::create_directories(h.dir.file("E2UB_folder"));
    const auto out = h.save("E2UB_folder/anything.bin");
    EXPECT_TRUE(h.main->onCreateClick());
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    EXPECT_EQ(readBytes(out).size(), 8192u);
}

TEST(SaveCommand, OverTheOpenedFileItselfAndOverALongerFile) {
    const auto src = patternImage(7);
    Opened h(3, src);
    h.main->userForm().onClearClick(); // every byte the user's
    h.main->cm.reservedArea.fill(0x3C);
    writeBytes(h.dir.file("E2MP_long.bin"), std::vector<std::uint8_t>(30000, 0x77));
    for (const auto& path : {h.src, h.dir.file("E2MP_long.bin")}) {
        SCOPED_TRACE(path);
        h.platform.files.answers.push_back(path);
        ASSERT_TRUE(h.main->onCreateClick());
        const auto bytes = readBytes(path);
        ASSERT_EQ(bytes.size(), 8192u);
        EXPECT_EQ(bytes[1], src[1]);
        EXPECT_EQ(bytes[200], src[200]);
        EXPECT_EQ(bytes[32], src[32] ^ 0xA5);
        EXPECT_EQ(bytes[8000], 0x3C);
    }
}

TEST(SaveCommand, UnwritableTargetKeepsOldFileAndFlags) {
    Opened h(4);
    // A folder that does not exist, and a target that is an existing folder.
    std::filesystem::create_directories(h.dir.file("E2UP_isdir.bin"));
    for (const std::string& target :
         {h.dir.file("missing/E2UP_x.bin"), h.dir.file("E2UP_isdir.bin")}) {
        SCOPED_TRACE(target);
        h.platform.boxes.shown.clear();
        h.platform.files.answers.push_back(target);
        EXPECT_FALSE(h.main->onCreateClick());
        ASSERT_EQ(h.boxCount(), 1u);
        EXPECT_EQ(h.lastBox()->title, "Romwright");
        EXPECT_EQ(h.lastBox()->icon, ui::Icon::Critical);
        EXPECT_EQ(h.lastBox()->buttons, ui::Buttons::OK);
        // The reason on its own, so that no line runs it into the path.
        EXPECT_EQ(h.lastBox()->text, "Error Saving Patch File : \r" + target);
        EXPECT_FALSE(h.lastBox()->detail.empty());
        EXPECT_TRUE(h.main->run.formChanged);
        EXPECT_EQ(h.main->run.pathOfFile, h.src);
    }
    EXPECT_TRUE(std::filesystem::is_directory(h.dir.file("E2UP_isdir.bin")));
    EXPECT_EQ(readBytes(h.src).size(), 8192u);
    // The exit question still offers to save.
    h.platform.boxes.shown.clear();
    h.platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_FALSE(h.main->onExitCommand());
    EXPECT_EQ(h.boxCount(), 1u);
}

TEST(SaveCommand, MissingSourceOrUnstorableFieldWritesNothing) {
    for (int mode : {1, 3}) {
        SCOPED_TRACE(mode);
        Opened h(mode);
        if (mode == 1)
            std::filesystem::remove(h.src);
        else
            h.form->storeProblem = "UART_Rate does not fit in one byte.";
        const auto out = h.save(std::string(codeOf(mode)) + "_out.bin");
        EXPECT_FALSE(h.main->onCreateClick());
        ASSERT_EQ(h.boxCount(), 1u);
        if (mode == 1) {
            EXPECT_NE(h.lastBox()->text.find(h.src), std::string::npos);
            EXPECT_EQ(h.lastBox()->icon, ui::Icon::Critical);
        } else {
            h.expectOneBox("UART_Rate does not fit in one byte.", "Illegal Parameter",
                           ui::Buttons::OK, ui::Icon::Exclamation);
        }
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_TRUE(h.main->run.formChanged);
        EXPECT_EQ(h.form->fileWrites, 0);
    }
}

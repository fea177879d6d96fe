#include "app_fixture.h"

using namespace rw;
using rw::testing::AppHarness;
using rw::testing::patternImage;
using rw::testing::writeBytes;

namespace {

const char* codeOf(int mode) {
    return image::productForMode(mode)->modeCode;
}

// Opens `path` (written or not) through the dialog.
void openPath(AppHarness& h, const std::string& path) {
    h.platform.files.answers.push_back(path);
    h.main->OpenCommand.userClick();
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
    EXPECT_EQ(h.main->run.pathOfFile, h.dir.file("E2MB_a.bin"));
    EXPECT_EQ(h.main->run.sourceFile, h.dir.file("E2MB_a.bin"));
    EXPECT_EQ(h.form->loads, 1);
    EXPECT_TRUE(h.form->loadingDuringLoad);
    EXPECT_FALSE(h.form->isLoading);
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    // Cancelling the next dialog (it proposes the mode code) changes nothing.
    h.main->run.formChanged = true;
    const auto before = h.main->cm.patchBytes;
    h.main->OpenCommand.userClick();
    EXPECT_EQ(h.platform.files.calls.back().proposedName, "E2MB");
    EXPECT_EQ(h.main->run.pathOfFile, h.dir.file("E2MB_a.bin"));
    EXPECT_EQ(h.main->run.sourceFile, h.dir.file("E2MB_a.bin"));
    EXPECT_TRUE(h.main->run.formChanged);
    EXPECT_EQ(h.main->cm.patchBytes, before);
    EXPECT_EQ(h.form->loads, 1);
    EXPECT_TRUE(h.platform.boxes.shown.empty());
}

TEST(OpenCommand, PatchBytesPerProduct) {
    for (int mode = 1; mode <= 4; ++mode) {
        SCOPED_TRACE(mode);
        AppHarness h;
        h.startMode(mode);
        const auto img = patternImage(static_cast<std::uint8_t>(mode));
        h.openFile(std::string(codeOf(mode)) + "_p.bin", img);
        ASSERT_EQ(h.form->loads, 1);
        std::array<bool, image::kPatchSlots> read{};
        for (int slot : image::slotsForMode(mode)) {
            const auto s = static_cast<std::size_t>(slot);
            read[s] = true;
            EXPECT_EQ(h.form->patchAtLoad[s],
                      img[static_cast<std::size_t>(image::slotOffset(slot, image::isBPlus(mode)))])
                << "slot " << slot;
        }
        EXPECT_EQ(h.form->patchAtLoad[29], img[1]);
        EXPECT_EQ(h.main->cm.patchVersion, img[1]);
        read[29] = true;
        // Slots the product does not read keep their contents (0 at start).
        for (std::size_t s = 0; s < read.size(); ++s)
            if (!read[s]) {
                EXPECT_EQ(h.form->patchAtLoad[s], 0) << "slot " << s;
            }
    }
}

TEST(OpenCommand, VersionByteToAboutBox) {
    AppHarness h;
    h.startMode(3);
    EXPECT_EQ(h.main->about().EEPROMversion.caption(), "");
    auto img = image::makeSampleImage(3);
    for (auto [version, text] : {std::pair{0x0A, "A"}, {0x00, "0"}, {0xED, "ED"}}) {
        img[1] = static_cast<std::uint8_t>(version);
        h.openFile("E2MP_" + std::string(text) + ".bin", img);
        EXPECT_EQ(h.main->about().EEPROMversion.caption(), text);
        EXPECT_EQ(h.main->cm.patchVersion, version);
    }
}

TEST(OpenCommand, OnlyTheGenerationLetterIsTested) {
    // A B+ name for a B product is refused; B+ products take a B name; a fourth character
    // neither B nor P passes; the interface letter is not looked at.
    const struct {
        int mode;
        const char* name;
        bool refused;
    } cases[] = {{1, "E2MP_a.bin", true},  {1, "E2up_a.bin", true},  {2, "E2MP_a.bin", true},
                 {2, "E2up_a.bin", true},  {3, "E2MB_a.bin", false}, {4, "E2MX_a.bin", false},
                 {1, "E2UB_a.bin", false}, {2, "E2MX_a.bin", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + c.name);
        AppHarness h;
        h.startMode(c.mode);
        h.openFile(c.name, image::makeSampleImage(c.refused ? 3 : c.mode));
        if (!c.refused) {
            EXPECT_TRUE(h.platform.boxes.shown.empty());
            EXPECT_EQ(h.form->loads, 1);
            continue;
        }
        h.expectOneBox("This patch does not match this application", "Invalid patch version",
                       ui::Buttons::OK);
        EXPECT_EQ(h.form->loads, 0);
        EXPECT_TRUE(h.main->run.pathOfFile.empty());
        EXPECT_TRUE(h.main->run.sourceFile.empty());
        EXPECT_FALSE(h.main->Create.enabled());
        EXPECT_FALSE(h.form->isLoading);
    }
}

TEST(OpenCommand, SourceFileSwitchQuestion) {
    // No: nothing saved, the chosen file loads. Yes: saves first (from the old source), then
    // loads the chosen file. Yes with a cancelled save still loads.
    for (auto [answer, saveAs] :
         {std::pair{ui::Answer::No, ""}, {ui::Answer::Yes, "E2MB_s.bin"}, {ui::Answer::Yes, ""}}) {
        SCOPED_TRACE(std::string(answer == ui::Answer::No ? "No " : "Yes ") + saveAs);
        AppHarness h;
        h.startMode(1);
        const auto oldImg = image::makeSampleImage(1);
        h.openFile("E2MB_a.bin", oldImg);
        h.main->run.formChanged = true;
        h.platform.boxes.answers = {answer};
        const auto chosen = h.dir.file("E2MB_b.bin");
        rw::testing::writeImage(chosen, patternImage(9));
        h.platform.files.answers.push_back(chosen);
        if (*saveAs) h.save(saveAs);
        h.main->OpenCommand.userClick();
        h.expectOneBox(
            "The parameters in configuration form have changed.\rDo you wish to save changes ?",
            "Source file switch", ui::Buttons::YesNo, ui::Icon::Question);
        ASSERT_EQ(h.platform.files.calls.size(), answer == ui::Answer::No ? 2u : 3u);
        if (*saveAs) {
            EXPECT_TRUE(h.platform.files.calls[2].save);
            const auto saved = rw::testing::readBytes(h.dir.file(saveAs));
            ASSERT_EQ(saved.size(), 8192u);
            EXPECT_EQ(saved[1], oldImg[1]);
        }
        EXPECT_EQ(h.main->run.pathOfFile, chosen);
        EXPECT_EQ(h.main->run.sourceFile, chosen);
        EXPECT_FALSE(h.main->run.formChanged);
        EXPECT_EQ(h.form->loads, 2);
        EXPECT_EQ(h.form->patchAtLoad[29], patternImage(9)[1]);
        // Without changes there is no question.
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
    h.welcome.onLoad(path);
    ASSERT_TRUE(h.started);
    EXPECT_EQ(h.main->run.currentMode, 4);
    EXPECT_TRUE(h.platform.files.calls.empty());
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    EXPECT_EQ(h.main->run.pathOfFile, path);
    EXPECT_EQ(h.main->run.sourceFile, path);
    EXPECT_FALSE(h.welcome.patchLoadMode);
    EXPECT_EQ(h.form->loads, 1);
    EXPECT_EQ(h.form->patchAtLoad[44], img[60]);
    EXPECT_EQ(h.main->about().EEPROMversion.caption(), "12");
    EXPECT_TRUE(h.main->Dump.enabled());
    // The next Open asks again.
    h.main->OpenCommand.userClick();
    EXPECT_EQ(h.platform.files.calls.size(), 1u);
}

// A file that is not there, no regular file, or shorter than an image is refused, with the
// reason on its own line.
TEST(OpenCommand, UnreadableOrShortFilesGiveErrorLoadingAndWhy) {
    AppHarness h;
    h.startMode(3);
    std::filesystem::create_directories(h.dir.file("E2MP_dir.bin"));
    writeBytes(h.dir.file("E2MP_empty.bin"), {});
    writeBytes(h.dir.file("E2MP_short.bin"), std::vector<std::uint8_t>(100, 0x12));
    const struct {
        const char* name;
        const char* why; // empty: the system's reason, not checked
    } cases[] = {{"E2MP_missing.bin", ""},
                 {"E2MP_dir.bin", "is a directory"},
                 {"E2MP_empty.bin", "is 0 bytes, an image is 8192"},
                 {"E2MP_short.bin", "is 100 bytes, an image is 8192"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = h.dir.file(c.name);
        h.platform.boxes.shown.clear();
        openPath(h, path);
        ASSERT_EQ(h.platform.boxes.shown.size(), 1u);
        const ui::RecordedBox& box = h.platform.boxes.shown[0];
        const std::string head = "Error Loading Patch File : \r" + path + "\r";
        EXPECT_EQ(box.text.rfind(head, 0), 0u) << box.text;
        EXPECT_GT(box.text.size(), head.size());
        if (*c.why) {
            EXPECT_EQ(box.text, head + c.why);
        }
        EXPECT_EQ(box.title, "Romwright");
        EXPECT_EQ(box.icon, ui::Icon::Critical);
        EXPECT_EQ(h.main->run.pathOfFile, path);
        EXPECT_EQ(h.main->run.sourceFile, path);
        EXPECT_TRUE(h.main->Create.enabled());
        EXPECT_EQ(h.form->loads, 0);
        EXPECT_FALSE(h.form->isLoading);
    }
}

TEST(OpenCommand, LongFileLoadsItsFirstImageWithAWarningInTheStatusBar) {
    AppHarness h;
    h.startMode(3);
    auto img = patternImage(5);
    std::vector<std::uint8_t> longFile(img.begin(), img.end());
    longFile.resize(20000, 0x11);
    writeBytes(h.dir.file("E2MP_long.bin"), longFile);
    openPath(h, h.dir.file("E2MP_long.bin"));
    ASSERT_EQ(h.form->loads, 1);
    EXPECT_EQ(h.form->patchAtLoad[0], img[32]);
    EXPECT_EQ(h.form->patchAtLoad[43], img[616]);
    EXPECT_TRUE(h.platform.boxes.shown.empty());
    EXPECT_EQ(h.main->statusTexts().back(),
              "Opened E2MP_long.bin: it is 20000 bytes; only its first 8192 are used");
    // The next file of an image's size has nothing to warn of.
    h.openFile("E2MP_exact.bin", img);
    EXPECT_EQ(h.main->statusTexts().back(), "Opened E2MP_exact.bin");
}

TEST(OpenCommand, FailedWindowLoadDisablesTheButtonsAndReservedAreaSurvives) {
    AppHarness h;
    h.startMode(4);
    h.form->failLoad = true;
    h.openFile("E2UP_a.bin", image::makeSampleImage(4));
    EXPECT_FALSE(h.main->Create.enabled());
    EXPECT_FALSE(h.main->Dump.enabled());
    EXPECT_FALSE(h.main->DigitalCommand.enabled());
    EXPECT_FALSE(h.form->isLoading);
    h.form->failLoad = false;
    h.main->cm.reservedArea[7] = 0x42;
    h.openFile("E2UP_b.bin", patternImage(2));
    EXPECT_TRUE(h.main->Create.enabled());
    EXPECT_EQ(h.main->cm.reservedArea[7], 0x42);
}

// Open and Save of the main window: which files, what is read and written where, and what they
// say when they cannot. The configuration window is a stand-in except in the last test.
#include "support/app_bench.h"
#include "support/platform_checks.h"

#include "config/general_module.h"
#include "image/sample_image.h"

#include <filesystem>

using namespace rw;
using namespace rw::test;

namespace {

const char* codeOf(int mode) {
    return image::productForMode(mode)->modeCode;
}

// A bench for `mode` with `img` opened as CODE_src.bin, and the window's fields changed.
struct Opened : AppBench {
    std::string src;
    explicit Opened(int mode, const image::Image& img) : AppBench(mode) {
        src = open(std::string(codeOf(mode)) + "_src.bin", img);
        main->run.formChanged = true;
    }
    explicit Opened(int mode) : Opened(mode, image::makeSampleImage(mode)) {}
};

} // namespace

TEST(OpenCommand, FilterProposedNameButtonsAndCancel) {
    AppBench h(1); // its first state is the main window's start test's
    h.open("E2MB_a.bin", patternImage(1));
    EXPECT_EQ(h.state(),
              "buttons 1111 changed 0 file E2MB_a.bin source E2MB_a.bin loads 1 writes 0 boxes 0");
    ASSERT_EQ(h.platform.files.calls.size(), 1u);
    const auto& call = h.platform.files.calls[0];
    EXPECT_EQ(std::tuple(call.save, call.filter, call.proposedName),
              std::tuple(false, "Patch File (E2MB*.bin) |E2MB*.bin", ""));
    EXPECT_TRUE(h.form->loadingDuringLoad);
    EXPECT_FALSE(h.form->isLoading);
    EXPECT_EQ(h.main->statusTexts().back(), "Opened E2MB_a.bin");
    // Cancelling the next dialog (it proposes the mode code) changes nothing.
    h.main->run.formChanged = true;
    const auto before = h.main->cm.patchBytes;
    h.main->OpenCommand.userClick();
    EXPECT_EQ(h.platform.files.calls.back().proposedName, "E2MB");
    EXPECT_EQ(h.state(),
              "buttons 1111 changed 1 file E2MB_a.bin source E2MB_a.bin loads 1 writes 0 boxes 0");
    EXPECT_EQ(h.main->cm.patchBytes, before);
}

TEST(OpenCommand, OnlyTheGenerationLetterIsTested) {
    // A B+ name for a B product is refused; B+ products take a B name; a fourth character
    // neither B nor P passes; the interface letter is not looked at.
    const std::tuple<int, const char*, bool> cases[] = {
        {1, "E2MP_a.bin", true},  {1, "E2up_a.bin", true},  {2, "E2MP_a.bin", true},
        {2, "E2up_a.bin", true},  {3, "E2MB_a.bin", false}, {4, "E2MX_a.bin", false},
        {1, "E2UB_a.bin", false}, {2, "E2MX_a.bin", false}};
    for (const auto& [mode, name, refused] : cases) {
        SCOPED_TRACE(std::to_string(mode) + " " + name);
        AppBench h(mode);
        h.open(name, image::makeSampleImage(refused ? 3 : mode));
        EXPECT_FALSE(h.form->isLoading);
        if (!refused) {
            EXPECT_EQ(h.state(), std::string("buttons 1111 changed 0 file ") + name + " source " +
                                     name + " loads 1 writes 0 boxes 0");
            continue;
        }
        EXPECT_EQ(h.state(), "buttons 1000 changed 0 file - source - loads 0 writes 0 boxes 1");
        EXPECT_TRUE(lastBoxIs(h.platform, "This patch does not match this application",
                              "Invalid patch version", ui::Buttons::OK, ui::Icon::Critical));
    }
}

TEST(OpenCommand, SourceFileSwitchQuestion) {
    // No: nothing saved, the chosen file loads. Yes: saves first (from the old source), then
    // loads the chosen file. Yes with a cancelled save still loads.
    for (auto [answer, saveAs] :
         {std::pair{ui::Answer::No, ""}, {ui::Answer::Yes, "E2MB_s.bin"}, {ui::Answer::Yes, ""}}) {
        SCOPED_TRACE(std::string(answer == ui::Answer::No ? "No " : "Yes ") + saveAs);
        Opened h(1);
        h.platform.boxes.answers = {answer};
        image::writePatchFile(h.dir.file("E2MB_b.bin"), patternImage(9));
        h.platform.files.answers.push_back(h.dir.file("E2MB_b.bin"));
        if (*saveAs) h.saveAs(saveAs);
        h.main->OpenCommand.userClick();
        EXPECT_TRUE(lastBoxIs(
            h.platform,
            "The parameters in configuration form have changed.\rDo you wish to save changes ?",
            "Source file switch", ui::Buttons::YesNo, ui::Icon::Question));
        EXPECT_EQ(h.platform.files.calls.size(), answer == ui::Answer::No ? 2u : 3u);
        EXPECT_EQ(h.state(), std::string("buttons 1111 changed 0 file E2MB_b.bin source "
                                         "E2MB_b.bin loads 2 writes ") +
                                 (*saveAs ? "1" : "0") + " boxes 1");
        EXPECT_EQ(h.main->cm.patchVersion, patternImage(9)[1]);
        if (*saveAs) {
            EXPECT_EQ(readBytes(h.dir.file(saveAs)).at(1), image::makeSampleImage(1)[1]);
        }
        // Without changes there is no question.
        h.open("E2MB_c.bin", patternImage(4));
        EXPECT_EQ(h.boxCount(), 1u);
    }
}

TEST(OpenCommand, CommandLineStartLoadsWithoutDialogQuestionOrCheck) {
    AppBench h;
    const auto img = image::makeSampleImage(4);
    image::writePatchFile(h.dir.file("E2UP_cmd.bin"), img);
    ASSERT_TRUE(h.welcome.onLoad(app::commandLineFromArgs({"E2UP_cmd.bin"}, h.dir.str())));
    ASSERT_TRUE(h.started);
    EXPECT_EQ(h.main->run.currentMode, 4);
    EXPECT_TRUE(h.platform.files.calls.empty());
    EXPECT_EQ(h.state(),
              "buttons 1111 changed 0 file E2UP_cmd.bin source E2UP_cmd.bin loads 1 writes 0 "
              "boxes 0");
    EXPECT_EQ(std::tuple(h.welcome.patchLoadMode, h.main->cm.patchBytes[44],
                         h.main->about().EEPROMversion.caption()),
              std::tuple(false, img[60], "12"));
    h.main->OpenCommand.userClick();
    EXPECT_EQ(h.platform.files.calls.size(), 1u);
}

// A file shorter than an image is refused with the reason on its own line; a longer one
// loads its first image, with a warning in the status bar.
TEST(OpenCommand, ShortFileIsRefusedAndALongOneWarnedOf) {
    AppBench h(3);
    const std::string path = h.dir.file("E2MP_short.bin");
    writeBytes(path, std::vector<std::uint8_t>(100, 0x12));
    h.platform.files.answers.push_back(path);
    h.main->OpenCommand.userClick();
    EXPECT_TRUE(lastBoxIs(
        h.platform, "Error Loading Patch File : \r" + path + "\ris 100 bytes, an image is 8192",
        "Romwright", ui::Buttons::OK, ui::Icon::Critical));
    EXPECT_EQ(h.state(), "buttons 1111 changed 0 file E2MP_short.bin source E2MP_short.bin "
                         "loads 0 writes 0 boxes 1");
    EXPECT_FALSE(h.form->isLoading);
    EXPECT_EQ(h.main->statusTexts().back(), "Could not load E2MP_short.bin");

    writeBytes(h.dir.file("E2MP_long.bin"), std::vector<std::uint8_t>(20000, 0x11));
    h.platform.files.answers.push_back(h.dir.file("E2MP_long.bin"));
    h.main->OpenCommand.userClick();
    EXPECT_EQ(h.state(), "buttons 1111 changed 0 file E2MP_long.bin source E2MP_long.bin "
                         "loads 1 writes 0 boxes 1");
    EXPECT_EQ(h.main->statusTexts().back(),
              "Opened E2MP_long.bin: it is 20000 bytes; only its first 8192 are used");
}

// A dropped or recent file must pass the dialog's filter (code first, ".bin" last, any case); the
// recent files list the newest first, each once, at most eight.
TEST(OpenCommand, GivenFilesPassTheDialogsFilterAndBecomeRecent) {
    AppBench h(3);
    const std::pair<const char*, bool> rows[] = {
        {"E2UB_x.bin", false}, {"E2MP_x.bi", false}, {"E2MP.bin", true}, {"e2mp_x.BIN", true}};
    for (auto [name, ok] : rows) {
        const std::size_t boxes = h.boxCount();
        image::writePatchFile(h.dir.file(name), image::makeSampleImage(3));
        EXPECT_EQ(h.main->openPath(h.dir.file(name)), ok) << name;
        EXPECT_EQ(h.boxCount(), boxes + (ok ? 0 : 1)) << name;
        EXPECT_EQ(h.main->run.pathOfFile, ok ? h.dir.file(name) : "") << name;
        h.main->run.pathOfFile.clear();
    }
    EXPECT_TRUE(lastBoxIs(h.platform, "This patch does not match this application",
                          "Invalid patch version", ui::Buttons::OK, ui::Icon::Critical));
    writeBytes(h.dir.file("E2MP_short.bin"), {1, 2, 3});
    EXPECT_FALSE(h.main->openPath(h.dir.file("E2MP_short.bin"))); // never a recent file
    std::vector<std::string> recent;
    for (int i = 0; i < 9; ++i) {
        const std::string name = "E2MP_" + std::to_string(i % 7) + ".bin";
        image::writePatchFile(h.dir.file(name), image::makeSampleImage(3));
        ASSERT_TRUE(h.main->openPath(h.dir.file(name)));
    }
    for (int i : {1, 0, 6, 5, 4, 3, 2})
        recent.push_back(h.dir.file("E2MP_" + std::to_string(i) + ".bin"));
    recent.push_back(h.dir.file("e2mp_x.BIN"));
    EXPECT_EQ(h.main->recentFiles(), recent);
    // Picking from the menu opens the file; an entry that is not there does nothing.
    for (const ui::MenuCommand& c : h.main->menuCommands())
        if (c.pick) {
            c.pick(8);
            c.pick(7);
        }
    EXPECT_EQ(h.main->run.pathOfFile, recent[7]);
    EXPECT_EQ(h.main->recentFiles().front(), recent[7]);
}

TEST(OpenCommand, FailedWindowLoadDisablesTheButtonsAndReservedAreaSurvives) {
    AppBench h(4);
    h.form->failLoad = true;
    h.open("E2UP_a.bin", image::makeSampleImage(4));
    EXPECT_EQ(h.state(),
              "buttons 1000 changed 0 file E2UP_a.bin source E2UP_a.bin loads 1 writes 0 boxes 0");
    EXPECT_FALSE(h.form->isLoading);
    h.form->failLoad = false;
    h.main->cm.reservedArea[7] = 0x42;
    h.open("E2UP_b.bin", patternImage(2));
    EXPECT_TRUE(h.main->Create.enabled());
    EXPECT_EQ(h.main->cm.reservedArea[7], 0x42);
}

TEST(SaveCommand, OutputBytesPerProductPositionByPosition) {
    for (int mode = 1; mode <= 4; ++mode) {
        SCOPED_TRACE(mode);
        const auto src = patternImage(static_cast<std::uint8_t>(mode * 3));
        Opened h(mode, src);
        h.main->userForm().onClearClick(); // every byte the user's
        for (int i = 0; i < 256; ++i)
            h.main->cm.reservedArea[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(255 - i);
        const std::string code = codeOf(mode);
        const auto out = h.saveAs(code + "_out.bin");
        EXPECT_TRUE(h.main->onCreateClick());
        // The source copied, the window's fields (XOR A5h) at the product's slots, and for B+
        // the reserved area in the last 256 bytes.
        std::vector<std::uint8_t> expected(src.begin(), src.end());
        if (image::isBPlus(mode))
            for (int k = 7936; k < 8192; ++k)
                expected[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(255 - (k - 7936));
        for (int slot : image::slotsForMode(mode)) {
            const auto k = static_cast<std::size_t>(image::slotOffset(slot, image::isBPlus(mode)));
            expected[k] = src[k] ^ 0xA5;
        }
        EXPECT_EQ(readBytes(out), expected);
        EXPECT_EQ(h.state(), "buttons 1111 changed 0 file " + code + "_out.bin source " + code +
                                 "_src.bin loads 1 writes 1 boxes 0");
        EXPECT_EQ(readBytes(h.src), std::vector<std::uint8_t>(src.begin(), src.end()));
        const auto& call = h.platform.files.calls.back();
        EXPECT_EQ(std::tuple(call.proposedName, call.filter),
                  std::tuple(code, "Patch File (" + code + "*.bin) |" + code + "*.bin"));
        EXPECT_EQ(h.main->statusTexts().back(), "Saved " + code + "_out.bin");
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
        const auto out = h.saveAs(name);
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
    h.open("E2MP_other.bin", other);
    want.assign(other.begin() + 0x1F00, other.end());
    want[0x1A] = 0x05;
    EXPECT_EQ(savedArea("E2MP_other_out.bin"), want);

    u.Clear.userClick();
    EXPECT_EQ(savedArea("E2MP_clear.bin"), std::vector<std::uint8_t>(256, 0xFF));
}

// The copy comes from the opened file, read whole before anything is written: a damaged
// earlier save is not read, and saving over the opened file itself or a longer file works.
TEST(SaveCommand, CopiesFromTheOpenedFileReadBeforeWriting) {
    const auto src = patternImage(7);
    Opened h(3, src);
    h.main->userForm().onClearClick();
    h.main->cm.reservedArea.fill(0x3C);
    h.saveAs("E2MP_1.bin");
    ASSERT_TRUE(h.main->onCreateClick());
    writeBytes(h.dir.file("E2MP_1.bin"), std::vector<std::uint8_t>(8192, 0x00));
    writeBytes(h.dir.file("E2MP_long.bin"), std::vector<std::uint8_t>(30000, 0x77));
    for (const auto& path : {h.dir.file("E2MP_long.bin"), h.src}) {
        SCOPED_TRACE(path);
        h.platform.files.answers.push_back(path);
        ASSERT_TRUE(h.main->onCreateClick());
        const auto bytes = readBytes(path);
        ASSERT_EQ(bytes.size(), 8192u);
        EXPECT_EQ(std::tuple(bytes[1], bytes[200], bytes[32] ^ 0xA5, bytes[8000]),
                  std::tuple(src[1], src[200], src[32], 0x3C));
        EXPECT_EQ(h.main->run.pathOfFile, path);
    }
}

TEST(SaveCommand, NameRuleAsksAgainUntilTheNameBeginsWithTheModeCode) {
    Opened h(1);
    for (auto name : {"e2mb_lower.bin", "new_E2MB.bin", "E2MB_ok.bin"})
        h.saveAs(name);
    EXPECT_TRUE(h.main->onCreateClick());
    EXPECT_EQ(
        h.state(),
        "buttons 1111 changed 0 file E2MB_ok.bin source E2MB_src.bin loads 1 writes 1 boxes 2");
    EXPECT_TRUE(lastBoxIs(h.platform, "The file must begin with : \r\rE2MB", "Mismatch file name"));
    EXPECT_FALSE(std::filesystem::exists(h.dir.file("e2mb_lower.bin")));
    EXPECT_FALSE(std::filesystem::exists(h.dir.file("new_E2MB.bin")));
    for (std::size_t i = 1; i < h.platform.files.calls.size(); ++i)
        EXPECT_EQ(h.platform.files.calls[i].proposedName, "E2MB");
}

TEST(SaveCommand, NothingWrittenWhenCancelledOrRefused) {
    // name "": the dialog cancels; box: the message's text
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"cancel", "", ""},
        {"mismatch, cancel", "E2UB_x.bin", "The file must begin with : \r\rE2UP"},
        {"source gone", "E2UP_x.bin", "The source file"},
        {"unstorable", "E2UP_x.bin", "UART_Rate does not fit in one byte."}};
    for (const auto& [what, name, box] : cases) {
        SCOPED_TRACE(what);
        Opened h(4);
        if (*name) h.saveAs(name);
        if (box == "The source file") std::filesystem::remove(h.src);
        if (what == std::string("unstorable")) h.form->storeProblem = box;
        EXPECT_FALSE(h.main->onCreateClick());
        EXPECT_EQ(h.state(), "buttons 1111 changed 1 file E2UP_src.bin source E2UP_src.bin loads "
                             "1 writes 0 boxes " +
                                 std::string(box.empty() ? "0" : "1"));
        EXPECT_FALSE(*name && std::filesystem::exists(h.dir.file(name)));
        EXPECT_TRUE(box.empty() || h.lastBox()->text.find(box) != std::string::npos);
    }
}

TEST(SaveCommand, UnwritableTargetKeepsTheFlagsAndTheExitQuestion) {
    Opened h(4);
    const std::string target = h.dir.file("missing/E2UP_x.bin");
    h.platform.files.answers.push_back(target);
    EXPECT_FALSE(h.main->onCreateClick());
    // The reason apart, so that no line runs it into the path.
    EXPECT_TRUE(lastBoxIs(h.platform, "Error Saving Patch File : \r" + target, "Romwright",
                          ui::Buttons::OK, ui::Icon::Critical));
    EXPECT_FALSE(h.lastBox()->detail.empty());
    EXPECT_EQ(h.state(), "buttons 1111 changed 1 file E2UP_src.bin source E2UP_src.bin loads 1 "
                         "writes 1 boxes 1");
    h.platform.boxes.answers = {ui::Answer::Cancel};
    EXPECT_FALSE(h.main->onExitCommand());
    EXPECT_EQ(h.boxCount(), 2u);
}

TEST(RealWindows, SampleFilesLoadAndSaveBackUnchanged) {
    const config::Variant variants[] = {config::Variant::MII_B, config::Variant::ATM_B,
                                        config::Variant::MII_BP, config::Variant::ATM_BP};
    for (int mode = 1; mode <= 4; ++mode) {
        SCOPED_TRACE(mode);
        AppBench a(mode, AppBench::Real);
        ASSERT_NE(a.main->configForm(), nullptr);
        EXPECT_EQ(a.main->configForm()->variant(), variants[mode - 1]);
        const auto img = image::makeSampleImage(mode);
        a.open(image::sampleFileName(mode), img);
        EXPECT_EQ(a.boxCount(), 0u) << (a.lastBox() ? a.lastBox()->text : "");
        EXPECT_FALSE(a.main->run.formChanged);
        a.main->DigitalCommand.userClick();
        EXPECT_TRUE(a.main->configForm()->visible());
        const auto out = a.saveAs(std::string(codeOf(mode)) + "_out.bin");
        ASSERT_TRUE(a.main->onCreateClick());
        EXPECT_EQ(readBytes(out), std::vector<std::uint8_t>(img.begin(), img.end()));
    }
}

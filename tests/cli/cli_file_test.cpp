// show, edit and diff on generated sample files, checked against the same windows driven
// in this process as a GUI user drives them.
#include "cli_gui_model.h"
#include "cli_test_support.h"
#include "config/general_module.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace rw::clitest {
namespace {

const std::vector<std::string> kExtras = {"UART_Rate", "DownBitrate", "UpBitrate",
                                          "Max_PSD",   "Min_PSD",     "AFEControl"};

std::string sampleName(int mode) {
    return std::string(modeCode(mode)) + "_sample.bin";
}

// ---- show --------------------------------------------------------------------------------

class CliShow : public ::testing::TestWithParam<int> {};

TEST_P(CliShow, PrintsEveryBoundFieldAsTheWindowShowsItAlsoAsJson) {
    const int mode = GetParam();
    ScratchDir dir;
    const std::string file = writeSample(dir, mode, sampleName(mode));
    const auto r = runIn(dir, {"show", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    GuiModel gui(mode, dir.path());
    gui.open(file);
    std::vector<std::string> names = gui.form().boundFieldNames();
    for (const auto& e : kExtras)
        if (std::find(names.begin(), names.end(), e) == names.end()) names.push_back(e);

    const auto lines = r.outLines();
    ASSERT_EQ(lines.size(), names.size()) << r.out;
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(lines[i], names[i] + "=" + gui.shown(names[i]));
    const auto shown = parseShow(r.out);
    for (const auto& e : kExtras)
        EXPECT_TRUE(shown.count(e)) << e;
    EXPECT_TRUE(shown.count("FText(0)"));
    EXPECT_TRUE(shown.count("FText(1)"));
    // Check boxes as 0 or 1.
    for (const char* box : {"Reduce", "WakDis", "Adcf"}) {
        ASSERT_TRUE(shown.count(box)) << box;
        EXPECT_TRUE(shown.at(box) == "0" || shown.at(box) == "1") << box << "=" << shown.at(box);
    }
    EXPECT_EQ(shown.at("Baund"), "9600");
    // --json holds the same names and texts.
    const auto json = runIn(dir, {"show", "--json", file});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out;
    ASSERT_TRUE(doc.isObject());
    const QJsonObject obj = doc.object();
    EXPECT_EQ(static_cast<std::size_t>(obj.size()), shown.size());
    for (const auto& [name, text] : shown)
        EXPECT_EQ(obj.value(QString::fromStdString(name)).toString().toStdString(), text) << name;
}

INSTANTIATE_TEST_SUITE_P(EachProduct, CliShow, ::testing::Values(1, 2, 3, 4));

TEST(CliShowRefusals, ProductComesFromTheFileName) {
    ScratchDir dir;
    // Lower case works, and only the third and fourth characters count.
    const std::string file = writeSample(dir, 4, "xyup_lower.bin");
    const auto r = runIn(dir, {"show", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(parseShow(r.out).count("MultiPHY")) << "an ATM window";
    // A bare name in the current directory is found the same way.
    const auto bare = runIn(dir, {"show", "xyup_lower.bin"});
    EXPECT_EQ(bare.exitCode, 0) << bare.err;
    EXPECT_EQ(bare.out, r.out);
}

TEST(CliShowRefusals, WrongGenerationOrUnreadableFileIsExit2WithTheWindowsMessageAndWhy) {
    ScratchDir dir;
    const std::string bplus = writeSample(dir, 3, "E2MP_sample.bin");
    const std::string folder = dir / "E2MB_folder.bin";
    fs::create_directory(folder);
    const std::string shortFile = dir / "E2MB_short.bin";
    std::ofstream(shortFile) << std::string(100, 'x');
    const std::string longFile = writeSample(dir, 1, "E2MB_long.bin");
    std::ofstream(longFile, std::ios::app) << std::string(808, 'x');
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string box, last; // last: how the command line's own last line begins
    } cases[] = {
        {{"show", bplus, "--product", "1"},
         2,
         "Invalid patch version: This patch does not match this application",
         "romwright-cli: '" + bplus + "' was not loaded"},
        {{"show", folder},
         2,
         "Romwright: Error Loading Patch File :  " + folder + " is a directory",
         "romwright-cli: '" + folder + "' was not loaded: is a directory"},
        {{"show", shortFile},
         2,
         "Romwright: Error Loading Patch File :  " + shortFile + " is 100 bytes, an image is 8192",
         "romwright-cli: '" + shortFile + "' was not loaded: is 100 bytes, an image is 8192"},
        // A longer file loads its first 8192 bytes, with a word about the rest.
        {{"show", longFile},
         0,
         "",
         "romwright-cli: warning: '" + longFile + "' is 9000 bytes; only its first 8192 are used"},
    };
    for (const auto& c : cases) {
        const auto r = runIn(dir, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        if (!c.box.empty()) {
            EXPECT_TRUE(r.errHasLine(c.box)) << r.err;
        }
        ASSERT_FALSE(r.errLines().empty());
        const std::string last = r.errLines().back();
        EXPECT_EQ(last.rfind(c.last, 0), 0u) << r.err;
        EXPECT_EQ(r.out.empty(), c.exitCode != 0);
    }
}

// ---- edit --------------------------------------------------------------------------------

class CliEditRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(CliEditRoundTrip, NoEditsSavesWhatTheWindowsSaveCommandSaves) {
    const int mode = GetParam();
    ScratchDir dir;
    const std::string code = modeCode(mode);
    // A file the window re-encodes: the sample with a few bytes outside the block changed.
    image::Image img = image::makeSampleImage(mode);
    img[0x300] ^= 0x5A;
    img[0x1F10] = 0x42;
    const std::string file = writeImage(dir, img, code + "_in.bin");
    const std::string out = dir / (code + "_cli.bin");
    const auto r = runIn(dir, {"edit", file, "-o", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    GuiModel gui(mode, dir.path());
    gui.open(file);
    const std::string guiOut = dir / (code + "_gui.bin");
    ASSERT_TRUE(gui.save(guiOut));
    const auto cliBytes = readBytes(out);
    EXPECT_EQ(cliBytes.size(), 8192u);
    EXPECT_EQ(cliBytes, readBytes(guiOut));
}

INSTANTIATE_TEST_SUITE_P(EachProduct, CliEditRoundTrip, ::testing::Values(1, 2, 3, 4));

// Each kind of field edited, compared with the same edits made by a user in the window.
class CliEditEachKind : public ::testing::TestWithParam<int> {};

TEST_P(CliEditEachKind, EditsOfEachKindMatchAUsersEdits) {
    const int mode = GetParam();
    ScratchDir dir;
    const std::string code = modeCode(mode);
    const std::string file = writeSample(dir, mode, code + "_in.bin");

    GuiModel gui(mode, dir.path());
    gui.open(file);
    const std::string reduce = gui.shown("Reduce") == "1" ? "0" : "1";
    const std::string carrierBefore = gui.shown("DwCarrierText(0)") + gui.shown("DwCarrierText(1)");

    const std::string out = dir / (code + "_cli.bin");
    // One step is 0.01 MHz, less than a carrier index: six steps reach the next one.
    std::vector<std::string> args = {"edit",
                                     file,
                                     "-o",
                                     out,
                                     "Baund=19200",
                                     "Reduce=" + reduce,
                                     "UTOPIAAddress=1F",
                                     "PowerController=3"};
    for (int i = 0; i < 6; ++i)
        args.emplace_back("DownCarrierScroll=up");
    for (const char* e : {"Max_PSD=-3", "TransmitePreambleL=3C"})
        args.emplace_back(e);
    const auto r = runIn(dir, args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    gui.form().show();
    ASSERT_TRUE(gui.combo("Baund").userPick(std::string("19200")));
    gui.check("Reduce").userClick();
    ASSERT_TRUE(gui.type("UTOPIAAddress", "1F"));
    ASSERT_TRUE(gui.form().setFocus(&gui.combo("PowerController")));
    ASSERT_TRUE(gui.combo("PowerController").userPick(std::string("3")));
    ASSERT_TRUE(gui.form().leave());
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(dynamic_cast<ui::UpDown&>(*gui.form().find("DownCarrierScroll")).userUp());
        ASSERT_TRUE(gui.form().leave());
    }
    ASSERT_TRUE(gui.type("Max_PSD", "-3"));
    ASSERT_TRUE(gui.type("TransmitePreambleL", "3C"));
    ASSERT_TRUE(gui.form().Done());
    const std::string guiOut = dir / (code + "_gui.bin");
    ASSERT_TRUE(gui.save(guiOut));
    EXPECT_EQ(readBytes(out), readBytes(guiOut));

    // And the file holds the edits: loading it shows them.
    const auto shown = runIn(dir, {"show", out});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    const auto m = parseShow(shown.out);
    EXPECT_EQ(m.at("Baund"), "19200");
    EXPECT_EQ(m.at("Reduce"), reduce);
    EXPECT_EQ(m.at("UTOPIAAddress"), "1F");
    EXPECT_EQ(m.at("PowerController"), "3");
    EXPECT_EQ(m.at("TransmitePreambleL"), "3C"); // hidden outside expert mode, still edited
    EXPECT_NE(m.at("DwCarrierText(0)") + m.at("DwCarrierText(1)"), carrierBefore);
    EXPECT_EQ(m.at("UART_Rate"), gui.shown("UART_Rate"));
}

INSTANTIATE_TEST_SUITE_P(EachProduct, CliEditEachKind, ::testing::Values(1, 2, 3, 4));

TEST(CliEdit, DefaultsPressesTheDefaultButton) {
    ScratchDir dir;
    image::Image img = image::makeSampleImage(4);
    const std::string file = writeImage(dir, img, "E2UP_in.bin");
    // Move a field away from its factory value first, so "Default" has work to do.
    const std::string moved = dir / "E2UP_moved.bin";
    ASSERT_EQ(runIn(dir, {"edit", file, "-o", moved, "Baund=2400"}).exitCode, 0);

    const std::string out = dir / "E2UP_cli.bin";
    const auto r = runIn(dir, {"edit", moved, "-o", out, "--defaults"});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    GuiModel gui(4, dir.path());
    gui.open(moved);
    gui.form().show();
    ASSERT_TRUE(dynamic_cast<ui::Button&>(*gui.form().find("Default")).userClick());
    ASSERT_TRUE(gui.form().Done());
    const std::string guiOut = dir / "E2UP_gui.bin";
    ASSERT_TRUE(gui.save(guiOut));
    EXPECT_EQ(readBytes(out), readBytes(guiOut));
    EXPECT_EQ(parseShow(runIn(dir, {"show", out}).out).at("Baund"), "9600");
}

TEST(CliEdit, RefusedValuesAndNamesWriteNothing) {
    ScratchDir dir;
    const std::string mp = writeSample(dir, 3, "E2MP_in.bin");
    const std::string ub = writeSample(dir, 2, "E2UB_in.bin");
    const std::string mb = writeSample(dir, 1, "E2MB_in.bin");
    // A B+ entry is refused when left; generation B takes the text but Done refuses it. Values
    // the image cannot hold are refused too (below 11.06 MHz at 115200 baud the UART reload
    // value is 256).
    const struct {
        std::string file;
        std::vector<std::string> edits;
        std::string line; // "" : any message
    } cases[] = {
        {mp, {"Baund=19200", "UTOPIAAddress=G"}, "Illegal Parameter: Please insert new value"},
        {ub, {"UTOPIAAddress=G"}, "Error input: Please check your input values"},
        {mb,
         {"Baund=115200", "FText(0)=10", "FText(1)=00"},
         "Illegal Parameter: UART_Rate does not fit in one byte."},
        {mp, {"UTOPIAAddress=123"}, ""},
        {mp, {"FText(0)=123"}, ""},
        {mp, {"Max_PSD=-30.25"}, ""},
        {mp, {"Baund=12345"}, ""},
        {mp, {"Baund="}, ""},
        {mp, {"Reduce=2"}, ""},
        {mp, {"Reduce=yes"}, ""},
        {mp, {"Bogus=1"}, ""},
        {mp, {"UART_Rate=12"}, ""},
        {mp, {"DownBitrate=1"}, ""},
        {mp, {"AFEControl=ABC"}, ""},
        {mp, {"DownCarrierScroll=left"}, ""},
        {mp, {"Default=1"}, ""},
        {mp, {"FText(2)=1"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edits.back());
        const std::string out =
            dir / (fs::path(c.file).filename().string().substr(0, 4) + "_o.bin");
        std::vector<std::string> args = {"edit", c.file, "-o", out};
        args.insert(args.end(), c.edits.begin(), c.edits.end());
        const auto r = runIn(dir, args);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_FALSE(r.errLines().empty());
        if (!c.line.empty()) {
            EXPECT_TRUE(r.errHasLine(c.line)) << r.err;
        }
        EXPECT_FALSE(fs::exists(out));
    }
}

// `edit FILE -o OUT EDITS...` into a fresh OUT, checking that OUT was written, or that the
// command was refused with exit 2 and wrote nothing.
CliResult editChecked(const ScratchDir& dir, const std::string& file,
                      const std::vector<std::string>& edits, bool refused) {
    const std::string out = dir / (fs::path(file).filename().string().substr(0, 4) + "_out.bin");
    fs::remove(out);
    std::vector<std::string> args = {"edit", file, "-o", out};
    args.insert(args.end(), edits.begin(), edits.end());
    const auto r = runIn(dir, args);
    EXPECT_EQ(r.exitCode, refused ? 2 : 0) << r.err;
    EXPECT_EQ(fs::exists(out), !refused);
    return r;
}

// A pick is not followed by leaving the field: the focus stays where the window's reaction
// put it, and the next edit's focus change, or "Done", checks it as the window would.
TEST(CliEditRule, APickLeavesTheFocusWhereTheWindowPutsIt) {
    ScratchDir dir;
    image::Image img = image::makeSampleImage(3);
    img[static_cast<std::size_t>(image::slotOffset(1, true))] = config::packConsInter(32, 10);
    const std::string file = writeImage(dir, img, "E2MP_in.bin");
    const struct {
        std::vector<std::string> edits;
        const char* refusal; // "": written
    } cases[] = {
        // Constellation 4 does not offer 10: the interpolation is emptied and takes the focus.
        {{"Up_Stram_Cons=4", "Up_Stram_Inter=16"}, ""},
        {{"Up_Stram_Cons=4"}, "Illegal Parameter: You must specify interpolation"},
        {{"Up_Stram_Cons=4", "Reduce=1"}, "Illegal Parameter: You must specify interpolation"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edits.back());
        const auto r = editChecked(dir, file, c.edits, *c.refusal);
        if (*c.refusal) {
            EXPECT_TRUE(r.errHasLine(c.refusal)) << r.err;
        } else {
            const auto m = parseShow(runIn(dir, {"show", dir / "E2MP_out.bin"}).out);
            EXPECT_EQ(m.at("Up_Stram_Cons") + "/" + m.at("Up_Stram_Inter"), "4/16");
        }
    }
}

// A text-box edit holds, or it is refused: the box shows the value typed (the same text in any
// case or the same number), and a PSD text has become its level bytes.
TEST(CliEditRule, AnEditTheWindowAltersIsRefused) {
    ScratchDir dir;
    const struct {
        int mode;
        std::vector<std::string> edits;
        const char* refusal; // the last line on stderr; "": written
    } cases[] = {
        {4, {"FText(0)=4"}, "FText(0)=4: the window shows 05"},
        {1, {"DwCarrierText(0)=012"}, "DwCarrierText(0)=012: the window shows 001"},
        {2, {"UsCarrierText(0)=005"}, "UsCarrierText(0)=005: the window shows 000"},
        {3, {"Max_PSD=96"}, "Max_PSD=96: not converted into a level"},
        {3,
         {"Dw_Stram_Cons=128", "PowerController=0", "Max_PSD=95.83"}, // a 17-bit level
         "Max_PSD=95.83: not converted into a level"},
        {3, {"Max_PSD=-"}, "Max_PSD=-: not converted into a level"},
        {1, {"DwCarrierText(0)=5", "DwCarrierText(1)=99", "UTOPIAAddress=a"}, ""},
        {3, {"UTOPIAAddress=1f", "Max_PSD=40", "FText(1)=5"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edits.back());
        const std::string file =
            writeSample(dir, c.mode, modeCode(c.mode) + std::string("_in.bin"));
        const auto r = editChecked(dir, file, c.edits, *c.refusal);
        if (*c.refusal) {
            EXPECT_EQ(r.errLines().back(), std::string("romwright-cli: ") + c.refusal);
        }
        // The window's own message comes first.
        if (c.mode == 4) {
            EXPECT_TRUE(r.errHasLine("Wrong F sample: The Fsample can't be less then 5 MHZ"));
        }
    }
}

TEST(CliEdit, OutputNameMustBeginWithTheModeCodeAndAnExistingOneNeedsForce) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_in.bin");
    for (const std::string name : {"out.bin", "e2mp_lower.bin", "E2UP_other.bin"}) {
        const auto r = runIn(dir, {"edit", file, "-o", dir / name});
        EXPECT_EQ(r.exitCode, 2) << name;
        EXPECT_TRUE(r.errHasLine("Mismatch file name: The file must begin with :   E2MP")) << r.err;
        EXPECT_FALSE(fs::exists(dir / name)) << name;
    }
    // A bare name is taken in the current directory, where it passes.
    const auto bare = runIn(dir, {"edit", file, "-o", "E2MP_bare.bin"});
    EXPECT_EQ(bare.exitCode, 0) << bare.err;
    EXPECT_TRUE(fs::exists(dir / "E2MP_bare.bin"));
    // As read does: an existing OUT is kept unless --force is given.
    for (const bool force : {false, true}) {
        std::vector<std::string> args = {"edit", file, "-o", "E2MP_bare.bin", "Baund=19200"};
        if (force) args.emplace_back("--force");
        const auto r = runIn(dir, args);
        EXPECT_EQ(r.exitCode, force ? 0 : 2) << r.err;
        EXPECT_EQ(parseShow(runIn(dir, {"show", "E2MP_bare.bin"}).out).at("Baund"),
                  force ? "19200" : "9600");
    }
}

TEST(CliEdit, ReservedAreaBytesGoThroughTheEditor) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_in.bin");
    const std::string out = dir / "E2MP_out.bin";
    const auto r =
        runIn(dir, {"edit", file, "-o", out, "--reserved", "1A=5", "--reserved", "ff=c3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto bytes = readBytes(out);
    ASSERT_EQ(bytes.size(), 8192u);
    for (int a = 0; a < 256; ++a) {
        const std::uint8_t want = a == 0x1A ? 0x05 : a == 0xFF ? 0xC3 : 0xFF;
        EXPECT_EQ(bytes[static_cast<std::size_t>(0x1F00 + a)], want) << a;
    }
}

TEST(CliEdit, ReservedAreaRefusals) {
    ScratchDir dir;
    const std::string mp = writeSample(dir, 3, "E2MP_in.bin");
    const std::string mb = writeSample(dir, 1, "E2MB_in.bin");
    struct Case {
        std::string file, out, reserved;
    };
    for (const Case& c : {Case{mb, "E2MB_out.bin", "1A=5"}, Case{mp, "E2MP_out.bin", "100=5"},
                          Case{mp, "E2MP_out.bin", "1A=100"}, Case{mp, "E2MP_out.bin", "G=1"},
                          Case{mp, "E2MP_out.bin", "1A="}}) {
        const auto r = runIn(dir, {"edit", c.file, "-o", dir / c.out, "--reserved", c.reserved});
        EXPECT_EQ(r.exitCode, 2) << c.reserved << "\n" << r.err;
        EXPECT_FALSE(fs::exists(dir / c.out)) << c.reserved;
    }
}

// ---- diff --------------------------------------------------------------------------------

TEST(CliDiff, ListsOffsetsThenFields) {
    ScratchDir dir;
    image::Image img = image::makeSampleImage(2);
    const std::string a = writeImage(dir, img, "E2UB_a.bin");
    const std::string b = dir / "E2UB_b.bin";
    ASSERT_EQ(runIn(dir, {"edit", a, "-o", b, "Baund=19200"}).exitCode, 0);
    // And one byte nobody interprets.
    auto bytes = readBytes(b);
    bytes[0x1234] ^= 0xFF;
    image::Image changed{};
    std::copy(bytes.begin(), bytes.end(), changed.begin());
    ASSERT_TRUE(image::writePatchFile(b, changed));

    const auto r = runIn(dir, {"diff", a, b});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    std::vector<std::string> expected;
    for (int k = 0; k < 8192; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (img[i] == changed[i]) continue;
        char line[32];
        std::snprintf(line, sizeof line, "%04X %02X -> %02X", k, img[i], changed[i]);
        expected.emplace_back(line);
    }
    const auto lines = r.outLines();
    ASSERT_GE(lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]);
    const std::vector<std::string> fields(lines.begin() + static_cast<long>(expected.size()),
                                          lines.end());
    EXPECT_NE(std::find(fields.begin(), fields.end(), "Baund: 9600 -> 19200"), fields.end())
        << r.out;
    for (const auto& f : fields)
        EXPECT_NE(f.find(": "), std::string::npos) << f;
}

TEST(CliDiff, IdenticalFilesExit0WithoutOutputProductFromEitherNameOrOptionElseAWarning) {
    ScratchDir dir;
    const std::string a = writeSample(dir, 1, "plain_a.bin");
    const std::string b = writeSample(dir, 1, "E2MB_b.bin");
    const auto r = runIn(dir, {"diff", a, b});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    const std::string c = writeSample(dir, 1, "plain_c.bin");
    EXPECT_EQ(runIn(dir, {"diff", a, c}).exitCode, 2);
    EXPECT_EQ(runIn(dir, {"diff", a, c, "--product", "1"}).exitCode, 0);
    // A file named for another product is read as the first one's, with a warning.
    const std::string d = writeSample(dir, 1, "E2UB_d.bin");
    EXPECT_TRUE(runIn(dir, {"diff", b, d})
                    .errHasLine("romwright-cli: warning: '" + d +
                                "' is named for product 2, but both files are read as product 1"));
}

} // namespace
} // namespace rw::clitest

namespace rw::clitest {
namespace {

// A value the image cannot hold stops program before the port is opened.
TEST(CliStore, ValueThatDoesNotFitItsByteIsRefusedBeforeThePortOpens) {
    ScratchDir dir;
    const std::string file = writeSample(dir, 1, "E2MB_in.bin");
    const auto p = runIn(dir, {"program", file, "--port", dir / "no-such-tty", "Baund=115200",
                               "FText(0)=10", "FText(1)=00"});
    EXPECT_EQ(p.exitCode, 2);
    EXPECT_TRUE(p.errHasLine("Illegal Parameter: UART_Rate does not fit in one byte.")) << p.err;
    EXPECT_EQ(p.err.find("Port Unavailable"), std::string::npos) << "the port was never opened";
}

} // namespace
} // namespace rw::clitest

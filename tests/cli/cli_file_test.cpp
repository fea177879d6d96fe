// show, edit and diff against the same windows driven here as a user drives them: that NAME=VALUE
// reaches each kind of control and what the command refuses (edits themselves: window tests).
#include "config/config_form.h"
#include "config/general_module.h"
#include "image/sample_image.h"
#include "support/app_bench.h"
#include "support/cli_run.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <tuple>

#include <filesystem>
#include <fstream>

namespace rw::test {
namespace {

namespace fs = std::filesystem;

const char* const kCodes[] = {"", "E2MB", "E2UB", "E2MP", "E2UP"};

// The product's windows in this process: what the command line must produce.
struct Gui : AppBench {
    explicit Gui(int mode) : AppBench(mode, Real) {}
    void open(const std::string& path) {
        platform.files.answers.push_back(path);
        main->onOpenCommand();
    }
    config::ConfigForm& form() { return *main->configForm(); }
    template <class T> T& control(const std::string& name) {
        return dynamic_cast<T&>(*form().findByFullName(name));
    }
    bool type(const std::string& name, const std::string& value) {
        return form().typeText(control<ui::TextBox>(name), value) && form().leave();
    }
    bool pick(const std::string& name, const std::string& item) {
        return form().setFocus(&control<ui::ComboBox>(name)) &&
               control<ui::ComboBox>(name).userPick(item);
    }
};

class CliShow : public ::testing::TestWithParam<int> {};

TEST_P(CliShow, PrintsEveryFieldAsTheWindowShowsItAlsoAsJson) {
    const int mode = GetParam();
    TempDir dir;
    const std::string file = writeSample(dir, mode, kCodes[mode] + std::string("_sample.bin"));
    const auto r = runCli(dir, {{"show", file}});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    Gui gui(mode);
    gui.open(file);
    std::vector<std::string> names = gui.form().boundFieldNames();
    for (const char* e :
         {"UART_Rate", "DownBitrate", "UpBitrate", "Max_PSD", "Min_PSD", "AFEControl"})
        if (std::find(names.begin(), names.end(), e) == names.end()) names.push_back(e);
    const auto lines = r.outLines();
    ASSERT_EQ(lines.size(), names.size()) << r.out;
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(lines[i], names[i] + "=" + gui.form().fieldText(names[i]).value_or("?"));

    const auto json = runCli(dir, {{"show", "--json", file}});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const QJsonObject obj = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    const auto shown = parseShow(r.out);
    EXPECT_EQ(static_cast<std::size_t>(obj.size()), shown.size()) << json.out;
    for (const auto& [name, text] : shown)
        EXPECT_EQ(obj.value(QString::fromStdString(name)).toString().toStdString(), text) << name;
}

INSTANTIATE_TEST_SUITE_P(EachProduct, CliShow, ::testing::Values(1, 2, 3, 4));

TEST(CliShow, ProductFromTheFileNameInAnyCaseAlsoInTheCurrentFolder) {
    TempDir dir;
    writeSample(dir, 4, "xyup_lower.bin");
    const auto r = runCli(dir, {{"show", "xyup_lower.bin"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(parseShow(r.out).count("MultiPHY")) << "an ATM window";
}

TEST(CliShow, WrongGenerationOrUnreadableFileIsExit2WithTheWindowsMessageAndWhy) {
    TempDir dir;
    const std::string bplus = writeSample(dir, 3, "E2MP_sample.bin");
    const std::string shortFile = dir.file("E2MB_short.bin");
    writeText(shortFile, std::string(100, 'x'));
    const std::string longFile = writeSample(dir, 1, "E2MB_long.bin");
    std::ofstream(longFile, std::ios::app) << std::string(808, 'x');
    // last: how the command line's own last line begins
    const std::tuple<std::vector<std::string>, int, std::string, std::string> cases[] = {
        {{"show", bplus, "--product", "1"},
         2,
         "Invalid patch version: This patch does not match this application",
         "romwright-cli: '" + bplus + "' was not loaded"},
        {{"show", shortFile},
         2,
         "Romwright: Error Loading Patch File :  " + shortFile + " is 100 bytes, an image is 8192",
         "romwright-cli: '" + shortFile + "' was not loaded: is 100 bytes, an image is 8192"},
        // A longer file loads its first 8192 bytes, with a word about the rest.
        {{"show", longFile},
         0,
         "",
         "romwright-cli: warning: '" + longFile + "' is 9000 bytes; only its first 8192 are used"}};
    for (const auto& [args, exitCode, box, last] : cases) {
        const auto r = runCli(dir, {args});
        EXPECT_EQ(r.exitCode, exitCode);
        EXPECT_TRUE(box.empty() || r.errHasLine(box)) << r.err;
        ASSERT_FALSE(r.errLines().empty());
        EXPECT_EQ(r.errLines().back().rfind(last, 0), 0u) << r.err;
        EXPECT_EQ(r.out.empty(), exitCode != 0);
    }
}

// Each kind of control edited, compared with the same edits made by a user in the window; the
// file has bytes outside the block that the window saves anew.
class CliEditEachKind : public ::testing::TestWithParam<int> {};

TEST_P(CliEditEachKind, MatchesAUsersEdits) {
    const int mode = GetParam();
    TempDir dir;
    const std::string code = kCodes[mode];
    image::Image img = image::makeSampleImage(mode);
    img[0x300] ^= 0x5A;
    img[0x1F10] = 0x42;
    const std::string file = writeImage(dir, img, code + "_in.bin");
    Gui gui(mode);
    gui.open(file);
    const std::string reduce = gui.form().fieldText("Reduce") == "1" ? "0" : "1";

    const std::string out = dir.file(code + "_cli.bin");
    // One step is 0.01 MHz, less than a carrier index: six steps reach the next one.
    std::vector<std::string> args =
        words("edit " + file + " -o " + out + " Baund=19200 Reduce=" + reduce +
              " UTOPIAAddress=1F PowerController=3");
    args.insert(args.end(), 6, "DownCarrierScroll=up");
    // TransmitePreambleL is hidden outside expert mode and edited all the same.
    args.insert(args.end(), {"Max_PSD=-3", "TransmitePreambleL=3C"});
    const auto r = runCli(dir, {args});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    gui.form().show();
    ASSERT_TRUE(gui.pick("Baund", "19200"));
    gui.control<ui::CheckBox>("Reduce").userClick();
    ASSERT_TRUE(gui.type("UTOPIAAddress", "1F"));
    ASSERT_TRUE(gui.pick("PowerController", "3"));
    ASSERT_TRUE(gui.form().leave());
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(dynamic_cast<ui::UpDown&>(*gui.form().find("DownCarrierScroll")).userUp());
        ASSERT_TRUE(gui.form().leave());
    }
    ASSERT_TRUE(gui.type("Max_PSD", "-3"));
    ASSERT_TRUE(gui.type("TransmitePreambleL", "3C"));
    ASSERT_TRUE(gui.form().Done());
    gui.platform.files.answers.push_back(dir.file(code + "_gui.bin"));
    ASSERT_TRUE(gui.main->onCreateClick());
    EXPECT_EQ(readBytes(out).size(), 8192u);
    EXPECT_EQ(readBytes(out), readBytes(dir.file(code + "_gui.bin")));
}

INSTANTIATE_TEST_SUITE_P(OneOfEachGeneration, CliEditEachKind, ::testing::Values(1, 3));

// `edit IN -o OUT EDITS...`: written, or refused with exit 2, a reason, and no OUT.
TEST(CliEdit, WrittenOrRefused) {
    TempDir dir;
    for (const int mode : {1, 3, 4})
        writeSample(dir, mode, kCodes[mode] + std::string("_in.bin"));
    // Constellation 32 with interpolation 10, which constellation 4 does not offer.
    image::Image cons = image::makeSampleImage(3);
    cons[static_cast<std::size_t>(image::slotOffset(1, true))] = config::packConsInter(32, 10);
    writeImage(dir, cons, "E2MP_cons.bin");
    // Moved away from its factory value, so "Default" has work to do.
    ASSERT_EQ(runCli(dir, {{"edit", dir.file("E2UP_in.bin"), "-o", "E2UP_moved.bin", "Baund=2400"}})
                  .exitCode,
              0);
    const struct {
        const char* in;
        const char* edits;
        const char* refusal; // nullptr: written; "": any reason
        std::map<std::string, std::string> shows = {};
    } cases[] = {
        {"E2MP_in", "Bogus=1", "unknown field 'Bogus'"},
        {"E2MP_in", "UART_Rate=12", ""},
        {"E2MP_in", "DownBitrate=1", ""},
        {"E2MP_in", "AFEControl=ABC", ""},
        {"E2MP_in", "UTOPIAAddress=123", "longer than the field's"},
        {"E2MP_in", "UTOPIAAddress=\x7F", "only printable ASCII"},
        {"E2MP_in", "Baund=12345", "not an item of the list"},
        {"E2MP_in", "Reduce=2", "a check box takes 0 or 1"},
        {"E2MP_in", "DownCarrierScroll=left", "the arrows take up or down"},
        {"E2UP_moved", "--defaults", nullptr, {{"Baund", "9600"}}},
        // The window's messages reach stderr; its Done check refuses.
        {"E2MP_in", "Baund=19200 UTOPIAAddress=G", "Illegal Parameter: Please insert new value"},
        {"E2MB_in", "Baund=115200 FText(0)=10 FText(1)=00", "UART_Rate does not fit in one byte."},
        // A pick is not followed by leaving: the focus stays where the window put it, and the
        // next edit's focus change, or "Done", checks it as the window would.
        {"E2MP_cons",
         "Up_Stram_Cons=4 Up_Stram_Inter=16",
         nullptr,
         {{"Up_Stram_Cons", "4"}, {"Up_Stram_Inter", "16"}}},
        {"E2MP_cons", "Up_Stram_Cons=4", "Illegal Parameter: You must specify interpolation"},
        // A text edit holds (the same text in any case, or the same number), or it is refused;
        // a PSD text must have become its level bytes.
        {"E2UP_in", "FText(0)=4", "romwright-cli: FText(0)=4: the window shows 05"},
        {"E2MB_in", "DwCarrierText(0)=012", "DwCarrierText(0)=012: the window shows 001"},
        {"E2MP_in", "Max_PSD=96", "Max_PSD=96: not converted into a level"},
        {"E2MP_in", "Max_PSD=-", "Max_PSD=-: not converted into a level"},
        {"E2MB_in", "DwCarrierText(0)=5 DwCarrierText(1)=99 UTOPIAAddress=a", nullptr},
        {"E2MP_in", "UTOPIAAddress=1f Max_PSD=40 FText(1)=5", nullptr},
        // The reserved area, through its editor, on B+ only (written last, checked below).
        {"E2MB_in", "--reserved 1A=5", "products 1 and 2 have no reserved area"},
        {"E2MP_in", "--reserved 100=5", "the address must be 00..FF"},
        {"E2MP_in", "--reserved 1A=100", "the value must be 00..FF"},
        {"E2MP_in", "--reserved 1A=5 --reserved ff=c3", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edits);
        const std::string out = std::string(c.in).substr(0, 4) + "_out.bin";
        fs::remove(dir.file(out));
        const auto r =
            runCli(dir, {words("edit " + std::string(c.in) + ".bin -o " + out + " " + c.edits)});
        EXPECT_EQ(r.exitCode, c.refusal ? 2 : 0) << r.err;
        EXPECT_EQ(fs::exists(dir.file(out)), !c.refusal);
        EXPECT_NE(r.err.find(c.refusal ? c.refusal : ""), std::string::npos) << r.err;
        const auto shown = parseShow(c.shows.empty() ? "" : runCli(dir, {{"show", out}}).out);
        for (const auto& [name, text] : c.shows)
            EXPECT_EQ(shown.count(name) ? shown.at(name) : "<none>", text) << name;
    }
    const auto bytes = readBytes(dir.file("E2MP_out.bin"));
    ASSERT_EQ(bytes.size(), 8192u) << "the reserved bytes were written last";
    for (int a = 0; a < 256; ++a)
        EXPECT_EQ(bytes[std::size_t(0x1F00 + a)], a == 0x1A ? 0x05 : a == 0xFF ? 0xC3 : 0xFF) << a;
}

TEST(CliEdit, OutputNameMustBeginWithTheModeCodeAndAnExistingOneNeedsForce) {
    TempDir dir;
    const std::string file = writeSample(dir, 3, "E2MP_in.bin");
    const auto wrong = runCli(dir, {{"edit", file, "-o", dir.file("out.bin")}});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.errHasLine("Mismatch file name: The file must begin with :   E2MP"))
        << wrong.err;
    EXPECT_FALSE(fs::exists(dir.file("out.bin")));
    // A bare name is taken in the current folder; once there, it is kept unless --force.
    for (const std::string baund : {"9600", "19200", "2400"}) {
        std::vector<std::string> args = {"edit", file, "-o", "E2MP_bare.bin", "Baund=" + baund};
        if (baund != "19200") args.emplace_back("--force");
        EXPECT_EQ(runCli(dir, {args}).exitCode, baund == "19200" ? 2 : 0) << baund;
        EXPECT_EQ(parseShow(runCli(dir, {{"show", "E2MP_bare.bin"}}).out).at("Baund"),
                  baund == "19200" ? "9600" : baund);
    }
}

TEST(CliDiff, ListsOffsetsThenFields) {
    TempDir dir;
    const image::Image img = image::makeSampleImage(2);
    const std::string a = writeImage(dir, img, "E2UB_a.bin");
    const std::string b = dir.file("E2UB_b.bin");
    ASSERT_EQ(runCli(dir, {{"edit", a, "-o", b, "Baund=19200"}}).exitCode, 0);
    // And one byte nobody interprets.
    auto bytes = readBytes(b);
    bytes[0x1234] ^= 0xFF;
    writeBytes(b, bytes);

    const auto r = runCli(dir, {{"diff", a, b}});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < img.size(); ++i)
        if (img[i] != bytes[i]) expected.push_back(offsetLine(int(i), img[i], bytes[i]));
    const auto lines = r.outLines();
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector(lines.begin(), lines.begin() + long(expected.size())), expected);
    const std::vector fields(lines.begin() + long(expected.size()), lines.end());
    EXPECT_NE(std::find(fields.begin(), fields.end(), "Baund: 9600 -> 19200"), fields.end())
        << r.out;
    for (const auto& f : fields)
        EXPECT_NE(f.find(": "), std::string::npos) << f;
}

TEST(CliDiff, IdenticalFilesExit0WithoutOutputProductFromEitherNameOrOptionElseAWarning) {
    TempDir dir;
    const std::string a = writeSample(dir, 1, "plain_a.bin"), b = writeSample(dir, 1, "E2MB_b.bin"),
                      c = writeSample(dir, 1, "plain_c.bin"), d = writeSample(dir, 1, "E2UB_d.bin");
    const auto r = runCli(dir, {{"diff", a, b}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(runCli(dir, {{"diff", a, c}}).exitCode, 2);
    EXPECT_EQ(runCli(dir, {{"diff", a, c, "--product", "1"}}).exitCode, 0);
    // A file named for another product is read as the first one's, with a warning.
    EXPECT_TRUE(runCli(dir, {{"diff", b, d}})
                    .errHasLine("romwright-cli: warning: '" + d +
                                "' is named for product 2, but both files are read as product 1"));
}

} // namespace
} // namespace rw::test

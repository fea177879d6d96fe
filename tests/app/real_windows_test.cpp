// The main window with the real configuration windows: sample files load without complaint
// and save back byte for byte.
#include "app_fixture.h"

using namespace rw;
using rw::testing::readBytes;
using rw::testing::RealApp;
using rw::testing::TempDir;
using rw::testing::writeImage;

namespace {

const char* codeOf(int mode) {
    return image::productForMode(mode)->modeCode;
}

} // namespace

TEST(RealWindows, StartCreatesTheProductsWindow) {
    const config::Variant variants[] = {config::Variant::MII_B, config::Variant::ATM_B,
                                        config::Variant::MII_BP, config::Variant::ATM_BP};
    for (int mode = 1; mode <= 4; ++mode) {
        RealApp a(mode);
        ASSERT_TRUE(a.main);
        ASSERT_NE(a.main->configForm(), nullptr);
        EXPECT_EQ(a.main->configForm()->variant(), variants[mode - 1]);
        EXPECT_FALSE(a.main->configForm()->isLoading);
        EXPECT_TRUE(a.platform.boxes.shown.empty());
        a.main->onDigitalCommand();
        EXPECT_TRUE(a.main->configForm()->visible());
    }
}

TEST(RealWindows, SampleFilesLoadAndSaveBackUnchanged) {
    for (int mode = 1; mode <= 4; ++mode) {
        RealApp a(mode);
        const auto img = image::makeSampleImage(mode);
        a.open(image::sampleFileName(mode), img);
        EXPECT_TRUE(a.platform.boxes.shown.empty())
            << "mode " << mode << ": "
            << (a.platform.boxes.last() ? a.platform.boxes.last()->text : "");
        EXPECT_TRUE(a.main->Create.enabled());
        EXPECT_FALSE(a.main->run.formChanged) << "mode " << mode;
        const auto out = a.saveAs(std::string(codeOf(mode)) + "_out.bin");
        ASSERT_TRUE(a.main->onCreateClick()) << "mode " << mode;
        const auto bytes = readBytes(out);
        ASSERT_EQ(bytes.size(), 8192u);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(bytes[i], img[i]) << "mode " << mode << " offset " << i;
    }
}

TEST(RealWindows, DefaultsInMiiBPReachTheSavedPhyBytes) {
    RealApp a(3);
    auto img = image::makeSampleImage(3);
    for (int i = 612; i <= 616; ++i)
        img[static_cast<std::size_t>(i)] = 0x00;
    a.open("E2MP_zero.bin", img);
    a.main->configForm()->setDefaults();
    const auto out = a.saveAs("E2MP_def.bin");
    ASSERT_TRUE(a.main->onCreateClick());
    const auto bytes = readBytes(out);
    EXPECT_EQ(bytes[612], 0x1C);
    EXPECT_EQ(bytes[613], 0x01);
}

TEST(RealWindows, CommandLineStartLoadsTheSample) {
    TempDir d;
    const auto path = d.file(image::sampleFileName(2));
    writeImage(path, image::makeSampleImage(2));
    ui::ScriptedPlatform platform;
    app::WelcomeForm welcome;
    std::unique_ptr<app::MainForm> main;
    welcome.onShowMain = [&] {
        main = std::make_unique<app::MainForm>(platform, welcome, app::defaultConfigFactory());
        main->currentDirectory = [&] { return d.str(); };
        main->onLoad();
    };
    ASSERT_TRUE(welcome.onLoad(path));
    ASSERT_TRUE(main);
    EXPECT_EQ(main->run.pathOfFile, path);
    EXPECT_TRUE(platform.boxes.shown.empty());
    EXPECT_EQ(main->about().EEPROMversion.caption(), "12");
    EXPECT_TRUE(main->Dump.enabled());
}

TEST(RealWindows, ValueThatCannotBeStoredStopsTheSave) {
    RealApp a(4);
    const auto src = a.open("E2UP_s.bin", image::makeSampleImage(4));
    auto* box = dynamic_cast<ui::TextBox*>(a.main->configForm()->findByFullName("Max_psdL"));
    ASSERT_NE(box, nullptr);
    box->setText("1FF");
    a.main->run.formChanged = true;
    const auto out = a.saveAs("E2UP_o.bin");
    EXPECT_FALSE(a.main->onCreateClick());
    ASSERT_FALSE(a.platform.boxes.shown.empty());
    EXPECT_EQ(a.platform.boxes.last()->title, "Illegal Parameter");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(a.main->run.formChanged);
    EXPECT_EQ(a.main->run.pathOfFile, src);
}

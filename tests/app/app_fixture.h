// Shared helpers of the application tests: a temporary folder, a small stand-in for the
// configuration windows, and a main window started for a product on the scripted platform.
#pragma once

#include "app/main_form.h"
#include "app/welcome_form.h"
#include "config/config_form.h"
#include "image/config_module.h"
#include "image/sample_image.h"
#include "support/temp_dir.h"
#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace rw::testing {

namespace fs = std::filesystem;

using TempDir = rw::test::TempDir;

inline void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline void writeImage(const std::string& path, const image::Image& img) {
    writeBytes(path, std::vector<std::uint8_t>(img.begin(), img.end()));
}

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// An image whose every byte tells its offset apart (offset 1 is the version byte).
inline image::Image patternImage(std::uint8_t seed = 0) {
    image::Image img;
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<std::uint8_t>((i * 7 + (i >> 8) * 13 + seed) & 0xFF);
    return img;
}

// A stand-in configuration window: records what the main window asks of it and writes its
// bytes (the loaded ones XOR A5h, so they differ from the source) at the product's positions.
class FakeConfigForm : public config::ConfigForm {
public:
    static config::Variant variantOf(int mode) {
        using V = config::Variant;
        return std::array{V::MII_B, V::ATM_B, V::MII_BP, V::ATM_BP}[mode - 1];
    }
    FakeConfigForm(config::FormContext& ctx, int mode)
        : ConfigForm(ctx, variantOf(mode), image::productForMode(mode)->window,
                     image::productForMode(mode)->configCaption),
          mode_(mode) {}

    void sendDigToModem() override { context().cm.clearOverrides(); }
    void sendDigToFile(image::Image& out) override {
        context().cm.clearOverrides();
        ++fileWrites;
        const bool bplus = image::isBPlus(mode_);
        for (int slot : image::slotsForMode(mode_))
            out[static_cast<std::size_t>(image::slotOffset(slot, bplus))] =
                fieldBytes[static_cast<std::size_t>(slot)];
    }
    bool loadFromPatch() override {
        ++loads;
        loadingDuringLoad = isLoading;
        patchAtLoad = context().cm.patchBytes;
        for (std::size_t i = 0; i < fieldBytes.size(); ++i)
            fieldBytes[i] = static_cast<std::uint8_t>(context().cm.patchBytes[i] ^ 0xA5);
        if (failLoad) {
            context().main->disableFileButtons();
            return false;
        }
        return true;
    }
    void fieldsToBytes() override {}
    void setDefaults() override {}
    bool checkInputs() override { return true; }
    std::string storageProblem() override { return storeProblem; }
    bool Done() override {
        hide();
        return true;
    }
    void setExpertLayout(bool expert) override {
        expertLayout = expert ? 1 : 0;
        loadingAtLayout = isLoading;
    }
    void showWatchdogLabels(bool show) override { watchdogLabels = show ? 1 : 0; }
    std::vector<std::string> boundFieldNames() const override { return {}; }

    int mode_;
    int loads = 0;
    int fileWrites = 0;
    bool loadingDuringLoad = false;
    bool loadingAtLayout = false;
    bool failLoad = false;
    std::string storeProblem;
    int expertLayout = -1;
    int watchdogLabels = -1;
    std::array<std::uint8_t, image::kPatchSlots> patchAtLoad{};
};

// A main window started for a product, in its own working folder.
struct AppHarness {
    ui::ScriptedPlatform platform;
    app::WelcomeForm welcome;
    std::unique_ptr<app::MainForm> main;
    FakeConfigForm* form = nullptr;
    int factoryCalls = 0;
    int quitCalls = 0;
    std::vector<std::string> directoriesSet; // what leaving made the current directory
    TempDir dir;
    bool started = false;

    AppHarness() {
        welcome.onShowMain = [this] { startMain(); };
    }

    void startMain() {
        main = std::make_unique<app::MainForm>(
            platform, welcome,
            [this](int mode, config::FormContext& ctx) -> std::unique_ptr<config::ConfigForm> {
                ++factoryCalls;
                auto f = std::make_unique<FakeConfigForm>(ctx, mode);
                form = f.get();
                return f;
            });
        main->onQuit = [this] { ++quitCalls; };
        const std::string d = dir.str();
        main->currentDirectory = [d] { return d; };
        main->setCurrentDirectory = [this](const std::string& to) { directoriesSet.push_back(to); };
        started = main->onLoad();
    }

    // Interactive start: the welcome window's list and Continue.
    void startWithRow(const std::string& row) {
        welcome.onLoad("");
        ASSERT_TRUE(welcome.InterfaceOption.userPick(row));
        welcome.Continue.userClick();
    }
    void startMode(int mode) { startWithRow(image::productForMode(mode)->productCode); }

    // A sample-like file of the product in the working folder, opened through the dialog.
    std::string openFile(const std::string& name, const image::Image& img) {
        const std::string path = dir.file(name);
        writeImage(path, img);
        platform.files.answers.push_back(path);
        main->OpenCommand.userClick();
        return path;
    }
    const ui::RecordedBox* lastBox() const { return platform.boxes.last(); }
    // Exactly one message box, with this text, title, buttons and icon.
    void expectOneBox(const std::string& text, const std::string& title, ui::Buttons buttons,
                      std::optional<ui::Icon> icon = std::nullopt) {
        ASSERT_EQ(boxCount(), 1u);
        EXPECT_EQ(lastBox()->text, text);
        EXPECT_EQ(lastBox()->title, title);
        EXPECT_EQ(lastBox()->buttons, buttons);
        if (icon) {
            EXPECT_EQ(lastBox()->icon, *icon);
        }
    }
    std::string save(const std::string& name) {
        platform.files.answers.push_back(dir.file(name));
        return dir.file(name);
    }
    std::size_t boxCount() const { return platform.boxes.shown.size(); }
};

// The main window with the real configuration windows, started for a product.
struct RealApp {
    ui::ScriptedPlatform platform;
    app::WelcomeForm welcome;
    std::unique_ptr<app::MainForm> main;
    TempDir dir;
    int quits = 0;

    // `manualClock` false: the real clock, for runs against the simulated modem.
    explicit RealApp(int mode, bool manualClock = true) : platform(manualClock) {
        welcome.onShowMain = [this] {
            main = std::make_unique<app::MainForm>(platform, welcome, app::defaultConfigFactory());
            main->onQuit = [this] { ++quits; };
            const std::string d = dir.str();
            main->currentDirectory = [d] { return d; };
            main->setCurrentDirectory = [](const std::string&) {};
            main->backupDir = dir.file("backups");
            main->onLoad();
        };
        welcome.onLoad("");
        welcome.InterfaceOption.userPick(image::productForMode(mode)->productCode);
        welcome.Continue.userClick();
    }
    // Writes `img` as `name` and opens it through the dialog; returns the path.
    std::string open(const std::string& name, const image::Image& img) {
        const auto path = dir.file(name);
        writeImage(path, img);
        platform.files.answers.push_back(path);
        main->onOpenCommand();
        return path;
    }
    std::string saveAs(const std::string& name) {
        platform.files.answers.push_back(dir.file(name));
        return dir.file(name);
    }
};

} // namespace rw::testing

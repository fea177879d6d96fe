// A product's main window started as the welcome window starts it, on the scripted platform in
// a scratch folder, with the real configuration windows or a stand-in that records requests.
#pragma once

#include "app/main_form.h"
#include "app/welcome_form.h"
#include "config/config_form.h"
#include "image/config_module.h"
#include "support/temp_dir.h"

#include "ui/scripted_platform.h"
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace rw::test {

// An image whose every byte tells its offset apart (offset 1 is the version byte).
image::Image patternImage(std::uint8_t seed = 0);

// A stand-in configuration window: counts loads and file writes, and writes its bytes (the
// loaded ones XOR A5h, so that they differ from the source) at the product's positions.
class FakeConfigForm : public config::ConfigForm {
public:
    FakeConfigForm(config::FormContext& ctx, int mode);

    void sendDigToModem() override { context().cm.clearOverrides(); }
    void sendDigToFile(image::Image& out) override;
    bool loadFromPatch() override;
    void fieldsToBytes() override {}
    void setDefaults() override {}
    bool checkInputs() override { return true; }
    std::string storageProblem() override { return storeProblem; }
    bool Done() override {
        hide();
        return true;
    }
    void setExpertLayout(bool expert) override {
        expertLayout = expert;
        loadingAtLayout = isLoading;
    }
    void showWatchdogLabels(bool show) override { watchdogLabels = show; }
    std::vector<std::string> boundFieldNames() const override { return {}; }

    int mode;
    int loads = 0;
    int fileWrites = 0;
    bool loadingDuringLoad = false;
    bool loadingAtLayout = false;
    bool failLoad = false;
    std::string storeProblem;
    int expertLayout = -1;   // -1: never asked
    int watchdogLabels = -1; // -1: never asked
};

struct AppBench {
    enum Windows { Fake, Real };
    // Started for `mode` as the welcome window's list and Continue start it (0: not yet).
    // `manualClock` false: the real clock, for runs against the simulated modem.
    explicit AppBench(int mode = 0, Windows windows = Fake, bool manualClock = true);

    ui::ScriptedPlatform platform;
    app::WelcomeForm welcome;
    TempDir dir;
    std::unique_ptr<app::MainForm> main;
    FakeConfigForm* form = nullptr; // the stand-in, when started with it
    int factoryCalls = 0;
    int quits = 0;
    std::vector<std::string> directoriesSet; // what leaving made the current directory
    bool started = false;                    // what the main window's onLoad answered

    void startMode(int mode);
    // The main window for the welcome window's currentMode, as its Continue starts it.
    void startMain();
    // Writes `img` as `name` in the scratch folder and opens it through the dialog.
    std::string open(const std::string& name, const image::Image& img);
    // The Save dialog's next answer: `name` in the scratch folder.
    std::string saveAs(const std::string& name);
    std::size_t boxCount() const { return platform.boxes.shown.size(); }
    // Open, Save, Configurations, Program enabled; the change flag; file shown and source (in the
    // scratch folder); the stand-in's loads and writes; boxes so far: "buttons 1000 changed 0 ..."
    std::string state() const;
    const ui::RecordedBox* lastBox() const { return platform.boxes.last(); }

private:
    Windows windows_;
};

} // namespace rw::test

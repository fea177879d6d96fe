#include "support/app_bench.h"

#include "image/sample_image.h"

#include <array>
#include <sstream>

namespace rw::test {

image::Image patternImage(std::uint8_t seed) {
    image::Image img;
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<std::uint8_t>((i * 7 + (i >> 8) * 13 + seed) & 0xFF);
    return img;
}

FakeConfigForm::FakeConfigForm(config::FormContext& ctx, int m)
    : ConfigForm(ctx,
                 std::array{config::Variant::MII_B, config::Variant::ATM_B, config::Variant::MII_BP,
                            config::Variant::ATM_BP}[m - 1],
                 image::productForMode(m)->window, image::productForMode(m)->configCaption),
      mode(m) {}

void FakeConfigForm::sendDigToFile(image::Image& out) {
    context().cm.clearOverrides();
    ++fileWrites;
    for (int slot : image::slotsForMode(mode))
        out[static_cast<std::size_t>(image::slotOffset(slot, image::isBPlus(mode)))] =
            static_cast<std::uint8_t>(context().cm.patchBytes[static_cast<std::size_t>(slot)] ^
                                      0xA5);
}

bool FakeConfigForm::loadFromPatch() {
    ++loads;
    loadingDuringLoad = isLoading;
    if (failLoad) context().main->disableFileButtons();
    return !failLoad;
}

AppBench::AppBench(int mode, Windows windows, bool manualClock)
    : platform(manualClock), windows_(windows) {
    welcome.onShowMain = [this] { startMain(); };
    if (mode != 0) startMode(mode);
}

void AppBench::startMain() {
    app::MainForm::ConfigFactory factory = app::defaultConfigFactory();
    if (windows_ == Fake)
        factory = [this](int mode,
                         config::FormContext& ctx) -> std::unique_ptr<config::ConfigForm> {
            ++factoryCalls;
            auto f = std::make_unique<FakeConfigForm>(ctx, mode);
            form = f.get();
            return f;
        };
    main = std::make_unique<app::MainForm>(platform, welcome, factory);
    main->onQuit = [this] { ++quits; };
    main->currentDirectory = [d = dir.str()] { return d; };
    main->setCurrentDirectory = [this](const std::string& to) { directoriesSet.push_back(to); };
    main->backupDir = dir.file("backups");
    started = main->onLoad();
}

void AppBench::startMode(int mode) {
    welcome.onLoad("");
    welcome.InterfaceOption.userPick(image::productForMode(mode)->productCode);
    welcome.Continue.userClick();
}

std::string AppBench::open(const std::string& name, const image::Image& img) {
    image::writePatchFile(dir.file(name), img);
    platform.files.answers.push_back(dir.file(name));
    main->OpenCommand.userClick();
    return dir.file(name);
}

std::string AppBench::saveAs(const std::string& name) {
    platform.files.answers.push_back(dir.file(name));
    return dir.file(name);
}

std::string AppBench::state() const {
    const auto name = [this](const std::string& path) {
        if (path.empty()) return std::string("-");
        return path.rfind(dir.str(), 0) == 0 ? path.substr(dir.str().size() + 1) : path;
    };
    const app::MainForm& m = *main;
    std::ostringstream out;
    out << "buttons " << m.OpenCommand.enabled() << m.Create.enabled() << m.DigitalCommand.enabled()
        << m.Dump.enabled() << " changed " << m.run.formChanged << " file "
        << name(m.run.pathOfFile) << " source " << name(m.run.sourceFile) << " loads "
        << (form ? form->loads : -1) << " writes " << (form ? form->fileWrites : -1) << " boxes "
        << boxCount();
    return out.str();
}

} // namespace rw::test

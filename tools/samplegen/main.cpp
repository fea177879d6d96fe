// romwright-samplegen OUTDIR: writes one sample patch file per product into OUTDIR.
#include "image/sample_image.h"

#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: romwright-samplegen OUTDIR\n";
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path dir(argv[1]);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        std::cerr << "romwright-samplegen: cannot create " << dir.string() << ": " << ec.message()
                  << "\n";
        return 1;
    }
    int failures = 0;
    for (int mode = 1; mode <= 4; ++mode) {
        const std::string path = (dir / rw::image::sampleFileName(mode)).string();
        std::string error;
        if (rw::image::writePatchFile(path, rw::image::makeSampleImage(mode), &error)) {
            std::cout << path << "\n";
        } else {
            std::cerr << "romwright-samplegen: " << path << ": " << error << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

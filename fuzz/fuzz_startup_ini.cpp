// startup.ini is user-edited text: reading any content must give settings, never a crash.
#include "app/run_state.h"
#include "app/startup_ini.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = [] {
        auto d =
            std::filesystem::temp_directory_path() / ("rw-fuzz-ini-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d.string();
    }();
    {
        std::ofstream out(rw::app::startupIniPath(dir), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    (void)rw::app::readStartupIni(dir);
    (void)rw::app::iniValue(std::string(reinterpret_cast<const char*>(data), size));
    (void)rw::app::lastSeparatorPosition(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}

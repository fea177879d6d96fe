// The command line's field edits are user text: any NAME=VALUE list must be taken or refused
// with a message, and whatever was taken must pass through "Done" and a save without a crash.
//
// Input: byte 0 chooses the product; the rest is one command-line argument per line, given
// after "edit FILE -o OUT" (so --defaults and --reserved=A=V lines reach the parser too).
#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/cli_session.h"
#include "image/sample_image.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A folder of our own holding one sample file per product; the session reads startup.ini
// from the current folder, so the fuzzer works in there.
const std::filesystem::path& workDir() {
    static const std::filesystem::path dir = [] {
        auto d =
            std::filesystem::temp_directory_path() / ("rw-fuzz-cli-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        for (int mode = 1; mode <= 4; ++mode) {
            std::string error;
            if (!rw::image::writePatchFile((d / rw::image::sampleFileName(mode)).string(),
                                           rw::image::makeSampleImage(mode), &error))
                std::abort();
        }
        std::filesystem::current_path(d);
        return d;
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int mode = data[0] % 4 + 1;
    const std::string file = (workDir() / rw::image::sampleFileName(mode)).string();
    const std::string out =
        (workDir() / (rw::image::sampleFileName(mode).substr(0, 4) + "_out.bin")).string();

    std::vector<std::string> argv{"edit", file, "-o", out};
    std::string line;
    for (std::size_t i = 1; i <= size; ++i) {
        if (i == size || data[i] == '\n') {
            argv.push_back(line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(data[i]));
        }
    }
    const rw::cli::ParseOutcome parsed = rw::cli::parseArguments(argv);
    if (!parsed.error.empty()) return 0;

    std::ostringstream sink;
    rw::cli::Console console(sink, sink, false);
    try {
        rw::cli::Session s(console, mode);
        s.open(file);
        if (parsed.args.defaults) s.pressDefault();
        // A refused edit leaves the window as a user who goes on typing would find it.
        for (const rw::cli::FieldEdit& e : parsed.args.edits) {
            try {
                s.applyEdit(e);
            } catch (const rw::cli::CommandFailure&) {
            }
        }
        for (const rw::cli::ReservedEdit& r : parsed.args.reserved) {
            try {
                s.applyReserved(r);
            } catch (const rw::cli::CommandFailure&) {
            }
        }
        (void)s.shownFields();
        s.done();
        s.save(out);
    } catch (const rw::cli::CommandFailure&) {
    }
    return 0;
}

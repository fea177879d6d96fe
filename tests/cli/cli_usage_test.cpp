// The command line's contract outside the windows: arguments, help, usage errors, the
// product rule and message lines.
#include "cli/cli.h"
#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/cli_progress.h"
#include "modem/programming_run.h"
#include "support/cli_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include <optional>
#include <sstream>

namespace rw::test {
namespace {

using cli::parseArguments;

std::string parsed(const std::vector<std::string>& argv) {
    const auto p = parseArguments(argv);
    std::ostringstream s;
    s << p.error << "command " << int(p.args.command) << " -o " << p.args.output << " product "
      << p.args.product.value_or(0) << " jobs " << p.args.jobs
      << (p.args.defaults ? " defaults" : "");
    for (const auto& f : p.args.files)
        s << " file " << f;
    for (const auto& port : p.args.ports)
        s << " port " << port;
    for (const auto& e : p.args.edits)
        s << " edit " << e.name << "=" << e.value;
    for (const auto& r : p.args.reserved)
        s << " reserved " << r.address << "=" << r.value;
    return s.str();
}

TEST(CliArguments, WhatACommandLineSetsAndWhatItRefuses) {
    // Edits in order, whatever options come between; a file name's bytes pass unchanged,
    // whatever their encoding, and after "--" even when they begin with "-".
    EXPECT_EQ(parsed({"edit", "E2MP_a.bin", "-o", "E2MP_b.bin", "--product", "3", "Max_PSD=-30.5",
                      "--reserved", "1A=5", "--defaults", "Baund=9600", "--reserved=FF=00"}),
              "command 2 -o E2MP_b.bin product 3 jobs 0 defaults file E2MP_a.bin edit "
              "Max_PSD=-30.5 edit Baund=9600 reserved 1A=5 reserved FF=00");
    EXPECT_EQ(
        parsed({"program", "--port=COM2", "--jobs", "2", "--port", "/dev/x", "--", "-odd\xE9.bin",
                "FText(1)="}),
        "command 3 -o  product 0 jobs 2 file -odd\xE9.bin port COM2 port /dev/x edit FText(1)=");
    // One command line a row, the first one empty.
    for (const std::string& bad : splitLines(
             "\n"
             "frobnicate\nshow\nshow a.bin b.bin\nshow a.bin X=1\nshow a.bin --port COM1\n"
             "show a.bin --bogus\n-x show a.bin\nedit a.bin\nedit a.bin -o\n"
             "edit a.bin -o b =3\nedit a.bin -o b --reserved 1A\nshow a.bin --product 5\n"
             "show a.bin --product 0\nshow a.bin --json=yes\nread --port COM1\ndiff a.bin\n"
             "restore a.bin X=1\nshow a.bin --force\nprogram a.bin --dry-run --backup b.bin\n"
             "verify --port COM1\nverify a.bin --backup b.bin\nshow a.bin --quiet\n"
             "read --port A --port B --product 1 -o x\n"
             "program a.bin --port A --port B --backup b.bin\n"
             "program a.bin --port A --jobs 0\nlog --last -1"))
        EXPECT_NE(parseArguments(words(bad)).error, "") << bad;
    // Hex bytes for the reserved area.
    for (const auto& [text, value] : {std::pair{"0", 0}, {"1a", 0x1A}, {"FF", 0xFF}})
        EXPECT_EQ(cli::parseHexByte(text), value) << text;
    for (const char* text : {"", "100", "G", "-1"})
        EXPECT_EQ(cli::parseHexByte(text), std::nullopt) << text;
}

TEST(CliPorts, ComNamesMapAndPathsStay) {
    ::setenv("ROMWRIGHT_COM3", "/dev/ttyUSB7", 1);
    EXPECT_EQ(cli::deviceForPort("COM3"), "/dev/ttyUSB7");
    EXPECT_EQ(cli::deviceForPort("com3"), "/dev/ttyUSB7");
    ::unsetenv("ROMWRIGHT_COM3");
    for (auto [port, device] : {std::pair{"COM1", "/dev/ttyS0"},
                                {"COM6", "/dev/ttyS5"},
                                {"COM7", ""},
                                {"COM0", ""},
                                {"/dev/pts/7", "/dev/pts/7"}})
        EXPECT_EQ(cli::deviceForPort(port), device) << port;
}

TEST(CliMessages, TitleTextOnOneLineControlCharactersEscapedDetailOnItsOwnLines) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"Bad patch file",
         "An error occurred while reading the patch file.\r\nPlease try another one.",
         "Bad patch file: An error occurred while reading the patch file. Please try another "
         "one."},
        {"Mismatch file name", "The file must begin with : \r\rE2MB",
         "Mismatch file name: The file must begin with :   E2MB"},
        {"Romwright", "a\nb", "Romwright: a b"},
        // A file name or value from the user: C0, DEL and C1 controls and bytes that are no
        // UTF-8 cannot reach the terminal; whole UTF-8 characters can.
        {"Romwright", "E2MP_\x1B[2J\t\x7F.bin", "Romwright: E2MP_\\x1B[2J\\x09\\x7F.bin"},
        {"Romwright", "\xC3\xA9 \xC2\x9B \xE9", "Romwright: \xC3\xA9 \\xC2\\x9B \\xE9"}};
    for (const auto& [title, text, line] : cases)
        EXPECT_EQ(cli::messageLine(title, text), line);
    // A detail follows on its own lines.
    std::ostringstream out, err;
    cli::Console c(out, err, false);
    c.message("Progrming Error", "An error occurred while programming the E2.",
              "0123: wanted 01, found 00\r\n0124: wanted 02, found 00\n");
    EXPECT_EQ(err.str(), "Progrming Error: An error occurred while programming the E2.\n"
                         "0123: wanted 01, found 00\n0124: wanted 02, found 00\n");
}

TEST(CliProgress, EachPhaseWorkedThroughWithBarBytesAndTimeLeft) {
    using modem::RunPhase;
    // A complete run, and one whose read fails at block 3: the phases it skips are not shown.
    for (bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "failing" : "complete");
        for (bool terminal : {false, true}) {
            std::ostringstream out, err;
            cli::Console console(out, err, terminal);
            double now = 100;
            cli::ProgressLine p(console, [&now] { return now; });
            std::vector<std::string> lines;
            for (RunPhase phase : {RunPhase::Connect, RunPhase::Identify, RunPhase::Read})
                p.phaseStarted(phase, true);
            lines.push_back(p.line());
            for (int b = 0; b < (fails ? 3 : 32); ++b) {
                now += 0.25;
                p.blockDone(RunPhase::Read, b);
                if (b == 7) lines.push_back(p.line());
            }
            if (!fails) {
                p.bytesPlanned(100);
                p.checkPlanned({0, 5});
            }
            p.phaseStarted(RunPhase::Write, !fails);
            for (int k = 1; k <= (fails ? 0 : 100); ++k) {
                now += 0.02;
                p.byteWritten(k);
                if (k == 50) lines.push_back(p.line());
            }
            p.phaseStarted(RunPhase::Verify, !fails);
            for (int b = 0; b < (fails ? 0 : 32); ++b) {
                now += b == 0 ? 1.0 : 0.0;
                p.blockDone(RunPhase::Verify, b);
                if (b == 0) lines.push_back(p.line());
            }
            p.progressEnded();
            p.finished({});
            if (!terminal) {
                EXPECT_EQ(err.str(), fails ? "Connecting\nReading\n"
                                           : "Connecting\nReading\nWriting\nChecking\n");
                continue;
            }
            EXPECT_EQ(lines[0],
                      "Reading   [..............................]   0%  0/8192 bytes  --:-- left");
            if (!fails) {
                EXPECT_EQ(lines[1], "Reading   [#######.......................]  25%  2048/8192 "
                                    "bytes  0:06 left");
                EXPECT_EQ(lines[2], "Writing   [###############...............]  50%  50/100 "
                                    "bytes  0:01 left");
                EXPECT_EQ(lines[3], "Checking  [###############...............]  50%  256/512 "
                                    "bytes  0:01 left");
            }
            // One line, redrawn, ended once.
            const std::string s = err.str();
            EXPECT_EQ(s.find('\n'), s.size() - 1) << s;
            EXPECT_EQ(s.find("Checking") != std::string::npos, !fails) << s;
        }
    }
}

// Help and version on stdout with exit 0; bad usage is one error line, then the usage, exit 2;
// refusals before any work are exit 2 with the reason in one harmless line.
TEST(CliUsage, ExitStatusAndStreams) {
    TempDir dir;
    writeSample(dir, 1, "data.bin");
    writeSample(dir, 1, "E2MB_sample.bin");
    std::filesystem::create_symlink(dir.file("E2MB_loop.bin"), dir.file("E2MB_loop.bin"));
    // out: how stdout begins; err: what stderr mentions; usage: the usage follows the error line
    const std::tuple<const char*, int, const char*, const char*, bool> cases[] = {
        {"--help", 0, "Usage: romwright-cli", "", false},
        {"program --help", 0, "Usage: romwright-cli program", "", false},
        {"--version", 0, "romwright-cli ", "", false},
        {"frobnicate", 2, "", "romwright-cli: ", true},
        {"show E2MB_sample.bin --bogus", 2, "", "romwright-cli: ", true},
        {"show data.bin", 2, "", "product", false},
        {"show E2MB_gone.bin", 2, "", "E2MB_gone.bin", false},
        {"show E2MB_\x1B[2J.bin", 2, "", "E2MB_\\x1B[2J.bin", false},
        {"show E2MB_loop.bin", 2, "", "E2MB_loop.bin", false},
        {"program E2MB_sample.bin --port COM9", 2, "", "COM1..COM6", false},
        {"program E2MB_sample.bin", 2, "", "--port", false}};
    for (const auto& [args, exitCode, out, err, usage] : cases) {
        SCOPED_TRACE(args);
        const auto r = runCli(dir, {words(args)});
        EXPECT_EQ(r.exitCode, exitCode) << r.err;
        EXPECT_EQ(r.out.rfind(out, 0), 0u) << r.out;
        EXPECT_NE(r.err.find(err), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("\n\nUsage: romwright-cli") != std::string::npos, usage) << r.err;
        if (exitCode == 0) continue;
        EXPECT_EQ(r.err.find("internal error"), std::string::npos) << r.err;
        EXPECT_TRUE(std::none_of(r.err.begin(), r.err.end(), [](char ch) {
            return ch != '\n' && (ch < 0x20 || ch == 0x7F);
        })) << r.err;
    }
}

} // namespace
} // namespace rw::test

// The rules on texts the main window goes by: paths and names, the command line, and
// startup.ini.
#include "app/run_state.h"
#include "app/startup_ini.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include <sys/stat.h>

using namespace rw;

TEST(PathRules, LastSeparatorPosition) {
    // None after the first character nor in position 1, nor when the path ends in one.
    std::vector<std::pair<const char*, int>> rows = {
        {"C:\\dir\\E2MB.bin", 7}, {"E2MB.bin", 1}, {"\\E2MB.bin", 1}, {"a", -1}, {"", -1},
        {"C:\\dir\\", -1},        {"ab", 1}};
#ifndef _WIN32
    rows.insert(rows.end(), {{"/tmp/x/E2MB.bin", 7}, {"/tmp/x\\E2MB.bin", 7}, {"/tmp/x/", -1}});
#endif
    for (auto [path, pos] : rows)
        EXPECT_EQ(app::lastSeparatorPosition(path), pos) << path;
}

TEST(PathRules, ModeFromTheCommandLine) {
    // Any case, only characters 3 and 4; a bare name is read from position 2; a name too
    // short for the fourth character has none.
    std::vector<std::pair<const char*, int>> rows = {
        {"C:\\p\\E2MB_1.bin", 1}, {"C:\\p\\E2UB_1.bin", 2}, {"C:\\p\\E2MP_1.bin", 3},
        {"C:\\p\\E2UP_1.bin", 4}, {"C:\\p\\e2mb_1.bin", 1}, {"C:\\p\\XYUP.bin", 4}};
    for (const char* none : {"C:\\p\\E2XB.bin", "E2MB_1.bin", "E", "", "C:\\p\\", "C:\\p\\E2M"})
        rows.emplace_back(none, 0);
#ifndef _WIN32
    rows.emplace_back("/home/t/E2UP_x.bin", 4);
#endif
    for (auto [line, mode] : rows)
        EXPECT_EQ(app::modeFromCommandLine(line), mode) << line;
}

#ifndef _WIN32
TEST(PathRules, ArgumentsJoinedAndMadeAbsolute) {
    const std::tuple<std::vector<std::string>, const char*, const char*> rows[] = {
        {{}, "/w", ""},
        {{"E2MB_x.bin"}, "/w/d", "/w/d/E2MB_x.bin"},
        {{"sub/E2UP_x.bin"}, "/w", "/w/sub/E2UP_x.bin"},
        {{"/abs/my", "dir/E2MP.bin"}, "/w", "/abs/my dir/E2MP.bin"},
        {{"e2mb_x.bin"}, "", "e2mb_x.bin"}};
    for (const auto& [args, dir, line] : rows)
        EXPECT_EQ(app::commandLineFromArgs(args, dir), line) << line;
}
#endif

TEST(PathRules, SaveNameBeginsWithTheModeCodeAfterASeparator) {
    // The folder part counts; a name without a separator does not.
    std::vector<std::pair<const char*, bool>> rows = {
        {"C:\\x\\E2MB_new.bin", true},  {"C:\\x\\e2mb_new.bin", false},
        {"C:\\x\\new_E2MB.bin", false}, {"C:\\E2MB\\anything.bin", true},
        {"C:\\x\\E2M", false},          {"E2MB.bin", false}};
#ifndef _WIN32
    rows.insert(rows.end(), {{"/tmp/E2MB_a.bin", true}, {"/tmp/E2UB_a.bin", false}});
#endif
    for (auto [path, ok] : rows)
        EXPECT_EQ(app::pathHasModeCode(path, "E2MB"), ok) << path;
}

TEST(StartupIni, ExpertAndWatchdogFromTheThirdAndFourthLinesValueAfterTheFirstQuote) {
    // Expert mode and the watchdog off, or neither: any key, any case, CR LF; without a closing
    // quote the line's last character is still dropped.
    const std::pair<std::string, bool> cases[] = {
        {"[settings]\ndefaultcom = \"COM2\"\nmode = \"EXPERT\"\nwatchdog = \"Disabled\"\n", true},
        {"x\nanything \"1\"\nwhatever=\"expert\"\nkey: \"DISABLED\"", true},
        {"[s]\r\ndefaultcom = \"COM1\"\r\nmode = \"expert\"\r\nwd = \"disabled\"\r\n", true},
        {"[s]\ndefaultcom = \"COM1\"\nmode = \"normal\"\nwd = \"enabled\"\n", false},
        {"[s]\ndefaultcom = \"COM1\"\nexpert\ndisabled\n", false},
        {"[s]\ndefaultcom = \"COM1\"\nmode = \"expert\"\n", false},
        {"", false},
        {"\"\n\"\n\"\n\"\n", false}};
    for (const auto& [text, expert] : cases) {
        SCOPED_TRACE(text);
        test::TempDir dir;
        test::writeText(dir.file("startup.ini"), text);
        const auto s = app::readStartupIni(dir.str());
        EXPECT_EQ(s.expertMode, expert);
        EXPECT_EQ(s.watchdogOn, !expert);
    }
    // Missing file, missing folder, startup.ini a folder, a FIFO nobody writes to: defaults,
    // at once.
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("d/startup.ini"));
    std::filesystem::create_directories(dir.file("fifo"));
    ASSERT_EQ(::mkfifo(dir.file("fifo/startup.ini").c_str(), 0600), 0);
    for (const auto& path :
         {dir.str(), dir.file("no/such/folder"), dir.file("d"), dir.file("fifo")}) {
        const auto s = app::readStartupIni(path);
        EXPECT_FALSE(s.expertMode) << path;
        EXPECT_TRUE(s.watchdogOn) << path;
    }
    // A value is after the first quote up to the last character; from the start without one.
    for (auto [line, value] : {std::pair{"defaultcom = \"COM3\"", "COM3"},
                               {"mode = expert\"", ""},
                               {"expert", "exper"},
                               {"\"", ""},
                               {"", ""}})
        EXPECT_EQ(app::iniValue(line), value) << line;
}

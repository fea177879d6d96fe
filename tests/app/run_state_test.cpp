#include "app/run_state.h"
#include "app/startup_ini.h"
#include "app_fixture.h"
#include "config/general_module.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace rw;
using rw::testing::TempDir;
using rw::testing::writeText;

TEST(ProductTable, RowsModeCodesAndCaptions) {
    ASSERT_EQ(image::kProducts.size(), 4u);
    const std::pair<const char*, const char*> rows[] = {{"KRX22822  V1.2", "E2MB"},
                                                        {"KRB22812  V2.1", "E2UB"},
                                                        {"KRX22822  V2.2", "E2MP"},
                                                        {"KRX22812  V2.2", "E2UP"}};
    for (int mode = 1; mode <= 4; ++mode) {
        EXPECT_STREQ(image::productForMode(mode)->productCode, rows[mode - 1].first);
        EXPECT_STREQ(image::productForMode(mode)->modeCode, rows[mode - 1].second);
    }
    EXPECT_EQ(image::productForMode(0), nullptr);
    EXPECT_EQ(image::productForMode(5), nullptr);
    EXPECT_TRUE(image::isBPlus(3));
    EXPECT_FALSE(image::isBPlus(2));
}

TEST(LastDir, BackslashPositions) {
    EXPECT_EQ(app::lastSeparatorPosition("C:\\dir\\E2MB.bin"), 7);
    EXPECT_EQ(app::lastSeparatorPosition("E2MB.bin"), 1); // no separator after the first character
    EXPECT_EQ(app::lastSeparatorPosition("\\E2MB.bin"),
              1); // a separator in position 1 is not looked at
    EXPECT_EQ(app::lastSeparatorPosition("a"), -1);
    EXPECT_EQ(app::lastSeparatorPosition(""), -1);
    EXPECT_EQ(app::lastSeparatorPosition("C:\\dir\\"), -1); // ends in a separator
    EXPECT_EQ(app::lastSeparatorPosition("ab"), 1);
}

TEST(LastDir, SlashCountsOnPosix) {
#ifndef _WIN32
    EXPECT_EQ(app::lastSeparatorPosition("/tmp/x/E2MB.bin"), 7);
    EXPECT_EQ(app::lastSeparatorPosition("/tmp/x\\E2MB.bin"), 7);
    EXPECT_EQ(app::lastSeparatorPosition("/tmp/x/"), -1);
#endif
}

TEST(CommandLineSelection, ModeFromName) {
    EXPECT_EQ(app::modeFromCommandLine("C:\\p\\E2MB_1.bin"), 1);
    EXPECT_EQ(app::modeFromCommandLine("C:\\p\\E2UB_1.bin"), 2);
    EXPECT_EQ(app::modeFromCommandLine("C:\\p\\E2MP_1.bin"), 3);
    EXPECT_EQ(app::modeFromCommandLine("C:\\p\\E2UP_1.bin"), 4);
    EXPECT_EQ(app::modeFromCommandLine("C:\\p\\e2mb_1.bin"), 1); // any case
    EXPECT_EQ(app::modeFromCommandLine("C:\\p\\XYUP.bin"), 4);   // only characters 3 and 4
    EXPECT_EQ(app::modeFromCommandLine("C:\\p\\E2XB.bin"), 0);
    EXPECT_EQ(app::modeFromCommandLine("E2MB_1.bin"), 0); // bare name: read from position 2
    EXPECT_EQ(app::modeFromCommandLine("E"), 0);
    EXPECT_EQ(app::modeFromCommandLine(""), 0);
    EXPECT_EQ(app::modeFromCommandLine("C:\\p\\"), 0);
    EXPECT_EQ(app::modeFromCommandLine("C:\\p\\E2M"), 0); // name too short for c4
#ifndef _WIN32
    EXPECT_EQ(app::modeFromCommandLine("/home/t/E2UP_x.bin"), 4);
#endif
}

TEST(CommandLineSelection, ArgumentsJoinedAndMadeAbsolute) {
    EXPECT_EQ(app::commandLineFromArgs({}, "/w"), "");
#ifndef _WIN32
    EXPECT_EQ(app::commandLineFromArgs({"E2MB_x.bin"}, "/w/d"), "/w/d/E2MB_x.bin");
    EXPECT_EQ(app::commandLineFromArgs({"sub/E2UP_x.bin"}, "/w"), "/w/sub/E2UP_x.bin");
    EXPECT_EQ(app::commandLineFromArgs({"/abs/my", "dir/E2MP.bin"}, "/w"), "/abs/my dir/E2MP.bin");
    EXPECT_EQ(app::modeFromCommandLine(app::commandLineFromArgs({"E2MB_x.bin"}, "/w")), 1);
    EXPECT_EQ(app::modeFromCommandLine(app::commandLineFromArgs({"e2mb_x.bin"}, "/w")), 1);
#endif
}

TEST(NameRule, SeparatorThenModeCodeWithCase) {
    EXPECT_TRUE(app::pathHasModeCode("C:\\x\\E2MB_new.bin", "E2MB"));
    EXPECT_FALSE(app::pathHasModeCode("C:\\x\\e2mb_new.bin", "E2MB"));
    EXPECT_FALSE(app::pathHasModeCode("C:\\x\\new_E2MB.bin", "E2MB"));
    EXPECT_TRUE(app::pathHasModeCode("C:\\E2MB\\anything.bin", "E2MB")); // folder part
    EXPECT_FALSE(app::pathHasModeCode("E2MB.bin", "E2MB"));              // no separator
    EXPECT_FALSE(app::pathHasModeCode("C:\\x\\E2M", "E2MB"));
#ifndef _WIN32
    EXPECT_TRUE(app::pathHasModeCode("/tmp/E2UP_a.bin", "E2UP"));
    EXPECT_FALSE(app::pathHasModeCode("/tmp/E2UB_a.bin", "E2UP"));
#endif
}

TEST(HexText, UpperCaseNoLeadingZeros) {
    EXPECT_EQ(config::Hex(0), "0");
    EXPECT_EQ(config::Hex(0x0A), "A");
    EXPECT_EQ(config::Hex(237), "ED");
    EXPECT_EQ(config::Hex(0x100), "100");
}

TEST(HexText, LenientReading) {
    EXPECT_EQ(config::readHexLenient(""), 0);
    EXPECT_EQ(config::readHexLenient("1A"), 0x1A);
    EXPECT_EQ(config::readHexLenient("1a"), 0x1A);
    EXPECT_EQ(config::readHexLenient(" 1 A "), 0x1A);
    EXPECT_EQ(config::readHexLenient("10"), 16);
    EXPECT_EQ(config::readHexLenient("5g7"), 5);
    EXPECT_EQ(config::readHexLenient("x5"), 0);
    EXPECT_EQ(config::readHexLenient("-1"), 0);
    EXPECT_EQ(config::readHexLenient("100"), 0x100);
    EXPECT_GT(config::readHexLenient(std::string(40, 'F')), 0xFF); // no overflow
}

TEST(StartupIni, ExpertAndWatchdogFromTheThirdAndFourthLines) {
    std::string garbage;
    for (int i = 0; i < 2000; ++i)
        garbage.push_back(static_cast<char>((i * 37) & 0xFF));
    const struct {
        const char* name;
        std::string text;
        bool expert, watchdog;
    } cases[] = {
        {"any key, any case",
         "[settings]\ndefaultcom = \"COM2\"\nmode = \"EXPERT\"\nwatchdog = \"Disabled\"\n", true,
         false},
        {"key ignored", "x\nanything \"1\"\nwhatever=\"expert\"\nkey: \"DISABLED\"", true, false},
        {"CR LF", "[s]\r\ndefaultcom = \"COM1\"\r\nmode = \"expert\"\r\nwd = \"disabled\"\r\n",
         true, false},
        {"other values", "[s]\ndefaultcom = \"COM1\"\nmode = \"normal\"\nwd = \"enabled\"\n", false,
         true},
        // Without a closing quote the line's last character is still dropped.
        {"no quotes", "[s]\ndefaultcom = \"COM1\"\nexpert\ndisabled\n", false, true},
        {"short", "[s]\ndefaultcom = \"COM1\"\nmode = \"expert\"\n", false, true},
        {"empty", "", false, true},
        {"quotes only", "\"\n\"\n\"\n\"\n", false, true},
        {"garbage", garbage, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeText(dir.file("startup.ini"), c.text);
        const auto s = app::readStartupIni(dir.str());
        if (std::string(c.name) == "garbage") continue; // only: never crashes
        EXPECT_EQ(s.expertMode, c.expert);
        EXPECT_EQ(s.watchdogOn, c.watchdog);
    }
    // Missing file, missing folder, startup.ini a folder, a FIFO nobody writes to, an
    // endless device: defaults, at once.
    TempDir dir;
    std::filesystem::create_directories(dir.file("d/startup.ini"));
    std::filesystem::create_directories(dir.file("fifo"));
    ASSERT_EQ(::mkfifo(dir.file("fifo/startup.ini").c_str(), 0600), 0);
    std::filesystem::create_directories(dir.file("zero"));
    std::filesystem::create_symlink("/dev/zero", dir.file("zero/startup.ini"));
    for (const auto& path : {dir.str(), dir.file("no/such/folder"), dir.file("d"), dir.file("fifo"),
                             dir.file("zero")}) {
        const auto s = app::readStartupIni(path);
        EXPECT_FALSE(s.expertMode) << path;
        EXPECT_TRUE(s.watchdogOn) << path;
    }
}

TEST(StartupIniValue, AfterFirstQuoteUpToLastCharacter) {
    EXPECT_EQ(app::iniValue("defaultcom = \"COM3\""), "COM3");
    EXPECT_EQ(app::iniValue("mode = expert\""), ""); // nothing after the first quote
    EXPECT_EQ(app::iniValue("expert"), "exper");     // no quote: from the line's start
    EXPECT_EQ(app::iniValue("\""), "");
    EXPECT_EQ(app::iniValue(""), "");
}

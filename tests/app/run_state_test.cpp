#include "app/run_state.h"
#include "app_fixture.h"

#include <gtest/gtest.h>

using namespace rw;
using rw::testing::TempDir;
using rw::testing::writeText;

TEST(ProductTable, RowsModeCodesAndCaptions) {
    ASSERT_EQ(app::kProducts.size(), 4u);
    EXPECT_STREQ(app::productForMode(1)->productCode, "KRX22822  V1.2");
    EXPECT_STREQ(app::productForMode(2)->productCode, "KRB22812  V2.1");
    EXPECT_STREQ(app::productForMode(3)->productCode, "KRX22822  V2.2");
    EXPECT_STREQ(app::productForMode(4)->productCode, "KRX22812  V2.2");
    EXPECT_STREQ(app::productForMode(1)->modeCode, "E2MB");
    EXPECT_STREQ(app::productForMode(2)->modeCode, "E2UB");
    EXPECT_STREQ(app::productForMode(3)->modeCode, "E2MP");
    EXPECT_STREQ(app::productForMode(4)->modeCode, "E2UP");
    EXPECT_EQ(app::productForMode(0), nullptr);
    EXPECT_EQ(app::productForMode(5), nullptr);
    EXPECT_TRUE(app::isBPlus(3));
    EXPECT_FALSE(app::isBPlus(2));
}

TEST(LastDir, BackslashPositions) {
    EXPECT_EQ(app::Last_Dir("C:\\dir\\E2MB.bin"), 7);
    EXPECT_EQ(app::Last_Dir("E2MB.bin"), 1);   // no separator after the first character
    EXPECT_EQ(app::Last_Dir("\\E2MB.bin"), 1); // a separator in position 1 is not looked at
    EXPECT_EQ(app::Last_Dir("a"), -1);
    EXPECT_EQ(app::Last_Dir(""), -1);
    EXPECT_EQ(app::Last_Dir("C:\\dir\\"), -1); // ends in a separator
    EXPECT_EQ(app::Last_Dir("ab"), 1);
}

TEST(LastDir, SlashCountsOnPosix) {
#ifndef _WIN32
    EXPECT_EQ(app::Last_Dir("/tmp/x/E2MB.bin"), 7);
    EXPECT_EQ(app::Last_Dir("/tmp/x\\E2MB.bin"), 7);
    EXPECT_EQ(app::Last_Dir("/tmp/x/"), -1);
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
    EXPECT_EQ(app::hexText(0), "0");
    EXPECT_EQ(app::hexText(0x0A), "A");
    EXPECT_EQ(app::hexText(237), "ED");
    EXPECT_EQ(app::hexText(0x100), "100");
}

TEST(HexText, LenientReading) {
    EXPECT_EQ(app::readHexLenient(""), 0);
    EXPECT_EQ(app::readHexLenient("1A"), 0x1A);
    EXPECT_EQ(app::readHexLenient("1a"), 0x1A);
    EXPECT_EQ(app::readHexLenient(" 1 A "), 0x1A);
    EXPECT_EQ(app::readHexLenient("10"), 16);
    EXPECT_EQ(app::readHexLenient("5g7"), 5);
    EXPECT_EQ(app::readHexLenient("x5"), 0);
    EXPECT_EQ(app::readHexLenient("-1"), 0);
    EXPECT_EQ(app::readHexLenient("100"), 0x100);
    EXPECT_GT(app::readHexLenient(std::string(40, 'F')), 0xFF); // no overflow
}

class StartupIni : public ::testing::Test {
protected:
    TempDir dir;
    app::StartupSettings read(const std::string& text) {
        writeText(dir.file("startup.ini"), text);
        return app::ReadStartupIni(dir.str());
    }
};

TEST_F(StartupIni, MissingFileGivesDefaults) {
    auto s = app::ReadStartupIni(dir.str());
    EXPECT_FALSE(s.ExpertMode);
    EXPECT_TRUE(s.WatchdogEnabled);
    auto t = app::ReadStartupIni(dir.file("no/such/folder"));
    EXPECT_FALSE(t.ExpertMode);
    EXPECT_TRUE(t.WatchdogEnabled);
}

TEST_F(StartupIni, ExpertAndDisabledAnyCaseKeyIgnored) {
    auto s =
        read("[settings]\ndefaultcom = \"COM2\"\nmode = \"EXPERT\"\nwatchdog = \"Disabled\"\n");
    EXPECT_TRUE(s.ExpertMode);
    EXPECT_FALSE(s.WatchdogEnabled);
    auto t = read("x\nanything \"1\"\nwhatever=\"expert\"\nkey: \"DISABLED\"");
    EXPECT_TRUE(t.ExpertMode);
    EXPECT_FALSE(t.WatchdogEnabled);
}

TEST_F(StartupIni, CrLfLineEnds) {
    auto s = read("[s]\r\ndefaultcom = \"COM1\"\r\nmode = \"expert\"\r\nwd = \"disabled\"\r\n");
    EXPECT_TRUE(s.ExpertMode);
    EXPECT_FALSE(s.WatchdogEnabled);
}

TEST_F(StartupIni, OtherValuesClearTheFlags) {
    auto s = read("[s]\ndefaultcom = \"COM1\"\nmode = \"normal\"\nwd = \"enabled\"\n");
    EXPECT_FALSE(s.ExpertMode);
    EXPECT_TRUE(s.WatchdogEnabled);
    // Without a closing quote the line's last character is still dropped.
    auto t = read("[s]\ndefaultcom = \"COM1\"\nexpert\ndisabled\n");
    EXPECT_FALSE(t.ExpertMode);
    EXPECT_TRUE(t.WatchdogEnabled);
}

TEST_F(StartupIni, ShortFileGivesDefaults) {
    auto s = read("[s]\ndefaultcom = \"COM1\"\nmode = \"expert\"\n");
    EXPECT_FALSE(s.ExpertMode);
    EXPECT_TRUE(s.WatchdogEnabled);
    auto e = read("");
    EXPECT_FALSE(e.ExpertMode);
    EXPECT_TRUE(e.WatchdogEnabled);
}

TEST_F(StartupIni, GarbageGivesDefaultsNeverCrashes) {
    std::string garbage;
    for (int i = 0; i < 2000; ++i)
        garbage.push_back(static_cast<char>((i * 37) & 0xFF));
    auto s = read(garbage);
    (void)s;
    auto t = read("\"\n\"\n\"\n\"\n");
    EXPECT_FALSE(t.ExpertMode);
    EXPECT_TRUE(t.WatchdogEnabled);
    // startup.ini being a folder is unreadable, not fatal.
    TempDir other;
    std::filesystem::create_directories(other.file("startup.ini"));
    auto u = app::ReadStartupIni(other.str());
    EXPECT_FALSE(u.ExpertMode);
    EXPECT_TRUE(u.WatchdogEnabled);
}

TEST(StartupIniValue, AfterFirstQuoteUpToLastCharacter) {
    EXPECT_EQ(app::iniValue("defaultcom = \"COM3\""), "COM3");
    EXPECT_EQ(app::iniValue("mode = expert\""), ""); // nothing after the first quote
    EXPECT_EQ(app::iniValue("expert"), "exper");     // no quote: from the line's start
    EXPECT_EQ(app::iniValue("\""), "");
    EXPECT_EQ(app::iniValue(""), "");
}

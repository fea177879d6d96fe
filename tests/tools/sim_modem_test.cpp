// The simulated monitor, driven byte by byte as the tool drives the real one.
#include "sim/sim_modem.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace romwright::sim;

namespace {

const std::string kEscStr(1, kEsc);

E2Image patternImage() {
    E2Image image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
    return image;
}

ModemConfig genB() {
    ModemConfig c;
    c.generation = Generation::B;
    c.revision = 44;
    return c;
}

ModemConfig genBPlus() {
    ModemConfig c;
    c.generation = Generation::BPlus;
    c.revision = 49;
    return c;
}

ModemConfig quiet(ModemConfig c) {
    c.echo = false;
    return c;
}

// Reply to one command line, echo off so only the monitor's answer remains.
std::string command(SimModem& m, const std::string& line) {
    return m.feed(line + "\r");
}

std::uint8_t hexByteAt(const std::string& text, std::size_t pos) {
    return static_cast<std::uint8_t>(std::stoul(text.substr(pos, 2), nullptr, 16));
}

// How the tool's reader picks byte i out of a dump.
std::uint8_t readerByte(const std::string& dump, std::size_t head, std::size_t i) {
    return hexByteAt(dump, head + 7 + 3 * i + 9 * (i / 8));
}

std::uint8_t readByte(SimModem& m, std::uint16_t addr) {
    char cmd[16];
    std::snprintf(cmd, sizeof cmd, "RD %04X,1", addr);
    const std::string reply = command(m, cmd);
    char head[16];
    std::snprintf(head, sizeof head, "%04X : ", addr);
    const auto p = reply.find(head);
    if (p == std::string::npos) {
        ADD_FAILURE() << "no dump in " << reply;
        return 0;
    }
    return hexByteAt(reply, p + 7);
}

void enterWriteMode(SimModem& m) {
    command(m, "WR 8D00 B2");
    ASSERT_TRUE(m.writeMode());
}

} // namespace

// --- Line handling -------------------------------------------------------------------------------

TEST(SimModemLine, EscAnswersWithTheCurrentPrompt) {
    SimModem m(quiet(genB()));
    EXPECT_EQ(m.feed(kEscStr), "\r\nL>");
    command(m, "WR 8D00 B2");
    EXPECT_EQ(m.feed(kEscStr), "\r\nM>");
}

TEST(SimModemLine, EscDiscardsAPartlyTypedLine) {
    SimModem m(quiet(genB()));
    m.feed("RD 8C73,1");
    m.feed(kEscStr);
    EXPECT_EQ(m.feed("\r"), "\r\nL>");
}

TEST(SimModemLine, EchoesTypedCharactersBeforeTheAnswer) {
    SimModem m(genB());
    EXPECT_EQ(m.feed("RD 8C73,1\r"), "RD 8C73,1\r\n8C73 : 2C \r\nL>");
    EXPECT_EQ(m.feed(kEscStr), "\r\nL>") << "ESC itself is not echoed";
}

TEST(SimModemLine, NoEchoSendsOnlyTheAnswer) {
    SimModem m(quiet(genB()));
    EXPECT_EQ(m.feed("RD 8C73,1\r"), "\r\n8C73 : 2C \r\nL>");
}

TEST(SimModemLine, EmptyLineGivesThePromptAgain) {
    SimModem m(quiet(genB()));
    EXPECT_EQ(m.feed("\r"), "\r\nL>");
}

TEST(SimModemLine, UnknownCommandGivesAnErrorLineAndPrompt) {
    SimModem m(quiet(genB()));
    const std::string reply = command(m, "XY 1234");
    EXPECT_EQ(reply.substr(0, 2), "\r\n");
    EXPECT_EQ(reply.substr(reply.size() - 4), "\r\nL>");
    EXPECT_GT(reply.size(), 6u) << "an error text is expected between";
}

TEST(SimModemLine, CommandSplitAcrossFeedsIsOneCommand) {
    SimModem m(quiet(genB()));
    EXPECT_EQ(m.feed("RD 8C"), "");
    EXPECT_EQ(m.feed("73,1\r"), "\r\n8C73 : 2C \r\nL>");
}

// --- RD dump layout ------------------------------------------------------------------------------

class SimModemRead : public ::testing::Test {
protected:
    SimModem modem{[] {
        ModemConfig c = quiet(genB());
        c.image = patternImage();
        return c;
    }()};
    const E2Image image = patternImage();
};

TEST_F(SimModemRead, TenBytesMatchTheDocumentedLayout) {
    ModemConfig c = quiet(genB());
    E2Image img{};
    img.fill(0xFF);
    for (int i = 0; i < 10; ++i)
        img[i] = static_cast<std::uint8_t>(i + 1);
    c.image = img;
    SimModem m(c);
    EXPECT_EQ(command(m, "RD 9000,A"),
              "\r\n9000 : 01 02 03 04 05 06 07 08 \r\n9008 : 09 0A \r\nL>");
}

TEST_F(SimModemRead, SixteenBytesSitWhereTheReaderLooks) {
    const std::string reply = command(modem, "RD 9000,10");
    const auto p = reply.find("9000 : ");
    ASSERT_NE(p, std::string::npos);
    EXPECT_EQ(hexByteAt(reply, p + 40), image[8]);
    EXPECT_EQ(hexByteAt(reply, p + 61), image[15]);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(readerByte(reply, p, i), image[i]) << i;
    EXPECT_EQ(reply.substr(p + 31, 9), "\r\n9008 : ");
    EXPECT_EQ(reply.substr(reply.size() - 4), "\r\nL>");
}

TEST_F(SimModemRead, SingleByte) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "\r\n9005 : %02X \r\nL>", image[5]);
    EXPECT_EQ(command(modem, "RD 9005,1"), expected);
}

TEST_F(SimModemRead, FullPageOf256Bytes) {
    const std::string reply = command(modem, "RD 9100,100");
    const auto p = reply.find("9100 : ");
    ASSERT_EQ(p, 2u);
    for (std::size_t i = 0; i < 256; ++i)
        ASSERT_EQ(readerByte(reply, p, i), image[0x100 + i]) << i;
    // 32 full rows of 7 + 8 * 3 + 2 characters, then the prompt.
    EXPECT_EQ(reply.size(), 2 + 32 * 33 + 2u);
    EXPECT_EQ(reply.substr(p + 31 * 33, 7), "91F8 : ");
    EXPECT_EQ(reply.substr(reply.size() - 4), "\r\nL>");
}

TEST_F(SimModemRead, HexArgumentsInEitherCase) {
    EXPECT_EQ(command(modem, "RD 90fe,2"), command(modem, "RD 90FE,2"));
    EXPECT_EQ(command(modem, "rd 8c73,1"), "\r\n8C73 : 2C \r\nL>");
}

TEST_F(SimModemRead, ZeroCountIsASyntaxError) {
    EXPECT_EQ(command(modem, "RD 9000,0"), "\r\nSyntax error\r\nL>");
}

TEST_F(SimModemRead, MalformedArgumentsAreSyntaxErrors) {
    for (const char* bad : {"RD", "RD 9000", "RD 9000 10", "RD 9G00,1", "RD 9000,", "RD ,1",
                            "RD 19000,1", "RD 9000,1 ", "RD  9000,1"})
        EXPECT_EQ(command(modem, bad), "\r\nSyntax error\r\nL>") << bad;
}

TEST_F(SimModemRead, ReadPastTheAddressSpaceIsRefused) {
    const std::string reply = command(modem, "RD FFFF,2");
    EXPECT_EQ(reply.find(" : "), std::string::npos);
    EXPECT_EQ(reply.substr(reply.size() - 4), "\r\nL>");
    EXPECT_EQ(command(modem, "RD FFFF,1"), "\r\nFFFF : 00 \r\nL>");
}

TEST(SimModemRegisters, IdentityRegistersFollowTheConfiguration) {
    ModemConfig c = quiet(genBPlus());
    c.revision = 50;
    c.interfaceByte = 0x3C;
    c.modeKey = 0x77;
    SimModem m(c);
    EXPECT_EQ(readByte(m, kRegRevision), 50);
    EXPECT_EQ(readByte(m, kRegInterface), 0x3C);
    EXPECT_EQ(readByte(m, kRegModeKey), 0x77);
}

TEST(SimModemRegisters, IdentityRegistersAreReadOnly) {
    SimModem m(quiet(genBPlus()));
    command(m, "WR 8C73 01");
    command(m, "WR 8085 01");
    command(m, "WR 8C72 01");
    EXPECT_EQ(readByte(m, kRegRevision), 49);
    EXPECT_EQ(readByte(m, kRegInterface), 0x10);
    EXPECT_EQ(readByte(m, kRegModeKey), 0x5A);
}

// --- WR and the write protection ---------------------------------------------------------------

TEST(SimModemWrite, E2WriteInLStateIsAcknowledgedButIgnored) {
    SimModem m(quiet(genB()));
    EXPECT_EQ(command(m, "WR 9000 12"), "\r\nL>");
    EXPECT_EQ(m.e2prom()[0], 0xFF);
    EXPECT_EQ(readByte(m, 0x9000), 0xFF);
    EXPECT_EQ(m.e2WriteCount(), 0u);
}

TEST(SimModemWrite, E2WriteInMStateChangesTheImage) {
    SimModem m(quiet(genB()));
    enterWriteMode(m);
    EXPECT_EQ(command(m, "WR AFFF 12"), "\r\nM>");
    EXPECT_EQ(m.e2prom()[kE2Size - 1], 0x12);
    EXPECT_EQ(readByte(m, 0xAFFF), 0x12);
    EXPECT_EQ(m.e2WriteCount(), 1u);
}

TEST(SimModemWrite, OutsideTheWindowIsPlainRam) {
    SimModem m(quiet(genB()));
    command(m, "WR 8FFF 5");
    command(m, "WR B000 ab");
    EXPECT_EQ(readByte(m, 0x8FFF), 0x05);
    EXPECT_EQ(readByte(m, 0xB000), 0xAB);
    EXPECT_EQ(m.e2WriteCount(), 0u);
}

TEST(SimModemWrite, MalformedWritesAreSyntaxErrorsAndChangeNothing) {
    SimModem m(quiet(genB()));
    enterWriteMode(m);
    for (const char* bad :
         {"WR", "WR 9000", "WR 9000  12", "WR 9000 123", "WR 9000,12", "WR 9000 1G", "WR 9000 12 "})
        EXPECT_EQ(command(m, bad), "\r\nSyntax error\r\nM>") << bad;
    EXPECT_EQ(m.e2WriteCount(), 0u);
}

// --- Entering and leaving "M>" -------------------------------------------------------------------

TEST(SimModemMode, GenerationBOpensWithB2) {
    SimModem m(quiet(genB()));
    EXPECT_EQ(command(m, "WR 8D00 5A"), "\r\nL>");
    EXPECT_EQ(command(m, "WR 8D00 B2"), "\r\nM>");
    EXPECT_TRUE(m.writeMode());
    EXPECT_EQ(m.prompt(), "M>");
}

TEST(SimModemMode, GenerationBPlusOpensWithTheValueAt8C72) {
    ModemConfig c = quiet(genBPlus());
    c.modeKey = 0x6E;
    SimModem m(c);
    EXPECT_EQ(command(m, "WR 8D00 B2"), "\r\nL>");
    EXPECT_EQ(command(m, "WR 8D00 6E"), "\r\nM>");
}

TEST(SimModemMode, ZeroLeavesAndOtherValuesKeepTheState) {
    SimModem m(quiet(genB()));
    enterWriteMode(m);
    EXPECT_EQ(command(m, "WR 8D00 33"), "\r\nM>");
    EXPECT_EQ(command(m, "WR 8D00 0"), "\r\nL>");
    command(m, "WR 9000 12");
    EXPECT_EQ(m.e2prom()[0], 0xFF) << "protected again after leaving";
}

TEST(SimModemMode, GenerationBPlusWindowStartsAtC000) {
    SimModem m(quiet(genBPlus()));
    command(m, "WR 8D00 5A");
    command(m, "WR 9000 11");
    command(m, "WR C001 22");
    EXPECT_EQ(m.e2prom()[0], 0xFF);
    EXPECT_EQ(m.e2prom()[1], 0x22);
    EXPECT_EQ(readByte(m, 0x9000), 0x11) << "9000h is plain RAM on B+";
}

// --- Watchdog ------------------------------------------------------------------------------------

class SimModemWatchdog : public ::testing::Test {
protected:
    static ModemConfig running(bool stuck = false) {
        ModemConfig c = quiet(genBPlus());
        c.revision = 50;
        c.watchdogOn = true;
        c.stuckWatchdog = stuck;
        return c;
    }
};

TEST_F(SimModemWatchdog, InitialValueFollowsTheOption) {
    SimModem on(running());
    SimModem off(quiet(genB()));
    EXPECT_EQ(readByte(on, kRegWatchdog), 0x4C);
    EXPECT_EQ(readByte(off, kRegWatchdog), 0x48);
}

TEST_F(SimModemWatchdog, UnlockThenWriteStopsIt) {
    SimModem m(running());
    command(m, "WR 8D39 C3");
    command(m, "WR 8C01 48");
    EXPECT_EQ(readByte(m, kRegWatchdog), 0x48);
}

TEST_F(SimModemWatchdog, WithoutUnlockItKeepsRunning) {
    SimModem m(running());
    command(m, "WR 8C01 48");
    EXPECT_EQ(readByte(m, kRegWatchdog), 0x4C);
}

TEST_F(SimModemWatchdog, WrongUnlockValueDoesNotUnlock) {
    SimModem m(running());
    command(m, "WR 8D39 C2");
    command(m, "WR 8C01 48");
    EXPECT_EQ(readByte(m, kRegWatchdog), 0x4C);
}

TEST_F(SimModemWatchdog, OneUnlockCoversOneWrite) {
    SimModem m(running());
    command(m, "WR 8D39 C3");
    command(m, "WR 8C01 4C");
    command(m, "WR 8C01 48");
    EXPECT_EQ(readByte(m, kRegWatchdog), 0x4C);
}

TEST_F(SimModemWatchdog, StuckWatchdogNeverStops) {
    SimModem m(running(true));
    command(m, "WR 8D39 C3");
    command(m, "WR 8C01 48");
    EXPECT_EQ(readByte(m, kRegWatchdog), 0x4C);
}

// --- Faults --------------------------------------------------------------------------------------

TEST(SimModemFaults, SilentAfterAnswersExactlyNCommands) {
    ModemConfig c = genB();
    c.silentAfter = 2;
    SimModem m(c);
    EXPECT_EQ(m.feed(kEscStr), "\r\nL>");
    EXPECT_EQ(m.feed("\r"), "\r\nL>");
    EXPECT_TRUE(m.silent());
    EXPECT_EQ(m.feed("RD 8C73,1\r"), "") << "not even the echo";
    EXPECT_EQ(m.feed(kEscStr), "");
    EXPECT_EQ(m.trace().size(), 4u) << "received lines are still traced";
}

TEST(SimModemFaults, SilentAfterZeroNeverAnswers) {
    ModemConfig c = genB();
    c.silentAfter = 0;
    SimModem m(c);
    EXPECT_EQ(m.feed(kEscStr + "RD 8C73,1\r"), "");
}

TEST(SimModemFaults, NoDataAnswersReadsWithAnErrorOnly) {
    ModemConfig c = quiet(genB());
    c.noData = true;
    SimModem m(c);
    const std::string reply = command(m, "RD 8C73,1");
    EXPECT_EQ(reply.find(" : "), std::string::npos);
    EXPECT_EQ(reply.substr(0, 2), "\r\n");
    EXPECT_EQ(reply.substr(reply.size() - 4), "\r\nL>");
    EXPECT_GT(reply.size(), 6u);
    EXPECT_EQ(command(m, "WR 8D00 B2"), "\r\nM>") << "writes still work";
}

TEST(SimModemFaults, FlippedOffsetsStoreTheWrongValue) {
    for (const ModemConfig& base : {genB(), genBPlus()}) {
        ModemConfig c = quiet(base);
        c.flipOffsets = {0x10, 0x1FFF};
        SimModem m(c);
        m.write(kRegMode, base.generation == Generation::B ? kModeKeyB : base.modeKey);
        ASSERT_TRUE(m.writeMode());
        m.write(static_cast<std::uint16_t>(m.e2Base() + 0x10), 0xA5);
        m.write(static_cast<std::uint16_t>(m.e2Base() + 0x11), 0xA5);
        m.write(static_cast<std::uint16_t>(m.e2Base() + 0x1FFF), 0x00);
        EXPECT_EQ(m.e2prom()[0x10], 0xA4);
        EXPECT_EQ(m.e2prom()[0x11], 0xA5);
        EXPECT_EQ(m.e2prom()[0x1FFF], 0x01);
    }
}

TEST(SimModemFaults, NeverMKeepsTheE2Protected) {
    ModemConfig c = quiet(genB());
    c.neverM = true;
    SimModem m(c);
    EXPECT_EQ(command(m, "WR 8D00 B2"), "\r\nL>");
    command(m, "WR 9000 12");
    EXPECT_EQ(m.e2prom()[0], 0xFF);
}

// --- Trace ---------------------------------------------------------------------------------------

TEST(SimModemTrace, RecordsCommandLinesAndEscapes) {
    SimModem m(genB());
    m.feed(kEscStr + "RD 8C73,1\rWR 90");
    m.feed(kEscStr + "WR 9000 1\r\r");
    const std::vector<std::string> expected{"<ESC>", "RD 8C73,1", "<ESC>", "WR 9000 1", ""};
    EXPECT_EQ(m.trace(), expected);
    m.clearTrace();
    EXPECT_TRUE(m.trace().empty());
}

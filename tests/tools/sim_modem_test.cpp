// The simulated monitor, driven byte by byte as the tool drives the real one.
#include "sim/sim_modem.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>

using namespace rw::sim;

namespace {

const std::string kEscStr(1, kEsc);
const std::string kSyntaxL = "\r\nSyntax error\r\nL>";

ModemConfig config(Generation g, bool echo = false) {
    ModemConfig c;
    c.generation = g;
    c.revision = g == Generation::B ? 44 : 49;
    c.echo = echo;
    return c;
}

std::string command(SimModem& m, const std::string& line) {
    return m.feed(line + "\r");
}

// How the tool's reader picks byte i out of a dump.
std::uint8_t readerByte(const std::string& dump, std::size_t head, std::size_t i) {
    return static_cast<std::uint8_t>(
        std::stoul(dump.substr(head + 7 + 3 * i + 9 * (i / 8), 2), nullptr, 16));
}

// An error line between the line end and the prompt, and no dump.
void expectErrorReply(const std::string& reply) {
    EXPECT_EQ(reply.find(" : "), std::string::npos) << reply;
    EXPECT_EQ(reply.substr(0, 2), "\r\n");
    EXPECT_EQ(reply.substr(reply.size() - 4), "\r\nL>");
    EXPECT_GT(reply.size(), 6u) << "an error text is expected between";
}

} // namespace

// Each case a conversation, "fed = reply" steps split at '|' ("?": the reply is not checked).
// Without echo unless said; an empty line gives the prompt again; a command split across feeds
// is one command; hex and commands in either case; WR is acknowledged in the L state too.
TEST(SimModemLine, ConversationsGiveTheExactReplies) {
    ModemConfig bPlus6E = config(Generation::BPlus), neverM = config(Generation::B),
                identity = config(Generation::BPlus);
    bPlus6E.modeKey = 0x6E;
    neverM.neverM = true;
    identity.revision = 50;
    identity.interfaceByte = 0x3C;
    identity.modeKey = 0x77;
    const ModemConfig b = config(Generation::B), bPlus = config(Generation::BPlus);
    const std::tuple<const char*, ModemConfig, std::string> cases[] = {
        {"escape answers with the current prompt", b,
         "\x1B = \r\nL>|WR 8D00 B2\r = \r\nM>|\x1B = \r\nM>"},
        {"escape discards a partly typed line", b, "RD 8C73,1 = ?|\x1B = ?|\r = \r\nL>"},
        {"echo before the answer, none for the escape", config(Generation::B, true),
         "RD 8C73,1\r = RD 8C73,1\r\n8C73 : 2C \r\nL>|\x1B = \r\nL>"},
        {"B opens with B2h, other values keep the state", b,
         "RD 8C73,1\r = \r\n8C73 : 2C \r\nL>|\r = \r\nL>|RD 8C = |73,1\r = \r\n8C73 : 2C \r\nL>|"
         "rd 8c73,1\r = \r\n8C73 : 2C \r\nL>|RD 9000,0\r = \r\nSyntax error\r\nL>|"
         "RD FFFF,1\r = \r\nFFFF : 00 \r\nL>|WR 9000 12\r = \r\nL>|WR 8D00 5A\r = \r\nL>|"
         "WR 8D00 B2\r = \r\nM>|WR 8D00 33\r = \r\nM>|WR 8D00 0\r = \r\nL>"},
        {"B+ opens with the value at 8C72h", bPlus6E,
         "WR 8D00 B2\r = \r\nL>|WR 8D00 6E\r = \r\nM>"},
        {"never M", neverM,
         "WR 8D00 B2\r = \r\nL>|WR 9000 12\r = \r\nL>|RD 9000,1\r = \r\n9000 : FF \r\nL>"},
        {"E2PROM writes only in the M state and in the window, 9000h..AFFFh on B, RAM around", b,
         "WR 9000 12\r = \r\nL>|RD 9000,1\r = \r\n9000 : FF \r\nL>|WR 8FFF 5\r = \r\nL>|"
         "WR B000 ab\r = \r\nL>|RD 8FFF,1\r = \r\n8FFF : 05 \r\nL>|RD B000,1\r = \r\nB000 : AB "
         "\r\nL>|WR 8D00 B2\r = \r\nM>|WR AFFF 12\r = \r\nM>|RD AFFF,1\r = \r\nAFFF : 12 \r\nM>|"
         "WR 8D00 0\r = \r\nL>|WR 9000 12\r = \r\nL>|RD 9000,1\r = \r\n9000 : FF \r\nL>"},
        {"the window at C000h on B+, 9000h is RAM there", bPlus,
         "WR 8D00 5A\r = \r\nM>|WR 9000 11\r = \r\nM>|WR C001 22\r = \r\nM>|"
         "RD 9000,1\r = \r\n9000 : 11 \r\nM>|RD C000,2\r = \r\nC000 : FF 22 \r\nM>"},
        {"identity registers as configured, and read-only", identity,
         "WR 8C73 01\r = \r\nL>|WR 8085 01\r = \r\nL>|WR 8C72 01\r = \r\nL>|"
         "RD 8C73,1\r = \r\n8C73 : 32 \r\nL>|RD 8085,1\r = \r\n8085 : 3C \r\nL>|"
         "RD 8C72,1\r = \r\n8C72 : 77 \r\nL>"},
        {"identity registers of a B+ unit", bPlus,
         "RD 8C72,2\r = \r\n8C72 : 5A 31 \r\nL>|RD 8085,1\r = \r\n8085 : 10 \r\nL>"}};
    for (const auto& [name, cfg, steps] : cases) {
        SCOPED_TRACE(name);
        SimModem m(cfg);
        std::istringstream in(steps);
        for (std::string step; std::getline(in, step, '|');) {
            const auto eq = step.find(" = ");
            ASSERT_NE(eq, std::string::npos) << step;
            const std::string got = m.feed(step.substr(0, eq)), want = step.substr(eq + 3);
            if (want != "?") {
                EXPECT_EQ(got, want) << "after " << step.substr(0, eq);
            }
        }
    }
}

TEST(SimModemLine, UnknownOrMalformedCommandsAreErrorsAndChangeNothing) {
    SimModem m(config(Generation::B));
    expectErrorReply(command(m, "XY 1234"));
    for (const char* bad : {"RD", "RD 9000", "RD 9000 10", "RD 9G00,1", "RD 9000,", "RD ,1",
                            "RD 19000,1", "RD 9000,1 ", "RD  9000,1"})
        EXPECT_EQ(command(m, bad), kSyntaxL) << bad;
    command(m, "WR 8D00 B2");
    ASSERT_TRUE(m.writeMode());
    for (const char* bad :
         {"WR", "WR 9000", "WR 9000  12", "WR 9000 123", "WR 9000,12", "WR 9000 1G", "WR 9000 12 "})
        EXPECT_EQ(command(m, bad), "\r\nSyntax error\r\nM>") << bad;
    EXPECT_EQ(m.e2WriteCount(), 0u);
}

TEST(SimModemRead, DumpLayoutIsWhereTheReaderLooks) {
    ModemConfig c = config(Generation::B);
    E2Image& image = c.image.emplace();
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
    SimModem m(c);

    const std::string reply = command(m, "RD 9100,100");
    const auto p = reply.find("9100 : ");
    ASSERT_EQ(p, 2u);
    for (std::size_t i = 0; i < 256; ++i)
        ASSERT_EQ(readerByte(reply, p, i), image[0x100 + i]) << i;
    // 32 full rows of 7 + 8 * 3 + 2 characters, then the prompt.
    EXPECT_EQ(reply.size(), 2 + 32 * 33 + 2u);
    EXPECT_EQ(reply.substr(p + 31 * 33, 7), "91F8 : ");
    EXPECT_EQ(reply.substr(reply.size() - 4), "\r\nL>");
    expectErrorReply(command(m, "RD FFFF,2")); // past the address space
}

TEST(SimModemWatchdog, StopsOnlyAfterOneUnlockWithC3) {
    ModemConfig running = config(Generation::BPlus);
    running.revision = 50;
    running.watchdogOn = true;
    EXPECT_EQ(SimModem(config(Generation::B)).read(kRegWatchdog), 0x48);
    const std::tuple<const char*, bool, std::vector<const char*>, int> cases[] = {
        {"initial value", false, {}, 0x4C},
        {"unlock then write", false, {"WR 8D39 C3", "WR 8C01 48"}, 0x48},
        {"without unlock", false, {"WR 8C01 48"}, 0x4C},
        {"wrong unlock value", false, {"WR 8D39 C2", "WR 8C01 48"}, 0x4C},
        {"one unlock covers one write", false, {"WR 8D39 C3", "WR 8C01 4C", "WR 8C01 48"}, 0x4C},
        {"stuck", true, {"WR 8D39 C3", "WR 8C01 48"}, 0x4C}};
    for (const auto& [name, stuck, writes, after] : cases) {
        ModemConfig cfg = running;
        cfg.stuckWatchdog = stuck;
        SimModem m(cfg);
        for (const char* w : writes)
            command(m, w);
        EXPECT_EQ(m.read(kRegWatchdog), after) << name;
    }
}

TEST(SimModemFaults, SilentAfterAnswersExactlyNCommandsNoDataAnswersReadsWithAnErrorOnly) {
    ModemConfig c = config(Generation::B, true);
    c.silentAfter = 2;
    SimModem m(c);
    EXPECT_EQ(m.feed(kEscStr), "\r\nL>");
    EXPECT_EQ(m.feed("\r"), "\r\nL>");
    EXPECT_TRUE(m.silent());
    EXPECT_EQ(m.feed("RD 8C73,1\r"), "") << "not even the echo";
    EXPECT_EQ(m.feed(kEscStr), "");
    EXPECT_EQ(m.trace().size(), 4u) << "received lines are still traced";
    c.silentAfter = 0;
    SimModem never(c);
    EXPECT_EQ(never.feed(kEscStr + "RD 8C73,1\r"), "");
    // No data: reads are answered with an error only.
    ModemConfig noData = config(Generation::B);
    noData.noData = true;
    SimModem nd(noData);
    expectErrorReply(command(nd, "RD 8C73,1"));
    EXPECT_EQ(command(nd, "WR 8D00 B2"), "\r\nM>") << "writes still work";
}

TEST(SimModemFaults, FlippedOffsetsStoreTheWrongValue) {
    for (const Generation g : {Generation::B, Generation::BPlus}) {
        ModemConfig c = config(g);
        c.flipOffsets = {0x10, 0x1FFF};
        SimModem m(c);
        m.write(kRegMode, g == Generation::B ? kModeKeyB : c.modeKey);
        ASSERT_TRUE(m.writeMode());
        for (auto [k, wrote, kept] :
             {std::tuple{0x10, 0xA5, 0xA4}, {0x11, 0xA5, 0xA5}, {0x1FFF, 0, 1}}) {
            m.write(static_cast<std::uint16_t>(m.e2Base() + k), static_cast<std::uint8_t>(wrote));
            EXPECT_EQ(m.e2prom()[static_cast<std::size_t>(k)], kept) << k;
        }
    }
}

TEST(SimModemFaults, GarbleChangesOneCharacterOfTheNthLongDump) {
    SimModem clean(config(Generation::B));
    const std::string dump = command(clean, "RD 9000,100");
    ASSERT_EQ(dump.substr(2 + 16 * 33, 9), "9080 : FF");
    // garbled: the dump as it arrives
    const std::tuple<GarbleKind, std::string> cases[] = {
        {GarbleKind::Insert, dump.substr(0, 2 + 16 * 33 + 8) + "5" + dump.substr(2 + 16 * 33 + 8)},
        {GarbleKind::Drop, dump.substr(0, 2 + 16 * 33 + 8) + dump.substr(2 + 16 * 33 + 9)},
        {GarbleKind::Replace,
         dump.substr(0, 2 + 16 * 33 + 8) + "G" + dump.substr(2 + 16 * 33 + 9)}};
    for (const auto& [kind, garbled] : cases) {
        ModemConfig cfg = config(Generation::B);
        cfg.garble = DumpGarble{kind, 2};
        SimModem m(cfg);
        EXPECT_EQ(command(m, "RD 9000,1"), command(clean, "RD 9000,1")) << "short dumps count not";
        EXPECT_EQ(command(m, "RD 9000,100"), dump) << "the first long dump is whole";
        EXPECT_EQ(command(m, "RD 9000,100"), garbled);
        EXPECT_EQ(command(m, "RD 9000,100"), dump) << "and so is the third";
    }
}

TEST(SimModemTrace, RecordsCommandLinesAndEscapes) {
    SimModem m(config(Generation::B, true));
    m.feed(kEscStr + "RD 8C73,1\rWR 90");
    m.feed(kEscStr + "WR 9000 1\r\r");
    EXPECT_EQ(m.trace(),
              (std::vector<std::string>{"<ESC>", "RD 8C73,1", "<ESC>", "WR 9000 1", ""}));
    m.clearTrace();
    EXPECT_TRUE(m.trace().empty());
}

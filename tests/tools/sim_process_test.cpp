// The real romwright-sim binary, driven through its pseudo-terminal as a client would: what
// only the process shows (its device and link, pacing, the files it writes, how it ends).
#include "support/cli_run.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <termios.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using rw::test::SimProcess;
using rw::test::TempDir;

namespace {

// A client's raw terminal on the simulator, each read waiting at most 5 s; closed on scope exit.
struct Client {
    explicit Client(const std::string& device)
        : fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 50;
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    ~Client() {
        if (fd >= 0) ::close(fd);
    }
    // Sends `bytes`, then reads until `until` has arrived or the line stays quiet.
    std::string exchange(const std::string& bytes, const std::string& until) const {
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        std::string got;
        std::array<char, 1024> buf{};
        for (ssize_t n = 1; n > 0 && got.find(until) == std::string::npos;)
            if ((n = ::read(fd, buf.data(), buf.size())) > 0)
                got.append(buf.data(), std::size_t(n));
        return got;
    }
    int fd;
};

} // namespace

TEST(SimProcess, ServesItsLinkWritesBackAndTracesThenEndsCleanlyOnSigterm) {
    TempDir dir;
    rw::test::writeText(dir.file("e2.bin"), "\x10\x20\x30\x40\x50\x60\x70\x80\x90");
    const std::string link = dir.file("modem");
    SimProcess sim({"--no-throttle", "--image", dir.file("e2.bin"), "--link", link, "--write-back",
                    dir.file("after.bin"), "--trace", dir.file("trace.log")});
    ASSERT_TRUE(sim.ok()) << sim.error();
    EXPECT_EQ(fs::read_symlink(link), sim.device());
    {
        Client c(link);
        ASSERT_GE(c.fd, 0);
        EXPECT_EQ(c.exchange("\x1B", "L>"), "\r\nL>");
        EXPECT_EQ(c.exchange("RD 9000,A\r", "L>"),
                  "RD 9000,A\r\n9000 : 10 20 30 40 50 60 70 80 \r\n9008 : 90 FF \r\nL>");
        c.exchange("WR 9000 42\r", "L>");
        EXPECT_FALSE(fs::exists(dir.file("after.bin"))) << "a protected write is no change";
        c.exchange("WR 8D00 B2\r", "M>");
        ASSERT_NE(c.exchange("WR 9001 42\r", "M>").find("M>"), std::string::npos);
    }
    const auto saved = rw::test::readBytes(dir.file("after.bin"));
    ASSERT_EQ(saved.size(), 8192u);
    EXPECT_EQ(std::vector(saved.begin(), saved.begin() + 3),
              (std::vector<std::uint8_t>{0x10, 0x42, 0x30}));
    EXPECT_EQ(rw::test::readText(dir.file("trace.log")),
              "<ESC>\nRD 9000,A\nWR 9000 42\nWR 8D00 B2\nWR 9001 42\n");
    sim.stop(SIGTERM);
    EXPECT_EQ(sim.exitStatus(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "link left behind";
}

// Paced like a 9600 baud line; a client that goes away mid-dump leaves nothing for the next.
TEST(SimProcess, PacesOutputAndTheNextClientGetsNothingTheLastOneLeftUnread) {
    SimProcess sim({"--no-echo"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    {
        Client c(sim.device());
        ASSERT_GE(c.fd, 0);
        const auto started = Clock::now();
        const std::string reply = c.exchange("RD 9000,20\r", "L>");
        const auto took = Clock::now() - started;
        ASSERT_EQ(reply.size(), 2 + 4 * 33 + 2u) << reply;
        // The first character may go at once; each further one takes 1/960 s.
        EXPECT_GE(took, std::chrono::microseconds((reply.size() - 1) * 1000000 / 960) - 5ms);
        ASSERT_NE(c.exchange("RD 9000,800\r", "9008 : ").find("9008 : "), std::string::npos);
    }
    std::this_thread::sleep_for(200ms);
    for (int round = 0; round < 3; ++round) {
        Client c(sim.device());
        ASSERT_GE(c.fd, 0);
        EXPECT_EQ(c.exchange("\x1B", "L>"), "\r\nL>") << "round " << round;
    }
    sim.stop(SIGINT);
    EXPECT_EQ(sim.exitStatus(), 0);
}

TEST(SimProcess, BadOptionEndsWithStatus2) {
    SimProcess sim({"--generation", "Z"});
    EXPECT_FALSE(sim.ok());
    EXPECT_EQ(sim.exitStatus(), 2);
}

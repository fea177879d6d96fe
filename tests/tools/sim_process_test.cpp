// The real romwright-sim binary, driven through its pseudo-terminal as a client would.
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

const char* const kSimBinary = ROMWRIGHT_BIN_DIR "/tools/romwright-sim";
constexpr auto kTimeout = 5s;

// Reads until `until` has arrived or the deadline passes; returns all that was read.
std::string readUntil(int fd, const std::string& until,
                      std::chrono::milliseconds limit = kTimeout) {
    const auto deadline = Clock::now() + limit;
    std::string got;
    while (got.find(until) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        std::array<char, 1024> buf{};
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n <= 0) break;
        got.append(buf.data(), static_cast<std::size_t>(n));
    }
    return got;
}

// Sends `bytes`, then reads until `until` (or the time limit).
std::string exchange(int fd, const std::string& bytes, const std::string& until,
                     std::chrono::milliseconds limit = kTimeout) {
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        ADD_FAILURE() << "write failed";
        return {};
    }
    return readUntil(fd, until, limit);
}

int openRaw(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

using rw::sim::test::TempDir;

// One simulator process; killed at the latest when the test ends, so nothing is left running.
class SimProcess {
public:
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }

    // Starts the simulator; returns the device path it announces, empty on failure.
    std::string start(std::vector<std::string> args) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return {};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
        args.insert(args.begin(), kSimBinary);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, kSimBinary, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
        if (rc != 0) {
            pid_ = -1;
            return {};
        }
        std::string line = readUntil(out_, "\n");
        if (line.empty() || line.back() != '\n') return {};
        line.pop_back();
        return line;
    }

    // Exit status after `sig`, or nullopt if the process did not end in time.
    std::optional<int> stop(int sig = SIGTERM) {
        if (pid_ <= 0) return std::nullopt;
        ::kill(pid_, sig);
        const auto deadline = Clock::now() + kTimeout;
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    // Exit status of a run that is expected to end by itself.
    std::optional<int> waitExit() { return stop(0); }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// A client's open terminal; closed on scope exit.
struct Client {
    explicit Client(const std::string& device) : fd(openRaw(device)) {}
    ~Client() {
        if (fd >= 0) ::close(fd);
    }
    int fd;
};

const std::string kEsc = "\x1B";

} // namespace

TEST(SimProcess, AnswersEscAndReadThenStopsCleanlyOnSigterm) {
    TempDir dir;
    const fs::path image = dir / "e2.bin";
    std::ofstream(image, std::ios::binary)
        << std::string("\x10\x20\x30\x40\x50\x60\x70\x80\x90", 9);
    const fs::path link = dir / "modem";

    SimProcess sim;
    const std::string device =
        sim.start({"--no-throttle", "--image", image.string(), "--link", link.string()});
    ASSERT_FALSE(device.empty()) << "no device path on stdout from " << kSimBinary;
    EXPECT_EQ(fs::read_symlink(link), device);

    {
        Client c(link.string());
        ASSERT_GE(c.fd, 0);
        EXPECT_EQ(exchange(c.fd, kEsc, "L>"), "\r\nL>");
        EXPECT_EQ(exchange(c.fd, "RD 9000,A\r", "L>"),
                  "RD 9000,A\r\n9000 : 10 20 30 40 50 60 70 80 \r\n9008 : 90 FF \r\nL>");
    }

    EXPECT_EQ(sim.stop(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "link left behind";
}

TEST(SimProcess, NextClientDoesNotGetOutputTheLastOneLeftUnread) {
    SimProcess sim;
    const std::string device = sim.start({}); // paced: the dump is still running at close
    ASSERT_FALSE(device.empty());
    {
        Client c(device);
        ASSERT_GE(c.fd, 0);
        ASSERT_NE(exchange(c.fd, "RD 9000,800\r", "9008 : ").find("9008 : "), std::string::npos);
    }
    std::this_thread::sleep_for(200ms);
    for (int round = 0; round < 3; ++round) {
        Client c(device);
        ASSERT_GE(c.fd, 0);
        EXPECT_EQ(exchange(c.fd, kEsc, "L>"), "\r\nL>") << "round " << round;
    }
    EXPECT_EQ(sim.stop(SIGINT), 0);
}

TEST(SimProcess, PacesOutputLikeA9600BaudLine) {
    SimProcess sim;
    const std::string device = sim.start({"--no-echo"});
    ASSERT_FALSE(device.empty());
    Client c(device);
    ASSERT_GE(c.fd, 0);
    const auto started = Clock::now();
    const std::string reply = exchange(c.fd, "RD 9000,20\r", "L>");
    const auto took = Clock::now() - started;
    ASSERT_EQ(reply.size(), 2 + 4 * 33 + 2u) << reply;
    // The first character may go at once; each further one takes 1/960 s.
    EXPECT_GE(took, std::chrono::microseconds((reply.size() - 1) * 1000000 / 960) - 5ms);
}

TEST(SimProcess, WritesTheImageBackAndTracesCommands) {
    TempDir dir;
    const fs::path writeBack = dir / "e2.bin";
    const fs::path trace = dir / "trace.log";
    SimProcess sim;
    const std::string device =
        sim.start({"--no-throttle", "--write-back", writeBack.string(), "--trace", trace.string()});
    ASSERT_FALSE(device.empty());
    Client c(device);
    ASSERT_GE(c.fd, 0);
    exchange(c.fd, kEsc, "L>");
    exchange(c.fd, "WR 9000 42\r", "L>");
    EXPECT_FALSE(fs::exists(writeBack)) << "a protected write is no change";
    exchange(c.fd, "WR 8D00 B2\r", "M>");
    ASSERT_NE(exchange(c.fd, "WR 9001 42\r", "M>").find("M>"), std::string::npos);

    const std::string saved = readFile(writeBack);
    ASSERT_EQ(saved.size(), 8192u);
    EXPECT_EQ(saved.substr(0, 3), "\xFF\x42\xFF");
    EXPECT_EQ(readFile(trace), "<ESC>\nWR 9000 42\nWR 8D00 B2\nWR 9001 42\n");
    EXPECT_EQ(sim.stop(), 0);
}

TEST(SimProcess, SilentAfterLeavesTheClientWaiting) {
    SimProcess sim;
    const std::string device = sim.start({"--no-throttle", "--silent-after", "1"});
    ASSERT_FALSE(device.empty());
    Client c(device);
    ASSERT_GE(c.fd, 0);
    EXPECT_EQ(exchange(c.fd, kEsc, "L>"), "\r\nL>");
    EXPECT_EQ(exchange(c.fd, kEsc, "L>", 300ms), "");
    EXPECT_EQ(sim.stop(), 0);
}

TEST(SimProcess, BadOptionEndsWithStatus2) {
    SimProcess sim;
    EXPECT_EQ(sim.start({"--generation", "Z"}), "");
    EXPECT_EQ(sim.waitExit(), 2);
}

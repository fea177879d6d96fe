// Running the built romwright-cli in tests: a scratch folder as its current directory, its
// standard output and error captured, bounded waits, and Ctrl-C sent on cue (POSIX).
#pragma once

#include "image/config_module.h"
#include "image/sample_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace rw::clitest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string cliBinary() {
    return std::string(ROMWRIGHT_BIN_DIR) + "/src/romwright-cli";
}

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "romwright-cli-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const {
        return (fs::path(path_) / name).string();
    }

private:
    std::string path_;
};

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

struct CliResult {
    int exitCode = -1; // -1: did not end in time (killed) or ended by a signal
    bool timedOut = false;
    std::string out;
    std::string err;
    std::vector<std::string> errLines() const { return splitLines(err); }
    std::vector<std::string> outLines() const { return splitLines(out); }
    bool errHasLine(const std::string& line) const {
        const auto lines = errLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

struct CliRun {
    std::vector<std::string> args;
    std::string cwd;
    std::map<std::string, std::string> env; // added to (or replacing in) the inherited one
    std::chrono::milliseconds limit = 60s;
    // Called whenever stderr grew; send Ctrl-C and the like through `pid`.
    std::function<void(pid_t pid, const std::string& errSoFar)> onStderr;
    // Standard error on a pseudo-terminal, as a user at a terminal sees it.
    bool errOnTerminal = false;
    // Stop reading stderr after its first output, as a reader does that goes away.
    bool closeStderrEarly = false;
};

// Where stderr goes: a pipe, or a pseudo-terminal (its master to read, its slave to write).
inline bool openErr(bool terminal, int fds[2]) {
    if (!terminal) return ::pipe(fds) == 0;
    fds[0] = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fds[0] < 0 || ::grantpt(fds[0]) != 0 || ::unlockpt(fds[0]) != 0) return false;
    fds[1] = ::open(::ptsname(fds[0]), O_RDWR | O_NOCTTY);
    return fds[1] >= 0;
}

inline CliResult runCli(const CliRun& r) {
    CliResult result;
    int outPipe[2], errPipe[2];
    if (::pipe(outPipe) != 0 || !openErr(r.errOnTerminal, errPipe)) {
        ADD_FAILURE() << "pipe failed";
        return result;
    }
    std::vector<std::string> all{cliBinary()};
    all.insert(all.end(), r.args.begin(), r.args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::map<std::string, std::string> envMap;
    for (char** e = environ; *e; ++e) {
        const std::string kv = *e;
        const auto eq = kv.find('=');
        if (eq != std::string::npos) envMap[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto& [k, v] : r.env)
        envMap[k] = v;
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : envMap)
        envStrings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);

    const std::string bin = cliBinary();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        ::close(errPipe[0]);
        ::close(errPipe[1]);
        const int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0) ::dup2(devnull, STDIN_FILENO);
        if (!r.cwd.empty() && ::chdir(r.cwd.c_str()) != 0) ::_exit(126);
        ::execve(bin.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (pid < 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        ADD_FAILURE() << "fork failed";
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + r.limit;
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                         {errOpen ? errPipe[0] : -1, POLLIN, 0}};
        const int n = ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 200)));
        if (n < 0 && errno != EINTR) break;
        std::array<char, 4096> buf{};
        for (int i = 0; i < 2; ++i) {
            bool& open = i == 0 ? outOpen : errOpen;
            if (!open || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t k = ::read(fds[i].fd, buf.data(), buf.size());
            if (k <= 0) {
                open = false;
                continue;
            }
            (i == 0 ? result.out : result.err).append(buf.data(), static_cast<std::size_t>(k));
            if (i == 1 && r.onStderr) r.onStderr(pid, result.err);
            if (i == 1 && r.closeStderrEarly) {
                ::close(errPipe[0]);
                errPipe[0] = -1;
                open = false;
            }
        }
    }
    ::close(outPipe[0]);
    if (errPipe[0] >= 0) ::close(errPipe[0]);
    int status = 0;
    // The pipes are closed once the process ends; reap it, within bounds.
    const auto reapDeadline = std::chrono::steady_clock::now() + 10s;
    for (;;) {
        const pid_t w = ::waitpid(pid, &status, WNOHANG);
        if (w == pid) break;
        if (w < 0 || std::chrono::steady_clock::now() > reapDeadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

// Runs in `dir` with the data folder (default backups) inside it; `env` adds variables.
inline CliResult runIn(const ScratchDir& dir, std::vector<std::string> args,
                       std::chrono::milliseconds limit = 60s,
                       std::map<std::string, std::string> env = {},
                       std::function<void(pid_t, const std::string&)> onStderr = {},
                       bool errOnTerminal = false) {
    CliRun r{std::move(args), dir.path(),          std::move(env),
             limit,           std::move(onStderr), errOnTerminal};
    r.env["XDG_DATA_HOME"] = dir / "data";
    r.env["HOME"] = dir.path();
    return runCli(r);
}

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::uint8_t> toVector(const image::Image& img) {
    return std::vector<std::uint8_t>(img.begin(), img.end());
}

inline std::string writeImage(const ScratchDir& dir, const image::Image& img,
                              const std::string& name) {
    const std::string path = dir / name;
    EXPECT_TRUE(image::writePatchFile(path, img));
    return path;
}

// The product's sample image written as `name` in `dir`; returns the path.
inline std::string writeSample(const ScratchDir& dir, int mode, const std::string& name) {
    return writeImage(dir, image::makeSampleImage(mode), name);
}

inline const char* modeCode(int mode) {
    static const char* const codes[] = {"", "E2MB", "E2UB", "E2MP", "E2UP"};
    return mode >= 1 && mode <= 4 ? codes[mode] : "";
}

// NAME=TEXT lines of `show` as a map.
inline std::map<std::string, std::string> parseShow(const std::string& out) {
    std::map<std::string, std::string> m;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) {
        const auto eq = l.find('=');
        if (eq != std::string::npos) m[l.substr(0, eq)] = l.substr(eq + 1);
    }
    return m;
}

} // namespace rw::clitest

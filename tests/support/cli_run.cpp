#include "support/cli_run.h"

#include "image/sample_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace rw::test {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

std::string readText(const std::string& path) {
    const auto bytes = readBytes(path);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

bool CliResult::errHasLine(const std::string& line) const {
    const auto lines = errLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

CliResult runCli(const TempDir& dir, CliRun r) {
    // stderr on a pipe, or on a pseudo-terminal: its master to read, its slave to write.
    int out[2], err[2] = {-1, -1};
    if (r.errOnTerminal) {
        err[0] = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (err[0] >= 0 && ::grantpt(err[0]) == 0 && ::unlockpt(err[0]) == 0)
            err[1] = ::open(::ptsname(err[0]), O_RDWR | O_NOCTTY);
    }
    if (::pipe(out) != 0 || (r.errOnTerminal ? err[1] < 0 : ::pipe(err) != 0)) {
        ADD_FAILURE() << "no pipes";
        return {};
    }
    std::vector<std::string> args{std::string(ROMWRIGHT_BIN_DIR) + "/src/romwright-cli"}, env;
    args.insert(args.end(), r.args.begin(), r.args.end());
    r.env.emplace("XDG_DATA_HOME", dir.file("data"));
    r.env.emplace("HOME", dir.str());
    for (char** e = environ; *e; ++e)
        if (!r.env.count(std::string(*e).substr(0, std::string(*e).find('=')))) env.push_back(*e);
    for (const auto& [k, v] : r.env)
        env.push_back(k + "=" + v);
    std::vector<char*> argv, envp;
    for (auto [from, to] : {std::pair{&args, &argv}, std::pair{&env, &envp}}) {
        for (auto& s : *from)
            to->push_back(s.data());
        to->push_back(nullptr);
    }
    const std::string cwd = dir.str();
    const pid_t pid = ::fork();
    if (pid == 0) { // only async-signal-safe calls until exec
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]})
            ::close(fd);
        ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
        if (::chdir(cwd.c_str()) == 0) ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    CliResult result;
    const auto deadline = std::chrono::steady_clock::now() + r.limit;
    int fds[2] = {out[0], err[0]};
    while (pid > 0 && (fds[0] >= 0 || fds[1] >= 0) && std::chrono::steady_clock::now() < deadline) {
        pollfd p[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
        ::poll(p, 2, 200);
        for (int i = 0; i < 2; ++i) {
            if (fds[i] < 0 || !(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            std::array<char, 4096> buf{};
            const ssize_t k = ::read(fds[i], buf.data(), buf.size());
            if (k > 0) (i == 0 ? result.out : result.err).append(buf.data(), std::size_t(k));
            if (k > 0 && i == 1 && r.onStderr) r.onStderr(pid, result.err);
            if (k <= 0 || (i == 1 && r.closeStderrEarly)) {
                ::close(fds[i]);
                fds[i] = -1;
            }
        }
    }
    for (int fd : fds)
        if (fd >= 0) ::close(fd);
    // The pipes close when the process ends: reap it, killed if its time is up.
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > deadline) ::kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(pid > 0 && WIFEXITED(status)) << "romwright-cli did not end by itself in time";
    if (pid > 0 && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

std::vector<std::uint8_t> toVector(const image::Image& img) {
    return {img.begin(), img.end()};
}

std::string writeImage(const TempDir& dir, const image::Image& img, const std::string& name) {
    EXPECT_TRUE(image::writePatchFile(dir.file(name), img));
    return dir.file(name);
}

std::string writeSample(const TempDir& dir, int mode, const std::string& name) {
    return writeImage(dir, image::makeSampleImage(mode), name);
}

std::string offsetLine(int k, int from, int to) {
    char line[32];
    std::snprintf(line, sizeof line, "%04X %02X -> %02X", k, from, to);
    return line;
}

std::map<std::string, std::string> parseShow(const std::string& out) {
    std::map<std::string, std::string> m;
    for (const std::string& l : splitLines(out))
        if (const auto eq = l.find('='); eq != std::string::npos)
            m[l.substr(0, eq)] = l.substr(eq + 1);
    return m;
}

} // namespace rw::test

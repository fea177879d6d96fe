#include "sim/sim_pty.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace rw::sim {

namespace {

constexpr int kIdleTimeoutMs = 1000;
// After a hang-up the master reports ready at once; waiting this long avoids a busy loop.
constexpr int kHangUpRetryMs = 100;
constexpr int kBlockedRetryMs = 100;

// Self-pipe: the handler only writes a byte, the loop sees it in poll().
int stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(stopPipe[1], &byte, 1);
    errno = saved;
}

bool installStopSignals(std::string& error) {
    if (stopPipe[0] < 0) {
        if (::pipe(stopPipe) != 0) {
            error = std::string("pipe: ") + std::strerror(errno);
            return false;
        }
        for (int fd : stopPipe) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

std::string errnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

PtyServer::PtyServer(SimModem& modem, ServerSettings settings)
    : modem_(modem), settings_(std::move(settings)),
      pacer_(settings_.throttle ? Pacer::kLineRate : 0) {}

PtyServer::~PtyServer() {
    removeLink();
    for (int fd : {watch_, slave_, master_})
        if (fd >= 0) ::close(fd);
}

bool PtyServer::open(std::string& error) {
    if (!installStopSignals(error)) return false;

    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        error = errnoText("posix_openpt");
        return false;
    }
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = errnoText("grantpt/unlockpt");
        return false;
    }
    const char* name = ::ptsname(master_);
    if (!name) {
        error = errnoText("ptsname");
        return false;
    }
    devicePath_ = name;

    slave_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        error = errnoText(("open " + devicePath_).c_str());
        return false;
    }
    // Raw, so the line discipline neither echoes nor turns CR into LF: the monitor does its own.
    termios tio{};
    if (::tcgetattr(slave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(slave_, TCSANOW, &tio);
    }

#ifdef __linux__
    // Our own slave descriptor is open already, so only clients are counted.
    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && ::inotify_add_watch(watch_, devicePath_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        ::close(watch_);
        watch_ = -1;
    }
#endif

    if (!settings_.tracePath.empty() && !trace_.open(settings_.tracePath, error)) return false;

    if (!settings_.linkPath.empty()) {
        struct stat st {};
        if (::lstat(settings_.linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                error = settings_.linkPath + " exists and is not a symbolic link";
                return false;
            }
            ::unlink(settings_.linkPath.c_str()); // left over from a killed run
        }
        if (::symlink(devicePath_.c_str(), settings_.linkPath.c_str()) != 0) {
            error = errnoText(("symlink " + settings_.linkPath).c_str());
            return false;
        }
        linked_ = true;
    }
    return true;
}

void PtyServer::removeLink() {
    if (!linked_) return;
    linked_ = false;
    // Leave the path alone if another simulator has taken it over meanwhile.
    std::array<char, 4096> target{};
    const ssize_t n = ::readlink(settings_.linkPath.c_str(), target.data(), target.size() - 1);
    if (n > 0 && devicePath_ == std::string(target.data(), static_cast<std::size_t>(n)))
        ::unlink(settings_.linkPath.c_str());
}

void PtyServer::queue(const std::string& bytes) {
    if (bytes.empty()) return;
    if (outputPos_ > 0 && outputPos_ * 2 >= output_.size()) {
        output_.erase(0, outputPos_);
        outputPos_ = 0;
    }
    output_ += bytes;
}

void PtyServer::dropOutput() {
    output_.clear();
    outputPos_ = 0;
    blocked_ = false;
    pacer_.reset();
    // Also what sits unread in the terminal, so the next client starts clean, as on a real port.
    ::tcflush(slave_, TCIFLUSH);
}

void PtyServer::sendDue() {
    const std::size_t pending = output_.size() - outputPos_;
    if (pending == 0) return;
    const auto now = Pacer::Clock::now();
    const std::size_t n = pacer_.allowance(now, pending);
    if (n == 0) return;
    const ssize_t written = ::write(master_, output_.data() + outputPos_, n);
    if (written > 0) {
        outputPos_ += static_cast<std::size_t>(written);
        pacer_.sent(now, static_cast<std::size_t>(written));
        blocked_ = false;
        if (outputPos_ == output_.size()) {
            output_.clear();
            outputPos_ = 0;
        }
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        blocked_ = true;
    } else if (written < 0 && errno != EINTR) {
        dropOutput(); // nobody to hear it
    }
}

void PtyServer::receive() {
    std::array<char, 512> buf{};
    const ssize_t n = ::read(master_, buf.data(), buf.size());
    if (n < 0) {
        if (errno == EIO) masterHungUp_ = true;
        return;
    }
    if (n == 0) return;
    queue(modem_.feed(std::string_view(buf.data(), static_cast<std::size_t>(n))));

    trace_.append(modem_.trace());
    modem_.clearTrace();

    if (!settings_.writeBackPath.empty() && modem_.e2WriteCount() != savedWrites_) {
        std::string error;
        if (saveImageAtomically(settings_.writeBackPath, modem_.e2prom(), error))
            savedWrites_ = modem_.e2WriteCount();
        else
            std::fprintf(stderr, "romwright-sim: %s\n", error.c_str());
    }
}

void PtyServer::watchClients() {
#ifdef __linux__
    alignas(inotify_event) std::array<char, 4096> buf{};
    while (true) {
        const ssize_t n = ::read(watch_, buf.data(), buf.size());
        if (n <= 0) return;
        bool lastGone = false;
        for (ssize_t off = 0; off < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf.data() + off);
            if (ev->mask & IN_OPEN) ++clients_;
            if (ev->mask & IN_CLOSE) {
                clients_ = std::max(0, clients_ - 1);
                lastGone = lastGone || clients_ == 0;
            }
            off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
        }
        if (lastGone) dropOutput();
    }
#endif
}

int PtyServer::pollTimeoutMs() {
    if (masterHungUp_) return kHangUpRetryMs;
    if (output_.size() == outputPos_) return kIdleTimeoutMs;
    if (blocked_) return kBlockedRetryMs;
    const auto wait = pacer_.untilNext(Pacer::Clock::now());
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    return static_cast<int>(std::min<decltype(ms)>(ms, kIdleTimeoutMs));
}

int PtyServer::prepare(pollfd* fds) {
    sendDue();
    const bool pending = output_.size() != outputPos_;
    // While hung up the master is left out, else poll() would return at once.
    fds[0] = {masterHungUp_ ? -1 : master_,
              static_cast<short>(POLLIN | (pending && blocked_ ? POLLOUT : 0)), 0};
    fds[1] = {watch_, POLLIN, 0};
    const int timeout = pollTimeoutMs();
    masterHungUp_ = false;
    return timeout;
}

void PtyServer::handle(const pollfd* fds) {
    // Closes before input: a client that reopens and types at once must not get old output.
    if (fds[1].revents & POLLIN) watchClients();
    if (fds[0].revents & POLLIN)
        receive();
    else if (fds[0].revents & (POLLHUP | POLLERR))
        masterHungUp_ = true;
    if (fds[0].revents & POLLOUT) blocked_ = false;
}

int PtyServer::run() {
    return runServers({this});
}

int runServers(const std::vector<PtyServer*>& servers) {
    std::vector<pollfd> fds(1 + 2 * servers.size());
    int status = 0;
    while (true) {
        fds[0] = {stopPipe[0], POLLIN, 0};
        int timeout = kIdleTimeoutMs;
        for (std::size_t i = 0; i < servers.size(); ++i)
            timeout = std::min(timeout, servers[i]->prepare(&fds[1 + 2 * i]));
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "romwright-sim: %s\n", errnoText("poll").c_str());
            status = 1;
            break;
        }
        if (fds[0].revents) break;
        for (std::size_t i = 0; i < servers.size(); ++i)
            servers[i]->handle(&fds[1 + 2 * i]);
    }
    for (PtyServer* s : servers)
        s->removeLink();
    return status;
}

} // namespace rw::sim

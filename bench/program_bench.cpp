// Whole programming runs of romwright-cli against romwright-sim paced at 9600 baud, for
// 0, 100 and 1000 differing bytes: the wall time of the romwright-cli process, the wire
// floor (every character the monitor sends in answer to the run's own commands, at 960 a
// second, counted from the simulator's trace), their ratio, its CPU seconds and its peak
// resident memory. Prints one Markdown table row per run.
//
//   program_bench CLI SIM [DIFFS...]
//
// A restore of a file that differs from the modem's E2PROM in DIFFS bytes (offset 0 aside)
// writes exactly those bytes. POSIX only; each run takes a minute or two.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Image = std::array<std::uint8_t, 8192>;

constexpr double kLineRate = 960.0; // characters a second at 9600 baud, 8N1

Image randomImage(unsigned seed) {
    std::mt19937 gen(seed);
    Image img{};
    for (auto& b : img)
        b = static_cast<std::uint8_t>(gen() & 0xFF);
    return img;
}

// `count` distinct offsets of 1..8191 changed.
Image changed(Image img, int count, unsigned seed) {
    std::mt19937 gen(seed);
    std::set<int> picked;
    while (static_cast<int>(picked.size()) < count)
        picked.insert(1 + static_cast<int>(gen() % 8191));
    for (int k : picked)
        img[static_cast<std::size_t>(k)] ^= static_cast<std::uint8_t>(1 + gen() % 255);
    return img;
}

void writeImage(const fs::path& p, const Image& img) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(img.size()));
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What the monitor sends in answer to one traced command: the echo of the command and its
// line end, the dump of a read (rows of 7 + 2 characters, 3 per byte), and the prompt. The
// wake-up is answered with a line end and the prompt.
double answerCharacters(const std::string& line) {
    if (line == "<ESC>") return 4;
    unsigned address = 0, count = 0;
    double dump = 0;
    if (std::sscanf(line.c_str(), "RD %X,%X", &address, &count) == 2)
        dump = 9.0 * ((count + 7) / 8) + 3.0 * count;
    return static_cast<double>(line.size()) + 2 + dump + 2;
}

double wireFloor(const fs::path& trace) {
    std::ifstream in(trace);
    double chars = 0;
    for (std::string line; std::getline(in, line);)
        chars += answerCharacters(line);
    return chars / kLineRate;
}

// Standard error goes nowhere: the runs' progress and messages are not measured.
pid_t spawn(const std::vector<std::string>& args, int outFd) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::dup2(outFd, STDOUT_FILENO);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) ::dup2(devNull, STDERR_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

// Starts the simulator; its first line of output is the device.
pid_t startSim(const std::vector<std::string>& args, std::string& device) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = spawn(args, fds[1]);
    ::close(fds[1]);
    for (char c = 0; ::read(fds[0], &c, 1) == 1 && c != '\n';)
        device += c;
    ::close(fds[0]);
    return pid;
}

struct Run {
    int status = -1;
    double wall = 0;
    double cpu = 0;
    long maxRssKb = 0;
};

Run runCli(const std::vector<std::string>& args) {
    Run r;
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = spawn(args, STDOUT_FILENO);
    int status = 0;
    rusage u{};
    ::wait4(pid, &status, 0, &u);
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.cpu = static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
            static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    r.maxRssKb = u.ru_maxrss;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool measure(const std::string& cli, const std::string& sim, int diffs) {
    const fs::path dir =
        fs::temp_directory_path() / ("romwright-bench-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Image modem = randomImage(100);
    modem[0] = 0x55;
    Image file = changed(modem, diffs, 101);
    file[0] = 0x00; // block 0 is read back only when something in it changed
    writeImage(dir / "modem.bin", modem);
    writeImage(dir / "E2MB_bench.bin", file);
    std::string device;
    const pid_t simPid =
        startSim({sim, "--generation", "B", "--image", (dir / "modem.bin").string(), "--trace",
                  (dir / "trace.txt").string(), "--write-back", (dir / "after.bin").string()},
                 device);
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    ::unsetenv("ROMWRIGHT_READ_PAUSE_MS");
    const Run r = runCli({cli, "restore", (dir / "E2MB_bench.bin").string(), "--port", device,
                          "--product", "1", "--backup", (dir / "backup.bin").string()});
    ::kill(simPid, SIGTERM);
    ::waitpid(simPid, nullptr, 0);
    Image expected = file;
    expected[0] = 0x55;
    const std::string after = readText(dir / "after.bin");
    const bool ok = r.status == 0 && after == std::string(expected.begin(), expected.end());
    const double floor = wireFloor(dir / "trace.txt");
    std::printf("| %d | %.1f s | %.1f s | %.3f | %.2f s | %.1f MB |%s\n", diffs, r.wall, floor,
                r.wall / floor, r.cpu, static_cast<double>(r.maxRssKb) / 1024.0,
                ok ? "" : " (the run failed)");
    std::fflush(stdout);
    fs::remove_all(dir);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: program_bench CLI SIM [DIFFS...]\n");
        return 2;
    }
    std::vector<int> diffs;
    for (int i = 3; i < argc; ++i)
        diffs.push_back(std::atoi(argv[i]));
    if (diffs.empty()) diffs = {0, 100, 1000};
    std::printf("| Differing bytes | Wall | Wire floor | Ratio | CPU | Peak RSS |\n"
                "|---|---|---|---|---|---|\n");
    bool ok = true;
    for (int n : diffs)
        ok = measure(argv[1], argv[2], n) && ok;
    return ok ? 0 : 1;
}

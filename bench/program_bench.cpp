// Whole programming runs of romwright-cli against romwright-sim paced at 9600 baud.
//
//   program_bench CLI SIM [DIFFS...]
//
// For 0, 100 and 1000 differing bytes: the wall time of the romwright-cli process, the wire
// floor (every character the monitor sends in answer to the run's own commands, at 960 a
// second, counted from the simulator's trace), their ratio, its CPU seconds and its peak
// resident memory. A restore of a file that differs from the modem's E2PROM in DIFFS bytes
// (offset 0 aside) writes exactly those bytes.
//
//   program_bench CLI SIM --modems [COUNTS...]
//
// A production bench: the same restore of 100 differing bytes into 1, 2, 4 and 8 modems of
// one simulator (--count) at once, through one romwright-cli with a --port for each (one
// modem: the single run). The wall time of the whole bench against the single run, the CPU
// seconds of all its processes, per modem, and the peak resident memory of the largest one.
//
// Prints one Markdown table row per measurement. POSIX only; each row takes a minute or two.
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

// A scratch folder with the modem's image and a file that differs from it in `diffs` bytes.
struct Setup {
    fs::path dir;
    Image expected; // what the modem holds after a restore of the file
};

Setup prepare(int diffs) {
    Setup s;
    s.dir = fs::temp_directory_path() / ("romwright-bench-" + std::to_string(::getpid()));
    fs::remove_all(s.dir);
    fs::create_directories(s.dir);
    Image modem = randomImage(100);
    modem[0] = 0x55;
    Image file = changed(modem, diffs, 101);
    file[0] = 0x00; // block 0 is read back only when something in it changed
    writeImage(s.dir / "modem.bin", modem);
    writeImage(s.dir / "E2MB_bench.bin", file);
    s.expected = file;
    s.expected[0] = 0x55;
    ::setenv("XDG_DATA_HOME", s.dir.c_str(), 1);
    return s;
}

// The simulator of `count` modems; their devices, one a line.
pid_t startBench(const std::string& sim, const Setup& s, int count,
                 std::vector<std::string>& devices) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid =
        spawn({sim, "--count", std::to_string(count), "--generation", "B", "--image",
               (s.dir / "modem.bin").string(), "--trace", (s.dir / "trace.txt").string(),
               "--write-back", (s.dir / "after.bin").string()},
              fds[1]);
    ::close(fds[1]);
    std::string line;
    for (char c = 0; static_cast<int>(devices.size()) < count && ::read(fds[0], &c, 1) == 1;) {
        if (c != '\n') {
            line += c;
            continue;
        }
        devices.push_back(line);
        line.clear();
    }
    ::close(fds[0]);
    return pid;
}

void stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

bool holds(const fs::path& file, const Image& expected) {
    return readText(file) == std::string(expected.begin(), expected.end());
}

bool measure(const std::string& cli, const std::string& sim, int diffs) {
    const Setup s = prepare(diffs);
    std::vector<std::string> devices;
    const pid_t simPid = startBench(sim, s, 1, devices);
    const Run r =
        runCli({cli, "restore", (s.dir / "E2MB_bench.bin").string(), "--port", devices.at(0),
                "--product", "1", "--backup", (s.dir / "backup.bin").string()});
    stop(simPid);
    const bool ok = r.status == 0 && holds(s.dir / "after.bin", s.expected);
    const double floor = wireFloor(s.dir / "trace.txt");
    std::printf("| %d | %.1f s | %.1f s | %.3f | %.2f s | %.1f MB |%s\n", diffs, r.wall, floor,
                r.wall / floor, r.cpu, static_cast<double>(r.maxRssKb) / 1024.0,
                ok ? "" : " (the run failed)");
    std::fflush(stdout);
    fs::remove_all(s.dir);
    return ok;
}

// `count` modems programmed at once; `single` is the wall time of one (0: this is the one).
bool measureBench(const std::string& cli, const std::string& sim, int count, double& single) {
    const Setup s = prepare(100);
    std::vector<std::string> devices;
    const pid_t simPid = startBench(sim, s, count, devices);
    std::vector<std::string> args = {cli, "restore", (s.dir / "E2MB_bench.bin").string(),
                                     "--product", "1"};
    for (const std::string& d : devices)
        args.insert(args.end(), {"--port", d});
    const Run r = runCli(args);
    stop(simPid);
    bool ok = r.status == 0 && static_cast<int>(devices.size()) == count;
    for (int k = 1; k <= count && ok; ++k)
        ok = holds(s.dir / (count == 1 ? "after.bin" : "after-" + std::to_string(k) + ".bin"),
                   s.expected);
    if (single == 0) single = r.wall;
    std::printf("| %d | %.1f s | %.3f | %.2f s | %.2f s | %.1f MB |%s\n", count, r.wall,
                r.wall / single, r.cpu, r.cpu / count, static_cast<double>(r.maxRssKb) / 1024.0,
                ok ? "" : " (a run failed)");
    std::fflush(stdout);
    fs::remove_all(s.dir);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: program_bench CLI SIM [DIFFS...]\n"
                             "       program_bench CLI SIM --modems [COUNTS...]\n");
        return 2;
    }
    const bool modems = argc > 3 && std::string(argv[3]) == "--modems";
    std::vector<int> values;
    for (int i = modems ? 4 : 3; i < argc; ++i)
        values.push_back(std::atoi(argv[i]));
    bool ok = true;
    if (modems) {
        if (values.empty()) values = {1, 2, 4, 8};
        std::printf("| Modems | Wall | Against one | CPU, all processes | CPU per modem | Peak "
                    "RSS |\n|---|---|---|---|---|---|\n");
        double single = 0;
        for (int n : values)
            ok = measureBench(argv[1], argv[2], n, single) && ok;
        return ok ? 0 : 1;
    }
    if (values.empty()) values = {0, 100, 1000};
    std::printf("| Differing bytes | Wall | Wire floor | Ratio | CPU | Peak RSS |\n"
                "|---|---|---|---|---|---|\n");
    for (int n : values)
        ok = measure(argv[1], argv[2], n) && ok;
    return ok ? 0 : 1;
}

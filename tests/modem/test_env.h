// Helpers for the modem tests: the COMn environment, and the CPU time the process used.
#pragma once

#include <sys/resource.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>

namespace rw::test {

inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Points ROMWRIGHT_COM1..6 at the devices a test chooses, and restores them afterwards.
class ComEnvironment {
public:
    explicit ComEnvironment(const std::function<std::string(int)>& deviceFor) {
        for (int n = 1; n <= 6; ++n) {
            if (const char* v = std::getenv(var(n).c_str())) saved_[n] = v;
            ::setenv(var(n).c_str(), deviceFor(n).c_str(), 1);
        }
    }
    ~ComEnvironment() {
        for (int n = 1; n <= 6; ++n)
            if (saved_.count(n))
                ::setenv(var(n).c_str(), saved_[n].c_str(), 1);
            else
                ::unsetenv(var(n).c_str());
    }
    ComEnvironment(const ComEnvironment&) = delete;
    ComEnvironment& operator=(const ComEnvironment&) = delete;

private:
    static std::string var(int n) { return "ROMWRIGHT_COM" + std::to_string(n); }
    std::map<int, std::string> saved_;
};

} // namespace rw::test

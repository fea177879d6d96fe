// romwright-cli: Romwright without a display.
#include "cli/cli.h"
#include "cli/cli_interrupt.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define RW_ISATTY _isatty
#define RW_FILENO _fileno
#else
#include <unistd.h>
#define RW_ISATTY isatty
#define RW_FILENO fileno
#endif

int main(int argc, char** argv) {
    rw::cli::ignoreBrokenPipes();
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool errIsTerminal = RW_ISATTY(RW_FILENO(stderr)) != 0;
    return rw::cli::run(args, std::cout, std::cerr, errIsTerminal);
}

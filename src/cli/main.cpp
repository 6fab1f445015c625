// Entry point: turns the command line into a run and returns its status.

#include <unistd.h>

#include <csignal>
#include <iostream>

#include "cli/driver.hpp"

int main(int argc, char** argv) {
    // A write past the file-size limit must fail like a full disk (and be
    // reported), not kill the process and leave a temporary file behind.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);
    // The progress bar is for a person watching: only a terminal gets it.
    const int status =
        tarnvale::RunCommandLine(argc, argv, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
    std::cout.flush();
    return status;
}

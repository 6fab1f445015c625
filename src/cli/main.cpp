// Entry point: turns the command line into a run and returns its status.

#include <csignal>
#include <iostream>

#include "cli/driver.hpp"

int main(int argc, char** argv) {
    // A write past the file-size limit must fail like a full disk (and be
    // reported), not kill the process and leave a temporary file behind.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);
    const int status = tarnvale::RunCommandLine(argc, argv, std::cout, std::cerr);
    std::cout.flush();
    return status;
}

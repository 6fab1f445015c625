#pragma once
// The small network that the end-to-end tests share, and running the real
// binary (or a shell) under conditions that the plain RunTarnvale cannot set
// up: an address-space limit, or the rights of an unprivileged user.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/run_binary.hpp"

namespace tarnvale::testing {

// A ring of eight nodes with two chords; A..D carry small p-values, so that
// every run finds groups.
inline constexpr const char* kRingSif =
    "A pp B 0.9\nB pp C 0.8\nC pp D 0.7\nD pp E 0.4\nE pp F 0.3\nF pp G 0.6\n"
    "G pp H 0.2\nH pp A 0.5\nA pp C 0.95\nE pp G 0.1\n";
inline constexpr const char* kRingPValues =
    "A\t0.001\nB\t0.002\nC\t0.0005\nD\t0.01\nE\t0.6\nF\t0.4\nG\t0.8\nH\t0.3\n";
inline constexpr const char* kRingSeed = "4242";

struct ChildOptions {
    std::optional<rlim_t> memoryLimit;  // RLIMIT_AS in bytes
};

// Exit status of a child that could not be started at all.
inline constexpr int kCannotStart = 127;

// Runs argv (argv[0] is the program's path) in `cwd`; standard input from
// /dev/null. Status as RunTarnvale gives it.
inline RunResult RunChild(std::vector<std::string> argv, const std::filesystem::path& cwd,
                          const ChildOptions& options = {}) {
    ScratchDir capture;
    const int outFd = ::open(capture.Write("stdout", "").c_str(), O_WRONLY);
    const int errFd = ::open(capture.Write("stderr", "").c_str(), O_WRONLY);
    const int inFd = ::open("/dev/null", O_RDONLY);
    if (outFd < 0 || errFd < 0 || inFd < 0) throw std::runtime_error("cannot open capture files");
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(inFd, 0), ::dup2(outFd, 1), ::dup2(errFd, 2);
        const rlimit limit{options.memoryLimit.value_or(0), options.memoryLimit.value_or(0)};
        if (options.memoryLimit && ::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(kCannotStart);
        if (::chdir(cwd.c_str()) != 0) ::_exit(kCannotStart);
        ::execv(args[0], args.data());
        ::_exit(kCannotStart);
    }
    ::close(outFd), ::close(errFd), ::close(inFd);
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0) {
    }
    RunResult result;
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    result.out = capture.Read("stdout");
    result.err = capture.Read("stderr");
    return result;
}

// The binary followed by its arguments, for RunChild.
inline std::vector<std::string> Tarnvale(std::vector<std::string> args) {
    args.insert(args.begin(), TARNVALE_BINARY);
    return args;
}

// The binary run as the unprivileged user nobody when we are root, who
// reads and writes anything.
inline std::vector<std::string> Unprivileged(const std::vector<std::string>& args) {
    std::vector<std::string> argv = Tarnvale(args);
    if (::geteuid() == 0)
        argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return argv;
}

// A program and its arguments as a quoted shell command.
inline std::string Command(const std::vector<std::string>& argv) {
    std::string text;
    for (const auto& a : argv) text += "'" + a + "' ";
    return text;
}

// A bash command line run in `cwd`, standard error merged into its output.
inline RunResult RunShell(const std::string& command, const std::filesystem::path& cwd) {
    return RunChild({"/bin/bash", "-c", command + " 2>&1"}, cwd);
}

// Names of the temporary files a report leaves while it is written.
inline std::vector<std::string> TemporaryFiles(const std::filesystem::path& dir) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".tmp.") != std::string::npos) found.push_back(name);
    }
    return found;
}

// Every number that standard output prints on its own (background
// statistics, annealing steps, group scores) is finite. Returns the first
// line that is not, or nothing. Lines that echo the user's text are not read.
inline std::optional<std::string> NonFiniteLine(const std::string& out) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::string numbers;
        for (const char* prefix : {"Mean(data)= ", "StdDev(data)= ", "r= ", "Group s-score = "})
            if (line.rfind(prefix, 0) == 0) numbers = line.substr(std::string(prefix).size());
        // Annealing steps: "i:<TAB>size<TAB>score".
        if (const auto at = line.find(":\t"); numbers.empty() && at != std::string::npos &&
                                               !line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
            numbers = line.substr(at + 2);
        std::istringstream fields(numbers);
        for (std::string field; fields >> field;) {
            char* end = nullptr;
            const double value = std::strtod(field.c_str(), &end);
            if (end == field.c_str() || !std::isfinite(value)) return line;
        }
    }
    return std::nullopt;
}

}  // namespace tarnvale::testing

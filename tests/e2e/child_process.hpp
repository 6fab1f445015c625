#pragma once
// Running the real binary (or a shell) under conditions that the plain
// RunTarnvale cannot set up: extra environment variables, a file-size limit,
// standard output sent to a given file, or the rights of an unprivileged
// user. Used by the end-to-end tests of hostile input and file handling.

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/run_binary.hpp"

extern char** environ;

namespace tarnvale::testing {

struct ChildOptions {
    std::vector<std::string> env;          // extra NAME=VALUE entries
    std::optional<rlim_t> fileSizeLimit;   // RLIMIT_FSIZE in bytes
    std::optional<rlim_t> memoryLimit;     // RLIMIT_AS in bytes
    std::string stdoutPath;                // instead of the captured file
    bool unprivileged = false;             // run as nobody when we are root
};

// The user id that stands for "nobody" on Debian.
inline constexpr uid_t kNobody = 65534;

// Exit status of a child that could not be started at all.
inline constexpr int kCannotStart = 127;

// Runs argv (argv[0] is the program's path) in `cwd`; standard input from
// /dev/null. Status as RunTarnvale gives it.
inline RunResult RunChild(const std::vector<std::string>& argv, const std::filesystem::path& cwd,
                          const ChildOptions& options = {}) {
    ScratchDir capture;
    const std::string outPath =
        options.stdoutPath.empty() ? (capture.path() / "stdout").string() : options.stdoutPath;
    const std::string errPath = (capture.path() / "stderr").string();
    // Opened here, so that a child without rights still writes them.
    const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int inFd = ::open("/dev/null", O_RDONLY);
    if (outFd < 0 || errFd < 0 || inFd < 0) throw std::runtime_error("cannot open capture files");

    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) envText.emplace_back(*e);
    envText.insert(envText.end(), options.env.begin(), options.env.end());
    std::vector<char*> envp;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argText(argv);
    std::vector<char*> args;
    for (auto& a : argText) args.push_back(a.data());
    args.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(inFd, 0);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        if (options.fileSizeLimit) {
            const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(kCannotStart);
        }
        if (options.memoryLimit) {
            const rlimit limit{*options.memoryLimit, *options.memoryLimit};
            if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(kCannotStart);
        }
        if (options.unprivileged && ::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(kCannotStart);
        }
        if (::chdir(cwd.c_str()) != 0) ::_exit(kCannotStart);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(kCannotStart);
    }
    ::close(outFd);
    ::close(errFd);
    ::close(inFd);
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0) {
    }
    RunResult result;
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    if (options.stdoutPath.empty()) result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}

// The binary followed by its arguments, for RunChild.
inline std::vector<std::string> Tarnvale(std::vector<std::string> args) {
    args.insert(args.begin(), TARNVALE_BINARY);
    return args;
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
        if (numbers.empty() && !line.empty() && std::isdigit(static_cast<unsigned char>(line[0])) &&
            line.find(":\t") != std::string::npos)
            numbers = line.substr(line.find(":\t") + 2);
        if (numbers.empty()) continue;
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

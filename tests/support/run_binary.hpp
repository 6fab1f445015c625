#pragma once
// Runs the real tarnvale binary (or a shell) in a scratch directory and
// captures what it prints and how it exits, optionally with the rights of
// an unprivileged user.

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/report_parser.hpp"

namespace tarnvale::testing {

// A ring of eight nodes with two chords; A..D carry small p-values, so that
// every run finds groups.
inline constexpr const char* kRingSif =
    "A pp B 0.9\nB pp C 0.8\nC pp D 0.7\nD pp E 0.4\nE pp F 0.3\nF pp G 0.6\n"
    "G pp H 0.2\nH pp A 0.5\nA pp C 0.95\nE pp G 0.1\n";
inline constexpr const char* kRingPValues =
    "A\t0.001\nB\t0.002\nC\t0.0005\nD\t0.01\nE\t0.6\nF\t0.4\nG\t0.8\nH\t0.3\n";
inline constexpr const char* kRingSeed = "4242";

struct RunResult {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// The whole content of a file.
std::string ReadFile(const std::filesystem::path& path);

// A fresh, empty directory under the system's temporary directory, removed
// when the object goes away.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `content` to a file of that name in the directory; returns its path.
    std::string Write(const std::string& name, const std::string& content) const;
    // The whole content of a file in the directory.
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;

private:
    std::filesystem::path path_;
};

// Runs argv (argv[0] is the program's path) in `cwd`, standard input from
// /dev/null.
RunResult RunChild(std::vector<std::string> argv, const std::filesystem::path& cwd);
// The binary followed by its arguments, for RunChild.
std::vector<std::string> Tarnvale(std::vector<std::string> args);
// The binary with `args` (argv[1..]) run in `cwd`.
inline RunResult RunTarnvale(const std::vector<std::string>& args,
                             const std::filesystem::path& cwd) {
    return RunChild(Tarnvale(args), cwd);
}
// The binary run as the unprivileged user nobody when we are root, who
// reads and writes anything.
std::vector<std::string> Unprivileged(const std::vector<std::string>& args);
// A program and its arguments as a quoted shell command.
std::string Command(const std::vector<std::string>& argv);
// A bash command line run in `cwd`, standard error merged into its output.
inline RunResult RunShell(const std::string& command, const std::filesystem::path& cwd) {
    return RunChild({"/bin/bash", "-c", command + " 2>&1"}, cwd);
}
// The names in a directory, and those of the temporary files a report
// leaves while it is written.
std::set<std::string> Entries(const std::filesystem::path& dir);
std::vector<std::string> TemporaryFiles(const std::filesystem::path& dir);

}  // namespace tarnvale::testing

#pragma once
// Runs the real tarnvale binary in a scratch directory and captures what it
// prints and how it exits.

#include <filesystem>
#include <string>
#include <vector>

namespace tarnvale::testing {

struct RunResult {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

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

// Runs the binary with `args` (argv[1..]) in directory `cwd`, standard input
// from /dev/null.
RunResult RunTarnvale(const std::vector<std::string>& args, const std::filesystem::path& cwd);

// Path of a fixture in tests/data.
std::string DataFile(const std::string& name);

}  // namespace tarnvale::testing

#include "support/run_binary.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace tarnvale::testing {
namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    for (;;) {
        path_ = fs::temp_directory_path() /
                ("tarnvale-test-" + std::to_string(::getpid()) + "-" +
                 std::to_string(counter++) + "-" + std::to_string(device() % 100000));
        if (fs::create_directory(path_)) break;
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::Write(const std::string& name, const std::string& content) const {
    const fs::path file = path_ / name;
    std::ofstream stream(file, std::ios::binary);
    stream << content;
    if (!stream) throw std::runtime_error("cannot write " + file.string());
    return file.string();
}

std::string ScratchDir::Read(const std::string& name) const {
    std::ifstream stream(path_ / name, std::ios::binary);
    if (!stream) throw std::runtime_error("cannot read " + (path_ / name).string());
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

bool ScratchDir::Exists(const std::string& name) const { return fs::exists(path_ / name); }

namespace {

std::string Slurp(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

}  // namespace

RunResult RunTarnvale(const std::vector<std::string>& args, const fs::path& cwd) {
    // Output goes through files rather than pipes so that large outputs
    // cannot block the child.
    ScratchDir capture;
    const fs::path outFile = capture.path() / "stdout";
    const fs::path errFile = capture.path() / "stderr";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

    std::vector<std::string> all{TARNVALE_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int rc = posix_spawn(&pid, TARNVALE_BINARY, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " TARNVALE_BINARY);

    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0) {
    }
    RunResult result;
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    result.out = Slurp(outFile);
    result.err = Slurp(errFile);
    return result;
}

std::string DataFile(const std::string& name) { return std::string(TARNVALE_TEST_DATA) + "/" + name; }

}  // namespace tarnvale::testing

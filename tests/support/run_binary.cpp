#include "support/run_binary.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarnvale::testing {
namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::string name = (fs::temp_directory_path() / "tarnvale-test-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot create " + name);
    path_ = name;
    fs::permissions(path_, fs::perms(0755));  // the unprivileged user reads it too
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

std::string ReadFile(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

std::string ScratchDir::Read(const std::string& name) const { return ReadFile(path_ / name); }

bool ScratchDir::Exists(const std::string& name) const { return fs::exists(path_ / name); }

RunResult RunChild(std::vector<std::string> argv, const fs::path& cwd) {
    // Output goes through files rather than pipes so that large outputs
    // cannot block the child.
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
    if (pid == 0) {  // exit status 127: the child could not be started
        ::dup2(inFd, 0), ::dup2(outFd, 1), ::dup2(errFd, 2);
        if (::chdir(cwd.c_str()) != 0) ::_exit(127);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(outFd), ::close(errFd), ::close(inFd);
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0) {
    }
    return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus),
            capture.Read("stdout"), capture.Read("stderr")};
}

std::vector<std::string> Tarnvale(std::vector<std::string> args) {
    args.insert(args.begin(), TARNVALE_BINARY);
    return args;
}

std::vector<std::string> Unprivileged(const std::vector<std::string>& args) {
    std::vector<std::string> argv = Tarnvale(args);
    if (::geteuid() == 0)
        argv.insert(argv.begin(),
                    {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return argv;
}

std::string Command(const std::vector<std::string>& argv) {
    std::string text;
    for (const auto& a : argv) text += "'" + a + "' ";
    return text;
}

std::set<std::string> Entries(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
}

std::vector<std::string> TemporaryFiles(const fs::path& dir) {
    std::vector<std::string> found;
    for (const std::string& name : Entries(dir))
        if (name.find(".tmp.") != std::string::npos) found.push_back(name);
    return found;
}

}  // namespace tarnvale::testing

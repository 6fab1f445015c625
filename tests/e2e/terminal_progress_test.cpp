// The progress bar of the real binary: drawn on standard error when that is
// a terminal (a pseudo-terminal here), one finished line per phase, and
// standard output the same as without a terminal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <regex>
#include <string>
#include <vector>

#include "e2e/child_process.hpp"

namespace tarnvale::testing {
namespace {

TEST(TerminalProgress, EveryPhaseEndsAtHundredPercentAndStandardOutputIsUnchanged) {
    ScratchDir dir;
    const std::vector<std::string> args{
        "-d", dir.Write("p.txt", "A\t0.001\nB\t0.002\nC\t0.0005\nD\t0.01\nE\t0.6\nF\t0.4\n"), "-a",
        dir.Write("a.txt", "A\tA\n"), "--seed", "99", "-k", "6", "-i", "50", "-n", "300", "-r", "2",
        "--permutations", "2",
        dir.Write("net.sif", "A pp B 0.9\nB pp C 0.8\nC pp D 0.7\nD pp E 0.4\nE pp F 0.3\nF pp A 0.6\nA pp C 0.95\n"),
        "out"};
    // Standard error on a pseudo-terminal, standard output to a file.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, dir.Write("stdout.txt", "").c_str(), O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, ::ptsname(master), O_RDWR | O_NOCTTY, 0);
    posix_spawn_file_actions_addclose(&actions, master);
    posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
    std::vector<std::string> all = Tarnvale(args);
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Read until the last holder of the terminal's other end is gone (EIO).
    std::string screen;
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR);)
        if (got > 0) screen.append(buffer, static_cast<std::size_t>(got));
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ::close(master);
    const std::string out = dir.Read("stdout.txt");
    ASSERT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0) << out << screen;

    // The terminal turns each line end into CR LF; the finished line of each
    // phase is the last drawing before it.
    std::vector<std::string> finished;
    const std::regex line("\r([^\r\n]*)\r\n");
    for (auto it = std::sregex_iterator(screen.begin(), screen.end(), line); it != std::sregex_iterator(); ++it)
        finished.push_back((*it)[1]);
    const std::vector<std::string> phases{"edge background", "node background, run A", "annealing, run A",
                                          "permutations, run A", "node background, run B", "annealing, run B",
                                          "permutations, run B"};
    ASSERT_EQ(finished.size(), phases.size()) << screen;
    for (std::size_t i = 0; i < phases.size(); ++i)
        EXPECT_EQ(finished[i].rfind(phases[i] + std::string(24 - phases[i].size(), ' ') + " [####################] 100%", 0),
                  0u) << finished[i];
    EXPECT_NE(finished[2].find(" steps/s  best "), std::string::npos) << finished[2];
    EXPECT_NE(finished[0].find(" draws/s"), std::string::npos) << finished[0];

    // Without a terminal: nothing on standard error, the same standard output.
    const RunResult plain = RunTarnvale(args, dir.path());
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(plain.out.substr(0, plain.out.rfind("\nTime taken")), out.substr(0, out.rfind("\nTime taken")));
}

}  // namespace
}  // namespace tarnvale::testing

// Report files appear complete or not at all.

#include "cli/output_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <climits>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/run_binary.hpp"

namespace tarnvale {
namespace {

namespace fs = std::filesystem;

TEST(AtomicOutputFile, NothingAppearsUnderTheNameUntilCommit) {
    testing::ScratchDir dir;
    const std::string name = (dir.path() / "outA").string();
    {
        AtomicOutputFile file;
        ASSERT_TRUE(file.Open(name));
        file.stream() << "Group\n";
        EXPECT_FALSE(fs::exists(name));
        std::string error;
        ASSERT_TRUE(file.Commit(error)) << error;
    }
    EXPECT_EQ(dir.Read("outA"), "Group\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// Two writers of one name (even with one pid) never share a temporary file,
// a link planted at a guessable temporary name is never followed, and a
// temporary name stays within NAME_MAX however long the final name.
TEST(AtomicOutputFile, EveryWriterHasItsOwnTemporaryFileAndFollowsNoLink) {
    testing::ScratchDir dir;
    const std::string name = (dir.path() / "outA").string();
    dir.Write("victim", "untouched\n");
    fs::create_symlink(dir.path() / "victim", name + ".tmp." + std::to_string(getpid()));
    {
        AtomicOutputFile first;
        AtomicOutputFile second;
        ASSERT_TRUE(first.Open(name));
        ASSERT_TRUE(second.Open(name));
        first.stream() << "first\n";
        second.stream() << "second\n";
        std::string error;
        // Committed in reverse order of opening, as signal holds nest.
        ASSERT_TRUE(second.Commit(error)) << error;
        EXPECT_EQ(dir.Read("outA"), "second\n");
        ASSERT_TRUE(first.Commit(error)) << error;
    }
    EXPECT_EQ(dir.Read("outA"), "first\n");
    EXPECT_EQ(dir.Read("victim"), "untouched\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);

    const std::string longName = (dir.path() / std::string(NAME_MAX, 'x')).string();
    EXPECT_LE(fs::path(TemporaryTemplate(longName)).filename().string().size(),
              std::size_t{NAME_MAX});
    AtomicOutputFile file;
    ASSERT_TRUE(file.Open(longName)) << file.openError();
    file.stream() << "long\n";
    std::string error;
    ASSERT_TRUE(file.Commit(error)) << error;
    EXPECT_EQ(dir.Read(std::string(NAME_MAX, 'x')), "long\n");
}

TEST(AtomicOutputFile, AbandonedFileLeavesNoTraceAndKeepsTheOldReport) {
    testing::ScratchDir dir;
    dir.Write("outA", "old report\n");
    {
        AtomicOutputFile file;
        ASSERT_TRUE(file.Open((dir.path() / "outA").string()));
        file.stream() << "half";
    }
    EXPECT_EQ(dir.Read("outA"), "old report\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// A signal that would end the process (Ctrl-C, a closed pipe, a job
// manager's USR1, a CPU limit, a timer) while a report is being written
// waits until the file is in place (or gone): no temporary file is left.
volatile std::sig_atomic_t caught = 0;
void CountSignal(int) { caught = caught + 1; }

TEST(AtomicOutputFile, SignalsWaitUntilTheFileIsInPlaceOrGone) {
    for (const int signal : {SIGINT, SIGTERM, SIGPIPE, SIGUSR1, SIGXCPU, SIGALRM}) {
        SCOPED_TRACE(strsignal(signal));
        testing::ScratchDir dir;
        const auto previous = std::signal(signal, CountSignal);
        caught = 0;
        {
            AtomicOutputFile file;
            ASSERT_TRUE(file.Open((dir.path() / "outA").string()));
            file.stream() << "Group\n";
            std::raise(signal);
            EXPECT_EQ(caught, 0);
            std::string error;
            ASSERT_TRUE(file.Commit(error)) << error;
            EXPECT_EQ(caught, 1);
        }
        {
            AtomicOutputFile file;
            ASSERT_TRUE(file.Open((dir.path() / "outB").string()));
            std::raise(signal);
            EXPECT_EQ(caught, 1);
        }  // abandoned: removed, then the signal
        EXPECT_EQ(caught, 2);
        std::signal(signal, previous);
        EXPECT_EQ(dir.Read("outA"), "Group\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
        // Nothing stays held once no file is open.
        sigset_t mask;
        sigprocmask(SIG_BLOCK, nullptr, &mask);
        EXPECT_FALSE(sigismember(&mask, signal));
    }
}

TEST(AtomicOutputFile, MissingDirectoryCannotBeOpened) {
    testing::ScratchDir dir;
    AtomicOutputFile file;
    EXPECT_FALSE(file.Open((dir.path() / "no" / "outA").string()));
    sigset_t mask;  // a failed open holds nothing back
    sigprocmask(SIG_BLOCK, nullptr, &mask);
    EXPECT_FALSE(sigismember(&mask, SIGTERM));
}

TEST(AtomicOutputFile, WriteErrorIsReportedAndCleanedUp) {
    testing::ScratchDir dir;
    // A file-size limit stands in for a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool committed = true;
    std::string error;
    {
        AtomicOutputFile file;
        ASSERT_TRUE(file.Open((dir.path() / "outA").string()));
        for (int i = 0; i < 10000; ++i) file.stream() << "0123456789\n";
        committed = file.Commit(error);
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(committed);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0);
}

}  // namespace
}  // namespace tarnvale

// Input and output files that cannot be used as they are: missing, a
// directory, unreadable, a pipe or a device; report files whose directory is
// missing or read-only, whose name is taken by a directory, or whose disk
// fills up while they are written; standard output on a full device; and a
// process locale that writes numbers with a decimal comma. Each ends with a
// message and status 1, or gives the same reports as plain files do, and
// none leaves a temporary file or touches the reports of an earlier run.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/child_process.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {
namespace fs = std::filesystem;

constexpr const char* kSif =
    "A pp B 0.9\nB pp C 0.8\nC pp D 0.7\nD pp E 0.4\nE pp F 0.3\nF pp G 0.6\n"
    "G pp H 0.2\nH pp A 0.5\nA pp C 0.95\nE pp G 0.1\n";
constexpr const char* kPValues =
    "A\t0.001\nB\t0.002\nC\t0.0005\nD\t0.01\nE\t0.6\nF\t0.4\nG\t0.8\nH\t0.3\n";

// Options of every run here, before the input files.
const std::vector<std::string> kOptions{"--seed", "4242", "-k", "6", "-i", "50", "-n", "40"};

class FileHandling : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Write("net.sif", kSif);
        dir_.Write("p.txt", kPValues);
        dir_.Write("a.txt", "A\tA\n");
    }
    // Arguments for the given files and output base.
    static std::vector<std::string> Args(const std::string& sif, const std::string& pvalues,
                                         const std::string& association, const std::string& out) {
        std::vector<std::string> args{"-d", pvalues, "-a", association};
        args.insert(args.end(), kOptions.begin(), kOptions.end());
        args.push_back(sif);
        args.push_back(out);
        return args;
    }
    RunResult RunPlain(const std::string& out = "out") {
        return RunTarnvale(Args("net.sif", "p.txt", "a.txt", out), dir_.path());
    }
    // A shell command line run with bash in the scratch directory; stderr
    // is merged into stdout.
    RunResult RunShell(const std::string& command) {
        return RunChild({"/bin/bash", "-c", command + " 2>&1"}, dir_.path());
    }
    static std::string Quoted(const std::vector<std::string>& args) {
        std::string text;
        for (const auto& a : args) text += " '" + a + "'";
        return text;
    }

    ScratchDir dir_;
};

// A run of the binary as an unprivileged user could not start (the build
// directory is closed to that user): there is nothing to test then.
#define SKIP_IF_NOT_STARTED(result)                                              \
    if ((result).status == kCannotStart && (result).out.empty() && (result).err.empty()) \
    GTEST_SKIP() << "cannot run the binary as an unprivileged user here"

// ---- Input files that cannot be read ------------------------------------

struct InputProblem {
    const char* name;
    int which;  // 0 network, 1 p-values, 2 association
};

void PrintTo(const InputProblem& problem, std::ostream* os) { *os << problem.name; }

class UnusableInput : public FileHandling, public ::testing::WithParamInterface<InputProblem> {
protected:
    // The arguments with one input file replaced by `path`.
    std::vector<std::string> ArgsWith(const std::string& path) const {
        const int which = GetParam().which;
        return Args(which == 0 ? path : "net.sif", which == 1 ? path : "p.txt",
                    which == 2 ? path : "a.txt", "out");
    }
    void ExpectOpeningFailed(const RunResult& r, const std::string& path) {
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.out.find("\nWarning: File opening failed. Check name of the file " + path +
                             "\n"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(r.out.find("Program finished"), std::string::npos);
        EXPECT_FALSE(dir_.Exists("outA"));
    }
};

TEST_P(UnusableInput, MissingFileStopsWithItsName) {
    ExpectOpeningFailed(RunTarnvale(ArgsWith("no-such-file.txt"), dir_.path()), "no-such-file.txt");
}

TEST_P(UnusableInput, DirectoryGivenInsteadOfAFileStopsWithItsName) {
    fs::create_directory(dir_.path() / "folder");
    ExpectOpeningFailed(RunTarnvale(ArgsWith("folder"), dir_.path()), "folder");
}

TEST_P(UnusableInput, UnreadableFileStopsWithItsName) {
    const std::string path = (dir_.path() / "locked.txt").string();
    const int which = GetParam().which;
    dir_.Write("locked.txt", which == 0 ? kSif : which == 1 ? kPValues : "A\tA\n");
    fs::permissions(path, fs::perms::none);
    // Root reads any file; the run drops to an unprivileged user instead.
    ChildOptions options;
    options.unprivileged = true;
    const RunResult r = RunChild(Tarnvale(ArgsWith(path)), dir_.path(), options);
    SKIP_IF_NOT_STARTED(r);
    ExpectOpeningFailed(r, path);
}

INSTANTIATE_TEST_SUITE_P(Files, UnusableInput,
                         ::testing::Values(InputProblem{"Network", 0}, InputProblem{"PValues", 1},
                                           InputProblem{"Association", 2}),
                         [](const ::testing::TestParamInfo<InputProblem>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(FileHandling, CharacterDeviceAsNetworkIsAnEmptyNetwork) {
    const RunResult r = RunTarnvale(Args("/dev/null", "p.txt", "a.txt", "out"), dir_.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\nError:G.number_of_nodes() = 0\nError: /dev/null holds no interaction "
                         "line that could be read\n"),
              std::string::npos)
        << r.out;
}

// A device that never ends fills memory; the program must say so and fail,
// not abort with a core dump. A limit on address space makes the end come
// soon (sanitizer builds reserve far more address space than any limit).
TEST_F(FileHandling, EndlessInputRunsOutOfMemoryWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit cannot be combined with AddressSanitizer";
#endif
    const RunResult r = RunShell("(ulimit -v 400000; exec '" + std::string(TARNVALE_BINARY) +
                                 "'" + Quoted(Args("net.sif", "/dev/zero", "a.txt", "out")) + ")");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("Error: out of memory while reading /dev/zero; the file is too large for "
                         "this machine, or it is not a text file\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(TemporaryFiles(dir_.path()), std::vector<std::string>{});
}

TEST_F(FileHandling, InputsThroughPipesGiveTheSameReportsAsFiles) {
    ASSERT_EQ(RunPlain("file").status, 0);
    // Process substitution hands the program pipes, which cannot be rewound.
    std::string command = std::string("exec '") + TARNVALE_BINARY + "' -d <(cat p.txt) -a <(cat a.txt)" +
                          Quoted(kOptions) + " <(cat net.sif) pipe";
    const RunResult r = RunShell(command);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(dir_.Read("pipeA"), dir_.Read("fileA"));
    EXPECT_EQ(dir_.Read("pipeB"), dir_.Read("fileB"));
    EXPECT_FALSE(dir_.Read("pipeA").empty());
}

// Compressed inputs are known by their first bytes, not their names: one of
// two gzip members, renamed, or through a pipe, they give the reports of the
// plain files and the same line numbers; a truncated or corrupt stream is an
// error naming the file, never a network cut short.
TEST_F(FileHandling, GzipInputsReadAsPlainAndBadStreamsStop) {
    dir_.Write("net.sif", std::string(kSif) + "H pp\n");
    ASSERT_EQ(RunPlain("file").status, 0);
    RunResult r = RunShell("head -5 net.sif | gzip > net.gz && tail -n +6 net.sif | gzip >> net.gz"
                           " && gzip -c p.txt > p.dat && exec '" + std::string(TARNVALE_BINARY) +
                           "' -d p.dat -a <(gzip -c a.txt)" + Quoted(kOptions) + " net.gz gz");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Warning: net.gz:11: fewer than four fields; line skipped\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(dir_.Read("gzA"), dir_.Read("fileA"));
    EXPECT_EQ(dir_.Read("gzB"), dir_.Read("fileB"));

    ASSERT_EQ(RunShell("head -c -9 net.gz > cut.gz && cp net.gz bad.gz && "
                       "printf XXXX | dd of=bad.gz bs=1 seek=14 conv=notrunc")
                  .status,
              0);
    for (const std::string name : {"cut.gz", "bad.gz"}) {
        r = RunTarnvale(Args(name, "p.txt", "a.txt", "out"), dir_.path());
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.out.find("\nError: " + name + " is not a valid gzip file: "), std::string::npos)
            << r.out;
        EXPECT_EQ(r.out.find("Program finished"), std::string::npos) << r.out;
        EXPECT_FALSE(dir_.Exists("outA"));
    }
}

// ---- Report files -------------------------------------------------------

TEST_F(FileHandling, MissingOutputDirectoryNamesTheReport) {
    const RunResult r = RunPlain("no/such/dir/out");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\nWarning: File opening (for write) failed. Check name of the file(/s)\n"
                         "Error: cannot create the report no/such/dir/outA: No such file or "
                         "directory\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Program finished"), std::string::npos);
}

TEST_F(FileHandling, ReadOnlyOutputDirectoryNamesTheReport) {
    fs::create_directory(dir_.path() / "ro");
    fs::permissions(dir_.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec |
                                            fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
    ChildOptions options;
    options.unprivileged = true;  // root writes into any directory
    const RunResult r =
        RunChild(Tarnvale(Args("net.sif", "p.txt", "a.txt", "ro/out")), dir_.path(), options);
    SKIP_IF_NOT_STARTED(r);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("Error: cannot create the report ro/outA: Permission denied\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(fs::is_empty(dir_.path() / "ro"));
}

TEST_F(FileHandling, ReportNameTakenByADirectoryFailsAndKeepsIt) {
    fs::create_directory(dir_.path() / "outA");
    const RunResult r = RunPlain();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\nError: writing outA failed: Is a directory; no report was written for "
                         "this run\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(fs::is_directory(dir_.path() / "outA"));
    EXPECT_EQ(TemporaryFiles(dir_.path()), std::vector<std::string>{});
}

// An output that is an input is refused before any run; a report its owner
// made read-only is refused and kept, a private one is replaced and stays
// private; an empty option value is a parse error, not a default.
TEST_F(FileHandling, OutputsNeverReplaceInputsOrChangeTheirPermissions) {
    dir_.Write("dataA", kPValues);
    RunResult r = RunTarnvale(Args("net.sif", "dataA", "a.txt", "data"), dir_.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error: the output file dataA is the input file dataA; choose another "
                         "output name"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(dir_.Read("dataA"), kPValues);

    dir_.Write("outA", "kept\n");
    fs::permissions(dir_.path() / "outA", fs::perms(0444));
    r = RunPlain();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error: cannot create the report outA: the existing file is "
                         "write-protected; it is not replaced"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(dir_.Read("outA"), "kept\n");

    fs::permissions(dir_.path() / "outA", fs::perms(0600));
    r = RunPlain();
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(dir_.Read("outA"), "kept\n");
    EXPECT_EQ(fs::status(dir_.path() / "outA").permissions() & fs::perms::all, fs::perms(0600));
    EXPECT_EQ(TemporaryFiles(dir_.path()), std::vector<std::string>{});

    std::vector<std::string> args = Args("net.sif", "p.txt", "a.txt", "out");
    args[5] = "";  // the value of --seed
    r = RunTarnvale(args, dir_.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the value is empty"), std::string::npos) << r.err;
}

TEST_F(FileHandling, DiskFillingUpDuringAReportKeepsEarlierReportsAndNoTemporaryFile) {
    // Many groups, so that the first report is far larger than the limit.
    std::string sif, pvalues;
    for (int i = 0; i < 150; ++i) {
        const std::string a = "P" + std::to_string(2 * i), b = "P" + std::to_string(2 * i + 1);
        sif += a + " pp " + b + " 0." + std::to_string(i % 80 + 10) + "\n";
        pvalues += a + "\t0.00" + std::to_string(i % 9 + 1) + "\n" + b + "\t0.0" +
                   std::to_string(i % 9 + 1) + "\n";
    }
    dir_.Write("net.sif", sif);
    dir_.Write("p.txt", pvalues);
    const RunResult first = RunPlain();
    ASSERT_EQ(first.status, 0) << first.out;
    const std::string reportA = dir_.Read("outA"), reportB = dir_.Read("outB");
    ASSERT_GT(reportA.size(), 4096u);

    // A file-size limit of one KiB stands in for a disk that fills up in the
    // middle of the report. It applies to the program's files only: its
    // output reaches us through a pipe.
    const RunResult r = RunShell("(ulimit -f 1; exec '" + std::string(TARNVALE_BINARY) + "'" +
                                 Quoted(Args("net.sif", "p.txt", "a.txt", "out")) +
                                 ") 2>&1 | cat; exit ${PIPESTATUS[0]}");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("\nError: writing outA failed: File too large; no report was written for "
                         "this run\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Program finished"), std::string::npos);
    EXPECT_EQ(dir_.Read("outA"), reportA);
    EXPECT_EQ(dir_.Read("outB"), reportB);
    EXPECT_EQ(TemporaryFiles(dir_.path()), std::vector<std::string>{});
}

TEST_F(FileHandling, StandardOutputOnAFullDeviceIsAFailure) {
    ChildOptions options;
    options.stdoutPath = "/dev/full";
    const RunResult r = RunChild(Tarnvale(Args("net.sif", "p.txt", "a.txt", "out")), dir_.path(),
                                 options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: writing standard output failed\n");
}

// ---- The process locale ---------------------------------------------------

TEST_F(FileHandling, ALocaleWithADecimalCommaChangesNothing) {
    // A German locale built into the scratch directory, so that the test
    // does not depend on the locales the machine has installed.
    const fs::path locales = dir_.path() / "locales";
    fs::create_directory(locales);
    const RunResult built = RunShell("localedef -i de_DE -f UTF-8 '" +
                                     (locales / "de_DE.UTF-8").string() + "'");
    ChildOptions german;
    german.env = {"LOCPATH=" + locales.string(), "LC_ALL=de_DE.UTF-8"};
    const RunResult probe = RunChild({"/bin/bash", "-c", "printf '%.1f' 1"}, dir_.path(), german);
    if (probe.out != "1,0")
        GTEST_SKIP() << "cannot build a German locale here: " << built.out << probe.out << probe.err;

    const RunResult plain = RunPlain("c");
    ASSERT_EQ(plain.status, 0);
    const RunResult r =
        RunChild(Tarnvale(Args("net.sif", "p.txt", "a.txt", "de")), dir_.path(), german);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(dir_.Read("deA"), dir_.Read("cA"));
    EXPECT_EQ(dir_.Read("deB"), dir_.Read("cB"));
    // Standard output up to the clock-dependent last line.
    EXPECT_EQ(r.out.substr(0, r.out.rfind("Time taken")),
              plain.out.substr(0, plain.out.rfind("Time taken")));
}

}  // namespace
}  // namespace tarnvale::testing

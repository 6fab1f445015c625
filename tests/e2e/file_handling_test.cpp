// Input and output files that cannot be used as they are: missing, a
// directory, unreadable, a device, a pipe, compressed or broken; report files
// whose directory is missing or read-only, whose name is taken, or whose disk
// fills up while they are written; and standard output on a full device.
// Each ends with a message and status 1, or gives the same reports as plain
// files do, and none leaves a temporary file or touches an earlier report.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {
namespace fs = std::filesystem;

const std::vector<std::string> kOptions{"--seed", kRingSeed, "-k", "6", "-i", "50", "-n", "40"};

std::vector<std::string> Args(const std::string& sif = "net.sif",
                              const std::string& pvalues = "p.txt",
                              const std::string& association = "a.txt",
                              const std::string& out = "out") {
    std::vector<std::string> args{"-d", pvalues, "-a", association};
    args.insert(args.end(), kOptions.begin(), kOptions.end());
    args.insert(args.end(), {sif, out});
    return args;
}

class FileHandling : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Write("net.sif", kRingSif);
        dir_.Write("p.txt", kRingPValues);
        dir_.Write("a.txt", "A\tA\n");
    }
    // Status 1 with `message`, and no temporary file.
    void ExpectFailure(const RunResult& r, const std::string& message) {
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Program finished"), std::string::npos);
        EXPECT_EQ(TemporaryFiles(dir_.path()), std::vector<std::string>{});
    }
    RunResult Run(const std::vector<std::string>& args) { return RunTarnvale(args, dir_.path()); }
    RunResult Shell(const std::string& command) { return RunShell(command, dir_.path()); }

    ScratchDir dir_;
};

// Where the unprivileged user cannot start the binary there is nothing to test.
#define SKIP_IF_NOT_STARTED(r)                \
    if ((r).status >= 126 && (r).out.empty()) \
    GTEST_SKIP() << "cannot run as nobody here: " << (r).err

TEST_F(FileHandling, InputsThatCannotBeReadStopWithTheirName) {
    fs::create_directory(dir_.path() / "folder");
    dir_.Write("locked", "A\tA\n");
    fs::permissions(dir_.path() / "locked", fs::perms::none);
    ExpectFailure(Run(Args("/dev/null")),
                  "\nError:G.number_of_nodes() = 0\nError: /dev/null holds no interaction line "
                  "that could be read\n");
    // A file that fails while it is read gives the system's reason.
    ExpectFailure(Run(Args("net.sif", "/proc/self/mem")),
                  "\nError: reading /proc/self/mem failed: Input/output error\n");
    // A device that never ends fills memory: a message, not a core dump. A
    // limit on address space makes the end come soon (sanitizer builds
    // reserve far more address space than any limit).
#if !defined(TARNVALE_SANITIZED)
    ExpectFailure(
        Shell("ulimit -v 400000; exec " + Command(Tarnvale(Args("net.sif", "/dev/zero")))),
        "Error: out of memory while reading /dev/zero; the file is too large for this machine, or "
        "it is not "
        "a text file\n");
#endif
    // A missing network, a folder for the p-values, an unreadable association.
    const std::string paths[] = {"no-such-file", "folder", "locked"};
    for (int which = 0; which < 3; ++which) {
        const std::string& path = paths[which];
        const auto args = Args(which == 0 ? path : "net.sif", which == 1 ? path : "p.txt",
                               which == 2 ? path : "a.txt");
        const RunResult r = which == 2 ? RunChild(Unprivileged(args), dir_.path()) : Run(args);
        SKIP_IF_NOT_STARTED(r);
        ExpectFailure(r, "\nWarning: File opening failed. Check name of the file " + path + "\n");
    }
    EXPECT_FALSE(dir_.Exists("outA"));
}

// Compressed inputs are known by their first bytes, not their names (one of
// two gzip members, renamed, or through a pipe, which cannot be rewound);
// they give the reports of the plain files and the same line numbers. A truncated
// or corrupt stream is an error naming the file, never a network cut short.
TEST_F(FileHandling, GzipInputsReadAsPlainFilesAndBadStreamsStop) {
    dir_.Write("net.sif", std::string(kRingSif) + "H pp\n");
    ASSERT_EQ(Run(Args("net.sif", "p.txt", "a.txt", "file")).status, 0);
    // p.dat ends in zero padding that spans blocks, which gzip -t accepts;
    // junk.gz has a byte after its padding, which gzip does not.
    ASSERT_EQ(Shell("head -5 net.sif | gzip > net.gz && tail -n +6 net.sif | gzip >> net.gz && "
                    "gzip -c p.txt > p.dat && head -c 700000 /dev/zero >> p.dat && gzip -t p.dat "
                    "&& head -c -9 net.gz > cut.gz && cp net.gz bad.gz && printf XXXX | dd "
                    "of=bad.gz bs=1 seek=14 conv=notrunc && cp net.gz junk.gz && "
                    "head -c 100 /dev/zero >> junk.gz && printf x >> junk.gz")
                  .status,
              0);
    const RunResult r =
        Shell("exec " + Command(Tarnvale(kOptions)) + "-d p.dat -a <(gzip -c a.txt) net.gz gz");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Warning: net.gz:11: fewer than four fields; line skipped\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(dir_.Read("gzA"), dir_.Read("fileA"));
    EXPECT_EQ(dir_.Read("gzB"), dir_.Read("fileB"));
    for (const std::string name : {"cut.gz", "bad.gz", "junk.gz"})
        ExpectFailure(Run(Args(name)), "\nError: " + name + " is not a valid gzip file: ");
    ExpectFailure(Run(Args("junk.gz")),
                  "bytes that are neither gzip data nor zero padding follow the compressed data\n");
    EXPECT_FALSE(dir_.Exists("outA"));
}

// Files compressed in a way that is not read, as they are downloaded (a
// spreadsheet is a zip file) or inside gzip, are refused by name with the
// format and a way out, whichever input they are, never read as text. (The
// network alone may be a zip archive: tests/e2e/downloads_test.cpp.)
TEST_F(FileHandling, OtherCompressionsAreRefusedWithTheirFormatNamed) {
    const std::string only = "; only gzip compression is read: decompress it first, e.g. with ";
    struct Row {
        std::string tool, make;  // the program that makes the file, and how
        int input;               // 0 network, 1 p-values, 2 association
        std::string message;
    };
    const Row rows[] = {
        {"zip", "zip -q - a.txt > f", 2, "f is compressed with zip" + only + "unzip"},
        {"xz", "xz -c p.txt > f", 1, "f is compressed with xz" + only + "unxz"},
        {"bzip2", "bzip2 -c net.sif > f", 0, "f is compressed with bzip2" + only + "bunzip2"},
        {"zstd", "zstd -qc net.sif > f", 0, "f is compressed with zstd" + only + "unzstd"},
        {"gzip", "gzip -c net.sif | gzip > f", 0,
         "f is compressed with gzip twice; only one layer of gzip is read: decompress it once "
         "first, e.g. with gunzip"},
        {"xz", "xz -c net.sif | gzip > f", 0,
         "f is compressed with xz inside gzip" + only + "gunzip and then unxz"},
        {"iconv", "iconv -f UTF-8 -t UTF-16 p.txt | gzip > f", 1,
         "f is encoded in UTF-16; save it as UTF-8 or plain text"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.make);
        if (Shell("command -v " + row.tool).status != 0) {
            ADD_FAILURE() << row.tool << " is not installed (scripts/test.sh installs it)";
            continue;
        }
        ASSERT_EQ(Shell("rm -f f && " + row.make).status, 0);
        const RunResult r =
            Run(Args(row.input == 0 ? "f" : "net.sif", row.input == 1 ? "f" : "p.txt",
                     row.input == 2 ? "f" : "a.txt"));
        ExpectFailure(r, "\nError: " + row.message + "\n");
        EXPECT_EQ(r.out.find("Warning:"), std::string::npos) << r.out;
    }
    EXPECT_FALSE(dir_.Exists("outA"));
}

TEST_F(FileHandling, ReportsThatCannotBeWrittenStopWithTheirNameAndKeepWhatWasThere) {
    const std::string noReport = "; no report was written for this run\n";
    // Every output is tried before the first run.
    const std::string refused =
        "\nWarning: File opening (for write) failed. Check name of the file(/s)\nError: cannot "
        "write the output file ";
    ExpectFailure(Run(Args("net.sif", "p.txt", "a.txt", "no/such/dir/out")),
                  refused + "no/such/dir/outA: No such file or directory; no run was made\n");
    // So is a name longer than the system allows, of an export too.
    const std::string longName(240, 'x');
    auto permutations = Args("net.sif", "p.txt", "a.txt", longName);
    permutations.insert(permutations.begin(), {"--permutations", "9"});
    ExpectFailure(Run(permutations), refused + longName +
                                         "A.significance.tsv: its name is longer than the 255 "
                                         "bytes");
    // An output that is an input is refused before any run.
    dir_.Write("dataA", kRingPValues);
    ExpectFailure(
        Run(Args("net.sif", "dataA", "a.txt", "data")),
        "Error: the output file dataA is the input file dataA; choose another output name\n");
    EXPECT_EQ(dir_.Read("dataA"), kRingPValues);
    fs::create_directory(dir_.path() / "outA");
    ExpectFailure(Run(Args()), refused + "outA: it is a folder; no run was made\n");
    EXPECT_TRUE(fs::remove(dir_.path() / "outA"));
    // A report its owner made read-only is kept; a private one is replaced
    // and stays private.
    dir_.Write("outA", "kept\n");
    fs::permissions(dir_.path() / "outA", fs::perms(0444));
    ExpectFailure(Run(Args()), refused +
                                   "outA: the existing file is write-protected; it is not "
                                   "replaced; no run was made\n");
    EXPECT_EQ(dir_.Read("outA"), "kept\n");
    fs::permissions(dir_.path() / "outA", fs::perms(0600));
    ASSERT_EQ(Run(Args()).status, 0);
    EXPECT_NE(dir_.Read("outA"), "kept\n");
    EXPECT_EQ(fs::status(dir_.path() / "outA").permissions() & fs::perms::all, fs::perms(0600));

    // A file-size limit of 0 stands in for a full disk. It applies to the
    // program's files only: its output reaches us through a pipe.
    const std::string reportA = dir_.Read("outA"), reportB = dir_.Read("outB");
    ExpectFailure(
        Shell("(ulimit -f 0; exec " + Command(Tarnvale(Args())) + ") | cat; exit ${PIPESTATUS[0]}"),
        "\nError: writing outA failed: File too large" + noReport);
    EXPECT_EQ(dir_.Read("outA"), reportA);
    EXPECT_EQ(dir_.Read("outB"), reportB);
    // A limit of one block lets the small report through but not the larger
    // drawing: an export that fails while it is written stops the run.
    auto drawing = Args();
    drawing.insert(drawing.begin(), "--dot");
    ExpectFailure(Shell("(ulimit -f 1; exec " + Command(Tarnvale(drawing)) +
                        ") | cat; exit ${PIPESTATUS[0]}"),
                  "\nError: writing outA.dot failed: File too large\n");
    EXPECT_FALSE(dir_.Exists("outA.dot"));
    const RunResult full = RunChild(
        {"/bin/bash", "-c", "exec " + Command(Tarnvale(Args())) + "> /dev/full"}, dir_.path());
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "Error: writing standard output failed\n");

    // An export that cannot be written is refused before the first run.
    fs::create_directory(dir_.path() / "outA.nodes.tsv");
    auto exports = Args();
    exports.insert(exports.begin(), "--cytoscape");
    ExpectFailure(Run(exports), refused + "outA.nodes.tsv: it is a folder; no run was made\n");
    EXPECT_FALSE(dir_.Exists("outA.sif"));

    fs::create_directory(dir_.path() / "ro");
    fs::permissions(dir_.path() / "ro", fs::perms(0555));
    const RunResult r =
        RunChild(Unprivileged(Args("net.sif", "p.txt", "a.txt", "ro/out")), dir_.path());
    SKIP_IF_NOT_STARTED(r);
    ExpectFailure(r, refused + "ro/outA: Permission denied; no run was made\n");
    EXPECT_TRUE(fs::is_empty(dir_.path() / "ro"));
}

}  // namespace
}  // namespace tarnvale::testing

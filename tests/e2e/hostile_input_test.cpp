// A catalogue of malformed, odd and hostile input files, each run through the
// real binary. Every case names the exit status and the exact warnings and
// errors it must print; whatever the case, the program must not crash, must
// not leave a temporary file, and its reports must pass the independent
// checker. Where the program's rules say that a bad line is skipped or that a
// quirk of the file does not matter (line ends, a byte-order mark, repeated
// separators), the case names clean input files that must give byte-for-byte
// the same reports.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/report_checker.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

// The same scores reached through the association file: A's p-value is
// listed under the identifier pA.
constexpr const char* kPValuesById =
    "pA\t0.001\nB\t0.002\nC\t0.0005\nD\t0.01\nE\t0.6\nF\t0.4\nG\t0.8\nH\t0.3\n";

struct Inputs {
    std::string sif = kRingSif, pvalues = kRingPValues, association = "A\tA\n";
};

struct Case {
    std::string name;
    Inputs in;
    int status = 0;
    // Every line of standard output that holds "Warning:" or "Error" must be
    // one of these (from there on), and each of these must be printed.
    std::vector<std::string> messages = {};
    std::optional<Inputs> sameAs = {};  // clean inputs that give the same reports
};

// The lines, each followed by `end`.
std::string Join(const std::vector<std::string>& lines, const std::string& end = "\n") {
    std::string joined;
    for (const auto& line : lines) joined += line + end;
    return joined;
}

// The text with line `number` (1-based) replaced by `line`, or with `line`
// inserted before it.
std::string Edit(const std::string& text, std::size_t number, const std::string& line,
                 bool insert = false) {
    auto lines = Split(text);
    if (insert)
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(number - 1), line);
    else
        lines[number - 1] = line;
    return Join(lines);
}

// UTF-16 with its byte-order mark, as spreadsheets save "Unicode text"
// (little endian) or other tools write it (big endian).
std::string Utf16(const std::string& text, bool bigEndian) {
    std::string wide = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : text) wide += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return wide;
}

std::string Skipped(const std::string& where, const std::string& reason) {
    return "Warning: " + where + ": " + reason + "; line skipped";
}

std::vector<Case> Catalogue() {
    const Inputs base;
    const std::string sif = kRingSif, pv = kRingPValues, as = "A\tA\n", bom = "\xEF\xBB\xBF";
    const Inputs byId{sif, kPValuesById, "A\tpA\n"};
    std::string mixed;
    for (std::size_t i = 0; const auto& line : Split(sif))
        mixed += line + std::vector<std::string>{"\n", "\r\n", "\r"}[i++ % 3];
    mixed.pop_back();
    auto mapping = [](const std::string& held) {
        return "Warning: only 0 of 8 nodes found a p-value; the p-value file holds " + held +
               "; check that node names (or the association file) and p-value identifiers are of "
               "the same kind, "
               "e.g. gene symbols against protein ids";
    };
    const std::string noMatch =
        "Error: no node with data and an interaction is left; check that the identifiers "
        "of p.txt match the node names of net.sif or the identifiers of a.txt";
    const std::string noInteraction =
        "Error: no node with data and an interaction is left: no interaction of "
        "net.sif joins two different nodes that have data";
    const std::string nul = "holds a NUL byte, which no text line has";
    auto utf16 = [](const std::string& name) {
        return "Error: " + name + " is encoded in UTF-16; save it as UTF-8 or plain text";
    };
    return {
        // ---- Encoding ----
        // LF, CR LF and CR in turn; no line end after the last line.
        {"ByteOrderMarksAndMixedLineEndsInEveryFile",
         {bom + mixed, bom + Join(Split(kPValuesById), "\r\n"), bom + "A\tpA"},
         0,
         {},
         byId},
        // A NUL byte in a line of each file; a runaway field that is never
        // echoed whole; fields among runs of tabs and spaces; names that
        // differ from others only in case.
        {"QuirksThatSkipALineOrDoNotMatter",
         {Edit(Edit(Edit(Edit(sif, 2, "\t\tB\t\tpp\t\tC\t\t0.8\t\t"), 5, " E \t pp   F 0.3  "), 3,
                    std::string("C pp\0X D 0.5", 12), true),
               2, "A pp D 0.5" + std::string(10u << 20, 'x'), true) +
              "a pp b 0.5\n",
          Edit(Edit(Edit(pv, 1, "A\t\t0.001\t"), 2, " B \t 0.002 "), 2, std::string("B\t0\0.5", 7),
               true),
          std::string("B\tq\0r\n", 6) + as},
         0,
         {Skipped("net.sif:2", "edge value '0.5" + std::string(57, 'x') + "...' is not a number"),
          Skipped("net.sif:4", nul), Skipped("a.txt:1", nul), Skipped("p.txt:2", nul)},
         base},
        {"AssociationOfNulLinesOnly",
         {sif, pv, std::string("A\tq\0r\n\0\n", 8)},
         1,
         {Skipped("a.txt:1", nul), Skipped("a.txt:2", nul),
          "Error:get_column:column index exceeds matrix size:giving up..",
          "Error: a.txt holds no line that could be read"}},
        // Bytes that are not UTF-8 are names like any other.
        {"InvalidUtf8InNames",
         {sif + "B pp \xFF\xFEZ 0.9\n\xC3 pp A 0.8\n", pv + "\xFF\xFEZ\t0.0001\n\xC3\t0.003\n",
          as}},
        {"EmptyPValues",
         {sif, "", as},
         1,
         {mapping("0 identifiers"), "Error: p.txt holds no identifier with a usable p-value",
          noMatch}},
        {"Utf16Network", {Utf16(sif, false), pv, as}, 1, {utf16("net.sif")}},
        {"Utf16BigEndianPValues", {sif, Utf16(pv, true), as}, 1, {utf16("p.txt")}},
        // ---- Meaning ----
        {"NoIdentifierMatchesAnyNode",
         {sif, "X\t0.01\nY\t0.02\n", as},
         1,
         {mapping("2 identifiers, of which 2 match no node (X, Y)"),
          "Error: none of the 2 identifiers of p.txt matches a node of net.sif, by its name or "
          "through a.txt",
          noMatch}},
        {"SelfLoopsOnly", {"A pp A 0.5\nB pp B 0.4\nC pd C 0.9\n", pv, as}, 1, {noInteraction}},
        {"EveryNodeMergedIntoOne",
         {sif, "pX\t0.01\n", "A\tpX\nB\tpX\nC\tpX\nD\tpX\nE\tpX\nF\tpX\nG\tpX\nH\tpX\n"},
         1,
         {"Error: no node with data and an interaction is left: 7 of the 8 nodes with data were "
          "merged into others because their identifier lists (through a.txt) are equal, and no "
          "interaction joins two of the nodes left"}},
        {"EveryNodeWithTheSameScore",
         {sif, "A 0.5\nB 0.5\nC 0.5\nD 0.5\nE 0.5\nF 0.5\nG 0.5\nH 0.5\n", as},
         1,
         {"Error: all nodes left have the same node score; there is nothing to search for"}},
    };
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

RunResult RunCase(const ScratchDir& dir, const Inputs& in) {
    dir.Write("net.sif", in.sif), dir.Write("p.txt", in.pvalues),
        dir.Write("a.txt", in.association);
    return RunTarnvale({"-d", "p.txt", "-a", "a.txt", "--seed", kRingSeed, "-k", "6", "-i", "50",
                        "-n", "40", "-r", "2", "net.sif", "out"},
                       dir.path());
}

// The lines of standard output that carry a warning or an error; progress
// output may run on after the echo of a line's extra fields.
std::vector<std::string> MessageLines(const std::string& out) {
    std::vector<std::string> found;
    for (const auto& line : Split(out))
        for (const char* head : {"Warning:", "Error"})
            if (const auto at = line.find(head); at != std::string::npos) {
                found.push_back(line.substr(at));
                break;
            }
    return found;
}

class HostileInput : public ::testing::TestWithParam<Case> {};

TEST_P(HostileInput, EndsCleanlyWithItsMessages) {
    const Case& c = GetParam();
    ScratchDir dir, cleanDir;
    const RunResult r = RunCase(dir, c.in);
    const std::string shown = r.out.substr(0, 4000);
    ASSERT_EQ(r.status, c.status) << shown << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(MessageLines(r.out), c.messages) << shown;
    EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
    EXPECT_LT(r.out.size(), 1u << 20);
    EXPECT_EQ(r.out.find("\nProgram finished\nTime taken = ") != std::string::npos, c.status == 0)
        << shown;
    ASSERT_EQ(dir.Exists("outA"), c.status == 0)
        << "a failed run wrote a report, or a finished one none";
    if (c.status != 0) return;
    // The reports of a quirky input equal those of its clean twin, which the
    // independent checker judges; a case without a twin is judged itself.
    if (c.sameAs) {
        const RunResult clean = RunCase(cleanDir, *c.sameAs);
        ASSERT_EQ(clean.status, 0) << clean.out;
        EXPECT_EQ(MessageLines(clean.out), std::vector<std::string>{})
            << "the clean twin is not clean";
        EXPECT_NE(cleanDir.Read("outA"), "") << "the clean run finds no group to compare";
        for (const char* report : {"outA", "outB"})
            EXPECT_EQ(dir.Read(report), cleanDir.Read(report)) << report;
    }
    const ScratchDir& judged = c.sameAs ? cleanDir : dir;
    const auto path = [&](const char* name) { return (judged.path() / name).string(); };
    const ReportChecker checker({path("net.sif"), path("p.txt"), path("a.txt")},
                                {6, 50, static_cast<std::uint32_t>(std::stoul(kRingSeed)), true});
    for (const CheckResult& check :
         {checker.CheckFirstRun(judged.Read("outA")),
          checker.CheckLaterRun(judged.Read("outA"), judged.Read("outB"))})
        EXPECT_TRUE(check.ok()) << check.Describe();
}

INSTANTIATE_TEST_SUITE_P(Catalogue, HostileInput, ::testing::ValuesIn(Catalogue()),
                         [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace tarnvale::testing

// The report checker itself: the program's own reports pass, and each kind of
// broken report is caught with a message that names the fault. A checker
// that cannot fail would let every end-to-end test pass.

#include "support/report_checker.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

// A-B-C-D strongly significant, a path; E-F moderately significant; G, which
// touches D and E, keeps them apart. K's p-value comes through identifier K1.
constexpr const char* kSif =
    "A pp B 0.9\nB pp C 0.8\nC pp D 0.7\nD pp G 0.2\nG pp E 0.4\nE pp F 0.95\n"
    "F pp H 0.3\nH pp I 0.5\nI pp J 0.6\nJ pp A 0.1\nK pp L 0.5\nL pp G 0.45\n";
constexpr const char* kFlatSif =  // every edge value equal
    "A pp B 0.5\nB pp C 0.5\nC pp D 0.5\nD pp G 0.5\nG pp E 0.5\nE pp F 0.5\n"
    "F pp H 0.5\nH pp I 0.5\nI pp J 0.5\nJ pp A 0.5\nK pp L 0.5\nL pp G 0.5\n";
constexpr const char* kPValues =
    "A\t0.0001\nB\t0.0005\nC\t0.001\nD\t0.002\nE\t0.01\nF\t0.02\n"
    "G\t0.5\nH\t0.7\nI\t0.9\nJ\t0.3\nK1\t0.6\nL\t0.8\n";
using Names = std::vector<std::string>;

class ReportCheckerTest : public ::testing::Test {
protected:
    InputFiles Files(const char* sif) {
        return {dir_.Write("net.sif", sif), dir_.Write("p.txt", kPValues),
                dir_.Write("a.txt", "K\tK1\n")};
    }
    // One group block as the program writes it; the score and size given or
    // the right ones.
    std::string Block(std::size_t number, const Names& names, std::optional<double> score = {},
                      std::optional<std::size_t> size = {}) const {
        std::ostringstream text;
        text << "\nGroup No. " << number << ": size(" << size.value_or(names.size()) << ")\n"
             << "Group s-score = "
             << static_cast<float>(score ? *score : checker_.ExpectedScore(names).value()) << '\n';
        for (const auto& name : names) {
            const double z = checker_.NodeScore(name).value();
            text << name << '\t' << z << '\t' << static_cast<float>(ReportChecker::PValueOf(z))
                 << '\n';
        }
        return text.str();
    }

    ScratchDir dir_;
    ReportChecker checker_{Files(kSif), {10, 200, 17u, true}};
    const Names abcd_{"A", "B", "C", "D"}, ef_{"E", "F"};
};

TEST_F(ReportCheckerTest, CatchesEachKindOfBrokenReport) {
    const double right = *checker_.ExpectedScore(abcd_);
    const std::string valid = Block(0, abcd_) + Block(1, ef_);
    EXPECT_TRUE(checker_.CheckFirstRun(valid).ok()) << checker_.CheckFirstRun(valid).Describe();
    EXPECT_TRUE(checker_.CheckFirstRun("").ok());
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = valid;
        return t.replace(t.find(from), from.size(), to);
    };
    const Names ab{"A", "B"}, cd{"C", "D"};
    const bool cdFirst = *checker_.ExpectedScore(cd) > *checker_.ExpectedScore(ab);
    struct Case {
        std::string text, needle;
        std::size_t problems;  // the planted fault, and any it implies
    };
    const std::vector<Case> cases{
        {Block(0, {"A", "B", "D"}) + Block(1, ef_), "D cannot be reached from A", 1},
        {Block(0, abcd_) + Block(1, {"E"}, 0.5), "at least two", 1},
        {Block(0, abcd_, right * 1.001) + Block(1, ef_), "recomputed score", 1},
        {Block(0, abcd_, right - 0.5) + Block(1, ef_), "recomputed score", 1},
        {Block(0, ef_) + Block(1, abcd_), "not ranked", 1},
        {Block(0, abcd_) + Block(2, ef_), "numbered 2", 1},
        {Block(0, abcd_, {}, 5) + Block(1, ef_), "size(5) but 4 nodes", 1},
        {Block(0, abcd_) + Block(1, {"E", "F", "B"}, -60.0), "B already appears in group 0", 2},
        {cdFirst ? Block(0, cd) + Block(1, ab) : Block(0, ab) + Block(1, cd), "joined by the edge", 1},
        {Block(0, abcd_, HUGE_VAL), "not finite", 1},
        {replaced("\nA\t3.719", "\nA\t3.8"), "A has node score", 1},
        {replaced("\nA\t", "\nZ\t"), "Z is not a node", 1},
        {replaced("A\t", "A "), "name<TAB>node score<TAB>p-value", 3},
        {replaced("\nE\t", "\nE\t\t"), "name<TAB>node score<TAB>p-value", 3},
        {replaced("Group s-score = ", "Group s-score: "), "Group s-score = <number>", 1},
        {replaced("size(2)", "size (2)"), "Group No. g: size(k)", 1},
        {valid.substr(1), "the empty line that opens a group", 1},
        {valid.substr(0, valid.size() - 1), "does not end with a line end", 1},
        {valid + "\n", "a group after the empty line", 1},
    };
    for (const auto& [text, needle, problems] : cases) {
        const CheckResult r = checker_.CheckFirstRun(text);
        // The fault is found first, and nothing else: the rest is valid.
        ASSERT_EQ(r.problems.size(), problems) << needle << "\n" << r.Describe();
        EXPECT_NE(r.problems[0].find(needle), std::string::npos) << needle << "\n" << r.Describe();
    }
    const std::string first = Block(0, abcd_);
    EXPECT_TRUE(checker_.CheckLaterRun(first, Block(0, {"B", "C", "D"}, 1.0)).ok());
    EXPECT_FALSE(checker_.CheckLaterRun(first, Block(0, ef_, 1.0)).ok());
}

// The checker agrees with the real program, with edge scores and, when all
// edge values are equal, with node scores only; and it knows which applies.
TEST_F(ReportCheckerTest, AgreesWithTheProgramWithAndWithoutEdgeScores) {
    for (const char* sif : {kSif, kFlatSif}) {
        const bool edges = sif == kSif;
        const InputFiles f = Files(sif);
        const RunResult r = RunTarnvale({"-d", f.pvalues, "-a", f.association, "--seed", "17", "-k",
                                         "10", "-i", "200", "-n", "800", "-r", "1", f.sif, "out"},
                                        dir_.path());
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.out.find("Warning: all edge scores are equal") == std::string::npos, edges);
        const std::string report = dir_.Read("outA");
        const CheckResult right = ReportChecker(f, {10, 200, 17u, edges}).CheckFirstRun(report);
        EXPECT_TRUE(right.ok()) << right.Describe() << "\n" << report;
        EXPECT_FALSE(right.report.groups.empty());
        EXPECT_FALSE(ReportChecker(f, {10, 200, 17u, !edges}).CheckFirstRun(report).ok());
    }
}

}  // namespace
}  // namespace tarnvale::testing

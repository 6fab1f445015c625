// The report checker itself: a valid hand-made report passes, and each kind
// of broken report is caught with a message that names the fault. A checker
// that cannot fail would let every end-to-end test pass.

#include "support/report_checker.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

// A small network with two separate candidate groups:
//   A-B-C-D strongly significant, a path;  E-F moderately significant.
// They are kept apart by G, which touches D and E. K's p-value is listed
// under the identifier K1 through the association file.
constexpr const char* kSif =
    "A pp B 0.9\n"
    "B pp C 0.8\n"
    "C pp D 0.7\n"
    "D pp G 0.2\n"
    "G pp E 0.4\n"
    "E pp F 0.95\n"
    "F pp H 0.3\n"
    "H pp I 0.5\n"
    "I pp J 0.6\n"
    "J pp A 0.1\n"
    "K pp L 0.5\n"
    "L pp G 0.45\n";
constexpr const char* kPValues =
    "A\t0.0001\nB\t0.0005\nC\t0.001\nD\t0.002\nE\t0.01\nF\t0.02\n"
    "G\t0.5\nH\t0.7\nI\t0.9\nJ\t0.3\nK1\t0.6\nL\t0.8\n";
constexpr const char* kAssociation = "K\tK1\n";

// The same network with every edge value 0.5: all edge scores are equal.
std::string FlatSif() {
    std::string sif = kSif;
    for (std::size_t i = 0; (i = sif.find(" 0.", i)) != std::string::npos; i += 4)
        sif.replace(i + 1, sif.find('\n', i) - i - 1, "0.5");
    return sif;
}

constexpr FirstRunSettings kSettings{10, 200, 17u, true};

class ReportCheckerTest : public ::testing::Test {
protected:
    void SetUp() override {
        files_.sif = dir_.Write("net.sif", kSif);
        files_.pvalues = dir_.Write("p.txt", kPValues);
        files_.association = dir_.Write("a.txt", kAssociation);
        checker_ = std::make_unique<ReportChecker>(files_, kSettings);
    }

    // One group block as the program writes it, with the given header
    // number, header size and score; node columns from the checker's own
    // node scores.
    std::string Block(std::size_t number, const std::vector<std::string>& names,
                      std::optional<double> score = std::nullopt,
                      std::optional<std::size_t> size = std::nullopt) const {
        const double s = score ? *score : checker_->ExpectedScore(names).value();
        std::ostringstream text;
        text << "\nGroup No. " << number << ": size(" << (size ? *size : names.size()) << ")\n"
             << "Group s-score = " << static_cast<float>(s) << '\n';
        for (const auto& name : names) {
            const double z = checker_->NodeScore(name).value();
            text << name << '\t' << z << '\t' << static_cast<float>(ReportChecker::PValueOf(z))
                 << '\n';
        }
        return text.str();
    }
    std::string Valid() const { return Block(0, abcd_) + Block(1, ef_); }

    // Expects at least one problem whose text contains `needle`.
    static void ExpectProblem(const CheckResult& r, const std::string& needle) {
        bool found = false;
        for (const auto& p : r.problems) found = found || p.find(needle) != std::string::npos;
        EXPECT_TRUE(found) << "no problem mentions \"" << needle << "\"; " << r.Describe();
    }

    // The same, and it is the only problem: the rest of the report is valid.
    static void ExpectOnlyProblem(const CheckResult& r, const std::string& needle) {
        ExpectProblem(r, needle);
        EXPECT_EQ(r.problems.size(), 1u) << r.Describe();
    }

    ScratchDir dir_;
    InputFiles files_;
    std::unique_ptr<ReportChecker> checker_;
    const std::vector<std::string> abcd_{"A", "B", "C", "D"};
    const std::vector<std::string> ef_{"E", "F"};
};

TEST_F(ReportCheckerTest, AcceptsAValidReportAndAnEmptyOne) {
    ASSERT_GT(*checker_->ExpectedScore(abcd_), *checker_->ExpectedScore(ef_));
    const CheckResult r = checker_->CheckFirstRun(Valid());
    EXPECT_TRUE(r.ok()) << r.Describe();
    ASSERT_EQ(r.report.groups.size(), 2u);
    EXPECT_EQ(r.report.groups[0].nodes.size(), 4u);
    EXPECT_EQ(r.report.groups[1].nodes[1].name, "F");
    EXPECT_TRUE(checker_->CheckFirstRun("").ok());
}

TEST_F(ReportCheckerTest, ScoresEdgesOnlyWhenTheyVary) {
    // Node part and edge part are really combined: the edge-scored value
    // differs from the node-only one.
    ReportChecker nodesOnly(files_, FirstRunSettings{10, 200, 17u, false});
    EXPECT_NE(*nodesOnly.ExpectedScore(abcd_), *checker_->ExpectedScore(abcd_));
    // Asked to score nodes only although edges vary: the check objects.
    ExpectProblem(nodesOnly.CheckFirstRun(Valid()), "scores with edges");

    // With all edge values equal the program scores nodes only; the checker
    // refuses to be told otherwise.
    ScratchDir flat;
    const InputFiles flatFiles{flat.Write("net.sif", FlatSif()), files_.pvalues,
                               files_.association};
    ReportChecker flatChecker(flatFiles, kSettings);
    ExpectProblem(flatChecker.CheckFirstRun(""), "all edge scores are equal");
}

// Each broken report is caught, and where `only` is set its fault is the
// only problem found: the rest of the report is valid.
TEST_F(ReportCheckerTest, CatchesEachKindOfBrokenGroup) {
    const double right = *checker_->ExpectedScore(abcd_);
    // B-C is an edge: {A,B} and {C,D} would have been one component.
    const std::vector<std::string> ab{"A", "B"}, cd{"C", "D"};
    const bool cdFirst = *checker_->ExpectedScore(cd) > *checker_->ExpectedScore(ab);
    // A-B and D are joined only through C, which is left out.
    const std::vector<std::string> split{"A", "B", "D"};
    ASSERT_GT(*checker_->ExpectedScore(split), *checker_->ExpectedScore(ef_));
    struct Case {
        std::string report, needle;
        bool only;
    };
    const std::vector<Case> cases{
        {Block(0, split) + Block(1, ef_), "D cannot be reached from A", true},
        {Block(0, abcd_) + Block(1, {"E"}, 0.5), "a group has at least two", true},
        {Block(0, abcd_, right * 1.001) + Block(1, ef_), "recomputed score", true},
        {Block(0, abcd_, right + 0.01) + Block(1, ef_), "recomputed score", true},
        {Block(0, abcd_, right - 0.5) + Block(1, ef_), "recomputed score", true},
        {Block(0, ef_) + Block(1, abcd_), "not ranked", true},
        {Block(0, abcd_) + Block(2, ef_), "numbered 2", true},
        {Block(1, abcd_) + Block(2, ef_), "numbered 1", false},
        {Block(0, abcd_, std::nullopt, 5) + Block(1, ef_), "size(5) but the group lists 4", true},
        {Block(0, abcd_) + Block(1, {"E", "F", "B"}, -60.0), "already appears in group 0", false},
        {Block(0, {"A", "B", "A"}, 9.0), "appears twice", false},
        {cdFirst ? Block(0, cd) + Block(1, ab) : Block(0, ab) + Block(1, cd),
         "groups 0 and 1 are joined by the edge B - C", true},
        {Block(0, abcd_, HUGE_VAL), "is not finite", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.needle);
        const CheckResult r = checker_->CheckFirstRun(c.report);
        if (c.only) ExpectOnlyProblem(r, c.needle);
        else ExpectProblem(r, c.needle);
    }
    // A score printed to six digits is not a wrong score.
    std::ostringstream six;
    six.precision(6);
    six << static_cast<float>(right);
    EXPECT_TRUE(checker_->CheckFirstRun(Block(0, abcd_, std::stod(six.str())) + Block(1, ef_)).ok());
}

TEST_F(ReportCheckerTest, CatchesWrongNodeColumnsAndUnknownNodes) {
    std::string text = Valid();
    // A's node score 3.71902 (p clamped to 0.0001) -> change the digits.
    const auto a = text.find("\nA\t");
    ASSERT_NE(a, std::string::npos);
    std::string wrongScore = text;
    wrongScore.replace(wrongScore.find('\t', a) + 1, 3, "3.8");
    ExpectOnlyProblem(checker_->CheckFirstRun(wrongScore), "has node score");

    std::string wrongP = text;
    const auto pAt = wrongP.find('\t', wrongP.find('\t', a) + 1) + 1;
    wrongP.replace(pAt, wrongP.find('\n', pAt) - pAt, "0.0002");
    ExpectOnlyProblem(checker_->CheckFirstRun(wrongP), "has p-value");

    std::string unknown = text;
    unknown.replace(a + 1, 1, "Z");
    ExpectOnlyProblem(checker_->CheckFirstRun(unknown),
                      "'Z' is not a node of the cleaned network");
}

TEST_F(ReportCheckerTest, CatchesMalformedLines) {
    const std::string valid = Valid();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = valid;
        const auto at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    };
    const std::vector<std::pair<std::string, std::string>> broken{
        {replaced("A\t", "A "), "name<TAB>node score<TAB>p-value"},
        {replaced("Group s-score = ", "Group s-score: "), "Group s-score = <number>"},
        {replaced("Group No. 1: size(2)", "Group No. 1: size (2)"), "Group No. g: size(k)"},
        {replaced("Group No. 1", "Group no. 1"), "Group No. g: size(k)"},
        {replaced("\nGroup No. 1", "Group No. 1"), "name<TAB>node score<TAB>p-value"},
        {valid.substr(1), "expected the empty line"},
        {valid.substr(0, valid.size() - 1), "does not end with a line end"},
        {valid + "\n", "opens no group"},
        {valid + "trailing text\n", "found 'trailing text'"},
        {replaced("\nE\t", "\nE\t\t"), "name<TAB>node score<TAB>p-value"},
        {replaced("\nF\t", "\nF\t1.0x\t"), "name<TAB>node score<TAB>p-value"},
        {replaced("\nB\t", "\nB\r\t"), "name<TAB>node score<TAB>p-value"},
    };
    for (const auto& [text, needle] : broken) {
        SCOPED_TRACE(needle);
        ExpectProblem(checker_->CheckFirstRun(text), needle);
    }
}

TEST_F(ReportCheckerTest, LaterRunMustStayInsideTheFirstRunsGroups) {
    const std::string first = Block(0, abcd_);
    // B-C-D lies inside the first run's group: valid (scores are not checked).
    EXPECT_TRUE(checker_->CheckLaterRun(first, Block(0, {"B", "C", "D"}, 1.0)).ok());
    // E-F is a valid group of the network but was not selected by the first run.
    ExpectProblem(checker_->CheckLaterRun(first, Block(0, ef_, 1.0)),
                  "is in no group of the first run's report");
    // Structure is still checked: a disconnected later group fails.
    ExpectProblem(checker_->CheckLaterRun(first, Block(0, {"A", "D"}, 1.0)), "not connected");
    // An unreadable first report is reported as such.
    ExpectProblem(checker_->CheckLaterRun("garbage\n", ""), "first run's report");
}

TEST_F(ReportCheckerTest, FileWrappersReportMissingFiles) {
    const CheckResult r =
        CheckFirstRunReport(files_, kSettings, (dir_.path() / "no-such-report").string());
    ExpectProblem(r, "cannot read the report");
}

// The checker agrees with the real program on this network, with edges and,
// when all edge values are equal, with nodes only.
TEST_F(ReportCheckerTest, AgreesWithTheProgramWithAndWithoutEdgeScores) {
    const std::vector<std::string> common{"--seed", "17", "-k", "10", "-i", "200", "-n", "800",
                                          "-r",     "1"};
    auto run = [&](const InputFiles& f) {
        std::vector<std::string> args{"-d", f.pvalues, "-a", f.association};
        args.insert(args.end(), common.begin(), common.end());
        args.push_back(f.sif);
        args.push_back("out");
        return RunTarnvale(args, dir_.path());
    };
    const RunResult r = run(files_);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const CheckResult withEdges = checker_->CheckFirstRun(dir_.Read("outA"));
    EXPECT_TRUE(withEdges.ok()) << withEdges.Describe() << "\n" << dir_.Read("outA");
    EXPECT_FALSE(withEdges.report.groups.empty());

    const InputFiles flat{dir_.Write("flat.sif", FlatSif()), files_.pvalues, files_.association};
    const RunResult f = run(flat);
    ASSERT_EQ(f.status, 0) << f.out << f.err;
    EXPECT_NE(f.out.find("Warning: all edge scores are equal"), std::string::npos);
    const std::string report = dir_.Read("outA");
    const CheckResult nodesOnly =
        ReportChecker(flat, FirstRunSettings{10, 200, 17u, false}).CheckFirstRun(report);
    EXPECT_TRUE(nodesOnly.ok()) << nodesOnly.Describe() << "\n" << report;
    EXPECT_FALSE(nodesOnly.report.groups.empty());
}

}  // namespace
}  // namespace tarnvale::testing

// The databases' files as downloaded, end to end: every form (plain, gzip,
// zip) of a STRING or BioGRID file gives the reports that a SIF of the
// interactions it should give gives; labels and the GraphML export agree with
// the report, read back by an independent GraphML reader; a file that lost
// its header says how to read it.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

const std::string kData = std::string(TARNVALE_TEST_DATA) + "/downloads/";
const std::string kLinks = "9606.protein.links.v12.0.txt";
const std::string kBiogrid = "BIOGRID-ORGANISM-Homo_sapiens-4.4.230.tab3.txt";

const std::vector<std::string> kOptions{"--seed", "77",  "-k", "6", "-i", "50",
                                        "-n",     "300", "-r", "1", "-g", "1"};

// The STRING excerpts' proteins by letter, and p-values for them and for the
// BioGRID excerpt's genes.
const std::map<char, std::string> kProtein{
    {'a', "9606.ENSP00000000233"}, {'b', "9606.ENSP00000000412"}, {'c', "9606.ENSP00000001008"},
    {'d', "9606.ENSP00000001146"}, {'e', "9606.ENSP00000002125"}, {'f', "9606.ENSP00000002165"}};
const char* const kPValues =
    "9606.ENSP00000000233\t0.001\n9606.ENSP00000000412\t0.002\n9606.ENSP00000001008\t0.0004\n"
    "9606.ENSP00000001146\t0.3\n9606.ENSP00000002125\t0.6\n9606.ENSP00000002165\t0.05\n"
    "TP53\t0.001\nMDM2\t0.004\nEP300\t0.02\nCREBBP\t0.03\nBRCA1\t0.002\nBARD1\t0.01\n"
    "ATM\t0.5\nCHEK2\t0.02\n";

// SIF lines "x pp y 1" for "xy" pairs of letters (STRING) or for pairs of names.
std::string Sif(const std::vector<std::string>& pairs) {
    std::string sif;
    for (const std::string& pair : pairs) {
        const std::size_t space = pair.find(' ');
        sif += space == std::string::npos
                   ? kProtein.at(pair[0]) + " pp " + kProtein.at(pair[1]) + " 1\n"
                   : pair.substr(0, space) + " pp " + pair.substr(space + 1) + " 1\n";
    }
    return sif;
}

class Downloads : public ::testing::Test {
protected:
    void SetUp() override {
        // Each file as downloaded: plain, gzip-compressed, and zipped.
        const RunResult made = Shell("cp " + kData +
                                     "*.txt . && for f in *.txt; do gzip -c $f > $f.gz && zip -q "
                                     "${f%.txt}.zip $f || exit 1; done");
        ASSERT_EQ(made.status, 0) << made.out;
        dir_.Write("p.txt", kPValues);
        dir_.Write("a.txt", "X\tX\n");
    }
    RunResult Run(const std::string& network, const std::string& out,
                  const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{"-d", "p.txt", "-a", "a.txt"};
        args.insert(args.end(), kOptions.begin(), kOptions.end());
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {network, out});
        return RunTarnvale(args, dir_.path());
    }
    RunResult Shell(const std::string& command) { return RunShell(command, dir_.path()); }

    ScratchDir dir_;
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

TEST_F(Downloads, EveryFormGivesTheReportOfItsInteractionsAsSif) {
    struct Case {
        std::string file;
        std::vector<std::string> options;
        std::vector<std::string> interactions;  // in the order they are read
        int nodes;
    };
    const std::vector<std::string> medium{"ab", "ac", "bc", "de", "ef"};
    const std::string links = kLinks.substr(0, kLinks.size() - 4);
    // The readers' own tables hold every file and option; here each form
    // and each option passes through the command line.
    const Case cases[] = {
        {kLinks, {}, medium, 6},
        {kLinks + ".gz", {}, medium, 6},
        {links + ".zip", {}, medium, 6},
        {kLinks, {"--min-score", "0.9"}, {"ac", "de"}, 4},
        {kBiogrid.substr(0, kBiogrid.size() - 4) + ".zip",
         {},
         {"TP53 MDM2", "TP53 EP300", "BRCA1 BARD1", "EP300 CREBBP"},
         6},
        {kBiogrid + ".gz",
         {"--biogrid-type", "both"},
         {"TP53 MDM2", "TP53 EP300", "BRCA1 BARD1", "BRCA1 TP53", "EP300 CREBBP", "ATM CHEK2"},
         8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + (c.options.empty() ? "" : " " + c.options[1]));
        const RunResult r = Run(c.file, "file", c.options);
        ASSERT_EQ(r.status, 0) << r.out;
        const auto edges = std::to_string(c.interactions.size());
        // The database's equal edge values are expected: a note, no warning.
        EXPECT_TRUE(Has(r.out, "\nNumber_of_nodes in the graph = " + std::to_string(c.nodes) +
                                   "\n\nNumber_of_edges in the graph = " + edges + "\nRDE: " +
                                   edges + "RDE: " + edges + "\nNumber of edges removed 0\n") &&
                    Has(r.out,
                        "\nNOTE: every interaction read from the database's file has the "
                        "same edge value; groups are scored with node scores only\n"))
            << r.out;
        dir_.Write("same.sif", Sif(c.interactions));
        ASSERT_EQ(Run("same.sif", "sif").status, 0);
        EXPECT_TRUE(Has(dir_.Read("fileA"), "Group No. 0: size("));
        EXPECT_EQ(dir_.Read("fileA"), dir_.Read("sifA"));
    }
}

TEST_F(Downloads, LabelsAndGraphmlAgreeWithTheReport) {
    // STRING's protein.info: its preferred names join the node table, the
    // stability table, the drawing, the summary's member lists and the
    // result table; the report and the rest of every table stay as they are.
    std::vector<std::string> options{"--min-score", "0", "--cytoscape", "--summary",
                                     "--ensemble",  "2", "--quiet"};
    ASSERT_EQ(Run(kLinks, "plain", options).status, 0);
    options.insert(options.end(), {"--dot", "--labels", "9606.protein.info.v12.0.txt.gz"});
    const RunResult info = Run(kLinks, "info", options);
    ASSERT_EQ(info.status, 0) << info.out;
    EXPECT_EQ(dir_.Read("infoA"), dir_.Read("plainA"));
    const std::map<std::string, std::string> preferred{
        {kProtein.at('a'), "ARF5"},    {kProtein.at('b'), "M6PR"},    {kProtein.at('c'), "FKBP4"},
        {kProtein.at('d'), "CYP26B1"}, {kProtein.at('e'), "NDUFAF7"}, {kProtein.at('f'), "FUCA2"}};
    // A table's text with a label column after the name column.
    const auto withLabels = [&](const std::string& file) {
        std::string text;
        for (const std::string& line : Split(dir_.Read(file))) {
            const std::string name = line.substr(0, line.find('\t'));
            text += name + '\t' + (name == "name" ? "label" : preferred.at(name)) +
                    line.substr(name.size()) + '\n';
        }
        return text;
    };
    EXPECT_EQ(dir_.Read("infoA.nodes.tsv"), withLabels("plainA.nodes.tsv"));
    EXPECT_EQ(dir_.Read("infoA.stability.tsv"), withLabels("plainA.stability.tsv"));
    std::string summary = dir_.Read("plain.summary.tsv");
    for (const auto& [protein, label] : preferred) {
        summary = ReplaceAll(summary, protein, label);
        EXPECT_EQ(Has(dir_.Read("infoA.dot"), "[label=\"" + label + "\\n" + protein + "\""),
                  Has(dir_.Read("plainA"), protein))
            << protein;
    }
    EXPECT_EQ(dir_.Read("info.summary.tsv"), summary);
    for (auto& row : ReadTable(summary))
        EXPECT_EQ(Has(info.out, ReplaceAll(row["members"], ";", ", ") + "\n"),
                  row["ranked"] == "yes")
            << "the result table names the ranked groups' members: " << row["members"];

    // GraphML of the BioGRID network (two components), labels with markup,
    // read back by an independent reader: each node has its report line's
    // values, each edge those of the Cytoscape SIF file.
    dir_.Write("labels.tsv", "TP53\ttumor protein <p53> & \"friends\"\nBRCA1\tBRCA1, DNA repair\n");
    const RunResult r = Run(
        kBiogrid, "bio", {"--labels", "labels.tsv", "--cytoscape", "--graphml", "--ensemble", "2"});
    ASSERT_EQ(r.status, 0) << r.out;
    const RunResult check = Shell("python3 -c 'import networkx'");
    if (check.status != 0)
        GTEST_SKIP() << "NOTICE: python3-networkx is not installed (bash scripts/test.sh installs "
                        "it); bioA.graphml is not read back: "
                     << check.out;
    const RunResult read = Shell("python3 " + std::string(TARNVALE_TEST_DATA) +
                                 "/readers/read_graphml.py bioA.graphml");
    ASSERT_EQ(read.status, 0) << read.out;
    std::vector<std::string> problems;
    const std::vector<ReportGroup> report = ParseReport(dir_.Read("bioA"), problems);
    EXPECT_EQ(problems, std::vector<std::string>{});
    ASSERT_GE(report.size(), 2u) << "a ranked and an unranked group";
    const std::map<std::string, std::string> labels{{"TP53", "tumor protein <p53> & \"friends\""},
                                                    {"BRCA1", "BRCA1, DNA repair"}};
    std::string expected;
    for (const ReportGroup& group : report)
        for (const ReportNode& node : group.nodes) {
            const std::string number = std::to_string(group.number);
            expected += "node\t" + node.line + '\t' +
                        (labels.count(node.name) > 0 ? labels.at(node.name) : "-") + "\tA" +
                        number + '\t' + number + '\t' + group.scoreText + '\t' +
                        (group.number == 0 ? "True" : "False") + "\tTrue\n";  // -g 1, --ensemble
        }
    for (const std::string& line : Split(dir_.Read("bioA.sif")))
        expected += "edge\tA" + Split(line, '\t')[1] + '\t' + line + '\n';
    EXPECT_EQ(read.out, expected);
}

// (The readers' own messages have exact unit tests.)
TEST_F(Downloads, AFileThatLostItsHeaderSaysHowToReadItAndOptionsThatDoNotApplyAreNamed) {
    ASSERT_EQ(Shell("tail -n +2 " + kLinks + " > headless.txt").status, 0);
    const RunResult r = Run("headless.txt", "out");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out,
                    "Warning: headless.txt:1: the file looks like a STRING links file without its "
                    "header line \"protein1 protein2 ... combined_score\"; it is read as SIF "
                    "(source, type, target, edge value)\n") &&
                Has(r.out,
                    "Error: headless.txt holds no interaction line that could be read\nError: "
                    "headless.txt looks like a STRING links file without its header line "
                    "\"protein1 protein2 ... combined_score\"; to read it as such, give it back "
                    "the first line of the downloaded file\n"))
        << r.out;
    EXPECT_FALSE(dir_.Exists("outA"));
    dir_.Write("net.sif", kRingSif);
    dir_.Write("p.txt", kRingPValues);
    const RunResult sif = Run("net.sif", "sif", {"--min-score", "0.7", "--biogrid-type", "both"});
    ASSERT_EQ(sif.status, 0) << sif.out;
    EXPECT_TRUE(Has(sif.out,
                    "NOTE: --min-score applies to STRING links files only; net.sif is not one\n"
                    "NOTE: --biogrid-type applies to BioGRID files only; net.sif is not one\n"))
        << sif.out;
}

}  // namespace
}  // namespace tarnvale::testing

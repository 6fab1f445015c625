// Reading the databases' files as downloaded (STRING links files, BioGRID
// TAB3 and TAB2, either inside a zip archive) and node labels: the graph
// each gives, and what is printed for lines that cannot be used.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "base/run_error.hpp"
#include "network/label_reader.hpp"
#include "network/network_reader.hpp"
#include "support/run_binary.hpp"

namespace tarnvale {
namespace {

using namespace std::string_literals;

const std::string kData = std::string(TARNVALE_TEST_DATA) + "/downloads/";
const std::string kLinks = "9606.protein.links.v12.0.txt";
const std::string kDetailed = "9606.protein.links.detailed.v12.0.txt";
const std::string kPhysical = "9606.protein.physical.links.v12.0.txt";
const std::string kInfo = "9606.protein.info.v12.0.txt";
const std::string kBiogrid = "BIOGRID-ORGANISM-Homo_sapiens-4.4.230.tab3.txt";

// The proteins of the STRING excerpts, shortened to letters.
const std::map<std::string, std::string> kLetters{
    {"9606.ENSP00000000233", "a"}, {"9606.ENSP00000000412", "b"}, {"9606.ENSP00000001008", "c"},
    {"9606.ENSP00000001146", "d"}, {"9606.ENSP00000002125", "e"}, {"9606.ENSP00000002165", "f"}};

std::string Short(const std::string& name) {
    const auto found = kLetters.find(name);
    return found != kLetters.end() ? found->second : name;
}

// The block of tests/data/readers/messages.txt under the line "== NAME",
// exactly as a reader prints it.
std::string Expected(const std::string& name) {
    const std::string all = testing::ReadFile(kData + "../readers/messages.txt");
    const std::size_t from = all.find("== " + name + "\n") + name.size() + 4;
    return all.substr(from, all.find("\n== ", from) + 1 - from);
}

// A network as ReadNetwork reads it, and what it printed.
struct Network {
    Graph graph;
    NodeMap<std::string> names;
    EdgeTypes types;
    EdgeMap<float> values;
    NetworkRead read;
    std::string output;

    Network(std::istream& in, const std::string& fileName, NetworkReading reading = {}) {
        std::ostringstream out;
        read = ReadNetwork(in, fileName, graph, {names, types, values}, reading, out);
        output = out.str();
    }
    // The node names in node order, then "|" and "source-target" per edge in
    // edge order, with ":type" when it is not "pp" and "=value" when the value
    // is not 1.
    std::string Text() const {
        std::string text;
        graph.ForEachNode([&](NodeId n) { text += Short(names.at(n)) + " "; });
        text += "|";
        graph.ForEachEdge([&](EdgeId e) {
            text += " " + Short(names.at(graph.Source(e))) + "-" + Short(names.at(graph.Target(e)));
            if (types.Of(e) != "pp") text += ":" + types.Of(e);
            if (values.get(e) != 1.0f) text += "=" + std::to_string(values.get(e));
        });
        return text;
    }
};

Network FromFile(const std::string& path, const std::string& fileName,
                 NetworkReading reading = {}) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << path;
    return Network(in, fileName, reading);
}

Network FromText(const std::string& text, NetworkReading reading = {}) {
    std::istringstream in(text);
    return Network(in, "net.txt", reading);
}

// The message of the RunError that reading `text` (or, given a path, the
// file at `path` named `text`) throws.
std::string FailureOf(const std::string& text, const std::string& path = "") {
    try {
        (void)(path.empty() ? FromText(text) : FromFile(path, text));
    } catch (const RunError& e) {
        EXPECT_EQ(e.status(), 1);
        return e.what();
    }
    return "no error";
}

TEST(StringLinks, EachPairOnceWhenItsCombinedScoreReachesTheLeast) {
    struct Case {
        std::string file;
        double minScore;
        std::string graph;
    };
    const Case cases[] = {
        {kLinks, 0.4, "a b c d e f | a-b a-c b-c d-e e-f"},  // 400 in, 399 out
        {kDetailed, 0.4, "a b c d e f | a-b a-c b-c d-e e-f"},
        {kLinks, 0.0, "a b c d e f | a-b a-c a-d b-c c-e d-e e-f"},
        {kLinks, 0.4005, "a c b d e f | a-c b-c d-e e-f"},
        {kDetailed, 0.9, "a c d e | a-c d-e"},
        {kLinks, 1.0, "|"},
        {kPhysical, 0.4, "a b c | a-b b-c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " at " + std::to_string(c.minScore));
        const Network net = FromFile(kData + c.file, "links", {c.minScore});
        EXPECT_EQ(net.read.format, NetworkFormat::string);
        EXPECT_EQ(net.Text(), c.graph);
        EXPECT_EQ(net.read.hint, "");
    }
    EXPECT_EQ(FromFile(kData + kLinks, "links").output,
              "NOTE: links is read as a STRING links file: 14 lines, 5 interactions with a "
              "combined score of at least 400 of 1000 (--min-score 0.4; each pair is listed in "
              "both directions), 4 lines below it left out; every edge value is 1\n");
}

TEST(StringLinks, LinesThatCannotBeReadAreSkippedWithTheirLine) {
    const Network net = FromText(
        "protein1 protein2 combined_score\r\n"
        "9606.A 9606.B 700\r\n"
        "9606.A 9606.C\n"
        "9606.A 9606.C 1001\n"
        "9606.A 9606.C 4e2\n"
        "9606.A 9606.C -0\n"
        "9606.A 9606.C 700 x\n"
        "9606.C 9606.C 900\n"
        "\n"
        "9606.C 9606.A 950\n"
        "9606.D 9606.D 800\n"
        "9606.B\0009606.D 800\n"s);
    EXPECT_EQ(net.Text(), "9606.A 9606.B 9606.C | 9606.A-9606.B 9606.C-9606.A");
    EXPECT_EQ(net.output, Expected("string-skips"));
    EXPECT_EQ(FailureOf("protein1 protein2 score\n9606.A 9606.B 700\n"),
              "\nError: net.txt:1: a STRING header line (protein1 protein2 ...) without the column "
              "combined_score; restore the header of the downloaded file\n");
}

TEST(Biogrid, PhysicalOrGeneticPairsOnceBetweenTheGenesOfOneOrganism) {
    const std::string file = kData + kBiogrid;
    const Network physical = FromFile(file, "bio");
    EXPECT_EQ(physical.read.format, NetworkFormat::biogrid);
    EXPECT_EQ(physical.Text(),
              "TP53 MDM2 EP300 BRCA1 BARD1 CREBBP | TP53-MDM2 TP53-EP300 BRCA1-BARD1 EP300-CREBBP");
    EXPECT_EQ(physical.output, Expected("biogrid-physical"));
    const Network genetic = FromFile(file, "bio", {0.4, BiogridTypes::genetic});
    EXPECT_EQ(genetic.Text(), "BRCA1 TP53 ATM CHEK2 | BRCA1-TP53:gi ATM-CHEK2:gi");
    EXPECT_NE(genetic.output.find("2 genetic interactions of organism 9606 between genes named by "
                                  "their official symbols (the rows of one pair count once); 8 "
                                  "physical rows not read (--biogrid-type genetic)"),
              std::string::npos)
        << genetic.output;
    const Network both = FromFile(file, "bio", {0.4, BiogridTypes::both});
    EXPECT_EQ(both.Text(),
              "TP53 MDM2 EP300 BRCA1 BARD1 CREBBP ATM CHEK2 | TP53-MDM2 TP53-EP300 "
              "BRCA1-BARD1 BRCA1-TP53:gi EP300-CREBBP ATM-CHEK2:gi");
}

TEST(Biogrid, ColumnsFoundByNameAndRowsThatCannotBeRead) {
    // TAB2 names its organism columns without "ID"; columns in any order.
    const std::string header =
        "#BioGRID Interaction ID\tOrganism Interactor A\tOrganism Interactor B\tOfficial Symbol "
        "Interactor A\tOfficial Symbol Interactor B\tExperimental System Type\n";
    const Network net = FromText(header +
                                 "1\t10090\t10090\tMdm2\tTrp53\tphysical\n"
                                 "2\t9606\t9606\tTP53\tMDM2\tphysical\n"
                                 "3\t10090\t10090\tTrp53\tMdm2\tphysical\n"
                                 "4\t10090\t10090\t-\tTrp53\tphysical\n"
                                 "5\t9606\t9606\tTP53\tphysical\n"
                                 "6\t9606\t9606\tTP53\tMDM2\tPhysical\n"
                                 "7\t10090\t10090\tCdk1\tCcnb1\tphysical\r\n");
    EXPECT_EQ(net.Text(), "Mdm2 Trp53 Cdk1 Ccnb1 | Mdm2-Trp53 Cdk1-Ccnb1");
    EXPECT_EQ(net.output, Expected("biogrid-tab2"));
    // On a tie the organism of the earlier row is read.
    EXPECT_EQ(FromText(header + "1\t9606\t9606\tTP53\tMDM2\tphysical\n"
                                "2\t10090\t10090\tMdm2\tTrp53\tphysical\n")
                  .Text(),
              "TP53 MDM2 | TP53-MDM2");
    EXPECT_EQ(FailureOf("#BioGRID Interaction ID\tOfficial Symbol Interactor A\n"),
              "\nError: net.txt:1: a BioGRID header line (#BioGRID Interaction ID ...) without "
              "the column(s) Official Symbol Interactor B, Experimental System Type, Organism ID "
              "Interactor A, Organism ID Interactor B; restore the header of the downloaded "
              "file\n");
}

TEST(NetworkFormats, ZipArchivesAndWhatIsReadAsSif) {
    const testing::ScratchDir dir;
    const std::string links = kData + kLinks;
    // A folder, a resource fork beside the file and a stored (uncompressed)
    // copy; two files; an empty and a cut archive.
    const auto made = testing::RunShell(
        "python3 " + kData + "../readers/make_zips.py " + links + " " + kLinks, dir.path());
    ASSERT_EQ(made.status, 0) << made.out;

    const Network plain = FromFile(links, "links");
    for (const std::string name : {"links.zip", "stored.zip"}) {
        const Network zipped = FromFile((dir.path() / name).string(), name);
        EXPECT_EQ(zipped.Text(), plain.Text()) << name;
        EXPECT_EQ(zipped.output.substr(0, zipped.output.find('\n') + 1),
                  "NOTE: reading " +
                      std::string(name == "links.zip" ? "string/" + kLinks : "links.txt") +
                      " from the zip archive " + name + "\n");
    }
    const auto failure = [&](const std::string& name) {
        return FailureOf(name, (dir.path() / name).string());
    };
    EXPECT_EQ(failure("two.zip"),
              "\nError: two.zip holds 2 files (a.txt, b.txt); unpack the one to read, e.g. with "
              "unzip -p two.zip NAME > NAME\n");
    EXPECT_EQ(failure("empty.zip"),
              "\nError: empty.zip is not a valid zip file: it holds no file\n");
    EXPECT_EQ(failure("cut.zip").rfind("\nError: cut.zip is not a valid zip file: ", 0), 0u)
        << failure("cut.zip");

    // A SIF file is read as SIF (what the SIF reader prints for it is judged
    // end to end, in the binary's exact output).
    const Network sif = FromText(testing::kRingSif);
    EXPECT_EQ(sif.read.format, NetworkFormat::sif);
    EXPECT_EQ(sif.graph.NumberOfEdges(), 10u);
    EXPECT_EQ(sif.read.hint, "");
    // Numbers as node names do not make a SIF look like STRING's lines.
    EXPECT_EQ(FromText("TP53 pp 672 1\n672 pp 7157 1\n").output.find("Warning"), std::string::npos);

    // A BioGRID row without its header is read as SIF, with a hint. (A
    // STRING file without its header: end to end, its warning and hint.)
    const std::string row = testing::Split(testing::ReadFile(kData + kBiogrid))[1];
    EXPECT_NE(FromText(row + "\n").read.hint.find("looks like a BioGRID tab-delimited file"),
              std::string::npos);
}

// Reads labels for nodes named by `names` from `text`.
std::pair<std::string, std::string> Labels(const std::vector<std::string>& nodeNames,
                                           const std::string& text) {
    Graph graph;
    NodeMap<std::string> names, labels;
    for (const std::string& name : nodeNames) names[graph.NewNode()] = name;
    std::istringstream in(text);
    std::ostringstream out;
    const std::int64_t labelled = ReadLabels(in, "labels", graph, names, labels, out);
    std::string shown;
    std::int64_t given = 0;
    graph.ForEachNode([&](NodeId n) {
        shown += Short(names.at(n)) + "=" + labels.at(n) + " ";
        given += !labels.at(n).empty();
    });
    EXPECT_EQ(labelled, given);
    return {shown, out.str()};
}

TEST(Labels, TwoColumnsOrStringProteinInfo) {
    std::vector<std::string> proteins;
    for (const auto& [name, letter] : kLetters) proteins.push_back(name);
    const auto [info, infoOutput] = Labels(proteins, testing::ReadFile(kData + kInfo));
    EXPECT_EQ(info, "a=ARF5 b=M6PR c=FKBP4 d=CYP26B1 e=NDUFAF7 f=FUCA2 ");
    EXPECT_EQ(infoOutput, Expected("labels-info"));

    const auto [table, tableOutput] = Labels({"A", "B", "C", "D", "E"},
                                             "# name\tlabel\n"
                                             "A\tAlpha\textra\n"
                                             "B\t\n"
                                             "C Gamma\n"
                                             "Z\tZeta\n"
                                             "A\tAgain\n"
                                             " D \t a & <d> \r\n"
                                             "Y\tWhy\n");
    EXPECT_EQ(table, "A=Alpha B= C= D=a & <d> E= ");
    EXPECT_EQ(tableOutput, Expected("labels-table"));
}

}  // namespace
}  // namespace tarnvale

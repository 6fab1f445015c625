// Reading the input texts: line ends, skip warnings, SIF lines, association
// tables and GMT gene-set files, each checked against exactly what the reader
// gives and prints.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/run_error.hpp"
#include "network/association_reader.hpp"
#include "network/gene_sets.hpp"
#include "network/input_text.hpp"
#include "network/sif_reader.hpp"
#include "network/tables.hpp"

namespace tarnvale {
namespace {

using Texts = std::vector<std::string>;

// The message of the RunError, of status 1, that `read` throws.
template <class Read>
std::string ErrorOf(Read read) {
    try {
        read();
    } catch (const RunError& error) {
        EXPECT_EQ(error.status(), 1);
        return error.what();
    }
    return "no error";
}

// Plain decimals of up to 15 digits take a shortcut; it must round exactly as
// the full conversion does, on both sides of that length and at the limits.
TEST(ParseNumber, ShortcutAndFullConversionAgree) {
    // strtod rounds correctly, as the literals do.
    for (const char* token : {"0.05", ".5", "5.", "+0.5", "-12.5", "00.50", "1e-3", "1e400", "-0",
                              "0.123456789012345", "0.1234567890123456", "123456789012345"}) {
        const auto value = ParseNumber(token);
        const double expected = std::strtod(token, nullptr);
        ASSERT_TRUE(value) << token;
        EXPECT_EQ(*value, expected) << token;
        EXPECT_EQ(std::signbit(*value), std::signbit(expected)) << token;
    }
    for (const char* token :
         {"", "-", "+-1", "0.05abc", "0,05", "0x10", " 1", "e5", ".", "1.2.3", "1-2"})
        EXPECT_FALSE(ParseNumber(token)) << '"' << token << '"';
}

TEST(SkipReporter, PrintsTenWarningsThenTheTotal) {
    auto report = [](int skips) {
        std::ostringstream out;
        SkipReporter reporter("net.sif", out);
        for (int line = 1; line <= skips; ++line) reporter.Skip(line * 2, "fewer than four fields");
        reporter.Finish();
        EXPECT_EQ(reporter.count(), skips);
        return out.str();
    };
    std::string ten;
    for (int line = 1; line <= 10; ++line)
        ten += "Warning: net.sif:" + std::to_string(line * 2) +
               ": fewer than four fields; line skipped\n";
    EXPECT_EQ(report(10), ten);
    EXPECT_EQ(report(25), ten + "Warning: net.sif: 25 lines skipped in all\n");
    EXPECT_EQ(Shown(std::string_view("a\0b\x7f\x1b", 5)), "a\\x00b\\x7f\\x1b");
}

TEST(LineReader, EveryLineEndAndAByteOrderMarkOnlyAtTheStart) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::pair<std::string, Texts> cases[] = {
        {"a b\nc\n", {"1:a b", "2:c"}},
        {"a b\rc\r", {"1:a b", "2:c\r"}},        // a last CR is left to trimming
        {"a b\r\nc\r\n", {"1:a b\r", "2:c\r"}},  // CR LF keeps its CR, as std::getline does
        {"a\r\rb\nc\r\nd\re", {"1:a", "2:", "3:b", "4:c\r", "5:d", "6:e"}},
        {bom + "a\rb" + bom + "\n", {"1:a", "2:b" + bom}},
        {"x\n" + bom + "a", {"1:x", "2:" + bom + "a"}},
        {bom.substr(0, 2) + "a\n", {"1:" + bom.substr(0, 2) + "a"}},  // not a whole mark
    };
    for (const auto& [text, expected] : cases) {
        std::istringstream in(text);
        LineReader reader(in);
        Texts lines;
        for (std::string line; reader.Next(line);)
            lines.push_back(std::to_string(reader.number()) + ":" + line);
        EXPECT_EQ(lines, expected) << Shown(text);
    }
}

constexpr const char* kNote = "NOTE:SifReader:Duplicate edges allowed\n";

// Reads a SIF text into a fresh graph and keeps what the reader printed.
struct Sif {
    explicit Sif(const std::string& text, bool allowDuplicates = true) {
        std::istringstream in(text);
        std::ostringstream out;
        EXPECT_EQ(SifReader(in, "net.sif", graph, {names, types, values}, allowDuplicates, out), 0);
        output = out.str();
    }
    // "source-type-target:value" of every edge in edge order.
    std::string EdgeTexts() const {
        std::ostringstream text;
        graph.ForEachEdge([&](EdgeId e) {
            text << names.get(graph.Source(e)) << '-' << types.Of(e) << '-'
                 << names.get(graph.Target(e)) << ':' << values.get(e) << ' ';
        });
        return text.str();
    }
    Graph graph;
    NodeMap<std::string> names;
    EdgeTypes types;
    EdgeMap<float> values;
    std::string output;
};

std::string Progress(int last, bool note = true) {
    std::string text = note ? kNote : "";
    for (int i = 0; i <= last; ++i) text += "Reading interaction " + std::to_string(i) + '\n';
    return text;
}

// Whole readings: the edges made and everything printed after the note.
TEST(SifReader, LinesAndWhatIsPrintedForThem) {
    const std::string p0 = "Reading interaction 0\n", p1 = "Reading interaction 1\n";
    const std::string shortLine = ": fewer than four fields; line skipped\n";
    struct Case {
        std::string text;
        bool duplicates;
        std::string edges, printed;
    };
    const Case cases[] = {
        {"A pp B 0.5\nA pp B 0.2\nB pd A 0.3\nC pp C 1\n", true,
         "A-pp-B:0.5 A-pp-B:0.2 B-pd-A:0.3 C-pp-C:1 ", Progress(3)},
        // Without duplicates the first edge between two nodes stays.
        {"A pp B 0.5\nB pd A 0.3\nA pp B 0.2\nA pp C 0.1\n", false, "A-pp-B:0.5 A-pp-C:0.1 ",
         Progress(3, false)},
        // Text after the fourth field is echoed without line end.
        {"A pp B 0.5 C D\nB pp C 0.5\t# note\n", true, "A-pp-B:0.5 B-pp-C:0.5 ",
         kNote + p0 + " C D" + p1 + "\t# note"},
        // CR LF reads like LF, and its carriage returns are echoed.
        {"A pp B 0.5\r\nB\tpd\tC\t1\r\n", true, "A-pp-B:0.5 B-pd-C:1 ",
         kNote + p0 + "\r" + p1 + "\r"},
        // A short line is skipped without taking the next line; warnings name
        // physical lines, counting blank ones.
        {"A pp B\n\nC pp D 0.5\n", true, "C-pp-D:0.5 ",
         kNote + p0 + "Warning: net.sif:1" + shortLine + p1},
        // Each pair's hashes agree in all the bits the name index keeps, and the
        // long pair shares its first eight bytes: the names themselves decide.
        {"LONGNAME0010045 pp LONGNAME0024320 0.5\nN0003953 pp N0013000 0.5\n", true,
         "LONGNAME0010045-pp-LONGNAME0024320:0.5 N0003953-pp-N0013000:0.5 ", kNote + p0 + p1},
        // VT and FF separate too, other control bytes belong to the name, and
        // a NUL byte anywhere, even after the fourth field, skips the line.
        {std::string("A\vpp\fB\x01 0.5\nC pp D 0.5 x\0y\n", 27), true, "A-pp-B\x01:0.5 ",
         kNote + p0 + p1 + "Warning: net.sif:2: holds a NUL byte, which no text line has" +
             "; line skipped\n"},
    };
    for (const Case& c : cases) {
        const Sif sif(c.text, c.duplicates);
        EXPECT_EQ(sif.EdgeTexts(), c.edges) << Shown(c.text);
        EXPECT_EQ(sif.output, c.printed) << Shown(c.text);
    }
    // An edge value must be a whole finite number from 0 to 1; nothing of a
    // skipped line is echoed or kept.
    const std::pair<std::string, bool> values[] = {// a number (outside [0, 1]) or not
                                                   {"abc", false},       {"0x1p-2", false},
                                                   {"1.5", true},        {"-0.1", true},
                                                   {"1.00000001", true}, {"nan", true}};
    for (const auto& [value, number] : values) {
        const Sif sif("X pp Y " + value + " tail\nA pp B 0.5\n");
        EXPECT_EQ(sif.output, kNote + p0 + "Warning: net.sif:1: edge value " +
                                  (number ? value + " lies outside [0, 1]"
                                          : "'" + value + "' is not a number") +
                                  "; line skipped\n" + p1);
        EXPECT_EQ(sif.graph.NumberOfNodes(), 2u) << value;
    }
}

// Reads `text` for the nodes A, B and C and gives each node's list; what
// the reader printed goes to `said`.
std::vector<AssociationList> Associations(const std::string& text, std::string* said = nullptr) {
    Graph graph;
    NodeMap<std::string> names;
    NodeMap<AssociationList> associations;
    std::vector<NodeId> nodes;
    for (const char* name : {"A", "B", "C"}) {
        nodes.push_back(graph.NewNode());
        names[nodes.back()] = name;
    }
    std::istringstream in(text);
    std::ostringstream out;
    EXPECT_EQ(AssociationReader(in, names, associations, nodes, "name", "a.txt", out), 0);
    if (said != nullptr) *said = out.str();
    return {associations[nodes[0]], associations[nodes[1]], associations[nodes[2]]};
}

TEST(AssociationReader, TablesAndListsOfEveryKindOfFile) {
    EXPECT_EQ(SplitLine(" A \t Y 1 ", "\t"), (Texts{"A", "Y 1"}));
    EXPECT_EQ(SplitLine("A  B", ""), (Texts{"A", "B"}));
    using L = std::vector<AssociationList>;
    const std::string repeated =
        "' already has the row of line 1 (a key's identifiers all go on one line, separated by "
        "tabs); line skipped\n";
    const std::tuple<std::string, L, std::string> cases[] = {
        {"A\tYBR002C\tYAL001C\nB\tY10\tY1\ty1\n",
         {{"YAL001C", "YBR002C"}, {"Y1", "Y10", "y1"}, {"C"}},
         ""},
        {"A\tY1\r\n\tB\t\tY2\t\r\n", {{"Y1"}, {"Y2"}, {"C"}}, ""},  // CR LF, stray tabs
        {"A\t\nB\r\n C \t\r\n", {{}, {}, {}}, ""},                  // keys alone
        // The first row counts; a repeat with other identifiers is named, one
        // with the same (in any order) or of an empty key is not.
        {"A\tY1\tY2\nA\tY3\na\tY3\nA\tY2\tY1\n \n\t\n",
         {{"Y1", "Y2"}, {"B"}, {"C"}},
         "Warning: a.txt:2: key 'A" + repeated},
        {"\xEF\xBB\xBF"
         "A\tY1\n",
         {{"Y1"}, {"B"}, {"C"}},
         ""},
        {" \n", {{"A"}, {"B"}, {"C"}}, ""},
        {std::string("B\tY\0Z\nA\tY1\nB\tY2\n", 16),
         {{"Y1"}, {"Y2"}, {"C"}},
         "Warning: a.txt:1: holds a NUL byte, which no text line has; line skipped\n"},
    };
    for (const auto& [text, lists, warnings] : cases) {
        std::string said;
        EXPECT_EQ(Associations(text, &said), lists) << text;
        EXPECT_EQ(said, warnings) << text;
    }
    // BioMart's one pair per line: ten warnings, then the total.
    std::string pairs, said, warned;
    for (int k = 0; k < 12; ++k) pairs += "C\tY" + std::to_string(k) + "\n";
    for (int k = 2; k < 12; ++k)
        warned += "Warning: a.txt:" + std::to_string(k) + ": key 'C" + repeated;
    EXPECT_EQ(Associations(pairs, &said)[2], (AssociationList{"Y0"}));
    EXPECT_EQ(said, warned + "Warning: a.txt: 11 lines skipped in all\n");
    for (const char* text : {"", "\n\n", "\xEF\xBB\xBF"})
        EXPECT_EQ(ErrorOf([&] { Associations(text); }),
                  "\nError:get_column:column index exceeds matrix size:giving up..")
            << text;
}

using namespace std::string_literals;

TEST(GeneSets, KeptSetsAndTheWarningsForEveryOtherLine) {
    std::istringstream in(
        "GO:1\tapoptosis\tTP53\tBAX\tTP53\t\n"
        "\n"
        " GO:2 \t two words \t A \r\n"
        "GO:3 and spaces\tonly two fields\n"
        "lonely\n"
        "\tno name\tX\n"
        "GO:4\tno member\t\t \n"
        "GO:1\tagain\tZ\n"
        "GO:5\tnul\0\tX\n"
        "GO:6\tlast\tQ\tR\tQ"s);
    std::ostringstream out;
    std::string kept;  // name|description|members of each set
    for (const GeneSet& set : ReadGeneSets(in, "s.gmt", out)) {
        kept += set.name + "|" + set.description;
        for (const std::string& member : set.members) kept += "|" + member;
        kept += "\n";
    }
    EXPECT_EQ(kept, "GO:1|apoptosis|TP53|BAX\nGO:2|two words|A\nGO:6|last|Q|R\n");
    EXPECT_EQ(out.str(),
              "Warning: s.gmt:4: has 2 fields, not a name, a description and members separated "
              "by tabs; line skipped\n"
              "Warning: s.gmt:5: has 1 field, not a name, a description and members separated "
              "by tabs; line skipped\n"
              "Warning: s.gmt:6: the set has no name; line skipped\n"
              "Warning: s.gmt:7: set 'GO:4' has no member; line skipped\n"
              "Warning: s.gmt:8: set 'GO:1' was already given on line 1; line skipped\n"
              "Warning: s.gmt:9: holds a NUL byte, which no text line has; line skipped\n"
              "Warning: s.gmt: 2 sets list a member more than once; each member counts once\n");
}

// (A gzip-compressed file of several members is read end to end.)
TEST(GeneSets, AFileWithoutAnySetIsAnError) {
    for (const char* text : {"", "\n \n", "GO:1 A B C\n", "GO:1\tdescription\n"}) {
        std::istringstream none(text);
        std::ostringstream out;
        EXPECT_EQ(ErrorOf([&] { ReadGeneSets(none, "none.gmt", out); }),
                  "\nError: none.gmt holds no gene set (lines of a name, a description and "
                  "members, separated by tabs)\n")
            << text;
    }
}

}  // namespace
}  // namespace tarnvale

// A catalogue of malformed, odd and hostile input files, each run through the
// real binary. Every case names the exit status and the exact warnings and
// errors it must print; whatever the case, the program must not crash or
// hang, must not leave a temporary file, and every number it writes must be
// finite. Where the program's rules say that a bad line is skipped or that a
// quirk of the file does not matter (line ends, a byte-order mark, repeated
// separators), the case also names clean input files that must give
// byte-for-byte the same reports.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/child_process.hpp"
#include "support/report_checker.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

// The clean network: a ring of eight nodes with two chords; A..D carry small
// p-values, so both runs find groups.
constexpr const char* kSif =
    "A pp B 0.9\nB pp C 0.8\nC pp D 0.7\nD pp E 0.4\nE pp F 0.3\nF pp G 0.6\n"
    "G pp H 0.2\nH pp A 0.5\nA pp C 0.95\nE pp G 0.1\n";
constexpr const char* kPValues =
    "A\t0.001\nB\t0.002\nC\t0.0005\nD\t0.01\nE\t0.6\nF\t0.4\nG\t0.8\nH\t0.3\n";
constexpr const char* kAssociation = "A\tA\n";
// The same scores reached through the association file: A's p-value is
// listed under the identifier pA.
constexpr const char* kPValuesByIdentifier =
    "pA\t0.001\nB\t0.002\nC\t0.0005\nD\t0.01\nE\t0.6\nF\t0.4\nG\t0.8\nH\t0.3\n";

struct Inputs {
    std::string sif = kSif;
    std::string pvalues = kPValues;
    std::string association = kAssociation;
};

struct Case {
    Case(std::string name_, Inputs in_, int status_, std::vector<std::string> messages_ = {},
         std::optional<Inputs> sameAs_ = std::nullopt, std::vector<std::string> extra_ = {})
        : name(std::move(name_)),
          in(std::move(in_)),
          status(status_),
          messages(std::move(messages_)),
          sameAs(std::move(sameAs_)),
          extra(std::move(extra_)) {}

    std::string name;
    Inputs in;
    int status = 0;
    // Every line of standard output that starts with "Warning:" or "Error"
    // must be one of these, and each of these must be printed.
    std::vector<std::string> messages;
    // For status 0: clean inputs whose run must write the same reports.
    std::optional<Inputs> sameAs;
    std::vector<std::string> extra;  // further options
};

// ---- Building hostile variants of a text -------------------------------

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines, const std::string& end = "\n") {
    std::string text;
    for (const auto& line : lines) text += line + end;
    return text;
}

std::string WithLineEnd(const std::string& text, const std::string& end) {
    return JoinLines(SplitLines(text), end);
}

// The line inserted so that it becomes line `number` (1-based).
std::string Insert(const std::string& text, std::size_t number, const std::string& line) {
    auto lines = SplitLines(text);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(number - 1), line);
    return JoinLines(lines);
}

std::string Replace(const std::string& text, std::size_t number, const std::string& line) {
    auto lines = SplitLines(text);
    lines[number - 1] = line;
    return JoinLines(lines);
}

std::string Bom(const std::string& text) { return "\xEF\xBB\xBF" + text; }

std::string WithoutFinalLineEnd(const std::string& text) { return text.substr(0, text.size() - 1); }

// UTF-16 with its byte-order mark, as spreadsheets save "Unicode text"
// (little endian) or other tools write it (big endian).
std::string Utf16(const std::string& text, bool bigEndian = false) {
    std::string wide = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : text) {
        if (bigEndian) wide += '\0';
        wide += c;
        if (!bigEndian) wide += '\0';
    }
    return wide;
}

// A connected network of n nodes (a random tree plus as many random chords)
// with a p-value for every node, from a fixed seed.
Inputs OneComponent(int n) {
    std::mt19937 draw(7u);
    Inputs in;
    in.sif.clear();
    in.pvalues.clear();
    auto name = [](std::uint32_t i) { return "N" + std::to_string(i); };
    for (int i = 1; i < 2 * n; ++i) {
        const auto a = static_cast<std::uint32_t>(i < n ? i : static_cast<int>(draw() % n));
        const auto b = static_cast<std::uint32_t>(draw() % static_cast<std::uint32_t>(i < n ? i : n));
        in.sif += name(a) + " pp " + name(b) + " 0." + std::to_string(draw() % 90 + 10) + "\n";
    }
    for (int i = 0; i < n; ++i)
        in.pvalues += name(static_cast<std::uint32_t>(i)) + "\t0." +
                      std::to_string(draw() % 9000 + 1000) + "\n";
    return in;
}

// n separate pairs, each with its own p-values.
Inputs IsolatedPairs(int n) {
    Inputs in;
    in.sif.clear();
    in.pvalues.clear();
    for (int i = 0; i < n; ++i) {
        const std::string a = "P" + std::to_string(2 * i), b = "P" + std::to_string(2 * i + 1);
        in.sif += a + " pp " + b + " 0." + std::to_string(i % 80 + 10) + "\n";
        in.pvalues += a + "\t0.00" + std::to_string(i % 9 + 1) + "\n";
        in.pvalues += b + "\t0." + std::to_string((i * 37) % 90 + 10) + "\n";
    }
    return in;
}

std::string Warning(const std::string& where, const std::string& reason) {
    return "Warning: " + where + ": " + reason + "; line skipped";
}

// Stands for 10 MiB of 'x' in a case's inputs; expanded only when the
// files are written, so that listing the cases stays cheap.
constexpr std::string_view kTenMiB = "<ten mebibytes of x>";
const std::size_t kTenMiBSize = 10u << 20;

std::string Expanded(std::string text) {
    for (auto at = text.find(kTenMiB); at != std::string::npos; at = text.find(kTenMiB, at))
        text.replace(at, kTenMiB.size(), std::string(kTenMiBSize, 'x'));
    return text;
}

std::vector<Case> Catalogue() {
    const Inputs base;
    std::vector<Case> cases;
    auto add = [&](Case c) { cases.push_back(std::move(c)); };

    // ---- Encoding -------------------------------------------------------
    add({"CrLfLineEndsInEveryFile",
         {WithLineEnd(kSif, "\r\n"), WithLineEnd(kPValues, "\r\n"),
          WithLineEnd(kAssociation, "\r\n")},
         0, {}, base});
    add({"LoneCrLineEndsInEveryFile",
         {WithLineEnd(kSif, "\r"), WithLineEnd(kPValues, "\r"), WithLineEnd(kAssociation, "\r")},
         0, {}, base});
    {
        // LF, CR LF and CR in turn within one file.
        const auto lines = SplitLines(kSif);
        std::string mixed;
        for (std::size_t i = 0; i < lines.size(); ++i)
            mixed += lines[i] + (i % 3 == 0 ? "\n" : i % 3 == 1 ? "\r\n" : "\r");
        add({"MixedLineEndsInOneFile", {mixed, kPValues, kAssociation}, 0, {}, base});
    }
    add({"ByteOrderMarkBeforeTheFirstNodeName", {Bom(kSif), kPValues, kAssociation}, 0, {}, base});
    add({"ByteOrderMarkBeforeTheFirstIdentifier", {kSif, Bom(kPValues), kAssociation}, 0, {}, base});
    add({"ByteOrderMarkBeforeTheFirstAssociationKey",
         {kSif, kPValuesByIdentifier, Bom("A\tpA\n")}, 0, {},
         Inputs{kSif, kPValuesByIdentifier, "A\tpA\n"}});
    add({"ByteOrderMarkAndCrLfInEveryFile",
         {Bom(WithLineEnd(kSif, "\r\n")), Bom(WithLineEnd(kPValuesByIdentifier, "\r\n")),
          Bom(WithLineEnd("A\tpA\n", "\r\n"))},
         0, {}, Inputs{kSif, kPValuesByIdentifier, "A\tpA\n"}});
    add({"NulByteInANetworkLine",
         {Insert(kSif, 3, std::string("C pp\0X D 0.5", 12)), kPValues, kAssociation},
         0, {Warning("net.sif:3", "holds a NUL byte, which no text line has")}, base});
    add({"NulByteInAPValueLine",
         {kSif, Insert(kPValues, 2, std::string("B\t0.0\0" "1", 7)), kAssociation},
         0, {Warning("p.txt:2", "holds a NUL byte, which no text line has")}, base});
    {
        // Bytes that are not UTF-8 are names like any other.
        Inputs bad;
        bad.sif = kSif + std::string("B pp \xFF\xFEZ 0.9\n\xC3 pp A 0.8\n");
        bad.pvalues = kPValues + std::string("\xFF\xFEZ\t0.0001\n\xC3\t0.003\n");
        add({"InvalidUtf8InNames", bad, 0, {}, std::nullopt});
    }
    add({"NoFinalLineEndInAnyFile",
         {WithoutFinalLineEnd(kSif), WithoutFinalLineEnd(kPValues),
          WithoutFinalLineEnd(kAssociation)},
         0, {}, base});
    const std::vector<std::string> emptyNetwork{
        "Error:G.number_of_nodes() = 0", "Error: net.sif holds no interaction line that could be read"};
    const std::string noMatchHint =
        "Error: no node with data and an interaction is left; check that the identifiers of p.txt "
        "match the node names of net.sif or the identifiers of a.txt";
    auto mapping = [](const std::string& held) {
        return "Warning: only 0 of 8 nodes found a p-value; the p-value file holds " + held +
               "; check that node names (or the association file) and p-value identifiers are "
               "of the same kind, e.g. gene symbols against protein ids";
    };
    const std::vector<std::string> noPValue{
        mapping("0 identifiers"), "Error: p.txt holds no identifier with a usable p-value",
        noMatchHint};
    const std::vector<std::string> noAssociation{
        "Error:get_column:column index exceeds matrix size:giving up..",
        "Error: a.txt holds no line that is not empty"};
    add({"EmptyNetworkFile", {"", kPValues, kAssociation}, 1, emptyNetwork});
    add({"EmptyPValueFile", {kSif, "", kAssociation}, 1, noPValue});
    add({"EmptyAssociationFile", {kSif, kPValues, ""}, 1, noAssociation});
    add({"NetworkOfBlankLines", {"\n  \n\t\t\n\r\n \t\r\n", kPValues, kAssociation}, 1, emptyNetwork});
    add({"PValuesOfBlankLines", {kSif, "\n  \n\t\t\n\r\n", kAssociation}, 1, noPValue});
    add({"AssociationOfEmptyLines", {kSif, kPValues, "\n\n\n"}, 1, noAssociation});
    add({"Utf16Network", {Utf16(kSif), kPValues, kAssociation}, 1,
         {"Error: net.sif is encoded in UTF-16; save it as UTF-8 or plain text"}});
    add({"Utf16BigEndianPValues", {kSif, Utf16(kPValues, true), kAssociation}, 1,
         {"Error: p.txt is encoded in UTF-16; save it as UTF-8 or plain text"}});

    // ---- Fields ----------------------------------------------------------
    add({"NetworkLineWithThreeFields", {Insert(kSif, 3, "A pp D"), kPValues, kAssociation}, 0,
         {Warning("net.sif:3", "fewer than four fields")}, base});
    add({"NetworkLineWithOneField", {Insert(kSif, 11, "lonely"), kPValues, kAssociation}, 0,
         {Warning("net.sif:11", "fewer than four fields")}, base});
    add({"NetworkLineWithFieldsAfterTheValue",
         {Replace(kSif, 1, "A pp B 0.9 C D # a comment"), kPValues, kAssociation}, 0, {}, base});
    add({"NetworkFieldsSeparatedByRunsOfTabs",
         {Replace(Replace(kSif, 2, "\t\tB\t\tpp\t\tC\t\t0.8\t\t"), 5, "   E  pp   F 0.3  "),
          kPValues, kAssociation},
         0, {}, base});
    {
        std::string mixed;
        for (const auto& line : SplitLines(kSif)) {
            std::string m = line;
            for (auto& c : m)
                if (c == ' ') c = (&c - m.data()) % 2 ? '\t' : ' ';
            mixed += m + " \t\n";
        }
        add({"NetworkTabsAndSpacesMixed", {mixed, kPValues, kAssociation}, 0, {}, base});
    }
    add({"IdentifierWithoutPValueAtTheEnd", {kSif, kPValues + std::string("Z\n"), kAssociation}, 0,
         {Warning("p.txt:9", "identifier 'Z' has no p-value")}, base});
    add({"PValueHeaderLine", {kSif, Insert(kPValues, 1, "gene\tpvalue"), kAssociation}, 0,
         {Warning("p.txt:1", "p-value 'pvalue' of 'gene' is not a number")}, base});
    add({"PValueFieldsWithEmptyFieldsAndSpaces",
         {kSif, Replace(Replace(kPValues, 1, "A\t\t0.001\t"), 2, " B \t 0.002 "), kAssociation}, 0,
         {}, base});
    add({"PValuesSeparatedBySpacesOrTabs",
         {kSif, "A 0.001\nB   0.002\nC\t0.0005\nD \t 0.01\n E 0.6 \nF 0.4\nG\t\t0.8\nH 0.3\n",
          kAssociation},
         0, {}, base});
    add({"AssociationWithEmptyFieldsAndStrayTabs",
         {kSif, kPValuesByIdentifier, "\tA\t\tpA\t\n"}, 0, {},
         Inputs{kSif, kPValuesByIdentifier, "A\tpA\n"}});
    add({"AssociationRowOfTheKeyAlone",
         {kSif, kPValues, "A\n"}, 0, {},
         Inputs{kSif, Replace(kPValues, 1, ""), kAssociation}});
    const std::string tenMiB(kTenMiB);
    add({"TenMebibyteNodeName", {kSif + tenMiB + " pp A 0.5\n", kPValues, kAssociation}, 0, {},
         Inputs{kSif + std::string("X pp A 0.5\n"), kPValues, kAssociation}});
    add({"TenMebibyteEdgeValue", {Insert(kSif, 2, "A pp D 0.5" + tenMiB), kPValues, kAssociation},
         0, {Warning("net.sif:2", "edge value '0.5" + std::string(57, 'x') + "...' is not a number")},
         base});
    add({"TenMebibyteLinesInThePValues",
         {kSif, Insert(Insert(kPValues, 1, tenMiB + "\t0.5"), 3, "B\t" + tenMiB), kAssociation}, 0,
         {Warning("p.txt:3", "p-value '" + std::string(60, 'x') + "...' of 'B' is not a number")},
         base});
    add({"TenMebibyteAssociationLine", {kSif, kPValues, "A\tA\t" + tenMiB + "\n"}, 0, {}, base});

    // ---- Numbers ---------------------------------------------------------
    auto badPValue = [&](const std::string& name, const std::string& value,
                         const std::string& reason) {
        // Placed before B's own line, which then counts.
        add({name, {kSif, Insert(kPValues, 2, "B\t" + value), kAssociation}, 0,
             {Warning("p.txt:2", reason)}, base});
    };
    badPValue("PValueNan", "nan", "p-value nan of 'B' lies outside [0, 1]");
    badPValue("PValueInfinity", "inf", "p-value inf of 'B' lies outside [0, 1]");
    badPValue("PValueTooLargeForADouble", "1e999", "p-value 1e999 of 'B' lies outside [0, 1]");
    badPValue("PValueNegative", "-0.01", "p-value -0.01 of 'B' lies outside [0, 1]");
    badPValue("PValueAboveOne", "1.0001", "p-value 1.0001 of 'B' lies outside [0, 1]");
    badPValue("PValueWithDecimalComma", "0,05", "p-value '0,05' of 'B' is not a number");
    badPValue("PValueWithTrailingText", "0.05abc", "p-value '0.05abc' of 'B' is not a number");
    badPValue("PValueHexadecimalFloat", "0x1p-4", "p-value '0x1p-4' of 'B' is not a number");
    add({"PValueBelowTheDoubleRangeIsTheSmallestFloat",
         {kSif, Replace(kPValues, 4, "D\t1e-400"), kAssociation}, 0, {},
         Inputs{kSif, Replace(kPValues, 4, "D\t1e-45"), kAssociation}});
    add({"PValuesExactlyZeroAndOneAreClamped",
         {kSif, Replace(Replace(kPValues, 1, "A\t0"), 7, "G\t1"), kAssociation}, 0, {},
         Inputs{kSif, Replace(Replace(kPValues, 1, "A\t0.0001"), 7, "G\t0.9999"), kAssociation}});
    add({"PValueWithPlusSign", {kSif, Replace(kPValues, 2, "B\t+0.002"), kAssociation}, 0, {},
         base});
    auto badEdge = [&](const std::string& name, const std::string& value,
                       const std::string& reason) {
        add({name, {Insert(kSif, 3, "A pp D " + value), kPValues, kAssociation}, 0,
             {Warning("net.sif:3", reason)}, base});
    };
    badEdge("EdgeValueNan", "nan", "edge value nan lies outside [0, 1]");
    badEdge("EdgeValueInfinity", "-inf", "edge value -inf lies outside [0, 1]");
    badEdge("EdgeValueTooLargeForADouble", "1e999", "edge value 1e999 lies outside [0, 1]");
    badEdge("EdgeValueNegative", "-0.5", "edge value -0.5 lies outside [0, 1]");
    badEdge("EdgeValueAboveOne", "1.5", "edge value 1.5 lies outside [0, 1]");
    badEdge("EdgeValueWithDecimalComma", "0,5", "edge value '0,5' is not a number");
    badEdge("EdgeValueWithTrailingText", "0.5abc", "edge value '0.5abc' is not a number");
    badEdge("EdgeValueHexadecimalFloat", "0x1p-1", "edge value '0x1p-1' is not a number");
    add({"EdgeValueBelowTheDoubleRangeIsZero",
         {Replace(kSif, 10, "E pp G 1e-400"), kPValues, kAssociation}, 0, {},
         Inputs{Replace(kSif, 10, "E pp G 0"), kPValues, kAssociation}});
    add({"EdgeValuesExactlyZeroAndOneAreClamped",
         {Replace(Replace(kSif, 1, "A pp B 1"), 7, "G pp H 0"), kPValues, kAssociation}, 0, {},
         Inputs{Replace(Replace(kSif, 1, "A pp B 0.99999"), 7, "G pp H 0.00001"), kPValues,
                kAssociation}});

    // ---- Meaning ---------------------------------------------------------
    add({"NoIdentifierMatchesAnyNode", {kSif, "X\t0.01\nY\t0.02\n", kAssociation}, 1,
         {mapping("2 identifiers, of which 2 match no node (X, Y)"),
          "Error: none of the 2 identifiers of p.txt matches a node of net.sif, by its name or "
          "through a.txt",
          noMatchHint}});
    add({"NoPValueIsUsable", {kSif, "A\tn/a\nB\tNA\n", kAssociation}, 1,
         {Warning("p.txt:1", "p-value 'n/a' of 'A' is not a number"),
          Warning("p.txt:2", "p-value 'NA' of 'B' is not a number"), noPValue[0], noPValue[1],
          noPValue[2]}});
    add({"ConflictingDuplicateIdentifier", {kSif, kPValues + std::string("A\t0.9\n"), kAssociation},
         0, {Warning("p.txt:9", "identifier 'A' already has the p-value 0.001 of line 1, not 0.9")},
         base});
    add({"RepeatedIdentifierWithTheSameValue",
         {kSif, kPValues + std::string("A\t1e-3\n"), kAssociation}, 0, {}, base});
    add({"RepeatedAssociationKey",
         {kSif, kPValuesByIdentifier + std::string("pZ\t0.9\n"), "A\tpA\nA\tpZ\n"}, 0, {},
         Inputs{kSif, kPValuesByIdentifier + std::string("pZ\t0.9\n"), "A\tpA\n"}});
    const std::string noInteraction =
        "Error: no node with data and an interaction is left: no interaction of net.sif joins two "
        "different nodes that have data";
    add({"SelfLoopsOnly", {"A pp A 0.5\nB pp B 0.4\nC pd C 0.9\n", kPValues, kAssociation}, 1,
         {noInteraction}});
    add({"OnlyNodesWithoutDataAreJoined", {"A pp X 0.5\nY pp B 0.4\nX pp Y 0.3\n", kPValues,
                                           kAssociation},
         1, {noInteraction}});
    add({"EveryNodeMergedIntoOne",
         {kSif, "pX\t0.01\n",
          "A\tpX\nB\tpX\nC\tpX\nD\tpX\nE\tpX\nF\tpX\nG\tpX\nH\tpX\n"},
         1, {noInteraction}});
    add({"EveryNodeWithTheSameScore",
         {kSif, "A 0.5\nB 0.5\nC 0.5\nD 0.5\nE 0.5\nF 0.5\nG 0.5\nH 0.5\n", kAssociation}, 1,
         {"Error: all nodes left have the same node score; there is nothing to search for"}});
    add({"RepeatedAndReversedInteractions",
         {kSif + std::string("B pd A 0.3\nA pp B 0.2\nC pp C 0.9\n"), kPValues, kAssociation}, 0,
         {}, base});
    add({"NamesThatDifferOnlyInCase", {kSif + std::string("a pp b 0.5\n"), kPValues, kAssociation},
         0, {}, base});
    add({"OneHugeComponent", OneComponent(3000), 0, {}, std::nullopt,
         {"-q", "0", "-n", "20", "-r", "1"}});
    add({"ManyIsolatedPairs", IsolatedPairs(400), 0, {}, std::nullopt, {"-q", "0", "-n", "20"}});
    return cases;
}

// Test names already say which case failed; print the case by its name.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class HostileInput : public ::testing::TestWithParam<Case> {
protected:
    struct Outcome {
        RunResult result;
        std::optional<std::string> reportA, reportB;
    };

    static Outcome Run(const ScratchDir& dir, const Inputs& in, const std::vector<std::string>& extra) {
        dir.Write("net.sif", Expanded(in.sif));
        dir.Write("p.txt", Expanded(in.pvalues));
        dir.Write("a.txt", Expanded(in.association));
        std::vector<std::string> args{"-d", "p.txt", "-a", "a.txt", "--seed", "4242", "-k", "6",
                                      "-i", "50"};
        // Options a case sets itself replace these defaults.
        for (const char* option : {"-n", "-r"})
            if (std::find(extra.begin(), extra.end(), option) == extra.end())
                args.insert(args.end(), {option, option[1] == 'n' ? "40" : "2"});
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("net.sif");
        args.push_back("out");
        Outcome outcome{RunTarnvale(args, dir.path()), {}, {}};
        if (dir.Exists("outA")) outcome.reportA = dir.Read("outA");
        if (dir.Exists("outB")) outcome.reportB = dir.Read("outB");
        return outcome;
    }
};

// The report file reads as a report and all its numbers are finite.
void ExpectSaneReport(const std::string& text, const std::string& which) {
    std::vector<std::string> problems;
    const ParsedReport report = ParseReport(text, problems);
    for (const auto& problem : problems) ADD_FAILURE() << which << ": " << problem;
    for (const auto& group : report.groups) {
        EXPECT_TRUE(std::isfinite(group.score)) << which << " line " << group.line;
        for (const auto& node : group.nodes) {
            EXPECT_TRUE(std::isfinite(node.score)) << which << " line " << node.line;
            EXPECT_TRUE(std::isfinite(node.pvalue)) << which << " line " << node.line;
        }
    }
}

// The lines of standard output that carry a warning or an error.
std::vector<std::string> MessageLines(const std::string& out) {
    std::vector<std::string> found;
    for (const auto& line : SplitLines(out)) {
        // Progress output may run on after the echo of a line's extra fields.
        for (const char* head : {"Warning:", "Error"}) {
            const auto at = line.find(head);
            if (at != std::string::npos) {
                found.push_back(line.substr(at));
                break;
            }
        }
    }
    return found;
}

TEST_P(HostileInput, EndsCleanlyWithItsMessages) {
    const Case& c = GetParam();
    ScratchDir dir;
    const Outcome got = Run(dir, c.in, c.extra);
    const RunResult& r = got.result;
    const std::string shownOut = r.out.size() > 4000 ? r.out.substr(0, 4000) + "..." : r.out;

    ASSERT_EQ(r.status, c.status) << shownOut << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(MessageLines(r.out), c.messages) << shownOut;
    EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
    // Runaway fields are never echoed whole.
    EXPECT_LT(r.out.size(), 1u << 20);
    if (const auto line = NonFiniteLine(r.out)) ADD_FAILURE() << "not finite: " << *line;

    if (c.status != 0) {
        EXPECT_EQ(r.out.find("Program finished"), std::string::npos);
        EXPECT_FALSE(got.reportA) << "a failed run wrote a report";
        return;
    }
    EXPECT_NE(r.out.find("\nProgram finished\nTime taken = "), std::string::npos);
    ASSERT_TRUE(got.reportA) << shownOut;
    ExpectSaneReport(*got.reportA, "outA");
    if (got.reportB) ExpectSaneReport(*got.reportB, "outB");

    if (c.sameAs) {
        ScratchDir cleanDir;
        const Outcome clean = Run(cleanDir, *c.sameAs, c.extra);
        ASSERT_EQ(clean.result.status, 0) << clean.result.out;
        EXPECT_EQ(MessageLines(clean.result.out), std::vector<std::string>{})
            << "the clean inputs of this case are not clean";
        ASSERT_TRUE(clean.reportA);
        EXPECT_FALSE(clean.reportA->empty()) << "the clean run finds no group to compare";
        EXPECT_EQ(got.reportA, clean.reportA);
        EXPECT_EQ(got.reportB, clean.reportB);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, HostileInput, ::testing::ValuesIn(Catalogue()),
                         [](const ::testing::TestParamInfo<Case>& param) { return param.param.name; });

}  // namespace
}  // namespace tarnvale::testing

// The report page of a real invocation: what it holds, checked against the
// invocation's own summary and reports, and how a real browser shows it.
// (The page's texts, escaping and input line counts are pinned in process:
// tests/cli/html_report_test.cpp.)

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

// How many times `part` occurs in `text`.
std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The text from `start` to the end of the element it opens (`end` included).
std::string Element(const std::string& text, const std::string& start, const std::string& end) {
    const auto from = text.find(start);
    if (from == std::string::npos) return "";
    return text.substr(from, text.find(end, from) + end.size() - from);
}

class HtmlReport : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Write("net.sif", kRingSif);
        dir_.Write("p.txt", kRingPValues);
        dir_.Write("a.txt", "zz\tyy");
        dir_.Write("sets.gmt", "top\tthe ring's top\tA\tB\tC\tD\nrest\t\tE\tF\tG\tH\n");
    }
    // Two runs with permutations, ensemble, gene sets and the summary, with
    // or without the page, in folder `folder`.
    RunResult Run(const std::string& folder, bool html) {
        std::filesystem::create_directory(dir_.path() / folder);
        std::vector<std::string> args = Split(
            "-d ../p.txt -a ../a.txt -k 4 -i 20 -n 300 --seed 4242 -g 3 --summary "
            "--permutations 4 --ensemble 2 --gene-sets ../sets.gmt --threads 1",
            ' ');
        if (html) args.push_back("--html");
        args.insert(args.end(), {"../net.sif", "out"});
        return RunTarnvale(args, dir_.path() / folder);
    }
    // The ranked groups of the summary, as "A-0", "A-1", ..., each with its
    // fields by column name.
    std::map<std::string, std::map<std::string, std::string>> RankedGroups(
        const std::string& folder) const {
        std::map<std::string, std::map<std::string, std::string>> groups;
        for (auto& row : ReadTable(dir_.Read(folder + "/out.summary.tsv")))
            if (row["ranked"] == "yes") groups[row["run"] + "-" + row["rank"]] = row;
        return groups;
    }
    ScratchDir dir_;
};

// The page holds the invocation (every option of --help with its value, the
// seed, the version), and for every ranked group of the summary its row with
// the summary's numbers and a drawing of exactly its nodes and edges; nothing
// on it would load anything. Every other output and standard output are
// those of the same invocation without --html.
TEST_F(HtmlReport, PageHoldsTheInvocationAndEveryRankedGroupAndChangesNothingElse) {
    const RunResult with = Run("with", true), without = Run("without", false);
    ASSERT_EQ(with.status + without.status, 0);
    auto timeless = [](const std::string& out) { return out.substr(0, out.find("Time taken")); };
    EXPECT_EQ(timeless(with.out), timeless(without.out));
    const std::string page = dir_.Read("with/out.html");
    std::set<std::string> files = Entries(dir_.path() / "with");
    files.erase("out.html");
    EXPECT_EQ(files, Entries(dir_.path() / "without"));
    for (const std::string& name : files)
        EXPECT_EQ(dir_.Read("with/" + name), dir_.Read("without/" + name)) << name;

    for (const char* part : {"Tarnvale 1.0; seed 4242.", "<dt>-n (--iterations)</dt><dd>300</dd>",
                             "<dt>-b (--hub)</dt><dd>100</dd>", "<dt>--html</dt><dd>on</dd>",
                             "<td>association (-a)</td><td>../a.txt</td><td class=\"num\">1</td>"})
        EXPECT_NE(page.find(part), std::string::npos) << part;
    for (const char* load : {"<script", "<link", "<img", "<iframe", "<object", "<embed",
                             "src=", "url(", "@import", "http:", "https:"})
        EXPECT_EQ(page.find(load), std::string::npos) << load;
    // Every option the program knows is listed, so a new one cannot be left
    // out, but those that change no result, so that a page is the same for
    // any number of threads and for a merge of shards (shards_test.cpp).
    const std::string help = RunTarnvale({"--help"}, dir_.path()).out;
    const std::set<std::string> unlisted{"--help",    "--version", "--ignore_rest",
                                         "--threads", "--shard",   "--merge"};
    const std::regex option("--[A-Za-z][A-Za-z_-]*");
    std::size_t options = 0;
    for (std::sregex_iterator m(help.begin(), help.end(), option), end; m != end; ++m) {
        if (unlisted.count(m->str())) continue;
        ++options;
        EXPECT_TRUE(page.find(m->str() + "</dt>") != std::string::npos ||
                    page.find(m->str() + ")</dt>") != std::string::npos)
            << m->str();
    }
    EXPECT_GE(options, 20u);

    const auto ranked = RankedGroups("with");
    ASSERT_EQ(ranked.count("A-0"), 1u);
    for (const auto& [id, row] : ranked) {
        std::string cells = "<tr id=\"row-" + id + "\">";
        for (const char* column : {"rank", "size", "s_score", "node_evidence", "permutation_p",
                                   "familywise_p", "stability"})
            cells += "<td class=\"num\">" + row.at(column) + "</td>";
        EXPECT_NE(page.find(cells), std::string::npos) << cells;
        const std::string svg = Element(page, "<svg id=\"group-" + id + "\"", "</svg>");
        EXPECT_EQ(Count(svg, "<circle"), std::stoul(row.at("size"))) << id;
        EXPECT_EQ(Count(svg, "<line"), std::stoul(row.at("edges"))) << id;
    }
    EXPECT_EQ(Count(page, "<svg id=\"group-"), ranked.size());
    EXPECT_EQ(Count(page, "<tr id=\"row-"), ranked.size());
}

// The page in headless Chromium (Debian's chromium, which scripts/setup.sh
// installs for the test run; skipped where it cannot be found). Each
// browser run gets a new empty profile folder. Chromium writes the page's
// console messages to its standard error as "CONSOLE(...)" lines with
// --enable-logging=stderr --v=0, and --dump-dom prints the DOM once the page
// has loaded: that pair needs no Node and no debugging protocol, and a
// control page that logs an error proves on this very browser that a console
// message is seen. The page has no script, so any console line is an error
// of the page (a refused load, a malformed document).
TEST_F(HtmlReport, PageLoadsInChromiumWithoutConsoleMessagesWithItsDrawings) {
    const RunResult which =
        RunShell("command -v chromium || command -v chromium-browser", dir_.path());
    if (which.status != 0 || which.out.empty())
        GTEST_SKIP() << "chromium is not installed (bash scripts/setup.sh chromium installs it); "
                        "the page was not opened in a browser";
    const std::string chromium = which.out.substr(0, which.out.find('\n'));
    ASSERT_EQ(Run("with", true).status, 0);
    int profiles = 0;
    auto browse = [&](const std::string& page) {
        const std::string profile =
            (dir_.path() / ("profile" + std::to_string(++profiles))).string();
        std::filesystem::create_directory(profile);
        // A browser that hangs fails the test in two minutes (status 124).
        const std::vector<std::string> argv =
            Split("/usr/bin/timeout 120 " + chromium +
                      " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                      "--disable-background-networking --disable-component-update --disable-sync "
                      "--enable-logging=stderr --v=0 --dump-dom --user-data-dir=" +
                      profile + " file://" + (dir_.path() / page).string(),
                  ' ');
        return RunChild(argv, dir_.path());
    };

    dir_.Write("control.html", "<!DOCTYPE html><p>x</p><script>console.error('seen')</script>");
    const RunResult control = browse("control.html");
    ASSERT_EQ(control.status, 0) << control.err;
    ASSERT_NE(control.err.find("CONSOLE"), std::string::npos) << control.err;
    ASSERT_NE(control.err.find("seen"), std::string::npos) << control.err;

    const RunResult dom = browse("with/out.html");
    ASSERT_EQ(dom.status, 0) << dom.err;
    EXPECT_EQ(dom.err.find("CONSOLE"), std::string::npos) << dom.err;
    const auto ranked = RankedGroups("with");
    ASSERT_FALSE(ranked.empty());
    for (const auto& [id, row] : ranked) {
        const std::string svg = Element(dom.out, "<svg id=\"group-" + id + "\"", "</svg>");
        EXPECT_EQ(Count(svg, "<circle"), std::stoul(row.at("size"))) << id;
    }
}

}  // namespace
}  // namespace tarnvale::testing

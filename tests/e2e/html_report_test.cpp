// The report page of a real invocation: what it holds, checked against the
// invocation's own summary and reports, and how a real browser shows it.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

constexpr const char* kGeneSets = "top\tthe ring's top\tA\tB\tC\tD\nrest\t\tE\tF\tG\tH\n";

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
        dir_.Write("a.txt", "zz\tyy");  // a last line without a line end counts
        dir_.Write("sets.gmt", kGeneSets);
        ASSERT_EQ(RunShell("gzip sets.gmt", dir_.path()).status, 0);
    }
    // Two runs with permutations, ensemble, gene sets and the summary, with
    // or without the page, in folder `folder`.
    RunResult Run(const std::string& folder, bool html) {
        std::filesystem::create_directory(dir_.path() / folder);
        std::vector<std::string> args = Split(
            "-d ../p.txt -a ../a.txt -k 4 -i 20 -n 300 --seed 4242 -g 3 --summary "
            "--permutations 4 --ensemble 2 --gene-sets ../sets.gmt.gz --threads 1",
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
// seed, the version, each input's line count, the gzip one decompressed),
// and for every ranked group of the summary its row with the summary's
// numbers and a drawing of exactly its nodes and edges; nothing on it would
// load anything. Every other output and standard output are those of the
// same invocation without --html.
TEST_F(HtmlReport, PageHoldsTheInvocationAndEveryRankedGroupAndChangesNothingElse) {
    const RunResult with = Run("with", true);
    ASSERT_EQ(with.status, 0);
    const RunResult without = Run("without", false);
    ASSERT_EQ(without.status, 0);
    auto timeless = [](const std::string& out) { return out.substr(0, out.find("Time taken")); };
    EXPECT_EQ(timeless(with.out), timeless(without.out));
    const std::string page = dir_.Read("with/out.html");

    std::set<std::string> files = Entries(dir_.path() / "with");
    files.erase("out.html");
    EXPECT_EQ(files, Entries(dir_.path() / "without"));
    for (const std::string& name : files)
        EXPECT_EQ(dir_.Read("with/" + name), dir_.Read("without/" + name)) << name;

    for (const char* part :
         {"Tarnvale 1.0; seed 4242.", "<dt>-n (--iterations)</dt><dd>300</dd>",
          "<dt>-b (--hub)</dt><dd>100</dd>", "<dt>--html</dt><dd>on</dd>",
          "<td>network</td><td>../net.sif</td><td class=\"num\">10</td>",
          "<td>p-values (-d)</td><td>../p.txt</td><td class=\"num\">8</td>",
          "<td>association (-a)</td><td>../a.txt</td><td class=\"num\">1</td>",
          "<td>../sets.gmt.gz</td><td>2 (gzip-compressed", "these 4 permutation chains resolve 0.2",
          "Content-Security-Policy\" content=\"default-src 'none'"})
        EXPECT_NE(page.find(part), std::string::npos) << part;
    for (const char* load : {"<script", "<link", "<img", "<iframe", "<object", "<embed",
                             "src=", "url(", "@import", "http:", "https:"})
        EXPECT_EQ(page.find(load), std::string::npos) << load;
    // Every option the program knows is listed, so a new one cannot be left out.
    const RunResult help = RunTarnvale({"--help"}, dir_.path());
    std::size_t options = 0;
    for (std::size_t at = help.out.find("--"); at != std::string::npos;
         at = help.out.find("--", at + 2)) {
        const std::size_t end = help.out.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_", at + 2);
        const std::string name = help.out.substr(at, end - at);
        if (name.size() < 3 || name == "--help" || name == "--version" || name == "--ignore_rest")
            continue;
        // These change no result, so that a page is the same for any number
        // of threads and for a merge of shards (tests/e2e/shards_test.cpp).
        if (name == "--threads" || name == "--shard" || name == "--merge") continue;
        ++options;
        EXPECT_TRUE(page.find(name + "</dt>") != std::string::npos ||
                    page.find(name + ")</dt>") != std::string::npos)
            << name;
    }
    EXPECT_GE(options, 20u);

    const auto ranked = RankedGroups("with");
    ASSERT_EQ(ranked.count("A-0"), 1u);
    std::size_t drawings = 0;
    for (const auto& [id, row] : ranked) {
        const std::string tr = Element(page, "<tr id=\"row-" + id + "\">", "</tr>");
        std::string cells;
        for (const char* column : {"rank", "size", "s_score", "node_evidence", "permutation_p",
                                   "familywise_p", "stability"})
            cells += "<td class=\"num\">" + row.at(column) + "</td>";
        EXPECT_EQ(tr.find(cells), std::string("<tr id=\"row-" + id + "\">").size()) << tr;
        const std::string svg = Element(page, "<svg id=\"group-" + id + "\"", "</svg>");
        EXPECT_EQ(Count(svg, "<circle"), std::stoul(row.at("size"))) << id;
        EXPECT_EQ(Count(svg, "<line"), std::stoul(row.at("edges"))) << id;
        drawings += !svg.empty();
    }
    EXPECT_EQ(Count(page, "<svg id=\"group-"), drawings);
    EXPECT_EQ(Count(page, "<tr id=\"row-"), ranked.size());
    // p-values from a pipe were read once, by the reader: they are not
    // counted again (which would give 0, or wait for ever).
    const RunResult piped =
        RunShell(Command(Tarnvale({"-a", "a.txt", "-k", "4", "-i", "20", "-n", "100", "--seed", "1",
                                   "-r", "1", "--html", "net.sif", "piped"})) +
                     " -d <(cat p.txt) > /dev/null",
                 dir_.path());
    ASSERT_EQ(piped.status, 0) << piped.out;
    EXPECT_NE(dir_.Read("piped.html").find("<td>not counted: not a regular file"),
              std::string::npos);

    // The best group's drawing names the report's nodes of group 0.
    std::vector<std::string> problems;
    const std::string best = Element(page, "<svg id=\"group-A-0\"", "</svg>");
    const auto groups = ParseReport(dir_.Read("with/outA"), problems);
    for (const ReportNode& node : groups.at(0).nodes)
        EXPECT_NE(best.find(">" + node.name + "</text>"), std::string::npos) << node.name;
}

// The distinct pixel-sized pieces of the image data of an 8-bit RGB or RGBA
// PNG without interlacing, as compressed (the row filters not undone): a
// page of one colour gives a handful whatever filters the encoder chose, a
// drawn page hundreds. -1 when it is not such a PNG.
long DistinctPixels(const std::string& png) {
    if (png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return -1;
    auto word = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value << 8 | static_cast<unsigned char>(png[i]);
        return value;
    };
    std::uint32_t width = 0, height = 0, channels = 0;
    std::string packed;
    for (std::size_t at = 8; at + 8 <= png.size(); at += 12 + word(at)) {
        const std::string type = png.substr(at + 4, 4);
        if (type == "IHDR") {
            width = word(at + 8), height = word(at + 12);
            const int depth = png[at + 16], colour = png[at + 17], interlace = png[at + 20];
            channels = depth == 8 && interlace == 0 ? (colour == 2 ? 3 : colour == 6 ? 4 : 0) : 0;
        } else if (type == "IDAT") {
            packed += png.substr(at + 8, word(at));
        }
    }
    const std::size_t stride = std::size_t(width) * channels;
    std::string raw((stride + 1) * height, '\0');
    uLongf size = raw.size();
    if (channels == 0 ||
        uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                   reinterpret_cast<const Bytef*>(packed.data()), packed.size()) != Z_OK ||
        size != raw.size())
        return -1;
    std::set<std::string> pixels;
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < width; ++x)
            pixels.insert(raw.substr(y * (stride + 1) + 1 + x * channels, channels));
    return static_cast<long>(pixels.size());
}

// The page in headless Chromium (Debian's chromium, which scripts/setup.sh
// installs for the test run; skipped where it cannot be found). Each
// browser run gets a new empty profile folder. Chromium writes the page's
// console messages to its standard error as "CONSOLE(...)" lines with
// --enable-logging=stderr --v=0, and --dump-dom prints the DOM once the page
// has loaded: that pair needs no Node and no debugging protocol, and a
// control page that logs an error proves on this very browser that a console
// message is seen. The page has no script, so any console line is an error
// of the page (a refused load, a malformed document). The screenshot must
// show far more than one colour.
TEST_F(HtmlReport, PageLoadsInChromiumWithoutConsoleMessagesAndIsDrawn) {
    const RunResult which =
        RunShell("command -v chromium || command -v chromium-browser", dir_.path());
    if (which.status != 0 || which.out.empty())
        GTEST_SKIP() << "chromium is not installed (bash scripts/setup.sh chromium installs it); "
                        "the page was not opened in a browser";
    const std::string chromium = which.out.substr(0, which.out.find('\n'));
    ASSERT_EQ(Run("with", true).status, 0);
    int profiles = 0;
    auto browse = [&](std::vector<std::string> action, const std::string& page) {
        const std::string profile =
            (dir_.path() / ("profile" + std::to_string(++profiles))).string();
        std::filesystem::create_directory(profile);
        // A browser that hangs fails the test in two minutes (status 124).
        std::vector<std::string> argv =
            Split("/usr/bin/timeout 120 " + chromium +
                      " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                      "--disable-background-networking --disable-component-update --disable-sync "
                      "--enable-logging=stderr --v=0 --user-data-dir=" +
                      profile,
                  ' ');
        argv.insert(argv.end(), action.begin(), action.end());
        argv.push_back("file://" + (dir_.path() / page).string());
        return RunChild(argv, dir_.path());
    };

    dir_.Write("control.html", "<!DOCTYPE html><p>x</p><script>console.error('seen')</script>");
    const RunResult control = browse({"--dump-dom"}, "control.html");
    ASSERT_EQ(control.status, 0) << control.err;
    ASSERT_NE(control.err.find("CONSOLE"), std::string::npos) << control.err;
    ASSERT_NE(control.err.find("seen"), std::string::npos) << control.err;

    const RunResult dom = browse({"--dump-dom"}, "with/out.html");
    ASSERT_EQ(dom.status, 0) << dom.err;
    EXPECT_EQ(dom.err.find("CONSOLE"), std::string::npos) << dom.err;
    const auto ranked = RankedGroups("with");
    ASSERT_FALSE(ranked.empty());
    for (const auto& [id, row] : ranked) {
        EXPECT_NE(dom.out.find("<tr id=\"row-" + id + "\">"), std::string::npos) << id;
        const std::string svg = Element(dom.out, "<svg id=\"group-" + id + "\"", "</svg>");
        EXPECT_EQ(Count(svg, "<circle"), std::stoul(row.at("size"))) << id;
    }

    const RunResult shot =
        browse({"--window-size=1200,1600", "--screenshot=" + (dir_.path() / "shot.png").string()},
               "with/out.html");
    ASSERT_EQ(shot.status, 0) << shot.err;
    EXPECT_EQ(shot.err.find("CONSOLE"), std::string::npos) << shot.err;
    EXPECT_GE(DistinctPixels(dir_.Read("shot.png")), 50);
}

}  // namespace
}  // namespace tarnvale::testing

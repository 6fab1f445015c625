#include "network/input_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace tarnvale {
namespace {

TEST(ParseNumber, AcceptsWholeDecimalTokens) {
    EXPECT_EQ(ParseNumber("0.05"), 0.05);
    EXPECT_EQ(ParseNumber("1e-3"), 1e-3);
    EXPECT_EQ(ParseNumber("1E2"), 100.0);
    EXPECT_EQ(ParseNumber(".5"), 0.5);
    EXPECT_EQ(ParseNumber("5."), 5.0);
    EXPECT_EQ(ParseNumber("+0.5"), 0.5);
    EXPECT_EQ(ParseNumber("-2"), -2.0);
    const auto negativeZero = ParseNumber("-0");
    ASSERT_TRUE(negativeZero);
    EXPECT_TRUE(std::signbit(*negativeZero));
}

TEST(ParseNumber, RejectsTokensThatAreNotEntirelyANumber) {
    for (const char* token : {"", "+", "-", "+-1", "++1", "-+1", "0.05abc", "0,05", "0x1p3", "0x10",
                              "1p3", " 1", "1 ", "e5", "abc", "1e", "1e+", "."}) {
        EXPECT_FALSE(ParseNumber(token)) << '"' << token << '"';
    }
}

TEST(ParseNumber, ReadsInfinityAndNanForTheCallerToJudge) {
    EXPECT_EQ(ParseNumber("inf"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ParseNumber("-INFINITY"), -std::numeric_limits<double>::infinity());
    const auto nan = ParseNumber("nan");
    ASSERT_TRUE(nan);
    EXPECT_TRUE(std::isnan(*nan));
}

TEST(ParseNumber, OverflowGivesSignedInfinity) {
    bool underflowed = true;
    EXPECT_EQ(ParseNumber("1e400", &underflowed), std::numeric_limits<double>::infinity());
    EXPECT_FALSE(underflowed);
    EXPECT_EQ(ParseNumber("-1e400"), -std::numeric_limits<double>::infinity());
    // The leading digit's place, not the exponent alone, decides.
    EXPECT_EQ(ParseNumber("0.1e310"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ParseNumber("1e99999999999999999999"), std::numeric_limits<double>::infinity());
}

TEST(ParseNumber, UnderflowGivesSignedZeroAndSaysSo) {
    bool underflowed = false;
    EXPECT_EQ(ParseNumber("1e-400", &underflowed), 0.0);
    EXPECT_TRUE(underflowed);

    underflowed = false;
    const auto negative = ParseNumber("-1e-400", &underflowed);
    ASSERT_TRUE(negative);
    EXPECT_EQ(*negative, 0.0);
    EXPECT_TRUE(std::signbit(*negative));
    EXPECT_TRUE(underflowed);

    EXPECT_EQ(ParseNumber("1000e-330"), 0.0);
    EXPECT_EQ(ParseNumber("0.00001e-320"), 0.0);
    EXPECT_EQ(ParseNumber("1e-99999999999999999999"), 0.0);

    // A subnormal double is still a value.
    EXPECT_EQ(ParseNumber("1e-310", &underflowed), 1e-310);
    EXPECT_FALSE(underflowed);
}

std::string Report(int skips) {
    std::ostringstream out;
    SkipReporter reporter("net.sif", out);
    for (int line = 1; line <= skips; ++line) reporter.Skip(line * 2, "fewer than four fields");
    reporter.Finish();
    EXPECT_EQ(reporter.count(), skips);
    return out.str();
}

std::string Warnings(int count) {
    std::string text;
    for (int line = 1; line <= count; ++line)
        text += "Warning: net.sif:" + std::to_string(line * 2) +
                ": fewer than four fields; line skipped\n";
    return text;
}

TEST(SkipReporter, PrintsEveryWarningUpToTenAndNoTotal) {
    EXPECT_EQ(Report(0), "");
    EXPECT_EQ(Report(1), Warnings(1));
    EXPECT_EQ(Report(10), Warnings(10));
}

TEST(SkipReporter, PrintsTenWarningsThenTheTotal) {
    EXPECT_EQ(Report(11), Warnings(10) + "Warning: net.sif: 11 lines skipped in all\n");
    EXPECT_EQ(Report(25), Warnings(10) + "Warning: net.sif: 25 lines skipped in all\n");
}

// Every line the reader gives, with its number, as "number:text" items.
std::vector<std::string> Lines(const std::string& text) {
    std::istringstream in(text);
    LineReader reader(in);
    std::vector<std::string> lines;
    for (std::string line; reader.Next(line);)
        lines.push_back(std::to_string(reader.number()) + ":" + line);
    return lines;
}

TEST(LineReader, EveryLineEndGivesTheSameLinesAndNumbers) {
    using L = std::vector<std::string>;
    EXPECT_EQ(Lines("a b\nc\n"), (L{"1:a b", "2:c"}));
    EXPECT_EQ(Lines("a b\rc\r"), (L{"1:a b", "2:c\r"}));  // a last CR is left to trimming
    EXPECT_EQ(Lines("a b\rc"), (L{"1:a b", "2:c"}));
    // CR LF keeps its CR, as std::getline does, for callers that echo it.
    EXPECT_EQ(Lines("a b\r\nc\r\n"), (L{"1:a b\r", "2:c\r"}));
    EXPECT_EQ(Lines("a\r\rb\nc\r\nd\re"), (L{"1:a", "2:", "3:b", "4:c\r", "5:d", "6:e"}));
    EXPECT_EQ(Lines(""), L{});
    EXPECT_EQ(Lines("\n\n"), (L{"1:", "2:"}));
}

TEST(LineReader, DropsAByteOrderMarkOnlyAtTheStartOfTheFile) {
    using L = std::vector<std::string>;
    EXPECT_EQ(Lines("\xEF\xBB\xBF" "a\rb\xEF\xBB\xBF\n"), (L{"1:a", "2:b\xEF\xBB\xBF"}));
    EXPECT_EQ(Lines("x\n\xEF\xBB\xBF" "a"), (L{"1:x", "2:\xEF\xBB\xBF" "a"}));
    EXPECT_EQ(Lines("\xEF\xBB" "a\n"), (L{"1:\xEF\xBB" "a"}));  // not a whole mark
    EXPECT_EQ(Lines("\xEF\xBB\xBF"), (L{"1:"}));               // a mark alone is an empty line
}

// Reads text with the given block size and with one block for all: same
// lines and numbers, and the line before a refill is still intact after it.
// Returns how many lines came with a refill after the first.
int ExpectSameLinesWithBlock(const std::string& text, std::size_t block) {
    SCOPED_TRACE("block " + std::to_string(block) + ", text '" + Shown(text) + "'");
    std::istringstream in(text), reference(text);
    LineReader reader(in, block), whole(reference, text.size() + 1);
    std::string_view line, kept;
    std::string expected, keptCopy;
    int refills = 0;
    while (whole.Next(expected)) {
        EXPECT_TRUE(reader.Next(line));
        EXPECT_EQ(line, expected);
        EXPECT_EQ(reader.number(), whole.number());
        if (reader.refilled()) {
            EXPECT_EQ(kept, keptCopy);
            if (reader.number() > 1) ++refills;
        }
        kept = line;
        keptCopy = std::string(line);
    }
    EXPECT_FALSE(reader.Next(line));
    return refills;
}

// Lines longer than a block, lines split across blocks, CR LF pairs split
// between blocks and marks met late: tiny blocks read like one block.
TEST(LineReader, GivesTheSameLinesWhateverTheBlockSize) {
    std::vector<std::string> texts{"\xEF\xBB\xBF" "a\r\rbb\ncc\r\nd\re\r" + std::string(100, 'x') +
                                   "\n\nyz\rlast"};
    // And texts of line ends, mark bytes and letters in random order.
    std::uint32_t state = 7;
    auto next = [&] { return state = state * 1664525u + 1013904223u; };
    for (int t = 0; t < 300; ++t) {
        std::string text;
        for (std::size_t length = next() >> 27; text.size() < length;)
            text += "ab\r\n\xEF\xBB\xBF "[next() >> 29];
        texts.push_back(text);
    }
    EXPECT_GT(ExpectSameLinesWithBlock(texts.front(), 1), 0);
    for (const std::string& text : texts)
        for (std::size_t block : {1, 2, 3, 7, 64}) ExpectSameLinesWithBlock(text, block);
}

TEST(LineReader, StartsWhereTheStreamStands) {
    std::istringstream in("skip\nkeep\n");
    in.ignore(5);
    LineReader reader(in);
    std::string line;
    ASSERT_TRUE(reader.Next(line));
    EXPECT_EQ(line, "keep");
    EXPECT_FALSE(reader.Next(line));
}

TEST(Shown, EscapesControlBytesAndCutsLongTokens) {
    EXPECT_EQ(Shown("0.5"), "0.5");
    EXPECT_EQ(Shown(std::string_view("a\0b\x7f\x1b", 5)), "a\\x00b\\x7f\\x1b");
    EXPECT_EQ(Shown("caf\xC3\xA9"), "caf\xC3\xA9");  // UTF-8 stays readable
    const std::string shown = Shown(std::string(10'000'000, 'x'));
    EXPECT_EQ(shown, std::string(kMaxShown, 'x') + "...");
}

}  // namespace
}  // namespace tarnvale

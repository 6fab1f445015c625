// The manual page and --help describe the same command line.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

std::string ManPage() {
    std::ifstream in(std::string(TARNVALE_EXAMPLES) + "/../man/tarnvale.1");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The option names in a text: "--name" and "-x" as separate words.
std::set<std::string> Options(const std::string& text, const std::regex& pattern) {
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it)
        found.insert((*it)[1]);
    return found;
}

const std::regex kLong("(?:^|[^-\\w])(--[A-Za-z][A-Za-z_-]*)");
const std::regex kShort("(?:^|[\\s\\[,])(-[A-Za-z])\\b");

// Roff writes a minus sign as "\-" and switches fonts with "\fB" and friends.
std::string PlainRoff(std::string text) {
    text = std::regex_replace(text, std::regex("\\\\-"), "-");
    return std::regex_replace(text, std::regex("\\\\f[BIRP]"), "");
}

TEST(ManPage, NamesExactlyTheOptionsThatHelpNames) {
    const RunResult help = RunTarnvale({"--help"}, ".");
    ASSERT_EQ(help.status, 0);
    const std::string page = PlainRoff(ManPage());
    ASSERT_FALSE(page.empty()) << "man/tarnvale.1 not found";
    const auto helpLong = Options(help.out, kLong);
    EXPECT_GE(helpLong.size(), 17u);  // a pattern that finds nothing must not pass
    EXPECT_EQ(Options(page, kLong), helpLong);
    EXPECT_EQ(Options(page, kShort), Options(help.out, kShort));
}

TEST(ManPage, HasTheSectionsAManualNeeds) {
    const std::string page = ManPage();
    EXPECT_EQ(page.rfind(".TH TARNVALE 1 ", 0), 0u);
    for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "INPUT FILES",
                                "OUTPUT FILES", "STANDARD OUTPUT AND ERROR", "EXIT STATUS",
                                "EXAMPLES", "SEE ALSO"})
        EXPECT_NE(page.find(std::string("\n.SH \"") + section + "\"\n"), std::string::npos)
            << section;
}

}  // namespace
}  // namespace tarnvale::testing

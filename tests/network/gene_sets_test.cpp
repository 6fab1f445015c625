// Reading GMT gene-set files: what is kept, what is skipped and what is
// printed for it.

#include "network/gene_sets.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/run_error.hpp"

namespace tarnvale {
namespace {

using Texts = std::vector<std::string>;
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
    const std::vector<GeneSet> sets = ReadGeneSets(in, "s.gmt", out);
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].name, "GO:1");
    EXPECT_EQ(sets[0].description, "apoptosis");
    EXPECT_EQ(sets[0].members, (Texts{"TP53", "BAX"}));
    EXPECT_EQ(sets[1].name, "GO:2");
    EXPECT_EQ(sets[1].description, "two words");
    EXPECT_EQ(sets[1].members, (Texts{"A"}));
    EXPECT_EQ(sets[2].name, "GO:6");
    EXPECT_EQ(sets[2].members, (Texts{"Q", "R"}));
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
    std::ostringstream out;
    for (const char* text : {"", "\n \n", "GO:1 A B C\n", "GO:1\tdescription\n"}) {
        std::istringstream none(text);
        out.str("");
        try {
            ReadGeneSets(none, "none.gmt", out);
            ADD_FAILURE() << "no error for \"" << text << '"';
        } catch (const RunError& error) {
            EXPECT_STREQ(error.what(),
                         "\nError: none.gmt holds no gene set (lines of a name, a description "
                         "and members, separated by tabs)\n");
            EXPECT_EQ(error.status(), 1);
        }
    }
}

}  // namespace
}  // namespace tarnvale

#pragma once
// Gene-set files in the GMT form: one set per line, its name, a description
// and its members, tab-separated.

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace tarnvale {

struct GeneSet {
    std::string name;
    std::string description;
    std::vector<std::string> members;  // distinct, in file order
};

// Reads the sets of a GMT file, in file order. Each line is
// NAME<TAB>DESCRIPTION<TAB>MEMBER<TAB>MEMBER...; every field is trimmed of
// surrounding white space, and empty member fields (a trailing tab) are
// ignored. Empty lines are ignored. A line with fewer than three fields, an
// empty name, no member, a NUL byte, or a name an earlier line already gave
// (the first line of a name counts) is skipped with "Warning: FILE:LINE:
// REASON; line skipped" (SkipReporter: the first ten, then a total). A member
// listed twice in one set counts once; one warning at the end gives the
// number of such sets. Throws RunError (status 1) when no set is left.
// Compressed files are read through OpenInput like the other inputs, which
// turns a corrupt gzip stream into RunError as it is reached.
std::vector<GeneSet> ReadGeneSets(std::istream& in, const std::string& fileName, std::ostream& out);

}  // namespace tarnvale

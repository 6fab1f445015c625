#pragma once
// Reads STRING's links files as downloaded (protein.links,
// protein.links.detailed, protein.links.full, protein.physical.links and
// their detailed and full forms): a header line of column names, then one
// line per ordered pair of proteins with integer scores from 0 to 1000,
// separated by spaces; every pair is listed in both directions.

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "network/sif_reader.hpp"

namespace tarnvale {

// Whether a file's first line looks like a STRING links header: its first
// two column names are protein1 and protein2.
bool IsStringHeader(std::string_view line);

// What a STRING file gave.
struct StringCounts {
    std::int64_t lines = 0;         // lines after the header that are not blank
    std::int64_t below = 0;         // lines with a combined score below the least
    std::int64_t interactions = 0;  // edges added: one per pair of proteins
};

// Reads the header and then every line: one node per protein id, named as
// in the file, and one edge (type "pp", value 1) per unordered pair with a
// combined score of at least minScore * 1000 (minScore in [0, 1]), in the
// order of the pair's first line. A line with a number of fields other than
// the header's, a combined score that is not a whole number from 0 to 1000
// or a NUL byte is skipped with a warning naming fileName and the line; a
// protein paired with itself is counted in one warning. Prints a NOTE line
// saying what was read. Throws RunError (status 1) when the header has no
// combined_score column.
StringCounts ReadStringLinks(std::istream& in, const std::string& fileName, Graph& graph,
                             SifMaps maps, double minScore, std::ostream& out);

// Whether a line looks like a line of a STRING links file: two STRING
// protein ids (taxonomy id, dot, name), then only whole numbers from 0 to 1000.
bool LooksLikeStringLine(std::string_view line);

}  // namespace tarnvale

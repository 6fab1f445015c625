#pragma once
// Reads BioGRID's tab-delimited files as downloaded (TAB3, and TAB2, whose
// columns the reader needs carry the same names): a header line of column
// names starting "#BioGRID Interaction ID", then one row per reported
// interaction, tab-separated, "-" for an empty field.

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "network/sif_reader.hpp"

namespace tarnvale {

// Which of BioGRID's two experimental system types are read.
enum class BiogridTypes { physical, genetic, both };

// The option value of each: "physical", "genetic", "both".
const char* BiogridTypesName(BiogridTypes types);

// Whether a file's first line is a BioGRID header.
bool IsBiogridHeader(std::string_view line);

// What a BioGRID file gave.
struct BiogridCounts {
    std::int64_t rows = 0;          // rows after the header that are not blank
    std::int64_t otherType = 0;     // rows of the experimental system type not read
    std::int64_t interactions = 0;  // edges added: one per pair of genes
    std::string organism;           // the organism read (its NCBI taxonomy id)
};

// Reads the header and then every row whose Experimental System Type is one
// of `types`: one node per official symbol (Official Symbol Interactor A and
// B) and one edge (type "pp" for physical, "gi" for genetic rows, value 1)
// per unordered pair of genes, in the order of the pair's first row. Only the
// organism with the most such rows is read (the earlier one on a tie). A row
// whose two interactors belong to different organisms, a row of another
// organism, a row without an official symbol and a gene paired with itself
// are each counted in one warning naming fileName and the first such line; a
// row with too few fields, an unknown system type or a NUL byte is skipped
// with a warning of its own. Prints a NOTE line saying what was read. Throws
// RunError (status 1) naming the columns the header lacks.
BiogridCounts ReadBiogrid(std::istream& in, const std::string& fileName, Graph& graph, SifMaps maps,
                          BiogridTypes types, std::ostream& out);

// Whether a line looks like a row of a BioGRID file without its header: at
// least 24 tab-separated fields, the first a number.
bool LooksLikeBiogridLine(std::string_view line);

}  // namespace tarnvale

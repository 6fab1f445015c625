#pragma once
// The p-values file: identifier and p-value pairs, one per line.

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarnvale {

// The two columns of the p-values file, in file order, and the position of
// each identifier's first occurrence.
struct PValueTable {
    std::vector<std::string> ids;
    std::vector<float> values;
    // The natural logarithm of each value as read (-infinity for 0), which
    // keeps the order of values below the float and double ranges.
    std::vector<double> logValues;
    std::unordered_map<std::string, std::size_t> first;
};

// Reads identifier / p-value pairs separated by any white space. A value
// that is not a number, or lies outside [0, 1], is skipped with a warning
// naming fileName and its line, and reading resumes at the next line. Exact
// 1 and 0 become 0.9999 and 0.0001; a positive value too small for a float
// becomes the smallest positive float. An identifier given again with a
// different value is named in a warning (the first value counts). A line
// holding a NUL byte is skipped with a warning. Lines end at LF, CR LF or a
// lone CR.
PValueTable ReadPValues(std::istream& in, const std::string& fileName, std::ostream& out);

}  // namespace tarnvale

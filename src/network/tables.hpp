#pragma once
// Generic reading of delimited text tables.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnvale {

using Row = std::vector<std::string>;
using Matrix = std::vector<Row>;

// The white space around and between the fields of every input file: what
// formatted stream input skips. A carriage return left by a Windows line end
// is white space like the others.
inline constexpr std::string_view kFieldSpace = " \t\r\n\v\f";
constexpr bool IsFieldSpace(char c) { return kFieldSpace.find(c) != std::string_view::npos; }

// The words of a line: its pieces between runs of white space (kFieldSpace),
// as views into the line.
void SplitWords(std::string_view line, std::vector<std::string_view>& words);

// Text without its leading and trailing white space (kFieldSpace).
std::string trim(const std::string& text);
// The same, as a view into text.
std::string_view TrimView(std::string_view text);

// Splits a line at the delimiter (a single space when empty); every field is
// trimmed, and with a white-space delimiter (tab, space) runs of delimiters
// act as one, so empty fields vanish. A line whose trimmed text holds no
// delimiter is one field: the line itself, unchanged.
std::vector<std::string> SplitLine(const std::string& line, const std::string& delimiter);

// The column-th field of every row. Throws RunError (status 1) with
// "\nError:get_column:column index exceeds matrix size:giving up.." when the
// matrix is empty or a row is too short.
std::vector<std::string> get_column(const Matrix& matrix, std::size_t column);

}  // namespace tarnvale

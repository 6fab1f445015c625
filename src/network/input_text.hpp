#pragma once
// Helpers shared by the readers of user files: number parsing that does not
// depend on the process locale, and the "line skipped" warnings.

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace tarnvale {

// Parses a whole token as a decimal number (optional sign, digits, fraction,
// exponent; also "inf" and "nan") in the classic "C" syntax, independent of
// the locale. Returns nothing when the token is not entirely such a number
// (e.g. "0,05", "0.05abc", hexadecimal floats). A value too large for a
// double gives +-infinity; a non-zero value too small gives +-0 with
// *underflowed set.
std::optional<double> ParseNumber(std::string_view token, bool* underflowed = nullptr);

// Removes a UTF-8 byte-order mark from the start of a file's first line.
void StripByteOrderMark(std::string& firstLine);

// Reads a user's file line by line. A line ends at LF, at CR LF or at a lone
// CR (files saved by old Mac programs), so every line ending gives the same
// lines and line numbers. The CR of a CR LF pair stays at the end of its line,
// as std::getline leaves it; a lone CR is dropped. The first line loses a
// UTF-8 byte-order mark.
class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in) {}
    // The next line, or false at the end of the input.
    bool Next(std::string& line);
    // The 1-based number of the line that Next() gave last.
    std::int64_t number() const { return number_; }

private:
    std::istream& in_;
    std::string physical_;  // what std::getline gave, split further at lone CRs
    std::size_t pos_ = 0;   // start of the part of physical_ not yet given out
    bool pending_ = false;  // physical_ still holds lines after pos_
    std::int64_t number_ = 0;
};

// A token as a message shows it: control bytes as \xNN, and cut after
// kMaxShown bytes with "..." so that a runaway field cannot flood the output.
std::string Shown(std::string_view token);
inline constexpr std::size_t kMaxShown = 60;

// Prints "Warning: FILE:LINE: REASON; line skipped" for the first ten
// skipped lines of one file and counts all of them; Finish() prints the total
// when more than ten were skipped.
class SkipReporter {
public:
    SkipReporter(std::string fileName, std::ostream& out) : file_(std::move(fileName)), out_(out) {}
    void Skip(std::int64_t line, std::string_view reason);
    void Finish();
    std::int64_t count() const { return count_; }

    static constexpr std::int64_t kMaxPrinted = 10;

private:
    std::string file_;
    std::ostream& out_;
    std::int64_t count_ = 0;
};

}  // namespace tarnvale

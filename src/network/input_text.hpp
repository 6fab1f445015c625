#pragma once
// Helpers shared by the readers of user files: number parsing that does not
// depend on the process locale, and the "line skipped" warnings.

#include <cstdint>
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

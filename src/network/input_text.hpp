#pragma once
// Helpers shared by the readers of user files: number parsing that does not
// depend on the process locale, and the "line skipped" warnings.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnvale {

// Parses a whole token as a decimal number (optional sign, digits, fraction,
// exponent; also "inf" and "nan") in the classic "C" syntax, independent of
// the locale. Returns nothing when the token is not entirely such a number
// (e.g. "0,05", "0.05abc", hexadecimal floats). A value too large for a
// double gives +-infinity; a non-zero value too small gives +-0 with
// *underflowed set.
std::optional<double> ParseNumber(std::string_view token, bool* underflowed = nullptr);

// The natural logarithm of a positive decimal number token in the syntax of
// ParseNumber, also where the number lies below the double range (1e-5000):
// its significant digits and its decimal exponent are taken apart, so the
// order of such tokens is kept. Nothing for a token that is not a positive
// finite number.
std::optional<double> ParseLogNumber(std::string_view token);

// Whether a number that ParseNumber gave lies in [0, 1]. NaN does not, nor
// does a negative number too small for a double, which parses as -0.
inline bool InUnitInterval(double value, bool underflowed) {
    return value >= 0.0 && value <= 1.0 && !(underflowed && std::signbit(value));
}

// Reads a user's file line by line, from where the stream stands, in blocks.
// A line ends at LF, at CR LF or at a lone CR (files saved by old Mac
// programs), so every line ending gives the same lines and line numbers. The
// CR of a CR LF pair stays at the end of its line, as std::getline leaves it;
// a lone CR is dropped. The first line loses a UTF-8 byte-order mark.
class LineReader {
public:
    explicit LineReader(std::istream& in, std::size_t blockSize = kBlockSize)
        : in_(in),
          blockSize_(std::max<std::size_t>(blockSize, 1)),
          read_(std::min(kFirstRead, blockSize_)) {}
    // The next line, or false at the end of the input. The view points into
    // the reader's block: it stays valid until the next call, and when that
    // call reports refilled(), until the call after it.
    bool Next(std::string_view& line);
    // The same, copied.
    bool Next(std::string& line);
    // The 1-based number of the line that Next() gave last.
    std::int64_t number() const { return number_; }
    // Whether the last Next() read a new block. Views given out before it
    // are still valid now, and no longer after the following Next().
    bool refilled() const { return refilled_; }

    static constexpr std::size_t kBlockSize = std::size_t{1} << 18;
    static constexpr std::size_t kFirstRead = std::size_t{1} << 12;

private:
    bool NextPhysical();
    void Refill();

    std::istream& in_;
    std::size_t blockSize_;
    std::size_t read_;  // the size of the next read
    // Vectors, not strings: swapping them never moves the bytes, which a
    // short string's inline buffer would.
    std::vector<char> block_;     // the current block; text before pos_ is given out
    std::vector<char> previous_;  // the block before, kept for the views it backs
    std::size_t pos_ = 0;
    bool end_ = false;           // the stream has nothing more
    std::string_view physical_;  // what is left of the current LF-ended line
    bool pending_ = false;       // physical_ still holds lines
    bool refilled_ = false;
    std::int64_t number_ = 0;
};

// A token as a message shows it: control bytes as \xNN, and cut after
// kMaxShown bytes with "..." so that a runaway field cannot flood the output.
std::string Shown(std::string_view token);
inline constexpr std::size_t kMaxShown = 60;

// The lines that one summary warning names: the first kMaxListed by
// number, the rest only counted.
class LineList {
public:
    void Add(std::int64_t line) {
        if (count_++ < kMaxListed) lines_.push_back(line);
    }
    std::int64_t count() const { return count_; }
    // "line 3", "lines 1, 4, 9", or "lines 1, 2, 3, 4, 5 and 12 more".
    std::string Text() const;

    static constexpr std::int64_t kMaxListed = 5;

private:
    std::vector<std::int64_t> lines_;
    std::int64_t count_ = 0;
};

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

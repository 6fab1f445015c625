#include "network/input_text.hpp"

#include <charconv>
#include <cstddef>
#include <limits>
#include <system_error>

namespace tarnvale {

namespace {

// The power of ten of the leading digit of a decimal token that from_chars
// has already accepted whole, e.g. 2 for "123.4" and -3 for "0.00123e0".
// Only its sign matters: it tells an overflow from an underflow. The
// exponent saturates so that absurd exponents cannot overflow the sum.
long long DecimalMagnitude(std::string_view token) {
    std::size_t i = 0;
    if (i < token.size() && token[i] == '-') ++i;
    long long lead = 0;
    bool found = false;
    long long integerDigits = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
        if (found) {
            ++integerDigits;
        } else if (token[i] != '0') {
            found = true;
            integerDigits = 1;
        }
    }
    if (found) lead = integerDigits - 1;
    if (i < token.size() && token[i] == '.') {
        ++i;
        for (long long place = 1; i < token.size() && token[i] >= '0' && token[i] <= '9';
             ++i, ++place) {
            if (!found && token[i] != '0') {
                found = true;
                lead = -place;
            }
        }
    }
    long long exponent = 0;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
        for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i)
            if (exponent < 1'000'000'000) exponent = exponent * 10 + (token[i] - '0');
        if (negative) exponent = -exponent;
    }
    return lead + exponent;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view token, bool* underflowed) {
    if (underflowed != nullptr) *underflowed = false;
    // from_chars takes no '+'; allow exactly one, but not "+-1".
    if (!token.empty() && token.front() == '+') {
        token.remove_prefix(1);
        if (!token.empty() && (token.front() == '-' || token.front() == '+')) return std::nullopt;
    }
    if (token.empty()) return std::nullopt;
    const char* first = token.data();
    const char* last = first + token.size();
    double value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ptr != last) return std::nullopt;
    if (ec == std::errc()) return value;
    if (ec != std::errc::result_out_of_range) return std::nullopt;
    // from_chars leaves the value alone when it is out of range; decide which
    // way it fell off.
    const bool negative = token.front() == '-';
    if (DecimalMagnitude(token) >= 0)
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    if (underflowed != nullptr) *underflowed = true;
    return negative ? -0.0 : 0.0;
}

void StripByteOrderMark(std::string& firstLine) {
    if (firstLine.starts_with("\xEF\xBB\xBF")) firstLine.erase(0, 3);
}

void SkipReporter::Skip(std::int64_t line, std::string_view reason) {
    ++count_;
    if (count_ <= kMaxPrinted)
        out_ << "Warning: " << file_ << ':' << line << ": " << reason << "; line skipped\n";
}

void SkipReporter::Finish() {
    if (count_ > kMaxPrinted)
        out_ << "Warning: " << file_ << ": " << count_ << " lines skipped in all\n";
}

}  // namespace tarnvale

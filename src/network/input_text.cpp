#include "network/input_text.hpp"

#include <algorithm>
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

bool LineReader::Next(std::string& line) {
    if (!pending_) {
        if (!std::getline(in_, physical_)) return false;
        if (number_ == 0) StripByteOrderMark(physical_);
        pos_ = 0;
    }
    ++number_;
    // A CR at the very end is the first half of CR LF (or the file's last
    // byte); any earlier CR ends a line of its own.
    const std::size_t cr = physical_.find('\r', pos_);
    if (cr != std::string::npos && cr + 1 < physical_.size()) {
        line.assign(physical_, pos_, cr - pos_);
        pos_ = cr + 1;
        pending_ = true;
        return true;
    }
    if (pos_ == 0) {
        line.swap(physical_);
    } else {
        line.assign(physical_, pos_);
    }
    pending_ = false;
    return true;
}

std::string Shown(std::string_view token) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    const std::size_t length = std::min(token.size(), kMaxShown);
    shown.reserve(length + 3);
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(token[i]);
        if (byte < 0x20 || byte == 0x7f) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xf];
        } else {
            shown += token[i];
        }
    }
    if (token.size() > length) shown += "...";
    return shown;
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

#include "network/input_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
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

// Plain decimals such as "0.378" or "-12.5": at most 15 digits, so the
// digits as a whole number and the power of ten are both exact doubles, and
// one correctly rounded division gives exactly the nearest double, as a
// full conversion would. Anything else is left to the full conversion.
std::optional<double> PlainDecimal(std::string_view token) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = token.empty() || token.front() != '-' ? 0 : 1;
    std::uint64_t digits = 0;
    int count = 0, fraction = -1;
    for (; i < token.size(); ++i) {
        const char c = token[i];
        if (c >= '0' && c <= '9') {
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            if (fraction >= 0) ++fraction;
            if (++count > 15) return std::nullopt;
        } else if (c == '.' && fraction < 0) {
            fraction = 0;
        } else {
            return std::nullopt;
        }
    }
    if (count == 0) return std::nullopt;
    const double value = static_cast<double>(digits) / kPowers[fraction < 0 ? 0 : fraction];
    return token.front() == '-' ? -value : value;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view token, bool* underflowed) {
    if (underflowed != nullptr) *underflowed = false;
    if (const auto plain = PlainDecimal(token)) return plain;
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

std::optional<double> ParseLogNumber(std::string_view token) {
    const auto value = ParseNumber(token);
    if (!value || !(*value > 0.0) || !std::isfinite(*value)) {
        // Below the double range: zero from ParseNumber, positive as written.
        if (!value || *value != 0.0 || token.empty() || token.front() == '-') return std::nullopt;
    } else if (*value >= std::numeric_limits<double>::min()) {
        return std::log(*value);
    }
    // Significant digits (up to 18, the rest only counted) and the power of
    // ten that the last digit taken stands for.
    std::size_t i = token.front() == '+' ? 1 : 0;
    std::uint64_t digits = 0;
    int taken = 0;
    long long scale = 0;
    bool point = false;
    for (; i < token.size(); ++i) {
        const char c = token[i];
        if (c == '.') {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        if (digits == 0 && c == '0') {
            if (point) --scale;
            continue;
        }
        if (taken < 18) {
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            ++taken;
            if (point) --scale;
        } else if (!point) {
            ++scale;
        }
    }
    if (digits == 0) return std::nullopt;
    long long exponent = 0;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
        for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i)
            exponent = std::min(exponent * 10 + (token[i] - '0'), 1000000000000LL);
        if (negative) exponent = -exponent;
    }
    return std::log(static_cast<double>(digits)) +
           static_cast<double>(scale + exponent) * std::log(10.0);
}

void LineReader::Refill() {
    const std::size_t keep = block_.size() - pos_;
    // Reads start small and double up to the block size, so that a short
    // file costs little; a line longer than a block doubles the read too,
    // so that it is copied a bounded number of times however long it is.
    const std::size_t want = std::max(read_, keep);
    read_ = std::min(2 * read_, blockSize_);
    if (!refilled_) {
        // The old block moves aside, still backing the views given out;
        // the block before it is reused, since its views have expired.
        block_.swap(previous_);
        block_.assign(previous_.begin() + static_cast<std::ptrdiff_t>(pos_), previous_.end());
        refilled_ = true;
    } else {
        // A second refill in one call: the block holds only the line being
        // assembled, nothing has been given out of it.
        block_.erase(block_.begin(), block_.begin() + static_cast<std::ptrdiff_t>(pos_));
    }
    pos_ = 0;
    block_.resize(keep + want);
    std::streamsize got = 0;
    if (std::streambuf* buffer = in_.rdbuf(); buffer != nullptr)
        got = buffer->sgetn(block_.data() + keep, static_cast<std::streamsize>(want));
    if (got <= 0) {
        got = 0;
        end_ = true;
        in_.setstate(std::ios_base::eofbit);
    }
    block_.resize(keep + static_cast<std::size_t>(got));
}

bool LineReader::NextPhysical() {
    for (;;) {
        const std::string_view rest(block_.data() + pos_, block_.size() - pos_);
        const std::size_t lf = rest.find('\n');
        if (lf != std::string_view::npos || (end_ && !rest.empty())) {
            physical_ = rest.substr(0, lf);
            pos_ = lf == std::string_view::npos ? block_.size() : pos_ + lf + 1;
            if (number_ == 0 && physical_.starts_with("\xEF\xBB\xBF")) physical_.remove_prefix(3);
            return true;
        }
        if (end_) return false;
        Refill();
    }
}

bool LineReader::Next(std::string_view& line) {
    refilled_ = false;
    if (!pending_ && !NextPhysical()) return false;
    ++number_;
    // A CR at the very end is the first half of CR LF (or the file's last
    // byte); any earlier CR ends a line of its own.
    const std::size_t cr = physical_.find('\r');
    if (cr != std::string_view::npos && cr + 1 < physical_.size()) {
        line = physical_.substr(0, cr);
        physical_.remove_prefix(cr + 1);
        pending_ = true;
        return true;
    }
    line = physical_;
    pending_ = false;
    return true;
}

bool LineReader::Next(std::string& line) {
    std::string_view view;
    if (!Next(view)) return false;
    line.assign(view);
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

std::string LineList::Text() const {
    std::string text = count_ == 1 ? "line " : "lines ";
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(lines_[i]);
    }
    if (count_ > kMaxListed) text += " and " + std::to_string(count_ - kMaxListed) + " more";
    return text;
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

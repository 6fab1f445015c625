#pragma once
// An output stream that passes on only the lines a test lets through, for a
// quiet standard output.

#include <functional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace tarnvale {

class LineFilter : public std::streambuf {
public:
    // Lines for which keep(line) is true go to `target`, each with its line
    // end; the rest are dropped. A last line without a line end is judged at
    // Finish() or destruction.
    LineFilter(std::ostream& target, std::function<bool(std::string_view)> keep)
        : target_(target), keep_(std::move(keep)) {}
    ~LineFilter() override { Finish(); }

    void Finish() {
        if (!line_.empty() && keep_(line_)) target_ << line_;
        line_.clear();
    }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        if (c == '\n') {
            if (keep_(line_)) target_ << line_ << '\n';
            line_.clear();
        } else {
            line_.push_back(static_cast<char>(c));
        }
        return c;
    }
    int sync() override {
        target_.flush();
        return target_ ? 0 : -1;
    }

private:
    std::ostream& target_;
    std::function<bool(std::string_view)> keep_;
    std::string line_;
};

}  // namespace tarnvale

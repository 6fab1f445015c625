#include "network/tables.hpp"

#include "base/run_error.hpp"

namespace tarnvale {

std::string_view TrimView(std::string_view text) {
    const auto first = text.find_first_not_of(kFieldSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kFieldSpace) - first + 1);
}

void SplitWords(std::string_view line, std::vector<std::string_view>& words) {
    words.clear();
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && IsFieldSpace(line[pos])) ++pos;
        const std::size_t begin = pos;
        while (pos < line.size() && !IsFieldSpace(line[pos])) ++pos;
        if (pos > begin) words.push_back(line.substr(begin, pos - begin));
    }
}

std::string trim(const std::string& text) { return std::string(TrimView(text)); }

std::vector<std::string> SplitLine(const std::string& line, const std::string& delimiter) {
    const std::string_view delim = delimiter.empty() ? std::string_view(" ") : delimiter;
    std::string_view rest = TrimView(line);
    if (rest.find(delim) == std::string_view::npos) return {line};

    // Trimming what is left before each cut is what makes runs of tabs or
    // spaces act as one separator when the delimiter is itself white space.
    std::vector<std::string> fields;
    for (auto cut = rest.find(delim); cut != std::string_view::npos; cut = rest.find(delim)) {
        fields.emplace_back(TrimView(rest.substr(0, cut)));
        rest = TrimView(rest.substr(cut + delim.size()));
    }
    fields.emplace_back(rest);
    return fields;
}

std::vector<std::string> get_column(const Matrix& matrix, std::size_t column) {
    static constexpr const char* kTooShort =
        "\nError:get_column:column index exceeds matrix size:giving up..";
    if (matrix.empty()) throw RunError(kTooShort, 1);
    std::vector<std::string> values;
    values.reserve(matrix.size());
    for (const Row& row : matrix) {
        // Every row is checked, not only the first, so a short later row
        // stops the run the same way instead of reading past its end.
        if (row.size() <= column) throw RunError(kTooShort, 1);
        values.push_back(row[column]);
    }
    return values;
}

}  // namespace tarnvale

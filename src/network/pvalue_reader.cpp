#include "network/pvalue_reader.hpp"

#include <bit>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string_view>

#include "network/input_text.hpp"
#include "network/tables.hpp"

namespace tarnvale {
namespace {

// Splits a line into its tokens (views into the line). A line holding a tab
// is split at tabs, each field trimmed, so that an identifier with a space in
// it (spreadsheets turn SEPT1 into "Sep 01") stays one token, as it does in
// the association file; other lines are split at any white space.
void Tokens(std::string_view line, std::vector<std::string_view>& tokens) {
    tokens.clear();
    if (line.find('\t') != std::string_view::npos) {
        std::size_t start = 0;
        while (start <= line.size()) {
            std::size_t end = line.find('\t', start);
            if (end == std::string_view::npos) end = line.size();
            const std::string_view field = TrimView(line.substr(start, end - start));
            if (!field.empty()) tokens.push_back(field);
            start = end + 1;
        }
        return;
    }
    SplitWords(line, tokens);
}

// Why a line of one field is no record: a CSV line, or an identifier
// without its value.
std::string LoneFieldReason(std::string_view line, std::string_view field) {
    std::size_t first = 0;
    while (first < line.size() && IsFieldSpace(line[first])) ++first;
    if (first < line.size() && line[first] == '"' && line.find(',') != std::string_view::npos)
        return "is a quoted CSV line; save the file as tab-delimited text";
    // Built by appending: prepending a literal to a temporary string makes
    // GCC 12's optimiser warn of an overlapping copy that cannot happen.
    const bool comma = field.find(',') != std::string_view::npos;
    std::string reason = comma ? "'" : "identifier '";
    reason += Shown(field);
    reason += comma ? "' is comma-separated (CSV); save the file as tab-delimited text"
                    : "' has no p-value";
    return reason;
}

}  // namespace

PValueTable ReadPValues(std::istream& in, const std::string& fileName, std::ostream& out) {
    PValueTable table;
    SkipReporter skips(fileName, out);
    std::string line;
    std::vector<std::string_view> tokens;
    std::vector<std::int64_t> lineOfFirst;  // per entry of table.ids
    std::int64_t wide = 0;                  // lines with more than two fields
    LineList floored;                       // p-values below the float range

    // Each line is one record: an identifier and its p-value.
    LineReader lines(in);
    while (lines.Next(line)) {
        const std::int64_t lineNo = lines.number();
        if (line.find('\0') != std::string::npos) {
            // Binary data, not identifiers and numbers.
            skips.Skip(lineNo, "holds a NUL byte, which no text line has");
            continue;
        }
        Tokens(line, tokens);
        if (tokens.empty()) continue;
        if (tokens.size() == 1) {
            skips.Skip(lineNo, LoneFieldReason(line, tokens[0]));
            continue;
        }
        wide += tokens.size() > 2;
        const std::string_view id = tokens[0];
        const std::string_view token = tokens[1];
        bool underflowed = false;
        const auto value = ParseNumber(token, &underflowed);
        if (!value) {
            skips.Skip(lineNo,
                       "p-value '" + Shown(token) + "' of '" + Shown(id) + "' is not a number");
            continue;
        }
        if (!InUnitInterval(*value, underflowed)) {
            skips.Skip(lineNo,
                       "p-value " + Shown(token) + " of '" + Shown(id) + "' lies outside [0, 1]");
            continue;
        }
        auto p = static_cast<float>(*value);
        // A p-value below the float range must still count as smaller
        // than every representable one, not as the clamped 0; such values
        // tie in their z-scores (not in their ranks), which the user is told.
        if (p == 0.0f && (*value > 0.0 || underflowed)) {
            p = std::numeric_limits<float>::denorm_min();
            floored.Add(lineNo);
        }
        if (p == 1.0f) p = 0.9999f;
        if (p == 0.0f) p = 0.0001f;
        const auto [first, added] = table.first.emplace(std::string(id), table.ids.size());
        // The first occurrence counts; a later, different value is most
        // likely a mistake in the file and is named, not silently dropped.
        if (!added && table.values[first->second] != p) {
            std::ostringstream reason;
            reason << "identifier '" << Shown(id) << "' already has the p-value "
                   << table.values[first->second] << " of line " << lineOfFirst[first->second]
                   << ", not " << Shown(token);
            skips.Skip(lineNo, reason.str());
        }
        table.ids.emplace_back(id);
        table.values.push_back(p);
        table.logValues.push_back(
            ParseLogNumber(token).value_or(-std::numeric_limits<double>::infinity()));
        lineOfFirst.push_back(lineNo);
    }
    skips.Finish();
    if (wide > 0)
        out << "Warning: " << fileName << ": " << wide << (wide == 1 ? " line has" : " lines have")
            << " more than two fields; only the first two are read\n";
    if (const std::int64_t n = floored.count(); n > 0) {
        const float least = std::numeric_limits<float>::denorm_min();
        out << "Warning: " << fileName << ": " << n << (n == 1 ? " p-value (" : " p-values (")
            << floored.Text() << (n == 1 ? ") lies below " : ") lie below ") << least
            << ", the smallest p-value held, and " << (n == 1 ? "is" : "are") << " read as "
            << least
            << (n == 1 ? " for its z-score (--node-scores rank ranks it as written)\n"
                       : ", so their z-scores tie (--node-scores rank ranks them as written)\n");
    }
    return table;
}

}  // namespace tarnvale

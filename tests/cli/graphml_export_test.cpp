// The GraphML export's text, which any XML reader must accept whatever bytes
// a name holds. The file as a whole (ranked groups, labels with markup,
// stability) is read back by networkx end to end.

#include "cli/graphml_export.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tarnvale {
namespace {

TEST(GraphmlExport, TextIsEscapedAndAlwaysValidXml) {
    const std::string replacement = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"a&b<c>\"d'e", "a&amp;b&lt;c&gt;&quot;d&apos;e"},
        {"M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\xA7\xAC",
         "M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\xA7\xAC"},
        {"tab\tand\nline", "tab\tand\nline"},
        {"M\xFCller", "M" + replacement + "ller"},  // Latin-1
        {"a\x01"
         "b\rc",
         "a" + replacement + "b" + replacement + "c"},              // control bytes
        {"\xC0\xAF", replacement + replacement},                    // overlong '/'
        {"\xED\xA0\x80", replacement + replacement + replacement},  // a UTF-16 surrogate
        {"\xEF\xBF\xBE", replacement + replacement + replacement},  // U+FFFE
        {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement},
        {"cut \xE2\x82", "cut " + replacement + replacement},
    };
    for (const auto& [text, xml] : cases) EXPECT_EQ(XmlText(text), xml) << text;
}

}  // namespace
}  // namespace tarnvale

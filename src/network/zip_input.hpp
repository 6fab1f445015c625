#pragma once
// Reading the one file inside a zip archive (BioGRID's downloads come as
// .zip) as if it were the file itself, through libarchive.

#include <istream>
#include <memory>
#include <string>
#include <string_view>

namespace tarnvale {

// Whether a file that begins with these bytes is a zip archive: a local file
// header "PK\3\4", or the end record "PK\5\6" that an empty archive starts with.
bool IsZipStart(std::string_view head);

// A stream of the text of the only file in the zip archive `archive` (which
// must outlive the stream and is read from its start); directories and the
// "__MACOSX/" entries that Finder adds are not counted. The stream rewinds
// to its start (seekg(0)). Throws RunError (status 1) naming fileName when
// the archive holds no file or several (naming them), or, as soon as it is
// reached, when its data are corrupt, truncated or encrypted.
std::unique_ptr<std::istream> ZipInput(std::istream& archive, const std::string& fileName);

// The name of the file inside, for messages: "" before the stream is made
// or when `in` is not a stream made by ZipInput.
std::string ZipMemberName(const std::istream& in);

}  // namespace tarnvale

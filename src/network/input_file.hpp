#pragma once
// Opening the user's input files: plain or gzip-compressed, seekable or not.

#include <cstddef>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

namespace tarnvale {

// What the first bytes of a file say it holds.
enum class InputFormat { text, gzip, utf16, zip, xz, bzip2, zstd };

// The format of a file, or of the text a gzip file decompresses to, that
// begins with `head`; its first kFormatHead bytes decide. Anything without
// a known signature is text.
InputFormat DetectFormat(std::string_view head);
inline constexpr std::size_t kFormatHead = 10;

// A stream of the decompressed text of `compressed`, which it owns and reads
// from its start. Concatenated gzip members read as one text. The stream
// rewinds to its start (seekg(0)) when `compressed` can. Zero bytes after the
// last member (padding that some tools add) end the text, as gzip reads them.
// A corrupt or truncated stream throws RunError (status 1) naming fileName as
// soon as the bad part is reached, so no reader ever takes part of a file for
// the whole.
std::unique_ptr<std::istream> GzipInput(std::unique_ptr<std::istream> compressed,
                                        const std::string& fileName);

// Opens a user's input file for reading from its start, or throws RunError
// (status 1) when it cannot be opened, is encoded in UTF-16, or is
// compressed other than once with gzip (zip, xz, bzip2, zstd, gzip twice),
// plainly or inside gzip. The readers rewind their stream, so input that
// cannot seek (a pipe, a process substitution) is read into memory first.
// Formats are known by their first bytes, whatever the name; a gzip file is
// read decompressed. With allowZip a zip archive is handed out as it is, for
// a reader that reads the file inside (the network's, see zip_input.hpp).
std::unique_ptr<std::istream> OpenInput(const std::string& name, bool allowZip = false);

}  // namespace tarnvale

#pragma once
// Opening the user's input files: plain or gzip-compressed, seekable or not.

#include <istream>
#include <memory>
#include <string>
#include <string_view>

namespace tarnvale {

// Whether a file that begins with these bytes is gzip-compressed (1f 8b).
bool IsGzipStart(std::string_view head);

// A stream of the decompressed text of `compressed`, which it owns and reads
// from its start. Concatenated gzip members read as one text. The stream
// rewinds to its start (seekg(0)) when `compressed` can. A corrupt or
// truncated stream throws RunError (status 1) naming fileName as soon as the
// bad part is reached, so no reader ever takes part of a file for the whole.
std::unique_ptr<std::istream> GzipInput(std::unique_ptr<std::istream> compressed,
                                        const std::string& fileName);

// Opens a user's input file for reading from its start, or throws RunError
// (status 1) when it cannot be opened or is encoded in UTF-16. The readers
// rewind their stream, so input that cannot seek (a pipe, a process
// substitution) is read into memory first. Compressed files are known by
// their first bytes, whatever their name, and read decompressed.
std::unique_ptr<std::istream> OpenInput(const std::string& name);

}  // namespace tarnvale

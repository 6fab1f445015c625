#pragma once
// A report file that appears under its name only once it is complete: it is
// written to a temporary file in the same directory and renamed into place.
// While the temporary file exists, the signals that end a run are held back
// (SignalHold), so an interrupted run leaves neither a half-written report
// nor a stray temporary file. Writing a report takes a moment, so the delay
// is short.

#include <fstream>
#include <optional>
#include <string>

#include "cli/signal_hold.hpp"

namespace tarnvale {

class AtomicOutputFile {
public:
    AtomicOutputFile() = default;
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;
    // Removes the temporary file if Commit() did not succeed.
    ~AtomicOutputFile();

    // Opens the temporary file beside `path`; false when it cannot be made,
    // with the reason in openError().
    bool Open(const std::string& path);
    const std::string& openError() const { return openError_; }
    std::ostream& stream() { return stream_; }
    // Flushes and closes the temporary file and renames it to the final
    // name. On any failure removes it and returns false with the reason.
    bool Commit(std::string& error);

private:
    void Discard();

    std::string path_;
    std::string temporary_;
    std::string openError_;
    std::ofstream stream_;
    bool open_ = false;
    std::optional<SignalHold> hold_;  // while the temporary file exists
};

}  // namespace tarnvale

#pragma once
// Output files that appear under their name only once they are complete.
//
// Each is written to a temporary file of its own beside the final name,
// created exclusively (never through a planted link, never shared with
// another process, whatever its pid), and renamed into place. A file it
// replaces keeps its permission bits; an existing file that its owner
// made read-only, or that this user may not write, is refused. While the
// temporary file exists the signals that end a process are held back
// (SignalHold), so an interrupted run leaves neither a half-written file
// nor a stray temporary one.

#include <sys/types.h>

#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "base/signal_hold.hpp"

namespace tarnvale {

class AtomicOutputFile {
public:
    AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;
    // Removes the temporary file if Commit() did not succeed.
    ~AtomicOutputFile();

    // Creates the temporary file beside `path`; false when it cannot be made
    // or `path` may not be replaced, with the reason in openError().
    bool Open(const std::string& path);
    const std::string& openError() const { return openError_; }
    std::ostream& stream() { return stream_; }
    // The temporary file's descriptor, for a child process that writes it.
    int fd() const { return fd_; }
    // The held signals, for a caller that waits while holding them.
    SignalHold& hold() { return *hold_; }
    // Flushes and closes the temporary file and renames it to the final
    // name. On any failure removes it and returns false with the reason
    // (the system's own, such as "No space left on device").
    bool Commit(std::string& error);
    // Removes the temporary file now.
    void Discard();

private:
    class Buffer;

    std::string path_;
    std::string temporary_;
    std::string openError_;
    int fd_ = -1;
    mode_t mode_ = 0;
    std::unique_ptr<Buffer> buffer_;
    std::ostream stream_;
    std::optional<SignalHold> hold_;  // while the temporary file exists
};

// The name of a temporary file beside `path`: "PATH.tmp.XXXXXX", the final
// name cut short where needed so that the whole stays within NAME_MAX.
std::string TemporaryTemplate(const std::string& path);

// Why `path` may not be replaced by this user, or nothing when it may (or
// does not exist yet).
std::optional<std::string> RefusalToReplace(const std::string& path);

// Throws RunError (status 1) naming both files when one of `outputs` is
// the same file as one of `inputs` (same device and inode, whatever the
// names); outputs that do not exist yet are fine.
void RefuseInputsAsOutputs(const std::vector<std::string>& inputs,
                           const std::vector<std::string>& outputs);

// Throws RunError (status 1) naming the file when one of `outputs` could not
// be written: its name is too long for its folder, the folder does not exist
// or may not be written, or the file is write-protected. Each is tried as the
// writing would (a temporary file made beside it and removed at once), so
// that no work is done for an output that would be refused at the end.
void RefuseUnwritableOutputs(const std::vector<std::string>& outputs);

}  // namespace tarnvale

#pragma once
// The one exception type of the program: a routine that must stop the run
// throws it with the text the user is to see and the exit status; main prints
// the text and returns the status.

#include <stdexcept>
#include <string>

namespace tarnvale {

class RunError : public std::runtime_error {
public:
    enum class Stream { out, err };

    // message is printed exactly as given (it carries its own line ends).
    RunError(std::string message, int status, Stream stream = Stream::out)
        : std::runtime_error(std::move(message)), status_(status), stream_(stream) {}

    int status() const { return status_; }
    Stream stream() const { return stream_; }

private:
    int status_;
    Stream stream_;
};

}  // namespace tarnvale

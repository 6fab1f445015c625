#include "base/output_file.hpp"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/run_error.hpp"

namespace tarnvale {

// A stream buffer writing straight to the temporary file's descriptor, so
// that the file written is the one created exclusively, and a failed write
// keeps the system's reason.
class AtomicOutputFile::Buffer : public std::streambuf {
public:
    explicit Buffer(int fd) : fd_(fd) { setp(data_.data(), data_.data() + data_.size()); }
    // 0 while every write succeeded, else the errno of the first failure.
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const char* from = pbase();
        while (error_ == 0 && from < pptr()) {
            const ssize_t wrote = ::write(fd_, from, static_cast<std::size_t>(pptr() - from));
            if (wrote > 0)
                from += wrote;
            else if (wrote < 0 && errno != EINTR)
                error_ = errno;
        }
        setp(data_.data(), data_.data() + data_.size());
        return error_ == 0;
    }

    int fd_;
    int error_ = 0;
    std::array<char, 1 << 16> data_{};
};

AtomicOutputFile::AtomicOutputFile() : stream_(nullptr) {}

AtomicOutputFile::~AtomicOutputFile() { Discard(); }

std::string TemporaryTemplate(const std::string& path) {
    const std::filesystem::path whole(path);
    std::string name = whole.filename().string();
    const std::string suffix = ".tmp.XXXXXX";
    if (name.size() + suffix.size() > NAME_MAX) name.resize(NAME_MAX - suffix.size());
    return (whole.parent_path() / (name + suffix)).string();
}

std::optional<std::string> RefusalToReplace(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    // No write bit at all is the owner's "keep this", which holds for every
    // user alike, the superuser too (for whom access() always says yes).
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)
        return std::string("the existing file is write-protected; it is not replaced");
    return std::nullopt;
}

bool AtomicOutputFile::Open(const std::string& path) {
    Discard();
    hold_.emplace();
    path_ = path;
    if (const auto refusal = RefusalToReplace(path)) {
        openError_ = *refusal;
        hold_.reset();
        errno = EACCES;
        return false;
    }
    // A replaced file keeps its permission bits; a new one gets those the
    // umask allows, as a plainly created file would.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode_ = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode_ = 0666 & ~mask;
    }
    std::string name = TemporaryTemplate(path);
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        const int openErrno = errno;
        openError_ = std::strerror(openErrno);
        hold_.reset();
        errno = openErrno;  // callers may still read it
        return false;
    }
    temporary_ = name;
    openError_.clear();
    buffer_ = std::make_unique<Buffer>(fd_);
    stream_.rdbuf(buffer_.get());
    stream_.clear();
    return true;
}

bool AtomicOutputFile::Commit(std::string& error) {
    if (fd_ < 0) {
        error = "the file is not open";
        return false;
    }
    stream_.flush();
    int failure = buffer_->error();
    if (failure == 0 && !stream_.good()) failure = EIO;
    if (failure == 0 && ::fchmod(fd_, mode_) != 0) failure = errno;
    if (::close(fd_) != 0 && failure == 0) failure = errno;
    fd_ = -1;
    if (failure == 0 && std::rename(temporary_.c_str(), path_.c_str()) != 0) failure = errno;
    if (failure != 0) {
        error = std::strerror(failure);
        Discard();
        return false;
    }
    temporary_.clear();
    stream_.rdbuf(nullptr);
    buffer_.reset();
    hold_.reset();  // a held signal strikes here, with the file in place
    return true;
}

void AtomicOutputFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    stream_.rdbuf(nullptr);
    buffer_.reset();
    hold_.reset();
}

void RefuseUnwritableOutputs(const std::vector<std::string>& outputs) {
    for (const std::string& output : outputs) {
        const std::filesystem::path path(output);
        const std::filesystem::path folder =
            path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
        const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
        std::string reason;
        std::error_code error;
        if (nameMax > 0 && path.filename().string().size() > static_cast<std::size_t>(nameMax)) {
            reason = "its name is longer than the " + std::to_string(nameMax) +
                     " bytes a file name may have there";
        } else if (std::filesystem::is_directory(path, error)) {
            reason = "it is a folder";
        } else {
            AtomicOutputFile trial;
            if (!trial.Open(output)) reason = trial.openError();
            trial.Discard();
        }
        if (!reason.empty())
            throw RunError(
                "\nWarning: File opening (for write) failed. Check name of the file(/s)\n"
                "Error: cannot write the output file " +
                    output + ": " + reason + "; no run was made\n",
                1);
    }
}

void RefuseInputsAsOutputs(const std::vector<std::string>& inputs,
                           const std::vector<std::string>& outputs) {
    for (const std::string& output : outputs) {
        struct stat out {};
        if (::stat(output.c_str(), &out) != 0) continue;
        for (const std::string& input : inputs) {
            struct stat in {};
            if (::stat(input.c_str(), &in) != 0) continue;
            if (in.st_dev == out.st_dev && in.st_ino == out.st_ino)
                throw RunError("\nError: the output file " + output + " is the input file " +
                                   input + "; choose another output name\n",
                               1);
        }
    }
}

}  // namespace tarnvale

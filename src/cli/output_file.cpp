#include "cli/output_file.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarnvale {

AtomicOutputFile::~AtomicOutputFile() { Discard(); }

bool AtomicOutputFile::Open(const std::string& path) {
    Discard();
    hold_.emplace();
    path_ = path;
    temporary_ = path + ".tmp." + std::to_string(::getpid());
    stream_.clear();
    errno = 0;
    stream_.open(temporary_, std::ios::out | std::ios::trunc | std::ios::binary);
    open_ = stream_.is_open();
    const int openErrno = errno;
    openError_ = open_ ? "" : openErrno != 0 ? std::strerror(openErrno) : "cannot be opened";
    if (!open_) hold_.reset();
    errno = openErrno;  // callers may still read it
    return open_;
}

bool AtomicOutputFile::Commit(std::string& error) {
    errno = 0;
    stream_.flush();
    const bool written = stream_.good();
    const int writeErrno = errno;
    stream_.close();
    if (!written || stream_.fail()) {
        error = writeErrno != 0 ? std::strerror(writeErrno) : "write error";
        Discard();
        return false;
    }
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error = std::strerror(errno);
        Discard();
        return false;
    }
    open_ = false;
    hold_.reset();  // a held signal strikes here, with the report in place
    return true;
}

void AtomicOutputFile::Discard() {
    if (open_) {
        if (stream_.is_open()) stream_.close();
        std::remove(temporary_.c_str());
        open_ = false;
    }
    hold_.reset();
}

}  // namespace tarnvale

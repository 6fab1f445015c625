#include "network/zip_input.hpp"

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <exception>
#include <new>
#include <streambuf>
#include <utility>
#include <vector>

#include "base/run_error.hpp"

namespace tarnvale {

namespace {

// Finder's copies of resource forks, which a zip made on a Mac carries
// beside the real files, all in one folder.
bool IsSideEntry(std::string_view path) { return path.starts_with("__MACOSX/"); }

// Inflates the archive's only file block by block into its get area.
class ZipBuffer : public std::streambuf {
public:
    ZipBuffer(std::istream& source, std::string fileName)
        : source_(source), fileName_(std::move(fileName)), input_(kBlock), output_(kBlock) {
        // A constructor that throws runs no destructor: the archive is
        // freed here then.
        try {
            Begin();
        } catch (...) {
            Close();
            throw;
        }
    }
    ~ZipBuffer() override { Close(); }
    ZipBuffer(const ZipBuffer&) = delete;
    ZipBuffer& operator=(const ZipBuffer&) = delete;

    const std::string& member() const { return member_; }

private:
    void Begin() {
        // Every file first, so that an archive of several is refused before
        // any of it is read; then back to the start for the one.
        std::vector<std::string> files;
        Open();
        for (archive_entry* entry; NextFile(entry);) {
            files.emplace_back(
                archive_entry_pathname(entry) != nullptr ? archive_entry_pathname(entry) : "");
            if (archive_read_data_skip(archive_) != ARCHIVE_OK) Fail();
        }
        if (files.empty()) Fail("it holds no file");
        if (files.size() > 1) {
            std::string list;
            for (std::size_t i = 0; i < files.size() && i < kListed; ++i)
                list += (i > 0 ? ", " : "") + files[i];
            if (files.size() > kListed) list += ", ...";
            throw RunError("\nError: " + fileName_ + " holds " + std::to_string(files.size()) +
                               " files (" + list +
                               "); unpack the one to read, e.g. with unzip -p " + fileName_ +
                               " NAME > NAME\n",
                           1);
        }
        member_ = files.front();
        Start();
    }

protected:
    int_type underflow() override {
        if (gptr() == egptr()) {
            const la_ssize_t got = archive_read_data(archive_, output_.data(), output_.size());
            Rethrow();
            if (got < 0) Fail();
            setg(output_.data(), output_.data(), output_.data() + got);
            if (got == 0) return traits_type::eof();
        }
        return traits_type::to_int_type(*gptr());
    }

    // Only a rewind to the start is possible.
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        if (off != 0 || dir != std::ios_base::beg) return pos_type(off_type(-1));
        Start();
        return pos_type(0);
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
        if (pos != pos_type(0)) return pos_type(off_type(-1));
        Start();
        return pos_type(0);
    }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 18;
    static constexpr std::size_t kListed = 5;

    [[noreturn]] void Fail(std::string what = "") {
        if (what.empty()) {
            const char* said = archive_ != nullptr ? archive_error_string(archive_) : nullptr;
            what = said != nullptr ? said : "corrupt or truncated data";
        }
        throw RunError("\nError: " + fileName_ + " is not a valid zip file: " + what + "\n", 1);
    }

    // An exception that a callback caught on its way through libarchive's C
    // code goes on from here.
    void Rethrow() {
        if (caught_) std::rethrow_exception(std::exchange(caught_, nullptr));
    }

    void Close() {
        if (archive_ != nullptr) archive_read_free(archive_);
        archive_ = nullptr;
    }

    // Opens the archive from the start of the source.
    void Open() {
        Close();
        source_.clear();
        source_.seekg(0);
        if (!source_) Fail("it cannot be read from its start");
        archive_ = archive_read_new();
        if (archive_ == nullptr) throw std::bad_alloc();
        archive_read_support_format_zip(archive_);
        archive_read_set_callback_data(archive_, this);
        archive_read_set_read_callback(archive_, &ZipBuffer::Read);
        // The central directory at the end lists the entries reliably, also
        // those whose sizes follow their data; it needs a seekable source.
        if (source_.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in) !=
            pos_type(off_type(-1)))
            archive_read_set_seek_callback(archive_, &ZipBuffer::Seek);
        const int status = archive_read_open1(archive_);
        Rethrow();
        if (status != ARCHIVE_OK) Fail();
    }

    // The next entry that is a file of its own; false after the last.
    bool NextFile(archive_entry*& entry) {
        for (;;) {
            const int status = archive_read_next_header(archive_, &entry);
            Rethrow();
            if (status == ARCHIVE_EOF) return false;
            if (status != ARCHIVE_OK && status != ARCHIVE_WARN) Fail();
            const char* path = archive_entry_pathname(entry);
            if (archive_entry_filetype(entry) == AE_IFREG &&
                !IsSideEntry(path != nullptr ? path : ""))
                return true;
        }
    }

    // Opens the archive again at the start of its file.
    void Start() {
        Open();
        archive_entry* entry = nullptr;
        if (!NextFile(entry)) Fail("its file has gone");
        setg(output_.data(), output_.data(), output_.data());
    }

    static la_ssize_t Read(archive* a, void* self, const void** buffer) {
        auto& zip = *static_cast<ZipBuffer*>(self);
        try {
            const std::streamsize got = zip.source_.rdbuf()->sgetn(
                zip.input_.data(), static_cast<std::streamsize>(zip.input_.size()));
            *buffer = zip.input_.data();
            return got > 0 ? static_cast<la_ssize_t>(got) : 0;
        } catch (...) {
            zip.caught_ = std::current_exception();
            archive_set_error(a, ARCHIVE_FATAL, "reading failed");
            return -1;
        }
    }

    static la_int64_t Seek(archive* a, void* self, la_int64_t offset, int whence) {
        auto& zip = *static_cast<ZipBuffer*>(self);
        try {
            const auto dir = whence == SEEK_SET   ? std::ios_base::beg
                             : whence == SEEK_CUR ? std::ios_base::cur
                                                  : std::ios_base::end;
            const pos_type at = zip.source_.rdbuf()->pubseekoff(offset, dir, std::ios_base::in);
            if (at == pos_type(off_type(-1))) {
                archive_set_error(a, ARCHIVE_FATAL, "cannot seek");
                return ARCHIVE_FATAL;
            }
            return static_cast<la_int64_t>(at);
        } catch (...) {
            zip.caught_ = std::current_exception();
            archive_set_error(a, ARCHIVE_FATAL, "seeking failed");
            return ARCHIVE_FATAL;
        }
    }

    std::istream& source_;
    std::string fileName_;
    std::string member_;
    std::vector<char> input_;
    std::vector<char> output_;
    archive* archive_ = nullptr;
    std::exception_ptr caught_;
};

class ZipStream : public std::istream {
public:
    ZipStream(std::istream& source, const std::string& fileName)
        : std::istream(nullptr), buffer_(source, fileName) {
        rdbuf(&buffer_);
    }
    const std::string& member() const { return buffer_.member(); }

private:
    ZipBuffer buffer_;
};

}  // namespace

bool IsZipStart(std::string_view head) {
    return head.starts_with("PK\x03\x04") || head.starts_with("PK\x05\x06");
}

std::unique_ptr<std::istream> ZipInput(std::istream& archive, const std::string& fileName) {
    return std::make_unique<ZipStream>(archive, fileName);
}

std::string ZipMemberName(const std::istream& in) {
    const auto* zip = dynamic_cast<const ZipStream*>(&in);
    return zip != nullptr ? zip->member() : std::string();
}

}  // namespace tarnvale

#include "network/input_file.hpp"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/run_error.hpp"

namespace tarnvale {

namespace {

// Inflates the compressed stream block by block into its get area.
class GzipBuffer : public std::streambuf {
public:
    GzipBuffer(std::unique_ptr<std::istream> compressed, std::string fileName)
        : source_(std::move(compressed)),
          fileName_(std::move(fileName)),
          input_(kBlock),
          output_(kBlock) {
        // 15 + 16: a gzip wrapper (never zlib or raw deflate), full window.
        if (inflateInit2(&z_, 15 + 16) != Z_OK) Fail("cannot start decompressing");
        setg(output_.data(), output_.data(), output_.data());
    }
    ~GzipBuffer() override { inflateEnd(&z_); }
    GzipBuffer(const GzipBuffer&) = delete;
    GzipBuffer& operator=(const GzipBuffer&) = delete;

protected:
    int_type underflow() override {
        while (gptr() == egptr()) {
            if (finished_) return traits_type::eof();
            Inflate();
        }
        return traits_type::to_int_type(*gptr());
    }

    // Only a rewind to the start is possible.
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        if (off != 0 || dir != std::ios_base::beg) return pos_type(off_type(-1));
        return Rewind();
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
        if (pos != pos_type(0)) return pos_type(off_type(-1));
        return Rewind();
    }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 18;

    [[noreturn]] void Fail(std::string_view what) const {
        throw RunError(
            "\nError: " + fileName_ + " is not a valid gzip file: " + std::string(what) + "\n", 1);
    }

    pos_type Rewind() {
        source_->clear();
        source_->seekg(0);
        if (!*source_) return pos_type(off_type(-1));
        inflateReset(&z_);
        z_.avail_in = 0;
        finished_ = false;
        memberEnded_ = false;
        setg(output_.data(), output_.data(), output_.data());
        return pos_type(0);
    }

    // Reads more compressed bytes; false at the end of the file.
    bool FillInput() {
        std::streamsize got =
            source_->rdbuf()->sgetn(input_.data(), static_cast<std::streamsize>(input_.size()));
        if (got <= 0) return false;
        z_.next_in = reinterpret_cast<Bytef*>(input_.data());
        z_.avail_in = static_cast<uInt>(got);
        return true;
    }

    // Decompresses into the get area until some text is there or the file
    // has ended cleanly.
    void Inflate() {
        z_.next_out = reinterpret_cast<Bytef*>(output_.data());
        z_.avail_out = static_cast<uInt>(output_.size());
        while (z_.avail_out == output_.size()) {
            if (z_.avail_in == 0 && !FillInput()) {
                // The file may end only where a member has ended.
                if (!memberEnded_) Fail("the compressed data end early (a truncated file?)");
                finished_ = true;
                break;
            }
            if (memberEnded_) {
                // Another member follows: it continues the same text.
                inflateReset(&z_);
                memberEnded_ = false;
            }
            const int status = inflate(&z_, Z_NO_FLUSH);
            if (status == Z_STREAM_END) {
                memberEnded_ = true;
            } else if (status == Z_MEM_ERROR) {
                throw std::bad_alloc();
            } else if (status != Z_OK && status != Z_BUF_ERROR) {
                Fail(z_.msg != nullptr ? z_.msg : "corrupt compressed data");
            }
        }
        setg(output_.data(), output_.data(), output_.data() + (output_.size() - z_.avail_out));
    }

    std::unique_ptr<std::istream> source_;
    std::string fileName_;
    std::vector<char> input_;
    std::vector<char> output_;
    z_stream z_{};
    bool memberEnded_ = false;  // the last inflate finished a member
    bool finished_ = false;     // the file has ended after a whole member
};

// The stream that owns its buffer.
class GzipStream : public std::istream {
public:
    GzipStream(std::unique_ptr<std::istream> compressed, const std::string& fileName)
        : std::istream(nullptr), buffer_(std::move(compressed), fileName) {
        rdbuf(&buffer_);
    }

private:
    GzipBuffer buffer_;
};

}  // namespace

bool IsGzipStart(std::string_view head) { return head.starts_with("\x1f\x8b"); }

std::unique_ptr<std::istream> GzipInput(std::unique_ptr<std::istream> compressed,
                                        const std::string& fileName) {
    return std::make_unique<GzipStream>(std::move(compressed), fileName);
}

std::unique_ptr<std::istream> OpenInput(const std::string& name) {
    auto file = std::make_unique<std::ifstream>();
    std::error_code ignored;
    // A directory opens as a stream on Linux but reads nothing.
    if (!std::filesystem::is_directory(name, ignored)) file->open(name, std::ios::binary);
    if (!file->is_open())
        throw RunError("\nWarning: File opening failed. Check name of the file " + name + "\n", 1);
    // Spreadsheets save "Unicode text" as UTF-16, which reads as garbage.
    // Read through the buffer itself, so that a read error surfaces as one
    // rather than as an empty file.
    char head[2] = {};
    const std::streamsize got = file->rdbuf()->sgetn(head, 2);
    const std::string_view start(head, static_cast<std::size_t>(std::max<std::streamsize>(got, 0)));
    if (start == "\xFF\xFE" || start == "\xFE\xFF")
        throw RunError(
            "\nError: " + name + " is encoded in UTF-16; save it as UTF-8 or plain text\n", 1);
    std::unique_ptr<std::istream> raw;
    if (std::filesystem::is_regular_file(name, ignored)) {
        file->clear();
        file->seekg(0);
        raw = std::move(file);
    } else {  // a pipe cannot give back what it has handed out: keep all of it
        std::string content(start);
        content.append(std::istreambuf_iterator<char>(*file), std::istreambuf_iterator<char>());
        raw = std::make_unique<std::istringstream>(std::move(content));
    }
    return IsGzipStart(start) ? GzipInput(std::move(raw), name) : std::move(raw);
}

}  // namespace tarnvale

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

    // Reads the rest of the file, which must be zero bytes, as gzip requires
    // of padding.
    void SkipPadding() {
        do {
            const Bytef* next = z_.next_in;
            if (std::any_of(next, next + z_.avail_in, [](Bytef b) { return b != 0; }))
                Fail(
                    "bytes that are neither gzip data nor zero padding follow the compressed data");
            z_.avail_in = 0;
        } while (FillInput());
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
                // A member starts with 1f 8b; a zero byte begins the padding
                // that some tools add up to a block size, which gzip ignores.
                if (*z_.next_in == 0) {
                    SkipPadding();
                    finished_ = true;
                    break;
                }
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

InputFormat DetectFormat(std::string_view head) {
    if (head.starts_with("\x1f\x8b")) return InputFormat::gzip;
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) return InputFormat::utf16;
    // A local file header, or the end record of an empty archive.
    if (head.starts_with("PK\x03\x04") || head.starts_with("PK\x05\x06")) return InputFormat::zip;
    if (head.starts_with("\xFD\x37\x7A\x58\x5A")) return InputFormat::xz;  // FD "7zXZ"
    if (head.starts_with("\x28\xB5\x2F\xFD")) return InputFormat::zstd;
    // "BZh", the block size 1 to 9, then the magic of a block or of the end
    // of an empty stream, so that no text line is taken for bzip2.
    if (head.size() >= 10 && head.starts_with("BZh") && head[3] >= '1' && head[3] <= '9') {
        const std::string_view magic = head.substr(4, 6);
        if (magic == "1AY&SY" || magic == "\x17\x72\x45\x38\x50\x90") return InputFormat::bzip2;
    }
    return InputFormat::text;
}

std::unique_ptr<std::istream> GzipInput(std::unique_ptr<std::istream> compressed,
                                        const std::string& fileName) {
    return std::make_unique<GzipStream>(std::move(compressed), fileName);
}

namespace {

// The first kFormatHead bytes of a stream (fewer when it is shorter), read
// through the buffer itself, so that a read error surfaces as one rather
// than as an empty file.
std::string Head(std::istream& in) {
    std::string head(kFormatHead, '\0');
    const std::streamsize got =
        in.rdbuf()->sgetn(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(got, 0)));
    return head;
}

// Throws the refusal of a file in `format`, found in the file itself or, with
// insideGzip, in what it decompresses to; returns for text and, outside
// gzip, for gzip.
void RefuseUnreadable(const std::string& name, InputFormat format, bool insideGzip) {
    struct Compression {
        const char* name;
        const char* tool;
    };
    Compression compression{};
    switch (format) {
        case InputFormat::text:
            return;
        case InputFormat::utf16:
            // Spreadsheets save "Unicode text" as UTF-16, which reads as garbage.
            throw RunError(
                "\nError: " + name + " is encoded in UTF-16; save it as UTF-8 or plain text\n", 1);
        case InputFormat::gzip:
            if (!insideGzip) return;
            throw RunError("\nError: " + name +
                               " is compressed with gzip twice; only one layer of gzip is read: "
                               "decompress it once first, e.g. with gunzip\n",
                           1);
        case InputFormat::zip:
            compression = {"zip", "unzip"};
            break;
        case InputFormat::xz:
            compression = {"xz", "unxz"};
            break;
        case InputFormat::bzip2:
            compression = {"bzip2", "bunzip2"};
            break;
        case InputFormat::zstd:
            compression = {"zstd", "unzstd"};
            break;
    }
    throw RunError("\nError: " + name + " is compressed with " + compression.name +
                       (insideGzip ? " inside gzip" : "") +
                       "; only gzip compression is read: decompress it first, e.g. with " +
                       (insideGzip ? "gunzip and then " : "") + compression.tool + "\n",
                   1);
}

}  // namespace

std::unique_ptr<std::istream> OpenInput(const std::string& name, bool allowZip) {
    auto file = std::make_unique<std::ifstream>();
    std::error_code ignored;
    // A directory opens as a stream on Linux but reads nothing.
    if (!std::filesystem::is_directory(name, ignored)) file->open(name, std::ios::binary);
    if (!file->is_open())
        throw RunError("\nWarning: File opening failed. Check name of the file " + name + "\n", 1);
    const std::string head = Head(*file);
    const InputFormat format = DetectFormat(head);
    if (!(allowZip && format == InputFormat::zip)) RefuseUnreadable(name, format, false);
    std::unique_ptr<std::istream> raw;
    if (std::filesystem::is_regular_file(name, ignored)) {
        file->clear();
        file->seekg(0);
        raw = std::move(file);
    } else {  // a pipe cannot give back what it has handed out: keep all of it
        std::string content(head);
        content.append(std::istreambuf_iterator<char>(*file), std::istreambuf_iterator<char>());
        raw = std::make_unique<std::istringstream>(std::move(content));
    }
    if (format != InputFormat::gzip) return raw;
    // What the gzip file holds is judged like a file of its own.
    auto text = GzipInput(std::move(raw), name);
    RefuseUnreadable(name, DetectFormat(Head(*text)), true);
    if (!text->seekg(0))
        throw RunError(
            "\nError: reading " + name + " failed: it cannot be read again from its start\n", 1);
    return text;
}

}  // namespace tarnvale

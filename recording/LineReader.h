// Reading a recording as lines, in large blocks, from a file or from memory.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace kws::rec {

// Random-access bytes: an open file or a block of memory. ReadAt returns the bytes read
// (0 at the end) or -1 with an errno value in `error`.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual long long ReadAt(void* buffer, size_t size, uint64_t offset, int& error) = 0;
    // Current size, or -1 when unknown.
    virtual long long Size() = 0;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view data) : data_(data) {}
    long long ReadAt(void* buffer, size_t size, uint64_t offset, int& error) override;
    long long Size() override { return static_cast<long long>(data_.size()); }

private:
    std::string_view data_;
};

// A file opened for reading. Reads use pread, so several readers may share one file and a file
// that shrinks underneath simply ends earlier.
class FileSource : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // The error Open reports for a device, pipe or socket.
    static constexpr int kNotRegularFile = ENODEV;

    // Opens a regular file `path` for reading, at once whatever it is; on failure returns false
    // and sets `error` to the errno value (EISDIR for a folder, kNotRegularFile for anything
    // else that is not a regular file).
    bool Open(const std::string& path, int& error);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // The open file's descriptor (-1 when closed), for asking about the file itself.
    int Descriptor() const { return fd_; }

    long long ReadAt(void* buffer, size_t size, uint64_t offset, int& error) override;
    long long Size() override;

private:
    int fd_ = -1;
};

// Splits the bytes of a source into lines: the text up to the next line feed, a carriage return
// before it dropped; a last line without line feed counts. Lines longer than kMaxLineLength are
// cut to that length (the rest of the line is skipped and Truncated() says so).
class LineReader {
public:
    static constexpr size_t kBlockSize = 1 << 20;
    static constexpr size_t kMaxLineLength = 16 << 20;

    // Reads lines that start at offsets from `begin` up to (not including) `end`.
    LineReader(ByteSource& source, uint64_t begin = 0, uint64_t end = UINT64_MAX);
    ~LineReader();

    // The next line, valid until the next call; false at the end or on a read error.
    bool Next(std::string_view& line) {
        // The usual case, a whole line in the buffer, without a call.
        if (!skipPending_ && bufferOffset_ + pos_ < end_ && fill_ > pos_) {
            const char* base = buffer_.get();
            const void* hit = std::memchr(base + pos_, '\n', fill_ - pos_);
            if (hit != nullptr) {
                TakeLine(static_cast<size_t>(static_cast<const char*>(hit) - base), line);
                truncated_ = false;
                return true;
            }
        }
        return NextSlow(line);
    }

    // File offset where the next line starts.
    uint64_t Position() const { return skipPending_ ? skipTo_ : bufferOffset_ + pos_; }
    bool Truncated() const { return truncated_; }
    bool Failed() const { return error_ != 0; }
    int Error() const { return error_; }

private:
    bool NextSlow(std::string_view& line);
    // Hands out the line from pos_ up to `lineEnd` (a line feed or the end of the data), without
    // a carriage return before it, and moves on past it.
    void TakeLine(size_t lineEnd, std::string_view& line) {
        const char* base = buffer_.get();
        size_t length = lineEnd - pos_;
        if (length > 0 && base[lineEnd - 1] == '\r') --length;
        line = std::string_view(base + pos_, length);
        pos_ = lineEnd < fill_ ? lineEnd + 1 : fill_;
    }
    bool Fill();  // reads more bytes after what is buffered; false at end or on error
    bool SkipOverlong(std::string_view& line);

    ByteSource& source_;
    uint64_t end_;
    std::unique_ptr<char[]> buffer_;
    size_t capacity_ = 0;
    uint64_t bufferOffset_;  // file offset of buffer_[0]
    size_t pos_ = 0;         // start of the next line in buffer_
    size_t fill_ = 0;        // bytes valid in buffer_
    bool eof_ = false;
    bool truncated_ = false;
    int error_ = 0;
    bool skipPending_ = false;
    uint64_t skipTo_ = 0;
};

// Finds the offset of the first line start at or after `offset` (0, or just after a line feed).
uint64_t NextLineStart(ByteSource& source, uint64_t offset, int& error);

}  // namespace kws::rec

#include "recording/LineReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kws::rec {

long long MemorySource::ReadAt(void* buffer, size_t size, uint64_t offset, int&) {
    if (offset >= data_.size()) return 0;
    const size_t n = std::min<size_t>(size, data_.size() - offset);
    std::memcpy(buffer, data_.data() + offset, n);
    return static_cast<long long>(n);
}

FileSource::~FileSource() { Close(); }

bool FileSource::Open(const std::string& path, int& error) {
    Close();
    // Without O_NONBLOCK opening a pipe waits for a writer; devices, pipes and sockets are no
    // recordings (a device such as /dev/zero never ends), so only regular files are kept.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error = errno;
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    fd_ = fd;
    return true;
}

void FileSource::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

long long FileSource::ReadAt(void* buffer, size_t size, uint64_t offset, int& error) {
    for (;;) {
        ssize_t n = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        error = errno;
        return -1;
    }
}

long long FileSource::Size() {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

LineReader::LineReader(ByteSource& source, uint64_t begin, uint64_t end)
    : source_(source), end_(end), bufferOffset_(begin) {}

LineReader::~LineReader() = default;

bool LineReader::Fill() {
    if (eof_ || error_ != 0) return false;
    // Keep the unread part, moved to the front; grow when one line fills the whole buffer.
    if (pos_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + pos_, fill_ - pos_);
        bufferOffset_ += pos_;
        fill_ -= pos_;
        pos_ = 0;
    }
    if (capacity_ - fill_ < kBlockSize / 2) {
        size_t wanted = capacity_ == 0 ? kBlockSize : capacity_ * 2;
        if (capacity_ == 0) {
            // A short source needs no more than its own size (and a byte to see its end).
            const long long size = source_.Size();
            if (size >= 0 && bufferOffset_ <= static_cast<uint64_t>(size))
                wanted = std::clamp<uint64_t>(size - bufferOffset_ + 1, 4096, kBlockSize);
        }
        std::unique_ptr<char[]> bigger(new char[wanted]);  // no need to zero it
        if (fill_ > 0) std::memcpy(bigger.get(), buffer_.get(), fill_);
        buffer_ = std::move(bigger);
        capacity_ = wanted;
    }
    int error = 0;
    long long n =
        source_.ReadAt(buffer_.get() + fill_, capacity_ - fill_, bufferOffset_ + fill_, error);
    if (n < 0) {
        error_ = error != 0 ? error : EIO;
        return false;
    }
    if (n == 0) {
        eof_ = true;
        return false;
    }
    fill_ += static_cast<size_t>(n);
    return true;
}

bool LineReader::NextSlow(std::string_view& line) {
    truncated_ = false;
    if (skipPending_) {
        // The previous line was overlong; continue after its line feed.
        skipPending_ = false;
        bufferOffset_ = skipTo_;
        pos_ = fill_ = 0;
    }
    if (Position() >= end_ || error_ != 0) return false;
    size_t scanned = pos_;  // bytes of the current line before this index hold no line feed
    for (;;) {
        const char* base = buffer_.get();
        const void* hit =
            fill_ > scanned ? std::memchr(base + scanned, '\n', fill_ - scanned) : nullptr;
        if (hit != nullptr) {
            TakeLine(static_cast<size_t>(static_cast<const char*>(hit) - base), line);
            return true;
        }
        scanned = fill_;
        if (fill_ - pos_ >= kMaxLineLength) return SkipOverlong(line);
        const size_t moved = pos_;  // Fill() moves the unread bytes to the front
        if (!Fill()) {
            if (error_ != 0 || fill_ == pos_) return false;
            // A last line without line feed.
            TakeLine(fill_, line);
            return true;
        }
        scanned -= moved;
    }
}

bool LineReader::SkipOverlong(std::string_view& line) {
    // Hand out the first kMaxLineLength bytes; the next line starts after the line feed that
    // ends this one, wherever it lies.
    line = std::string_view(buffer_.get() + pos_, kMaxLineLength);
    uint64_t at = bufferOffset_ + fill_;
    char chunk[65536];
    for (;;) {
        int error = 0;
        long long n = source_.ReadAt(chunk, sizeof chunk, at, error);
        if (n < 0) {
            error_ = error != 0 ? error : EIO;
            return false;
        }
        if (n == 0) break;
        const void* nl = std::memchr(chunk, '\n', static_cast<size_t>(n));
        if (nl != nullptr) {
            at += static_cast<uint64_t>(static_cast<const char*>(nl) - chunk) + 1;
            break;
        }
        at += static_cast<uint64_t>(n);
    }
    skipPending_ = true;
    skipTo_ = at;
    truncated_ = true;
    return true;
}

uint64_t NextLineStart(ByteSource& source, uint64_t offset, int& error) {
    if (offset == 0) return 0;
    char chunk[65536];
    uint64_t at = offset - 1;  // a line starts at `offset` when the byte before it is a line feed
    for (;;) {
        long long n = source.ReadAt(chunk, sizeof chunk, at, error);
        if (n <= 0) return n < 0 ? UINT64_MAX : at;
        const void* nl = std::memchr(chunk, '\n', static_cast<size_t>(n));
        if (nl != nullptr)
            return at + static_cast<uint64_t>(static_cast<const char*>(nl) - chunk) + 1;
        at += static_cast<uint64_t>(n);
    }
}

}  // namespace kws::rec

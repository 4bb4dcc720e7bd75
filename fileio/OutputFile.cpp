#include "fileio/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>

namespace kws::fileio {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Six characters that differ between calls and between processes.
std::string UniqueSuffix() {
    static std::atomic<uint64_t> counter{0};
    uint64_t v =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<uint64_t>(::getpid()) << 40) ^ (counter++ * 0x9E3779B97F4A7C15ull);
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string s;
    for (int i = 0; i < 6; ++i) {
        s += kDigits[v % 62];
        v /= 62;
    }
    return s;
}

bool IsPermissionError(int e) { return e == EACCES || e == EPERM || e == EROFS; }

// Writes all of `size` bytes, continuing after interruptions and short writes; errno on failure.
int WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// A folder is synced so that a rename in it survives a power cut. File systems that cannot sync
// a folder say so with EINVAL; that is no failure of the write.
int SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int e = ::fsync(fd) == 0 ? 0 : errno;
    if (e == EINVAL || e == ENOTSUP) e = 0;
    ::close(fd);
    return e;
}

}  // namespace

int DescriptorOfName(const std::string& target) {
    if (target == kStandardOutputName || target == "/dev/stdout") return 1;
    if (target == "/dev/stderr") return 2;
    for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (target.size() <= prefix.size() || target.size() > prefix.size() + 6 ||
            target.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        int n = 0;
        for (size_t i = prefix.size(); i < target.size(); ++i) {
            if (target[i] < '0' || target[i] > '9') return -1;
            n = n * 10 + (target[i] - '0');
        }
        return n;
    }
    return -1;
}

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {}

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Fail(FileWriteError error, int errnoValue) {
    error_ = error;
    errno_ = errnoValue;
    Discard();
    return false;
}

bool OutputFile::OpenStream(int fd) {
    fd_ = fd;
    stream_ = true;
    return true;
}

bool OutputFile::Open() {
    if (target_.empty()) return Fail(FileWriteError::kWriteFailed, ENOENT);
    // Standard output and descriptors named by their path are written where they already point,
    // through a copy of the descriptor: whatever they lead to is used as it is.
    if (const int named = DescriptorOfName(target_); named >= 0) {
        const int fd = ::fcntl(named, F_DUPFD_CLOEXEC, 3);
        if (fd < 0) return Fail(FileWriteError::kWriteFailed, errno);
        return OpenStream(fd);
    }
    struct stat st;
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return Fail(FileWriteError::kTargetIsFolder, EISDIR);
        // A device or a FIFO is written into; replacing it would take it from everyone else.
        if (!S_ISREG(st.st_mode)) {
            int fd;
            do {
                fd = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            } while (fd < 0 && errno == EINTR);
            if (fd < 0) return Fail(FileWriteError::kWriteFailed, errno);
            return OpenStream(fd);
        }
    }
    return OpenTemporary();
}

bool OutputFile::OpenTemporary() {
    // A link is followed: the file it names is replaced (or made, when the link dangles), the
    // link stays.
    struct stat st;
    for (int hops = 0; hops < 40 && ::lstat(target_.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
         ++hops) {
        char link[PATH_MAX];
        const ssize_t n = ::readlink(target_.c_str(), link, sizeof link - 1);
        if (n <= 0) break;
        link[n] = '\0';
        target_ = link[0] == '/' ? std::string(link) : FolderOf(target_) + "/" + link;
    }
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return Fail(FileWriteError::kTargetIsFolder, EISDIR);
        if (!S_ISREG(st.st_mode)) return Fail(FileWriteError::kWriteFailed, EEXIST);
        replaces_ = true;
        mode_ = st.st_mode & 07777;
        owner_ = st.st_uid;
        group_ = st.st_gid;
        // A file its owner protected against writing is not replaced behind their back. When
        // its folder is write-protected too, that is the reason to give.
        if (::access(target_.c_str(), W_OK) != 0) {
            const int e = errno;
            if (IsPermissionError(e) && ::access(FolderOf(target_).c_str(), W_OK) != 0 &&
                IsPermissionError(errno)) {
                return Fail(FileWriteError::kReadOnlyFolder, e);
            }
            return Fail(FileWriteError::kWriteFailed, e);
        }
    }
    const std::string folder = FolderOf(target_);
    if (::stat(folder.c_str(), &st) != 0) return Fail(FileWriteError::kMissingFolder, errno);
    if (!S_ISDIR(st.st_mode)) return Fail(FileWriteError::kMissingFolder, ENOTDIR);
    // A hidden name beside the target; long names are shortened so the suffix still fits.
    const std::string base = NameOf(target_).substr(0, 200);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            (folder == "/" ? "" : folder) + "/." + base + "." + UniqueSuffix();
        // Created like any new file (0666 less the umask); O_EXCL never opens a stranger's file.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temporary_ = candidate;
            // Readable by no more people while it is written than the file it replaces.
            if (replaces_) ::fchmod(fd_, mode_);
            struct stat created;
            if (::fstat(fd_, &created) == 0) inode_ = created.st_ino;
            return true;
        }
        if (errno == EEXIST || errno == EINTR) continue;
        const int e = errno;
        return Fail(
            IsPermissionError(e) ? FileWriteError::kReadOnlyFolder : FileWriteError::kWriteFailed,
            e);
    }
    return Fail(FileWriteError::kWriteFailed, EEXIST);
}

bool OutputFile::Write(const void* data, size_t size) {
    if (fd_ < 0) return Fail(FileWriteError::kWriteFailed, EBADF);
    if (const int e = WriteAll(fd_, data, size)) return Fail(FileWriteError::kWriteFailed, e);
    return true;
}

std::string OutputFile::PathForWriter() {
    if (fd_ < 0) {
        Fail(FileWriteError::kWriteFailed, EBADF);
        return {};
    }
    if (!stream_ || !temporary_.empty()) return temporary_;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kwsekunde-spool-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        Fail(FileWriteError::kWriteFailed, errno);
        return {};
    }
    ::close(fd);
    temporary_ = pattern;
    return temporary_;
}

bool OutputFile::Commit() {
    if (fd_ < 0) return Fail(FileWriteError::kWriteFailed, EBADF);
    if (!(stream_ ? CommitStream() : CommitTemporary())) return false;
    error_ = FileWriteError::kNone;
    errno_ = 0;
    return true;
}

bool OutputFile::CommitStream() {
    if (!temporary_.empty()) {
        const int spool = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
        if (spool < 0) return Fail(FileWriteError::kWriteFailed, errno);
        char buffer[64 * 1024];
        int e = 0;
        for (;;) {
            const ssize_t n = ::read(spool, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) e = errno;
            if (n <= 0) break;
            if ((e = WriteAll(fd_, buffer, static_cast<size_t>(n))) != 0) break;
        }
        ::close(spool);
        if (e != 0) return Fail(FileWriteError::kWriteFailed, e);
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) return Fail(FileWriteError::kWriteFailed, errno);
    return true;
}

bool OutputFile::CommitTemporary() {
    // A writer that reworked the temporary file may have put a new file in its place: that one
    // is the one to sync and to give the mode and owner.
    struct stat now;
    if (::stat(temporary_.c_str(), &now) != 0) return Fail(FileWriteError::kWriteFailed, errno);
    if (now.st_ino != inode_) {
        const int again = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
        if (again < 0) return Fail(FileWriteError::kWriteFailed, errno);
        ::close(fd_);
        fd_ = again;
    }
    if (replaces_) {
        // The owner and group carry over where the process may set them (the superuser may;
        // an owner may keep a group they belong to). Changing the owner can clear the set-id
        // bits, so the mode comes after it.
        if ((now.st_uid != owner_ || now.st_gid != group_) && ::fchown(fd_, owner_, group_) != 0) {
            [[maybe_unused]] const int ignored = ::fchown(fd_, static_cast<uid_t>(-1), group_);
        }
        if (::fchmod(fd_, mode_) != 0) return Fail(FileWriteError::kWriteFailed, errno);
    }
    // On the disk before the name moves: after a crash the target is either old or new.
    if (::fsync(fd_) != 0) return Fail(FileWriteError::kWriteFailed, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail(FileWriteError::kWriteFailed, errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int e = errno;
        return Fail(e == EISDIR ? FileWriteError::kTargetIsFolder : FileWriteError::kWriteFailed,
                    e);
    }
    temporary_.clear();
    // The rename is only durable once the folder is on the disk too.
    if (const int e = SyncFolder(FolderOf(target_))) return Fail(FileWriteError::kWriteFailed, e);
    return true;
}

void OutputFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

bool WriteOutput(const std::string& path, const void* data, size_t size, FileWriteError& error,
                 int& errnoValue) {
    OutputFile file(path);
    const bool ok = file.Open() && file.Write(data, size) && file.Commit();
    error = file.Error();
    errnoValue = file.ErrnoValue();
    return ok;
}

bool WriteTextOutput(const std::string& path, const std::function<bool(std::FILE*)>& write,
                     FileWriteError& error, int& errnoValue) {
    OutputFile file(path);
    auto fail = [&](FileWriteError e, int value) {
        error = e;
        errnoValue = value;
        return false;
    };
    if (!file.Open()) return fail(file.Error(), file.ErrnoValue());
    // The text goes through a buffered stream on a copy of the descriptor; closing the stream
    // flushes it and leaves the output itself to Commit.
    const int copy = ::fcntl(file.Descriptor(), F_DUPFD_CLOEXEC, 3);
    std::FILE* out = copy >= 0 ? ::fdopen(copy, "wb") : nullptr;
    if (out == nullptr) {
        const int e = errno;
        if (copy >= 0) ::close(copy);
        return fail(FileWriteError::kWriteFailed, e);
    }
    errno = 0;
    const bool written = write(out);
    int e = errno != 0 ? errno : EIO;
    const bool closed = std::fclose(out) == 0;
    if (!closed) e = errno;
    if (!written || !closed) return fail(FileWriteError::kWriteFailed, e);
    if (!file.Commit()) return fail(file.Error(), file.ErrnoValue());
    error = FileWriteError::kNone;
    errnoValue = 0;
    return true;
}

}  // namespace kws::fileio

#include "image/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>

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

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Fail(FileWriteError error, int errnoValue) {
    error_ = error;
    errno_ = errnoValue;
    Discard();
    return false;
}

bool AtomicFile::Open() {
    if (target_.empty()) return Fail(FileWriteError::kWriteFailed, ENOENT);
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
        if (S_ISREG(st.st_mode)) mode_ = st.st_mode & 07777;
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
            if (mode_ != 0) ::fchmod(fd_, mode_);
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

bool AtomicFile::Write(const void* data, size_t size) {
    if (fd_ < 0) return Fail(FileWriteError::kWriteFailed, EBADF);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(FileWriteError::kWriteFailed, errno);
        }
        if (n == 0) return Fail(FileWriteError::kWriteFailed, EIO);
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFile::Commit() {
    if (fd_ < 0) return Fail(FileWriteError::kWriteFailed, EBADF);
    // On the disk before the name moves: after a crash the target is either old or new.
    if (::fsync(fd_) != 0) return Fail(FileWriteError::kWriteFailed, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail(FileWriteError::kWriteFailed, errno);
    // A writer that reworked the temporary file may have put a new file in its place.
    struct stat now;
    if (::stat(temporary_.c_str(), &now) != 0) return Fail(FileWriteError::kWriteFailed, errno);
    if (now.st_ino != inode_) {
        const int again = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
        if (again < 0) return Fail(FileWriteError::kWriteFailed, errno);
        const bool synced = ::fsync(again) == 0;
        const int e = errno;
        ::close(again);
        if (!synced) return Fail(FileWriteError::kWriteFailed, e);
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int e = errno;
        return Fail(e == EISDIR ? FileWriteError::kTargetIsFolder : FileWriteError::kWriteFailed,
                    e);
    }
    temporary_.clear();
    error_ = FileWriteError::kNone;
    errno_ = 0;
    return true;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size,
                         FileWriteError& error, int& errnoValue) {
    AtomicFile file(path);
    const bool ok = file.Open() && file.Write(data, size) && file.Commit();
    error = file.Error();
    errnoValue = file.ErrnoValue();
    return ok;
}

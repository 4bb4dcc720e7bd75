// Writing one output of the program. A regular file, new or existing, appears complete or not at
// all: the bytes go into a new file in the target's folder, which replaces the target by a rename
// only when everything is written and on the disk, with the folder synced after the rename. The
// replaced file's mode (and, where the process may set them, its owner and group) carry over.
// Anything else that exists under the name (standard output as "-", a character device, a FIFO, a
// descriptor named by /dev/stdout or /dev/fd/N) is written into directly, as a stream, and is
// never replaced or removed. A failure at any step leaves a previous file as it was and no
// temporary file behind.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

namespace kws::fileio {

enum class FileWriteError {
    kNone,
    kMissingFolder,   // the target's folder does not exist (or is not a folder)
    kReadOnlyFolder,  // no file may be created in the target's folder
    kTargetIsFolder,  // the target names a folder
    kWriteFailed,     // opening, writing, syncing or renaming failed; see the errno value
};

// The name that stands for standard output.
inline constexpr const char* kStandardOutputName = "-";

// The descriptor a name refers to without touching the file system: 1 for "-" and
// "/dev/stdout", 2 for "/dev/stderr", N for "/dev/fd/N" and "/proc/self/fd/N"; -1 otherwise.
int DescriptorOfName(const std::string& target);

// Whether `target` writes into this process's standard output.
inline bool IsStandardOutput(const std::string& target) { return DescriptorOfName(target) == 1; }

class OutputFile {
public:
    explicit OutputFile(std::string target);
    ~OutputFile();  // discards the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks the target; creates the temporary file beside a regular target, or opens a stream.
    bool Open();
    bool Write(const void* data, size_t size);
    // Where Write puts the bytes (the temporary file or the stream); -1 before Open.
    int Descriptor() const { return fd_; }
    bool IsStream() const { return stream_; }
    // A file name for writers that only take a name, used instead of Write: the temporary file
    // beside a regular target (other writers may rework it before Commit), or for a stream a
    // spool file in the temporary folder whose bytes go into the stream at Commit. Empty when
    // it could not be made (Error says why).
    std::string PathForWriter();
    // Regular target: flushes the temporary file to the disk with the replaced file's mode and
    // owner, renames it over the target and syncs the folder. Stream: passes on a spool file and
    // closes the stream.
    bool Commit();
    // Closes and removes the temporary file; a stream is closed, never removed.
    void Discard();

    FileWriteError Error() const { return error_; }
    int ErrnoValue() const { return errno_; }

private:
    bool Fail(FileWriteError error, int errnoValue);
    bool OpenStream(int fd);
    bool OpenTemporary();
    bool CommitTemporary();
    bool CommitStream();

    std::string target_;
    std::string temporary_;  // beside a regular target, or a stream's spool file
    int fd_ = -1;
    bool stream_ = false;
    unsigned long inode_ = 0;  // of the temporary file as created
    bool replaces_ = false;    // a regular file is replaced: its mode and owner carry over
    unsigned mode_ = 0;
    unsigned owner_ = 0, group_ = 0;
    FileWriteError error_ = FileWriteError::kNone;
    int errno_ = 0;
};

// Writes `size` bytes to `path` through an OutputFile; on failure fills `error` and `errnoValue`.
bool WriteOutput(const std::string& path, const void* data, size_t size, FileWriteError& error,
                 int& errnoValue);

// Writes a text output through an OutputFile: `write` fills the stream and returns false on a
// failed write. On failure fills `error` and `errnoValue`.
bool WriteTextOutput(const std::string& path, const std::function<bool(std::FILE*)>& write,
                     FileWriteError& error, int& errnoValue);

// Why writing `path` failed, in the current language: the folder is missing or write-protected,
// the target is a folder, or the system's own text for the error.
std::string FileProblemText(FileWriteError error, int errnoValue, const std::string& path);

// The whole message for a file that was not written: text 151 with the reason.
std::string FileNotWrittenText(FileWriteError error, int errnoValue, const std::string& path);

}  // namespace kws::fileio

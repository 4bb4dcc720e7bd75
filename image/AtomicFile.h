// Writing a file so that it appears complete or not at all: the bytes go into a new file in the
// target's folder, which replaces the target by a rename only when everything is written and on
// the disk. A failure at any step leaves a previous file as it was and no temporary file behind.
#pragma once

#include <cstddef>
#include <string>

enum class FileWriteError {
    kNone,
    kMissingFolder,   // the target's folder does not exist (or is not a folder)
    kReadOnlyFolder,  // no file may be created in the target's folder
    kTargetIsFolder,  // the target names a folder
    kWriteFailed,     // creating, writing, syncing or renaming failed; see the errno value
};

class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();  // discards the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Checks the target and creates the temporary file beside it.
    bool Open();
    bool Write(const void* data, size_t size);
    // Where the bytes go until Commit; other writers may rework this file before it.
    const std::string& TemporaryPath() const { return temporary_; }
    // Flushes the temporary file to the disk, closes it and renames it over the target.
    bool Commit();
    // Closes and removes the temporary file.
    void Discard();

    FileWriteError Error() const { return error_; }
    int ErrnoValue() const { return errno_; }

private:
    bool Fail(FileWriteError error, int errnoValue);

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    unsigned long inode_ = 0;  // of the temporary file as created
    unsigned mode_ = 0;        // permissions of the file that is replaced; 0 for a new file
    FileWriteError error_ = FileWriteError::kNone;
    int errno_ = 0;
};

// Writes `size` bytes to `path` through an AtomicFile; on failure fills `error` and `errnoValue`.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size,
                         FileWriteError& error, int& errnoValue);

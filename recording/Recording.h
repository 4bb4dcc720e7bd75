// Opening a recording: is it one, which layout, how many header lines, first and last time.
#pragma once

#include <cstdint>
#include <string>

#include "recording/BlockMap.h"
#include "recording/LineReader.h"

namespace kws::rec {

// Error classes shown with message 108, as the platform's file layer numbers them.
enum FileErrorCategory : unsigned {
    kErrNone = 0,
    kErrGeneric = 1,
    kErrFileNotFound = 2,
    kErrBadPath = 3,
    kErrTooManyOpenFiles = 4,
    kErrAccessDenied = 5,
    kErrInvalidFile = 6,
    kErrRemoveCurrentDir = 7,
    kErrDirectoryFull = 8,
    kErrBadSeek = 9,
    kErrHardIO = 10,
    kErrSharingViolation = 11,
    kErrLockViolation = 12,
    kErrDiskFull = 13,
    kErrEndOfFile = 14,
};

unsigned FileErrorCategoryFromErrno(int error);

struct RecordingFacts {
    std::string fileName;  // name part of the path, as the messages show it
    int headerLines = 0;
    int layoutFlag = 1;  // 1 three-curve, 0 six-curve
    int64_t startTime = 0;
    int64_t endTime = 0;
};

enum class OpenError {
    kNone,
    kCannotOpen,    // message 108 with `category`
    kNotRecording,  // message 110
    kReadError,     // the file broke down while being read (message 108, category 10)
};

struct OpenResult {
    OpenError error = OpenError::kNone;
    unsigned category = kErrNone;
    int errnoValue = 0;
    bool Ok() const { return error == OpenError::kNone; }
};

// Reads the facts of a recording from its bytes. `facts.fileName` is left alone. The map of its
// lines goes to `map` when given.
OpenResult ReadRecordingFacts(ByteSource& source, RecordingFacts& facts, BlockMap* map = nullptr);

// An open recording: the file stays open for reading between opening and closing, so later
// evaluations read the same file again.
class Recording {
public:
    Recording() = default;
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    // Closes any previous recording, then opens `path`. On failure nothing is open.
    OpenResult Open(const std::string& path);
    void Close();
    bool IsOpen() const { return open_; }

    const RecordingFacts& Facts() const { return facts_; }
    ByteSource& Source() { return file_; }
    // The map of the lines, made while opening; evaluations start near their window with it.
    const BlockMap& Map() const { return map_; }
    BlockMap& Map() { return map_; }

private:
    FileSource file_;
    BlockMap map_;
    RecordingFacts facts_;
    bool open_ = false;
};

// Name part of a path (after the last '/').
std::string FileNamePart(const std::string& path);

}  // namespace kws::rec

// Following a recording that grows: the file is watched and its size checked once a second, and
// the whole lines appended since the last check are read into the result dialog's samples. A
// file that is shortened, replaced, deleted or no longer readable ends following with a message.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <sys/types.h>
#include <cstdint>

#include "recording/BlockMap.h"
#include "recording/LineReader.h"
#include "recording/SampleMarks.h"
#include "recording/SampleStore.h"
#include "recording/WindowFollow.h"

class RecordingFollower : public QObject {
    Q_OBJECT

public:
    // Milliseconds between two size checks: watchers miss appends to files on network shares.
    static constexpr int kPollMilliseconds = 1000;

    // The evaluated window that is to follow its recording.
    struct Window {
        QString path;
        int headerLines = 0;
        int layoutFlag = 1;
        int64_t start = 0, end = 0;
        const kws::rec::BlockMap* map = nullptr;  // the opening's map of the lines, if any
    };

    explicit RecordingFollower(QObject* parent = nullptr);
    ~RecordingFollower() override;

    // Opens the file again and takes up the state of the evaluation that gave `samples` and
    // `marks`, which following appends to from now on; false with `message` when it cannot.
    bool Start(const Window& window, kws::rec::SampleStore& samples, kws::rec::SampleMarks& marks,
               QString& message);
    void Stop();
    bool Active() const { return active_; }

    // Looks at the file now (the watcher and the timer call it).
    void Check();
    // Bytes of the file taken up so far (the end of the last whole line read).
    uint64_t Position() const { return follower_.Position(); }

signals:
    // Records were appended: the samples held `previousCount` before.
    void Grown(size_t previousCount);
    // Following ended because of the file; `message` says why.
    void Ended(const QString& message);

private:
    void End(const QString& message);

    QString path_, name_;
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    uint64_t size_ = 0;  // the size at the last check
    kws::rec::FileSource source_;
    kws::rec::WindowFollower follower_;
    kws::rec::SampleStore* samples_ = nullptr;
    kws::rec::SampleMarks* marks_ = nullptr;
    QFileSystemWatcher watcher_;
    QTimer poll_;
    bool active_ = false;
    bool checking_ = false;
};

#include "graphui/Following.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "recording/Recording.h"
#include "res/Resources.h"

namespace {

QString Text(const char* key) { return QString::fromStdString(kws::res::Text(key)); }

}  // namespace

RecordingFollower::RecordingFollower(QObject* parent) : QObject(parent) {
    poll_.setInterval(kPollMilliseconds);
    connect(&poll_, &QTimer::timeout, this, &RecordingFollower::Check);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &RecordingFollower::Check);
}

RecordingFollower::~RecordingFollower() = default;

bool RecordingFollower::Start(const Window& window, kws::rec::SampleStore& samples,
                              kws::rec::SampleMarks& marks, QString& message) {
    Stop();
    path_ = window.path;
    name_ = QString::fromStdString(kws::rec::FileNamePart(path_.toStdString()));
    int error = 0;
    struct stat st {};
    if (!source_.Open(path_.toStdString(), error) || ::fstat(source_.Descriptor(), &st) != 0) {
        message = Text("F.unreadable").arg(name_).arg(error != 0 ? error : errno);
        source_.Close();
        return false;
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
    const auto outcome =
        follower_.Resume(source_, window.map, window.headerLines, window.layoutFlag, window.start,
                         window.end, samples, marks);
    if (outcome.result != kws::rec::WindowFollower::Result::kOk) {
        message = outcome.result == kws::rec::WindowFollower::Result::kReadError
                      ? Text("F.unreadable").arg(name_).arg(outcome.error)
                      : Text("F.changed").arg(name_);
        source_.Close();
        return false;
    }
    samples_ = &samples;
    marks_ = &marks;
    size_ = follower_.Position();
    active_ = true;
    watcher_.addPath(path_);
    poll_.start();
    // Lines appended since the evaluation show at once.
    Check();
    return active_;
}

void RecordingFollower::Stop() {
    poll_.stop();
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    source_.Close();
    active_ = false;
    samples_ = nullptr;
    marks_ = nullptr;
}

void RecordingFollower::End(const QString& message) {
    Stop();
    emit Ended(message);
}

void RecordingFollower::Check() {
    if (!active_ || checking_) return;
    checking_ = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{checking_};
    // The name must still lead to the file that is open: deleted, or replaced by another one
    // (a new inode), ends following, since the lines read so far belong to the old file.
    struct stat named {};
    if (::stat(path_.toLocal8Bit().constData(), &named) != 0) {
        const int error = errno;
        if (error == ENOENT) {
            End(Text("F.deleted").arg(name_));
        } else {
            End(Text("F.unreadable").arg(name_).arg(error));
        }
        return;
    }
    if (named.st_dev != device_ || named.st_ino != inode_) {
        End(Text("F.replaced").arg(name_));
        return;
    }
    if (::access(path_.toLocal8Bit().constData(), R_OK) != 0) {
        End(Text("F.unreadable").arg(name_).arg(errno));
        return;
    }
    struct stat open {};
    if (::fstat(source_.Descriptor(), &open) != 0) {
        End(Text("F.unreadable").arg(name_).arg(errno));
        return;
    }
    const uint64_t size = static_cast<uint64_t>(open.st_size);
    if (size < size_) {
        End(Text("F.shortened").arg(name_));
        return;
    }
    size_ = size;
    if (size <= follower_.Position()) return;
    const size_t before = samples_->size();
    const auto outcome = follower_.Read(source_, size, *samples_, *marks_);
    // What was read before a fault stays and shows.
    if (samples_->size() > before) emit Grown(before);
    using Result = kws::rec::WindowFollower::Result;
    if (outcome.result == Result::kLayout) {
        End(QString::fromStdString(kws::res::Format(110, name_.toLocal8Bit().constData())));
    } else if (outcome.result == Result::kReadError) {
        End(Text("F.unreadable").arg(name_).arg(outcome.error));
    } else if (!watcher_.files().contains(path_)) {
        // Some watchers drop a file after it changed; the poll finds appends meanwhile.
        watcher_.addPath(path_);
    }
}

#include "app/Gui.h"

#include <QDir>
#include <QSemaphore>
#include <QThreadPool>
#include <QTimer>

#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "app/Language.h"
#include "app/MainDialog.h"
#include "graphui/AppIcon.h"
#include "graphui/GraphExport.h"
#include "graphui/OutOfMemory.h"
#include "res/Resources.h"

namespace {

bool paintThreadsIncomplete = false;

// How many threads of the default stack size can be started now (at most `wanted`): each is
// started, then all are ended again.
int StartableThreads(int wanted) {
    std::vector<pthread_t> threads;
    for (int i = 0; i < wanted; ++i) {
        pthread_t t;
        if (pthread_create(
                &t, nullptr, [](void*) -> void* { return nullptr; }, nullptr) != 0)
            break;
        threads.push_back(t);
    }
    for (pthread_t t : threads) pthread_join(t, nullptr);
    return static_cast<int>(threads.size());
}

// Qt's raster painting hands large fills to the global thread pool and waits for them. A pool
// thread that cannot be started (no memory left for its stack) goes unnoticed: that wait never
// ends, and neither does the pool's wait for its threads when the application ends. So the
// pool gets only as many threads as can be started, and they are started now and kept.
bool KeepPaintThreads() {
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setExpiryTimeout(-1);
    const int n = StartableThreads(pool->maxThreadCount());
    if (n == 0) return false;
    pool->setMaxThreadCount(n);
    // Every task waits until all have started, so each needs a thread of its own.
    auto started = std::make_shared<QSemaphore>(), release = std::make_shared<QSemaphore>(),
         done = std::make_shared<QSemaphore>();
    for (int i = 0; i < n; ++i) {
        pool->start([started, release, done] {
            started->release();
            release->acquire();
            done->release();
        });
    }
    // A thread that could not be started after all: its task never runs.
    paintThreadsIncomplete = !started->tryAcquire(n, 10000);
    const int running = paintThreadsIncomplete ? started->available() : n;
    release->release(n);
    done->tryAcquire(running, 10000);
    return true;
}

}  // namespace

bool KwsApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        return false;
    }
}

bool SetUpApplication(QApplication& app) {
    app.setOrganizationName("kwsekunde");
    app.setApplicationName("kwsekunde");
    // No application display name: the platform would append it to every window caption.
    app.setDesktopFileName("io.github.kwsekunde.KwSekunde");
    app.setWindowIcon(AppIcon());
    InstallGraphCommands();
    return KeepPaintThreads();
}

int LeaveApplication(int exitCode) {
    if (paintThreadsIncomplete) {
        // The pool would wait for ever for the thread that never started.
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
    return exitCode;
}

int RunGui(QApplication& app, const QString& file, std::optional<int> language, bool follow) {
    (void)app;
    // The working folder is where the program started; the language choice lives there.
    const QString workingFolder = QDir::currentPath();
    // No language file means German; Qt's own dialogs follow whatever language is chosen.
    const int stored = ReadLanguageCode(LanguageFilePath(workingFolder));
    SelectResourceLanguage(language ? *language : stored >= 0 ? stored : kws::res::kGerman);
    CKWSekundeDlg dialog(workingFolder);
    if (!file.isEmpty()) {
        QTimer::singleShot(0, &dialog, [&dialog, file, follow] {
            if (follow) {
                dialog.FollowRecordingFile(file);
            } else {
                dialog.OpenRecordingFile(file);
            }
        });
    }
    dialog.exec();
    return 0;
}

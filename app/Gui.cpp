#include "app/Gui.h"

#include <QDir>
#include <QSemaphore>
#include <QThreadPool>
#include <QTimer>

#include <memory>
#include <new>

#include "app/Language.h"
#include "app/MainDialog.h"
#include "graphui/AppIcon.h"
#include "graphui/GraphExport.h"
#include "graphui/OutOfMemory.h"
#include "res/Resources.h"

namespace {

// Qt's raster painting hands large fills to the global thread pool and waits for them. A pool
// thread that cannot be started (no memory left for its stack) goes unnoticed and that wait
// never ends, so the pool's threads are started now, while memory is plentiful, and kept.
void KeepPaintThreads() {
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setExpiryTimeout(-1);
    const int n = pool->maxThreadCount();
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
    started->tryAcquire(n, 10000);
    release->release(n);
    done->tryAcquire(n, 10000);
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

void SetUpApplication(QApplication& app) {
    app.setOrganizationName("kwsekunde");
    app.setApplicationName("kwsekunde");
    // No application display name: the platform would append it to every window caption.
    app.setDesktopFileName("io.github.kwsekunde.KwSekunde");
    app.setWindowIcon(AppIcon());
    InstallGraphCommands();
    KeepPaintThreads();
}

int RunGui(QApplication& app, const QString& file, std::optional<int> language) {
    (void)app;
    // The working folder is where the program started; the language choice lives there.
    const QString workingFolder = QDir::currentPath();
    // No language file means German; Qt's own dialogs follow whatever language is chosen.
    const int stored = ReadLanguageCode(LanguageFilePath(workingFolder));
    SelectResourceLanguage(language ? *language : stored >= 0 ? stored : kws::res::kGerman);
    CKWSekundeDlg dialog(workingFolder);
    if (!file.isEmpty())
        QTimer::singleShot(0, &dialog, [&dialog, file] { dialog.OpenRecordingFile(file); });
    dialog.exec();
    return 0;
}

// The program with its windows: the application object, start-up with the stored language, the
// main dialog.
#pragma once

#include <QApplication>
#include <QString>

#include <optional>

// The application object: an allocation that fails inside an event handler ends that handler
// (and the long work that pumped it, see OutOfMemory.h) instead of the program.
class KwsApplication : public QApplication {
public:
    KwsApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

// Names, icon and desktop identity of the application object; starts and keeps the painting
// threads. False when not a single thread can be started (no memory left for its stack).
bool SetUpApplication(QApplication& app);

// Passes the program's exit code on; ends the process at once (streams flushed) when a painting
// thread failed to start after all, since the application object would wait for it for ever.
int LeaveApplication(int exitCode);

// Runs the main dialog (opening `file` right after start when given); the program's exit code.
// `language` overrides the code stored in "spra.ini" of the working folder.
int RunGui(QApplication& app, const QString& file, std::optional<int> language,
           bool follow = false);

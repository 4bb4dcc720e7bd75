#include "app/Gui.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include "app/Language.h"
#include "app/MainDialog.h"
#include "graphui/AppIcon.h"
#include "graphui/GraphExport.h"
#include "res/Resources.h"

void SetUpApplication(QApplication& app) {
    app.setOrganizationName("kwsekunde");
    app.setApplicationName("kwsekunde");
    app.setApplicationDisplayName("KW_bew_sekunde");
    app.setDesktopFileName("io.github.kwsekunde.KwSekunde");
    app.setWindowIcon(AppIcon());
    InstallGraphCommands();
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

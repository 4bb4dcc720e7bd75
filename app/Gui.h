// The program with its windows: start-up with the stored language, the main dialog.
#pragma once

#include <QString>

#include <optional>

class QApplication;

// Names, icon and desktop identity of the application object.
void SetUpApplication(QApplication& app);

// Runs the main dialog (opening `file` right after start when given); the program's exit code.
// `language` overrides the code stored in "spra.ini" of the working folder.
int RunGui(QApplication& app, const QString& file, std::optional<int> language);

// Every modal prompt of the program goes through this interface, so that tests can answer them
// without a person: message boxes, file dialogs, the colour dialog, and the modal run of the
// program's own dialogs.
#pragma once

#include <QColor>
#include <QString>

#include <optional>

class QDialog;
class QWidget;

class Prompts {
public:
    enum Icon { kNoIcon, kInformation, kExclamation, kCritical };

    virtual ~Prompts() = default;

    // A message with one OK button.
    virtual void Message(QWidget* parent, const QString& text, const QString& caption,
                         Icon icon = kNoIcon);
    // A file to open; empty when cancelled.
    virtual QString OpenFile(QWidget* parent, const QString& caption, const QString& directory,
                             const QString& filter);
    // A file to save to; empty when cancelled. `suggested` is a path or a bare name. A name
    // without extension gets the one of the file type chosen last (at first `defaultSuffix`);
    // that file type goes to `selectedFilter` when given.
    virtual QString SaveFile(QWidget* parent, const QString& caption, const QString& suggested,
                             const QString& filter, const QString& defaultSuffix,
                             QString* selectedFilter = nullptr);
    virtual std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial);
    // Runs one of the program's dialogs modally and returns its result.
    virtual int Exec(QDialog& dialog);

    // The prompts in use; Set(nullptr) goes back to the real dialogs.
    static Prompts& Get();
    static void Set(Prompts* prompts);

    // The extension a filter such as "JPG Files (*.jpg)" stands for ("jpg"); empty for none.
    static QString FilterSuffix(const QString& filter);
    // A file-dialog filter for one file type in the current language, such as
    // "PNG-Dateien (*.png)" for `type` "PNG" and `suffix` "png".
    static QString FileTypeFilter(const QString& type, const QString& suffix);
};

// Prompts answered by a test instead of a person; installed for the object's lifetime.
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

#include "graph/Prompts.h"

namespace kws::test {

class ScriptedPrompts : public Prompts {
public:
    // Runs a dialog; without a script every dialog is cancelled.
    std::function<int(QDialog&)> onExec;
    QString fileToOpen;        // what the open-file dialog answers
    QString savePath;          // what the save-file dialog answers
    QString saveChosenFilter;  // the file type the save-file dialog answers (empty: none)
    QStringList messages, captions;
    QString saveSuggested, saveFilter, saveSuffix;  // what the save-file dialog was asked

    ScriptedPrompts() { Prompts::Set(this); }
    ~ScriptedPrompts() override { Prompts::Set(nullptr); }

    int Exec(QDialog& dialog) override { return onExec ? onExec(dialog) : QDialog::Rejected; }
    void Message(QWidget*, const QString& text, const QString& caption, Icon) override {
        messages << text;
        captions << caption;
    }
    QString OpenFile(QWidget*, const QString&, const QString&, const QString&) override {
        return fileToOpen;
    }
    QString SaveFile(QWidget*, const QString&, const QString& suggested, const QString& filter,
                     const QString& suffix, QString* selectedFilter) override {
        saveSuggested = suggested;
        saveFilter = filter;
        saveSuffix = suffix;
        if (selectedFilter != nullptr) *selectedFilter = saveChosenFilter;
        return savePath;
    }
};

}  // namespace kws::test

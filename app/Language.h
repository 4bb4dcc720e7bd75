// Switching the language of the program: its own texts (the current language module) and the
// texts of Qt's own dialogs and buttons.
#pragma once

#include <QString>

// Makes the language of `code` current, falling back to German; returns the language in effect.
int SelectResourceLanguage(int code);

// The language file of a folder: "spra.ini" in it.
QString LanguageFilePath(const QString& folder);

// The language code stored in a language file: its first line's leading decimal digits, 0 when
// there are none; -1 when the file cannot be read.
int ReadLanguageCode(const QString& path);

// Stores a language choice: German deletes the file, other codes are written as decimal text.
// Returns an error text for the user, empty when all went well or the file could not be written
// at all (the choice then only holds for this run).
QString StoreLanguageCode(const QString& path, int code);

// The program's user-visible texts: string-table entries by id, dialog texts by key, the
// current language module and printf-style formatting.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace kws::res {

// Language codes as stored in "spra.ini" and returned by the language dialog.
enum Language : int {
    kEnglish = 0,
    kSpanish = 1,
    kGerman = 2,
    kFrench = 3,
    kItalian = 4,
    kPortuguese = 5,
};

// Text of string-table entry `id` in the current language. Entries a module lacks fall back to
// the built-in German text; unknown ids give an empty text.
std::string Text(int id);

// Text stored under a dialog key such as "D102.1012" (dialog 102, control 1012).
std::string Text(std::string_view key);

// Entry `id` run through the printf-style formatter, so "%%" reads as one "%".
std::string Format(int id, ...);

// printf-style formatting into a std::string of any length.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string VFormatText(const char* format, va_list args);

// Name of the module that holds a language ("SubDLL" ...), or an empty view for German and
// unknown codes.
std::string_view ModuleName(int code);

// Folder searched for language modules; by default the folder of the running program.
void SetModuleDirectory(std::string directory);
std::string ModuleDirectory();

// Makes the language of `code` current. A code without module, a module that is missing or
// broken, all select the built-in German texts; returns the language now in effect.
int SelectLanguage(int code);
int CurrentLanguage();

// ISO 639-1 code of the current language ("de", "en", ...).
std::string CurrentLanguageTag();

}  // namespace kws::res

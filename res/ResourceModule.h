// Binary interface between the program and its language modules.
//
// A language module is a shared library that exports one C function returning a table of
// (key, text) pairs. Keys are decimal string-table ids ("101") or dialog text keys
// ("D102.1012"); texts are UTF-8. German is compiled into the program with the same table type.
#pragma once

extern "C" {

struct KwsResourceEntry {
    const char* key;
    const char* text;
};

struct KwsResourceModule {
    int abiVersion;        // kKwsResourceAbiVersion
    const char* language;  // ISO 639-1 code, used to pick Qt's own translations
    const KwsResourceEntry* entries;
    int entryCount;
};

typedef const KwsResourceModule* (*KwsResourceModuleFn)(void);
}

inline constexpr int kKwsResourceAbiVersion = 1;
inline constexpr const char* kKwsResourceSymbol = "kws_resource_module";
